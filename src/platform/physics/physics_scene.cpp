#include "platform/physics/physics_scene.h"

#include <BulletCollision/CollisionDispatch/btCompoundCollisionAlgorithm.h>
#include <BulletCollision/CollisionDispatch/btCompoundCompoundCollisionAlgorithm.h>
#include <BulletCollision/CollisionDispatch/btManifoldResult.h>

#include <algorithm>
#include <atomic>
#include <cmath>

#include "platform/physics/bullet_conversions.h"
#include "platform/physics/physics_actor.h"
#include "platform/physics/physics_sdk.h"
#include "platform/physics/scene_world.h"

namespace zolt::platform::physics {

namespace {

std::atomic<bool> worker_threads_allowed{true};

// A point counts as touching from this distance on; Bullet keeps points a
// little apart in its manifolds.
constexpr float touching_distance = 0.005f;

Shape* get_child_shape(const btCollisionShape* shape) {
    return static_cast<Shape*>(shape->getUserPointer());
}

bool child_shapes_collide(const btCollisionShape* a, const btCollisionShape* b) {
    const Shape* const shape_a = get_child_shape(a);
    const Shape* const shape_b = get_child_shape(b);
    if (shape_a == nullptr || shape_b == nullptr) {
        return true;
    }
    return shape_a->get_actor().get_scene().collides(*shape_a, *shape_b);
}

btScalar average_friction(const btCollisionObject* a, const btCollisionObject* b) {
    return (a->getFriction() + b->getFriction()) * 0.5f;
}

btScalar average_restitution(const btCollisionObject* a, const btCollisionObject* b) {
    return (a->getRestitution() + b->getRestitution()) * 0.5f;
}

// Actor flags and the group table are read every step, so a change takes
// effect at once; a refused pair loses what it had found before.
void filter_near_callback(btBroadphasePair& pair, btCollisionDispatcher& dispatcher, const btDispatcherInfo& info) {
    const auto* const object_a = static_cast<const btCollisionObject*>(pair.m_pProxy0->m_clientObject);
    const auto* const object_b = static_cast<const btCollisionObject*>(pair.m_pProxy1->m_clientObject);
    const auto* const actor_a = static_cast<const Actor*>(object_a->getUserPointer());
    const auto* const actor_b = static_cast<const Actor*>(object_b->getUserPointer());
    bool collides = actor_a != actor_b;
    if (collides && actor_a != nullptr && actor_b != nullptr) {
        collides = !actor_a->read_actor_flag(actor_flag::disable_collision) &&
                   !actor_b->read_actor_flag(actor_flag::disable_collision);
        const Shape* const shape_a = get_child_shape(object_a->getCollisionShape());
        const Shape* const shape_b = get_child_shape(object_b->getCollisionShape());
        if (collides && shape_a != nullptr && shape_b != nullptr) {
            collides = actor_a->get_scene().collides(*shape_a, *shape_b);
        }
    }
    if (collides) {
        btCollisionDispatcher::defaultNearCallback(pair, dispatcher, info);
    } else if (pair.m_algorithm != nullptr) {
        pair.m_algorithm->~btCollisionAlgorithm();
        dispatcher.freeCollisionAlgorithm(pair.m_algorithm);
        pair.m_algorithm = nullptr;
    }
}

// Scenes that never collide still keep their broad phase for queries.
struct NoPairs final : btOverlapFilterCallback {
    bool needBroadphaseCollision(btBroadphaseProxy*, btBroadphaseProxy*) const override { return false; }
};

uint64_t make_pair_key(const Actor* a, const Actor* b) {
    const uint64_t low = std::min(a->get_serial(), b->get_serial());
    const uint64_t high = std::max(a->get_serial(), b->get_serial());
    return high << 32 | low;
}

Shape* find_point_shape(const btCollisionObject* object, int child_index) {
    auto* const actor = static_cast<Actor*>(object->getUserPointer());
    if (Shape* const own = get_child_shape(object->getCollisionShape())) {
        return own;
    }
    Shape* const child = actor->get_shape(child_index >= 0 ? static_cast<uint32_t>(child_index) : 0);
    return child != nullptr ? child : actor->get_shape(0);
}

Vector3 normalized_or_up(const btVector3& v) {
    const btScalar length = v.length();
    return length > 1.0f / 65536.0f ? from_bullet(v / length) : Vector3{0, 0, 1};
}

}  // namespace

float Material::get_effective_friction() const {
    return (descriptor_.flags & material_flag::disable_friction) != 0 ? 0.0f : descriptor_.dynamic_friction;
}

SceneWorker::SceneWorker() : thread_([this] { loop(); }) {}

SceneWorker::~SceneWorker() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void SceneWorker::run(std::function<void()> job) {
    {
        std::lock_guard lock(mutex_);
        job_ = std::move(job);
        busy_ = true;
    }
    changed_.notify_all();
}

void SceneWorker::wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !busy_; });
}

