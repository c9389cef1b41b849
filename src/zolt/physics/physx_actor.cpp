#include "zolt/physics/physx_actor.h"

#include <cmath>

#include "platform/physics/physics_actor.h"
#include "platform/physics/physics_scene.h"
#include "zolt/core/events/message.h"
#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/placement/placement.h"
#include "zolt/physics/physx_actor_server.h"
#include "zolt/physics/physx_common.h"
#include "zolt/physics/physx_properties.h"
#include "zolt/physics/physx_server.h"

namespace zolt::physics {

namespace ps = platform::physics;
using core::read_f32;
using core::write_f32;
using geometry::Quaternion;
using geometry::Vector3;

namespace {

namespace contact_message_property {
constexpr uint32_t partner = 0x01000160, partner_shape_index = 0x03000161, own_shape_index = 0x03000162,
                   own_position = 0x3000000B, own_orientation = 0x4100000C, own_linear_velocity = 0x3000013B,
                   own_angular_velocity = 0x3000013C, partner_position = 0x30000163, partner_orientation = 0x41000164,
                   partner_linear_velocity = 0x30000165, partner_angular_velocity = 0x30000166, point = 0x3000012F,
                   normal = 0x30000130, normal_force = 0x30000167, friction_force = 0x30000168, time = 0x030000A3,
                   elapsed = 0x03000020;
}  // namespace contact_message_property

}  // namespace

void PhysXActor::initialize(uint32_t) {
    associated_object_ = physics_placement_ = rendering_placement_ = driving_placement_ = recipient_ = 0;
    event_word_ = 0;
    sdk_actor_ = nullptr;
    pre_step_position_ = {};
    pre_step_orientation_ = geometry::identity_quaternion();
    user_value_ = 0;
    partner_count_ = 0;
    for (uint32_t index = 0; index < contact_partner_capacity; ++index) {
        partner_handles_[index] = 0;
        partner_times_[index] = 0;
    }
    flag_330_ = flag_332_ = controller_actor_ = awake_before_step_ = 0;
    user_factor_ = 0.0f;
    query_stamp_ = 0;
    first_joint_ = nullptr;
}

void PhysXActor::finalize() {
    if (sdk_actor_ != nullptr && controller_actor_ == 0) {
        sdk_actor_->get_scene().release_actor(sdk_actor_);
    }
    sdk_actor_ = nullptr;
    physx_actor_server.forget_contact_partner(get_handle());
}

void PhysXActor::save(storage::SaveStream& stream) {
    ServerObject::save(stream);
    for (const uint32_t word :
         {associated_object_, physics_placement_, rendering_placement_, driving_placement_, recipient_, event_word_}) {
        core::write_u32(stream, word);
    }
    for (const float value : {pre_step_position_.x, pre_step_position_.y, pre_step_position_.z, pre_step_orientation_.x,
                              pre_step_orientation_.y, pre_step_orientation_.z, pre_step_orientation_.w}) {
        write_f32(stream, value);
    }
    core::write_u32(stream, user_value_);
    core::write_u32(stream, partner_count_);
    for (const core::ObjectHandle partner : partner_handles_) {
        core::write_u32(stream, partner);
    }
    for (const uint32_t time : partner_times_) {
        core::write_u32(stream, time);
    }
    core::write_u8(stream, flag_330_);
    write_f32(stream, user_factor_);
    core::write_u8(stream, flag_332_);
    core::write_u8(stream, controller_actor_);
}

bool PhysXActor::load(storage::LoadStream& stream) {
    if (!ServerObject::load(stream)) {
        return false;
    }
    bool ok = true;
    for (uint32_t* word : {&associated_object_, &physics_placement_, &rendering_placement_, &driving_placement_,
                           &recipient_, &event_word_}) {
        ok = ok && core::read_u32(stream, *word);
    }
    for (float* value : {&pre_step_position_.x, &pre_step_position_.y, &pre_step_position_.z, &pre_step_orientation_.x,
                         &pre_step_orientation_.y, &pre_step_orientation_.z, &pre_step_orientation_.w}) {
        ok = ok && read_f32(stream, *value);
    }
    ok = ok && core::read_u32(stream, user_value_) && core::read_u32(stream, partner_count_);
    for (core::ObjectHandle& partner : partner_handles_) {
        ok = ok && core::read_u32(stream, partner);
    }
    for (uint32_t& time : partner_times_) {
        ok = ok && core::read_u32(stream, time);
    }
    ok = ok && core::read_u8(stream, flag_330_) && read_f32(stream, user_factor_) && core::read_u8(stream, flag_332_) &&
         core::read_u8(stream, controller_actor_);
    sdk_actor_ = nullptr;
    awake_before_step_ = 0;
    first_joint_ = nullptr;
    query_stamp_ = 0;
    // A count that disagrees with the table would make the partner search
    // read entries it must not trust.
    uint32_t used = 0;
    for (const core::ObjectHandle partner : partner_handles_) {
        used += partner != 0 ? 1 : 0;
    }
    event_word_ &= event_word_mask;
    return ok && used == partner_count_ && std::isfinite(user_factor_);
}

bool PhysXActor::is_dynamic() const {
    return sdk_actor_ != nullptr && sdk_actor_->is_dynamic();
}

bool PhysXActor::is_kinematic() const {
    return is_dynamic() && sdk_actor_->read_body_flag(ps::body_flag::kinematic);
}

bool PhysXActor::create_sdk_actor(uint32_t scene, const ps::ActorDescriptor& descriptor) {
    ps::Scene* const target = physx_server.get_scene(scene);
    if (target == nullptr) {
        return false;
    }
    ps::Actor* const actor = target->create_actor(descriptor);
    if (actor == nullptr) {
        return false;
    }
    sdk_actor_ = actor;
    actor->user_data = this;
    synchronize_placements();
    return true;
}

void PhysXActor::synchronize_placements() {
    pre_step_position_ = sdk_actor_->get_global_position();
    pre_step_orientation_ = without_nan(sdk_actor_->get_global_orientation());
    set_placement_pose(physics_placement_, pre_step_position_, pre_step_orientation_);
    set_placement_pose(rendering_placement_, pre_step_position_, pre_step_orientation_);
}

void PhysXActor::set_placement_pose(core::ObjectHandle placement, const Vector3& position,
                                    const Quaternion& orientation) const {
    if (placement == 0) {
        return;
    }
    if (core::Placement* const target = core::get_placement_object(placement)) {
        target->set_world_position(position);
        target->set_world_rotation(orientation);
    }
}

void PhysXActor::set_global_position(const Vector3& position) {
    sdk_actor_->set_global_position(position);
    pre_step_position_ = position;
    for (const core::ObjectHandle handle : {physics_placement_, rendering_placement_}) {
        if (core::Placement* const target = handle != 0 ? core::get_placement_object(handle) : nullptr) {
            target->set_world_position(position);
        }
    }
}

void PhysXActor::set_global_orientation(const Quaternion& orientation) {
    sdk_actor_->set_global_orientation(orientation);
    pre_step_orientation_ = orientation;
    for (const core::ObjectHandle handle : {physics_placement_, rendering_placement_}) {
        if (core::Placement* const target = handle != 0 ? core::get_placement_object(handle) : nullptr) {
            target->set_world_rotation(orientation);
        }
    }
}

Vector3 PhysXActor::get_interpolated_position(float factor) const {
    const Vector3 current = sdk_actor_->get_global_position();
    return pre_step_position_ + (current - pre_step_position_) * factor;
}

Quaternion PhysXActor::get_interpolated_orientation(float factor) const {
    const Quaternion current = normalized_or_identity(sdk_actor_->get_global_orientation());
    return geometry::slerp(pre_step_orientation_, current, factor);
}

void PhysXActor::update_before_scene_step() {
    awake_before_step_ = sdk_actor_->is_sleeping() ? 0 : 1;
    flag_330_ = 0;
    if (driving_placement_ != 0 && is_kinematic()) {
        if (core::Placement* const driver = core::get_placement_object(driving_placement_)) {
            sdk_actor_->move_global_position(driver->get_world_position());
            sdk_actor_->move_global_orientation(driver->get_world_rotation());
        }
    }
    pre_step_position_ = sdk_actor_->get_global_position();
    pre_step_orientation_ = normalized_or_identity(sdk_actor_->get_global_orientation());
}

void PhysXActor::update_after_scene_step() {
    if (driving_placement_ != 0 && !is_kinematic()) {
        if (core::Placement* const driver = core::get_placement_object(driving_placement_)) {
            set_global_position(driver->get_world_position());
            const Quaternion rotation = driver->get_world_rotation();
            if (is_unit_quaternion(rotation)) {
                set_global_orientation(rotation);
            }
            sdk_actor_->set_linear_velocity({});
            sdk_actor_->set_angular_velocity({});
        }
    }
    if (!sdk_actor_->is_sleeping()) {
        set_placement_pose(physics_placement_, sdk_actor_->get_global_position(),
                           without_nan(sdk_actor_->get_global_orientation()));
    } else if (awake_before_step_ != 0 && recipient_ != 0) {
        post_sleep_message();
    }
}

void PhysXActor::update_interpolation(float factor) {
    if (rendering_placement_ != 0) {
        set_placement_pose(rendering_placement_, get_interpolated_position(factor),
                           get_interpolated_orientation(factor));
    }
}

uint32_t PhysXActor::record_contact_partner(core::ObjectHandle partner, uint32_t now) {
    for (uint32_t index = 0; index < contact_partner_capacity; ++index) {
        if (partner_handles_[index] == partner) {
            const uint32_t elapsed = now - partner_times_[index];
            partner_times_[index] = now;
            return elapsed;
        }
    }
    uint32_t target = contact_partner_capacity;
    for (uint32_t index = 0; index < contact_partner_capacity && target == contact_partner_capacity; ++index) {
        if (partner_handles_[index] == 0) {
            target = index;
        }
    }
    if (target == contact_partner_capacity) {
        target = 0;
        for (uint32_t index = 1; index < contact_partner_capacity; ++index) {
            if (now - partner_times_[index] > now - partner_times_[target]) {
                target = index;
            }
        }
    } else {
        ++partner_count_;
    }
    partner_handles_[target] = partner;
    partner_times_[target] = now;
    return 0xFFFFFFFF;
}

bool PhysXActor::find_contact_partner_time(core::ObjectHandle partner, uint32_t& time) const {
    if (partner_count_ == 0) {
        return false;
    }
    for (uint32_t index = 0; index < contact_partner_capacity; ++index) {
        if (partner_handles_[index] == partner) {
            time = partner_times_[index];
            return true;
        }
    }
    return false;
}

void PhysXActor::forget_contact_partner(core::ObjectHandle partner) {
    for (uint32_t index = 0; index < contact_partner_capacity; ++index) {
        if (partner_handles_[index] == partner) {
            partner_handles_[index] = 0;
            --partner_count_;
        }
    }
}

Vector3 PhysXActor::get_message_linear_velocity() const {
    return is_dynamic() ? sdk_actor_->get_linear_velocity() : Vector3{};
}

Vector3 PhysXActor::get_message_angular_velocity() const {
    return is_dynamic() ? sdk_actor_->get_angular_velocity() * inverse_two_pi : Vector3{};
}

void PhysXActor::post_contact_message(const Vector3& point, const Vector3& normal, const PhysXActor& partner,
                                      uint32_t partner_shape_index, uint32_t own_shape_index,
                                      const Vector3& normal_force, const Vector3& friction_force, uint32_t now,
                                      uint32_t elapsed) const {
    if (recipient_ == 0) {
        return;
    }
    core::Message* const message =
        core::post_message(event_word_ | physics_message::contact, get_handle(), recipient_, 0);
    if (message == nullptr) {
        return;
    }
    namespace id = contact_message_property;
    const core::Property properties[] = {
        make_u32_property(id::partner, partner.get_handle()),
        make_u32_property(id::partner_shape_index, partner_shape_index),
        make_u32_property(id::own_shape_index, own_shape_index),
        make_vector_property(id::own_position, sdk_actor_->get_global_position()),
        make_quaternion_property(id::own_orientation, without_nan(sdk_actor_->get_global_orientation())),
        make_vector_property(id::own_linear_velocity, get_message_linear_velocity()),
        make_vector_property(id::own_angular_velocity, get_message_angular_velocity()),
        make_vector_property(id::partner_position, partner.sdk_actor_->get_global_position()),
        make_quaternion_property(id::partner_orientation, partner.sdk_actor_->get_global_orientation()),
        make_vector_property(id::partner_linear_velocity, partner.get_message_linear_velocity()),
        make_vector_property(id::partner_angular_velocity, partner.get_message_angular_velocity()),
        make_vector_property(id::point, point),
        make_vector_property(id::normal, -normal),
        make_vector_property(id::normal_force, normal_force),
        make_vector_property(id::friction_force, friction_force),
        make_u32_property(id::time, now),
        make_u32_property(id::elapsed, elapsed),
    };
    for (const core::Property& property : properties) {
        message->set_property(property.id, property);
    }
}

void PhysXActor::post_sleep_message() const {
    core::post_message(event_word_ | physics_message::fell_asleep, get_handle(), recipient_, 0);
}

}  // namespace zolt::physics
