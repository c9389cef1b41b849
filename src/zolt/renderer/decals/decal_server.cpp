#include "zolt/renderer/decals/decal_server.h"

#include <cstring>

#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/resources/resource_info.h"
#include "zolt/core/resources/resource_object.h"
#include "zolt/core/resources/resource_server.h"
#include "zolt/renderer/backend/rendering_commands.h"
#include "zolt/renderer/backend/stream.h"
#include "zolt/renderer/batcher/batcher.h"
#include "zolt/renderer/batcher/stream_pool.h"
#include "zolt/renderer/decals/decal_geometry.h"
#include "zolt/renderer/decals/decal_targets.h"
#include "zolt/renderer/materials/material_server.h"
#include "zolt/renderer/materials/material_warm_up.h"
#include "zolt/renderer/shaders/shader_library.h"
#include "zolt/renderer/shaders/shader_tags.h"

namespace zolt::renderer {

namespace {

constexpr float ticks_to_seconds = 0.00001f;
constexpr uint32_t decal_vertex_stream_size = decal_triangle_capacity * sizeof(DecalTriangle);
constexpr uint32_t warm_up_material_flags = 3;

Material* find_material(core::ObjectHandle handle) {
    return handle != 0 && material_server.is_registered() ? material_server.find_material(handle) : nullptr;
}

void destroy_material(core::ObjectHandle handle) {
    if (Material* const material = find_material(handle)) {
        material_server.unlink_selection(*material);
        material_server.unlink_texture_update(*material);
        material_server.unlink_constant_update(*material);
        material_server.release_material(material);
    }
}

// A material of a shader the library cannot serve would end the program.
bool can_serve_shader(uint32_t shader_index) {
    shader_library::ShaderLibraryContext context;
    return shader_library::find_fallback(shader_index, shader_library::ConditionMode::runtime, context).entry !=
           shader_library::no_entry;
}

void create_decal_index_stream() {
    decal_server.create_index_stream();
}

void warm_up_decals() {
    decal_server.warm_up();
}

}  // namespace

DecalServer decal_server;

void DecalRender::get_value(geometry::Vector4* out, uint32_t) const {
    *out = {static_cast<float>(decal_server.get_render_clock() - time_base) * ticks_to_seconds, lifetime, fade_time,
            0.0f};
}

uint32_t DecalServer::get_slot_index(const Decal& set) const {
    // By address: a destroyed set's handle already names its next use.
    return static_cast<uint32_t>(&set - &const_cast<DecalServer*>(this)->get_slot(0));
}

void DecalServer::register_server() {
    PooledServer::register_server();
    render_clock_ = decal_clock_ = last_ageing_ = 0;
    changed_count_ = 0;
    std::memset(in_changed_ring_, 0, sizeof in_changed_ring_);
    for (uint32_t index = 0; index < decal_warm_up_material_count; ++index) {
        warm_up_materials_[index] = 0;
        if (material_server.is_registered() && can_serve_shader(first_decal_warm_up_shader + index)) {
            MaterialDescription description;
            description.flags = warm_up_material_flags;
            description.shader_index = first_decal_warm_up_shader + index;
            if (Material* const material = material_server.create_material(description)) {
                warm_up_materials_[index] = material->get_handle();
            }
        }
    }
    rendering_command_hooks.create_decal_index_stream = &create_decal_index_stream;
    rendering_command_hooks.warm_up_decals = &warm_up_decals;
    if (geometry_lookup == nullptr) {
        geometry_lookup = &open_decal_target_geometry;
    }
    install_decal_target_hooks();
}

void DecalServer::unregister_server() {
    for (core::ObjectHandle& material : warm_up_materials_) {
        destroy_material(material);
        material = 0;
    }
    queue_stream_release(warm_up_stream_);
    warm_up_stream_ = nullptr;
    remove_decal_target_hooks();
    PooledServer::unregister_server();
    // Sets destroyed just now are released at once: no frame uses them any more.
    for (DecalRender& render : renders_) {
        queue_stream_release(render.stream);
        destroy_material(render.material);
        render = DecalRender{};
    }
    changed_count_ = 0;
    if (rendering_command_hooks.create_decal_index_stream == &create_decal_index_stream) {
        rendering_command_hooks.create_decal_index_stream = nullptr;
    }
    if (rendering_command_hooks.warm_up_decals == &warm_up_decals) {
        rendering_command_hooks.warm_up_decals = nullptr;
    }
}

void DecalServer::save(storage::SaveStream& stream) {
    PooledServer::save(stream);
    core::write_u32(stream, render_clock_);
    core::write_u32(stream, decal_clock_);
    core::write_u32(stream, last_ageing_);
    for (const core::ObjectHandle material : warm_up_materials_) {
        core::write_u32(stream, find_material(material) != nullptr ? material : 0);
    }
}

bool DecalServer::load(storage::LoadStream& stream) {
    if (!PooledServer::load(stream) || !core::read_u32(stream, render_clock_) ||
        !core::read_u32(stream, decal_clock_) || !core::read_u32(stream, last_ageing_)) {
        return false;
    }
    for (core::ObjectHandle& material : warm_up_materials_) {
        if (!core::read_u32(stream, material)) {
            return false;
        }
        if (find_material(material) == nullptr) {
            material = 0;
        }
    }
    return true;
}

void DecalServer::object_created(core::ServerObject* object) {
    get_render(*static_cast<Decal*>(object)).state = decal_set_state::live;
}

void DecalServer::object_loaded(core::ServerObject* object) {
    auto* const set = static_cast<Decal*>(object);
    DecalRender& render = get_render(*set);
    render.state = decal_set_state::live;
    if (find_material(set->material) == nullptr) {
        set->material = 0;
    }
    render.material = set->material;
    link_changed(*set);
}

void DecalServer::object_destroyed(core::ServerObject* object) {
    auto* const set = static_cast<Decal*>(object);
    get_render(*set).state = decal_set_state::destroyed;
    link_changed(*set);
}

void DecalServer::object_released(core::ServerObject* object) {
    auto* const set = static_cast<Decal*>(object);
    DecalRender& render = get_render(*set);
    queue_stream_release(render.stream);
    destroy_material(render.material);
    set->material = 0;
    const uint32_t slot = get_slot_index(*set);
    if (in_changed_ring_[slot]) {
        uint32_t kept = 0;
        for (uint32_t index = 0; index < changed_count_; ++index) {
            if (changed_slots_[index] != slot) {
                changed_slots_[kept++] = changed_slots_[index];
            }
        }
        changed_count_ = kept;
        in_changed_ring_[slot] = false;
    }
    render = DecalRender{};
}

void DecalServer::link_changed(Decal& set) {
    const uint32_t slot = get_slot_index(set);
    if (!in_changed_ring_[slot]) {
        in_changed_ring_[slot] = true;
        changed_slots_[changed_count_++] = static_cast<uint8_t>(slot);
    }
}

void DecalServer::upload(Decal& set, DecalRender& render) {
    // The renderer's start-up command runs before this server registers its
    // hook, so the first upload makes the index stream when it missed it.
    if (index_stream_ == nullptr) {
        create_index_stream();
    }
    if (render.stream == nullptr) {
        render.stream = create_stream({decal_vertex_stream_format, 0, decal_vertex_stream_size, 0}, nullptr);
        render.creation_frame = read_issued_counter();
        render.streams[0] = render.stream;
    }
    render.lifetime = static_cast<float>(set.description.lifetime) * ticks_to_seconds;
    render.fade_time = static_cast<float>(set.description.fade_time) * ticks_to_seconds;
    if (set.spawn_count == 0) {
        render.time_base = 0;
        render.triangle_count = 0;
        return;
    }
    render.time_base = set.time_base;
    render.triangle_count = set.triangle_count;
    // The copy the last frame drew from is left alone.
    if (render.stream->has_two_copies()) {
        render.stream->current_copy ^= 1;
    }
    const uint32_t first = std::min(set.triangle_count, decal_triangle_capacity - set.triangle_head);
    if (first > 0) {
        render.stream->write(&set.triangles[set.triangle_head], first * sizeof(DecalTriangle), 0);
    }
    if (set.triangle_count > first) {
        render.stream->write(&set.triangles[0], (set.triangle_count - first) * sizeof(DecalTriangle),
                             first * sizeof(DecalTriangle));
    }
}

void DecalServer::update() {
    render_clock_ = decal_clock_;
    const uint32_t count = changed_count_;
    for (uint32_t index = 0; index < count; ++index) {
        const uint32_t slot = changed_slots_[index];
        in_changed_ring_[slot] = false;
        DecalRender& render = renders_[slot];
        if (render.state != decal_set_state::destroyed) {
            upload(get_slot(slot), render);
        }
    }
    for (uint32_t index = count; index < changed_count_; ++index) {
        changed_slots_[index - count] = changed_slots_[index];
    }
    changed_count_ -= count;
}

void DecalServer::advance_clock(uint32_t ticks) {
    decal_clock_ += ticks;
    if (decal_clock_ - last_ageing_ > decal_ageing_interval) {
        age_sets();
    }
}

void DecalServer::age_sets() {
    core::for_each_live_object(this, [](core::ServerObject* object) {
        if (static_cast<Decal*>(object)->expire()) {
            core::destroy_object(object);
        }
    });
    last_ageing_ = decal_clock_;
}

void DecalServer::create_set_material(Decal& set) {
    DecalRender& render = get_render(set);
    if (!material_server.is_registered() || !can_serve_shader(set.description.shader_index)) {
        return;
    }
    // The fourth texture is the sector's lightmap, which sectors do not
    // offer yet.
    uint32_t textures[4] = {set.description.textures[0], set.description.textures[1], set.description.textures[2],
                            0};
    MaterialDescription description;
    description.shader_index = set.description.shader_index;
    description.textures = {textures, 4};
    if (Material* const material = material_server.create_material(description)) {
        material->set_source_object(set.get_handle());
        set.material = material->get_handle();
        render.material = set.material;
    }
}

Decal* DecalServer::find_or_create_set(const DecalDescription& description, core::ObjectHandle target) {
    if (target == 0) {
        return nullptr;
    }
    Decal* found = nullptr;
    for_each_set_of(target, [&](Decal& set) {
        if (found == nullptr && set.matches(description)) {
            found = &set;
        }
    });
    if (found != nullptr) {
        return found;
    }
    auto* const set = static_cast<Decal*>(create_object_internal(0));
    if (set == nullptr) {
        return nullptr;
    }
    set->initialize_from(description, target, find_geometry_resource(target));
    create_set_material(*set);
    return set;
}

const DecalSurface* DecalServer::open_surface(core::ObjectHandle geometry_resource, DecalGeometry& scratch) const {
    if (geometry_resource == 0 || !core::resource_server.is_registered()) {
        return nullptr;
    }
    const core::ResourceObject* const resource = core::resource_server.get_typed_object(geometry_resource);
    if (resource == nullptr || resource->get_info() == nullptr) {
        return nullptr;
    }
    return scratch.open(static_cast<const uint8_t*>(resource->get_data()), resource->get_info()->unpacked_size)
               ? &scratch
               : nullptr;
}

void DecalServer::create_index_stream() {
    if (index_stream_ != nullptr) {
        return;
    }
    uint16_t indices[decal_index_count];
    for (uint32_t index = 0; index < decal_index_count; ++index) {
        indices[index] = static_cast<uint16_t>(index);
    }
    index_stream_ = create_stream({decal_index_stream_format, 0, sizeof indices, 0}, indices);
}

void DecalServer::release_index_stream() {
    queue_stream_release(index_stream_);
    index_stream_ = nullptr;
    queue_stream_release(warm_up_stream_);
    warm_up_stream_ = nullptr;
}

void DecalServer::warm_up() {
    if (index_stream_ == nullptr) {
        return;
    }
    if (warm_up_stream_ == nullptr) {
        const DecalTriangle triangle{};
        warm_up_stream_ = create_stream({decal_vertex_stream_format, 0, sizeof triangle, 0}, &triangle);
    }
    const Stream* const streams[2] = {warm_up_stream_, index_stream_};
    for (const core::ObjectHandle handle : warm_up_materials_) {
        if (Material* const material = find_material(handle)) {
            shader_library::ShaderLibraryContext context;
            render_geometry_immediately(*material, streams, 2, context);
        }
    }
}

void DecalServer::refresh_target_materials(core::ObjectHandle target, uint32_t flags) {
    for_each_set_of(target, [&](Decal& set) {
        if (Material* const material = find_material(set.material)) {
            if ((flags & 0x2) != 0) {
                material_server.queue_texture_update(*material);
            }
            if ((flags & 0x1) != 0) {
                material_server.queue_constant_update(*material);
            }
        }
    });
}

void DecalServer::queue_target_requests(core::ObjectHandle target, const RenderInfo& info) {
    if (index_stream_ == nullptr) {
        return;
    }
    for_each_set_of(target, [&](Decal& set) {
        DecalRender& render = get_render(set);
        Material* const material = find_material(render.material);
        if (render.triangle_count == 0 || render.stream == nullptr || material == nullptr) {
            return;
        }
        render.streams[1] = index_stream_;
        RenderInfo decal_info = info;
        decal_info.value_provider = &render;
        queue_render_request(decal_info, render.streams, 2, material, 0,
                             static_cast<uint16_t>(render.triangle_count * 3));
    });
}

}  // namespace zolt::renderer
