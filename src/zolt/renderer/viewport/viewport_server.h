#pragma once
// The viewport server (type 33, 16 viewports): viewports ordered by their
// order value, one render record per slot refreshed once a frame in that
// order, the clear colour, and the frame's pass over the enabled views.
// Main thread only.
#include <cstdint>

#include "zolt/core/object_server/pooled_server.h"
#include "zolt/renderer/viewport/viewport.h"

namespace zolt::renderer {

constexpr uint32_t viewport_server_type = 33;
constexpr uint32_t viewport_capacity = 16;
constexpr uint32_t opaque_black_clear_colour = 0xFF000000;

extern uint32_t maximal_fake_shadow_count_limit;

class ViewportServer final : public core::PooledServer<Viewport, viewport_capacity> {
public:
    ViewportServer() : PooledServer(viewport_server_type) {}

    const char* get_name() const override { return "ViewportServer"; }
    void register_server() override;
    void unregister_server() override;
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    // Destroyed viewports wait until the rendering side let go of them.
    bool is_object_in_use(core::ServerObject* object, bool on_rendering_thread) override {
        return !on_rendering_thread;
    }
    void object_released(core::ServerObject* object) override;
    void update() override;

    // Walking backwards, after the last viewport of a lower or equal order.
    void insert_active_viewport(Viewport* viewport);
    void remove_active_viewport(Viewport* viewport);
    void refresh_render_record(const Viewport* viewport);
    ViewportRender& get_render_record(const Viewport* viewport);

    // True when an enabled viewport was visited.
    bool render_viewports();
    // Enabled records with a camera, in render order; null starts at the head.
    ViewportRender* get_next_active_viewport(const ViewportRender* after);
    ViewportRender* get_first_active_viewport() { return get_next_active_viewport(nullptr); }
    // Set only while a view is drawn.
    ViewportRender* get_current_render() const { return current_render_; }
    void set_current_render(ViewportRender* record) { current_render_ = record; }

    uint32_t get_clear_colour() const { return clear_colour_; }
    // Only opaque black is taken.
    void set_clear_colour(uint32_t colour);
    Viewport* get_active_head() const { return active_head_; }
    ViewportRender* get_render_head() const { return render_head_; }

private:
    ViewportRender records_[viewport_capacity];
    uint32_t clear_colour_ = opaque_black_clear_colour;
    uint32_t render_clear_colour_ = opaque_black_clear_colour;
    Viewport* active_head_ = nullptr;
    ViewportRender* render_head_ = nullptr;
    ViewportRender* current_render_ = nullptr;
};

extern ViewportServer viewport_server;

}  // namespace zolt::renderer
