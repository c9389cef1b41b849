#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "libs/io/pack_format.h"
#include "platform/audio/audio_capture.h"
#include "zolt/core/config/config_support_variables.h"
#include "zolt/core/placement/placement_server.h"
#include "zolt/core/resources/resource_server.h"
#include "zolt/sound/resources/sound_bank_server.h"
#include "zolt/sound/resources/wave_bank_server.h"
#include "zolt/sound/sound_entity_server.h"
#include "zolt/sound/sound_listener.h"
#include "zolt/sound/sound_manager.h"
#include "zolt/sound/xaudio/xaudio_voice.h"
#include "zpack/lib/pack_writer.h"

// The sound manager of a busy level: entity_count looping positional sounds
// of two cue priorities around a moving listener, 128 voices on a real FAudio
// engine rendered on this thread over SDL's disk driver. "sound_update"
// times one full 30 ms update (selection, slot updates, 3D matrices, commit)
// against a plain ranking of the same priorities with std::partial_sort;
// "sound_mix" times FAudio mixing the 30 ms that update asks for, and reports
// the share of one core it takes as core_percent.
namespace {

using namespace zolt;

constexpr uint32_t rate = 44100;
constexpr uint32_t voice_count = 128;

std::vector<uint8_t> make_tone_wave() {
    std::vector<uint8_t> data(rate * 2);
    for (uint32_t i = 0; i < rate; ++i) {
        const auto sample = static_cast<int16_t>(8000.0 * std::sin(2.0 * M_PI * 441.0 * i / rate));
        std::memcpy(&data[size_t{i} * 2], &sample, 2);
    }
    return data;
}

class SoundLevel {
public:
    explicit SoundLevel(uint32_t entity_count) {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
        platform::set_audio_rendering_manual(true);
        char pattern[] = "/tmp/zolt-sound-bench-XXXXXX";
        folder_ = mkdtemp(pattern);
        write_pack();
        core::resource_server.register_server();
        core::placement_server.register_server();
        sound::wave_bank_server.register_server();
        sound::sound_bank_server.register_server();
        sound::sound_listener_server.register_server();
        sound::sound_entity_server.register_server();
        sound::sound_bank_server.default_bank_a = 1;
        sound::set_window_active_query([] { return true; });
        sound::initialize_xaudio();
        sound::initialize_sound_manager();
        for (uint32_t index = 0; index < entity_count; ++index) {
            core::Placement* const placement = core::placement_server.create_placement();
            const float angle = static_cast<float>(index) * 0.37f;
            const float distance = 2.0f + static_cast<float>(index % 40);
            placement->set_world_position({distance * std::cos(angle), distance * std::sin(angle), 0.0f});
            auto* const entity =
                static_cast<sound::SoundEntity*>(sound::sound_entity_server.create_object_internal(1 + index % 2));
            core::Property link;
            link.set_u32(sound::sound_entity_property::placement, placement->get_handle());
            entity->set_property(sound::sound_entity_property::placement, link);
            sound::play_sound(entity->get_handle());
            placements_.push_back(placement);
        }
        listener_ = core::placement_server.create_placement();
        auto* const listener =
            static_cast<sound::SoundListener*>(sound::sound_listener_server.create_object_internal(0));
        core::Property value;
        value.set_u32(sound::sound_listener_property::placement, listener_->get_handle());
        listener->set_property(sound::sound_listener_property::placement, value);
        value.set_u32(sound::sound_listener_property::active, 1);
        listener->set_property(sound::sound_listener_property::active, value);
        mix_.resize(size_t{update_frames()} * 8);
    }
    ~SoundLevel() {
        while (core::ServerBase* const last = core::get_last_server()) {
            last->unregister_server();
        }
        core::unlink_thread(&sound::get_sound_timer_thread());
        sound::shutdown_xaudio();
        platform::set_audio_rendering_manual(false);
        std::filesystem::remove_all(folder_);
    }

