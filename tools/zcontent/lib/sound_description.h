#pragma once
// The sound description: a JSON text naming the wave banks (their waves from
// WAV or Ogg Vorbis files) and the sound banks (sounds, cues and their
// playlists) of a pack; tools/zcontent/README.md describes every key. Waves
// have names unique in the description, and sounds names unique in their
// bank, so playlists name them instead of counting indices.
#include <cstdint>
#include <string>
#include <vector>

namespace zolt::tools {

struct SoundResource {
    uint32_t id;
    std::vector<uint8_t> data;
};

// Reads the description and every file it names, and builds the bank
// resources. False, with a message naming the file, the bank, the entry and
// the key, for anything it does not accept.
bool compile_sound_description(const std::string& text, const std::string& path, std::vector<SoundResource>* out,
                               std::string* error);
bool compile_sound_description_file(const std::string& path, std::vector<SoundResource>* out, std::string* error);

}  // namespace zolt::tools
