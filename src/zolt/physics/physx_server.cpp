#include "zolt/physics/physx_server.h"

#include <bit>

#include "libs/system/exit_code.h"
#include "libs/utility/config_variable_row.h"
#include "libs/utility/fatal_error.h"
#include "zolt/core/events/message.h"
#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/program/program_main.h"
#include "zolt/physics/physx_actor.h"
#include "zolt/physics/physx_actor_server.h"
#include "zolt/physics/physx_common.h"

namespace zolt::physics {

namespace ps = platform::physics;

bool disable_physx_physics = false;
bool use_physx_hardware = false;
const ConfigVariableRow<bool> disable_physx_physics_row(50, "disable_physx_physics", &disable_physx_physics, false,
                                                        false, true, config_written_when_changed);
const ConfigVariableRow<bool> use_physx_hardware_row(51, "use_physx_hardware", &use_physx_hardware, false, false, true,
                                                     config_written_when_changed);
PhysXServer physx_server;

namespace {

// Every clock bit: the step messages go to each enabled clock from the one
// being run on.
constexpr uint32_t every_clock = 0xFFFFFFE0u;
// Notify on start of touch and on touch.
constexpr uint32_t default_group_pair_flags = ps::pair_flag::notify_on_start_touch | ps::pair_flag::notify_on_touch;
constexpr uint32_t no_hardware_flag = 1;
constexpr uint32_t software_simulation = 0, hardware_simulation = 1;
constexpr uint32_t up_axis_z = 2, subdivision_level = 8, static_aabb_tree = 4, dynamic_aabb_tree = 3;
constexpr float flush_time_step = 1.0f / 1024.0f;

uint32_t count_processors() {
    const uint32_t mask = compute_thread_affinity_mask();
    return mask == 0 ? 1 : static_cast<uint32_t>(std::popcount(mask));
}

void fail_step() {
    ZOLT_PANIC("Failed to finish PhysX scene simulation.");
}

}  // namespace

void PhysXActorDescriptor::reset() {
    body = {};
    actor = {};
}

ps::SceneDescriptor make_scene_descriptor(uint32_t scene, uint32_t processor_count, bool hardware) {
    ps::SceneDescriptor descriptor;
    descriptor.timing.max_iterations = 1;
    descriptor.timing.method = ps::TimeStepMethod::fixed;
    descriptor.up_axis = up_axis_z;
    descriptor.subdivision_level = subdivision_level;
    descriptor.static_structure = static_aabb_tree;
    descriptor.dynamic_structure = dynamic_aabb_tree;
    // The main scene leaves two processors to the game, the secondary three.
    const uint32_t reserved = scene == main_scene ? 2 : 3;
    if (scene == main_scene) {
        descriptor.timing.max_timestep = main_scene_time_step;
        descriptor.sim_type = hardware ? hardware_simulation : software_simulation;
        descriptor.flags = ps::scene_flag::disable_scene_mutex | (hardware ? ps::scene_flag::restricted_scene : 0);
    } else {
        descriptor.timing.max_timestep = secondary_scene_time_step;
        descriptor.sim_type = software_simulation;
        descriptor.flags = ps::scene_flag::disable_scene_mutex | ps::scene_flag::simulate_separate_thread |
                           ps::scene_flag::disable_collisions;
        descriptor.simulation_thread_mask = 0;
    }
    if (processor_count > reserved) {
        descriptor.flags |= ps::scene_flag::enable_multithread;
        descriptor.internal_thread_count = std::min(processor_count - reserved, 4u);
        descriptor.thread_mask = 0;
    }
    return descriptor;
}

PhysXServer::PhysXServer() : ServerBase(physx_server_type::physx) {}

PhysXServer::~PhysXServer() {
    if (sdk_ != nullptr) {
        ps::release_physics_sdk(sdk_);
        sdk_ = nullptr;
    }
}

core::ServerObject* PhysXServer::get_object_address(core::ObjectHandle) {
    ZOLT_PANIC("PhysX server does not manage any objects.");
}

core::ServerObject* PhysXServer::get_object_internal(core::ObjectHandle) {
    ZOLT_PANIC("PhysX server does not manage any objects.");
}

core::ServerObject* PhysXServer::get_object_resolved(core::ObjectHandle) {
    ZOLT_PANIC("PhysX server does not manage any objects.");
}

core::ServerObject* PhysXServer::create_object_internal(uint32_t) {
    ZOLT_PANIC("PhysX server does not manage any objects.");
}

void PhysXServer::destroy_object_internal(core::ServerObject*) {
    ZOLT_PANIC("PhysX server does not manage any objects.");
}

void PhysXServer::register_server() {
    ServerBase::register_server();
    simulation_time_ = 0;
    interpolation_factor_ = 0.0f;
    asynchronous_secondary_scene_ = false;
    initialize_transient(false);
    attach_event_callbacks();
}

void PhysXServer::unregister_server() {
    detach_event_callbacks();
    deinitialize_transient();
    ServerBase::unregister_server();
}

// Until saved games carry the scenes, a restart builds them empty so that the
// world after a load, or a failed one, still has both scenes.
void PhysXServer::start() {
    ServerBase::register_server();
    initialize_transient(false);
    attach_event_callbacks();
}

void PhysXServer::save(storage::SaveStream& stream) {
    if (actor_descriptor_.acquired) {
        ZOLT_PANIC("PhysX actor descriptor is acquired.");
    }
    ServerBase::save(stream);
    core::write_u32(stream, simulation_time_);
    core::write_bytes(stream, &interpolation_factor_, sizeof interpolation_factor_);
}

bool PhysXServer::load(storage::LoadStream& stream) {
    float factor = 0.0f;
    uint32_t time = 0;
    if (!ServerBase::load(stream) || !core::read_u32(stream, time) ||
        !core::read_bytes(stream, &factor, sizeof factor) || !(factor >= 0.0f && factor <= 1.0f)) {
        return false;
    }
    simulation_time_ = time;
    interpolation_factor_ = factor;
    return true;
}

void PhysXServer::initialize_transient(bool for_load) {
    actor_descriptor_.acquired = false;
    actor_descriptor_.owner = 0;
    ps::init_cooking(allocator_, output_stream_);
    ps::CookingParameters cooking = ps::get_cooking_parameters();
    cooking.skin_width = 0.0f;
    cooking.hint_collision_speed = false;
    ps::set_cooking_parameters(cooking);
    ps::SdkDescriptor descriptor;
    descriptor.flags = use_physx_hardware ? 0 : no_hardware_flag;
    descriptor.gpu_heap_size = 128;
    ps::SdkCreateError error = ps::SdkCreateError::no_error;
    sdk_ = ps::create_physics_sdk(ps::sdk_version, allocator_, output_stream_, descriptor, &error);
    if (sdk_ == nullptr) {
        set_fatal_exit_code(ExitCode::physx);
        ZOLT_ERROR("Failed to initialize PhysX SDK: %s", get_sdk_create_error_text(error));
    }
    sdk_->set_parameter(ps::parameter::skin_width, skin_width);
    sdk_->set_parameter(ps::parameter::continuous_collision, 0.0f);
    if (!for_load) {
        create_scenes();
    }
}

void PhysXServer::create_scenes() {
    const uint32_t processors = count_processors();
    const bool hardware = use_physx_hardware && sdk_->get_hardware_version() != 0;
    for (uint32_t scene = 0; scene < scene_count; ++scene) {
        scenes_[scene] = sdk_->create_scene(make_scene_descriptor(scene, processors, hardware));
        if (scenes_[scene] == nullptr) {
            ZOLT_PANIC("Failed to initialize PhysX scene %u.", scene);
        }
    }
    ps::Scene& main = *scenes_[main_scene];
    ps::Material* const default_material = main.get_material_from_index(0);
    if (default_material == nullptr) {
        ZOLT_PANIC("Failed to obtain default material of dynamic PhysX scene.");
    }
    default_material->set_restitution(0.0f);
    default_material->set_static_friction(1.0f);
    default_material->set_dynamic_friction(1.0f);
    main.set_actor_group_pair_flags(0, 0, default_group_pair_flags);
    const float frictions[] = {0.8f, 0.8f, 0.5f, 0.5f, 0.0f};
    for (const float friction : frictions) {
        ps::MaterialDescriptor material;
        material.dynamic_friction = friction;
        material.static_friction = friction;
        material.restitution = 0.0f;
        material.anisotropy_direction = {1, 0, 0};
        material.flags = friction == 0.0f ? ps::material_flag::disable_friction : 0;
        material.friction_combine_mode = ps::combine_average;
        material.restitution_combine_mode = ps::combine_average;
        main.create_material(material);
    }
}

void PhysXServer::deinitialize_transient() {
    if (actor_descriptor_.acquired) {
        ZOLT_PANIC("PhysX actor descriptor is acquired.");
    }
    if (sdk_ != nullptr) {
        // The actor objects keep pointers to SDK actors: they lose them first.
        physx_actor_server.forget_scene_actors();
        for (ps::Scene*& scene : scenes_) {
            if (scene != nullptr) {
                sdk_->release_scene(scene);
                scene = nullptr;
            }
        }
        ps::release_physics_sdk(sdk_);
        sdk_ = nullptr;
    }
    ps::close_cooking();
}

void PhysXServer::reset_transient() {
    detach_event_callbacks();
    deinitialize_transient();
    initialize_transient(false);
    attach_event_callbacks();
}

void PhysXServer::attach_event_callbacks() {
    if (scenes_[main_scene] != nullptr) {
        scenes_[main_scene]->set_contact_report(&contact_reporter_);
    }
}

void PhysXServer::detach_event_callbacks() {
    if (scenes_[main_scene] != nullptr) {
        scenes_[main_scene]->set_contact_report(nullptr);
    }
}

void PhysXServer::set_event_reporting(bool on) {
    if (on) {
        attach_event_callbacks();
    } else {
        detach_event_callbacks();
    }
}

ps::Material* PhysXServer::get_material(uint32_t scene, uint32_t index) {
    ps::Material* const material = scenes_[scene]->get_material_from_index(index);
    if (material == nullptr) {
        ZOLT_PANIC("Failed to get PhysX material.");
    }
    return material;
}

bool PhysXServer::is_valid_material_index(uint32_t index, uint32_t scene) {
    if (index == 0) {
        return true;
    }
    if (index > 0xFFFF || scene >= scene_count || scenes_[scene] == nullptr) {
        return false;
    }
    return get_material(scene, index) != scenes_[scene]->get_material_from_index(0);
}

void PhysXServer::start_scene_step(uint32_t scene) {
    ps::Scene* const target = get_scene(scene);
    if (target == nullptr) {
        return;
    }
    target->simulate(target->get_timing().max_timestep);
    target->flush_stream();
}

bool PhysXServer::is_scene_step_finished(uint32_t scene, bool block) {
    ps::Scene* const target = get_scene(scene);
    if (target == nullptr) {
        return true;
    }
    if (!target->fetch_results(block) || !target->is_writable()) {
        fail_step();
    }
    return true;
}

void PhysXServer::step_main_scene() {
    if (disable_physx_physics || scenes_[main_scene] == nullptr) {
        return;
    }
    core::post_message_to_enabled_clocks(every_clock, physics_message::step_begins);
    physx_actor_server.update_before_scene_step(main_scene);
    start_scene_step(main_scene);
    is_scene_step_finished(main_scene, true);
    simulation_time_ += main_step_ticks;
    physx_actor_server.update_after_scene_step(main_scene);
    core::post_message_to_enabled_clocks(every_clock, physics_message::step_ended);
}

void PhysXServer::step_secondary_scene() {
    if (asynchronous_secondary_scene_ || disable_physx_physics || scenes_[secondary_scene] == nullptr) {
        return;
    }
    physx_actor_server.update_before_scene_step(secondary_scene);
    start_scene_step(secondary_scene);
    is_scene_step_finished(secondary_scene, true);
    physx_actor_server.update_after_scene_step(secondary_scene);
}

// A cache refresh only: the simulated time is below the flush step, so
// nothing moves, nothing is reported and the clock stays.
void PhysXServer::flush_simulation_scene_caches() {
    ps::Scene* const scene = scenes_[main_scene];
    if (scene == nullptr) {
        return;
    }
    detach_event_callbacks();
    const ps::SceneTiming saved = scene->get_timing();
    scene->set_timing({flush_time_step, 1, ps::TimeStepMethod::fixed});
    scene->simulate(secondary_scene_time_step);
    scene->flush_stream();
    if (!scene->fetch_results(true) || !scene->is_writable()) {
        fail_step();
    }
    scene->flush_caches();
    scene->set_timing(saved);
    attach_event_callbacks();
}

bool PhysXServer::reset_world() {
    if (actor_descriptor_.acquired || sdk_ == nullptr) {
        return false;
    }
    for (const ps::Scene* scene : scenes_) {
        if (scene == nullptr || scene->get_actor_count() != 0) {
            return false;
        }
    }
    for (const ps::Scene* scene : scenes_) {
        if (!scene->is_writable()) {
            return false;
        }
    }
    reset_transient();
    return true;
}

void PhysXServer::set_interpolation_factor(float factor) {
    if (!(factor >= 0.0f && factor <= 1.0f)) {
        return;
    }
    interpolation_factor_ = factor;
    physx_actor_server.update_interpolation(main_scene);
}

uint32_t PhysXServer::acquire_actor_descriptor() {
    if (actor_descriptor_.acquired) {
        return 0;
    }
    actor_descriptor_.acquired = true;
    ++actor_descriptor_.owner;
    if (actor_descriptor_.owner == 0) {
        actor_descriptor_.owner = 1;
    }
    return actor_descriptor_.owner;
}

void PhysXServer::release_actor_descriptor(uint32_t owner) {
    if (!is_actor_descriptor_owner(owner)) {
        return;
    }
    actor_descriptor_.reset();
    actor_descriptor_.acquired = false;
}

PhysXActor* PhysXServer::get_encapsulating_actor(const ps::Actor* actor) {
    auto* const object = static_cast<PhysXActor*>(actor->user_data);
    if (object == nullptr) {
        ZOLT_PANIC("Unexpected non-encapsulated PhysX actor.");
    }
    return object;
}

}  // namespace zolt::physics