    // The listener walks, so every positional voice's matrix changes.
    void update() {
        step_ += 1;
        listener_->set_world_position({std::sin(step_ * 0.05f) * 10.0f, std::cos(step_ * 0.05f) * 10.0f, 0.0f});
        sound::mark_sound_manager_changed();
        sound::update_sound_manager();
    }
    void mix() { platform::render_audio(sound::get_xaudio_engine(), mix_.data(), update_frames()); }
    uint32_t update_frames() const {
        platform::AudioEngine* const engine = sound::get_xaudio_engine();
        const uint32_t quantum = engine != nullptr ? platform::get_audio_quantum_frames(engine) : 480;
        return quantum * 3;
    }

private:
    void write_pack() {
        std::vector<sound::WaveDescription> waves(1);
        waves[0].sample_rate = rate;
        waves[0].loops = true;
        waves[0].loop_length = rate * 2;
        waves[0].data = make_tone_wave();
        std::vector<uint8_t> header, data, bank;
        std::string error;
        sound::build_wave_bank(false, waves, &header, &data, &error);
        sound::SoundDescription sound;
        sound.sound.curve_point_count = 3;
        sound.sound.curve_levels[0] = 128;
        sound.sound.maximum_distance = 60.0f;
        sound.sound.flags = sound::sound_flag_positional;
        sound.sound.reverb_send = -1000;
        sound.waves = {{1, 0, 1}};
        sound::build_sound_bank({1}, {{1, 0, 2, 0, {{0, 0, 1}}}, {2, 0, 3, 0, {{0, 0, 1}}}}, {sound}, &bank, &error);
        tools::PackDescription description{0, io::pack_engine_version, {}};
        const uint32_t flags = io::make_resource_flags(0, 0, false);
        description.resources.push_back({sound::get_wave_bank_header_id(1), flags, header, true});
        description.resources.push_back({sound::get_wave_bank_data_id(1), flags, data, true});
        description.resources.push_back({sound::get_sound_bank_id(1), flags, bank, true});
        std::vector<uint8_t> pack;
        tools::build_pack(description, &pack, &error);
        tools::write_file(folder_ + "/sound.pack", pack.data(), pack.size(), &error);
        std::string list;
        tools::format_pack_list({folder_ + "/sound.pack"}, &list, &error);
        tools::write_file(folder_ + "/pack.list", list.data(), list.size(), &error);
        list_path_ = folder_ + "/pack.list";
        pack_list = list_path_.c_str();
    }

    std::string folder_;
    std::string list_path_;
    std::vector<core::Placement*> placements_;
    core::Placement* listener_ = nullptr;
    std::vector<float> mix_;
    float step_ = 0.0f;
};

void sound_update_zolt(benchmark::State& state) {
    SoundLevel level(static_cast<uint32_t>(state.range(0)));
    level.update();
    for (auto _ : state) {
        level.update();
    }
    state.counters["voices"] = sound::get_candidate_count();
}

// The same choice as a plain ranking: priorities and distances of the same
// entities, the 128 best kept by std::partial_sort.
void sound_update_partial_sort(benchmark::State& state) {
    const auto count = static_cast<uint32_t>(state.range(0));
    struct Candidate {
        uint32_t priority;
        float distance;
        uint32_t index;
    };
    std::vector<Candidate> all(count);
    float step = 0.0f;
    for (auto _ : state) {
        step += 1.0f;
        const float lx = std::sin(step * 0.05f) * 10.0f, ly = std::cos(step * 0.05f) * 10.0f;
        uint32_t kept = 0;
        for (uint32_t index = 0; index < count; ++index) {
            const float angle = static_cast<float>(index) * 0.37f;
            const float distance = 2.0f + static_cast<float>(index % 40);
            const float dx = distance * std::cos(angle) - lx, dy = distance * std::sin(angle) - ly;
            const float d = std::sqrt(dx * dx + dy * dy);
            if (d <= 60.0f) {
                all[kept++] = {(2 + index % 2) * 8 + 6, d, index};
            }
        }
        const uint32_t best = std::min(kept, voice_count);
        std::partial_sort(all.begin(), all.begin() + best, all.begin() + kept,
                          [](const Candidate& a, const Candidate& b) {
                              return a.priority != b.priority ? a.priority > b.priority : a.index < b.index;
                          });
        benchmark::DoNotOptimize(all.data());
    }
}

void sound_mix_zolt(benchmark::State& state) {
    SoundLevel level(static_cast<uint32_t>(state.range(0)));
    level.update();
    double mixed_seconds = 0.0;
    double mixing_seconds = 0.0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        level.mix();
        mixing_seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        mixed_seconds +=
            static_cast<double>(level.update_frames()) / platform::get_audio_output_rate(sound::get_xaudio_engine());
    }
    // Seconds of CPU per second of sound, as a share of one core.
    state.counters["core_percent"] = mixed_seconds > 0.0 ? 100.0 * mixing_seconds / mixed_seconds : 0.0;
}

}  // namespace

BENCHMARK(sound_update_zolt)->Name("sound_update/zolt")->Arg(500)->Unit(benchmark::kMicrosecond);
BENCHMARK(sound_update_partial_sort)->Name("sound_update/partial_sort")->Arg(500)->Unit(benchmark::kMicrosecond);
BENCHMARK(sound_mix_zolt)->Name("sound_mix/zolt")->Arg(500)->Unit(benchmark::kMicrosecond);
