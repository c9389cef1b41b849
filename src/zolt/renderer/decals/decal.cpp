#include "zolt/renderer/decals/decal.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "zolt/core/object_server/server_base.h"
#include "zolt/core/object_server/stream_words.h"
#include "zolt/network/game_server.h"
#include "zolt/renderer/decals/decal_server.h"
#include "zolt/renderer/decals/decal_targets.h"
#include "zolt/renderer/materials/material_server.h"

namespace zolt::renderer {

namespace {

using core::Property;
using geometry::Vector3;
namespace type = core::property_type;

constexpr uint32_t visual_server_type = 26;
constexpr float ticks_to_seconds = 0.00001f;

namespace description_property {
constexpr uint32_t spawn_type = 0x30000F0, size = 0x200000F1, depth = 0x50000F2, angle_limit = 0x50000F3,
                   shader_index = 0x30000F4, first_texture = 0x30000F5, lifetime = 0x30000F8, fade_time = 0x30000F9,
                   destroy_when_empty = 0x30000FA, overlap_flags = 0x30000FB;
}  // namespace description_property

bool boxes_intersect(const DecalSpawnRecord& a, const DecalSpawnRecord& b) {
    return a.box_minimum.x <= b.box_maximum.x && b.box_minimum.x <= a.box_maximum.x &&
           a.box_minimum.y <= b.box_maximum.y && b.box_minimum.y <= a.box_maximum.y &&
           a.box_minimum.z <= b.box_maximum.z && b.box_minimum.z <= a.box_maximum.z;
}

void grow_box(DecalSpawnRecord& record, const float* position) {
    const Vector3 p{position[0], position[1], position[2]};
    record.box_minimum = {std::min(record.box_minimum.x, p.x), std::min(record.box_minimum.y, p.y),
                          std::min(record.box_minimum.z, p.z)};
    record.box_maximum = {std::max(record.box_maximum.x, p.x), std::max(record.box_maximum.y, p.y),
                          std::max(record.box_maximum.z, p.z)};
}

}  // namespace

bool read_decal_description(core::ObjectHandle handle, DecalDescription& out) {
    if (!servers::game_server.is_registered()) {
        return false;
    }
    const servers::GameObject* const object = servers::game_server.get_typed_object(handle);
    if (object == nullptr) {
        return false;
    }
    const auto word = [&](uint32_t id) {
        Property value;
        return object->get_property(id, value) ? value.get_u32() : 0u;
    };
    const auto real = [&](uint32_t id, int lane = 0) {
        Property value;
        return object->get_property(id, value) ? value.get_float(lane) : 0.0f;
    };
    namespace p = description_property;
    out.spawn_type = word(p::spawn_type);
    out.width = real(p::size, 0);
    out.height = real(p::size, 1);
    out.depth = real(p::depth);
    out.angle_limit = real(p::angle_limit);
    out.shader_index = word(p::shader_index);
    for (uint32_t index = 0; index < 3; ++index) {
        out.textures[index] = word(p::first_texture + index);
    }
    out.lifetime = word(p::lifetime);
    out.fade_time = word(p::fade_time);
    out.destroy_when_empty = word(p::destroy_when_empty) != 0 ? 1 : 0;
    out.overlap_flags = word(p::overlap_flags);
    // A description whose numbers are not finite is refused as a whole.
    return std::isfinite(out.width) && std::isfinite(out.height) && std::isfinite(out.depth) &&
           std::isfinite(out.angle_limit);
}

void Decal::initialize(uint32_t) {
    visual = 0;
    sector = 0;
    geometry_resource = 0;
    description = DecalDescription{};
    material = 0;
    dictionary_ = 0;
    time_base = decal_server.get_decal_clock();
    spawn_head = triangle_head = spawn_count = triangle_count = 0;
}

void Decal::initialize_from(const DecalDescription& made, core::ObjectHandle target,
                            core::ObjectHandle geometry) {
    description = made;
    if (core::get_handle_server_type(target) == visual_server_type) {
        visual = target;
    } else {
        sector = target;
    }
    geometry_resource = geometry;
}

void Decal::finalize() {
    note_target_decals(get_target(), this);
    release_decal_target_geometry(geometry_resource);
    visual = 0;
    sector = 0;
    geometry_resource = 0;
    spawn_head = triangle_head = spawn_count = triangle_count = 0;
    description.spawn_type = static_cast<uint32_t>(DecalSpawnType::finalized);
}

bool Decal::matches(const DecalDescription& other) const {
    const DecalDescription& d = description;
    return d.shader_index == other.shader_index && d.textures[0] == other.textures[0] &&
           d.textures[1] == other.textures[1] && d.textures[2] == other.textures[2] && d.width == other.width &&
           d.height == other.height && d.depth == other.depth && d.angle_limit == other.angle_limit &&
           d.lifetime == other.lifetime && d.fade_time == other.fade_time && d.spawn_type == other.spawn_type &&
           d.destroy_when_empty == other.destroy_when_empty && d.overlap_flags == other.overlap_flags;
}

uint32_t Decal::get_age(const DecalSpawnRecord& record) const {
    // Ticks wrap on purpose: the clock is a 32-bit counter.
    return decal_server.get_decal_clock() - time_base - record.time;
}

void Decal::remove_oldest() {
    const DecalSpawnRecord& oldest = spawns[spawn_head];
    triangle_head = (triangle_head + oldest.triangle_count) % decal_triangle_capacity;
    triangle_count -= oldest.triangle_count;
    spawn_head = (spawn_head + 1) % decal_spawn_capacity;
    --spawn_count;
    if (spawn_count == 0) {
        spawn_head = 0;
    }
    if (triangle_count == 0) {
        triangle_head = 0;
    }
}

void Decal::remove_newest() {
    const DecalSpawnRecord& newest = spawns[(spawn_head + spawn_count - 1) % decal_spawn_capacity];
    triangle_count -= newest.triangle_count;
    --spawn_count;
    if (spawn_count == 0) {
        spawn_head = 0;
    }
    if (triangle_count == 0) {
        triangle_head = 0;
    }
}

bool Decal::make_room(uint32_t needed) {
    while (decal_triangle_capacity - triangle_count < needed && spawn_count > 1) {
        remove_oldest();
    }
    return decal_triangle_capacity - triangle_count >= needed;
}

void Decal::append_triangle(const DecalTriangle& triangle) {
    DecalSpawnRecord& record = spawns[(spawn_head + spawn_count - 1) % decal_spawn_capacity];
    triangles[(triangle_head + triangle_count) % decal_triangle_capacity] = triangle;
    ++triangle_count;
    ++record.triangle_count;
    for (const DecalVertex& corner : triangle.corners) {
        grow_box(record, corner.position);
    }
}

void Decal::spawn_quad(const DecalFrame& frame, float spawn_time) {
    Vector3 corners[4];
    get_decal_quad_corners(frame, corners);
    if (!make_room(2)) {
        return;
    }
    const DecalVertex vertices[4] = {
        make_quad_vertex(frame, corners[0], 0, 1, spawn_time), make_quad_vertex(frame, corners[1], 0, 0, spawn_time),
        make_quad_vertex(frame, corners[2], 1, 0, spawn_time), make_quad_vertex(frame, corners[3], 1, 1, spawn_time)};
    append_triangle({{vertices[0], vertices[1], vertices[3]}});
    append_triangle({{vertices[1], vertices[2], vertices[3]}});
}

void Decal::spawn_projected(const DecalFrame& frame, uint32_t group_mask, const DecalSurface* surface,
                            float spawn_time) {
    if (surface == nullptr) {
        return;
    }
    geometry::Plane box[decal_box_plane_count];
    build_decal_box(frame, description.depth, box);
    const bool flagged_only = description.shader_index == flagged_triangles_shader;
    DecalSourceTriangle source;
    geometry::ConvexPolygon<9> polygon;
    const uint32_t count = surface->get_triangle_count();
    for (uint32_t number = 0; number < count; ++number) {
        if (!surface->get_triangle(number, source)) {
            continue;
        }
        const uint32_t group = source.flags & decal_triangle_group_mask;
        if ((group_mask >> (group % 32) & 1) == 0 || (flagged_only && (source.flags & decal_triangle_flag) == 0) ||
            !is_within_angle_limit(source, frame.normal, description.angle_limit)) {
            continue;
        }
        clip_triangle_to_box(source.positions, box, polygon);
        if (polygon.count < 3) {
            continue;
        }
        DecalVertex vertices[9];
        for (uint32_t index = 0; index < polygon.count; ++index) {
            vertices[index] = make_projected_vertex(frame, source, polygon.vertices[index], spawn_time);
        }
        for (uint32_t index = 2; index < polygon.count; ++index) {
            if (!make_room(1)) {
                return;
            }
            append_triangle({{vertices[0], vertices[index - 1], vertices[index]}});
        }
    }
}

bool Decal::overlaps_live_decal(const DecalSpawnRecord& record, uint32_t newest) const {
    const uint32_t span = description.lifetime + description.fade_time;
    if ((description.overlap_flags & decal_overlap_same_set) != 0) {
        for (uint32_t index = 0; index < newest; ++index) {
            const DecalSpawnRecord& earlier = get_spawn(index);
            if (get_age(earlier) <= span && boxes_intersect(earlier, record)) {
                return true;
            }
        }
    }
    if ((description.overlap_flags & decal_overlap_other_sets) != 0) {
        bool overlapped = false;
        decal_server.for_each_set_of(get_target(), [&](const Decal& other) {
            if (&other == this || (other.description.overlap_flags & decal_overlap_other_sets) == 0) {
                return;
            }
            const uint32_t other_span = other.description.lifetime + other.description.fade_time;
            for (uint32_t index = 0; index < other.spawn_count; ++index) {
                const DecalSpawnRecord& earlier = other.get_spawn(index);
                overlapped = overlapped || (other.get_age(earlier) <= other_span && boxes_intersect(earlier, record));
            }
        });
        return overlapped;
    }
    return false;
}

void Decal::spawn(const Vector3& position, const Vector3& tangent, const Vector3& bitangent, const Vector3& normal,
                  uint32_t group_mask, const DecalSurface* surface) {
    expire();
    if (spawn_count == decal_spawn_capacity) {
        remove_oldest();
    }
    DecalSpawnRecord& record = spawns[(spawn_head + spawn_count) % decal_spawn_capacity];
    ++spawn_count;
    record.time = decal_server.get_decal_clock() - time_base;
    record.triangle_count = 0;
    record.box_minimum = {FLT_MAX, FLT_MAX, FLT_MAX};
    record.box_maximum = {-FLT_MAX, -FLT_MAX, -FLT_MAX};
    DecalFrame frame;
    frame.position = position;
    frame.tangent = tangent;
    frame.bitangent = bitangent;
    frame.normal = normal;
    frame.width = description.width;
    frame.height = description.height;
    const float spawn_time = static_cast<float>(record.time) * ticks_to_seconds;
    switch (static_cast<DecalSpawnType>(description.spawn_type)) {
    case DecalSpawnType::quad:
        spawn_quad(frame, spawn_time);
        break;
    case DecalSpawnType::projected:
        spawn_projected(frame, group_mask, surface, spawn_time);
        break;
    default:
        ZOLT_PANIC("Invalid spawn type of a decal.");
    }
    decal_server.link_changed(*this);
    note_target_decals(get_target(), nullptr);
    const uint32_t newest = spawn_count - 1;
    if (record.triangle_count == 0 || overlaps_live_decal(record, newest)) {
        remove_newest();
    }
}

void Decal::spawn_in_world_space(const Vector3& position, const geometry::Quaternion& rotation, uint32_t group_mask,
                                 const DecalSurface* surface) {
    Vector3 origin;
    geometry::Quaternion frame_rotation;
    float scale = 1;
    get_decal_target_frame(get_target(), origin, frame_rotation, scale);
    const geometry::Quaternion to_local = geometry::conjugate(frame_rotation);
    const auto local_axis = [&](const Vector3& axis) {
        return geometry::normalize(geometry::rotate(to_local, geometry::rotate(rotation, axis)));
    };
    spawn(geometry::rotate(to_local, position - origin) * (1.0f / scale), local_axis({1, 0, 0}), local_axis({0, 0, 1}),
          local_axis({0, -1, 0}), group_mask, surface);
}

void Decal::rewrite_spawn_times() {
    uint32_t triangle = 0;
    for (uint32_t index = 0; index < spawn_count; ++index) {
        const DecalSpawnRecord& record = get_spawn(index);
        const float seconds = static_cast<float>(record.time) * ticks_to_seconds;
        for (uint32_t count = 0; count < record.triangle_count; ++count, ++triangle) {
            for (DecalVertex& corner : triangles[(triangle_head + triangle) % decal_triangle_capacity].corners) {
                corner.spawn_time = seconds;
            }
        }
    }
}

bool Decal::expire() {
    const uint32_t span = description.lifetime + description.fade_time;
    while (spawn_count > 0 && get_age(spawns[spawn_head]) >= span) {
        remove_oldest();
    }
    if (spawn_count == 0) {
        time_base = decal_server.get_decal_clock();
    } else {
        const uint32_t shift = spawns[spawn_head].time;
        if (shift != 0) {
            time_base += shift;
            for (uint32_t index = 0; index < spawn_count; ++index) {
                spawns[(spawn_head + index) % decal_spawn_capacity].time -= shift;
            }
            rewrite_spawn_times();
        }
    }
    return spawn_count == 0 && description.destroy_when_empty != 0;
}

bool Decal::get_property(uint32_t id, Property& out) const {
    const uint32_t key = core::is_bare_property_key(id) ? id : id & 0xFFFFFFu;
    const DecalDescription& d = description;
    namespace p = decal_property;
    // A typed id must carry the type its property answers with.
    const auto answer_word = [&](uint32_t value_type, uint32_t word) {
        const uint32_t typed = core::make_property_id(value_type, key);
        if (!core::is_bare_property_key(id) && id != typed) {
            return false;
        }
        out.set_u32(typed, word);
        return true;
    };
    const auto answer_float = [&](float number) {
        const uint32_t typed = core::make_property_id(type::floating, key);
        if (!core::is_bare_property_key(id) && id != typed) {
            return false;
        }
        out.set_float(typed, number);
        return true;
    };
    switch (key) {
    case p::size: {
        const uint32_t typed = core::make_property_id(type::vector2, key);
        if (!core::is_bare_property_key(id) && id != typed) {
            break;
        }
        const float size[2] = {d.width, d.height};
        out.set_floats(typed, size, 2);
        return true;
    }
    case p::first_texture:
    case p::second_texture:
    case p::third_texture:
        return answer_word(type::unsigned_integer, d.textures[key - p::first_texture]);
    case p::target:
        return answer_word(type::unsigned_integer, get_target());
    case p::sector:
        return answer_word(type::unsigned_integer, sector);
    case p::visual:
        return answer_word(type::unsigned_integer, visual);
    case p::spawn_type:
        return answer_word(type::unsigned_integer, d.spawn_type);
    case p::depth:
        return answer_float(d.depth);
    case p::angle_limit:
        return answer_float(d.angle_limit);
    case p::shader_index:
        return answer_word(type::unsigned_integer, d.shader_index);
    case p::lifetime:
        return answer_word(type::unsigned_integer, d.lifetime);
    case p::fade_time:
        return answer_word(type::unsigned_integer, d.fade_time);
    case p::overlap_flags:
        return answer_word(type::unsigned_integer, d.overlap_flags);
    case p::destroy_when_empty:
        return answer_word(type::unsigned_integer, d.destroy_when_empty);
    default:
        break;
    }
    return ServerObject::get_property(id, out);
}

bool Decal::set_property(uint32_t id, const Property& value) {
    if (Material* const own = material != 0 && material_server.is_registered()
                                  ? material_server.find_material(material)
                                  : nullptr) {
        material_server.queue_texture_update(*own);
        material_server.queue_constant_update(*own);
    }
    const uint32_t key = core::is_bare_property_key(id) ? id : id & 0xFFFFFFu;
    namespace p = decal_property;
    switch (key) {
    case p::size:
    case p::first_texture:
    case p::second_texture:
    case p::third_texture:
    case p::target:
    case p::sector:
    case p::visual:
    case p::spawn_type:
    case p::depth:
    case p::angle_limit:
    case p::shader_index:
    case p::lifetime:
    case p::fade_time:
    case p::overlap_flags:
    case p::destroy_when_empty:
        return false;
    default:
        return ServerObject::set_property(id, value);
    }
}

void Decal::save(storage::SaveStream& stream) {
    ServerObject::save(stream);
    const DecalDescription& d = description;
    core::write_u32(stream, visual);
    core::write_u32(stream, sector);
    core::write_u32(stream, d.spawn_type);
    core::write_f32(stream, d.width);
    core::write_f32(stream, d.height);
    core::write_f32(stream, d.depth);
    core::write_f32(stream, d.angle_limit);
    core::write_u32(stream, d.shader_index);
    for (const uint32_t texture : d.textures) {
        core::write_u32(stream, texture);
    }
    core::write_u32(stream, d.lifetime);
    core::write_u32(stream, d.fade_time);
    core::write_u8(stream, d.destroy_when_empty);
    core::write_u32(stream, d.overlap_flags);
    core::write_u32(stream, dictionary_);
    core::write_u32(stream, geometry_resource);
    core::write_u32(stream, material);
}

bool Decal::load(storage::LoadStream& stream) {
    DecalDescription& d = description;
    if (!ServerObject::load(stream) || !core::read_u32(stream, visual) || !core::read_u32(stream, sector) ||
        !core::read_u32(stream, d.spawn_type) || !core::read_f32(stream, d.width) ||
        !core::read_f32(stream, d.height) || !core::read_f32(stream, d.depth) ||
        !core::read_f32(stream, d.angle_limit) || !core::read_u32(stream, d.shader_index) ||
        !core::read_u32(stream, d.textures[0]) || !core::read_u32(stream, d.textures[1]) ||
        !core::read_u32(stream, d.textures[2]) || !core::read_u32(stream, d.lifetime) ||
        !core::read_u32(stream, d.fade_time) || !core::read_u8(stream, d.destroy_when_empty) ||
        !core::read_u32(stream, d.overlap_flags) || !core::read_u32(stream, dictionary_) ||
        !core::read_u32(stream, geometry_resource) || !core::read_u32(stream, material)) {
        return false;
    }
    // A broken record may name any spawn type; spawning would end the program.
    if (d.spawn_type > static_cast<uint32_t>(DecalSpawnType::projected)) {
        return false;
    }
    spawn_head = triangle_head = spawn_count = triangle_count = 0;
    time_base = decal_server.get_decal_clock();
    return true;
}

}  // namespace zolt::renderer
