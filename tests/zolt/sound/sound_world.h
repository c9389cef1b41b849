#pragma once
// A running sound system for the entity and manager tests: banks in a pack,
// every server the sound Parts use, the output on SDL's disk driver rendered
// on the test's thread, and a fake clock moved together with the rendering
// so each update hears exactly the 30 ms that passed.
#include <gtest/gtest.h>

#include "support/audio_capture.h"
#include "support/fake_clock.h"
#include "support/vorbis_encoder.h"
#include "zolt/core/events/event_server.h"
#include "zolt/core/events/listener_server.h"
#include "zolt/core/events/message.h"
#include "zolt/core/events/message_server.h"
#include "zolt/core/placement/placement_server.h"
#include "zolt/core/script_objects/dictionary_server.h"
#include "zolt/sound/sound_entity_server.h"
#include "zolt/sound/sound_listener.h"
#include "zolt/sound/sound_manager.h"
#include "zolt/sound/sound_test_world.h"
#include "zolt/sound/xaudio/xaudio_voice.h"

namespace zolt::test {

constexpr uint32_t capture_rate = 48000;

inline bool always_active() {
    return true;
}

// Waves of bank 1: 0 a one-second tone, 1 a looping tone with a 0.1 s intro
// and a 0.5 s loop, 2 a long tone. Sounds and cues (cue id = n + 1 for
// sound n): 0 the tone, 1 the loop, 2 the loop at cue priority 3, 3 a
// positional loop with maximum distance 10, 4 the long tone with a 0.5 s
// fade-in and a 2 s fade-out, 5 the loop in category 2, 6 a looping Ogg
// Vorbis tone of 0.5 s (bank 2, wave 0), 7 Vorbis data the decoder refuses
// (bank 2, wave 1).
class SoundWorld : public ::testing::Test {
protected:
    void SetUp() override {
        sound::WaveDescription loop = make_pcm_wave(make_sine(44100, 44100, 441.0, 0.5), 44100);
        loop.loops = true;
        loop.loop_start = 2 * 4410;
        loop.loop_length = 2 * 22050;
        packs_.add_wave_bank(1, false,
                             {make_pcm_wave(make_sine(44100, 44100, 441.0, 0.5), 44100), loop,
                              make_pcm_wave(make_sine(44100 * 20, 44100, 441.0, 0.5), 44100)});
        sound::WaveDescription vorbis;
        vorbis.format = sound::wave_format::vorbis;
        vorbis.sample_rate = 44100;
        vorbis.loops = true;
        vorbis.data = encode_vorbis(make_sine(22050, 44100, 441.0, 0.5), 1, 44100);
        vorbis.duration = 0.5f;
        sound::WaveDescription refused = vorbis;
        refused.loops = false;
        refused.data.assign(3000, 0x33);
        packs_.add_wave_bank(2, true, {vorbis, refused});
        std::vector<sound::SoundDescription> sounds = {make_sound(1, 0), make_sound(1, 1), make_sound(1, 1),
                                                       make_sound(1, 1), make_sound(1, 2), make_sound(1, 1),
                                                       make_sound(2, 0), make_sound(2, 1)};
        sounds[3].sound.flags = sound::sound_flag_positional;
        sounds[4].sound.fade_in = 0.5f;
        sounds[4].sound.fade_out = 2.0f;
        std::vector<sound::CueDescription> cues;
        for (uint16_t n = 0; n < sounds.size(); ++n) {
            cues.push_back({static_cast<uint16_t>(n + 1), 0, 2, 0, {{0, n, 1}}});
        }
        cues[2].priority = 3;
        cues[5].category = 2;
        packs_.add_sound_bank(1, {1, 2}, cues, sounds);
        packs_.start();
        core::event_server.register_server();
        core::dictionary_server.register_server();
        core::listener_server.register_server();
        core::message_server.register_server();
        core::placement_server.register_server();
        sound::sound_listener_server.register_server();
        sound::sound_entity_server.register_server();
        sound::sound_bank_server.default_bank_a = 1;
        sound::set_window_active_query(always_active);
        sound::initialize_xaudio();
        sound::initialize_sound_manager();
    }
    void TearDown() override {
        unregister_all_servers();
        core::unlink_thread(&sound::get_sound_timer_thread());
        sound::shutdown_xaudio();
        sound::set_window_active_query(nullptr);
    }

    sound::SoundEntity* create(uint32_t cue) {
        return static_cast<sound::SoundEntity*>(sound::sound_entity_server.create_object_internal(cue));
    }
    sound::SoundEntity* play(uint32_t cue) {
        sound::SoundEntity* const entity = create(cue);
        sound::play_sound(entity->get_handle());
        return entity;
    }
    // Updates every 30 ms for the given time and hears it.
    CapturedAudio run(double seconds) {
        CapturedAudio out;
        out.channels = 2;
        out.sample_rate = capture_rate;
        const uint32_t steps = static_cast<uint32_t>(std::lround(seconds / 0.03));
        const uint32_t frames = capture_rate * 3 / 100;
        out.samples.resize(size_t{steps} * frames * 2);
        for (uint32_t step = 0; step < steps; ++step) {
            clock_.advance(30);
            sound::update_sound_manager();
            if (sound::get_xaudio_engine() != nullptr) {
                EXPECT_TRUE(
                    platform::render_audio(sound::get_xaudio_engine(), out.samples.data() + step * frames * 2, frames));
            }
        }
        return out;
    }
    // Messages of the kind still waiting for delivery.
    uint32_t count_messages(uint32_t kind) {
        uint32_t count = 0;
        core::ServerObject* const head = core::message_server.get_live_list().get_head();
        for (core::ServerObject* object = head; object != nullptr;) {
            if ((static_cast<core::Message*>(object)->get_id() & 0xFF0000) == kind) {
                ++count;
            }
            object = core::ObjectList::get_next(object);
            if (object == head) {
                break;
            }
        }
        return count;
    }

    ManualAudio manual_;
    FakeClock clock_;
    SoundPacks packs_;
};

}  // namespace zolt::test
