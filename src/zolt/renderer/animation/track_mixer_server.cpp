#include "zolt/renderer/animation/track_mixer_server.h"

#include "zolt/core/object_server/stream_words.h"

namespace zolt::animation {

TrackMixerServer track_mixer_server;

void TrackMixerServer::save(storage::SaveStream& stream) {
    ServerBase::save(stream);
    core::for_each_live_object(this, [&](core::ServerObject* object) {
        const auto* const mixer = static_cast<const TrackMixer*>(object);
        const core::ObjectHandle first = mixer->get_first_child();
        if (first == 0) {
            return;
        }
        core::write_u32(stream, mixer->get_handle());
        for (const TrackMixer* child = find_track_mixer(first); child != nullptr;) {
            core::write_u32(stream, child->get_handle());
            child = child->get_next_sibling() != first ? find_track_mixer(child->get_next_sibling()) : nullptr;
        }
        core::write_u32(stream, 0);
    });
    core::write_u32(stream, 0);
}

bool TrackMixerServer::load(storage::LoadStream& stream) {
    if (!ServerBase::load(stream)) {
        return false;
    }
    uint32_t parent_handle = 0;
    while (core::read_u32(stream, parent_handle) && parent_handle != 0) {
        TrackMixer* const parent = find_track_mixer(parent_handle);
        if (parent == nullptr) {
            return false;
        }
        uint32_t child_handle = 0;
        while (core::read_u32(stream, child_handle) && child_handle != 0) {
            TrackMixer* const child = find_track_mixer(child_handle);
            // Skeletons are bound later, so only the shape of the tree is checked.
            if (child == nullptr || !parent->append_child(child)) {
                return false;
            }
        }
        if (child_handle != 0) {
            return false;
        }
    }
    return parent_handle == 0;
}

}  // namespace zolt::animation
