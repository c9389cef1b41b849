// The save file reader: the input is written as a save file and loaded over
// the running world (the fuzz world and storage objects) through the save
// manager. A save it accepts must save,
// load again and save to the same bytes; a save it refuses must leave the
// running world exactly as it was. Neither may end in a fatal report.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "libs/utility/crc32.h"
#include "support/fuzz_entry.h"
#include "support/fuzz_world.h"
#include "zolt/core/script_objects/storage_server.h"
#include "zolt/storage/save_file_layout.h"
#include "zolt/storage/save_manager.h"

namespace {

using namespace zolt;

constexpr uint32_t save_id = 0x00010001;

// Kept for the whole run, so the input costs no allocation of its own.
std::vector<uint8_t> before;
std::vector<uint8_t> first_save;
std::vector<uint8_t> second_save;
std::vector<uint8_t> file_bytes;
std::string save_path;

// The fuzz world with the storage server after it, whose chains a save may
// loop; and the save folder.
void start_save_folder() {
    if (!save_path.empty()) {
        return;
    }
    core::storage_server.register_server();
    char pattern[] = "/tmp/zolt-fuzz-saves-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        fuzz::fail_harness("no folder for the save file");
    }
    storage::save_manager.set_save_folder(pattern);
    save_path = std::string(pattern) + "/s00100001.zsv";
}

// The reserved area is never read, so its first byte chooses: odd makes the
// stream's CRC right, so that the header and the world are parsed, not only
// the checksum.
void write_input(const uint8_t* data, size_t size) {
    file_bytes.assign(data, data + size);
    if (size >= storage::save_stream_offset + 4 && (data[0] & 1) != 0) {
        const uint32_t crc =
            compute_crc32(file_bytes.data() + storage::save_stream_offset, size - storage::save_stream_offset - 4);
        std::memcpy(file_bytes.data() + size - 4, &crc, 4);
    }
    std::FILE* const file = std::fopen(save_path.c_str(), "wb");
    if (file == nullptr || (size != 0 && std::fwrite(file_bytes.data(), 1, size, file) != size) ||
        std::fclose(file) != 0) {
        fuzz::fail_harness("the save file could not be written");
    }
}

void load_input() {
    fuzz::save_fuzz_world(before);
    if (!storage::save_manager.load_game(save_id)) {
        fuzz::save_fuzz_world(first_save);
        fuzz::expect(first_save == before, "a refused save changed the running world");
        return;
    }
    fuzz::save_fuzz_world(first_save);
    if (!fuzz::load_fuzz_world(first_save)) {
        fuzz::fail_harness("a loaded world saved to bytes that were refused");
    }
    fuzz::save_fuzz_world(second_save);
    fuzz::expect(second_save == first_save, "a loaded world saved, loaded and saved to other bytes");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A little more than the largest save that loads.
    if (size > storage::save_stream_offset + storage::save_stream_capacity + 16) {
        return 0;
    }
    fuzz::start_fuzz_world();
    start_save_folder();
    write_input(data, size);
    if (!fuzz::run_until_fatal_report([] { load_input(); })) {
        fuzz::fail_harness("a save file ended in a fatal report");
    }
    return 0;
}
