#include "zolt/renderer/debug_draw/debug_draw_object.h"

#include "zolt/core/object_server/server_base.h"
#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/script_objects/extra_properties.h"

namespace zolt::renderer {

namespace {

namespace p = debug_draw_property;

constexpr uint32_t u32_type = 0x03000000, float_type = 0x05000000, link_type = 0x01000000, vector3_type = 0x30000000;
// Any object with a position answers this id; placements do.
constexpr uint32_t source_position = 0x3000000B;

bool names(uint32_t id, uint32_t typed) {
    return id == typed || id == (typed & 0xFFFFFFu);
}

// Which of the four consecutive ids starting at first the id names.
bool names_one_of_four(uint32_t id, uint32_t first, uint32_t& index) {
    for (index = 0; index < debug_draw_point_count; ++index) {
        if (names(id, first + index)) {
            return true;
        }
    }
    return false;
}

void set_vector(core::Property& out, const geometry::Vector3& v) {
    const float values[3] = {v.x, v.y, v.z};
    out.set_floats(vector3_type, values, 3);
}

geometry::Vector3 get_vector(const core::Property& value) {
    return {value.get_float(0), value.get_float(1), value.get_float(2)};
}

void write_vector(storage::SaveStream& stream, const geometry::Vector3& v) {
    core::write_f32(stream, v.x);
    core::write_f32(stream, v.y);
    core::write_f32(stream, v.z);
}

bool read_vector(storage::LoadStream& stream, geometry::Vector3& v) {
    return core::read_f32(stream, v.x) && core::read_f32(stream, v.y) && core::read_f32(stream, v.z);
}

}  // namespace

void DebugDrawObject::initialize(uint32_t) {
    settings_ = DebugDrawSettings{};
    dictionary_ = 0;
}

void DebugDrawObject::finalize() {
    core::destroy_extra_properties(dictionary_);
}

geometry::Vector3 DebugDrawObject::get_point(uint32_t index) const {
    const core::ObjectHandle source = settings_.point_sources[index];
    if (source != 0) {
        core::Property position;
        if (const core::ServerObject* const object = core::get_object(source);
            object != nullptr && object->get_property(source_position, position)) {
            return get_vector(position);
        }
    }
    return settings_.point_vectors[index];
}

bool DebugDrawObject::get_property(uint32_t id, core::Property& out) const {
    const DebugDrawSettings& s = settings_;
    uint32_t index = 0;
    if (names(id, p::placement)) {
        out.set_u32(link_type, s.placement);
    } else if (names(id, p::size) || names(id, p::size_alias)) {
        set_vector(out, s.size);
    } else if (names(id, p::transform_flags)) {
        out.set_u32(u32_type, s.transform_flags);
    } else if (names(id, p::type)) {
        out.set_u32(u32_type, s.type);
    } else if (names(id, p::colour)) {
        out.set_u32(u32_type, s.colour);
    } else if (names(id, p::scalar)) {
        out.set_float(float_type, s.scalars[0]);
    } else if (names(id, p::blending_mode)) {
        out.set_u32(u32_type, s.blending_mode);
    } else if (names(id, p::wireframe)) {
        out.set_u32(u32_type, s.wireframe);
    } else if (names(id, p::depth_mode)) {
        out.set_u32(u32_type, s.depth_mode);
    } else if (names(id, p::line_width)) {
        out.set_float(float_type, s.line_width);
    } else if (names(id, p::mask)) {
        out.set_u32(u32_type, s.mask);
    } else if (names_one_of_four(id, p::first_point_source, index)) {
        out.set_u32(link_type, s.point_sources[index]);
    } else if (names_one_of_four(id, p::first_point_vector, index)) {
        set_vector(out, s.point_vectors[index]);
    } else if (names(id, p::second_vector) || names(id, p::second_vector_alias)) {
        set_vector(out, s.second_vector);
    } else if (names(id, p::size_x)) {
        out.set_float(float_type, s.size.x);
    } else if (names(id, p::size_y)) {
        out.set_float(float_type, s.size.y);
    } else if (names(id, p::navigation_object)) {
        out.set_u32(link_type, s.navigation_object);
    } else {
        return ServerObject::get_property(id, out) || core::get_extra_property(dictionary_, id, out);
    }
    return true;
}

bool DebugDrawObject::set_property(uint32_t id, const core::Property& value) {
    DebugDrawSettings& s = settings_;
    const uint32_t word = value.get_u32();
    switch (id) {
    case p::placement:
        s.placement = word;
        return true;
    case p::size:
    case p::size_alias:
        s.size = get_vector(value);
        return true;
    case p::transform_flags:
        s.transform_flags = word;
        return true;
    case p::type:
        // The screen element is drawable too: a setter that stopped at the
        // navigation object would leave it out of every script's reach.
        if (word >= debug_draw_type_count) {
            return false;
        }
        s.type = word;
        return true;
    case p::colour:
        s.colour = word;
        return true;
    case p::scalar:
        s.scalars[0] = value.get_float();
        return true;
    case p::blending_mode:
        if (word >= blending_mode_count) {
            return false;
        }
        s.blending_mode = word;
        return true;
    case p::wireframe:
        if (word > 1) {
            return false;
        }
        s.wireframe = word;
        return true;
    case p::depth_mode:
        if (word >= depth_mode_count) {
            return false;
        }
        s.depth_mode = word;
        return true;
    case p::line_width:
        s.line_width = value.get_float();
        return true;
    case p::mask:
        s.mask = word;
        return true;
    case p::second_vector:
    case p::second_vector_alias:
        s.second_vector = get_vector(value);
        return true;
    case p::size_x:
        s.size.x = value.get_float();
        return true;
    case p::size_y:
        s.size.y = value.get_float();
        return true;
    case p::navigation_object:
        s.navigation_object = word;
        return true;
    default:
        break;
    }
    if (id >= p::first_point_source && id < p::first_point_source + debug_draw_point_count) {
        s.point_sources[id - p::first_point_source] = word;
        return true;
    }
    if (id >= p::first_point_vector && id < p::first_point_vector + debug_draw_point_count) {
        s.point_vectors[id - p::first_point_vector] = get_vector(value);
        return true;
    }
    return ServerObject::set_property(id, value) || core::set_extra_property(dictionary_, id, value);
}

bool DebugDrawObject::remove_property(uint32_t id) {
    return core::remove_extra_property(dictionary_, id);
}

void DebugDrawObject::save(storage::SaveStream& stream) {
    const DebugDrawSettings& s = settings_;
    ServerObject::save(stream);
    core::write_u32(stream, dictionary_);
    core::write_u32(stream, s.type);
    core::write_u32(stream, s.colour);
    core::write_u32(stream, s.blending_mode);
    core::write_u32(stream, s.wireframe);
    core::write_u32(stream, s.depth_mode);
    core::write_u32(stream, s.transform_flags);
    core::write_f32(stream, s.line_width);
    core::write_u32(stream, s.mask);
    core::write_u8(stream, s.flag);
    core::write_u32(stream, s.placement);
    for (const core::ObjectHandle source : s.point_sources) {
        core::write_u32(stream, source);
    }
    for (const geometry::Vector3& point : s.point_vectors) {
        write_vector(stream, point);
    }
    write_vector(stream, s.size);
    write_vector(stream, s.second_vector);
    core::write_u32(stream, s.navigation_object);
    // The scalars come last, so every field before them keeps its place in
    // the record; a load without them would lose what scripts set.
    core::write_f32(stream, s.scalars[0]);
    core::write_f32(stream, s.scalars[1]);
}

bool DebugDrawObject::load(storage::LoadStream& stream) {
    DebugDrawSettings s;
    if (!ServerObject::load(stream) || !core::read_u32(stream, dictionary_) || !core::read_u32(stream, s.type) ||
        !core::read_u32(stream, s.colour) || !core::read_u32(stream, s.blending_mode) ||
        !core::read_u32(stream, s.wireframe) || !core::read_u32(stream, s.depth_mode) ||
        !core::read_u32(stream, s.transform_flags) || !core::read_f32(stream, s.line_width) ||
        !core::read_u32(stream, s.mask) || !core::read_u8(stream, s.flag) || !core::read_u32(stream, s.placement)) {
        return false;
    }
    for (core::ObjectHandle& source : s.point_sources) {
        if (!core::read_u32(stream, source)) {
            return false;
        }
    }
    for (geometry::Vector3& point : s.point_vectors) {
        if (!read_vector(stream, point)) {
            return false;
        }
    }
    if (!read_vector(stream, s.size) || !read_vector(stream, s.second_vector) ||
        !core::read_u32(stream, s.navigation_object) || !core::read_f32(stream, s.scalars[0]) ||
        !core::read_f32(stream, s.scalars[1])) {
        return false;
    }
    // A saved value the renderer cannot draw would end the game at the next
    // frame: such a world is refused.
    if (s.type >= debug_draw_type_count || s.blending_mode >= blending_mode_count || s.wireframe > 1 ||
        s.depth_mode >= depth_mode_count) {
        return false;
    }
    settings_ = s;
    return true;
}

}  // namespace zolt::renderer
