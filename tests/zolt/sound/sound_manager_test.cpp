#include "zolt/sound/sound_manager.h"

#include <gtest/gtest.h>

#include "zolt/sound/sound_builtins.h"
#include "zolt/sound/sound_voice_slot.h"
#include "zolt/sound/sound_world.h"
#include "zolt/storage/load_stream_memory.h"
#include "zolt/storage/save_stream_memory.h"

namespace zolt::sound {
namespace {

using SoundManagerTest = test::SoundWorld;
namespace state = entity_state;

constexpr uint32_t tone = 1, loop = 2, loud_loop = 3, positional_loop = 4, faded = 5, paused_loop = 6, vorbis_loop = 7,
                   refused_vorbis = 8;

core::Property float_property(uint32_t id, float value) {
    core::Property property;
    property.set_float(id, value);
    return property;
}

core::Property word_property(uint32_t id, uint32_t value) {
    core::Property property;
    property.set_u32(id, value);
    return property;
}

TEST_F(SoundManagerTest, OneHundredThirtyLoopsAgainst128VoicesGoToTheFirstInCreationOrder) {
    ASSERT_EQ(get_voice_count(), maximum_voice_count);
    std::vector<SoundEntity*> entities;
    for (int i = 0; i < 130; ++i) {
        entities.push_back(play(loop));
    }
    const test::CapturedAudio heard = run(0.12);
    for (int i = 0; i < 128; ++i) {
        EXPECT_GE(entities[i]->get_slot(), 0) << i;
        EXPECT_EQ(entities[i]->get_state(), state::playing);
    }
    for (int i = 128; i < 130; ++i) {
        EXPECT_LT(entities[i]->get_slot(), 0);
        EXPECT_EQ(entities[i]->get_state(), state::interrupted_loop) << i;
    }
    EXPECT_EQ(get_candidate_count(), 128u);
    // The looping entities that lost never post the finished message.
    EXPECT_EQ(count_messages(sound_finished_message), 0u);
    // 128 voices in phase: loud and steady after the first update.
    EXPECT_GT(heard.rms_seconds(0, 0.06, 0.12), 10.0);
    run(0.3);
    EXPECT_EQ(entities[129]->get_state(), state::interrupted_loop);
}

TEST_F(SoundManagerTest, AHigherCuePriorityTakesTheWeakestVoiceAndTheLoserComesBackAtItsLoopStart) {
    std::vector<SoundEntity*> entities;
    for (int i = 0; i < 128; ++i) {
        entities.push_back(play(loop));
    }
    run(0.06);
    SoundEntity* const loud = play(loud_loop);
    run(0.06);
    EXPECT_GE(loud->get_slot(), 0);
    EXPECT_EQ(loud->get_priority(), 3u * 8 + 6 + 1);
    // Among equals the first in the list loses.
    EXPECT_LT(entities[0]->get_slot(), 0);
    EXPECT_EQ(entities[0]->get_state(), state::interrupted_loop);
    const float lost_at = entities[0]->get_playback_time();
    EXPECT_GT(lost_at, 0.0f);

    // A voice frees up: the interrupted loop plays again, from its loop
    // start, in the interrupted state, with its time running on.
    entities[5]->set_property(sound_entity_property::message_target, word_property(0x1000023, 5));
    stop_sound(entities[5]->get_handle(), true);
    run(0.06);
    EXPECT_GE(entities[0]->get_slot(), 0);
    EXPECT_EQ(entities[0]->get_state(), state::interrupted_loop);
    EXPECT_GE(entities[0]->get_playback_time(), lost_at);
    EXPECT_EQ(entities[5]->get_state(), state::stopped);
    EXPECT_EQ(count_messages(sound_finished_message), 1u);
}

TEST_F(SoundManagerTest, APositionalSoundKeepsItsVoiceToATenthBeyondItsRangeButNeedsTheRangeToGetOne) {
    core::Placement* const placement = core::placement_server.create_placement();
    SoundEntity* const entity = play(positional_loop);
    entity->set_property(sound_entity_property::placement, word_property(0x100000A, placement->get_handle()));
    struct Step {
        float distance;
        bool has_voice;
    };
    const Step steps[] = {{9.5f, true}, {10.5f, true}, {10.9f, true}, {11.2f, false}, {10.5f, false}, {9.9f, true}};
    for (const Step& step : steps) {
        placement->set_world_position({step.distance, 0, 0});
        run(0.03);
        EXPECT_EQ(entity->get_slot() >= 0, step.has_voice) << step.distance;
    }
    EXPECT_EQ(entity->get_state(), state::interrupted_loop);
}

TEST_F(SoundManagerTest, APanningEmitterIsLouderInTheNearerChannel) {
    core::Placement* const placement = core::placement_server.create_placement();
    placement->set_world_position({4, 0, 0});
    SoundEntity* const entity = play(positional_loop);
    entity->set_property(sound_entity_property::placement, word_property(0x100000A, placement->get_handle()));
    const test::CapturedAudio right = run(0.3);
    EXPECT_GT(right.rms_seconds(1, 0.1, 0.3), 2.0 * right.rms_seconds(0, 0.1, 0.3));
    placement->set_world_position({-4, 0, 0});
    const test::CapturedAudio left = run(0.3);
    EXPECT_GT(left.rms_seconds(0, 0.1, 0.3), 2.0 * left.rms_seconds(1, 0.1, 0.3));
}

TEST_F(SoundManagerTest, APausedCategoryStopsItsVoicesClocksAndFadesButKeepsTheirSlots) {
    SoundEntity* const entity = play(paused_loop);
    run(0.12);
    const uint32_t clock = get_sound_category(2).clock;
    entity->set_property(sound_entity_property::target_fade_volume, float_property(0x500017B, 0.0f));
    entity->set_property(sound_entity_property::fade_time, float_property(0x500017D, 10.0f));
    set_category_paused(2, true);
    const test::CapturedAudio paused = run(0.3);
    EXPECT_LT(paused.rms_seconds(0, 0.06, 0.3), 1e-6);
    EXPECT_GE(entity->get_slot(), 0);
    EXPECT_EQ(get_sound_category(2).clock, clock);
    EXPECT_FLOAT_EQ(entity->get_fade_volume(), 1.0f);
    EXPECT_GT(get_sound_category(0).clock, clock);
    const float position = get_voice_slot(entity->get_slot()).get_position();

    set_category_paused(2, false);
    entity->set_property(sound_entity_property::fade_time, float_property(0x500017D, 0.0f));
    entity->set_property(sound_entity_property::target_fade_volume, float_property(0x500017B, 1.0f));
    set_category_volume(2, 0.5f);
    const test::CapturedAudio resumed = run(0.3);
    EXPECT_NEAR(resumed.rms_seconds(0, 0.1, 0.3), 0.5 * 0.5 / std::sqrt(2.0), 0.03);
    EXPECT_NEAR(get_voice_slot(entity->get_slot()).get_position(), position + 0.3f, 0.05f);
}

TEST_F(SoundManagerTest, CategoryBuiltinsClampAndAnswerNeutrallyOutsideTheFourCategories) {
    set_category_volume(1, 1.5f);
    EXPECT_EQ(get_category_volume(1), 1.0f);
    set_category_volume(1, -2.0f);
    EXPECT_EQ(get_category_volume(1), 0.0f);
    set_category_volume(1, std::nanf(""));
    EXPECT_EQ(get_category_volume(1), 0.0f);
    set_category_volume(7, 0.3f);
    EXPECT_EQ(get_category_volume(7), 0.0f);
    EXPECT_TRUE(is_category_paused(4));
    set_category_paused(4, false);
    EXPECT_TRUE(is_category_paused(4));
    EXPECT_FALSE(is_category_paused(3));
    set_default_bank_a(12);
    set_default_bank_b(13);
    EXPECT_EQ(get_default_bank_a(), 12u);
    EXPECT_EQ(get_default_bank_b(), 13u);
    EXPECT_TRUE(is_sound_environment_enabled());
    set_sound_environment_enabled(false);
    EXPECT_FALSE(sound_environment_enabled);
    set_sound_environment_enabled(true);
}

TEST_F(SoundManagerTest, TheEnvironmentCrossFadesOverTheListenersFadeTime) {
    SoundListener* const listener = static_cast<SoundListener*>(sound_listener_server.create_object_internal(0));
    listener->set_property(sound_listener_property::active, word_property(0x3000185, 1));
    EXPECT_EQ(get_active_listener().value, listener->get_handle());
    listener->set_property(sound_listener_property::environment, word_property(0x3000186, 3));
    listener->set_property(sound_listener_property::environment_fade_time, float_property(0x5000187, 0.0f));
    run(0.03);
    EXPECT_EQ(get_listener_environment(), 3u);
    EXPECT_EQ(get_listener_blend_factor(), 1.0f);
    const platform::ReverbParameters room = get_environment_parameters(3);
    EXPECT_FLOAT_EQ(get_current_reverb_parameters().decay_time, room.decay_time);

    listener->set_property(sound_listener_property::environment, word_property(0x3000186, 9));
    listener->set_property(sound_listener_property::environment_fade_time, float_property(0x5000187, 2.0f));
    run(0.99);
    const platform::ReverbParameters cave = get_environment_parameters(9);
    EXPECT_NEAR(get_listener_blend_factor(), 0.48f, 0.02f);
    EXPECT_NEAR(get_current_reverb_parameters().decay_time,
                room.decay_time + (cave.decay_time - room.decay_time) * get_listener_blend_factor(), 0.01f);
    run(1.05);
    EXPECT_EQ(get_listener_blend_factor(), 1.0f);
    EXPECT_FLOAT_EQ(get_current_reverb_parameters().decay_time, cave.decay_time);

    // Out of range environments store DEFAULT; without an active listener
    // the environment moves to preset 0.
    listener->set_property(sound_listener_property::environment, word_property(0x3000186, 25));
    core::Property environment;
    listener->get_property(390, environment);
    EXPECT_EQ(environment.get_u32(), 0u);
    listener->set_property(sound_listener_property::environment, word_property(0x3000186, 9));
    listener->set_property(sound_listener_property::active, word_property(0x3000185, 0));
    EXPECT_EQ(get_active_listener().value, 0u);
    run(0.03);
    EXPECT_EQ(get_listener_environment(), 0u);
}

TEST_F(SoundManagerTest, FadeInAndFadeOutShapeTheVolumeAndTheFadeOutEndsTheSound) {
    SoundEntity* const entity = play(faded);
    entity->set_property(sound_entity_property::message_target, word_property(0x1000023, 5));
    const test::CapturedAudio start = run(0.51);
    // Half the level at 0.25 s into the fade-in.
    const double full = 0.5 / std::sqrt(2.0);
    EXPECT_NEAR(start.rms_seconds(0, 0.22, 0.28) / full, 0.5, 0.1);
    run(0.99);
    stop_sound(entity->get_handle(), false);
    EXPECT_EQ(entity->get_state(), state::release);
    const test::CapturedAudio fading = run(1.02);
    EXPECT_NEAR(fading.rms_seconds(0, 0.96, 1.02) / full, 0.5, 0.1);
    run(1.05);
    EXPECT_EQ(entity->get_state(), state::stopped);
    EXPECT_LT(entity->get_slot(), 0);
    EXPECT_EQ(count_messages(sound_finished_message), 1u);
}

TEST_F(SoundManagerTest, AReleasedLoopFinishesItsPassThenItsTailThenEnds) {
    SoundEntity* const entity = play(loop);
    entity->set_property(sound_entity_property::message_target, word_property(0x1000023, 5));
    run(0.3);
    stop_sound(entity->get_handle(), false);
    // Within the loop at 0.3 s: the pass ends at 0.6 s, the tail lasts 0.4 s.
    const test::CapturedAudio rest = run(0.9);
    EXPECT_GT(rest.rms_seconds(0, 0.6, 0.65), 0.2);
    EXPECT_LT(rest.rms_seconds(0, 0.75, 0.9), 1e-6);
    EXPECT_EQ(entity->get_state(), state::stopped);
    EXPECT_EQ(count_messages(sound_finished_message), 1u);
}

TEST_F(SoundManagerTest, EntityStatesFollowPlayStopAndVoiceLoss) {
    struct Case {
        const char* name;
        uint32_t cue;
        void (*act)(SoundEntity*);
        uint8_t expected;
    };
    const Case cases[] = {
        {"new entities are idle", tone, [](SoundEntity*) {}, state::idle},
        {"play", tone, [](SoundEntity* e) { play_sound(e->get_handle()); }, state::playing},
        {"stop now", loop,
         [](SoundEntity* e) {
             play_sound(e->get_handle());
             stop_sound(e->get_handle(), true);
         },
         state::stopped},
        {"stop to release", loop,
         [](SoundEntity* e) {
             play_sound(e->get_handle());
             stop_sound(e->get_handle(), false);
         },
         state::release},
        {"idle stopped without immediately plays once", tone,
         [](SoundEntity* e) { stop_sound(e->get_handle(), false); }, state::release},
        {"a stopped entity stays stopped", tone,
         [](SoundEntity* e) {
             stop_sound(e->get_handle(), true);
             stop_sound(e->get_handle(), false);
             play_sound(e->get_handle());
         },
         state::stopped},
        {"a looping sound that loses its voice", loop,
         [](SoundEntity* e) {
             play_sound(e->get_handle());
             e->release_voice(true);
         },
         state::interrupted_loop},
        {"a released loop that loses its voice", loop,
         [](SoundEntity* e) {
             play_sound(e->get_handle());
             stop_sound(e->get_handle(), false);
             e->release_voice(true);
         },
         state::stopped},
        {"a one-shot that loses its voice", tone,
         [](SoundEntity* e) {
             play_sound(e->get_handle());
             e->release_voice(true);
         },
         state::stopped},
    };
    for (const Case& row : cases) {
        SoundEntity* const entity = create(row.cue);
        row.act(entity);
        EXPECT_EQ(entity->get_state(), row.expected) << row.name;
    }
    // Handles of other servers change nothing.
    play_sound(core::placement_server.create_placement()->get_handle());
    stop_sound(0, true);
}

TEST_F(SoundManagerTest, MessagesArePostedOnceAndOnlyWithATargetOrIdBase) {
    SoundEntity* const quiet = play(tone);
    SoundEntity* const told = play(tone);
    told->set_property(sound_entity_property::message_id_base, word_property(0x300000F, 0x04000123));
    core::Property base;
    told->get_property(15, base);
    EXPECT_EQ(base.get_u32(), 0x04000000u);
    SoundEntity* const gone = play(tone);
    gone->set_property(sound_entity_property::auto_release, word_property(0x3000178, 5));
    const core::ObjectHandle gone_handle = gone->get_handle();
    run(1.2);
    EXPECT_EQ(quiet->get_state(), state::stopped);
    EXPECT_EQ(count_messages(sound_finished_message), 1u);
    EXPECT_EQ(sound_entity_server.get_typed_object(gone_handle), nullptr);
    told->release_voice(true);
    EXPECT_EQ(count_messages(sound_finished_message), 1u);

    // 0.8 to 0 at 2.0 per whole range: 1.6 s; the message carries 0.
    told->set_property(sound_entity_property::current_fade_volume, float_property(0x500017C, 0.8f));
    told->set_property(sound_entity_property::target_fade_volume, float_property(0x500017B, 0.0f));
    told->set_property(sound_entity_property::fade_time, float_property(0x500017D, 2.0f));
    told->update_fade(0.8f);
    EXPECT_NEAR(told->get_fade_volume(), 0.4f, 1e-5f);
    EXPECT_EQ(count_messages(sound_fade_message), 0u);
    told->update_fade(0.8f);
    EXPECT_EQ(told->get_fade_volume(), 0.0f);
    EXPECT_EQ(count_messages(sound_fade_message), 1u);
}

TEST_F(SoundManagerTest, PropertiesClampWhatScriptsSet) {
    SoundEntity* const entity = create(loop);
    struct Case {
        uint32_t id;
        float given;
        float stored;
    };
    const Case cases[] = {
        {sound_entity_property::volume, 1.7f, 1.0f},
        {sound_entity_property::volume, -0.2f, 0.0f},
        {sound_entity_property::volume, std::nanf(""), 0.0f},
        {sound_entity_property::distance_scale, -3.0f, 0.0f},
        {sound_entity_property::distance_scale, 2.5f, 2.5f},
        {sound_entity_property::target_fade_volume, 4.0f, 1.0f},
        {sound_entity_property::current_fade_volume, -1.0f, 0.0f},
        {sound_entity_property::fade_time, -5.0f, -5.0f},
    };
    for (const Case& row : cases) {
        EXPECT_TRUE(entity->set_property(row.id, float_property(row.id, row.given)));
        core::Property out;
        ASSERT_TRUE(entity->get_property(row.id & 0xFFFFFF, out));
        EXPECT_EQ(out.get_float(), row.stored) << std::hex << row.id;
    }
    core::Property out;
    entity->get_property(164, out);
    EXPECT_NEAR(out.get_float(), 1.0f, 1e-4f);
    entity->get_property(383, out);
    EXPECT_EQ(out.get_u32(), 1u);
    entity->get_property(387, out);
    EXPECT_EQ(out.get_u32(), 0u);
    // Read-only ones refuse a set.
    EXPECT_FALSE(entity->set_property(sound_entity_property::loops, word_property(0x300017F, 0)));
}

TEST_F(SoundManagerTest, AnUnknownCueIsSilentAndEndsWithItsMessage) {
    SoundEntity* const entity = play(777);
    entity->set_property(sound_entity_property::message_target, word_property(0x1000023, 5));
    EXPECT_FALSE(entity->is_playable());
    run(0.06);
    EXPECT_EQ(entity->get_state(), state::stopped);
    EXPECT_EQ(count_messages(sound_finished_message), 1u);
}

// Counts the warnings that name a wave bank.
class WarningCounter : public MessageHandler {
public:
    WarningCounter() { register_handler(); }
    ~WarningCounter() override { unregister_handler(); }
    void handle_message(MessageKind kind, const char*, const char*, const char*, uint32_t, const char* format,
                        va_list arguments) override {
        char text[256];
        std::vsnprintf(text, sizeof text, format, arguments);
        if (kind == MessageKind::Warning && std::string(text).find("wave bank 0x4f002002") != std::string::npos) {
            ++count;
        }
    }
    uint32_t count = 0;
};

TEST_F(SoundManagerTest, AVorbisLoopPlaysSeamlesslyAheadOfItsPositionAndEndsWithoutWrappingWhenReleased) {
    SoundEntity* const entity = play(vorbis_loop);
    const test::CapturedAudio looped = run(1.5);
    const SoundVoiceSlot& slot = get_voice_slot(entity->get_slot());
    EXPECT_GE(slot.get_queued_seconds(), slot.get_position() + 0.9f);
    // A 441 Hz sine through 0.5 s passes: steady level, no gap at the seams.
    for (double at = 0.1; at < 1.45; at += 0.05) {
        EXPECT_NEAR(looped.rms_seconds(0, at, at + 0.05), 0.5 / std::sqrt(2.0), 0.03) << at;
    }
    entity->set_property(sound_entity_property::message_target, word_property(0x1000023, 5));
    stop_sound(entity->get_handle(), false);
    // What was decoded ahead (about a second) plays out, then it ends.
    run(2.0);
    EXPECT_EQ(entity->get_state(), state::stopped);
    EXPECT_EQ(count_messages(sound_finished_message), 1u);
}

TEST_F(SoundManagerTest, RefusedVorbisDataPlaysSilenceAndIsReportedOnce) {
    WarningCounter warnings;
    SoundEntity* const first = play(refused_vorbis);
    SoundEntity* const second = play(refused_vorbis);
    const test::CapturedAudio heard = run(0.12);
    EXPECT_EQ(first->get_state(), state::stopped);
    EXPECT_EQ(second->get_state(), state::stopped);
    EXPECT_LT(heard.rms_seconds(0, 0.0, 0.12), 1e-6);
    EXPECT_EQ(warnings.count, 1u);
}

}  // namespace
}  // namespace zolt::sound

