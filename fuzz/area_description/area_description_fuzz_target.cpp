// The content builder's area description reader on any text: it answers,
// never crashes, and every area it builds passes the engine's own checks
// of the layout and the partition. A refusal names the description.
#include <cstdint>
#include <string>

#include "support/fuzz_entry.h"
#include "zcontent/lib/area_description.h"
#include "zolt/navigation/area_data.h"

namespace {

namespace fuzz = zolt::fuzz;
using namespace zolt;

constexpr const char* description_path = "/nonexistent/fuzz/areas.json";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 16) {
        return 0;
    }
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<tools::AreaResource> resources;
    std::string error;
    if (!tools::compile_area_description(text, description_path, &resources, &error)) {
        fuzz::expect(error.find(description_path) == 0, "a refusal does not name the description");
        return 0;
    }
    fuzz::expect(resources.size() % 2 == 0, "an area lacks one of its two resources");
    for (size_t index = 0; index + 1 < resources.size(); index += 2) {
        const uint32_t number = (resources[index].id & 0xFFFF) / 2;
        const auto& layout = resources[index].data;
        const auto& partition = resources[index + 1].data;
        fuzz::expect(resources[index].id == servers::get_area_layout_id(number) &&
                         resources[index + 1].id == servers::get_area_partition_id(number),
                     "an area's resources are not its layout and partition");
        fuzz::expect(servers::check_area_layout(number, layout.data(), static_cast<uint32_t>(layout.size()), nullptr),
                     "a built layout fails the engine's check");
        fuzz::expect(servers::check_area_partition(number, partition.data(), static_cast<uint32_t>(partition.size()),
                                                   servers::read_area_word(layout.data(), 4), nullptr),
                     "a built partition fails the engine's check");
    }
    return 0;
}
