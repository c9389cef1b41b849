#pragma once
// An actor of a scene and its shapes. A dynamic actor is one Bullet body whose
// frame is its centre of mass, with a compound of its shapes; a static actor
// is one massless body per shape. The actor frame the engine sees is the
// body frame times the inverse of the mass frame, so every pose, force
// position and shape pose is converted here. Kinematic moves are targets
// reached by the end of the next step. Main thread only.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/physics/physics_types.h"

class btRigidBody;
class btCollisionShape;
class btCompoundShape;

namespace zolt::platform::physics {

class Actor;
class Scene;

class Shape {
public:
    ~Shape();
    Shape(const Shape&) = delete;
    Shape& operator=(const Shape&) = delete;

    Actor& get_actor() const { return actor_; }
    ShapeType get_type() const { return descriptor_.type; }
    const ShapeDescriptor& get_descriptor() const { return descriptor_; }
    bool get_flag(uint32_t flag) const { return (descriptor_.flags & flag) != 0; }
    void set_flag(uint32_t flag, bool value);
    uint16_t get_material() const { return descriptor_.material_index; }
    void set_material(uint16_t index);
    uint16_t get_group() const { return descriptor_.group; }
    void set_group(uint16_t group) { descriptor_.group = group; }
    Pose get_local_pose() const { return descriptor_.local_pose; }
    void* user_data = nullptr;

private:
    friend class Actor;
    friend class Scene;
    Shape(Actor& actor, const ShapeDescriptor& descriptor);

    Actor& actor_;
    ShapeDescriptor descriptor_;
    std::unique_ptr<btCollisionShape> collision_shape_;
    // Static actors: the body of this shape alone.
    std::unique_ptr<btRigidBody> static_body_;
};

class Actor {
public:
    ~Actor();
    Actor(const Actor&) = delete;
    Actor& operator=(const Actor&) = delete;

    Scene& get_scene() const { return scene_; }
    bool is_dynamic() const { return dynamic_; }
    // Creation order within the scene; also the pair key of contacts.
    uint32_t get_serial() const { return serial_; }
    void* user_data = nullptr;

    Vector3 get_global_position() const;
    Quaternion get_global_orientation() const;
    void set_global_position(const Vector3& position);
    void set_global_orientation(const Quaternion& orientation);
    // Kinematic actors only: reached by the end of the next step.
    void move_global_position(const Vector3& position);
    void move_global_orientation(const Quaternion& orientation);

    Vector3 get_linear_velocity() const;
    void set_linear_velocity(const Vector3& velocity);
    // Radians per second.
    Vector3 get_angular_velocity() const;
    void set_angular_velocity(const Vector3& velocity);
    // Coefficients per second, unbounded: v *= max(0, 1 - d dt) each step.
    float get_linear_damping() const { return linear_damping_; }
    void set_linear_damping(float damping) { linear_damping_ = damping; }
    float get_angular_damping() const { return angular_damping_; }
    void set_angular_damping(float damping) { angular_damping_ = damping; }

    bool read_actor_flag(uint32_t flag) const { return (actor_flags_ & flag) != 0; }
    void raise_actor_flag(uint32_t flag) { set_actor_flags(actor_flags_ | flag); }
    void clear_actor_flag(uint32_t flag) { set_actor_flags(actor_flags_ & ~flag); }
    bool read_body_flag(uint32_t flag) const { return (body_flags_ & flag) != 0; }
    void raise_body_flag(uint32_t flag) { set_body_flags(body_flags_ | flag); }
    void clear_body_flag(uint32_t flag) { set_body_flags(body_flags_ & ~flag); }
    uint16_t get_group() const { return group_; }

    bool is_sleeping() const;
    void wake_up(float counter);
    void put_to_sleep();

    float get_mass() const { return mass_; }
    Vector3 get_mass_space_inertia() const { return inertia_; }
    void set_mass_space_inertia(const Vector3& inertia);
    Vector3 get_mass_local_position() const { return mass_local_pose_.position; }
    Quaternion get_mass_local_orientation() const { return mass_local_pose_.orientation; }
    void set_mass_offset_local_position(const Vector3& position);
    void set_mass_offset_local_orientation(const Quaternion& orientation);
    // Mass, centre and principal inertia from the shapes' volumes: by density
    // when total_mass is 0, else scaled to total_mass. False, with nothing
    // changed, when the shapes give no mass.
    bool update_mass_from_shapes(float density, float total_mass);
    uint32_t get_solver_iteration_count() const { return solver_iteration_count_; }
    void set_solver_iteration_count(uint32_t count) { solver_iteration_count_ = count; }

    // Modes as ForceMode numbers them; position and vectors in the world.
    void add_force(const Vector3& force, ForceMode mode, bool wake);
    void add_force_at_position(const Vector3& force, const Vector3& position, ForceMode mode, bool wake);
    void add_torque(const Vector3& torque, ForceMode mode, bool wake);

    uint32_t get_shape_count() const { return static_cast<uint32_t>(shapes_.size()); }
    // Creation order.
    Shape* get_shape(uint32_t index) const { return index < shapes_.size() ? shapes_[index].get() : nullptr; }
    uint32_t get_shape_index(const Shape* shape) const;
    // Null when the shape is not valid or not allowed on this actor.
    Shape* create_shape(const ShapeDescriptor& descriptor);
    void release_shape(Shape* shape);

    btRigidBody* get_body() const { return body_.get(); }
    void begin_step(float step);

private:
    friend class Scene;
    Actor(Scene& scene, const ActorDescriptor& descriptor, uint32_t serial);
    bool build(const ActorDescriptor& descriptor);
    void set_actor_flags(uint32_t flags);
    void set_body_flags(uint32_t flags);
    void apply_mass();
    void rebuild_compound();
    void add_to_world();
    void remove_from_world();
    void set_actor_pose(const Pose& pose);
    Pose get_actor_pose() const;
    btRigidBody* make_body(float mass, btCollisionShape* shape, const Pose& body_pose);

    Scene& scene_;
    uint32_t serial_;
    bool dynamic_ = false;
    bool in_world_ = false;
    uint32_t actor_flags_ = 0;
    uint32_t body_flags_ = 0;
    uint16_t group_ = 0;
    float mass_ = 0.0f;
    Vector3 inertia_;
    Pose mass_local_pose_;
    // Static actors have no body of their own.
    Pose static_pose_;
    float linear_damping_ = 0.0f;
    float angular_damping_ = 0.0f;
    uint32_t solver_iteration_count_ = 4;
    bool has_move_target_ = false;
    Pose move_target_;
    std::vector<std::unique_ptr<Shape>> shapes_;
    std::unique_ptr<btCompoundShape> compound_;
    std::unique_ptr<btRigidBody> body_;
};

}  // namespace zolt::platform::physics