namespace zolt::sound {
namespace {

TEST_F(SoundManagerTest, ASavedLoopComesBackAsAnInterruptedLoopAndAOneShotAsStopped) {
    SoundEntity* const looping = play(loop);
    SoundEntity* const once = play(tone);
    looping->set_property(sound_entity_property::volume, float_property(0x5000179, 0.25f));
    set_category_volume(1, 0.5f);
    set_category_paused(3, true);
    run(0.3);
    const core::ObjectHandle looping_handle = looping->get_handle();
    const core::ObjectHandle once_handle = once->get_handle();
    const float time = looping->get_playback_time();

    storage::MemorySaveStream save;
    ASSERT_TRUE(save.open(1));
    core::save_all_servers(save);
    ASSERT_TRUE(save.finish());
    set_category_volume(1, 1.0f);
    set_category_paused(3, false);
    storage::MemoryLoadStream load;
    ASSERT_TRUE(load.open(1));
    ASSERT_TRUE(core::load_all_servers(load));

    EXPECT_EQ(get_category_volume(1), 0.5f);
    EXPECT_TRUE(is_category_paused(3));
    SoundEntity* const restored = sound_entity_server.get_typed_object(looping_handle);
    ASSERT_NE(restored, nullptr);
    EXPECT_EQ(restored->get_state(), state::interrupted_loop);
    EXPECT_EQ(restored->get_volume(), 0.25f);
    EXPECT_NEAR(restored->get_playback_time(), time, 0.01f);
    ASSERT_NE(sound_entity_server.get_typed_object(once_handle), nullptr);
    EXPECT_EQ(sound_entity_server.get_typed_object(once_handle)->get_state(), state::stopped);
    // Heard again once it wins a voice.
    const test::CapturedAudio heard = run(0.3);
    EXPECT_GE(restored->get_slot(), 0);
    EXPECT_GT(heard.rms_seconds(0, 0.1, 0.3), 0.05);
}

}  // namespace
}  // namespace zolt::sound
