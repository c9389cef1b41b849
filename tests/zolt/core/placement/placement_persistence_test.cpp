#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <vector>

#include "support/byte_streams.h"
#include "support/server_ring.h"
#include "zolt/core/placement/placement_builtins.h"
#include "zolt/core/placement/placement_test_support.h"
#include "zolt/storage/load_stream_memory.h"
#include "zolt/storage/save_stream_memory.h"

namespace zolt::core {
namespace {

using geometry::Quaternion;
using geometry::Vector3;
using test::random_position;
using test::random_rotation;

using PlacementPersistenceTest = test::PlacementWorld;

struct PlacementState {
    ObjectHandle parent, copy_source;
    uint32_t copy_mode, authority, change_count, attached, tracked;
    Vector3 world_position, local_position;
    Quaternion world_rotation, local_rotation;
    std::vector<Vector3> samples;
};

template <typename T>
bool same_bits(const T& a, const T& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void expect_same_world(const std::map<ObjectHandle, PlacementState>& actual,
                       const std::map<ObjectHandle, PlacementState>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (const auto& [handle, want] : expected) {
        SCOPED_TRACE(testing::Message() << std::hex << handle);
        ASSERT_EQ(actual.count(handle), 1u);
        const PlacementState& got = actual.at(handle);
        EXPECT_EQ(got.parent, want.parent);
        EXPECT_EQ(got.copy_source, want.copy_source);
        EXPECT_EQ(got.copy_mode, want.copy_mode);
        EXPECT_EQ(got.authority, want.authority);
        EXPECT_EQ(got.change_count, want.change_count);
        EXPECT_EQ(got.attached, want.attached);
        EXPECT_EQ(got.tracked, want.tracked);
        // Bit for bit: the same values, or the same computation from them.
        EXPECT_TRUE(same_bits(got.world_position, want.world_position));
        EXPECT_TRUE(same_bits(got.local_position, want.local_position));
        EXPECT_TRUE(same_bits(got.world_rotation, want.world_rotation));
        EXPECT_TRUE(same_bits(got.local_rotation, want.local_rotation));
        ASSERT_EQ(got.samples.size(), want.samples.size());
        for (size_t index = 0; index < want.samples.size(); ++index) {
            EXPECT_TRUE(same_bits(got.samples[index], want.samples[index])) << index;
        }
    }
}

// Everything a script could read back, in live-list order. Sampling the
// tracks moves the playback time, which is put back afterwards.
std::map<ObjectHandle, PlacementState> take_snapshot() {
    std::map<ObjectHandle, PlacementState> snapshot;
    const ObjectList& live = placement_server.get_live_list();
    std::vector<Placement*> placements;
    for (ServerObject* object = live.get_head(); object != nullptr;) {
        placements.push_back(static_cast<Placement*>(object));
        object = ObjectList::get_next(object) != live.get_head() ? ObjectList::get_next(object) : nullptr;
    }
    for (Placement* placement : placements) {
        PlacementState state{};
        state.parent = placement->get_parent() != nullptr ? placement->get_parent()->get_handle() : 0;
        state.copy_source = placement->get_copy_source() != nullptr ? placement->get_copy_source()->get_handle() : 0;
        state.copy_mode = placement->get_copy_mode();
        state.authority = placement->get_authority();
        state.attached = placement->get_attached_object();
        state.tracked = placement->get_track() != nullptr;
        state.world_position = placement->get_world_position();
        state.local_position = placement->get_local_position();
        state.world_rotation = placement->get_world_rotation();
        state.local_rotation = placement->get_local_rotation();
        state.change_count = placement->get_change_count();
        snapshot[placement->get_handle()] = state;
    }
    const uint32_t playback_time = placement_server.get_playback_time();
    for (const uint32_t time : {0u, 120u, 260u, 1000u}) {
        set_playback_time(time);
        for (Placement* placement : placements) {
            if (placement->get_track() != nullptr) {
                snapshot[placement->get_handle()].samples.push_back(placement->get_world_position());
            }
        }
    }
    set_playback_time(playback_time);
    for (Placement* placement : placements) {
        placement->get_world_position();
    }
    return snapshot;
}

TEST_F(PlacementPersistenceTest, PlacementsLinksAndTracksSurviveSaveAndLoad) {
    std::mt19937 random(3);
    Placement* const root = get_root_placement();
    Placement* const body = create(root);
    Placement* const arm = create(body);
    Placement* const hand = create(arm);
    Placement* const camera = create();
    Placement* const follower = create(camera);
    Placement* const tracked = create(body);
    destroy_object(create());
    body->set_world_position(random_position(random));
    body->set_local_rotation(random_rotation(random));
    arm->set_local_position(random_position(random));
    arm->set_world_rotation(random_rotation(random));
    hand->set_local_position(random_position(random));
    ASSERT_TRUE(camera->set_copy_mode(copy_mode::local_to_world));
    ASSERT_TRUE(camera->set_copy_source(arm));
    follower->set_local_position({0, 0, 2});
    follower->set_attached_object(watchers.create()->get_handle());
    ASSERT_TRUE(tracked->create_track());
    Property value;
    value.set_u32(placement_property::maximum_extrapolation, 40);
    ASSERT_TRUE(tracked->set_property(placement_property::maximum_extrapolation, value));
    value.set_u32(placement_property::time_offset, static_cast<uint32_t>(-20));
    ASSERT_TRUE(tracked->set_property(placement_property::time_offset, value));
    for (uint32_t time = 100; time <= 200; time += 50) {
        set_record_time(time);
        tracked->set_local_position(random_position(random));
        tracked->set_local_rotation(random_rotation(random));
    }
    set_playback_time(170);
    set_record_time(999);

    storage::MemorySaveStream save;
    ASSERT_TRUE(save.open(0));
    save_all_servers(save);
    ASSERT_TRUE(save.finish());
    // After saving: sampling the tracks for the snapshot counts changes.
    const auto before = take_snapshot();
    // Change the world, then load the saved one over it.
    destroy_object(body);
    create()->set_parent(camera);
    storage::MemoryLoadStream load;
    ASSERT_TRUE(load.open(0));
    ASSERT_TRUE(load_all_servers(load));

    expect_same_world(take_snapshot(), before);
    EXPECT_EQ(get_root_placement()->get_handle(), root->get_handle());
    EXPECT_EQ(placement_server.get_playback_time(), 170u);
    EXPECT_EQ(placement_server.get_record_time(), 999u);
    Placement* const loaded_tracked = get_placement_object(tracked->get_handle());
    ASSERT_NE(loaded_tracked, nullptr);
    Property out;
    ASSERT_TRUE(loaded_tracked->get_property(placement_property::time_offset, out));
    EXPECT_EQ(out.get_s32(), -20);
    ASSERT_TRUE(loaded_tracked->get_property(placement_property::maximum_extrapolation, out));
    EXPECT_EQ(out.get_u32(), 40u);
    // Changes still reach the restored children and copies.
    Placement* const loaded_arm = get_placement_object(arm->get_handle());
    loaded_arm->set_local_position({7, 7, 7});
    EXPECT_VECTOR_NEAR(get_placement_object(camera->get_handle())->get_world_position(), Vector3(7, 7, 7), 0);
}

// The placement server's part of a saved world, written out by hand.
struct SavedPlacements {
    struct Record {
        uint8_t authority = 0, validity = placement_validity::values, copy_mode = 2;
        std::array<float, 3> world_position{}, local_position{};
        std::array<float, 4> world_rotation{0, 0, 0, 1}, local_rotation{0, 0, 0, 1};
        uint32_t change_count = 0, attached = 0;
    };
    struct Keyframe {
        uint32_t time;
        std::vector<float> value;
    };
    struct Track {
        ObjectHandle placement;
        uint32_t time_offset = 0, maximum_extrapolation = 0;
        std::array<float, 7> base{0, 0, 0, 0, 0, 0, 1};
        std::vector<Keyframe> positions, rotations;
    };

    static ObjectHandle handle(uint32_t slot) { return (1u << 26) | (server_type::placement << 20) | slot; }

    // Records go to slots 0, 1, ... unless handles are given; the free list
    // is every other slot in slot order unless given.
    std::vector<Record> records;
    std::vector<ObjectHandle> handles;
    std::vector<ObjectHandle> free_handles;
    std::vector<std::pair<ObjectHandle, ObjectHandle>> parents, copies;
    uint32_t playback_time = 0, record_time = 0;
    std::vector<Track> tracks;

    std::vector<uint8_t> to_bytes() const {
        std::vector<uint8_t> bytes;
        auto append = [&](const void* value, size_t size) {
            bytes.insert(bytes.end(), static_cast<const uint8_t*>(value), static_cast<const uint8_t*>(value) + size);
        };
        auto u32 = [&](uint32_t value) { append(&value, 4); };
        auto f32 = [&](float value) { append(&value, 4); };
        u32(server_type::placement);
        if (free_handles.empty()) {
            for (uint32_t slot = static_cast<uint32_t>(records.size()); slot < placement_capacity; ++slot) {
                u32(make_free_slot_handle(server_type::placement, slot));
            }
        }
        for (const ObjectHandle free_handle : free_handles) {
            u32(free_handle);
        }
        u32(0);
        for (uint32_t slot = 0; slot < records.size(); ++slot) {
            const Record& record = records[slot];
            const ObjectHandle record_handle = handles.empty() ? handle(slot) : handles[slot];
            u32(record_handle);
            u32(record_handle);
            append(&record.authority, 1);
            append(&record.validity, 1);
            append(&record.copy_mode, 1);
            for (const auto* lanes : {&record.world_position, &record.local_position}) {
                for (float lane : *lanes) {
                    f32(lane);
                }
            }
            for (const auto* lanes : {&record.world_rotation, &record.local_rotation}) {
                for (float lane : *lanes) {
                    f32(lane);
                }
            }
            u32(record.change_count);
            u32(record.attached);
        }
        u32(0);
        for (const auto* pairs : {&parents, &copies}) {
            for (const auto& [placement, other] : *pairs) {
                u32(placement);
                u32(other);
            }
            u32(0);
        }
        u32(playback_time);
        u32(record_time);
        for (const Track& track : tracks) {
            u32(track.placement);
            u32(track.time_offset);
            u32(track.maximum_extrapolation);
            for (float lane : track.base) {
                f32(lane);
            }
            for (const auto* keyframes : {&track.positions, &track.rotations}) {
                u32(static_cast<uint32_t>(keyframes->size()));
                for (const Keyframe& keyframe : *keyframes) {
                    u32(keyframe.time);
                    for (float lane : keyframe.value) {
                        f32(lane);
                    }
                }
            }
        }
        u32(0);
        // No owner records.
        u32(0);
        return bytes;
    }
};

// The placement server alone, started without a root, so that a saved world
// is its part only.
class PlacementStreamTest : public ::testing::Test {
protected:
    void SetUp() override { placement_server.start(); }
    void TearDown() override { test::unregister_all_servers(); }
};

TEST_F(PlacementStreamTest, SavedRecordsFollowTheDocumentedLayout) {
    Placement* const given = placement_server.create_placement();
    Placement* const child = placement_server.create_placement();
    Placement* const tracked = placement_server.create_placement();
    const Quaternion turn{0, 0, 0.6f, 0.8f};
    given->set_world_position({1, 2, 3});
    given->set_local_rotation(turn);
    given->set_attached_object(0x1234);
    ASSERT_TRUE(child->set_parent(given));
    ASSERT_TRUE(child->set_copy_source(given));
    ASSERT_TRUE(tracked->create_track());
    set_record_time(300);
    tracked->set_local_position({4, 5, 6});
    set_record_time(400);
    tracked->set_local_rotation(turn);
    set_playback_time(9);

    SavedPlacements expected;
    const ObjectList& free = placement_server.get_free_list();
    for (ServerObject* object = free.get_head(); object != nullptr;) {
        expected.free_handles.push_back(object->get_handle());
        object = ObjectList::get_next(object) != free.get_head() ? ObjectList::get_next(object) : nullptr;
    }
    for (Placement* placement : {given, child, tracked}) {
        expected.handles.push_back(placement->get_handle());
        SavedPlacements::Record record;
        record.authority = placement->get_authority();
        record.validity = placement->get_validity();
        record.copy_mode = placement->get_copy_mode();
        record.change_count = placement->get_change_count();
        record.attached = placement->get_attached_object();
        expected.records.push_back(record);
    }
    // Only the given placement holds values other than the origin; none was
    // read, so the derived ones are still the initial ones.
    expected.records[0].world_position = {1, 2, 3};
    expected.records[0].local_rotation = {0, 0, 0.6f, 0.8f};
    expected.parents = {{child->get_handle(), given->get_handle()}};
    expected.copies = {{child->get_handle(), given->get_handle()}};
    expected.playback_time = 9;
    expected.record_time = 400;
    expected.tracks = {
        {tracked->get_handle(), 0, 0, {0, 0, 0, 0, 0, 0, 1}, {{300, {4, 5, 6}}}, {{400, {0, 0, 0.6f, 0.8f}}}}};

    test::ByteSaveStream stream;
    save_all_servers(stream);
    EXPECT_EQ(stream.get_bytes(), expected.to_bytes());
}

TEST_F(PlacementStreamTest, BrokenSavedPlacementsAreRefused) {
    const ObjectHandle a = SavedPlacements::handle(0), b = SavedPlacements::handle(1), c = SavedPlacements::handle(2);
    SavedPlacements valid;
    valid.records.resize(3);
    valid.tracks = {{c, 0, 0, {}, {{100, {0, 0, 0}}, {200, {1, 0, 0}}}, {}}};
    struct Case {
        const char* fault;
        void (*change)(SavedPlacements& saved);
    };
    const Case cases[] = {
        {"parent cycle",
         [](SavedPlacements& s) {
             s.parents = {{s.handle(0), s.handle(1)}, {s.handle(1), s.handle(0)}};
         }},
        {"own parent",
         [](SavedPlacements& s) {
             s.parents = {{s.handle(1), s.handle(1)}};
         }},
        {"copy cycle",
         [](SavedPlacements& s) {
             s.copies = {{s.handle(0), s.handle(2)}, {s.handle(2), s.handle(0)}};
         }},
        {"copying a descendant",
         [](SavedPlacements& s) {
             s.parents = {{s.handle(1), s.handle(0)}, {s.handle(2), s.handle(1)}};
             s.copies = {{s.handle(0), s.handle(2)}};
         }},
        {"two parents",
         [](SavedPlacements& s) {
             s.parents = {{s.handle(1), s.handle(0)}, {s.handle(1), s.handle(2)}};
         }},
        {"parent in a free slot",
         [](SavedPlacements& s) {
             s.parents = {{s.handle(1), s.handle(7)}};
         }},
        {"copy mode 4", [](SavedPlacements& s) { s.records[1].copy_mode = 4; }},
        {"authority 4", [](SavedPlacements& s) { s.records[0].authority = 4; }},
        {"track of a free slot", [](SavedPlacements& s) { s.tracks[0].placement = s.handle(9); }},
        {"two tracks", [](SavedPlacements& s) { s.tracks.push_back(s.tracks[0]); }},
        {"keyframes out of order", [](SavedPlacements& s) { s.tracks[0].positions[1].time = 50; }},
        {"keyframes at one time", [](SavedPlacements& s) { s.tracks[0].positions[1].time = 100; }},
        {"extrapolation above the limit", [](SavedPlacements& s) { s.tracks[0].maximum_extrapolation = 6000001; }},
    };
    {
        SavedPlacements linked = valid;
        linked.parents = {{b, a}};
        linked.copies = {{c, b}};
        test::ByteLoadStream stream(linked.to_bytes());
        ASSERT_TRUE(load_all_servers(stream));
        ASSERT_EQ(placement_server.get_live_count(), 3u);
        EXPECT_EQ(get_placement_object(b)->get_parent(), get_placement_object(a));
        EXPECT_EQ(get_placement_object(c)->get_copy_source(), get_placement_object(b));
        EXPECT_NE(get_placement_object(c)->get_track(), nullptr);
    }
    for (const Case& c : cases) {
        SavedPlacements broken = valid;
        c.change(broken);
        test::ByteLoadStream stream(broken.to_bytes());
        EXPECT_FALSE(load_all_servers(stream)) << c.fault;
        EXPECT_EQ(placement_server.get_live_count(), 0u) << c.fault;
        EXPECT_TRUE(placement_server.has_free_track()) << c.fault;
    }
    // Cut short anywhere: refused.
    const std::vector<uint8_t> whole = valid.to_bytes();
    for (const size_t cut : {whole.size() - 5, whole.size() - 30, whole.size() - 120}) {
        test::ByteLoadStream stream({whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut)});
        EXPECT_FALSE(load_all_servers(stream)) << cut;
    }
}

}  // namespace
}  // namespace zolt::core
