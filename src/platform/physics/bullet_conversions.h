#pragma once
// Between the layer's plain vectors and Bullet's. Only this folder sees Bullet.
#include <LinearMath/btTransform.h>

#include "platform/physics/physics_types.h"

namespace zolt::platform::physics {

inline btVector3 to_bullet(const Vector3& v) {
    return {v.x, v.y, v.z};
}

inline btQuaternion to_bullet(const Quaternion& q) {
    return {q.x, q.y, q.z, q.w};
}

inline btTransform to_bullet(const Pose& pose) {
    return btTransform(to_bullet(pose.orientation), to_bullet(pose.position));
}

inline Vector3 from_bullet(const btVector3& v) {
    return {v.x(), v.y(), v.z()};
}

inline Quaternion from_bullet(const btQuaternion& q) {
    return {q.x(), q.y(), q.z(), q.w()};
}

inline Pose from_bullet(const btTransform& transform) {
    return {from_bullet(transform.getOrigin()), from_bullet(transform.getRotation())};
}

}  // namespace zolt::platform::physics
