#include "platform/physics/physics_actor.h"

#include <btBulletDynamicsCommon.h>

#include <algorithm>
#include <cmath>

#include "platform/physics/bullet_conversions.h"
#include "platform/physics/physics_mass.h"
#include "platform/physics/physics_scene.h"
#include "platform/physics/physics_sdk.h"
#include "platform/physics/scene_world.h"

namespace zolt::platform::physics {

namespace {

// The simulation's smallest size once the skin is taken off.
constexpr float min_simulated_size = 0.001f;
constexpr float sleep_linear_velocity = 0.15f;
constexpr float sleep_angular_velocity = 0.14f;

float get_skin(const Scene& scene, const ShapeDescriptor& shape) {
    return shape.skin_width >= 0.0f ? shape.skin_width : const_cast<Scene&>(scene).get_sdk().get_parameter(1);
}

float without_skin(float size, float skin) {
    return std::max(size - skin, min_simulated_size);
}

std::unique_ptr<btCollisionShape> make_collision_shape(const ShapeDescriptor& shape, float skin) {
    switch (shape.type) {
    case ShapeType::plane:
        return std::make_unique<btStaticPlaneShape>(to_bullet(shape.plane_normal), shape.plane_distance - skin);
    case ShapeType::sphere:
        return std::make_unique<btSphereShape>(without_skin(shape.radius, skin));
    case ShapeType::box:
        return std::make_unique<btBoxShape>(btVector3(without_skin(shape.half_extents.x, skin),
                                                      without_skin(shape.half_extents.y, skin),
                                                      without_skin(shape.half_extents.z, skin)));
    case ShapeType::capsule:
        return std::make_unique<btCapsuleShape>(without_skin(shape.radius, skin), shape.height);
    default:
        return nullptr;
    }
}

Pose multiply(const Pose& outer, const Pose& inner) {
    return {outer.position + geometry::rotate(outer.orientation, inner.position),
            outer.orientation * inner.orientation};
}

Pose inverse(const Pose& pose) {
    const Quaternion inverse_rotation = geometry::conjugate(pose.orientation);
    return {geometry::rotate(inverse_rotation, -pose.position), inverse_rotation};
}

bool is_identity(const Pose& pose) {
    constexpr float tolerance = 1e-6f;
    return geometry::length_squared(pose.position) < tolerance * tolerance &&
           std::fabs(std::fabs(pose.orientation.w) - 1.0f) < tolerance;
}

// A plane is placed by its normal and distance alone, as the SDK does.
Pose get_simulated_local_pose(const ShapeDescriptor& shape) {
    return shape.type == ShapeType::plane ? Pose{} : shape.local_pose;
}

btVector3 world_inertia_times(const btRigidBody& body, const btVector3& value) {
    const btMatrix3x3& inverse_inertia = body.getInvInertiaTensorWorld();
    if (inverse_inertia.determinant() == 0.0f) {
        return btVector3(0, 0, 0);
    }
    return inverse_inertia.inverse() * value;
}

}  // namespace

Shape::Shape(Actor& actor, const ShapeDescriptor& descriptor) : actor_(actor), descriptor_(descriptor) {}

Shape::~Shape() = default;

void Shape::set_flag(uint32_t flag, bool value) {
    descriptor_.flags = value ? descriptor_.flags | flag : descriptor_.flags & ~flag;
}

void Shape::set_material(uint16_t index) {
    descriptor_.material_index = index;
    const float friction = actor_.get_scene().get_material_from_index(index)->get_effective_friction();
    const float restitution = actor_.get_scene().get_material_from_index(index)->get_descriptor().restitution;
    btCollisionObject* const object = static_body_ != nullptr ? static_body_.get() : actor_.get_body();
    // A compound body has one friction: the first shape's.
    if (object != nullptr && (static_body_ != nullptr || actor_.get_shape_index(this) == 0)) {
        object->setFriction(friction);
        object->setRestitution(restitution);
    }
}

Actor::Actor(Scene& scene, const ActorDescriptor& descriptor, uint32_t serial)
    : scene_(scene), serial_(serial), dynamic_(descriptor.body != nullptr) {
    user_data = descriptor.user_data;
}

Actor::~Actor() {
    remove_from_world();
}

btRigidBody* Actor::make_body(float mass, btCollisionShape* shape, const Pose& body_pose) {
    btRigidBody::btRigidBodyConstructionInfo info(mass, nullptr, shape);
    info.m_startWorldTransform = to_bullet(body_pose);
    info.m_linearDamping = 0.0f;
    info.m_angularDamping = 0.0f;
    info.m_linearSleepingThreshold = sleep_linear_velocity;
    info.m_angularSleepingThreshold = sleep_angular_velocity;
    auto* const body = new btRigidBody(info);
    body->setUserPointer(this);
    return body;
}

bool Actor::build(const ActorDescriptor& descriptor) {
    group_ = descriptor.group;
    actor_flags_ = descriptor.flags;
    for (const ShapeDescriptor& shape_descriptor : descriptor.shapes) {
        auto shape = std::unique_ptr<Shape>(new Shape(*this, shape_descriptor));
        shape->collision_shape_ = make_collision_shape(shape_descriptor, get_skin(scene_, shape_descriptor));
        shape->collision_shape_->setUserPointer(shape.get());
        shapes_.push_back(std::move(shape));
    }
    if (!dynamic_) {
        static_pose_ = descriptor.global_pose;
        for (auto& shape : shapes_) {
            shape->static_body_.reset(make_body(0.0f, shape->collision_shape_.get(),
                                                multiply(static_pose_, get_simulated_local_pose(shape->descriptor_))));
        }
        for (auto& shape : shapes_) {
            shape->set_material(shape->descriptor_.material_index);
        }
        set_actor_flags(actor_flags_);
        add_to_world();
        return true;
    }
    const BodyDescriptor& body = *descriptor.body;
    body_flags_ = body.flags;
    linear_damping_ = body.linear_damping;
    angular_damping_ = body.angular_damping;
    solver_iteration_count_ = body.solver_iteration_count;
    const bool has_inertia =
        body.mass_space_inertia.x > 0.0f || body.mass_space_inertia.y > 0.0f || body.mass_space_inertia.z > 0.0f;
    if (body.mass > 0.0f && has_inertia) {
        mass_ = body.mass;
        inertia_ = body.mass_space_inertia;
        mass_local_pose_ = body.mass_local_pose;
    } else {
        const MassProperties properties = compute_mass_properties(shapes_, descriptor.density, body.mass);
        if (!(properties.mass > 0.0f)) {
            return false;
        }
        mass_ = properties.mass;
        inertia_ = properties.inertia;
        mass_local_pose_ = properties.frame;
    }
    compound_ = std::make_unique<btCompoundShape>(true, static_cast<int>(shapes_.size()));
    body_.reset(make_body(mass_, compound_.get(), multiply(descriptor.global_pose, mass_local_pose_)));
    rebuild_compound();
    if (!shapes_.empty()) {
        shapes_[0]->set_material(shapes_[0]->descriptor_.material_index);
    }
    body_->setLinearVelocity(to_bullet(body.linear_velocity));
    body_->setAngularVelocity(to_bullet(body.angular_velocity));
    set_actor_flags(actor_flags_);
    set_body_flags(body_flags_);
    apply_mass();
    add_to_world();
    if (!(body.wake_up_counter > 0.0f)) {
        put_to_sleep();
    }
    return true;
}

void Actor::add_to_world() {
    if (in_world_) {
        return;
    }
    btDiscreteDynamicsWorld& world = scene_.get_world().world;
    if (dynamic_) {
        world.addRigidBody(body_.get(), moving_filter_group, btBroadphaseProxy::AllFilter);
        if (read_body_flag(body_flag::disable_gravity)) {
            body_->setGravity(btVector3(0, 0, 0));
        }
    } else {
        for (auto& shape : shapes_) {
            world.addRigidBody(shape->static_body_.get(), static_filter_group, moving_filter_group);
        }
    }
    in_world_ = true;
}

void Actor::remove_from_world() {
    if (!in_world_) {
        return;
    }
    btDiscreteDynamicsWorld& world = scene_.get_world().world;
    if (dynamic_) {
        world.removeRigidBody(body_.get());
    } else {
        for (auto& shape : shapes_) {
            world.removeRigidBody(shape->static_body_.get());
        }
    }
    in_world_ = false;
}

// Children in shape order, so a contact's child index is the shape index. A
// lone shape centred on the body is the body's shape itself: Bullet's
// compound pairs cost far more than plain ones.
void Actor::rebuild_compound() {
    const bool was_in_world = in_world_;
    remove_from_world();
    auto compound = std::make_unique<btCompoundShape>(true, static_cast<int>(shapes_.size()));
    const Pose to_body = inverse(mass_local_pose_);
    for (auto& shape : shapes_) {
        compound->addChildShape(to_bullet(multiply(to_body, shape->descriptor_.local_pose)),
                                shape->collision_shape_.get());
    }
    if (shapes_.size() == 1 && is_identity(multiply(to_body, shapes_[0]->descriptor_.local_pose))) {
        body_->setCollisionShape(shapes_[0]->collision_shape_.get());
    } else {
        body_->setCollisionShape(compound.get());
    }
    compound_ = std::move(compound);
    if (was_in_world) {
        add_to_world();
    }
}

void Actor::apply_mass() {
    if (read_body_flag(body_flag::kinematic)) {
        body_->setMassProps(0.0f, btVector3(0, 0, 0));
    } else {
        body_->setMassProps(mass_, to_bullet(inertia_));
    }
    body_->updateInertiaTensor();
}

void Actor::set_actor_flags(uint32_t flags) {
    actor_flags_ = flags;
    const auto apply = [flags](btCollisionObject* object) {
        const int response = btCollisionObject::CF_NO_CONTACT_RESPONSE;
        const int collision_flags = object->getCollisionFlags();
        object->setCollisionFlags((flags & actor_flag::disable_response) != 0 ? collision_flags | response
                                                                              : collision_flags & ~response);
    };
    if (dynamic_) {
        apply(body_.get());
    } else {
        for (auto& shape : shapes_) {
            apply(shape->static_body_.get());
        }
    }
}

void Actor::set_body_flags(uint32_t flags) {
    if (!dynamic_) {
        return;
    }
    const bool kinematic_changed = ((body_flags_ ^ flags) & body_flag::kinematic) != 0;
    body_flags_ = flags;
    if ((flags & body_flag::disable_gravity) != 0) {
        body_->setFlags(body_->getFlags() | BT_DISABLE_WORLD_GRAVITY);
        body_->setGravity(btVector3(0, 0, 0));
    } else {
        body_->setFlags(body_->getFlags() & ~BT_DISABLE_WORLD_GRAVITY);
        body_->setGravity(to_bullet(scene_.get_gravity()));
    }
    if (!kinematic_changed) {
        return;
    }
    const bool was_in_world = in_world_;
    remove_from_world();
    if ((flags & body_flag::kinematic) != 0) {
        body_->setCollisionFlags(body_->getCollisionFlags() | btCollisionObject::CF_KINEMATIC_OBJECT);
        body_->setLinearVelocity(btVector3(0, 0, 0));
        body_->setAngularVelocity(btVector3(0, 0, 0));
        body_->forceActivationState(DISABLE_DEACTIVATION);
    } else {
        body_->setCollisionFlags(body_->getCollisionFlags() & ~btCollisionObject::CF_KINEMATIC_OBJECT);
        body_->forceActivationState(ACTIVE_TAG);
        body_->setDeactivationTime(0.0f);
        has_move_target_ = false;
    }
    apply_mass();
    if (was_in_world) {
        add_to_world();
    }
}

Pose Actor::get_actor_pose() const {
    if (!dynamic_) {
        return static_pose_;
    }
    return multiply(from_bullet(body_->getWorldTransform()), inverse(mass_local_pose_));
}

void Actor::set_actor_pose(const Pose& pose) {
    btDiscreteDynamicsWorld& world = scene_.get_world().world;
    if (!dynamic_) {
        static_pose_ = pose;
        for (auto& shape : shapes_) {
            const btTransform transform = to_bullet(multiply(pose, get_simulated_local_pose(shape->descriptor_)));
            shape->static_body_->setWorldTransform(transform);
            shape->static_body_->setInterpolationWorldTransform(transform);
            if (in_world_) {
                world.updateSingleAabb(shape->static_body_.get());
            }
        }
        return;
    }
    const btTransform transform = to_bullet(multiply(pose, mass_local_pose_));
    body_->setWorldTransform(transform);
    body_->setInterpolationWorldTransform(transform);
    has_move_target_ = false;
    if (in_world_) {
        world.updateSingleAabb(body_.get());
    }
    if (!read_body_flag(body_flag::kinematic)) {
        body_->activate(true);
    }
}

Vector3 Actor::get_global_position() const {
    return get_actor_pose().position;
}

Quaternion Actor::get_global_orientation() const {
    return get_actor_pose().orientation;
}

void Actor::set_global_position(const Vector3& position) {
    Pose pose = get_actor_pose();
    pose.position = position;
    set_actor_pose(pose);
}

void Actor::set_global_orientation(const Quaternion& orientation) {
    Pose pose = get_actor_pose();
    pose.orientation = orientation;
    set_actor_pose(pose);
}

void Actor::move_global_position(const Vector3& position) {
    if (!dynamic_ || !read_body_flag(body_flag::kinematic)) {
        return;
    }
    if (!has_move_target_) {
        move_target_ = get_actor_pose();
    }
    move_target_.position = position;
    has_move_target_ = true;
}

void Actor::move_global_orientation(const Quaternion& orientation) {
    if (!dynamic_ || !read_body_flag(body_flag::kinematic)) {
        return;
    }
    if (!has_move_target_) {
        move_target_ = get_actor_pose();
    }
    move_target_.orientation = orientation;
    has_move_target_ = true;
}

// Kinematic bodies: Bullet takes their velocity for the step from the
// interpolation transform to the world transform.
void Actor::begin_step(float) {
    if (!read_body_flag(body_flag::kinematic)) {
        return;
    }
    body_->setInterpolationWorldTransform(body_->getWorldTransform());
    if (has_move_target_) {
        body_->setWorldTransform(to_bullet(multiply(move_target_, mass_local_pose_)));
        has_move_target_ = false;
    }
}

Vector3 Actor::get_linear_velocity() const {
    return dynamic_ ? from_bullet(body_->getLinearVelocity()) : Vector3{};
}

void Actor::set_linear_velocity(const Vector3& velocity) {
    if (dynamic_) {
        body_->setLinearVelocity(to_bullet(velocity));
        if (!is_sleeping() || geometry::length_squared(velocity) > 0.0f) {
            body_->activate();
        }
    }
}

Vector3 Actor::get_angular_velocity() const {
    return dynamic_ ? from_bullet(body_->getAngularVelocity()) : Vector3{};
}

void Actor::set_angular_velocity(const Vector3& velocity) {
    if (dynamic_) {
        body_->setAngularVelocity(to_bullet(velocity));
        if (geometry::length_squared(velocity) > 0.0f) {
            body_->activate();
        }
    }
}

bool Actor::is_sleeping() const {
    return dynamic_ && body_->getActivationState() == ISLAND_SLEEPING;
}

void Actor::wake_up(float) {
    if (dynamic_ && !read_body_flag(body_flag::kinematic)) {
        body_->forceActivationState(ACTIVE_TAG);
        body_->setDeactivationTime(0.0f);
    }
}

void Actor::put_to_sleep() {
    if (!dynamic_ || read_body_flag(body_flag::kinematic)) {
        return;
    }
    body_->setLinearVelocity(btVector3(0, 0, 0));
    body_->setAngularVelocity(btVector3(0, 0, 0));
    body_->forceActivationState(ISLAND_SLEEPING);
}

void Actor::set_mass_space_inertia(const Vector3& inertia) {
    if (dynamic_) {
        inertia_ = inertia;
        apply_mass();
    }
}

void Actor::set_mass_offset_local_position(const Vector3& position) {
    if (!dynamic_) {
        return;
    }
    const Pose pose = get_actor_pose();
    mass_local_pose_.position = position;
    rebuild_compound();
    set_actor_pose(pose);
}

void Actor::set_mass_offset_local_orientation(const Quaternion& orientation) {
    if (!dynamic_) {
        return;
    }
    const Pose pose = get_actor_pose();
    mass_local_pose_.orientation = orientation;
    rebuild_compound();
    set_actor_pose(pose);
}

bool Actor::update_mass_from_shapes(float density, float total_mass) {
    if (!dynamic_) {
        return false;
    }
    const MassProperties properties = compute_mass_properties(shapes_, density, total_mass);
    if (!(properties.mass > 0.0f)) {
        return false;
    }
    const Pose pose = get_actor_pose();
    mass_ = properties.mass;
    inertia_ = properties.inertia;
    mass_local_pose_ = properties.frame;
    rebuild_compound();
    set_actor_pose(pose);
    apply_mass();
    return true;
}

void Actor::add_force(const Vector3& force, ForceMode mode, bool wake) {
    add_force_at_position(force, from_bullet(body_ != nullptr ? body_->getCenterOfMassPosition() : btVector3()), mode,
                          wake);
}

void Actor::add_force_at_position(const Vector3& force, const Vector3& position, ForceMode mode, bool wake) {
    if (!dynamic_ || read_body_flag(body_flag::kinematic)) {
        return;
    }
    const float step = scene_.get_timing().max_timestep;
    const btVector3 value = to_bullet(force);
    const btVector3 offset = to_bullet(position) - body_->getCenterOfMassPosition();
    switch (mode) {
    case ForceMode::force:
        body_->applyForce(value, offset);
        break;
    case ForceMode::impulse:
        body_->applyImpulse(value, offset);
        break;
    case ForceMode::velocity_change:
        body_->applyImpulse(value * mass_, offset);
        break;
    case ForceMode::smooth_impulse:
        body_->applyForce(value / step, offset);
        break;
    case ForceMode::smooth_velocity_change:
        body_->applyForce(value * (mass_ / step), offset);
        break;
    case ForceMode::acceleration:
        body_->applyForce(value * mass_, offset);
        break;
    }
    if (wake) {
        body_->activate(true);
    }
}

void Actor::add_torque(const Vector3& torque, ForceMode mode, bool wake) {
    if (!dynamic_ || read_body_flag(body_flag::kinematic)) {
        return;
    }
    const float step = scene_.get_timing().max_timestep;
    const btVector3 value = to_bullet(torque);
    switch (mode) {
    case ForceMode::force:
        body_->applyTorque(value);
        break;
    case ForceMode::impulse:
        body_->applyTorqueImpulse(value);
        break;
    case ForceMode::velocity_change:
        body_->setAngularVelocity(body_->getAngularVelocity() + value);
        break;
    case ForceMode::smooth_impulse:
        body_->applyTorque(value / step);
        break;
    case ForceMode::smooth_velocity_change:
        body_->applyTorque(world_inertia_times(*body_, value / step));
        break;
    case ForceMode::acceleration:
        body_->applyTorque(world_inertia_times(*body_, value));
        break;
    }
    if (wake) {
        body_->activate(true);
    }
}

uint32_t Actor::get_shape_index(const Shape* shape) const {
    for (uint32_t index = 0; index < shapes_.size(); ++index) {
        if (shapes_[index].get() == shape) {
            return index;
        }
    }
    return 0xFFFFFFFF;
}

Shape* Actor::create_shape(const ShapeDescriptor& descriptor) {
    if (!is_valid(descriptor) || (dynamic_ && descriptor.type == ShapeType::plane)) {
        return nullptr;
    }
    auto shape = std::unique_ptr<Shape>(new Shape(*this, descriptor));
    shape->collision_shape_ = make_collision_shape(descriptor, get_skin(scene_, descriptor));
    shape->collision_shape_->setUserPointer(shape.get());
    Shape* const created = shape.get();
    shapes_.push_back(std::move(shape));
    if (dynamic_) {
        rebuild_compound();
    } else {
        created->static_body_.reset(make_body(0.0f, created->collision_shape_.get(),
                                              multiply(static_pose_, get_simulated_local_pose(descriptor))));
        set_actor_flags(actor_flags_);
        if (in_world_) {
            scene_.get_world().world.addRigidBody(created->static_body_.get(), static_filter_group,
                                                  moving_filter_group);
        }
    }
    created->set_material(descriptor.material_index);
    return created;
}

void Actor::release_shape(Shape* shape) {
    const uint32_t index = get_shape_index(shape);
    if (index == 0xFFFFFFFF) {
        return;
    }
    if (!dynamic_ && in_world_) {
        scene_.get_world().world.removeRigidBody(shape->static_body_.get());
    }
    std::unique_ptr<Shape> released = std::move(shapes_[index]);
    shapes_.erase(shapes_.begin() + index);
    if (dynamic_) {
        rebuild_compound();
    }
}

}  // namespace zolt::platform::physics
