#include "zolt/renderer/display/display_server.h"

#include <algorithm>

#include "libs/utility/fatal_error.h"
#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/resources/resource_info.h"
#include "zolt/core/resources/resource_server.h"
#include "zolt/renderer/backend/rendering_commands.h"
#include "zolt/renderer/display/image_atlas_format.h"
#include "zolt/renderer/materials/material_server.h"
#include "zolt/renderer/texture/texture_server.h"

namespace zolt::renderer {

DisplayServer display_server;

namespace {

// The overlay material takes its texture from the renderer slot the batch fills.
constexpr uint32_t renderer_slot_texture_source = 1;
uint32_t overlay_texture_tags[] = {renderer_slot_texture_source << 16 | object_texture_slot};

Material* create_overlay_material(uint32_t shader_index) {
    MaterialDescription description;
    description.shader_index = shader_index;
    description.texture_tags = {overlay_texture_tags, 1};
    return material_server.create_material(description);
}

Display& as_display(core::ServerObject* object) {
    return *static_cast<Display*>(object);
}

}  // namespace

void DisplayServer::register_server() {
    PooledServer::register_server();
    for (uint32_t slot = 0; slot < display_capacity; ++slot) {
        records_[slot] = DisplayRender{};
    }
    dirty_count_ = 0;
    layer_head_ = no_display_record;
    reported_image_count_ = 0;
    default_material_ = create_overlay_material(overlay_shader_index);
    rendering_command_hooks.draw_displays = [] { display_server.render_displays(); };
}

void DisplayServer::unregister_server() {
    rendering_command_hooks.draw_displays = nullptr;
    // Nothing draws the elements any more: their records go with them.
    destroy_all_objects();
    release_dead_objects(true);
    if (default_material_ != nullptr) {
        material_server.release_material(default_material_);
        default_material_ = nullptr;
    }
    if (auto* const atlas =
            static_cast<core::ResourceObject*>(core::resource_server.get_object_internal(cached_atlas_handle_))) {
        core::resource_server.destroy_object_internal(atlas);
    }
    cached_atlas_id_ = 0;
    cached_atlas_handle_ = 0;
    PooledServer::unregister_server();
    // Records of elements that were still waiting for the rendering side.
    for (uint32_t slot = 0; slot < display_capacity; ++slot) {
        release_record(slot);
    }
    dirty_count_ = 0;
    layer_head_ = no_display_record;
}

void DisplayServer::save(storage::SaveStream& stream) {
    PooledServer::save(stream);
    core::write_u32(stream, default_material_ != nullptr ? default_material_->get_handle() : 0);
    core::write_u32(stream, cached_atlas_id_);
    core::write_u32(stream, cached_atlas_handle_);
}

bool DisplayServer::load(storage::LoadStream& stream) {
    uint32_t material = 0;
    if (!PooledServer::load(stream) || !core::read_u32(stream, material) || !core::read_u32(stream, cached_atlas_id_) ||
        !core::read_u32(stream, cached_atlas_handle_)) {
        return false;
    }
    default_material_ = material_server.find_material(material);
    return true;
}

void DisplayServer::object_created(core::ServerObject* object) {
    as_display(object).state = DisplayState::live;
}

void DisplayServer::object_loaded(core::ServerObject* object) {
    as_display(object).state = DisplayState::live;
}

void DisplayServer::object_destroyed(core::ServerObject* object) {
    Display& display = as_display(object);
    display.state = DisplayState::dead;
    mark_dirty(display);
}

void DisplayServer::object_released(core::ServerObject* object) {
    Display& display = as_display(object);
    remove_from_dirty_list(display.get_slot());
    release_record(display.get_slot());
    display.state = DisplayState::free;
}

void DisplayServer::mark_dirty(Display& display) {
    if (display.is_dirty) {
        return;
    }
    display.is_dirty = true;
    dirty_slots_[dirty_count_++] = static_cast<uint16_t>(display.get_slot());
}

void DisplayServer::remove_from_dirty_list(uint32_t slot) {
    Display& display = get_slot(slot);
    if (!display.is_dirty) {
        return;
    }
    display.is_dirty = false;
    uint16_t* const end = dirty_slots_ + dirty_count_;
    uint16_t* const found = std::find(dirty_slots_, end, static_cast<uint16_t>(slot));
    if (found != end) {
        std::copy(found + 1, end, found);
        --dirty_count_;
    }
}

void DisplayServer::reset_record(uint32_t slot) {
    release_record(slot);
}

void DisplayServer::restore_record(Display& display, core::ObjectHandle material_instance) {
    const uint32_t slot = display.get_slot();
    unlink_record(slot);
    DisplayRender& record = records_[slot];
    record = DisplayRender{};
    // The texture's count was saved with it: the record takes no new reference.
    record.texture = find_texture_object(display.texture);
    record.material = material_server.find_material(material_instance);
    display.is_dirty = false;
    mark_dirty(display);
}

void DisplayServer::release_record(uint32_t slot) {
    unlink_record(slot);
    DisplayRender& record = records_[slot];
    if (record.texture != nullptr) {
        texture_server.release_texture(record.texture);
    }
    release_material_instance(record);
    record = DisplayRender{};
}

void DisplayServer::unlink_record(uint32_t slot) {
    DisplayRender& record = records_[slot];
    if (!record.in_layer_list) {
        return;
    }
    if (record.previous != no_display_record) {
        records_[record.previous].next = record.next;
    } else {
        layer_head_ = record.next;
    }
    if (record.next != no_display_record) {
        records_[record.next].previous = record.previous;
    }
    record.next = record.previous = no_display_record;
    record.in_layer_list = false;
}

void DisplayServer::insert_record(uint32_t slot, int16_t layer) {
    DisplayRender& record = records_[slot];
    record.layer = layer;
    // From the highest layer backwards: after the last record of a layer not
    // above ours, so equal layers keep the order they entered in.
    uint16_t after = no_display_record;
    uint16_t last = layer_head_;
    while (last != no_display_record && records_[last].next != no_display_record) {
        last = records_[last].next;
    }
    for (uint16_t at = last; at != no_display_record; at = records_[at].previous) {
        if (records_[at].layer <= layer) {
            after = at;
            break;
        }
    }
    if (after == no_display_record) {
        record.previous = no_display_record;
        record.next = layer_head_;
        if (layer_head_ != no_display_record) {
            records_[layer_head_].previous = static_cast<uint16_t>(slot);
        }
        layer_head_ = static_cast<uint16_t>(slot);
    } else {
        record.previous = after;
        record.next = records_[after].next;
        if (record.next != no_display_record) {
            records_[record.next].previous = static_cast<uint16_t>(slot);
        }
        records_[after].next = static_cast<uint16_t>(slot);
    }
    record.in_layer_list = true;
}

void DisplayServer::release_material_instance(DisplayRender& record) {
    Material* const instance = record.material;
    if (instance == nullptr) {
        return;
    }
    record.material = nullptr;
    // Queued once more so that nothing still reads the element through it.
    instance->set_source_object(0);
    material_server.release_material(instance);
}

void DisplayServer::sync_material(Display& display, DisplayRender& record) {
    const uint32_t current = record.material != nullptr ? record.material->description.shader_index : 0;
    if (current != display.material_number) {
        release_material_instance(record);
        if (display.material_number != 0) {
            record.material = create_overlay_material(display.material_number);
            record.material->set_source_object(display.get_handle());
        }
    } else if (record.material != nullptr && record.material->source_object != 0) {
        material_server.queue_texture_update(*record.material);
        material_server.queue_constant_update(*record.material);
    }
}

void DisplayServer::update() {
    for (uint32_t index = 0; index < dirty_count_; ++index) {
        Display& display = get_slot(dirty_slots_[index]);
        display.is_dirty = false;
        DisplayRender& record = records_[dirty_slots_[index]];
        if (display.state == DisplayState::dead) {
            // Released here, and the pointers cleared, so that the release on
            // the rendering side finds nothing left to release.
            unlink_record(dirty_slots_[index]);
            if (record.texture != nullptr) {
                texture_server.release_texture(record.texture);
                record.texture = nullptr;
            }
            release_material_instance(record);
            continue;
        }
        if (display.state != DisplayState::live) {
            continue;
        }
        TextureObject* const named = find_texture_object(display.texture);
        if (named != record.texture) {
            if (named != nullptr) {
                texture_server.create_texture(named->get_id());
            }
            if (record.texture != nullptr) {
                texture_server.release_texture(record.texture);
            }
            record.texture = named;
        }
        sync_material(display, record);
        if (record.layer != display.layer || !record.in_layer_list) {
            unlink_record(dirty_slots_[index]);
            insert_record(dirty_slots_[index], display.layer);
        }
        record.visible = display.visible;
        if (display.visible != 0) {
            record.geometry = display.geometry;
            record.clip_origin = display.clip_origin;
            record.clip_size = display.clip_size;
            record.color = display.color;
        }
    }
    dirty_count_ = 0;
}

core::ResourceObject* DisplayServer::open_atlas(uint32_t atlas_number) {
    const uint32_t id = get_image_atlas_id(atlas_number);
    if (id == cached_atlas_id_ && cached_atlas_handle_ != 0) {
        return static_cast<core::ResourceObject*>(core::resource_server.get_object_internal(cached_atlas_handle_));
    }
    if (auto* const previous =
            static_cast<core::ResourceObject*>(core::resource_server.get_object_internal(cached_atlas_handle_))) {
        core::resource_server.destroy_object_internal(previous);
    }
    cached_atlas_id_ = 0;
    cached_atlas_handle_ = 0;
    core::ResourceObject* const atlas = core::resource_server.open_resource(id);
    ImageAtlasHeader header{};
    ImageAtlasFault fault = check_image_atlas(atlas->get_data(), atlas->get_info()->unpacked_size, &header);
    if (fault == ImageAtlasFault::ok) {
        TextureObject* const page = texture_server.create_texture(header.texture_id);
        fault =
            check_image_atlas_rectangles(atlas->get_data(), header.entry_count, page->get_width(), page->get_height());
        texture_server.release_texture(page);
    }
    if (fault != ImageAtlasFault::ok) {
        ZOLT_PANIC("image atlas 0x%08x is broken: %s", id, describe_image_atlas_fault(fault));
    }
    cached_atlas_id_ = id;
    cached_atlas_handle_ = atlas->get_handle();
    return atlas;
}

bool DisplayServer::note_missing_image(uint32_t image) {
    for (uint32_t index = 0; index < reported_image_count_; ++index) {
        if (reported_images_[index] == image) {
            return true;
        }
    }
    if (reported_image_count_ < reported_image_capacity) {
        reported_images_[reported_image_count_++] = image;
    }
    return false;
}

}  // namespace zolt::renderer
