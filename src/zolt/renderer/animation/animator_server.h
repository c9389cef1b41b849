#pragma once
// The animator server (type 40, 2500 animators). Animators have no render
// side and are freed at once. Main thread only.
#include "zolt/core/object_server/pooled_server.h"
#include "zolt/renderer/animation/animator.h"

namespace zolt::animation {

class AnimatorServer final : public core::PooledServer<Animator, animator_capacity> {
public:
    AnimatorServer() : PooledServer(animator_server_type) {}

    const char* get_name() const override { return "AnimatorServer"; }
    uint32_t get_memory_size() const override { return static_cast<uint32_t>(sizeof(*this)); }

    Animator* create_animator(bool loop) { return static_cast<Animator*>(create_object_internal(loop ? 1 : 0)); }
    // Null unless the handle names a live animator.
    Animator* find_animator(core::ObjectHandle handle) { return is_registered() ? get_typed_object(handle) : nullptr; }
};

extern AnimatorServer animator_server;

}  // namespace zolt::animation
