#include <cmath>

#include "libs/utility/fatal_error.h"
#include "platform/physics/physics_actor.h"
#include "platform/physics/physics_scene.h"
#include "zolt/physics/physx_actor.h"
#include "zolt/physics/physx_common.h"
#include "zolt/physics/physx_server.h"

namespace zolt::physics {

namespace ps = platform::physics;
using geometry::Vector3;

namespace {

// Pairs that rest on each other report nothing.
constexpr float resting_normal_speed = 0.1f;
constexpr float resting_angular_speed_squared = 0.010000001f;

Vector3 normalized_or(const Vector3& v, const Vector3& fallback) {
    const float length = std::sqrt(geometry::length_squared(v));
    return length > unit_tolerance ? v * (1.0f / length) : fallback;
}

}  // namespace

void PhysXServer::ContactReporter::on_contact_notify(const ps::ContactPair& pair, uint32_t) {
    if (pair.actors[0] == nullptr) {
        ZOLT_PANIC("Failed to get first PhysX actor from actor collision pair.");
    }
    if (pair.actors[1] == nullptr) {
        ZOLT_PANIC("Failed to get second PhysX actor from actor collision pair.");
    }
    PhysXActor& a = *get_encapsulating_actor(pair.actors[0]);
    PhysXActor& b = *get_encapsulating_actor(pair.actors[1]);
    const Vector3 n = normalized_or(pair.sum_normal_force, {0, 0, 1});
    const Vector3 relative_spin = a.get_message_angular_velocity() - b.get_message_angular_velocity();
    if (std::fabs(geometry::dot(n, a.get_message_linear_velocity()) -
                  geometry::dot(n, b.get_message_linear_velocity())) < resting_normal_speed &&
        geometry::length_squared(relative_spin) < resting_angular_speed_squared) {
        return;
    }
    const uint32_t now = physx_server.get_simulation_time();
    PhysXActor* owner = nullptr;
    PhysXActor* partner = nullptr;
    uint32_t elapsed = 0xFFFFFFFF;
    uint32_t time = 0;
    if (a.find_contact_partner_time(b.get_handle(), time)) {
        owner = &a;
        partner = &b;
    } else if (b.find_contact_partner_time(a.get_handle(), time)) {
        owner = &b;
        partner = &a;
    }
    if (owner != nullptr) {
        elapsed = now - time;
        if (elapsed < contact_repeat_interval) {
            return;
        }
    } else {
        const uint32_t count_a = a.get_contact_partner_count();
        const uint32_t count_b = b.get_contact_partner_count();
        const bool owner_is_a = count_a < count_b || (count_a == count_b && a.is_dynamic());
        owner = owner_is_a ? &a : &b;
        partner = owner_is_a ? &b : &a;
    }
    owner->record_contact_partner(partner->get_handle(), now);
    if (a.get_recipient() == 0 && b.get_recipient() == 0) {
        return;
    }
    if (pair.patch_count == 0) {
        return;
    }
    if (pair.shapes[0] == nullptr) {
        ZOLT_PANIC("Failed to get first shape from PhysX shape collision pair.");
    }
    if (pair.shapes[1] == nullptr) {
        ZOLT_PANIC("Failed to get second shape from PhysX shape collision pair.");
    }
    Vector3 normal_sum;
    Vector3 point_sum;
    for (uint32_t index = 0; index < pair.patch_count; ++index) {
        const ps::ContactPatch& patch = pair.patches[index];
        if (patch.point_count == 0) {
            ZOLT_PANIC("Retrieved zero collision points in PhysX shape pair collision patch.");
        }
        normal_sum = normal_sum + patch.normal;
        Vector3 mean;
        for (uint32_t point = 0; point < patch.point_count; ++point) {
            mean = mean + patch.points[point];
        }
        point_sum = point_sum + mean * (1.0f / static_cast<float>(patch.point_count));
    }
    const float patches = static_cast<float>(pair.patch_count);
    const Vector3 point = point_sum * (1.0f / patches);
    const Vector3 normal = normalized_or(normal_sum * (1.0f / patches), pair.patches[0].normal);
    const uint32_t first_index = pair.shapes[0]->get_actor().get_shape_index(pair.shapes[0]);
    const uint32_t second_index = pair.shapes[1]->get_actor().get_shape_index(pair.shapes[1]);
    const Vector3& normal_force = pair.sum_normal_force;
    const Vector3& friction_force = pair.sum_friction_force;
    if (&pair.shapes[0]->get_actor() == pair.actors[0]) {
        b.post_contact_message(point, normal, a, first_index, second_index, normal_force, friction_force, now, elapsed);
        a.post_contact_message(point, normal, b, second_index, first_index, normal_force, friction_force, now, elapsed);
    } else {
        a.post_contact_message(point, normal, b, first_index, second_index, normal_force, friction_force, now, elapsed);
        b.post_contact_message(point, normal, a, second_index, first_index, normal_force, friction_force, now, elapsed);
    }
}

}  // namespace zolt::physics
