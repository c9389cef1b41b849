#pragma once
// A rigid body or static collider as a script object (type 19). Creating the
// object makes no SDK actor: builtin 368 builds one from the lent actor
// descriptor. The actor links its SDK actor to three placements: one that
// receives the simulated pose after each step, one that receives a pose
// interpolated between the last two main steps for drawing, and one that
// drives it (as a kinematic target before the step, or as a teleport after
// it). It keeps the contact partner table that throttles contact messages.
// Main thread only.
#include <cstdint>

#include "libs/geometry/quaternion.h"
#include "libs/geometry/vector.h"
#include "zolt/core/object_server/server_object.h"

namespace zolt::platform::physics {
class Actor;
struct ActorDescriptor;
}  // namespace zolt::platform::physics

namespace zolt::physics {

class PhysXJoint;

namespace actor_property {
constexpr uint32_t physics_placement = 0x0100000A, position = 0x3000000B, orientation = 0x4100000C,
                   event_word = 0x0300000F, user_value = 0x03000015, recipient = 0x01000023,
                   driving_placement = 0x0100003A, associated_object = 0x0100012C, has_sdk_object = 0x0300012D,
                   visualization = 0x0300012E, interpolated_position = 0x30000135,
                   interpolated_orientation = 0x41000136, rendering_placement = 0x01000137, kinematic = 0x03000138,
                   kinematic_target_position = 0x30000139, kinematic_target_orientation = 0x4100013A,
                   linear_velocity = 0x3000013B, angular_velocity = 0x3000013C, linear_damping = 0x0500013D,
                   angular_damping = 0x0500013E, dynamic = 0x0300013F, collision_enabled = 0x03000140,
                   response_enabled = 0x03000141, gravity_enabled = 0x03000142, awake = 0x03000143, mass = 0x05000144,
                   mass_position = 0x30000145, mass_orientation = 0x41000146, mass_inertia = 0x30000147,
                   solver_iteration_count = 0x03000148, contact_modification = 0x03000149, flag_330 = 0x0300014A,
                   user_factor = 0x0500014B, flag_332 = 0x0300014C, controller_actor = 0x0300014D,
                   material = 0x0300015C, group = 0x0300015D;
}  // namespace actor_property

constexpr uint32_t contact_partner_capacity = 25;
// Only these bits of an event word are kept: they become the message ids'.
constexpr uint32_t event_word_mask = 0xFC000000u;
// A pair's next contact message waits this long (simulation-clock ticks).
constexpr uint32_t contact_repeat_interval = 30000;

class PhysXActor final : public core::ServerObject {
public:
    void initialize(uint32_t argument) override;
    void finalize() override;
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    bool handle_message(core::Message* message) override { return false; }
    bool get_property(uint32_t id, core::Property& out) const override;
    bool set_property(uint32_t id, const core::Property& value) override;

    platform::physics::Actor* get_sdk_actor() const { return sdk_actor_; }
    // After a scene was released under it.
    void forget_sdk_actor() { sdk_actor_ = nullptr; }
    bool is_dynamic() const;
    bool is_kinematic() const;
    core::ObjectHandle get_recipient() const { return recipient_; }
    uint32_t get_event_word() const { return event_word_; }

    // Builtin 368 once its checks passed: builds the SDK actor in the scene
    // and brings the placements to its pose. False when the SDK refused.
    bool create_sdk_actor(uint32_t scene, const platform::physics::ActorDescriptor& descriptor);

    // The pose placements and pre-step pose take on a teleport.
    void set_global_position(const geometry::Vector3& position);
    void set_global_orientation(const geometry::Quaternion& orientation);
    geometry::Vector3 get_interpolated_position(float factor) const;
    geometry::Quaternion get_interpolated_orientation(float factor) const;

    void update_before_scene_step();
    void update_after_scene_step();
    void update_interpolation(float factor);

    // Contact partner table, kept by one actor of each pair.
    uint32_t record_contact_partner(core::ObjectHandle partner, uint32_t now);
    bool find_contact_partner_time(core::ObjectHandle partner, uint32_t& time) const;
    uint32_t get_contact_partner_count() const { return partner_count_; }
    void forget_contact_partner(core::ObjectHandle partner);
    void post_contact_message(const geometry::Vector3& point, const geometry::Vector3& normal,
                              const PhysXActor& partner, uint32_t partner_shape_index, uint32_t own_shape_index,
                              const geometry::Vector3& normal_force, const geometry::Vector3& friction_force,
                              uint32_t now, uint32_t elapsed) const;
    void post_sleep_message() const;

    // Velocities for messages: zero unless dynamic; angular in turns per second.
    geometry::Vector3 get_message_linear_velocity() const;
    geometry::Vector3 get_message_angular_velocity() const;

private:
    void synchronize_placements();
    void set_placement_pose(core::ObjectHandle placement, const geometry::Vector3& position,
                            const geometry::Quaternion& orientation) const;

    core::ObjectHandle associated_object_ = 0;
    core::ObjectHandle physics_placement_ = 0;
    core::ObjectHandle rendering_placement_ = 0;
    core::ObjectHandle driving_placement_ = 0;
    core::ObjectHandle recipient_ = 0;
    uint32_t event_word_ = 0;
    platform::physics::Actor* sdk_actor_ = nullptr;
    geometry::Vector3 pre_step_position_;
    geometry::Quaternion pre_step_orientation_;
    uint32_t user_value_ = 0;
    uint32_t partner_count_ = 0;
    core::ObjectHandle partner_handles_[contact_partner_capacity] = {};
    uint32_t partner_times_[contact_partner_capacity] = {};
    uint8_t flag_330_ = 0;
    float user_factor_ = 0.0f;
    uint8_t flag_332_ = 0;
    uint8_t controller_actor_ = 0;
    uint8_t awake_before_step_ = 0;
    uint32_t query_stamp_ = 0;
    PhysXJoint* first_joint_ = nullptr;
};

}  // namespace zolt::physics
