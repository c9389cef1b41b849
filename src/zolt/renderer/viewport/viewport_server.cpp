#include "zolt/renderer/viewport/viewport_server.h"

#include "libs/utility/config_variable_row.h"
#include "zolt/core/object_server/stream_words.h"
#include "zolt/navigation/sector_walk.h"
#include "zolt/renderer/backend/rendering_commands.h"
#include "zolt/renderer/batcher/render_timing.h"
#include "zolt/renderer/batcher/render_view_hooks.h"
#include "zolt/renderer/view/view_hooks.h"

namespace zolt::renderer {

ViewportServer viewport_server;
uint32_t maximal_fake_shadow_count_limit = default_fake_shadow_limit;

namespace {

const ConfigVariableRow<uint32_t> maximal_fake_shadow_count_limit_row(117, "maximal_fake_shadow_count_limit",
                                                                      &maximal_fake_shadow_count_limit,
                                                                      default_fake_shadow_limit, 0,
                                                                      default_fake_shadow_limit, 0);

// Rings of the active list and the render list: the head's previous is the tail.
template <typename T, T* T::*next, T* T::*previous>
void append(T*& head, T* item) {
    if (head == nullptr) {
        head = item;
        item->*next = item->*previous = item;
        return;
    }
    T* const tail = head->*previous;
    item->*previous = tail;
    item->*next = head;
    tail->*next = item;
    head->*previous = item;
}

}  // namespace

void ViewportServer::register_server() {
    PooledServer::register_server();
    clear_colour_ = render_clear_colour_ = opaque_black_clear_colour;
    active_head_ = nullptr;
    render_head_ = nullptr;
    current_render_ = nullptr;
    rendering_command_hooks.render_viewports = [] { return viewport_server.render_viewports(); };
    install_view_render_hooks();
    view_hooks.traverse_visible_sectors = &servers::traverse_visible_sectors;
}

void ViewportServer::unregister_server() {
    rendering_command_hooks.render_viewports = nullptr;
    remove_view_render_hooks();
    view_hooks.traverse_visible_sectors = nullptr;
    // Nothing draws the viewports any more: those waiting for the rendering
    // side go now, so a world loaded next finds their slots free.
    destroy_all_objects();
    release_dead_objects(true);
    PooledServer::unregister_server();
    active_head_ = nullptr;
    render_head_ = nullptr;
    current_render_ = nullptr;
    for (ViewportRender& record : records_) {
        record = ViewportRender{};
    }
}

void ViewportServer::save(storage::SaveStream& stream) {
    PooledServer::save(stream);
    core::write_u32(stream, clear_colour_);
}

bool ViewportServer::load(storage::LoadStream& stream) {
    if (!PooledServer::load(stream) || !core::read_u32(stream, clear_colour_)) {
        return false;
    }
    render_clear_colour_ = clear_colour_;
    return true;
}

void ViewportServer::object_released(core::ServerObject* object) {
    ViewportRender& record = get_render_record(static_cast<Viewport*>(object));
    record.camera = CameraSnapshot{};
}

void ViewportServer::insert_active_viewport(Viewport* viewport) {
    if (active_head_ == nullptr) {
        active_head_ = viewport;
        viewport->active_next = viewport->active_previous = viewport;
        return;
    }
    Viewport* after = active_head_->active_previous;
    while (after->get_order() > viewport->get_order()) {
        if (after == active_head_) {
            // Lower than every one: the new head.
            append<Viewport, &Viewport::active_next, &Viewport::active_previous>(active_head_, viewport);
            active_head_ = viewport;
            return;
        }
        after = after->active_previous;
    }
    viewport->active_previous = after;
    viewport->active_next = after->active_next;
    after->active_next->active_previous = viewport;
    after->active_next = viewport;
}

void ViewportServer::remove_active_viewport(Viewport* viewport) {
    if (viewport->active_next == nullptr) {
        return;
    }
    if (viewport->active_next == viewport) {
        active_head_ = nullptr;
    } else {
        viewport->active_previous->active_next = viewport->active_next;
        viewport->active_next->active_previous = viewport->active_previous;
        if (active_head_ == viewport) {
            active_head_ = viewport->active_next;
        }
    }
    viewport->active_next = viewport->active_previous = nullptr;
}

ViewportRender& ViewportServer::get_render_record(const Viewport* viewport) {
    return records_[core::get_handle_index(viewport->get_handle())];
}

void ViewportServer::refresh_render_record(const Viewport* viewport) {
    viewport->copy_to_render(get_render_record(viewport));
}

void ViewportServer::update() {
    render_clear_colour_ = clear_colour_;
    render_head_ = nullptr;
    Viewport* viewport = active_head_;
    while (viewport != nullptr) {
        ViewportRender& record = get_render_record(viewport);
        viewport->copy_to_render(record);
        append<ViewportRender, &ViewportRender::render_next, &ViewportRender::render_previous>(render_head_, &record);
        viewport = viewport->active_next != active_head_ ? viewport->active_next : nullptr;
    }
}

bool ViewportServer::render_viewports() {
    if (render_timing_observer.viewports != nullptr) {
        render_timing_observer.viewports(false);
    }
    bool visited = false;
    ViewportRender* record = render_head_;
    while (record != nullptr) {
        if (record->enabled != 0) {
            record->render(render_clear_colour_);
            visited = true;
        }
        record = record->render_next != render_head_ ? record->render_next : nullptr;
    }
    if (render_timing_observer.viewports != nullptr) {
        render_timing_observer.viewports(true);
    }
    return visited;
}

ViewportRender* ViewportServer::get_next_active_viewport(const ViewportRender* after) {
    if (render_head_ == nullptr) {
        return nullptr;
    }
    ViewportRender* record = after == nullptr ? render_head_ : after->render_next;
    if (after != nullptr && record == render_head_) {
        return nullptr;
    }
    for (;;) {
        if (record->enabled != 0 && record->camera.valid != 0) {
            return record;
        }
        record = record->render_next;
        if (record == render_head_) {
            return nullptr;
        }
    }
}

void ViewportServer::set_clear_colour(uint32_t colour) {
    if (colour == opaque_black_clear_colour) {
        clear_colour_ = colour;
    }
}

}  // namespace zolt::renderer
