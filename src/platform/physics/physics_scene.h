#pragma once
// One simulated world over a Bullet dynamics world. The scene keeps its own
// descriptor, timing, materials, collision-group table and actors in creation
// order; Bullet only integrates. Stepping is split as the engine expects:
// simulate starts a step (on the scene's own worker when its descriptor asks
// for a separate thread), fetch_results waits for it and then dispatches the
// contact reports queued during it on the calling thread. The fixed method
// runs whole steps of the maximum time step only, at most max_iterations per
// simulate, and keeps the remainder for the next one. Main thread only, but
// for the worker between simulate and fetch_results.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/physics/physics_types.h"

namespace zolt::platform::physics {

class Actor;
class Shape;
class PhysicsSdk;
struct SceneWorld;

class Material {
public:
    uint16_t get_index() const { return index_; }
    const MaterialDescriptor& get_descriptor() const { return descriptor_; }
    void set_descriptor(const MaterialDescriptor& descriptor) { descriptor_ = descriptor; }
    void set_restitution(float value) { descriptor_.restitution = value; }
    void set_static_friction(float value) { descriptor_.static_friction = value; }
    void set_dynamic_friction(float value) { descriptor_.dynamic_friction = value; }
    // The friction the simulation uses: Bullet has one coefficient.
    float get_effective_friction() const;

private:
    friend class Scene;
    uint16_t index_ = 0;
    MaterialDescriptor descriptor_;
};

constexpr uint32_t max_contact_patches = 4;
constexpr uint32_t max_patch_points = 4;

struct ContactPatch {
    Vector3 normal;
    uint32_t point_count = 0;
    Vector3 points[max_patch_points];
};

// One touching pair as a step left it: the actors, the first pair of their
// shapes that touch with its patches, and the forces summed over all points.
// The normal points from the second actor towards the first.
struct ContactPair {
    Actor* actors[2] = {nullptr, nullptr};
    Shape* shapes[2] = {nullptr, nullptr};
    uint32_t patch_count = 0;
    ContactPatch patches[max_contact_patches];
    Vector3 sum_normal_force;
    Vector3 sum_friction_force;
};

class ContactReport {
public:
    virtual ~ContactReport() = default;
    // events: the pair_flag bits that made the report.
    virtual void on_contact_notify(const ContactPair& pair, uint32_t events) = 0;
};

constexpr uint32_t collision_group_count = 32;

class Scene {
public:
    Scene(PhysicsSdk& sdk, const SceneDescriptor& descriptor);
    ~Scene();
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    PhysicsSdk& get_sdk() { return sdk_; }
    const SceneDescriptor& get_descriptor() const { return descriptor_; }
    uint32_t get_sim_type() const { return descriptor_.sim_type; }

    Vector3 get_gravity() const { return descriptor_.gravity; }
    // Every dynamic actor that feels gravity, asleep or not.
    void set_gravity(const Vector3& gravity);
    SceneTiming get_timing() const { return descriptor_.timing; }
    void set_timing(const SceneTiming& timing) { descriptor_.timing = timing; }

    // Index 0 is the default material; an index the scene does not know
    // answers the default too.
    Material* get_material_from_index(uint32_t index);
    // The next index, 1, 2, 3 ... in call order.
    Material* create_material(const MaterialDescriptor& descriptor);
    uint32_t get_material_count() const { return static_cast<uint32_t>(materials_.size()); }

    bool get_group_collision_flag(uint32_t group_a, uint32_t group_b) const;
    void set_group_collision_flag(uint32_t group_a, uint32_t group_b, bool enabled);
    uint32_t get_actor_group_pair_flags(uint16_t group_a, uint16_t group_b) const;
    void set_actor_group_pair_flags(uint16_t group_a, uint16_t group_b, uint32_t flags);

    // Null, with the output stream told, when the descriptor is not valid.
    // The descriptor is copied.
    Actor* create_actor(const ActorDescriptor& descriptor);
    void release_actor(Actor* actor);
    uint32_t get_actor_count() const { return static_cast<uint32_t>(actors_.size()); }
    // Creation order, kept on release.
    Actor* const* get_actors() const { return actors_.data(); }

    void simulate(float elapsed);
    void flush_stream() {}
    // Waits for the running step; then the queued contact reports reach the
    // contact report on this thread. False when no step was started.
    bool fetch_results(bool block);
    bool is_writable() const { return !step_in_flight_; }
    // Refreshes the broad phase and the contact pairs without integrating.
    void flush_caches();

    void set_contact_report(ContactReport* report) { contact_report_ = report; }
    ContactReport* get_contact_report() const { return contact_report_; }

    // Integration steps taken since creation.
    uint64_t get_step_count() const { return step_count_; }
    // Runs the scene's steps on the calling thread even when its descriptor
    // asks for a worker (tests and single-core machines).
    static void set_worker_threads_allowed(bool allowed);

    SceneWorld& get_world() { return *world_; }
    bool collides(const Shape& a, const Shape& b) const;

private:
    friend class Actor;
    void run_pending_steps();
    void run_one_step(float step);
    void apply_damping(float step);
    void move_kinematic_actors();
    void gather_contacts();

    PhysicsSdk& sdk_;
    SceneDescriptor descriptor_;
    std::unique_ptr<SceneWorld> world_;
    std::vector<std::unique_ptr<Material>> materials_;
    std::vector<Actor*> actors_;
    uint32_t group_collision_[collision_group_count] = {};
    struct GroupPairFlags {
        uint16_t group_a;
        uint16_t group_b;
        uint32_t flags;
    };
    std::vector<GroupPairFlags> actor_group_pair_flags_;
    ContactReport* contact_report_ = nullptr;
    std::vector<ContactPair> queued_contacts_;
    std::vector<uint64_t> touching_pairs_;
    std::vector<uint64_t> previous_touching_pairs_;
    double accumulated_time_ = 0.0;
    uint32_t pending_steps_ = 0;
    float pending_step_size_ = 0.0f;
    bool step_in_flight_ = false;
    uint64_t step_count_ = 0;
    uint32_t next_actor_serial_ = 1;
};

}  // namespace zolt::platform::physics
