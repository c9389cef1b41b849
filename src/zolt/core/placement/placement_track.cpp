#include "zolt/core/placement/placement_track.h"

#include <algorithm>
#include <cstring>

#include "libs/geometry/turn_trigonometry.h"

namespace zolt::core {

using geometry::Quaternion;
using geometry::Vector3;

namespace {

// A relative rotation this close to the identity has no usable axis.
constexpr float identity_rotation_tolerance = 1.0f / 65536;

Vector3 to_vector(const float* value) {
    return {value[0], value[1], value[2]};
}

Quaternion to_quaternion(const float* value) {
    return {value[0], value[1], value[2], value[3]};
}

void store_vector(float* value, const Vector3& vector) {
    value[0] = vector.x;
    value[1] = vector.y;
    value[2] = vector.z;
    value[3] = 0;
}

void store_quaternion(float* value, const Quaternion& quaternion) {
    value[0] = quaternion.x;
    value[1] = quaternion.y;
    value[2] = quaternion.z;
    value[3] = quaternion.w;
}

// The rotation from previous to last, taken the shorter way, with its angle
// scaled, then applied after last.
Quaternion extrapolate_rotation(const Quaternion& previous, const Quaternion& last, float scale) {
    Quaternion relative = last * geometry::conjugate(previous);
    if (relative.w < 0) {
        relative = geometry::negate(relative);
    }
    const float vector_squared = relative.x * relative.x + relative.y * relative.y + relative.z * relative.z;
    if (vector_squared <= identity_rotation_tolerance || 1.0f - relative.w <= identity_rotation_tolerance) {
        return last;
    }
    const float half_angle = geometry::acos_turns(relative.w) * scale;
    const float axis_scale = geometry::sin_turns(half_angle) / std::sqrt(vector_squared);
    const Quaternion scaled{relative.x * axis_scale, relative.y * axis_scale, relative.z * axis_scale,
                            geometry::cos_turns(half_angle)};
    return geometry::normalize(scaled * last);
}

enum class ValueKind { position, rotation };

// Samples one list at time s into value.
void sample_list(KeyframeList& list, const KeyframePool& pool, uint32_t s, uint32_t maximum_extrapolation,
                 const float* base, ValueKind kind, float* value) {
    if (list.is_empty()) {
        std::memcpy(value, base, 4 * sizeof(float));
        return;
    }
    if (list.last_found != no_keyframe && s == list.last_sample_time) {
        std::memcpy(value, list.last_value, 4 * sizeof(float));
        return;
    }
    const uint32_t found = list.find(pool, s);
    list.last_sample_time = s;
    list.last_found = found;
    if (found == no_keyframe) {
        std::memcpy(value, pool[list.head].value, 4 * sizeof(float));
        return;
    }
    const Keyframe& keyframe = pool[found];
    const uint32_t next = keyframe.next;
    if (s == keyframe.time || (next == list.head && found == list.head)) {
        std::memcpy(value, keyframe.value, 4 * sizeof(float));
    } else if (next != list.head) {
        const Keyframe& following = pool[next];
        const float fraction =
            static_cast<float>(s - keyframe.time) / static_cast<float>(following.time - keyframe.time);
        if (kind == ValueKind::position) {
            store_vector(value, geometry::lerp(to_vector(keyframe.value), to_vector(following.value), fraction));
        } else {
            store_quaternion(value,
                             geometry::slerp(to_quaternion(keyframe.value), to_quaternion(following.value), fraction));
        }
    } else {
        const Keyframe& before = pool[keyframe.previous];
        const uint32_t beyond = std::min(s - keyframe.time, maximum_extrapolation);
        const float scale = static_cast<float>(beyond) / static_cast<float>(keyframe.time - before.time);
        if (kind == ValueKind::position) {
            const Vector3 last = to_vector(keyframe.value);
            store_vector(value, last + (last - to_vector(before.value)) * scale);
        } else {
            store_quaternion(value,
                             extrapolate_rotation(to_quaternion(before.value), to_quaternion(keyframe.value), scale));
        }
    }
    std::memcpy(list.last_value, value, 4 * sizeof(float));
}

}  // namespace

uint32_t KeyframeList::count(const KeyframePool& pool) const {
    uint32_t result = 0;
    if (head != no_keyframe) {
        uint32_t index = head;
        do {
            ++result;
            index = pool[index].next;
        } while (index != head);
    }
    return result;
}

uint32_t KeyframeList::find(const KeyframePool& pool, uint32_t time) const {
    if (head == no_keyframe) {
        return no_keyframe;
    }
    uint32_t index = last_found != no_keyframe ? last_found : head;
    if (!is_time_before(time, pool[index].time)) {
        for (uint32_t next = pool[index].next; next != head && !is_time_before(time, pool[next].time);
             next = pool[next].next) {
            index = next;
        }
        return index;
    }
    while (index != head) {
        index = pool[index].previous;
        if (!is_time_before(time, pool[index].time)) {
            return index;
        }
    }
    return no_keyframe;
}

bool KeyframeList::write(KeyframePool& pool, uint32_t time, const float* value) {
    // Recording appends, so the place is searched from the back.
    uint32_t after = no_keyframe;
    if (head != no_keyframe) {
        uint32_t index = pool[head].previous;
        for (;;) {
            if (pool[index].time == time) {
                std::memcpy(pool[index].value, value, 4 * sizeof(float));
                forget_sample();
                return true;
            }
            if (is_time_before(pool[index].time, time)) {
                after = index;
                break;
            }
            if (index == head) {
                break;
            }
            index = pool[index].previous;
        }
    }
    if (!pool.has_free_keyframe()) {
        return false;
    }
    const uint32_t created = pool.take();
    Keyframe& keyframe = pool[created];
    std::memcpy(keyframe.value, value, 4 * sizeof(float));
    keyframe.time = time;
    keyframe.unused = 0;
    if (head == no_keyframe) {
        keyframe.next = keyframe.previous = created;
        head = created;
    } else {
        // With no keyframe before it, it goes before the head and becomes the head.
        const uint32_t previous = after != no_keyframe ? after : pool[head].previous;
        const uint32_t next = pool[previous].next;
        keyframe.previous = previous;
        keyframe.next = next;
        pool[previous].next = created;
        pool[next].previous = created;
        if (after == no_keyframe) {
            head = created;
        }
    }
    forget_sample();
    return true;
}

void KeyframeList::remove(KeyframePool& pool, uint32_t index) {
    Keyframe& keyframe = pool[index];
    if (keyframe.next == index) {
        head = no_keyframe;
    } else {
        pool[keyframe.previous].next = keyframe.next;
        pool[keyframe.next].previous = keyframe.previous;
        if (head == index) {
            head = keyframe.next;
        }
    }
    pool.give_back(index);
    forget_sample();
}

bool KeyframeList::drop_before(KeyframePool& pool, uint32_t time) {
    bool dropped = false;
    while (head != no_keyframe && is_time_before(pool[head].time, time)) {
        remove(pool, head);
        dropped = true;
    }
    return dropped;
}

bool KeyframeList::drop_after(KeyframePool& pool, uint32_t time) {
    bool dropped = false;
    while (head != no_keyframe && is_time_before(time, pool[get_tail(pool)].time)) {
        remove(pool, get_tail(pool));
        dropped = true;
    }
    return dropped;
}

bool KeyframeList::drop_all(KeyframePool& pool) {
    const bool dropped = head != no_keyframe;
    while (head != no_keyframe) {
        remove(pool, get_tail(pool));
    }
    return dropped;
}

void KeyframeTrack::initialize(Placement* track_owner, const Vector3& position, const Quaternion& rotation) {
    owner = track_owner;
    time_offset = 0;
    maximum_extrapolation = 0;
    base_position = position;
    base_rotation = rotation;
    positions = {};
    rotations = {};
    next = previous = this;
}

Vector3 KeyframeTrack::sample_position(const KeyframePool& pool, uint32_t playback_time) {
    alignas(16) float base[4];
    alignas(16) float value[4];
    store_vector(base, base_position);
    sample_list(positions, pool, playback_time - static_cast<uint32_t>(time_offset), maximum_extrapolation, base,
                ValueKind::position, value);
    return to_vector(value);
}

Quaternion KeyframeTrack::sample_rotation(const KeyframePool& pool, uint32_t playback_time) {
    alignas(16) float base[4];
    alignas(16) float value[4];
    store_quaternion(base, base_rotation);
    sample_list(rotations, pool, playback_time - static_cast<uint32_t>(time_offset), maximum_extrapolation, base,
                ValueKind::rotation, value);
    return to_quaternion(value);
}

}  // namespace zolt::core
