#include "zolt/renderer/animation/animation_playback.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "animation_fixtures.h"

namespace zolt::animation {
namespace {

TEST(AnimationPlaybackTest, MovesClampLoopAndMirror) {
    struct Row {
        const char* name;
        uint32_t duration;
        bool looping;
        PlaybackPosition start;
        int64_t delta;
        PlaybackPosition expected;
        bool changed;
    };
    const Row rows[] = {
        {"looping past the end", 1000, true, {900, 0}, 250, {150, 1}, true},
        {"looping onto the end stays there", 1000, true, {900, 0}, 100, {1000, 0}, true},
        {"looping over several cycles", 1000, true, {900, 2}, 2250, {150, 5}, true},
        {"looping backwards from the start", 1000, true, {0, 0}, -100, {900, -1}, true},
        {"looping backwards from the end", 1000, true, {1000, 0}, -100, {900, 0}, true},
        {"clamped at the end", 1000, false, {900, 0}, 250, {1000, 0}, true},
        {"clamped at the end already", 1000, false, {1000, 0}, 5, {1000, 0}, false},
        {"clamped backwards at the start", 1000, false, {50, 0}, -100, {0, 0}, true},
        {"clamped backwards at the start already", 1000, false, {0, 0}, -1, {0, 0}, false},
        {"no duration", 0, true, {0, 3}, 100, {0, 3}, false},
        {"the largest step", 1000, true, {0, 0}, -int64_t{0x80000000}, {352, -2147484}, true},
        {"cycles saturate", 1, true, {0, 2147483600}, 0xFFFFFFFF, {1, 2147483647}, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        PlaybackPosition playback = row.start;
        EXPECT_EQ(move_position(playback, row.duration, row.looping, row.delta), row.changed);
        EXPECT_EQ(playback.position, row.expected.position);
        EXPECT_EQ(playback.cycles, row.expected.cycles);
    }
}

// Records "id@time" for every event posted.
class RecordingSink final : public AnimationEventSink {
public:
    void post_animation_event(const AnimationEvent& event) override {
        posted.push_back(std::to_string(event.id) + "@" + std::to_string(event.time));
    }
    std::vector<std::string> posted;
};

// The walk fixture: 1000 ticks, events 7 at 500 and 8 at 1000.
class AnimatorPlaybackTest : public testing::Test {
protected:
    const std::vector<uint8_t> bytes_ = test::build_walk_animation();
    const AnimationView walk_ = test::view_animation(bytes_);
    RecordingSink sink_;
};

TEST_F(AnimatorPlaybackTest, AdvancesAreCutAtEventsAndPostEachOnce) {
    struct Row {
        const char* name;
        AnimatorPlayback start;
        std::vector<uint32_t> advances;
        bool events_enabled;
        uint32_t position;
        int32_t cycles;
        std::vector<std::string> posted;
        bool finished;
    };
    const Row rows[] = {
        {"through the middle event to the end",
         {{0, 0}, 1.0f, false, false},
         {1000},
         true,
         1000,
         0,
         {"7@500", "8@1000", "1@1000"},
         true},
        {"the end is posted once",
         {{0, 0}, 1.0f, false, false},
         {1000, 50, 0},
         true,
         1000,
         0,
         {"7@500", "8@1000", "1@1000"},
         true},
        {"an event reached twice in small steps is posted once",
         {{0, 0}, 1.0f, false, false},
         {250, 250, 0, 1},
         true,
         501,
         0,
         {"7@500"},
         false},
        {"looping over the end", {{900, 0}, 1.0f, true, false}, {250}, true, 150, 1, {"8@1000", "1@1000"}, false},
        {"looping twice round",
         {{900, 0}, 1.0f, true, false},
         {1700},
         true,
         600,
         2,
         {"8@1000", "1@1000", "7@500", "8@1000", "1@1000", "7@500"},
         false},
        {"backwards from the start of a loop",
         {{0, 0}, -1.0f, true, false},
         {100},
         true,
         900,
         -1,
         {"8@1000", "1@0"},
         false},
        {"backwards through the middle", {{700, 0}, -1.0f, false, false}, {300}, true, 400, 0, {"7@500"}, false},
        {"half speed truncates", {{0, 0}, 0.5f, false, false}, {3}, true, 1, 0, {}, false},
        {"no events without the skeleton's consent", {{0, 0}, 1.0f, false, false}, {2000}, false, 1000, 0, {}, false},
        {"a negligible speed does nothing", {{10, 0}, 1.0f / 65536.0f, false, false}, {100000}, true, 10, 0, {}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        AnimatorPlayback playback = row.start;
        RecordingSink sink;
        for (const uint32_t ticks : row.advances) {
            advance_playback(walk_, playback, ticks, row.events_enabled, sink);
        }
        EXPECT_EQ(playback.at.position, row.position);
        EXPECT_EQ(playback.at.cycles, row.cycles);
        EXPECT_EQ(sink.posted, row.posted);
        EXPECT_EQ(is_playback_finished(walk_, playback), row.finished);
    }
}

TEST_F(AnimatorPlaybackTest, DelayToTheNextEventOrEnd) {
    struct Row {
        const char* name;
        AnimatorPlayback playback;
        std::optional<uint32_t> delay;
    };
    const Row rows[] = {
        {"from the start", {{0, 0}, 1.0f, false, true}, 500},
        {"past the middle", {{600, 0}, 1.0f, false, true}, 400},
        {"at the end, handled", {{1000, 0}, 1.0f, false, true}, std::nullopt},
        {"at the end, not yet handled", {{1000, 0}, 1.0f, false, false}, 0},
        {"at the end of a loop", {{1000, 0}, 1.0f, true, true}, 500},
        {"backwards", {{900, 0}, -2.0f, false, true}, 400},
        {"backwards at the start of a loop", {{0, 0}, -1.0f, true, true}, 500},
        {"backwards at the start", {{0, 0}, -1.0f, false, true}, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(get_delay_to_next_event(walk_, row.playback), row.delay);
    }
}

TEST_F(AnimatorPlaybackTest, TurningAtAnEndJumpsToTheOther) {
    AnimatorPlayback playback{{0, 0}, 1.0f, false, true};
    set_playback_speed(playback, 1000, -1.0f);
    EXPECT_EQ(playback.at.position, 1000u);
    EXPECT_FALSE(playback.events_handled);
    set_playback_speed(playback, 1000, 2.0f);
    EXPECT_EQ(playback.at.position, 0u);
    playback.at.position = 300;
    set_playback_speed(playback, 1000, -1.0f);
    EXPECT_EQ(playback.at.position, 300u);
    set_playback_speed(playback, 0, 1.0f);
    EXPECT_EQ(playback.at.position, 300u);
    EXPECT_FLOAT_EQ(playback.speed, 1.0f);
}

}  // namespace
}  // namespace zolt::animation
