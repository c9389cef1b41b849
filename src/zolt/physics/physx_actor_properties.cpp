#include <cmath>

#include "platform/physics/physics_actor.h"
#include "zolt/core/placement/placement.h"
#include "zolt/physics/physx_actor.h"
#include "zolt/physics/physx_common.h"
#include "zolt/physics/physx_properties.h"
#include "zolt/physics/physx_server.h"

namespace zolt::physics {

namespace ps = platform::physics;
using geometry::Quaternion;
using geometry::Vector3;

namespace {

constexpr uint32_t placement_server_type = 17;
constexpr float wake_up_counter = 0.4f;

// The typed id of a key this class answers, else 0.
uint32_t get_typed_id(uint32_t key) {
    using namespace actor_property;
    static constexpr uint32_t ids[] = {
        physics_placement,
        position,
        orientation,
        event_word,
        user_value,
        recipient,
        driving_placement,
        associated_object,
        has_sdk_object,
        visualization,
        interpolated_position,
        interpolated_orientation,
        rendering_placement,
        kinematic,
        kinematic_target_position,
        kinematic_target_orientation,
        linear_velocity,
        angular_velocity,
        linear_damping,
        angular_damping,
        dynamic,
        collision_enabled,
        response_enabled,
        gravity_enabled,
        awake,
        mass,
        mass_position,
        mass_orientation,
        mass_inertia,
        solver_iteration_count,
        contact_modification,
        flag_330,
        user_factor,
        flag_332,
        controller_actor,
        material,
        group,
    };
    for (const uint32_t id : ids) {
        if ((id & 0xFFFFFF) == key) {
            return id;
        }
    }
    return 0;
}

bool is_placement_or_none(core::ObjectHandle handle) {
    return handle == 0 || (core::get_handle_server_type(handle) == placement_server_type &&
                           core::get_placement_object(handle) != nullptr);
}

// Script floats reach the simulation only when they are numbers.
bool is_usable(float value) {
    return std::isfinite(value);
}

}  // namespace

bool PhysXActor::get_property(uint32_t id, core::Property& out) const {
    const uint32_t typed = core::is_bare_property_key(id) ? get_typed_id(id) : id;
    const ps::Actor* const actor = sdk_actor_;
    const bool dynamic = is_dynamic();
    using namespace actor_property;
    switch (typed) {
    case physics_placement:
        out = make_u32_property(typed, physics_placement_);
        return true;
    case position:
        out = make_vector_property(typed, actor != nullptr ? actor->get_global_position() : Vector3{});
        return true;
    case orientation:
        out = make_quaternion_property(
            typed, actor != nullptr ? without_nan(actor->get_global_orientation()) : geometry::identity_quaternion());
        return true;
    case event_word:
        out = make_u32_property(typed, event_word_);
        return true;
    case user_value:
        out = make_u32_property(typed, user_value_);
        return true;
    case recipient:
        out = make_u32_property(typed, recipient_);
        return true;
    case driving_placement:
        out = make_u32_property(typed, driving_placement_);
        return true;
    case associated_object:
        out = make_u32_property(typed, associated_object_);
        return true;
    case has_sdk_object:
        out = make_u32_property(typed, actor != nullptr ? 1 : 0);
        return true;
    case visualization: {
        uint32_t value = 0;
        if (dynamic) {
            value = actor->read_body_flag(ps::body_flag::visualization) ? 1 : 0;
        } else if (actor != nullptr && actor->get_shape_count() > 0) {
            value = actor->get_shape(0)->get_flag(ps::shape_flag::visualization) ? 1 : 0;
        }
        out = make_u32_property(typed, value);
        return true;
    }
    case interpolated_position:
        out = make_vector_property(
            typed, actor != nullptr ? get_interpolated_position(physx_server.get_interpolation_factor()) : Vector3{});
        return true;
    case interpolated_orientation:
        out = make_quaternion_property(
            typed, actor != nullptr ? get_interpolated_orientation(physx_server.get_interpolation_factor())
                                    : geometry::identity_quaternion());
        return true;
    case rendering_placement:
        out = make_u32_property(typed, rendering_placement_);
        return true;
    case kinematic:
        out = make_u32_property(typed, is_kinematic() ? 1 : 0);
        return true;
    case linear_velocity:
        out = make_vector_property(typed, get_message_linear_velocity());
        return true;
    case angular_velocity:
        out = make_vector_property(typed, get_message_angular_velocity());
        return true;
    case linear_damping:
        out = make_float_property(typed, dynamic ? actor->get_linear_damping() : 0.0f);
        return true;
    case angular_damping:
        out = make_float_property(typed, dynamic ? actor->get_angular_damping() : 0.0f);
        return true;
    case actor_property::dynamic:
        out = make_u32_property(typed, dynamic ? 1 : 0);
        return true;
    case collision_enabled:
        out = make_u32_property(typed,
                                actor != nullptr && !actor->read_actor_flag(ps::actor_flag::disable_collision) ? 1 : 0);
        return true;
    case response_enabled:
        out = make_u32_property(typed,
                                actor != nullptr && !actor->read_actor_flag(ps::actor_flag::disable_response) ? 1 : 0);
        return true;
    case gravity_enabled:
        out = make_u32_property(typed, dynamic && !actor->read_body_flag(ps::body_flag::disable_gravity) ? 1 : 0);
        return true;
    case awake:
        out = make_u32_property(typed, dynamic && !actor->is_sleeping() ? 1 : 0);
        return true;
    case mass:
        out = make_float_property(typed, actor != nullptr ? actor->get_mass() : 0.0f);
        return true;
    case mass_position:
        out = make_vector_property(typed, dynamic ? actor->get_mass_local_position() : Vector3{});
        return true;
    case mass_orientation:
        out = make_quaternion_property(typed, dynamic ? normalized_or_identity(actor->get_mass_local_orientation())
                                                      : geometry::identity_quaternion());
        return true;
    case mass_inertia:
        out = make_vector_property(typed, dynamic ? actor->get_mass_space_inertia() : Vector3{});
        return true;
    case solver_iteration_count:
        out = make_u32_property(typed, dynamic ? actor->get_solver_iteration_count() : 0);
        return true;
    case contact_modification:
        out = make_u32_property(
            typed, actor != nullptr && actor->read_actor_flag(ps::actor_flag::contact_modification) ? 1 : 0);
        return true;
    case flag_330:
        out = make_u32_property(typed, flag_330_);
        return true;
    case user_factor:
        out = make_float_property(typed, user_factor_);
        return true;
    case flag_332:
        out = make_u32_property(typed, flag_332_);
        return true;
    case controller_actor:
        out = make_u32_property(typed, controller_actor_);
        return true;
    default:
        return ServerObject::get_property(id, out);
    }
}

bool PhysXActor::set_property(uint32_t id, const core::Property& value) {
    ps::Actor* const actor = sdk_actor_;
    const bool dynamic = is_dynamic();
    const uint32_t word = value.get_u32();
    const float number = value.get_float();
    const Vector3 vector = get_vector_value(value);
    const Quaternion quaternion = get_quaternion_value(value);
    using namespace actor_property;
    switch (id) {
    case physics_placement:
    case rendering_placement:
        if (is_placement_or_none(word)) {
            (id == physics_placement ? physics_placement_ : rendering_placement_) = word;
            Vector3 pose_position;
            Quaternion pose_orientation = geometry::identity_quaternion();
            if (actor != nullptr) {
                const float factor = physx_server.get_interpolation_factor();
                pose_position =
                    id == physics_placement ? actor->get_global_position() : get_interpolated_position(factor);
                pose_orientation = id == physics_placement ? without_nan(actor->get_global_orientation())
                                                           : get_interpolated_orientation(factor);
            }
            set_placement_pose(word, pose_position, pose_orientation);
        }
        return true;
    case position:
        if (actor != nullptr && is_finite(vector)) {
            set_global_position(vector);
        }
        return true;
    case orientation:
        if (actor != nullptr && is_unit_quaternion(quaternion)) {
            set_global_orientation(quaternion);
        }
        return true;
    case event_word:
        event_word_ = word & event_word_mask;
        return true;
    case user_value:
        user_value_ = word;
        return true;
    case recipient:
        recipient_ = word;
        return true;
    case driving_placement:
        if (dynamic && is_placement_or_none(word)) {
            driving_placement_ = word;
        }
        return true;
    case associated_object:
        if (controller_actor_ == 0) {
            associated_object_ = word;
        }
        return true;
    case visualization:
        if (actor != nullptr) {
            if (dynamic) {
                word != 0 ? actor->raise_body_flag(ps::body_flag::visualization)
                          : actor->clear_body_flag(ps::body_flag::visualization);
            }
            for (uint32_t index = 0; index < actor->get_shape_count(); ++index) {
                actor->get_shape(index)->set_flag(ps::shape_flag::visualization, word != 0);
            }
        }
        return true;
    case kinematic:
        if (dynamic) {
            word != 0 ? actor->raise_body_flag(ps::body_flag::kinematic)
                      : actor->clear_body_flag(ps::body_flag::kinematic);
        }
        return true;
    case kinematic_target_position:
        if (is_kinematic() && is_finite(vector)) {
            actor->move_global_position(vector);
        }
        return true;
    case kinematic_target_orientation:
        if (is_kinematic() && is_unit_quaternion(quaternion)) {
            actor->move_global_orientation(quaternion);
        }
        return true;
    case linear_velocity:
        if (dynamic && is_finite(vector)) {
            actor->set_linear_velocity(vector);
        }
        return true;
    case angular_velocity:
        if (dynamic && is_finite(vector)) {
            actor->set_angular_velocity(vector * two_pi);
        }
        return true;
    case linear_damping:
    case angular_damping:
        if (dynamic && is_usable(number) && number >= 0.0f) {
            id == linear_damping ? actor->set_linear_damping(number) : actor->set_angular_damping(number);
        }
        return true;
    case collision_enabled:
    case response_enabled:
    case contact_modification: {
        if (actor == nullptr) {
            return true;
        }
        const uint32_t flag = id == collision_enabled  ? ps::actor_flag::disable_collision
                              : id == response_enabled ? ps::actor_flag::disable_response
                                                       : ps::actor_flag::contact_modification;
        // Collision and response are asked as "enabled"; the flags disable.
        const bool raise = id == contact_modification ? word != 0 : word == 0;
        raise ? actor->raise_actor_flag(flag) : actor->clear_actor_flag(flag);
        return true;
    }
    case gravity_enabled:
        if (dynamic) {
            word != 0 ? actor->clear_body_flag(ps::body_flag::disable_gravity)
                      : actor->raise_body_flag(ps::body_flag::disable_gravity);
        }
        return true;
    case awake:
        if (dynamic) {
            word != 0 ? actor->wake_up(wake_up_counter) : actor->put_to_sleep();
        }
        return true;
    case mass_position:
        if (dynamic && is_finite(vector)) {
            actor->set_mass_offset_local_position(vector);
        }
        return true;
    case mass_orientation:
        if (dynamic && is_unit_quaternion(quaternion)) {
            actor->set_mass_offset_local_orientation(quaternion);
        }
        return true;
    case mass_inertia:
        if (dynamic && is_finite(vector) && vector.x >= 0.0f && vector.y >= 0.0f && vector.z >= 0.0f) {
            actor->set_mass_space_inertia(vector);
        }
        return true;
    case solver_iteration_count:
        if (dynamic && word != 0) {
            actor->set_solver_iteration_count(word);
        }
        return true;
    case user_factor:
        if (number >= 0.0f && number <= 1.0f) {
            user_factor_ = number;
        }
        return true;
    case material:
        if (actor != nullptr && physx_server.is_valid_material_index(word, main_scene)) {
            for (uint32_t index = 0; index < actor->get_shape_count(); ++index) {
                actor->get_shape(index)->set_material(static_cast<uint16_t>(word));
            }
        }
        return true;
    case group:
        if (actor != nullptr && word < 32) {
            for (uint32_t index = 0; index < actor->get_shape_count(); ++index) {
                actor->get_shape(index)->set_group(static_cast<uint16_t>(word));
            }
        }
        return true;
    case has_sdk_object:
    case interpolated_position:
    case interpolated_orientation:
    case actor_property::dynamic:
    case actor_property::mass:
    case flag_330:
    case flag_332:
    case controller_actor:
        // Read only.
        return ServerObject::set_property(id, value);
    default:
        return ServerObject::set_property(id, value);
    }
}

}  // namespace zolt::physics
