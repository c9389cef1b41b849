#pragma once
// A folder the engine can start in: it holds an empty "pack.list", so the
// resource loader opens no pack and the first task finds no code.
#include <unistd.h>
#include <cstdlib>
#include <fstream>
#include <string>

namespace zolt::test {

inline std::string make_game_folder() {
    char pattern[] = "/tmp/zolt-game-XXXXXX";
    const char* folder = mkdtemp(pattern);
    if (folder == nullptr) {
        std::abort();
    }
    std::ofstream(std::string(folder) + "/pack.list") << "\n";
    return folder;
}

inline void enter_game_folder() {
    if (chdir(make_game_folder().c_str()) != 0) {
        std::abort();
    }
}

}  // namespace zolt::test
