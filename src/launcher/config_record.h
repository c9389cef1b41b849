#pragma once
// The launcher's copy of the shared configuration file. It owns seven keys
// (display mode, sound device, save folder, language) and keeps every other
// pair as the file had it, so that what the game program wrote comes back
// unchanged. One setting a line: key, "=", value, optional ";"; key and value
// may be double-quoted; "#" starts a comment line.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zolt::launcher {

// What was wrong with the last file read.
namespace config_status {
constexpr uint32_t no_usable_file = 0x01;  // missing or unreadable: first run
constexpr uint32_t video_invalid = 0x02;
constexpr uint32_t sound_invalid = 0x04;
constexpr uint32_t invalid_entries = 0x08;
constexpr uint32_t needs_rewrite = 0x10;  // save folder or language differ or are missing
}  // namespace config_status

// The game program reads files below 64 KB; the launcher takes the same.
constexpr uint32_t config_file_size_limit = 65535;

struct ConfigPair {
    std::string key;  // unquoted
    // Key and value as they stood in the file, quotes included, so that they
    // are written back in the form the game program reads.
    std::string written_key;
    std::string written_value;
};

struct ConfigRecord {
    std::vector<ConfigPair> unknown_pairs;
    uint32_t status = 0;
    uint32_t window_width = 800;
    uint32_t window_height = 600;
    uint32_t fullscreen_refresh_rate = 0;
    bool use_fullscreen = true;
    std::optional<std::string> xaudio_device_name;

    // The defaults; the status is kept.
    void reset();
};

// What the file is checked against.
struct ConfigMachine {
    std::string save_folder;
    uint32_t language_number = 1;
    // Whether the display can show that mode (full screen or windowed).
    std::function<bool(uint32_t width, uint32_t height, bool full_screen, uint32_t refresh_rate)> is_video_mode_usable;
    // The sound devices' ids; the first is the default entry's.
    std::vector<std::string> sound_device_ids;
};

// Replaces the record with the text's settings and checks them, adding status
// bits; false, with the record holding what came before the first invalid
// line, when a line is invalid.
bool parse_config(ConfigRecord& record, const ConfigMachine& machine, std::string_view text);

// The file's text: the kept pairs first, then the launcher's seven keys.
std::string write_config_text(const ConfigRecord& record, const ConfigMachine& machine);

// The text the defaults come from: it names the display mode without its
// refresh rate, so it always reads as invalid video.
extern const std::string_view default_config_text;

}  // namespace zolt::launcher
