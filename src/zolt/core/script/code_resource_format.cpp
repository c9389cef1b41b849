#include "zolt/core/script/code_resource_format.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace zolt::core {

CodeResourceHeader read_code_resource_header(const void* bytes) {
    CodeResourceHeader header;
    std::memcpy(&header, bytes, sizeof header);
    return header;
}

void write_code_resource_header(const CodeResourceHeader& header, void* bytes) {
    std::memcpy(bytes, &header, sizeof header);
}

uint32_t read_code_entry(const uint8_t* entry_table, uint32_t index) {
    uint32_t entry;
    std::memcpy(&entry, entry_table + size_t{index} * sizeof entry, sizeof entry);
    return entry;
}

CodeResourceCheckResult check_code_resource(const void* bytes, uint32_t size) {
    CodeResourceCheckResult result;
    result.size = size;
    if (size < code_resource_header_size) {
        result.check = CodeResourceCheck::too_short;
        return result;
    }
    const CodeResourceHeader header = read_code_resource_header(bytes);
    result.header = header;
    if (header.constants_version != code_constants_version) {
        result.check = CodeResourceCheck::constants_version;
    } else if (header.instruction_set_version != code_instruction_set_version) {
        result.check = CodeResourceCheck::instruction_set_version;
    } else if (header.builtins_version != code_builtins_version) {
        result.check = CodeResourceCheck::builtins_version;
    } else if (uint64_t{header.entry_table_offset} + uint64_t{header.entry_count} * sizeof(uint32_t) > size) {
        result.check = CodeResourceCheck::entry_table_outside;
    } else if (header.code_end_offset < header.code_offset || header.code_end_offset > size) {
        result.check = CodeResourceCheck::code_outside;
    } else if (header.code_offset % code_alignment != 0) {
        result.check = CodeResourceCheck::code_offset_unaligned;
    }
    return result;
}

namespace {

void describe_version_mismatch(const char* part, uint32_t found, uint32_t resource_id, uint32_t expected, char* buffer,
                               uint32_t capacity) {
    std::snprintf(buffer, capacity,
                  "the version of code object %s 0x%08" PRIx32 " within resource 0x%08" PRIx32
                  " does not match 0x%08" PRIx32 " used by engine",
                  part, found, resource_id, expected);
}

}  // namespace

void describe_code_resource_check(const CodeResourceCheckResult& result, uint32_t resource_id, char* buffer,
                                  uint32_t capacity) {
    const CodeResourceHeader& header = result.header;
    switch (result.check) {
    case CodeResourceCheck::intact:
        std::snprintf(buffer, capacity, "code resource 0x%08" PRIx32 " is intact", resource_id);
        break;
    case CodeResourceCheck::too_short:
        std::snprintf(buffer, capacity,
                      "code resource 0x%08" PRIx32 " has %" PRIu32 " bytes, fewer than its %" PRIu32 "-byte header",
                      resource_id, result.size, code_resource_header_size);
        break;
    case CodeResourceCheck::constants_version:
        describe_version_mismatch("constants", header.constants_version, resource_id, code_constants_version, buffer,
                                  capacity);
        break;
    case CodeResourceCheck::instruction_set_version:
        describe_version_mismatch("instruction set", header.instruction_set_version, resource_id,
                                  code_instruction_set_version, buffer, capacity);
        break;
    case CodeResourceCheck::builtins_version:
        describe_version_mismatch("builtins", header.builtins_version, resource_id, code_builtins_version, buffer,
                                  capacity);
        break;
    case CodeResourceCheck::entry_table_outside:
        std::snprintf(buffer, capacity,
                      "the entry table of code resource 0x%08" PRIx32 " (offset %" PRIu32 ", %" PRIu32
                      " entries) does not fit its %" PRIu32 " bytes",
                      resource_id, header.entry_table_offset, header.entry_count, result.size);
        break;
    case CodeResourceCheck::code_outside:
        std::snprintf(buffer, capacity,
                      "the code of code resource 0x%08" PRIx32 " (offsets %" PRIu32 " to %" PRIu32
                      ") does not fit its %" PRIu32 " bytes",
                      resource_id, header.code_offset, header.code_end_offset, result.size);
        break;
    case CodeResourceCheck::code_offset_unaligned:
        std::snprintf(buffer, capacity,
                      "the code of code resource 0x%08" PRIx32 " starts at offset %" PRIu32 ", not a multiple of 4",
                      resource_id, header.code_offset);
        break;
    }
}

}  // namespace zolt::core
