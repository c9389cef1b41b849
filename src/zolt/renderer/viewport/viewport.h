#pragma once
// A viewport (server type 33): a camera, a rectangle of the game window and
// the per-view settings the render layers, the shader library and the
// shadow passes read. Scripts drive it through properties; the server
// copies it into its render record once a frame, and the frame draws from
// the record, so script changes during a frame wait for the next one.
// Main thread only.
#include <cstdint>

#include "libs/geometry/vector.h"
#include "zolt/core/object_server/server_object.h"
#include "zolt/renderer/camera/camera.h"
#include "zolt/renderer/viewport/viewport_parameters.h"

namespace zolt::renderer {

class TextureObject;

// The render-side copy of a viewport, drawn from during the frame.
struct ViewportRender {
    CameraSnapshot camera;
    geometry::Vector4 origin;
    geometry::Vector4 size;
    uint8_t enabled = 0;
    ViewportRender* render_next = nullptr;
    ViewportRender* render_previous = nullptr;
    uint32_t layer_mask = 0;
    uint32_t view_mask = 0;
    uint8_t sprite_occlusion = 0;
    geometry::Vector4 user_vectors[viewport_user_vector_count];
    TextureObject* textures[viewport_texture_slot_count] = {};
    ViewportLayerParameters parameters;

    // Draws the view through the render layers; a record without a camera
    // or with an empty rectangle draws nothing.
    void render(uint32_t clear_colour);
    // Parameter 257 and up as the layers read them; 0 for an id not stored.
    float get_layer_parameter(uint32_t id) const;
};

class Viewport final : public core::ServerObject {
public:
    void initialize(uint32_t order) override;
    void finalize() override;
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    bool get_property(uint32_t id, core::Property& out) const override;
    bool set_property(uint32_t id, const core::Property& value) override;
    bool remove_property(uint32_t id) override;

    void copy_to_render(ViewportRender& record) const;

    // Texture slots keep handles: a texture destroyed meanwhile leaves the
    // slot empty at the next copy instead of dangling.
    core::ObjectHandle get_texture(uint32_t slot) const { return textures_[slot]; }
    void set_texture(uint32_t slot, core::ObjectHandle texture) { textures_[slot] = texture; }
    geometry::Vector4& user_vector(uint32_t index) { return user_vectors_[index]; }
    int32_t get_order() const { return order_; }

    Viewport* active_next = nullptr;
    Viewport* active_previous = nullptr;

private:
    core::ObjectHandle camera_ = 0;
    core::ObjectHandle dictionary_ = 0;
    geometry::Vector4 origin_;
    geometry::Vector4 size_;
    uint8_t enabled_ = 1;
    int32_t order_ = 0;
    uint32_t layer_mask_ = 0;
    uint32_t view_mask_ = 1;
    uint8_t sprite_occlusion_ = 0;
    geometry::Vector4 user_vectors_[viewport_user_vector_count];
    core::ObjectHandle textures_[viewport_texture_slot_count] = {};
    ViewportLayerParameters parameters_;
};

}  // namespace zolt::renderer
