#include "zolt/renderer/animation/animator.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "libs/utility/fatal_error.h"
#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/resources/resource_info.h"
#include "zolt/core/resources/resource_server.h"
#include "zolt/renderer/animation/channel_binding.h"
#include "zolt/renderer/animation/keyframe_sampling.h"
#include "zolt/renderer/animation/skeleton.h"
#include "zolt/renderer/animation/temporary_pose_pool.h"
#include "zolt/sound/sound_entity_server.h"

namespace zolt::animation {
namespace {

constexpr uint32_t unsigned_type = core::property_type::unsigned_integer << 24;
constexpr uint32_t signed_type = core::property_type::signed_integer << 24;
constexpr uint32_t link_type = core::property_type::object_link << 24;
constexpr uint32_t float_type = core::property_type::floating << 24;
// The sound's playback time is in seconds.
constexpr double ticks_per_second = 100000.0;

bool names(uint32_t id, uint32_t typed) {
    return id == typed || id == (typed & 0xFFFFFFu);
}

const core::ResourceObject* find_resource(core::ObjectHandle handle) {
    if (handle == 0 || core::get_handle_server_type(handle) != core::server_type::resource) {
        return nullptr;
    }
    return static_cast<const core::ResourceObject*>(core::get_object(handle));
}

bool check_resource(const core::ResourceObject* resource, std::string* error) {
    if (resource == nullptr || resource->get_data() == nullptr || resource->get_info() == nullptr) {
        *error = "not open";
        return false;
    }
    return check_animation_resource(resource->get_info()->id, static_cast<const uint8_t*>(resource->get_data()),
                                    resource->get_info()->unpacked_size, error);
}

sound::SoundEntity* find_sound_entity(core::ObjectHandle handle) {
    return handle != 0 && sound::sound_entity_server.is_registered()
               ? sound::sound_entity_server.get_typed_object(handle)
               : nullptr;
}

class SkeletonEventSink final : public AnimationEventSink {
public:
    SkeletonEventSink(const Skeleton* skeleton, core::ObjectHandle mixer, core::ObjectHandle animator)
        : skeleton_(skeleton), mixer_(mixer), animator_(animator) {}
    void post_animation_event(const AnimationEvent& event) override {
        if (skeleton_ != nullptr) {
            animation::post_animation_event(*skeleton_, event.id, event.data[0], event.data[1], mixer_, animator_);
        }
    }

private:
    const Skeleton* skeleton_;
    core::ObjectHandle mixer_;
    core::ObjectHandle animator_;
};

void write_transform(storage::SaveStream& stream, const RootTransform& transform) {
    core::write_f32(stream, transform.position.x);
    core::write_f32(stream, transform.position.y);
    core::write_f32(stream, transform.position.z);
    core::write_f32(stream, transform.rotation.x);
    core::write_f32(stream, transform.rotation.y);
    core::write_f32(stream, transform.rotation.z);
    core::write_f32(stream, transform.rotation.w);
}

bool read_transform(storage::LoadStream& stream, RootTransform& transform) {
    return core::read_f32(stream, transform.position.x) && core::read_f32(stream, transform.position.y) &&
           core::read_f32(stream, transform.position.z) && core::read_f32(stream, transform.rotation.x) &&
           core::read_f32(stream, transform.rotation.y) && core::read_f32(stream, transform.rotation.z) &&
           core::read_f32(stream, transform.rotation.w);
}

}  // namespace

void Animator::initialize(uint32_t loop) {
    resource_ = 0;
    channel_count_ = 0;
    flags_ = loop != 0 ? animator_flag::looping : 0;
    speed_ = 1;
    position_ = 0;
    cycles_ = 0;
    cycle_root_ = {};
    step_root_ = {};
    sound_entity_ = 0;
    has_map_ = false;
}

void Animator::finalize() {
    if (const core::ResourceObject* const resource = find_resource(resource_)) {
        core::resource_server.destroy_object_internal(const_cast<core::ResourceObject*>(resource));
    }
    resource_ = 0;
    has_map_ = false;
    sound_entity_ = 0;
}

void Animator::bind(uint32_t animation_id, uint32_t channel_count, const KeyEntry* keys, uint32_t key_count) {
    core::ResourceObject* const resource = core::resource_server.open_resource(animation_id);
    std::string error;
    if (!check_resource(resource, &error)) {
        ZOLT_PANIC("animation resource 0x%08x is broken: %s", animation_id, error.c_str());
    }
    resource_ = resource->get_handle();
    channel_count_ = std::min(channel_count, maximum_skeleton_channels);
    has_map_ = !bind_channels(keys, key_count, get_view(), channel_count_, channel_map_);
    cycle_root_ = compute_cycle_root_motion(get_view(), get_map());
    reset_step();
}

AnimationView Animator::get_view() const {
    const core::ResourceObject* const resource = find_resource(resource_);
    if (resource == nullptr || resource->get_data() == nullptr) {
        return {};
    }
    const auto* const data = static_cast<const uint8_t*>(resource->get_data());
    return {data, read_animation_header(data)};
}

AnimatorPlayback Animator::get_playback() const {
    AnimatorPlayback playback;
    playback.at = {position_, cycles_};
    playback.speed = speed_;
    playback.looping = (flags_ & animator_flag::looping) != 0;
    playback.events_handled = (flags_ & animator_flag::events_handled) != 0;
    return playback;
}

void Animator::set_playback(const AnimatorPlayback& playback) {
    position_ = playback.at.position;
    cycles_ = playback.at.cycles;
    speed_ = playback.speed;
    flags_ = playback.events_handled ? flags_ | animator_flag::events_handled : flags_ & ~animator_flag::events_handled;
}

void Animator::reset_step() {
    step_root_ = {};
    flags_ &= ~animator_flag::events_handled;
}

void Animator::evaluate(const ChannelRange& range, MixedBone* destination, TrackMixingType type, float weight,
                        const SkeletonView& skeleton) const {
    const AnimationView view = get_view();
    if (view.data == nullptr) {
        return;
    }
    const uint32_t first = std::min(range.first, channel_count_);
    const uint32_t count = std::min(range.count, channel_count_ - first);
    TemporaryPose pose(channel_count_);
    sample_pose(view, get_map(), position_, first, count, pose.get(), skeleton, skeleton.header.bone_count,
                flags_ & animator_flag::sampling_mode);
    if (first == 0 && count > 0 && (flags_ & root_motion_flag::mask) != 0) {
        const RootTransform kept = split_root_transform({pose[0].position, pose[0].rotation}, flags_).kept;
        pose[0].position = kept.position;
        pose[0].rotation = kept.rotation;
    }
    mix_pose(pose.get(), first, count, destination, skeleton.header.bone_count, type, weight, range.weights);
}

void Animator::sample_scalars(MixedBone* pose, uint32_t count) const {
    const AnimationView view = get_view();
    if (view.data == nullptr) {
        return;
    }
    sample_pose(view, get_map(), position_, 0, std::min(count, channel_count_), pose, SkeletonView{}, 0,
                sampling_mode::absolute);
}

std::optional<uint32_t> Animator::get_sound_step() {
    if (sound_entity_ == 0) {
        return std::nullopt;
    }
    const sound::SoundEntity* const entity = find_sound_entity(sound_entity_);
    if (entity == nullptr) {
        sound_entity_ = 0;
        return std::nullopt;
    }
    const uint8_t state = entity->get_state();
    if (state != sound::entity_state::playing && state != sound::entity_state::interrupted_loop &&
        state != sound::entity_state::release) {
        return std::nullopt;
    }
    const uint32_t duration = get_view().header.duration;
    // Never backwards because of the sound.
    const double heard = std::max(double(position_), double(entity->get_playback_time()) * ticks_per_second);
    return static_cast<uint32_t>(std::min(heard, double(duration))) - position_;
}

void Animator::advance(float ticks, const Skeleton* skeleton, core::ObjectHandle mixer) {
    const AnimationView view = get_view();
    if (view.data == nullptr) {
        return;
    }
    const std::optional<uint32_t> sound_step = get_sound_step();
    if (!sound_step && !(std::fabs(speed_) > negligible_weight)) {
        return;
    }
    const bool events_enabled = skeleton != nullptr && skeleton->advances_always();
    SkeletonEventSink sink(skeleton, mixer, get_handle());
    AnimatorPlayback playback = get_playback();
    const uint32_t from = playback.at.position;
    const int32_t cycles_before = playback.at.cycles;
    if (sound_step) {
        if (events_enabled) {
            handle_events_at_position(view, playback, sink);
        }
        if (*sound_step > 0 && move_position(playback.at, view.header.duration, playback.looping, *sound_step)) {
            playback.events_handled = false;
        }
        if (events_enabled) {
            handle_events_at_position(view, playback, sink);
        }
    } else {
        advance_playback(view, playback, ticks, events_enabled, sink);
    }
    set_playback(playback);
    const int64_t cycles = int64_t{playback.at.cycles} - cycles_before;
    step_root_ = compute_step_root_motion(
        view, get_map(), skeleton != nullptr ? skeleton->get_view() : SkeletonView{}, flags_, from,
        playback.at.position, static_cast<int32_t>(std::clamp<int64_t>(cycles, INT32_MIN, INT32_MAX)), cycle_root_);
}

void Animator::mix_root_motion(MixedBone& destination, TrackMixingType type, float weight) const {
    MixedBone step;
    step.weight = 1;
    step.position = step_root_.position;
    step.rotation = step_root_.rotation;
    mix_pose(&step, 0, 1, &destination, 1, type, weight, nullptr);
}

bool Animator::is_finished() const {
    const AnimationView view = get_view();
    return view.data == nullptr || is_playback_finished(view, get_playback());
}

std::optional<float> Animator::get_delay_to_next_event() const {
    const AnimationView view = get_view();
    if (view.data == nullptr || sound_entity_ != 0 || !(std::fabs(speed_) > negligible_weight)) {
        return std::nullopt;
    }
    const std::optional<uint32_t> delay = animation::get_delay_to_next_event(view, get_playback());
    if (!delay) {
        return std::nullopt;
    }
    return static_cast<float>(*delay / std::fabs(double(speed_)));
}

void Animator::copy_phase(const Animator& source) {
    const uint64_t source_duration = source.get_view().header.duration;
    const uint64_t duration = get_view().header.duration;
    position_ = source_duration == 0 ? 0
                                     : static_cast<uint32_t>(std::min<uint64_t>(
                                           uint64_t{source.position_} * duration / source_duration, duration));
    reset_step();
}

bool Animator::get_property(uint32_t id, core::Property& out) const {
    namespace p = animator_property;
    const uint32_t duration = get_view().header.duration;
    if (names(id, p::root_motion_axes)) {
        out.set_u32(unsigned_type, flags_ & animator_flag::root_motion_axes);
    } else if (names(id, p::duration)) {
        out.set_u32(unsigned_type, duration);
    } else if (names(id, p::sound_entity)) {
        out.set_u32(link_type, sound_entity_);
    } else if (names(id, p::speed)) {
        out.set_float(float_type, speed_);
    } else if (names(id, p::position)) {
        out.set_u32(unsigned_type, position_);
    } else if (names(id, p::looping)) {
        out.set_u32(signed_type, (flags_ & animator_flag::looping) != 0 ? 1 : 0);
    } else if (names(id, p::sampling_mode)) {
        out.set_u32(unsigned_type, flags_ & animator_flag::sampling_mode);
    } else if (names(id, p::reported_word)) {
        out.set_u32(unsigned_type, get_view().header.reported_word);
    } else if (names(id, p::phase)) {
        out.set_float(float_type, duration == 0 ? 0.0f : static_cast<float>(double(position_) / duration));
    } else {
        return ServerObject::get_property(id, out);
    }
    return true;
}

bool Animator::set_property(uint32_t id, const core::Property& value) {
    namespace p = animator_property;
    const uint32_t word = value.get_u32();
    const uint32_t duration = get_view().header.duration;
    if (names(id, p::root_motion_axes)) {
        flags_ = (flags_ & ~animator_flag::root_motion_axes) | (word & animator_flag::root_motion_axes);
    } else if (names(id, p::sound_entity)) {
        if (word != 0 && (core::get_handle_server_type(word) != sound::sound_entity_server_type ||
                          find_sound_entity(word) == nullptr)) {
            return false;
        }
        sound_entity_ = word;
    } else if (names(id, p::speed)) {
        AnimatorPlayback playback = get_playback();
        set_playback_speed(playback, duration, value.get_float());
        set_playback(playback);
    } else if (names(id, p::position)) {
        position_ = duration == 0 ? 0 : word % duration;
        reset_step();
    } else if (names(id, p::sampling_mode)) {
        if (word == sampling_mode::absolute || word == sampling_mode::relative_to_first_frame ||
            word == sampling_mode::relative_to_rest_pose) {
            flags_ = (flags_ & ~animator_flag::sampling_mode) | word;
        }
    } else if (names(id, p::duration) || names(id, p::looping) || names(id, p::reported_word) || names(id, p::phase)) {
        return false;
    } else {
        return ServerObject::set_property(id, value);
    }
    return true;
}

void Animator::save(storage::SaveStream& stream) {
    ServerObject::save(stream);
    core::write_u32(stream, resource_);
    core::write_u32(stream, channel_count_);
    core::write_u32(stream, flags_);
    core::write_f32(stream, speed_);
    core::write_u32(stream, position_);
    core::write_s32(stream, cycles_);
    write_transform(stream, cycle_root_);
    write_transform(stream, step_root_);
    core::write_u32(stream, sound_entity_);
    core::write_u8(stream, has_map_ ? 0 : 1);
    if (has_map_) {
        core::write_bytes(stream, channel_map_, channel_count_);
    }
}

bool Animator::load(storage::LoadStream& stream) {
    uint8_t without_map = 1;
    if (!ServerObject::load(stream) || !core::read_u32(stream, resource_) || !core::read_u32(stream, channel_count_) ||
        !core::read_u32(stream, flags_) || !core::read_f32(stream, speed_) || !core::read_u32(stream, position_) ||
        !core::read_s32(stream, cycles_) || !read_transform(stream, cycle_root_) ||
        !read_transform(stream, step_root_) || !core::read_u32(stream, sound_entity_) ||
        !core::read_u8(stream, without_map)) {
        return false;
    }
    std::string error;
    if (!check_resource(find_resource(resource_), &error) || channel_count_ > maximum_skeleton_channels ||
        position_ > get_view().header.duration) {
        resource_ = 0;
        return false;
    }
    has_map_ = without_map == 0;
    return !has_map_ || core::read_bytes(stream, channel_map_, channel_count_);
}

}  // namespace zolt::animation
