// zasm's text input. Source the assembler takes must give code resources the
// engine accepts, and disassembling each must give source that assembles to
// the same bytes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "zasm/lib/code_assembler.h"
#include "zasm/lib/code_disassembler.h"
#include "zolt/core/script/code_resource_format.h"

namespace {

using namespace zolt;

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void check_round_trip(const tools::AssembledCode& code) {
    const core::CodeResourceCheckResult result =
        core::check_code_resource(code.bytes.data(), static_cast<uint32_t>(code.bytes.size()));
    check(result.check == core::CodeResourceCheck::intact);
    std::string text;
    std::string error;
    check(tools::disassemble_code(code.resource_id, code.bytes.data(), static_cast<uint32_t>(code.bytes.size()),
                                  &text, &error));
    std::vector<tools::AssembledCode> again;
    check(tools::assemble_code(text, "disassembled.zasm", &again, &error));
    check(again.size() == 1 && again[0].resource_id == code.resource_id && again[0].bytes == code.bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 16) {
        return 0;
    }
    const std::string source(reinterpret_cast<const char*>(data), size);
    std::vector<tools::AssembledCode> codes;
    std::string error;
    if (!tools::assemble_code(source, "fuzz.zasm", &codes, &error)) {
        check(codes.empty() && !error.empty());
        return 0;
    }
    for (const tools::AssembledCode& code : codes) {
        check_round_trip(code);
    }
    return 0;
}
