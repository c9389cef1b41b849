#pragma once
// The physics servers as the frame loop sees them: the secondary scene's step
// is started in frame-loop state 2 and finished in state 4. Until the physics
// world exists there is nothing to simulate and every step is empty.
#include <cstdint>

namespace zolt::physics {

// Configuration: skips the secondary scene's step work (the frame loop still
// marks the step as in progress and finished).
extern bool disable_physx_physics;

class PhysXServer {
public:
    // Builtins 409 and 408 set and read this byte.
    bool is_asynchronous_step_enabled() const { return asynchronous_step_flag_ != 0; }
    void set_asynchronous_step_flag(uint8_t flag) { asynchronous_step_flag_ = flag; }

    void start_scene_step();
    // Blocks until the step's results are fetched.
    void is_scene_step_finished();

    uint32_t get_started_step_count() const { return started_step_count_; }
    uint32_t get_finished_step_count() const { return finished_step_count_; }

private:
    uint8_t asynchronous_step_flag_ = 0;
    uint32_t started_step_count_ = 0;
    uint32_t finished_step_count_ = 0;
};

class PhysXActorServer {
public:
    void update_before_scene_step() {}
    void update_after_scene_step() {}
};

extern PhysXServer physx_server;
extern PhysXActorServer physx_actor_server;

}  // namespace zolt::physics