void SceneWorker::loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || job_ != nullptr; });
        if (job_ == nullptr) {
            return;
        }
        std::function<void()> job = std::move(job_);
        job_ = nullptr;
        lock.unlock();
        job();
        lock.lock();
        busy_ = false;
        changed_.notify_all();
    }
}

btDefaultCollisionConstructionInfo SceneWorld::get_pool_sizes() {
    btDefaultCollisionConstructionInfo info;
    info.m_defaultMaxPersistentManifoldPoolSize = 1024;
    info.m_defaultMaxCollisionAlgorithmPoolSize = 1024;
    return info;
}

SceneWorld::SceneWorld(Scene& scene)
    : dispatcher(&configuration), world(&dispatcher, &broadphase, &solver, &configuration) {
    world.setGravity(to_bullet(scene.get_gravity()));
    dispatcher.setNearCallback(filter_near_callback);
    if ((scene.get_descriptor().flags & scene_flag::disable_collisions) != 0) {
        no_pairs = std::make_unique<NoPairs>();
        broadphase.getOverlappingPairCache()->setOverlapFilterCallback(no_pairs.get());
    }
}

SceneWorld::~SceneWorld() = default;

Scene::Scene(PhysicsSdk& sdk, const SceneDescriptor& descriptor) : sdk_(sdk), descriptor_(descriptor) {
    // Bullet's process-wide hooks: both scenes install the same ones, and the
    // two never step at once.
    gCompoundChildShapePairCallback = child_shapes_collide;
    gCompoundCompoundChildShapePairCallback = child_shapes_collide;
    gCalculateCombinedFrictionCallback = average_friction;
    gCalculateCombinedRestitutionCallback = average_restitution;
    gDeactivationTime = 0.4f;
    world_ = std::make_unique<SceneWorld>(*this);
    auto default_material = std::make_unique<Material>();
    materials_.push_back(std::move(default_material));
    for (uint32_t& mask : group_collision_) {
        mask = 0xFFFFFFFF;
    }
}

Scene::~Scene() {
    if (step_in_flight_ && world_->worker != nullptr) {
        world_->worker->wait();
    }
    while (!actors_.empty()) {
        release_actor(actors_.back());
    }
}

void Scene::set_worker_threads_allowed(bool allowed) {
    worker_threads_allowed = allowed;
}

void Scene::set_gravity(const Vector3& gravity) {
    descriptor_.gravity = gravity;
    world_->world.setGravity(to_bullet(gravity));
    for (Actor* actor : actors_) {
        if (actor->is_dynamic() && !actor->read_body_flag(body_flag::disable_gravity)) {
            actor->get_body()->setGravity(to_bullet(gravity));
        }
    }
}

Material* Scene::get_material_from_index(uint32_t index) {
    return index < materials_.size() ? materials_[index].get() : materials_[0].get();
}

Material* Scene::create_material(const MaterialDescriptor& descriptor) {
    if (materials_.size() > 0xFFFF) {
        return nullptr;
    }
    auto material = std::make_unique<Material>();
    material->index_ = static_cast<uint16_t>(materials_.size());
    material->descriptor_ = descriptor;
    materials_.push_back(std::move(material));
    return materials_.back().get();
}

bool Scene::get_group_collision_flag(uint32_t group_a, uint32_t group_b) const {
    if (group_a >= collision_group_count || group_b >= collision_group_count) {
        return false;
    }
    return (group_collision_[group_a] >> group_b & 1) != 0;
}

void Scene::set_group_collision_flag(uint32_t group_a, uint32_t group_b, bool enabled) {
    if (group_a >= collision_group_count || group_b >= collision_group_count) {
        return;
    }
    if (enabled) {
        group_collision_[group_a] |= 1u << group_b;
        group_collision_[group_b] |= 1u << group_a;
    } else {
        group_collision_[group_a] &= ~(1u << group_b);
        group_collision_[group_b] &= ~(1u << group_a);
    }
}

bool Scene::collides(const Shape& a, const Shape& b) const {
    return get_group_collision_flag(a.get_group(), b.get_group());
}

uint32_t Scene::get_actor_group_pair_flags(uint16_t group_a, uint16_t group_b) const {
    for (const GroupPairFlags& entry : actor_group_pair_flags_) {
        if ((entry.group_a == group_a && entry.group_b == group_b) ||
            (entry.group_a == group_b && entry.group_b == group_a)) {
            return entry.flags;
        }
    }
    return 0;
}

