#include "zolt/renderer/animation/track_mixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

#include "libs/utility/fatal_error.h"
#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/resources/resource_info.h"
#include "zolt/core/resources/resource_server.h"
#include "zolt/renderer/animation/animator_server.h"
#include "zolt/renderer/animation/channel_binding.h"
#include "zolt/renderer/animation/skeleton_server.h"
#include "zolt/renderer/animation/temporary_pose_pool.h"
#include "zolt/renderer/animation/track_mixer_server.h"

namespace zolt::animation {
namespace {

constexpr uint32_t unsigned_type = core::property_type::unsigned_integer << 24;
constexpr uint32_t link_type = core::property_type::object_link << 24;
constexpr uint32_t float_type = core::property_type::floating << 24;
constexpr uint32_t channel_weight_header_size = 12;
constexpr uint32_t last_mixer_type = static_cast<uint32_t>(TrackMixerType::RestPoseTrack);
// Builtin 562 binds a weight animation's keys to nine channels.
constexpr KeyEntry fixed_key_table[] = {{1, 0}, {11, 1}, {12, 2}, {13, 3}, {14, 4}, {15, 5}, {16, 6}, {17, 7}, {18, 8}};
constexpr uint32_t fixed_channel_count = 9;

bool names(uint32_t id, uint32_t typed) {
    return id == typed || id == (typed & 0xFFFFFFu);
}

TrackMixer* find_mixer(core::ObjectHandle handle) {
    return handle != 0 ? track_mixer_server.find_track_mixer(handle) : nullptr;
}

Animator* find_animator(core::ObjectHandle handle) {
    return handle != 0 ? animator_server.find_animator(handle) : nullptr;
}

const core::ResourceObject* find_resource(core::ObjectHandle handle) {
    if (handle == 0 || core::get_handle_server_type(handle) != core::server_type::resource) {
        return nullptr;
    }
    return static_cast<const core::ResourceObject*>(core::get_object(handle));
}

void destroy_resource(core::ObjectHandle handle) {
    if (const core::ResourceObject* const resource = find_resource(handle)) {
        core::resource_server.destroy_object_internal(const_cast<core::ResourceObject*>(resource));
    }
}

uint32_t read_word(const uint8_t* data, uint32_t offset) {
    uint32_t word;
    std::memcpy(&word, data + offset, sizeof word);
    return word;
}

float read_float(const uint8_t* data, uint32_t offset) {
    float value;
    std::memcpy(&value, data + offset, sizeof value);
    return value;
}

// Every combined weight full (only where something contributed), or the
// weights scaled so the largest is 1.
void combine_weights(MixedBone* pose, uint32_t count, uint32_t flags) {
    if ((flags & track_mixer_flag::full_weights) != 0) {
        for (uint32_t channel = 0; channel < count; ++channel) {
            if (pose[channel].weight > 0) {
                pose[channel].weight = 1;
            }
        }
    } else if ((flags & track_mixer_flag::normalised_weights) != 0) {
        float largest = 0;
        for (uint32_t channel = 0; channel < count; ++channel) {
            largest = std::max(largest, pose[channel].weight);
        }
        if (largest > negligible_weight) {
            for (uint32_t channel = 0; channel < count; ++channel) {
                pose[channel].weight /= largest;
            }
        }
    }
}

}  // namespace

template <typename Visit>
void TrackMixer::for_each_child(Visit visit) const {
    uint32_t count = 0;
    const core::ObjectHandle first = first_child_;
    for (TrackMixer* child = find_mixer(first); child != nullptr && count < track_mixer_capacity;) {
        ++count;
        child = child->next_sibling_ != first ? find_mixer(child->next_sibling_) : nullptr;
    }
    TrackMixer* child = find_mixer(first);
    for (uint32_t index = 0; index < count && child != nullptr; ++index) {
        TrackMixer* const next = find_mixer(child->next_sibling_);
        visit(*child, index);
        child = next;
    }
}

void TrackMixer::initialize(uint32_t skeleton_handle) {
    if (core::get_handle_server_type(skeleton_handle) != skeleton_server_type ||
        skeleton_server.find_skeleton(skeleton_handle) == nullptr) {
        ZOLT_PANIC("Invalid skeleton handle 0x%08x passed to TrackMixer.", skeleton_handle);
    }
    mixer_type_ = static_cast<uint32_t>(TrackMixerType::GroupTrack);
    mixing_type_ = key_ = flags_ = 0;
    weight_ = fade_from_ = fade_to_ = 0;
    fade_duration_ = fade_elapsed_ = 0;
    channel_weights_ = animator_ = 0;
    has_slots_ = false;
    std::fill(std::begin(slots_), std::end(slots_), 0);
    reset_links();
    skeleton_ = 0;
    bind_to_skeleton(skeleton_handle);
}

void TrackMixer::finalize() {
    while (TrackMixer* const child = find_mixer(first_child_)) {
        child->detach_from_parent();
    }
    detach_from_parent();
    bind_to_skeleton(0);
    destroy_resource(channel_weights_);
    channel_weights_ = 0;
    destroy_animators();
    has_slots_ = false;
}

void TrackMixer::destroy_animators() {
    if (Animator* const animator = find_animator(animator_)) {
        core::destroy_object(animator);
    }
    animator_ = 0;
    for (core::ObjectHandle& slot : slots_) {
        if (Animator* const animator = find_animator(slot)) {
            core::destroy_object(animator);
        }
        slot = 0;
    }
}

void TrackMixer::reset_links() {
    parent_ = next_sibling_ = previous_sibling_ = first_child_ = 0;
}

Skeleton* TrackMixer::find_skeleton() const {
    return skeleton_ != 0 ? skeleton_server.find_skeleton(skeleton_) : nullptr;
}

void TrackMixer::bind_to_skeleton(core::ObjectHandle skeleton) {
    if (skeleton == skeleton_) {
        return;
    }
    if (Skeleton* const old = find_skeleton()) {
        old->clear_track_mixer_if(get_handle());
    }
    skeleton_ = skeleton;
}

bool TrackMixer::can_adopt(const TrackMixer* child) const {
    if (child == nullptr || child == this || child->skeleton_ != skeleton_) {
        return false;
    }
    // Not onto one of its own descendants.
    for (const TrackMixer* up = this; up != nullptr; up = find_mixer(up->parent_)) {
        if (up == child) {
            return false;
        }
    }
    return true;
}

void TrackMixer::detach_from_parent() {
    TrackMixer* const parent = find_mixer(parent_);
    if (parent != nullptr) {
        if (next_sibling_ == get_handle()) {
            parent->first_child_ = 0;
        } else {
            find_mixer(previous_sibling_)->next_sibling_ = next_sibling_;
            find_mixer(next_sibling_)->previous_sibling_ = previous_sibling_;
            if (parent->first_child_ == get_handle()) {
                parent->first_child_ = next_sibling_;
            }
        }
    }
    parent_ = next_sibling_ = previous_sibling_ = 0;
}

void TrackMixer::link_child(TrackMixer* child, TrackMixer* before, bool as_first) {
    child->parent_ = get_handle();
    TrackMixer* const first = find_mixer(first_child_);
    if (first == nullptr) {
        first_child_ = child->get_handle();
        child->next_sibling_ = child->previous_sibling_ = child->get_handle();
        return;
    }
    // Before the first child of a ring is after its last.
    TrackMixer* const next = before != nullptr ? before : first;
    TrackMixer* const previous = find_mixer(next->previous_sibling_);
    child->next_sibling_ = next->get_handle();
    child->previous_sibling_ = previous->get_handle();
    previous->next_sibling_ = child->get_handle();
    next->previous_sibling_ = child->get_handle();
    if (as_first) {
        first_child_ = child->get_handle();
    }
}

bool TrackMixer::append_child(TrackMixer* child) {
    if (!can_adopt(child)) {
        return false;
    }
    child->detach_from_parent();
    link_child(child, nullptr, false);
    return true;
}

bool TrackMixer::prepend_child(TrackMixer* child) {
    if (!can_adopt(child)) {
        return false;
    }
    child->detach_from_parent();
    link_child(child, find_mixer(first_child_), true);
    return true;
}

bool TrackMixer::insert_after(TrackMixer* other) {
    TrackMixer* const parent = find_mixer(parent_);
    if (parent == nullptr || other == this || !parent->can_adopt(other)) {
        return false;
    }
    other->detach_from_parent();
    TrackMixer* const next = find_mixer(next_sibling_);
    // After the last child is at the end.
    const bool at_end = next == nullptr || next->get_handle() == parent->first_child_;
    parent->link_child(other, at_end ? nullptr : next, false);
    return true;
}

bool TrackMixer::insert_before(TrackMixer* other) {
    TrackMixer* const parent = find_mixer(parent_);
    if (parent == nullptr || other == this || !parent->can_adopt(other)) {
        return false;
    }
    other->detach_from_parent();
    parent->link_child(other, this, parent->first_child_ == get_handle());
    return true;
}

uint32_t TrackMixer::list_children(TrackMixer** out, uint32_t capacity) const {
    uint32_t count = 0;
    const core::ObjectHandle first = first_child_;
    for (TrackMixer* child = find_mixer(first); child != nullptr && count < capacity;) {
        out[count++] = child;
        child = child->next_sibling_ != first ? find_mixer(child->next_sibling_) : nullptr;
    }
    return count;
}

void TrackMixer::start_fade(float from, float to, uint32_t duration) {
    fade_from_ = from;
    fade_to_ = to;
    fade_duration_ = duration;
    fade_elapsed_ = 0;
}

bool TrackMixer::advance(float ticks) {
    const bool moves = ticks != 0;
    if (moves && fade_duration_ != 0) {
        const double elapsed = std::min(double(fade_elapsed_) + std::trunc(double(ticks)), double(UINT32_MAX));
        fade_elapsed_ = static_cast<uint32_t>(std::max(elapsed, 0.0));
        if (fade_elapsed_ < fade_duration_) {
            weight_ = fade_from_ +
                      (fade_to_ - fade_from_) * static_cast<float>(fade_elapsed_) / static_cast<float>(fade_duration_);
        } else {
            weight_ = fade_to_;
            fade_duration_ = 0;
        }
    }
    if ((flags_ & track_mixer_flag::end_when_silent) != 0 && fade_duration_ == 0 && weight_ == 0) {
        return false;
    }
    const TrackMixerType type = get_type();
    if (type == TrackMixerType::AnimatorTrack || type == TrackMixerType::SlotTrack) {
        if (Animator* const animator = find_animator(animator_)) {
            animator->advance(ticks, find_skeleton(), get_handle());
            const bool fading_out = fade_duration_ != 0 && fade_to_ == 0;
            if (moves && (flags_ & track_mixer_flag::fade_out_when_finished) != 0 && animator->is_finished() &&
                !fading_out) {
                start_fade(weight_, 0, automatic_fade_ticks);
            }
        }
    }
    const TrackMixer* const first = find_mixer(first_child_);
    if (moves && (flags_ & track_mixer_flag::fade_out_others) != 0 && first != nullptr) {
        const uint32_t duration = first->fade_duration_ != 0 ? first->fade_duration_ : automatic_fade_ticks;
        for_each_child([duration](TrackMixer& child, uint32_t index) {
            if (index > 0 && (child.fade_duration_ == 0 || child.fade_to_ != 0)) {
                child.start_fade(child.weight_, 0, duration);
            }
        });
    }
    for_each_child([ticks](TrackMixer& child, uint32_t) {
        if (!child.advance(ticks)) {
            core::destroy_object(&child);
        }
    });
    const TrackMixer* const second = first_child_ != 0 ? find_mixer(find_mixer(first_child_)->next_sibling_) : nullptr;
    if (moves && (flags_ & track_mixer_flag::complementary_second) != 0 && second != nullptr &&
        second->get_handle() != first_child_) {
        const float first_weight = find_mixer(first_child_)->weight_;
        bool any_ends = false;
        for_each_child([&](TrackMixer& child, uint32_t index) {
            if (index > 0) {
                child.weight_ = index == 1 ? std::max(0.0f, 1 - first_weight) : 0.0f;
                child.fade_duration_ = 0;
            }
            any_ends = any_ends || (child.flags_ & track_mixer_flag::end_when_silent) != 0;
        });
        if (any_ends) {
            for_each_child([](TrackMixer& child, uint32_t) {
                if ((child.flags_ & track_mixer_flag::end_when_silent) != 0 && child.weight_ == 0 &&
                    child.fade_duration_ == 0) {
                    core::destroy_object(&child);
                }
            });
        }
    }
    if (moves && (flags_ & track_mixer_flag::weight_from_children) != 0) {
        float sum = 0;
        for_each_child([&sum](TrackMixer& child, uint32_t) { sum += child.weight_; });
        weight_ = std::clamp(sum, 0.0f, 1.0f);
        fade_duration_ = 0;
    }
    return true;
}

std::optional<float> TrackMixer::get_delay_to_nearest_event() const {
    if (mixer_type_ > last_mixer_type) {
        ZOLT_PANIC("Invalid track mixer type %u.", mixer_type_);
    }
    switch (get_type()) {
    case TrackMixerType::GroupTrack: {
        std::optional<float> nearest;
        for_each_child([&nearest](TrackMixer& child, uint32_t) {
            const std::optional<float> delay = child.get_delay_to_nearest_event();
            if (delay && (!nearest || *delay < *nearest)) {
                nearest = delay;
            }
        });
        return nearest;
    }
    case TrackMixerType::AnimatorTrack:
    case TrackMixerType::SlotTrack: {
        const Animator* const animator = find_animator(animator_);
        return animator != nullptr ? animator->get_delay_to_next_event() : std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

bool TrackMixer::read_channel_weights(uint32_t channel_count, uint32_t* first, uint32_t* count, float* weights) const {
    const core::ResourceObject* const resource = find_resource(channel_weights_);
    if (resource == nullptr || resource->get_data() == nullptr) {
        *first = 0;
        *count = channel_count;
        return false;
    }
    const auto* const data = static_cast<const uint8_t*>(resource->get_data());
    // Checked when the record was taken; the skeleton's count cannot change.
    *first = std::min(read_word(data, 4), channel_count);
    *count = std::min(read_word(data, 8), channel_count - *first);
    for (uint32_t index = 0; index < *count; ++index) {
        weights[*first + index] = read_float(data, channel_weight_header_size + 4 * index);
    }
    return true;
}

bool TrackMixer::check_channel_weights(core::ObjectHandle record) const {
    const core::ResourceObject* const resource = find_resource(record);
    const Skeleton* const skeleton = find_skeleton();
    if (resource == nullptr || resource->get_data() == nullptr || skeleton == nullptr) {
        return false;
    }
    const auto* const data = static_cast<const uint8_t*>(resource->get_data());
    const uint64_t size = resource->get_info()->unpacked_size;
    if (size < channel_weight_header_size) {
        return false;
    }
    const uint64_t channels = read_word(data, 0);
    const uint64_t first = read_word(data, 4);
    const uint64_t count = read_word(data, 8);
    return channels == skeleton->get_channel_count() && first + count <= channels &&
           channel_weight_header_size + 4 * count <= size;
}

void TrackMixer::mix_combined(const MixedBone* combined, MixedBone* destination, uint32_t channel_count,
                              uint32_t bone_count) const {
    float weights[maximum_skeleton_channels];
    uint32_t first = 0;
    uint32_t count = 0;
    const bool has_record = read_channel_weights(channel_count, &first, &count, weights);
    mix_pose(combined, first, count, destination, bone_count, static_cast<TrackMixingType>(mixing_type_), weight_,
             has_record ? weights : nullptr);
}

void TrackMixer::evaluate_group(MixedBone* destination, uint32_t channel_count, uint32_t bone_count) const {
    TemporaryPose combined(channel_count);
    for_each_child([&combined](TrackMixer& child, uint32_t) {
        if (child.weight_ > negligible_weight) {
            child.evaluate(combined.get());
        }
    });
    combine_weights(combined.get(), channel_count, flags_);
    mix_combined(combined.get(), destination, channel_count, bone_count);
}

void TrackMixer::evaluate_slots(MixedBone* destination, uint32_t channel_count, uint32_t bone_count) const {
    const Animator* const weights_animator = find_animator(animator_);
    if (weights_animator == nullptr) {
        return;
    }
    MixedBone slot_weights[fixed_channel_count];
    weights_animator->sample_scalars(slot_weights, fixed_channel_count);
    float weights[track_mixer_slot_count];
    bool any = false;
    for (uint32_t slot = 0; slot < track_mixer_slot_count; ++slot) {
        weights[slot] = std::clamp(slot_weights[slot + 1].position.x, 0.0f, 1.0f);
        any = any || weights[slot] > negligible_weight;
    }
    if (!any) {
        return;
    }
    const Skeleton* const skeleton = find_skeleton();
    TemporaryPose combined(channel_count);
    for (uint32_t slot = 0; slot < track_mixer_slot_count; ++slot) {
        const Animator* const animator = find_animator(slots_[slot]);
        if (weights[slot] > negligible_weight && animator != nullptr) {
            animator->evaluate({0, channel_count, nullptr}, combined.get(), TrackMixingType::Blend, weights[slot],
                               skeleton->get_view());
        }
    }
    combine_weights(combined.get(), channel_count, flags_);
    mix_combined(combined.get(), destination, channel_count, bone_count);
}

void TrackMixer::evaluate_rest_pose(MixedBone* destination, uint32_t channel_count, uint32_t bone_count) const {
    const SkeletonView view = find_skeleton()->get_view();
    TemporaryPose rest(channel_count);
    for (uint32_t channel = 0; channel < channel_count; ++channel) {
        rest[channel].weight = 1;
        if (channel < bone_count) {
            const RestRecord record = read_rest_record(view.data, view.header, channel);
            rest[channel].position = record.position;
            rest[channel].rotation = record.rotation;
        } else {
            rest[channel].position = {read_factor_default(view.data, view.header, channel), 0, 0};
        }
    }
    mix_combined(rest.get(), destination, channel_count, bone_count);
}

void TrackMixer::evaluate(MixedBone* destination) const {
    const Skeleton* const skeleton = find_skeleton();
    if (!(weight_ > negligible_weight) || skeleton == nullptr) {
        return;
    }
    const uint32_t channel_count = skeleton->get_channel_count();
    const uint32_t bone_count = skeleton->get_bone_count();
    switch (get_type()) {
    case TrackMixerType::AnimatorTrack:
        if (const Animator* const animator = find_animator(animator_)) {
            float weights[maximum_skeleton_channels];
            ChannelRange range;
            const bool has_record = read_channel_weights(channel_count, &range.first, &range.count, weights);
            range.weights = has_record ? weights : nullptr;
            animator->evaluate(range, destination, static_cast<TrackMixingType>(mixing_type_), weight_,
                               skeleton->get_view());
        }
        break;
    case TrackMixerType::GroupTrack:
        evaluate_group(destination, channel_count, bone_count);
        break;
    case TrackMixerType::SlotTrack:
        evaluate_slots(destination, channel_count, bone_count);
        break;
    case TrackMixerType::RestPoseTrack:
        evaluate_rest_pose(destination, channel_count, bone_count);
        break;
    case TrackMixerType::EmptyTrack:
        break;
    }
}

void TrackMixer::mix_root_motion(MixedBone& destination) const {
    const Skeleton* const skeleton = find_skeleton();
    if (!(weight_ > negligible_weight) || skeleton == nullptr) {
        return;
    }
    const uint32_t channel_count = skeleton->get_channel_count();
    float weights[maximum_skeleton_channels];
    uint32_t first = 0;
    uint32_t count = 0;
    const bool has_record = read_channel_weights(channel_count, &first, &count, weights);
    const bool root_in_record = !has_record || (first == 0 && count > 0 && weights[0] != 0);
    const TrackMixingType type = static_cast<TrackMixingType>(mixing_type_);
    if (get_type() == TrackMixerType::AnimatorTrack) {
        const Animator* const animator = find_animator(animator_);
        if (animator != nullptr && root_in_record) {
            animator->mix_root_motion(destination, type, weight_);
        }
    } else if (get_type() == TrackMixerType::GroupTrack) {
        MixedBone combined;
        for_each_child([&combined](TrackMixer& child, uint32_t) { child.mix_root_motion(combined); });
        if ((flags_ & (track_mixer_flag::full_weights | track_mixer_flag::normalised_weights)) != 0 &&
            combined.weight > 0) {
            combined.weight = 1;
        }
        const bool root_weighted = has_record && first == 0 && count > 0;
        mix_pose(&combined, 0, 1, &destination, 1, type, weight_, root_weighted ? weights : nullptr);
    }
}

void TrackMixer::replace_animator(uint32_t animation_id, bool loop, bool fixed_channels) {
    const Skeleton* const skeleton = find_skeleton();
    if (skeleton == nullptr) {
        return;
    }
    if (Animator* const old = find_animator(animator_)) {
        core::destroy_object(old);
    }
    Animator* const animator = animator_server.create_animator(loop && !fixed_channels);
    if (fixed_channels) {
        animator->bind(animation_id, fixed_channel_count, fixed_key_table, fixed_channel_count);
    } else {
        KeyEntry keys[maximum_skeleton_channels];
        const uint32_t count = read_skeleton_keys(skeleton->get_view(), keys);
        animator->bind(animation_id, skeleton->get_channel_count(), keys, count);
    }
    animator_ = animator->get_handle();
}

bool TrackMixer::get_property(uint32_t id, core::Property& out) const {
    namespace p = track_mixer_property;
    const TrackMixer* const parent = find_mixer(parent_);
    if (names(id, p::flags)) {
        out.set_u32(unsigned_type, flags_);
    } else if (names(id, p::mixer_type)) {
        out.set_u32(unsigned_type, mixer_type_);
    } else if (names(id, p::fade_duration)) {
        out.set_u32(unsigned_type, fade_duration_);
    } else if (names(id, p::skeleton)) {
        out.set_u32(link_type, skeleton_);
    } else if (names(id, p::parent)) {
        out.set_u32(link_type, parent_);
    } else if (names(id, p::next_sibling)) {
        const bool last = parent == nullptr || next_sibling_ == parent->first_child_;
        out.set_u32(link_type, last ? 0 : next_sibling_);
    } else if (names(id, p::previous_sibling)) {
        const bool first = parent == nullptr || get_handle() == parent->first_child_;
        out.set_u32(link_type, first ? 0 : previous_sibling_);
    } else if (names(id, p::first_child)) {
        out.set_u32(link_type, first_child_);
    } else if (names(id, p::last_child)) {
        const TrackMixer* const first = find_mixer(first_child_);
        out.set_u32(link_type, first != nullptr ? first->previous_sibling_ : 0);
    } else if (names(id, p::mixing_type)) {
        out.set_u32(unsigned_type, mixing_type_);
    } else if (names(id, p::key)) {
        out.set_u32(unsigned_type, key_);
    } else if (names(id, p::weight)) {
        out.set_float(float_type, weight_);
    } else if (names(id, p::fade_from)) {
        out.set_float(float_type, fade_from_);
    } else if (names(id, p::fade_to)) {
        out.set_float(float_type, fade_to_);
    } else if (names(id, p::fade_elapsed)) {
        out.set_u32(unsigned_type, fade_elapsed_);
    } else if (names(id, p::animator)) {
        out.set_u32(link_type, animator_);
    } else if (names(id, p::channel_weights)) {
        out.set_u32(unsigned_type, channel_weights_);
    } else {
        return ServerObject::get_property(id, out);
    }
    return true;
}

bool TrackMixer::set_property(uint32_t id, const core::Property& value) {
    namespace p = track_mixer_property;
    const uint32_t word = value.get_u32();
    TrackMixer* const named = find_mixer(word);
    if (id >= p::first_slot && id <= p::last_slot) {
        const Skeleton* const skeleton = find_skeleton();
        if (get_type() != TrackMixerType::SlotTrack || skeleton == nullptr) {
            return false;
        }
        core::ObjectHandle& slot = slots_[id - p::first_slot];
        if (Animator* const old = find_animator(slot)) {
            core::destroy_object(old);
        }
        Animator* const animator = animator_server.create_animator(false);
        KeyEntry keys[maximum_skeleton_channels];
        const uint32_t count = read_skeleton_keys(skeleton->get_view(), keys);
        animator->bind(word, skeleton->get_channel_count(), keys, count);
        animator->set_context_handle(get_handle());
        core::ServerObject::attach_to_owner(animator, this);
        slot = animator->get_handle();
        return true;
    }
    switch (id) {
    case p::flags:
        flags_ = word;
        return true;
    case p::mixer_type:
        if (word == mixer_type_) {
            return true;
        }
        // Types beyond the rest-pose track have no meaning.
        if (get_type() != TrackMixerType::GroupTrack || word > last_mixer_type) {
            return false;
        }
        mixer_type_ = word;
        has_slots_ = get_type() == TrackMixerType::SlotTrack;
        return true;
    case p::fade_duration:
        fade_duration_ = word;
        return true;
    case p::parent: {
        if (word == 0) {
            detach_from_parent();
            return true;
        }
        return named != nullptr && named->append_child(this);
    }
    case p::next_sibling:
        return named != nullptr && insert_after(named);
    case p::previous_sibling:
        return named != nullptr && insert_before(named);
    case p::first_child:
        return named != nullptr && prepend_child(named);
    case p::last_child:
        return named != nullptr && append_child(named);
    case p::mixing_type:
        // A type the mixing rule does not know would end the program when mixed.
        if (word > static_cast<uint32_t>(TrackMixingType::Additive)) {
            return false;
        }
        mixing_type_ = word;
        return true;
    case p::key:
        key_ = word;
        return true;
    case p::weight:
        weight_ = value.get_float();
        fade_duration_ = 0;
        return true;
    case p::fade_from:
        fade_from_ = std::clamp(value.get_float(), 0.0f, 1.0f);
        return true;
    case p::fade_to:
        fade_to_ = std::clamp(value.get_float(), 0.0f, 1.0f);
        return true;
    case p::fade_elapsed:
        fade_elapsed_ = word;
        return true;
    case p::channel_weights: {
        destroy_resource(channel_weights_);
        channel_weights_ = 0;
        if (word == 0) {
            return true;
        }
        const core::ObjectHandle record = core::resource_server.open_resource(word)->get_handle();
        if (!check_channel_weights(record)) {
            destroy_resource(record);
            return false;
        }
        channel_weights_ = record;
        return true;
    }
    default:
        return ServerObject::set_property(id, value);
    }
}

void TrackMixer::save(storage::SaveStream& stream) {
    ServerObject::save(stream);
    core::write_u32(stream, mixer_type_);
    core::write_u32(stream, mixing_type_);
    core::write_u32(stream, key_);
    core::write_u32(stream, flags_);
    core::write_f32(stream, weight_);
    core::write_f32(stream, fade_from_);
    core::write_f32(stream, fade_to_);
    core::write_u32(stream, fade_duration_);
    core::write_u32(stream, fade_elapsed_);
    core::write_u32(stream, channel_weights_);
    core::write_u32(stream, animator_);
    core::write_u8(stream, has_slots_ ? 1 : 0);
    if (has_slots_) {
        for (const core::ObjectHandle slot : slots_) {
            core::write_u32(stream, slot);
        }
    }
}

bool TrackMixer::load(storage::LoadStream& stream) {
    uint8_t has_slots = 0;
    reset_links();
    skeleton_ = 0;
    std::fill(std::begin(slots_), std::end(slots_), 0);
    if (!ServerObject::load(stream) || !core::read_u32(stream, mixer_type_) || !core::read_u32(stream, mixing_type_) ||
        !core::read_u32(stream, key_) || !core::read_u32(stream, flags_) || !core::read_f32(stream, weight_) ||
        !core::read_f32(stream, fade_from_) || !core::read_f32(stream, fade_to_) ||
        !core::read_u32(stream, fade_duration_) || !core::read_u32(stream, fade_elapsed_) ||
        !core::read_u32(stream, channel_weights_) || !core::read_u32(stream, animator_) ||
        !core::read_u8(stream, has_slots)) {
        return false;
    }
    if (mixer_type_ > last_mixer_type || mixing_type_ > static_cast<uint32_t>(TrackMixingType::Additive) ||
        (channel_weights_ != 0 && find_resource(channel_weights_) == nullptr) ||
        (animator_ != 0 && find_animator(animator_) == nullptr)) {
        return false;
    }
    has_slots_ = has_slots != 0;
    if (has_slots_) {
        for (core::ObjectHandle& slot : slots_) {
            if (!core::read_u32(stream, slot) || (slot != 0 && find_animator(slot) == nullptr)) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace zolt::animation
