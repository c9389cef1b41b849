#include "zolt/core/script_objects/motion.h"

#include <cmath>

#include "libs/utility/fatal_error.h"
#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/resources/resource_info.h"
#include "zolt/core/resources/resource_server.h"
#include "zolt/core/script/interpreter_vector.h"

namespace zolt::core {
namespace {

constexpr uint32_t channel_0_keys[] = {0x050000A5, 0x050000A6, 0xA6};
constexpr uint32_t channel_keys[motion_channel_capacity][2] = {
    {0x050000AB, 0xAB}, {0x050000AC, 0xAC}, {0x050000AD, 0xAD}, {0x050000AE, 0xAE}};
constexpr uint32_t vector2_keys[] = {0x2000000B, 0x200000A5, 0x200000A7, 0xA7};
constexpr uint32_t vector3_keys[] = {0x3000000B, 0x300000A5, 0x300000A8, 0xA8};
constexpr uint32_t vector4_keys[] = {0x400000A5, 0x400000A9, 0xA9};
constexpr uint32_t rotation_keys[] = {0x4100000C, 0x410000A5, 0x410000AA, 0xAA};
constexpr uint32_t colour_keys[] = {0x0300005A, 0x030000A5};

template <size_t count>
bool is_one_of(uint32_t id, const uint32_t (&keys)[count]) {
    for (const uint32_t key : keys) {
        if (id == key) {
            return true;
        }
    }
    return false;
}

bool is_key(uint32_t id, uint32_t typed_id) {
    return id == typed_id || id == (typed_id & 0xFFFFFFu);
}

uint32_t get_colour_byte(float value) {
    if (!(value > 0.0f)) {
        return 0;
    }
    return value >= 1.0f ? 255u : static_cast<uint32_t>(value * 255.0f);
}

const ResourceObject* get_resource(ObjectHandle handle) {
    return get_handle_server_type(handle) == server_type::resource
               ? static_cast<const ResourceObject*>(get_object(handle))
               : nullptr;
}

}  // namespace

uint32_t pack_motion_colour(const float (&channels)[motion_channel_capacity]) {
    return get_colour_byte(channels[3]) << 24 | get_colour_byte(channels[0]) << 16 | get_colour_byte(channels[1]) << 8 |
           get_colour_byte(channels[2]);
}

void Motion::initialize(uint32_t argument) {
    creation_ = decode_motion_creation(argument);
    evaluation_count_ = 0;
    time_ = 0;
    rate_ = 0;
    duration_ = 0;
    resource_handle_ = resource_server.open_resource(creation_.resource_id)->get_handle();
    bind_curves();
}

void Motion::finalize() {
    for (bool& has_cursor : has_cursor_) {
        has_cursor = false;
    }
    if (ServerObject* const resource = resource_server.get_object_internal(resource_handle_); resource != nullptr) {
        resource_server.destroy_object_internal(resource);
    }
    resource_handle_ = 0;
}

void Motion::bind_curves() {
    duration_ = 0;
    const ResourceObject* const resource = get_resource(resource_handle_);
    const void* const data = resource != nullptr ? resource->get_data() : nullptr;
    const uint32_t size = data != nullptr ? resource->get_info()->unpacked_size : 0;
    for (uint32_t channel = 0; channel < motion_channel_capacity; ++channel) {
        has_cursor_[channel] = false;
        values_[channel] = 0;
        if (channel >= creation_.channel_count) {
            continue;
        }
        uint32_t curve_offset = 0;
        const char* error = nullptr;
        if (!find_motion_curve(data, size, creation_.first_curve + channel, &curve_offset, &error) ||
            (curve_offset != 0 && !check_motion_curve(data, size, curve_offset, &error))) {
            ZOLT_PANIC("motion resource 0x%08x is broken: curve %u has %s", creation_.resource_id,
                       creation_.first_curve + channel, error);
        }
        if (curve_offset == 0) {
            continue;
        }
        cursors_[channel] = make_motion_curve_cursor(data, curve_offset);
        has_cursor_[channel] = true;
        duration_ = std::fmax(duration_, get_motion_curve_end_time(data, cursors_[channel]));
    }
    evaluated_time_ = -1;
}

void Motion::set_time(float time) {
    if (std::isnan(time)) {
        return;
    }
    if (creation_.is_looping) {
        if (duration_ < motion_epsilon || !std::isfinite(time)) {
            time = 0;
        } else {
            time = std::fmod(time, duration_);
            if (time < 0) {
                time += duration_;
            }
        }
    } else {
        time = time < 0 ? 0 : time > duration_ ? duration_ : time;
    }
    if (time != time_) {
        time_ = time;
        evaluated_time_ = -1;
    }
}

void Motion::evaluate() const {
    if (evaluated_time_ == time_) {
        return;
    }
    const ResourceObject* const resource = get_resource(resource_handle_);
    const void* const data = resource != nullptr ? resource->get_data() : nullptr;
    for (uint32_t channel = 0; channel < motion_channel_capacity; ++channel) {
        if (has_cursor_[channel] && data != nullptr) {
            values_[channel] = evaluate_motion_curve(data, cursors_[channel], time_);
        }
    }
    evaluated_time_ = time_;
    ++evaluation_count_;
}

bool Motion::get_property(uint32_t id, Property& out) const {
    constexpr uint32_t floating = property_type::floating << 24;
    if (is_key(id, motion_property::time)) {
        out.set_float(floating, time_);
        return true;
    }
    if (is_key(id, motion_property::duration)) {
        out.set_float(floating, duration_);
        return true;
    }
    if (is_key(id, motion_property::rate)) {
        out.set_float(floating, rate_);
        return true;
    }
    if (is_one_of(id, channel_0_keys)) {
        out.set_float(floating, get_value(0));
        return true;
    }
    for (uint32_t channel = 0; channel < motion_channel_capacity; ++channel) {
        if (is_one_of(id, channel_keys[channel])) {
            out.set_float(floating, get_value(channel));
            return true;
        }
    }
    const struct {
        const uint32_t* keys;
        size_t count;
        uint32_t type;
    } vectors[] = {{vector2_keys, std::size(vector2_keys), property_type::vector2},
                   {vector3_keys, std::size(vector3_keys), property_type::vector3},
                   {vector4_keys, std::size(vector4_keys), property_type::vector4}};
    for (const auto& vector : vectors) {
        for (size_t index = 0; index < vector.count; ++index) {
            if (id == vector.keys[index]) {
                evaluate();
                // All four values; the type says how many a reader takes.
                out.set_floats(vector.type << 24, values_, motion_channel_capacity);
                return true;
            }
        }
    }
    if (is_one_of(id, rotation_keys)) {
        evaluate();
        const vector::Lanes rotation = vector::angles_to_quaternion(values_[0], values_[1], values_[2]);
        out.set_floats(property_type::quaternion << 24, rotation.value, 4);
        return true;
    }
    if (is_one_of(id, colour_keys)) {
        evaluate();
        out.set_u32(property_type::unsigned_integer << 24, pack_motion_colour(values_));
        return true;
    }
    return ServerObject::get_property(id, out);
}

bool Motion::set_property(uint32_t id, const Property& value) {
    if (id == motion_property::time) {
        set_time(value.get_float());
        return true;
    }
    if (id == motion_property::rate) {
        rate_ = value.get_float();
        return true;
    }
    return ServerObject::set_property(id, value);
}

void Motion::save(storage::SaveStream& stream) {
    ServerObject::save(stream);
    write_u32(stream, creation_.resource_id);
    write_u32(stream, creation_.first_curve);
    write_u32(stream, creation_.channel_count);
    write_u8(stream, creation_.is_looping ? 1 : 0);
    write_u32(stream, resource_handle_);
    write_f32(stream, time_);
    write_f32(stream, rate_);
}

bool Motion::load(storage::LoadStream& stream) {
    MotionCreation creation{};
    uint8_t looping = 0;
    uint32_t resource_handle = 0;
    float time = 0;
    float rate = 0;
    if (!ServerObject::load(stream) || !read_u32(stream, creation.resource_id) ||
        !read_u32(stream, creation.first_curve) || !read_u32(stream, creation.channel_count) ||
        !read_u8(stream, looping) || !read_u32(stream, resource_handle) || !read_f32(stream, time) ||
        !read_f32(stream, rate)) {
        return false;
    }
    const ResourceObject* const resource = get_resource(resource_handle);
    if (creation.first_curve > 0xFFF || creation.channel_count == 0 ||
        creation.channel_count > motion_channel_capacity || looping > 1 || !std::isfinite(time) ||
        resource == nullptr || resource->get_info() == nullptr || resource->get_info()->id != creation.resource_id) {
        return false;
    }
    creation.is_looping = looping != 0;
    creation_ = creation;
    resource_handle_ = resource_handle;
    time_ = time;
    rate_ = rate;
    bind_curves();
    return true;
}

}  // namespace zolt::core
