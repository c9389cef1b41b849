#pragma once
// A folder the engine can start in: its "pack.list" names only the sample
// textures pack, which brings the shader library that bringing the GPU up
// loads, so the first task finds no code.
#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace zolt::test {

// The built sample textures pack: the engine cannot bring the GPU up without
// the shader library it holds.
inline const std::string sample_textures_pack = std::string(ZOLT_CONTENT_PATH) + "/textures.pack";

inline void copy_sample_textures_pack(const std::string& folder) {
    std::error_code error;
    std::filesystem::copy_file(sample_textures_pack, folder + "/textures.pack", error);
    if (error) {
        std::abort();
    }
}

inline std::vector<uint8_t> read_sample_textures_pack() {
    std::ifstream file(sample_textures_pack, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

inline std::string make_game_folder() {
    char pattern[] = "/tmp/zolt-game-XXXXXX";
    const char* folder = mkdtemp(pattern);
    if (folder == nullptr) {
        std::abort();
    }
    copy_sample_textures_pack(folder);
    std::ofstream(std::string(folder) + "/pack.list") << "textures.pack\n";
    return folder;
}

inline void enter_game_folder() {
    if (chdir(make_game_folder().c_str()) != 0) {
        std::abort();
    }
}

}  // namespace zolt::test
