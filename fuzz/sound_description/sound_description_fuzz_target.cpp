// The content builder's sound description reader on any text: it answers,
// never crashes, and every bank it builds passes the engine's own check. The
// files it names do not exist, so only descriptions without waves build; the
// seeds still reach every key. A refusal names the description.
#include <cstdint>
#include <string>

#include "support/fuzz_entry.h"
#include "zcontent/lib/sound_description.h"
#include "zolt/sound/resources/sound_bank_format.h"

namespace {

namespace fuzz = zolt::fuzz;
using namespace zolt;

constexpr const char* description_path = "/nonexistent/fuzz/sounds.json";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 16) {
        return 0;
    }
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<tools::SoundResource> banks;
    std::string error;
    if (tools::compile_sound_description(text, description_path, &banks, &error)) {
        for (const tools::SoundResource& bank : banks) {
            if ((bank.id & 0xFFFFF000) == sound::sound_bank_resource_base) {
                fuzz::expect(sound::check_sound_bank(bank.id, bank.data.data(), static_cast<uint32_t>(bank.data.size()),
                                                     nullptr),
                             "a built sound bank fails the engine's check");
            }
        }
    } else {
        fuzz::expect(error.find(description_path) == 0, "a refusal does not name the description");
    }
    return 0;
}
