#pragma once
// The packs and servers of the sound tests: wave and sound banks written by
// the engine's own bank builders into a pack of key 0, the resource server
// over it, and the sound servers registered in engine order.
#include <gtest/gtest.h>

#include "support/server_ring.h"
#include "zolt/core/resources/resource_loader_test_support.h"
#include "zolt/sound/resources/sound_bank_server.h"
#include "zolt/sound/resources/wave_bank_server.h"

namespace zolt::test {

class SoundPacks {
public:
    void add_wave_bank(uint32_t number, bool is_vorbis, const std::vector<sound::WaveDescription>& waves) {
        Bytes header, data;
        std::string error;
        ASSERT_TRUE(sound::build_wave_bank(is_vorbis, waves, &header, &data, &error)) << error;
        add_wave_bank_bytes(number, header, data);
    }
    void add_wave_bank_bytes(uint32_t number, Bytes header, Bytes data) {
        description_.resources.push_back(make_resource(sound::get_wave_bank_header_id(number), std::move(header)));
        description_.resources.push_back(make_resource(sound::get_wave_bank_data_id(number), std::move(data)));
    }
    void add_sound_bank(uint32_t number, const std::vector<uint32_t>& wave_banks,
                        const std::vector<sound::CueDescription>& cues,
                        const std::vector<sound::SoundDescription>& sounds) {
        Bytes bank;
        std::string error;
        ASSERT_TRUE(sound::build_sound_bank(wave_banks, cues, sounds, &bank, &error)) << error;
        add_sound_bank_bytes(number, std::move(bank));
    }
    void add_sound_bank_bytes(uint32_t number, Bytes bank) {
        description_.resources.push_back(make_resource(sound::get_sound_bank_id(number), std::move(bank)));
    }
    // Writes the pack and registers the resource server and the banks' servers.
    void start() {
        folder_.add_pack("sound.pack", description_);
        folder_.write_pack_list();
        core::resource_server.register_server();
        sound::wave_bank_server.register_server();
        sound::sound_bank_server.register_server();
    }
    ~SoundPacks() { unregister_all_servers(); }

    const std::filesystem::path& get_folder() const { return folder_.get_folder(); }

private:
    PackFolder folder_;
    tools::PackDescription description_{0, io::pack_engine_version, {}};
};

// A wave of 16-bit samples.
inline sound::WaveDescription make_pcm_wave(const std::vector<int16_t>& samples, uint32_t sample_rate,
                                            uint16_t channels = 1) {
    sound::WaveDescription wave;
    wave.format = sound::wave_format::pcm_16;
    wave.channels = channels;
    wave.sample_rate = sample_rate;
    wave.data.resize(samples.size() * 2);
    std::memcpy(wave.data.data(), samples.data(), wave.data.size());
    wave.duration = static_cast<float>(samples.size() / channels) / static_cast<float>(sample_rate);
    return wave;
}

// A sound with a flat volume and pitch, full curve and one wave.
inline sound::SoundDescription make_sound(uint32_t wave_bank, uint16_t wave_index) {
    sound::SoundDescription sound;
    sound.sound.curve_point_count = 2;
    sound.sound.reverb_send = -10000;
    sound.sound.maximum_distance = 10.0f;
    sound.waves = {{wave_bank, wave_index, 1}};
    return sound;
}

}  // namespace zolt::test
