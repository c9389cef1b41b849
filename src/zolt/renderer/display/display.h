#pragma once
// A display element (server type 34): one textured, coloured quad of the 2D
// overlay, driven by scripts through numbered properties. Every change puts
// it on its server's dirty list; the render side copies it into its record
// at the next frame. Main thread only.
#include <cstdint>

#include "zolt/core/object_server/server_object.h"
#include "zolt/renderer/display/overlay_quad.h"
#include "zolt/renderer/display/packed_color.h"

namespace zolt::renderer {

class TextureObject;

namespace display_property {
constexpr uint32_t position = 0x2000000b, position_other = 0x2000004e, size = 0x2000000e, size_other = 0x20000048,
                   layer = 0x0400001f, texture = 0x01000045, texture_other = 0x01000046, texture_extent = 0x20000047,
                   texture_extent_x = 0x05000049, size_x = 0x0500004a, size_x_other = 0x050000fc,
                   texture_extent_y = 0x0500004b, size_y = 0x0500004c, size_y_other = 0x050000fd,
                   texture_origin = 0x2000004d, pivot = 0x2000004f, pivot_other = 0x20000050, angle = 0x05000051,
                   angle_other = 0x05000053, texture_angle = 0x05000052, scale = 0x20000054, scale_other = 0x20000056,
                   texture_scale = 0x20000055, clip_origin = 0x20000057, clip_size = 0x20000058, alpha = 0x05000059,
                   color = 0x0300005a, visible = 0x0300005b, material_number = 0x0300019c;
}  // namespace display_property

// Life of an element's slot as the render side sees it.
enum class DisplayState : uint8_t { free = 0, live = 1, dead = 2 };

class Display final : public core::ServerObject {
public:
    void initialize(uint32_t image) override;
    void finalize() override;
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    bool get_property(uint32_t id, core::Property& out) const override;
    bool set_property(uint32_t id, const core::Property& value) override;
    bool remove_property(uint32_t id) override;

    // image = atlas number << 16 | entry index.
    void set_image(uint32_t image);
    uint32_t get_slot() const;

    core::ObjectHandle texture = 0;
    OverlayQuad geometry;
    Vector2 clip_origin;
    Vector2 clip_size;
    PackedColor color = opaque_white;
    int16_t layer = 0;
    uint8_t visible = 0;
    core::ObjectHandle dictionary = 0;
    uint32_t material_number = 0;
    DisplayState state = DisplayState::free;
    bool is_dirty = false;

private:
    void mark_changed();
    // Drops the reference held on a shared texture, if any.
    void release_texture();
    enum class VectorSet { not_a_vector, stored, refused };
    // Out-of-range values (not finite, a negative size) are refused unchanged.
    VectorSet set_vector_property(uint32_t id, const core::Property& value);
    bool get_vector_property(uint32_t id, core::Property& out) const;
};

// The texture object the handle names, or null (stale, no server, another type).
TextureObject* find_texture_object(core::ObjectHandle handle);

}  // namespace zolt::renderer
