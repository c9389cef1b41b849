// The launcher's reading of the configuration file. Any text parses without
// harm, and a text that parses writes out a text that parses back to the same
// written text, so the pairs the launcher keeps come back as they were.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "launcher/config_record.h"

namespace {

using namespace zolt::launcher;

void expect(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "%s\n", what);
        std::abort();
    }
}

ConfigMachine make_machine() {
    ConfigMachine machine;
    machine.save_folder = "/home/player/Documents/Harlune/Quorvane/Saves";
    machine.language_number = 1;
    machine.is_video_mode_usable = [](uint32_t width, uint32_t height, bool, uint32_t) {
        return width >= 640 && height >= 480;
    };
    machine.sound_device_ids = {"default", "none"};
    return machine;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > config_file_size_limit) {
        return 0;
    }
    static const ConfigMachine machine = make_machine();
    ConfigRecord record;
    if (!parse_config(record, machine, std::string_view(reinterpret_cast<const char*>(data), size))) {
        return 0;
    }
    const std::string written = write_config_text(record, machine);
    ConfigRecord again;
    expect(parse_config(again, machine, written), "written configuration text does not parse");
    expect(write_config_text(again, machine) == written, "written configuration text reads back to other text");
    return 0;
}
