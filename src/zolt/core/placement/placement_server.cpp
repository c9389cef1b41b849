#include "zolt/core/placement/placement_server.h"

#include <new>
#include <utility>
#include <vector>

#include "zolt/core/object_server/alias_server.h"
#include "zolt/core/object_server/stream_words.h"

namespace zolt::core {

using geometry::Quaternion;
using geometry::Vector3;

PlacementServer placement_server;

namespace {

constexpr uint32_t no_slot = 0xFFFFFFFF;

template <typename Visit>
void for_each_live_placement(const ServerBase& server, Visit visit) {
    const ObjectList& live = server.get_live_list();
    for (ServerObject* object = live.get_head(); object != nullptr;) {
        ServerObject* const next =
            ObjectList::get_next(object) != live.get_head() ? ObjectList::get_next(object) : nullptr;
        visit(static_cast<Placement*>(object));
        object = next;
    }
}

bool read_floats(storage::LoadStream& stream, float* values, uint32_t count) {
    for (uint32_t index = 0; index < count; ++index) {
        if (!read_f32(stream, values[index])) {
            return false;
        }
    }
    return true;
}

void write_keyframes(storage::SaveStream& stream, const KeyframeList& list, const KeyframePool& pool, uint32_t lanes) {
    write_u32(stream, list.count(pool));
    if (list.is_empty()) {
        return;
    }
    uint32_t index = list.head;
    do {
        write_u32(stream, pool[index].time);
        for (uint32_t lane = 0; lane < lanes; ++lane) {
            write_f32(stream, pool[index].value[lane]);
        }
        index = pool[index].next;
    } while (index != list.head);
}

// Keyframes must come in strictly increasing time order.
bool read_keyframes(storage::LoadStream& stream, KeyframeList& list, KeyframePool& pool, uint32_t lanes) {
    uint32_t count = 0;
    if (!read_u32(stream, count)) {
        return false;
    }
    for (uint32_t index = 0; index < count; ++index) {
        uint32_t time = 0;
        float value[4] = {0, 0, 0, 0};
        if (!read_u32(stream, time) || !read_floats(stream, value, lanes)) {
            return false;
        }
        if (!list.is_empty() && !is_time_before(pool[list.get_tail(pool)].time, time)) {
            return false;
        }
        if (!list.write(pool, time, value)) {
            return false;
        }
    }
    return true;
}

// Whether following parent and copy-source links from some slot comes back
// to it. Each slot has at most these two links.
bool has_dependency_cycle(const std::vector<uint32_t>& parent_of, const std::vector<uint32_t>& source_of) {
    enum : uint8_t { unvisited, on_path, finished };
    const uint32_t count = static_cast<uint32_t>(parent_of.size());
    std::vector<uint8_t> state(count, unvisited);
    std::vector<std::pair<uint32_t, uint8_t>> path;
    for (uint32_t start = 0; start < count; ++start) {
        if (state[start] != unvisited) {
            continue;
        }
        state[start] = on_path;
        path.emplace_back(start, 0);
        while (!path.empty()) {
            const uint32_t slot = path.back().first;
            const uint8_t link = path.back().second;
            if (link == 2) {
                state[slot] = finished;
                path.pop_back();
                continue;
            }
            ++path.back().second;
            const uint32_t next = link == 0 ? parent_of[slot] : source_of[slot];
            if (next == no_slot) {
                continue;
            }
            if (state[next] == on_path) {
                return true;
            }
            if (state[next] == unvisited) {
                state[next] = on_path;
                path.emplace_back(next, 0);
            }
        }
    }
    return false;
}

}  // namespace

void PlacementServer::reset_track_clocks() {
    playback_time_ = 0;
    record_time_ = 0;
}

void PlacementServer::register_server() {
    ServerBase::register_server();
    reset_track_clocks();
    Placement* const root = create_placement();
    // A slot that still names a live object keeps it.
    alias_server.set_alias(root_placement_alias, root->get_handle());
}

void PlacementServer::start() {
    ServerBase::register_server();
    reset_track_clocks();
}

uint32_t PlacementServer::set_playback_time(uint32_t time) {
    const uint32_t previous = playback_time_;
    playback_time_ = time;
    for_each_track([](KeyframeTrack* track) { track->owner->resample_track(); });
    return previous;
}

uint32_t PlacementServer::set_record_time(uint32_t time) {
    const uint32_t previous = record_time_;
    record_time_ = time;
    return previous;
}

KeyframeTrack* PlacementServer::take_track(Placement* owner, const Vector3& position, const Quaternion& rotation) {
    if (!tracks_.has_free_block()) {
        return nullptr;
    }
    auto* const track = new (tracks_.allocate(sizeof(KeyframeTrack))) KeyframeTrack;
    track->initialize(owner, position, rotation);
    if (track_ring_ == nullptr) {
        track_ring_ = track;
    } else {
        KeyframeTrack* const last = track_ring_->previous;
        track->previous = last;
        track->next = track_ring_;
        last->next = track;
        track_ring_->previous = track;
    }
    return track;
}

void PlacementServer::give_back_track(KeyframeTrack* track) {
    track->positions.drop_all(position_keyframes_);
    track->rotations.drop_all(rotation_keyframes_);
    if (track_ring_ == track) {
        track_ring_ = track->next != track ? track->next : nullptr;
    }
    track->previous->next = track->next;
    track->next->previous = track->previous;
    tracks_.free(track);
}

uint32_t PlacementServer::take_visit_mark() {
    if (++visit_mark_ == 0) {
        for (uint32_t slot = 0; slot < placement_capacity; ++slot) {
            get_slot(slot).visit_mark_ = 0;
        }
        visit_mark_ = 1;
    }
    return visit_mark_;
}

void PlacementServer::save(storage::SaveStream& stream) {
    ServerBase::save(stream);
    for_each_live_placement(*this, [&](Placement* placement) {
        if (placement->parent_ != nullptr) {
            write_u32(stream, placement->get_handle());
            write_u32(stream, placement->parent_->get_handle());
        }
    });
    write_u32(stream, 0);
    for_each_live_placement(*this, [&](Placement* placement) {
        if (placement->copy_source_ != nullptr) {
            write_u32(stream, placement->get_handle());
            write_u32(stream, placement->copy_source_->get_handle());
        }
    });
    write_u32(stream, 0);
    save_tracks(stream);
}

void PlacementServer::save_tracks(storage::SaveStream& stream) {
    write_u32(stream, playback_time_);
    write_u32(stream, record_time_);
    for_each_live_placement(*this, [&](Placement* placement) {
        const KeyframeTrack* const track = placement->track_;
        if (track == nullptr) {
            return;
        }
        write_u32(stream, placement->get_handle());
        write_u32(stream, static_cast<uint32_t>(track->time_offset));
        write_u32(stream, track->maximum_extrapolation);
        for (const float lane :
             {track->base_position.x, track->base_position.y, track->base_position.z, track->base_rotation.x,
              track->base_rotation.y, track->base_rotation.z, track->base_rotation.w}) {
            write_f32(stream, lane);
        }
        write_keyframes(stream, track->positions, position_keyframes_, 3);
        write_keyframes(stream, track->rotations, rotation_keyframes_, 4);
    });
    write_u32(stream, 0);
}

bool PlacementServer::load(storage::LoadStream& stream) {
    return ServerBase::load(stream) && load_links(stream) && load_tracks(stream);
}

bool PlacementServer::load_links(storage::LoadStream& stream) {
    // Every pair is checked, and the links checked for cycles, before any
    // link is made: a refused load must leave nothing that resolving or
    // destroying could loop on.
    std::vector<uint32_t> parent_of(placement_capacity, no_slot);
    std::vector<uint32_t> source_of(placement_capacity, no_slot);
    std::vector<std::pair<Placement*, Placement*>> pairs[2];
    for (int kind = 0; kind < 2; ++kind) {
        std::vector<uint32_t>& link_of = kind == 0 ? parent_of : source_of;
        for (;;) {
            uint32_t handle = 0;
            if (!read_u32(stream, handle)) {
                return false;
            }
            if (handle == 0) {
                break;
            }
            uint32_t other_handle = 0;
            if (!read_u32(stream, other_handle)) {
                return false;
            }
            Placement* const placement = get_typed_object(handle);
            Placement* const other = get_typed_object(other_handle);
            if (placement == nullptr || other == nullptr || link_of[get_handle_index(handle)] != no_slot) {
                return false;
            }
            link_of[get_handle_index(handle)] = get_handle_index(other_handle);
            pairs[kind].emplace_back(placement, other);
        }
    }
    if (has_dependency_cycle(parent_of, source_of)) {
        return false;
    }
    for (const auto& [placement, parent] : pairs[0]) {
        placement->link_parent(parent);
    }
    for (const auto& [placement, source] : pairs[1]) {
        placement->link_copy_source(source);
    }
    return true;
}

bool PlacementServer::load_tracks(storage::LoadStream& stream) {
    if (!read_u32(stream, playback_time_) || !read_u32(stream, record_time_)) {
        return false;
    }
    for (;;) {
        uint32_t handle = 0;
        if (!read_u32(stream, handle)) {
            return false;
        }
        if (handle == 0) {
            return true;
        }
        Placement* const placement = get_typed_object(handle);
        uint32_t time_offset = 0;
        uint32_t maximum_extrapolation = 0;
        float base[7];
        if (placement == nullptr || placement->track_ != nullptr || !read_u32(stream, time_offset) ||
            !read_u32(stream, maximum_extrapolation) || maximum_extrapolation > maximum_extrapolation_limit ||
            !read_floats(stream, base, 7)) {
            return false;
        }
        KeyframeTrack* const track =
            take_track(placement, {base[0], base[1], base[2]}, {base[3], base[4], base[5], base[6]});
        if (track == nullptr) {
            return false;
        }
        placement->track_ = track;
        track->time_offset = static_cast<int32_t>(time_offset);
        track->maximum_extrapolation = maximum_extrapolation;
        if (!read_keyframes(stream, track->positions, position_keyframes_, 3) ||
            !read_keyframes(stream, track->rotations, rotation_keyframes_, 4)) {
            return false;
        }
    }
}

}  // namespace zolt::core
