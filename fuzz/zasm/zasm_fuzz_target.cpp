// zasm's text input. Source the assembler takes must give code resources the
// engine accepts, and disassembling each must give source that assembles to
// the same bytes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/fuzz_entry.h"
#include "zasm/lib/code_assembler.h"
#include "zasm/lib/code_disassembler.h"
#include "zolt/core/script/code_resource_format.h"

namespace {

using namespace zolt;

void check_round_trip(const tools::AssembledCode& code) {
    const core::CodeResourceCheckResult result =
        core::check_code_resource(code.bytes.data(), static_cast<uint32_t>(code.bytes.size()));
    fuzz::expect(result.check == core::CodeResourceCheck::intact, "assembled code fails the engine's check");
    std::string text;
    std::string error;
    fuzz::expect(tools::disassemble_code(code.resource_id, code.bytes.data(), static_cast<uint32_t>(code.bytes.size()),
                                         &text, &error),
                 "assembled code does not disassemble");
    std::vector<tools::AssembledCode> again;
    fuzz::expect(tools::assemble_code(text, "disassembled.zasm", &again, &error),
                 "disassembled source does not assemble");
    fuzz::expect(again.size() == 1 && again[0].resource_id == code.resource_id && again[0].bytes == code.bytes,
                 "disassembled source assembles to other bytes");
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
        fuzz::expect(codes.empty() && !error.empty(), "refused source gave code or no message");
        return 0;
    }
    for (const tools::AssembledCode& code : codes) {
        check_round_trip(code);
    }
    return 0;
}
