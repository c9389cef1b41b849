#pragma once
// The display server (type 34, "DisplayServer", 1000 elements). Beside the
// pool it keeps one render record per slot, rebuilt once per frame for the
// elements on the dirty list and kept on a list ordered by layer; the image
// atlas last used; the default overlay material; and the 500-quad batch the
// overlay is drawn through. Records hold a reference on their texture and
// their own material instance; they are released only on the rendering
// side. Main (rendering) thread only.
#include <cstdint>

#include "zolt/core/object_server/pooled_server.h"
#include "zolt/renderer/display/display.h"
#include "zolt/renderer/display/overlay_quad.h"

namespace zolt::core {
class ResourceObject;
}

namespace zolt::renderer {

class Material;

constexpr uint32_t display_server_type = 34;
constexpr uint32_t display_capacity = 1000;
constexpr uint32_t overlay_quad_capacity = 500;
// The shader entry of the default overlay material: textured, tinted by the
// vertex colour and blended, fed from the overlay's own client arrays (entry
// 13 is the same drawing fed from streams).
constexpr uint32_t overlay_shader_index = 14;
// The renderer texture slot through which a batch's texture reaches the
// overlay material.
constexpr uint32_t object_texture_slot = 15;
constexpr uint16_t no_display_record = 0xFFFF;

struct DisplayRender {
    TextureObject* texture = nullptr;
    Material* material = nullptr;
    uint8_t visible = 0;
    bool in_layer_list = false;
    int16_t layer = 0;
    OverlayQuad geometry;
    Vector2 clip_origin;
    Vector2 clip_size;
    PackedColor color = 0xFF000000u;
    uint16_t next = no_display_record;
    uint16_t previous = no_display_record;
};

class DisplayServer final : public core::PooledServer<Display, display_capacity> {
public:
    DisplayServer() : PooledServer(display_server_type) {}

    const char* get_name() const override { return "DisplayServer"; }
    void register_server() override;
    void unregister_server() override;
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    void object_created(core::ServerObject* object) override;
    void object_loaded(core::ServerObject* object) override;
    void object_destroyed(core::ServerObject* object) override;
    bool is_object_in_use(core::ServerObject* object, bool on_rendering_thread) override {
        return !on_rendering_thread;
    }
    void object_released(core::ServerObject* object) override;
    // The render-side copy of every element on the dirty list.
    void update() override;

    void mark_dirty(Display& display);
    void reset_record(uint32_t slot);
    // After an element was loaded: its texture without a new reference, its
    // saved material instance when that is still a live material.
    void restore_record(Display& display, core::ObjectHandle material_instance);
    DisplayRender& get_record(uint32_t slot) { return records_[slot]; }
    // From the pool position: a destroyed element's handle already names the
    // next slot's free value.
    uint32_t get_slot_of(const Display& display) { return static_cast<uint32_t>(&display - &get_slot(0)); }
    // The lowest layer's record, or no_display_record.
    uint16_t get_layer_head() const { return layer_head_; }
    Material* get_default_material() const { return default_material_; }
    // The atlas of the number, opened and checked once; null when the atlas
    // has no such entry (reported once per image).
    core::ResourceObject* open_atlas(uint32_t atlas_number);
    uint32_t get_cached_atlas_id() const { return cached_atlas_id_; }
    // Whether this image was already reported missing; records it.
    bool note_missing_image(uint32_t image);

    // The overlay pass: begin_2d, the elements in layer order, end_2d.
    void render_displays();
    void begin_2d();
    void draw_displays_and_texts();
    void end_2d();
    void set_clip_rectangle(Vector2 size, Vector2 origin);
    // A null material means the default overlay material.
    void queue_quad(const OverlayQuad& quad, TextureObject* texture, Material* material);
    void flush_quads();
    void set_current_color(PackedColor color) { current_color_ = color; }
    uint32_t get_queued_quad_count() const { return queued_quad_count_; }
    const OverlayVertex* get_vertices() const { return vertices_; }

private:
    void remove_from_dirty_list(uint32_t slot);
    void unlink_record(uint32_t slot);
    void insert_record(uint32_t slot, int16_t layer);
    void release_record(uint32_t slot);
    void sync_material(Display& display, DisplayRender& record);
    void release_material_instance(DisplayRender& record);
    void draw_record(const DisplayRender& record);
    void point_client_arrays();

    DisplayRender records_[display_capacity];
    uint16_t dirty_slots_[display_capacity] = {};
    uint32_t dirty_count_ = 0;
    uint16_t layer_head_ = no_display_record;
    uint32_t cached_atlas_id_ = 0;
    core::ObjectHandle cached_atlas_handle_ = 0;
    Material* default_material_ = nullptr;
    static constexpr uint32_t reported_image_capacity = 32;
    uint32_t reported_images_[reported_image_capacity] = {};
    uint32_t reported_image_count_ = 0;

    PackedColor current_color_ = opaque_white;
    Vector2 clip_size_;
    Vector2 clip_origin_;
    alignas(16) OverlayVertex vertices_[overlay_quad_capacity * 4];
    uint32_t queued_quad_count_ = 0;
    Material* batch_material_ = nullptr;
    TextureObject* batch_texture_ = nullptr;
};

extern DisplayServer display_server;

}  // namespace zolt::renderer