void Scene::set_actor_group_pair_flags(uint16_t group_a, uint16_t group_b, uint32_t flags) {
    for (GroupPairFlags& entry : actor_group_pair_flags_) {
        if ((entry.group_a == group_a && entry.group_b == group_b) ||
            (entry.group_a == group_b && entry.group_b == group_a)) {
            entry.flags = flags;
            return;
        }
    }
    actor_group_pair_flags_.push_back({group_a, group_b, flags});
}

Actor* Scene::create_actor(const ActorDescriptor& descriptor) {
    if (!is_valid(descriptor)) {
        sdk_.get_output().report_error(invalid_parameter_error, "invalid actor descriptor", __FILE__, __LINE__);
        return nullptr;
    }
    auto* const actor = new Actor(*this, descriptor, next_actor_serial_);
    if (!actor->build(descriptor)) {
        delete actor;
        sdk_.get_output().report_error(invalid_parameter_error, "actor shapes give no mass", __FILE__, __LINE__);
        return nullptr;
    }
    ++next_actor_serial_;
    actors_.push_back(actor);
    return actor;
}

void Scene::release_actor(Actor* actor) {
    const auto it = std::find(actors_.begin(), actors_.end(), actor);
    if (it == actors_.end()) {
        return;
    }
    actors_.erase(it);
    delete actor;
}

void Scene::simulate(float elapsed) {
    if (step_in_flight_ || !(elapsed >= 0.0f) || !std::isfinite(elapsed)) {
        return;
    }
    const SceneTiming& timing = descriptor_.timing;
    uint32_t steps = 0;
    float step = timing.max_timestep;
    if (timing.method == TimeStepMethod::fixed) {
        accumulated_time_ += elapsed;
        while (steps < timing.max_iterations && accumulated_time_ >= timing.max_timestep) {
            accumulated_time_ -= timing.max_timestep;
            ++steps;
        }
        // A long frame is cut to the sub-step limit rather than carried over,
        // so the simulation never falls further and further behind.
        if (accumulated_time_ >= timing.max_timestep) {
            accumulated_time_ = 0.0;
        }
    } else if (elapsed > 0.0f) {
        steps = 1;
        step = std::min(elapsed, timing.max_timestep * static_cast<float>(timing.max_iterations));
    }
    pending_steps_ = steps;
    pending_step_size_ = step;
    step_in_flight_ = true;
    if ((descriptor_.flags & scene_flag::simulate_separate_thread) != 0 && worker_threads_allowed && steps > 0) {
        if (world_->worker == nullptr) {
            world_->worker = std::make_unique<SceneWorker>();
        }
        world_->worker->run([this] { run_pending_steps(); });
    } else {
        run_pending_steps();
    }
}

void Scene::run_pending_steps() {
    for (uint32_t index = 0; index < pending_steps_; ++index) {
        run_one_step(pending_step_size_);
    }
    pending_steps_ = 0;
}

void Scene::run_one_step(float step) {
    move_kinematic_actors();
    apply_damping(step);
    world_->world.stepSimulation(step, 0, step);
    ++step_count_;
    gather_contacts();
}

void Scene::move_kinematic_actors() {
    for (Actor* actor : actors_) {
        if (actor->is_dynamic()) {
            actor->begin_step(pending_step_size_);
        }
    }
}

void Scene::apply_damping(float step) {
    for (Actor* actor : actors_) {
        if (!actor->is_dynamic() || actor->read_body_flag(body_flag::kinematic) || actor->is_sleeping()) {
            continue;
        }
        btRigidBody* const body = actor->get_body();
        const float linear = std::max(0.0f, 1.0f - actor->get_linear_damping() * step);
        const float angular = std::max(0.0f, 1.0f - actor->get_angular_damping() * step);
        if (linear != 1.0f) {
            body->setLinearVelocity(body->getLinearVelocity() * linear);
        }
        if (angular != 1.0f) {
            body->setAngularVelocity(body->getAngularVelocity() * angular);
        }
    }
}

