#pragma once
// What the start-up checks found missing, in three words: the installation,
// the input and sound libraries (DirectX in the messages' words), and OpenGL.
// A word that is not 0 ends the launcher with its message and exit code.
#include <cstdint>

namespace zolt::launcher {

struct InstallationFlags {
    uint32_t installation = 0;
    uint32_t directx = 0;
    uint32_t opengl = 0;
};

namespace installation_flag {
constexpr uint32_t game_program_missing = 0x04;
constexpr uint32_t documents_unknown = 0x08;
constexpr uint32_t crash_report_library = 0x10;
constexpr uint32_t physics_libraries = 0x20;
constexpr uint32_t online_library = 0x40;
}  // namespace installation_flag

namespace directx_flag {
constexpr uint32_t input_library = 0x01;
constexpr uint32_t sound_library = 0x02;
}  // namespace directx_flag

namespace opengl_flag {
constexpr uint32_t opengl_library = 0x01;
}  // namespace opengl_flag

}  // namespace zolt::launcher
