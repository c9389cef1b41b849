// The world load: the servers' load over a load stream holding the input.
// A world the load accepts must save, load again and save to the same bytes.
// Saved data is validated as it is read, so a broken world is refused, never
// halted on: a fatal report is a finding, like a sanitizer's.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "support/fuzz_entry.h"
#include "support/fuzz_world.h"

namespace {

using namespace zolt;

// Kept for the whole run, so the input costs no allocation of its own.
std::vector<uint8_t> input_bytes;
std::vector<uint8_t> first_save;
std::vector<uint8_t> second_save;

void load_input() {
    if (!fuzz::load_fuzz_world(input_bytes)) {
        return;
    }
    fuzz::save_fuzz_world(first_save);
    if (!fuzz::load_fuzz_world(first_save)) {
        fuzz::fail_harness("a saved world was refused");
    }
    fuzz::save_fuzz_world(second_save);
    if (second_save != first_save) {
        fuzz::fail_harness("a saved world loaded and saved to other bytes");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Every free slot and the alias table are saved: a world is a few hundred kilobytes.
    if (size > 1 << 20) {
        return 0;
    }
    fuzz::start_fuzz_world();
    // Exactly sized, so a read past the stream is seen.
    input_bytes.assign(data, data + size);
    input_bytes.shrink_to_fit();
    if (!fuzz::run_until_fatal_report([] { load_input(); })) {
        fuzz::fail_harness("a saved world ended in a fatal report");
    }
    return 0;
}