void Scene::gather_contacts() {
    struct Found {
        uint64_t key;
        btPersistentManifold* manifold;
    };
    static thread_local std::vector<Found> found;
    found.clear();
    btCollisionDispatcher& dispatcher = world_->dispatcher;
    const int manifold_count = dispatcher.getNumManifolds();
    for (int index = 0; index < manifold_count; ++index) {
        btPersistentManifold* const manifold = dispatcher.getManifoldByIndexInternal(index);
        const auto* const a = static_cast<const Actor*>(manifold->getBody0()->getUserPointer());
        const auto* const b = static_cast<const Actor*>(manifold->getBody1()->getUserPointer());
        if (a == nullptr || b == nullptr || a == b || get_actor_group_pair_flags(a->get_group(), b->get_group()) == 0) {
            continue;
        }
        bool touching = false;
        for (int point = 0; point < manifold->getNumContacts(); ++point) {
            touching |= manifold->getContactPoint(point).getDistance() <= touching_distance;
        }
        if (touching) {
            found.push_back({make_pair_key(a, b), manifold});
        }
    }
    std::stable_sort(found.begin(), found.end(), [](const Found& x, const Found& y) { return x.key < y.key; });
    previous_touching_pairs_.swap(touching_pairs_);
    touching_pairs_.clear();
    const float step = pending_step_size_ > 0.0f ? pending_step_size_ : descriptor_.timing.max_timestep;
    for (size_t first = 0; first < found.size();) {
        size_t end = first;
        while (end < found.size() && found[end].key == found[first].key) {
            ++end;
        }
        const uint64_t key = found[first].key;
        touching_pairs_.push_back(key);
        const btPersistentManifold* const lead = found[first].manifold;
        auto* const actor_a = static_cast<Actor*>(lead->getBody0()->getUserPointer());
        auto* const actor_b = static_cast<Actor*>(lead->getBody1()->getUserPointer());
        const uint32_t flags = get_actor_group_pair_flags(actor_a->get_group(), actor_b->get_group());
        const bool is_new = !std::binary_search(previous_touching_pairs_.begin(), previous_touching_pairs_.end(), key);
        const uint32_t events =
            (flags & pair_flag::notify_on_touch) | (is_new ? flags & pair_flag::notify_on_start_touch : 0u);
        if (events == 0) {
            first = end;
            continue;
        }
        ContactPair pair;
        pair.actors[0] = actor_a;
        pair.actors[1] = actor_b;
        const btManifoldPoint& lead_point = lead->getContactPoint(0);
        pair.shapes[0] = find_point_shape(lead->getBody0(), lead_point.m_index0);
        pair.shapes[1] = find_point_shape(lead->getBody1(), lead_point.m_index1);
        btVector3 normal_force(0, 0, 0);
        btVector3 friction_force(0, 0, 0);
        for (size_t index = first; index < end; ++index) {
            const btPersistentManifold* const manifold = found[index].manifold;
            // The same actor may stand second in another manifold of the pair.
            const bool swapped = manifold->getBody0()->getUserPointer() != actor_a;
            const btScalar direction = swapped ? -1.0f : 1.0f;
            Shape* shapes[2] = {nullptr, nullptr};
            btVector3 patch_normal(0, 0, 0);
            ContactPatch patch;
            for (int point_index = 0; point_index < manifold->getNumContacts(); ++point_index) {
                const btManifoldPoint& point = manifold->getContactPoint(point_index);
                normal_force += point.m_normalWorldOnB * (point.m_appliedImpulse / step * direction);
                friction_force += (point.m_lateralFrictionDir1 * point.m_appliedImpulseLateral1 +
                                   point.m_lateralFrictionDir2 * point.m_appliedImpulseLateral2) *
                                  (direction / step);
                if (point_index == 0) {
                    shapes[0] = find_point_shape(manifold->getBody0(), point.m_index0);
                    shapes[1] = find_point_shape(manifold->getBody1(), point.m_index1);
                    if (swapped) {
                        std::swap(shapes[0], shapes[1]);
                    }
                }
                patch_normal += point.m_normalWorldOnB * direction;
                if (patch.point_count < max_patch_points) {
                    patch.points[patch.point_count++] =
                        from_bullet((point.getPositionWorldOnA() + point.getPositionWorldOnB()) * 0.5f);
                }
            }
            if (shapes[0] == pair.shapes[0] && shapes[1] == pair.shapes[1] && patch.point_count > 0 &&
                pair.patch_count < max_contact_patches) {
                patch.normal = normalized_or_up(patch_normal);
                pair.patches[pair.patch_count++] = patch;
            }
        }
        pair.sum_normal_force = from_bullet(normal_force);
        pair.sum_friction_force = from_bullet(friction_force);
        if (pair.patch_count > 0) {
            queued_contacts_.push_back(pair);
        }
        first = end;
    }
}

bool Scene::fetch_results(bool block) {
    if (!step_in_flight_) {
        return false;
    }
    if (world_->worker != nullptr) {
        if (!block) {
            return false;
        }
        world_->worker->wait();
    }
    step_in_flight_ = false;
    // The report may detach itself or be detached while reports run.
    for (size_t index = 0; index < queued_contacts_.size() && contact_report_ != nullptr; ++index) {
        const ContactPair& pair = queued_contacts_[index];
        contact_report_->on_contact_notify(
            pair, get_actor_group_pair_flags(pair.actors[0]->get_group(), pair.actors[1]->get_group()));
    }
    queued_contacts_.clear();
    return true;
}

void Scene::flush_caches() {
    world_->world.updateAabbs();
    world_->world.computeOverlappingPairs();
}

}  // namespace zolt::platform::physics
