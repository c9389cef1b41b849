#pragma once
// The numbers and plain records of the physics layer: flag bits, shape types,
// force modes and the descriptors the engine fills and reads back. These are
// the SDK's numbering as the engine stores it in save files, so the values
// must stay as they are. Any thread; plain values.
#include <cfloat>
#include <cstdint>
#include <vector>

#include "libs/geometry/quaternion.h"
#include "libs/geometry/vector.h"

namespace zolt::platform::physics {

using geometry::Quaternion;
using geometry::Vector3;

struct Pose {
    Vector3 position;
    Quaternion orientation = geometry::identity_quaternion();
};

enum class ShapeType : uint32_t {
    plane = 0,
    sphere = 1,
    box = 2,
    capsule = 3,
    wheel = 4,
    convex = 5,
    triangle_mesh = 6,
    height_field = 7,
};

namespace actor_flag {
constexpr uint32_t disable_collision = 1, disable_response = 2, contact_modification = 16;
}  // namespace actor_flag

namespace body_flag {
constexpr uint32_t disable_gravity = 1, kinematic = 128, visualization = 256, energy_sleep_test = 2048;
constexpr uint32_t defaults = visualization | energy_sleep_test;
}  // namespace body_flag

namespace shape_flag {
constexpr uint32_t visualization = 8;
}  // namespace shape_flag

namespace scene_flag {
constexpr uint32_t disable_collisions = 2, simulate_separate_thread = 4, enable_multithread = 8, restricted_scene = 32,
                   disable_scene_mutex = 64;
}  // namespace scene_flag

namespace material_flag {
constexpr uint32_t disable_friction = 16;
}  // namespace material_flag

// Contact report events of a pair of actor groups.
namespace pair_flag {
constexpr uint32_t notify_on_start_touch = 2, notify_on_end_touch = 4, notify_on_touch = 8;
}  // namespace pair_flag

enum class ForceMode : uint32_t {
    force = 0,
    impulse = 1,
    velocity_change = 2,
    smooth_impulse = 3,
    smooth_velocity_change = 4,
    acceleration = 5,
};
constexpr uint32_t force_mode_count = 6;

enum class TimeStepMethod : uint32_t { fixed = 0, variable = 1 };

// Error codes of SDK creation.
enum class SdkCreateError : uint32_t {
    no_error = 0,
    physx_not_found = 1,
    wrong_version = 2,
    descriptor_invalid = 3,
    connection_error = 4,
    reset_error = 5,
    in_use_error = 6,
    bundle_error = 7,
};

struct SdkDescriptor {
    uint32_t hardware_page_size = 65536;
    uint32_t hardware_max_pages = 256;
    uint32_t hardware_convex_max = 2048;
    uint32_t cooker_thread_mask = 0;
    uint32_t flags = 1;
    uint32_t gpu_heap_size = 32;
    uint32_t mesh_cache_size = 0xFFFFFFFF;
};

struct SceneTiming {
    float max_timestep = 1.0f / 60.0f;
    uint32_t max_iterations = 8;
    TimeStepMethod method = TimeStepMethod::fixed;
};

struct SceneDescriptor {
    Vector3 gravity;
    SceneTiming timing;
    uint32_t flags = 68;
    uint32_t sim_type = 0;
    uint32_t internal_thread_count = 0;
    uint32_t thread_mask = 0;
    uint32_t simulation_thread_mask = 0;
    uint32_t up_axis = 0;
    uint32_t subdivision_level = 5;
    uint32_t static_structure = 1;
    uint32_t dynamic_structure = 0;
    uint32_t dynamic_tree_rebuild_rate_hint = 100;
    uint32_t solver_batch_size = 32;
};

struct MaterialDescriptor {
    float dynamic_friction = 0.5f;
    float static_friction = 0.5f;
    float restitution = 0.0f;
    float dynamic_friction_v = 0.0f;
    float static_friction_v = 0.0f;
    Vector3 anisotropy_direction = {1, 0, 0};
    uint32_t flags = 0;
    uint32_t friction_combine_mode = 0;
    uint32_t restitution_combine_mode = 0;
    bool has_spring = false;
};
// Combine modes as the SDK numbers them.
constexpr uint32_t combine_average = 0;

// One shape: its type, its pose in the actor, and the size fields of its
// type. Sizes are the SDK's, skin included; the simulation subtracts the
// skin so that objects rest where they are drawn.
struct ShapeDescriptor {
    ShapeType type = ShapeType::sphere;
    Pose local_pose;
    uint32_t flags = shape_flag::visualization;
    uint16_t group = 0;
    uint16_t material_index = 0;
    float density = 1.0f;
    float mass = -1.0f;
    float skin_width = -1.0f;
    // Plane: normal and distance from the origin along it.
    Vector3 plane_normal = {0, 0, 1};
    float plane_distance = 0.0f;
    // Sphere and capsule.
    float radius = 1.0f;
    // Capsule: the distance between the centres of its caps, along local y.
    float height = 1.0f;
    // Box.
    Vector3 half_extents = {1, 1, 1};
};

struct BodyDescriptor {
    Pose mass_local_pose;
    Vector3 mass_space_inertia;
    float mass = 0.0f;
    Vector3 linear_velocity;
    Vector3 angular_velocity;
    float wake_up_counter = 0.4f;
    float linear_damping = 0.0f;
    float angular_damping = 0.05f;
    float max_angular_velocity = -1.0f;
    float sleep_linear_velocity = -1.0f;
    float sleep_angular_velocity = -1.0f;
    uint32_t solver_iteration_count = 4;
    uint32_t flags = body_flag::defaults;
    float contact_report_threshold = FLT_MAX;
};

// A static actor has no body; a dynamic one takes its mass from the body or,
// when the body's mass is 0, from the shapes' volumes and densities.
struct ActorDescriptor {
    Pose global_pose;
    std::vector<ShapeDescriptor> shapes;
    const BodyDescriptor* body = nullptr;
    float density = 0.0f;
    uint32_t flags = 0;
    uint16_t group = 0;
    void* user_data = nullptr;
};

// The rules the SDK applies before it builds anything: finite values, sizes
// above 0, masses and densities that give a mass, planes and meshes only on
// static actors, and at least one shape.
bool is_valid(const ShapeDescriptor& shape);
bool is_valid(const BodyDescriptor& body);
bool is_valid(const ActorDescriptor& actor);

}  // namespace zolt::platform::physics
