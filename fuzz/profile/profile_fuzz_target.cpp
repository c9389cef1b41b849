// The player profile reader: the input is the stored "profile.zpr". A profile
// it takes fills the array with exactly its data words; any other answer
// leaves the array as it was. Never a fatal report.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "support/fuzz_entry.h"
#include "support/fuzz_world.h"
#include "zolt/core/script_objects/array_server.h"
#include "zolt/storage/player_profile.h"
#include "zolt/storage/remote_storage.h"

namespace {

using namespace zolt;

std::string profile_path;
core::ObjectHandle array_handle = 0;
const uint8_t* input = nullptr;
size_t input_size = 0;

void start_store() {
    if (!profile_path.empty()) {
        return;
    }
    char pattern[] = "/tmp/zolt-fuzz-profile-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        fuzz::fail_harness("no folder for the profile");
    }
    storage::get_folder_remote_storage().set_folder(pattern);
    storage::set_remote_storage(&storage::get_folder_remote_storage());
    profile_path = std::string(pattern) + "/" + storage::profile_file_name;
}

void load_input() {
    core::ArrayObject* array = array_handle != 0 ? core::array_server.get_typed_object(array_handle) : nullptr;
    if (array == nullptr) {
        array = core::array_server.create_array(2);
        array_handle = array->get_handle();
    }
    array->set_length(0);
    array->append_element(0x11111111);
    array->append_element(0x22222222);
    const int32_t answer = storage::load_from_profile(array_handle);
    array = core::array_server.get_typed_object(array_handle);
    if (answer == 1) {
        fuzz::expect(input_size >= 4 && array->get_length() == (input_size - 4) / 4,
                     "a profile filled the array with another length");
        fuzz::expect(
            array->get_length() == 0 || std::memcmp(array->get_elements(), input + 4, array->get_length() * 4) == 0,
            "a profile filled the array with other words");
        return;
    }
    fuzz::expect(answer == 0 || answer == -1, "the profile load answered something else");
    fuzz::expect(
        array->get_length() == 2 && array->get_elements()[0] == 0x11111111 && array->get_elements()[1] == 0x22222222,
        "a refused profile changed the array");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) {
        return 0;
    }
    fuzz::start_fuzz_world();
    start_store();
    std::FILE* const file = std::fopen(profile_path.c_str(), "wb");
    if (file == nullptr || (size != 0 && std::fwrite(data, 1, size, file) != size) || std::fclose(file) != 0) {
        fuzz::fail_harness("the profile could not be written");
    }
    input = data;
    input_size = size;
    if (!fuzz::run_until_fatal_report([] { load_input(); })) {
        fuzz::fail_harness("a profile ended in a fatal report");
    }
    return 0;
}
