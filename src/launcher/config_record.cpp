#include "launcher/config_record.h"

#include <strings.h>
#include <cinttypes>
#include <cstdio>

namespace zolt::launcher {
namespace {

// Found while parsing one text.
namespace found {
constexpr uint32_t window_width = 0x01;
constexpr uint32_t window_height = 0x02;
constexpr uint32_t use_fullscreen = 0x04;
constexpr uint32_t fullscreen_refresh_rate = 0x08;
constexpr uint32_t xaudio_device_name = 0x10;
constexpr uint32_t save_path = 0x20;         // equal to the launcher's
constexpr uint32_t default_language = 0x40;  // equal to the launcher's
constexpr uint32_t display = window_width | window_height | use_fullscreen | fullscreen_refresh_rate;
}  // namespace found

constexpr uint32_t shortest_setting_line = 4;

std::string_view trim_blanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

// One leading and then one trailing double quote go.
std::string_view unquote(std::string_view text) {
    if (!text.empty() && text.front() == '"') {
        text.remove_prefix(1);
        if (!text.empty() && text.back() == '"') {
            text.remove_suffix(1);
        }
    }
    return text;
}

bool equals_ignoring_case(std::string_view left, std::string_view right) {
    return left.size() == right.size() && strncasecmp(left.data(), right.data(), left.size()) == 0;
}

// Unsigned decimal to the end of the text; a minus sign wraps and a number
// too large saturates, as the system's own parse does.
std::optional<uint32_t> parse_number(std::string_view text) {
    bool is_negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        is_negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (const char character : text) {
        if (character < '0' || character > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<uint64_t>(character - '0');
        if (value > UINT32_MAX) {
            return UINT32_MAX;
        }
    }
    const uint32_t number = static_cast<uint32_t>(value);
    return is_negative ? static_cast<uint32_t>(0u - number) : number;
}

struct ParseState {
    ConfigRecord& record;
    const ConfigMachine& machine;
    uint32_t found_bits = 0;
};

// False when the key is not one of the launcher's.
bool apply_config_key(ParseState& state, std::string_view key, std::string_view value) {
    ConfigRecord& record = state.record;
    struct NumberKey {
        const char* name;
        uint32_t found_bit;
    };
    static constexpr NumberKey number_keys[] = {
        {"window_width", found::window_width},         {"window_height", found::window_height},
        {"use_fullscreen", found::use_fullscreen},     {"fullscreen_refresh_rate", found::fullscreen_refresh_rate},
        {"default_language", found::default_language},
    };
    if (equals_ignoring_case(key, "save_path")) {
        if (!value.empty() && equals_ignoring_case(value, state.machine.save_folder)) {
            state.found_bits |= found::save_path;
        }
        return true;
    }
    if (equals_ignoring_case(key, "xaudio_device_name")) {
        if (!value.empty()) {
            record.xaudio_device_name = std::string(value);
            state.found_bits |= found::xaudio_device_name;
        }
        return true;
    }
    for (const NumberKey& number_key : number_keys) {
        if (!equals_ignoring_case(key, number_key.name)) {
            continue;
        }
        const std::optional<uint32_t> number = parse_number(value);
        if (!number) {
            return true;
        }
        switch (number_key.found_bit) {
        case found::window_width:
            record.window_width = *number;
            break;
        case found::window_height:
            record.window_height = *number;
            break;
        case found::use_fullscreen:
            record.use_fullscreen = *number != 0;
            break;
        case found::fullscreen_refresh_rate:
            record.fullscreen_refresh_rate = *number;
            break;
        case found::default_language:
            if (*number != state.machine.language_number) {
                return true;
            }
            break;
        default:
            break;
        }
        state.found_bits |= number_key.found_bit;
        return true;
    }
    return false;
}

bool parse_config_line(ParseState& state, std::string_view line) {
    line = trim_blanks(line);
    if (line.empty() || line.front() == '#') {
        return true;
    }
    if (line.size() < shortest_setting_line) {
        return false;
    }
    if (line.back() == ';') {
        line.remove_suffix(1);
    }
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
        return false;
    }
    const std::string_view written_key = trim_blanks(line.substr(0, equals));
    const std::string_view written_value = trim_blanks(line.substr(equals + 1));
    const std::string_view key = unquote(written_key);
    if (key.empty()) {
        return false;
    }
    // The game program writes an empty text as "": such a value is kept
    // rather than making the whole file invalid.
    const std::string_view value = unquote(written_value);
    if (written_value.empty()) {
        return false;
    }
    if (!apply_config_key(state, key, value)) {
        state.record.unknown_pairs.push_back({std::string(key), std::string(written_key), std::string(written_value)});
    }
    return true;
}

void validate_config(ParseState& state) {
    ConfigRecord& record = state.record;
    const ConfigMachine& machine = state.machine;
    const bool display_usable = (state.found_bits & found::display) == found::display && machine.is_video_mode_usable &&
                                machine.is_video_mode_usable(record.window_width, record.window_height,
                                                             record.use_fullscreen, record.fullscreen_refresh_rate);
    if (!display_usable) {
        record.status |= config_status::video_invalid;
        record.window_width = 800;
        record.window_height = 600;
        record.use_fullscreen = true;
        record.fullscreen_refresh_rate = 0;
    }
    if (record.xaudio_device_name) {
        bool is_listed = false;
        for (const std::string& id : machine.sound_device_ids) {
            is_listed = is_listed || id == *record.xaudio_device_name;
        }
        if (!is_listed) {
            record.status |= config_status::sound_invalid;
            record.xaudio_device_name.reset();
        }
    }
    if (!record.xaudio_device_name && !machine.sound_device_ids.empty()) {
        record.xaudio_device_name = machine.sound_device_ids.front();
    }
    if ((state.found_bits & (found::save_path | found::default_language)) !=
        (found::save_path | found::default_language)) {
        record.status |= config_status::needs_rewrite;
    }
}

void append_number_line(std::string& text, const char* key, uint32_t value) {
    char line[96];
    std::snprintf(line, sizeof line, "%s = %" PRIu32 " ;\r\n", key, value);
    text += line;
}

void append_string_line(std::string& text, const char* key, const std::string& value) {
    text += key;
    text += " = \"";
    text += value;
    text += "\" ;\r\n";
}

}  // namespace

void ConfigRecord::reset() {
    unknown_pairs.clear();
    window_width = 800;
    window_height = 600;
    fullscreen_refresh_rate = 0;
    use_fullscreen = true;
    xaudio_device_name.reset();
}

bool parse_config(ConfigRecord& record, const ConfigMachine& machine, std::string_view text) {
    ParseState state{record, machine};
    record.reset();
    // Lines end at a line feed, which goes with the carriage returns before
    // it; a last line without one is taken as it stands.
    while (!text.empty()) {
        const size_t line_feed = text.find('\n');
        std::string_view line = text.substr(0, line_feed);
        if (line_feed == std::string_view::npos) {
            text = {};
        } else {
            text.remove_prefix(line_feed + 1);
            while (!line.empty() && line.back() == '\r') {
                line.remove_suffix(1);
            }
        }
        if (!parse_config_line(state, line)) {
            return false;
        }
    }
    validate_config(state);
    return true;
}

std::string write_config_text(const ConfigRecord& record, const ConfigMachine& machine) {
    std::string text;
    for (const ConfigPair& pair : record.unknown_pairs) {
        text += pair.written_key;
        text += " = ";
        text += pair.written_value;
        text += " ;\r\n";
    }
    append_string_line(text, "save_path", machine.save_folder);
    append_string_line(text, "xaudio_device_name", record.xaudio_device_name.value_or("default"));
    append_number_line(text, "window_width", record.window_width);
    append_number_line(text, "window_height", record.window_height);
    append_number_line(text, "use_fullscreen", record.use_fullscreen ? 1 : 0);
    append_number_line(text, "fullscreen_refresh_rate", record.fullscreen_refresh_rate);
    append_number_line(text, "default_language", machine.language_number);
    return text;
}

const std::string_view default_config_text =
    "xaudio_device_name = \"default\" ;\r\n"
    "window_width = 800 ;\r\n"
    "window_height = 600 ;\r\n"
    "use_fullscreen = 1 ;\r\n"
    "shadowmaps_enabled = 0 ;\r\n"
    "\r\n"
    "\r\n";

}  // namespace zolt::launcher
