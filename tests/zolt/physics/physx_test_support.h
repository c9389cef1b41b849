#pragma once
// The physics world of the engine's tests: the message world with the alias
// and placement servers, the physics server and the actor server registered,
// gravity along -z, the secondary scene stepped on the calling thread, and
// builtins called through the builtin table as a script calls them.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <vector>

#include "platform/physics/physics_scene.h"
#include "zolt/builtins/builtin_dispatch.h"
#include "zolt/core/events/message_test_support.h"
#include "zolt/core/object_server/alias_server.h"
#include "zolt/core/placement/placement_server.h"
#include "zolt/core/program/builtin_bindings.h"
#include "zolt/core/script/script_context.h"
#include "zolt/physics/physx_actor.h"
#include "zolt/physics/physx_actor_server.h"
#include "zolt/physics/physx_server.h"

namespace zolt::test {

inline uint32_t word(float value) {
    return std::bit_cast<uint32_t>(value);
}

inline float as_float(uint32_t value) {
    return std::bit_cast<float>(value);
}

// Registers 0, 2, 4 (and 6) after a builtin call.
struct BuiltinAnswer {
    uint32_t registers[8];
    uint32_t word() const { return registers[0]; }
    float number() const { return as_float(registers[0]); }
    geometry::Vector3 vector() const {
        return {as_float(registers[0]), as_float(registers[2]), as_float(registers[4])};
    }
};

// Arguments top of the stack first, as the builtin rows list them.
inline BuiltinAnswer call_builtin_words(uint32_t id, std::initializer_list<uint32_t> arguments_top_first = {}) {
    core::bind_all_builtins();
    auto context = std::make_unique<core::ScriptContext>();
    context->stack_index = 4 + static_cast<uint32_t>(arguments_top_first.size());
    uint32_t depth = 0;
    for (const uint32_t argument : arguments_top_first) {
        context->stack[context->stack_index - 1 - depth++] = argument;
    }
    core::call_builtin(*context, id);
    BuiltinAnswer answer;
    std::memcpy(answer.registers, context->registers, sizeof answer.registers);
    return answer;
}

namespace builtin {
constexpr uint32_t create_actor = 368, add_descriptor_shapes = 369, remove_shapes = 370, add_force = 371,
                   add_force_at_position = 372, add_torque = 373, get_gravity = 389, set_gravity = 390,
                   get_group_collision = 391, set_group_collision = 392, get_visualization = 400,
                   set_visualization = 401, get_simulation_time = 402, get_interpolation = 403, set_interpolation = 404,
                   step_main = 405, flush_caches = 406, step_secondary = 407, is_asynchronous = 408,
                   set_asynchronous = 409, acquire = 412, release = 413, set_position = 414, set_orientation = 415,
                   set_dynamic = 416, add_plane = 424, add_sphere = 425, add_box = 426, clear_instances = 526,
                   reset_world = 527, set_event_reporting = 528;
}  // namespace builtin

// Event word bits that put an object's messages on clock 1.
constexpr uint32_t clock_1_event_word = 1u << core::message_clock_shift;

class PhysXWorld : public MessageWorld {
protected:
    void SetUp() override {
        MessageWorld::SetUp();
        core::alias_server.register_server();
        core::placement_server.register_server();
        platform::physics::Scene::set_worker_threads_allowed(false);
        physics::physx_server.register_server();
        physics::physx_actor_server.register_server();
        call_builtin_words(builtin::set_gravity, {0, 0, word(-9.81f)});
        // Clock 1 advances a whole frame each frame, so what a step posts is
        // delivered in the frame that follows it.
        enable({1});
    }
    void TearDown() override {
        physics::physx_actor_server.unregister_server();
        physics::physx_server.unregister_server();
        platform::physics::Scene::set_worker_threads_allowed(true);
        physics::disable_physx_physics = false;
        core::placement_server.unregister_server();
        core::alias_server.unregister_server();
        MessageWorld::TearDown();
    }

    static physics::PhysXActor* make_actor() {
        return static_cast<physics::PhysXActor*>(physics::physx_actor_server.create_object_internal(0));
    }
    static core::Placement* make_placement() { return core::placement_server.create_placement(); }

    // A static plane with its surface at z = 0.
    static physics::PhysXActor* add_ground() {
        const uint32_t owner = call_builtin_words(builtin::acquire).word();
        call_builtin_words(builtin::add_plane, {owner, 0, 0, 0, 0, 0, 0, 0, 0, word(1.0f), word(1.0f)});
        physics::PhysXActor* const ground = make_actor();
        EXPECT_EQ(call_builtin_words(builtin::create_actor, {ground->get_handle(), 0, owner}).word(), 1u);
        call_builtin_words(builtin::release, {owner});
        return ground;
    }

    // A dynamic box of density 1 whose visible half size is half_size.
    static physics::PhysXActor* add_box(const geometry::Vector3& position, float half_size = 0.5f, uint32_t scene = 0) {
        const uint32_t owner = call_builtin_words(builtin::acquire).word();
        call_builtin_words(builtin::set_dynamic, {owner, 1});
        call_builtin_words(builtin::set_position, {owner, word(position.x), word(position.y), word(position.z)});
        const uint32_t half = word(half_size);
        call_builtin_words(builtin::add_box,
                           {owner, half, half, half, word(1.0f), 0, 0, 0, 0, 0, 0, 0, 0, word(1.0f), word(1.0f)});
        physics::PhysXActor* const box = make_actor();
        EXPECT_EQ(call_builtin_words(builtin::create_actor, {box->get_handle(), scene, owner}).word(), 1u);
        call_builtin_words(builtin::release, {owner});
        return box;
    }

    static void step_main(int count = 1) {
        for (int index = 0; index < count; ++index) {
            call_builtin_words(builtin::step_main);
        }
    }

    static core::Property get(const core::ServerObject* object, uint32_t id) {
        core::Property out;
        EXPECT_TRUE(object->get_property(id, out)) << std::hex << id;
        return out;
    }
    static geometry::Vector3 get_vector(const core::ServerObject* object, uint32_t id) {
        const core::Property out = get(object, id);
        return {out.get_float(0), out.get_float(1), out.get_float(2)};
    }
    static bool set_vector(core::ServerObject* object, uint32_t id, const geometry::Vector3& value) {
        core::Property property;
        const float lanes[3] = {value.x, value.y, value.z};
        property.set_floats(id, lanes, 3);
        return object->set_property(id, property);
    }
    static bool set_u32(core::ServerObject* object, uint32_t id, uint32_t value) {
        core::Property property;
        property.set_u32(id, value);
        return object->set_property(id, property);
    }
    static bool set_float(core::ServerObject* object, uint32_t id, float value) {
        core::Property property;
        property.set_float(id, value);
        return object->set_property(id, property);
    }
};

}  // namespace zolt::test
