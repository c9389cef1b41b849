#include "zolt/renderer/animation/skeleton_server.h"

#include "zolt/core/object_server/stream_words.h"

namespace zolt::animation {

SkeletonServer skeleton_server;

void SkeletonServer::register_server() {
    for (float& scale : time_scales_) {
        scale = 1;
    }
    ServerBase::register_server();
}

void SkeletonServer::save(storage::SaveStream& stream) {
    ServerBase::save(stream);
    for (const float scale : time_scales_) {
        core::write_f32(stream, scale);
    }
}

bool SkeletonServer::load(storage::LoadStream& stream) {
    if (!ServerBase::load(stream)) {
        return false;
    }
    for (float& scale : time_scales_) {
        if (!core::read_f32(stream, scale)) {
            return false;
        }
    }
    return true;
}

void SkeletonServer::object_created(core::ServerObject* object) {
    static_cast<Skeleton*>(object)->status = skeleton_status::live;
}

void SkeletonServer::object_loaded(core::ServerObject* object) {
    static_cast<Skeleton*>(object)->status = skeleton_status::live;
}

void SkeletonServer::object_destroyed(core::ServerObject* object) {
    static_cast<Skeleton*>(object)->status = skeleton_status::destroyed;
}

void SkeletonServer::object_released(core::ServerObject* object) {
    static_cast<Skeleton*>(object)->status = skeleton_status::released;
}

void SkeletonServer::update() {
    core::for_each_live_object(this, [this](core::ServerObject* object) {
        auto* const skeleton = static_cast<Skeleton*>(object);
        if (skeleton->needs_pose_buffer()) {
            skeleton->write_pose_buffer(get_pose_buffer(*skeleton), false);
        }
    });
}

PoseBuffer& SkeletonServer::get_pose_buffer(const Skeleton& skeleton) {
    return pose_buffers_[core::get_handle_index(skeleton.get_handle())];
}

void SkeletonServer::set_time_scales(uint32_t mask, float scale) {
    for (uint32_t group = 0; group < skeleton_group_count; ++group) {
        if ((mask >> group & 1u) != 0) {
            time_scales_[group] = scale;
        }
    }
}

}  // namespace zolt::animation
