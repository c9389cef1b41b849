#pragma once
// The skeleton server (type 41, 250 skeletons): beside the skeletons, one
// pose buffer per slot, which drawing reads and the server rewrites once per
// frame on the rendering thread, and one time scale per skeleton group,
// saved with the game. A destroyed skeleton's slot stays reserved until the
// rendering thread's release pass, so a pose buffer never goes away under a
// draw in flight. Main thread only.
#include <cstdint>

#include "zolt/core/object_server/pooled_server.h"
#include "zolt/renderer/animation/pose_buffer.h"
#include "zolt/renderer/animation/skeleton.h"

namespace zolt::animation {

class SkeletonServer final : public core::PooledServer<Skeleton, skeleton_capacity> {
public:
    SkeletonServer() : PooledServer(skeleton_server_type) {}

    const char* get_name() const override { return "SkeletonServer"; }
    // Also sets every group's time scale to 1.
    void register_server() override;
    // The base's body, then the 32 time scales.
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    void object_created(core::ServerObject* object) override;
    void object_loaded(core::ServerObject* object) override;
    void object_destroyed(core::ServerObject* object) override;
    bool is_object_in_use(core::ServerObject* object, bool on_rendering_thread) override {
        return !on_rendering_thread;
    }
    void object_released(core::ServerObject* object) override;
    // Rewrites the pose buffer of every live skeleton that is not frozen.
    void update() override;
    uint32_t get_memory_size() const override { return static_cast<uint32_t>(sizeof(*this)); }

    Skeleton* create_skeleton(uint32_t resource_id) {
        return static_cast<Skeleton*>(create_object_internal(resource_id));
    }
    // Null unless the handle names a live skeleton.
    Skeleton* find_skeleton(core::ObjectHandle handle) { return is_registered() ? get_typed_object(handle) : nullptr; }
    PoseBuffer& get_pose_buffer(const Skeleton& skeleton);
    float get_time_scale(uint32_t group) const { return time_scales_[group % skeleton_group_count]; }
    void set_time_scales(uint32_t mask, float scale);

private:
    PoseBuffer pose_buffers_[skeleton_capacity];
    float time_scales_[skeleton_group_count];
};

extern SkeletonServer skeleton_server;

}  // namespace zolt::animation
