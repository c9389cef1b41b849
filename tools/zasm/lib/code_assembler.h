#pragma once
// The assembler: readable source into code resources in the format of
// zolt/core/script/code_resource_format.h, with the opcodes of
// zolt/core/script/opcode_table.h. The source language is described in
// tools/zasm/README.md and by `zasm --help`.
#include <cstdint>
#include <string>
#include <vector>

#include "zpack/lib/pack_writer.h"

namespace zolt::tools {

struct AssembledCode {
    uint32_t resource_id = 0;
    std::vector<uint8_t> bytes;  // the whole code resource
};

// Appends one code resource per .code section of the source. False, with
// one "name:line: message" line per fault, when the source is broken;
// nothing is appended then.
bool assemble_code(const std::string& source, const std::string& source_name, std::vector<AssembledCode>* codes,
                   std::string* error);

// A code resource as a pack holds it: aligned to 8 bytes, loaded with the
// packs of its key, packed when that saves space.
PackResource make_code_pack_resource(const AssembledCode& code);

}  // namespace zolt::tools
