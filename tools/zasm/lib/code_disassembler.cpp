#include "code_disassembler.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>

#include "libs/io/pack_format.h"
#include "libs/io/resource_unpacker.h"
#include "libs/utility/crc32.h"
#include "text_literal.h"
#include "zolt/builtins/builtin_list.h"
#include "zolt/core/script/code_resource_format.h"
#include "zolt/core/script/opcode_table.h"

namespace zolt::tools {
namespace {

using core::OperandKind;

constexpr uint32_t bytes_per_line = 8;
constexpr uint32_t words_per_line = 4;

enum class Role : uint8_t { data, instruction, inside_instruction };

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* pattern, ...) {
    char buffer[160];
    va_list arguments;
    va_start(arguments, pattern);
    std::vsnprintf(buffer, sizeof buffer, pattern, arguments);
    va_end(arguments);
    return buffer;
}

uint32_t read_word(const uint8_t* bytes) {
    uint32_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

std::string format_number(uint32_t word) {
    const auto value = static_cast<int32_t>(word);
    if (word <= 0xFFFF) {
        return format("%" PRIu32, word);
    }
    if (value < 0 && value >= -0xFFFF) {
        return format("%" PRId32, value);
    }
    return format("0x%08" PRIX32, word);
}

std::string format_reference(uint32_t reference) {
    const uint32_t chain_index = core::get_code_chain_index(reference);
    const uint32_t key = core::get_code_key(reference);
    const uint32_t entry_index = core::get_code_entry_index(reference);
    if (chain_index == core::builtin_chain_index && key == 0) {
        // Ids outside the table keep their number, so the round trip is exact.
        if (const core::BuiltinRow* const row = core::find_builtin_row(entry_index)) {
            return format("builtin(%.*s)", static_cast<int>(row->name.size()), row->name.data());
        }
        return format("builtin(%" PRIu32 ")", entry_index);
    }
    return format("code(%" PRIu32 ", %" PRIu32 ", %" PRIu32 ")", chain_index, key, entry_index);
}

class Disassembler {
public:
    Disassembler(const uint8_t* code, uint32_t code_size) : code_(code), size_(code_size), roles_(code_size) {}

    void follow(const std::vector<uint32_t>& entries) {
        // Entry 0 first: the earlier entry decides where two paths overlap.
        std::vector<uint32_t> pending;
        for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
            if (*entry < size_) {
                pending.push_back(*entry);
            }
        }
        while (!pending.empty()) {
            uint32_t offset = pending.back();
            pending.pop_back();
            while (offset < size_ && roles_[offset] == Role::data) {
                uint32_t end = 0;
                if (!decode(offset, &end)) {
                    break;
                }
                mark(offset, end);
                const core::OpcodeInfo& info = core::opcode_table[code_[offset]];
                if ((info.flags & core::opcode_flag::code_offset) != 0) {
                    const uint32_t target = read_word(code_ + core::get_operand_word_offset(offset));
                    targets_.push_back(target);
                    pending.push_back(target);
                }
                if ((info.flags & core::opcode_flag::ends_flow) != 0) {
                    break;
                }
                offset = end;
            }
        }
    }

    // Entries first, so an entry's label takes its index.
    void name_labels(const std::vector<uint32_t>& entries) {
        for (uint32_t index = 0; index < entries.size(); ++index) {
            if (is_boundary(entries[index])) {
                labels_.emplace(entries[index], format("entry%" PRIu32, index));
            }
        }
        for (const uint32_t target : targets_) {
            if (is_boundary(target)) {
                labels_.emplace(target, format("L_%04" PRIX32, target));
            }
        }
    }

    std::string get_entry_text(uint32_t entry) const {
        const auto label = labels_.find(entry);
        return label != labels_.end() ? label->second : format("0x%08" PRIX32, entry);
    }

    void write(std::string* text) const {
        uint32_t offset = 0;
        while (offset < size_) {
            write_label(offset, text);
            if (roles_[offset] == Role::instruction) {
                offset = write_instruction(offset, text);
                continue;
            }
            uint32_t end = offset + 1;
            while (end < size_ && roles_[end] == Role::data && labels_.count(end) == 0) {
                ++end;
            }
            write_data(offset, end, text);
            offset = end;
        }
        write_label(size_, text);
    }

private:
    bool is_boundary(uint32_t offset) const {
        return offset == size_ || (offset < size_ && roles_[offset] != Role::inside_instruction);
    }

    // Only what the assembler writes back the same: a known opcode whose
    // operand lies inside the code, with zero alignment padding, over bytes
    // not already taken by another instruction.
    bool decode(uint32_t offset, uint32_t* end) const {
        if (!core::find_next_instruction(code_, size_, offset, end)) {
            return false;
        }
        const OperandKind kind = core::opcode_table[code_[offset]].operand;
        if (kind != OperandKind::none && kind != OperandKind::byte && kind != OperandKind::signed_byte) {
            for (uint32_t padding = offset + 1; padding < core::get_operand_word_offset(offset); ++padding) {
                if (code_[padding] != 0) {
                    return false;
                }
            }
        }
        for (uint32_t byte = offset; byte < *end; ++byte) {
            if (roles_[byte] != Role::data) {
                return false;
            }
        }
        return true;
    }

    void mark(uint32_t offset, uint32_t end) {
        roles_[offset] = Role::instruction;
        for (uint32_t byte = offset + 1; byte < end; ++byte) {
            roles_[byte] = Role::inside_instruction;
        }
    }

    void write_label(uint32_t offset, std::string* text) const {
        const auto label = labels_.find(offset);
        if (label != labels_.end()) {
            *text += label->second + ":\n";
        }
    }

    uint32_t write_instruction(uint32_t offset, std::string* text) const {
        const core::OpcodeInfo& info = core::opcode_table[code_[offset]];
        uint32_t end = 0;
        core::find_next_instruction(code_, size_, offset, &end);
        *text += "    ";
        *text += info.name;
        const uint32_t word_offset = core::get_operand_word_offset(offset);
        switch (info.operand) {
        case OperandKind::none:
            break;
        case OperandKind::byte:
            *text += format(" %u", code_[offset + 1]);
            break;
        case OperandKind::signed_byte:
            *text += format(" %d", static_cast<int8_t>(code_[offset + 1]));
            break;
        case OperandKind::text: {
            const uint32_t count = read_word(code_ + word_offset);
            std::vector<char16_t> units(count);
            for (uint32_t index = 0; index < count; ++index) {
                uint16_t unit;
                std::memcpy(&unit, code_ + word_offset + 4 + 2 * index, sizeof unit);
                units[index] = static_cast<char16_t>(unit);
            }
            *text += " " + format_text_literal(units.data(), units.size());
            break;
        }
        default:
            for (uint32_t index = 0; index < core::get_operand_word_count(info.operand); ++index) {
                const uint32_t word = read_word(code_ + word_offset + 4 * index);
                *text += index == 0 ? " " : ", ";
                *text += format_operand_word(info, word);
            }
        }
        *text += '\n';
        return end;
    }

    std::string format_operand_word(const core::OpcodeInfo& info, uint32_t word) const {
        if ((info.flags & core::opcode_flag::code_offset) != 0) {
            const auto label = labels_.find(word);
            return label != labels_.end() ? label->second : format("0x%08" PRIX32, word);
        }
        if ((info.flags & core::opcode_flag::code_reference) != 0) {
            return format_reference(word);
        }
        return format_number(word);
    }

    // Bytes up to a word boundary, whole words, then the bytes left.
    void write_data(uint32_t offset, uint32_t end, std::string* text) const {
        while (offset < end) {
            const uint32_t aligned = core::align_code_offset(offset);
            if (offset % 4 == 0 && offset + 4 <= end) {
                *text += "    .word ";
                for (uint32_t count = 0; count < words_per_line && offset + 4 <= end; ++count, offset += 4) {
                    *text += (count == 0 ? "" : ", ") + format("0x%08" PRIX32, read_word(code_ + offset));
                }
            } else {
                const uint32_t stop = offset % 4 != 0 && aligned < end ? aligned : end;
                *text += "    .byte ";
                for (uint32_t count = 0; count < bytes_per_line && offset < stop; ++count, ++offset) {
                    *text += (count == 0 ? "" : ", ") + format("0x%02X", code_[offset]);
                }
            }
            *text += '\n';
        }
    }

    const uint8_t* code_;
    uint32_t size_;
    std::vector<Role> roles_;
    std::vector<uint32_t> targets_;
    std::map<uint32_t, std::string> labels_;
};

std::string format_code_directive(uint32_t resource_id, uint32_t chain_index, uint32_t key) {
    std::string line = format(".code %" PRIu32 " %" PRIu32, chain_index, key);
    const uint32_t language = io::get_resource_language(resource_id);
    if (resource_id != core::make_code_resource_id(chain_index, key, language)) {
        line += format(" id 0x%08" PRIX32, resource_id);
    } else if (language != 0) {
        line += format(" language %" PRIu32, language);
    }
    return line + "\n";
}

}  // namespace

bool disassemble_code(uint32_t resource_id, const uint8_t* bytes, uint32_t size, std::string* text,
                      std::string* error) {
    const core::CodeResourceCheckResult check = core::check_code_resource(bytes, size);
    if (check.check != core::CodeResourceCheck::intact) {
        char message[256];
        core::describe_code_resource_check(check, resource_id, message, sizeof message);
        *error = message;
        return false;
    }
    const core::CodeResourceHeader& header = check.header;
    if ((header.identity & core::max_entry_index) != 0 ||
        header.entry_table_offset != core::code_resource_header_size ||
        uint64_t{header.code_offset} != core::code_resource_header_size + uint64_t{header.entry_count} * 4 ||
        header.code_end_offset != size) {
        *error = format("code resource 0x%08" PRIX32 " is not laid out as the assembler writes code", resource_id);
        return false;
    }
    std::vector<uint32_t> entries(header.entry_count);
    for (uint32_t index = 0; index < header.entry_count; ++index) {
        entries[index] = core::read_code_entry(bytes + header.entry_table_offset, index);
    }
    const uint32_t chain_index = core::get_code_chain_index(header.identity);
    const uint32_t key = core::get_code_key(header.identity);
    Disassembler disassembler(bytes + header.code_offset, header.code_end_offset - header.code_offset);
    disassembler.follow(entries);
    disassembler.name_labels(entries);

    *text += format("; code resource 0x%08" PRIX32 ": %" PRIu32 " entries, %" PRIu32 " code bytes\n", resource_id,
                    header.entry_count, header.code_end_offset - header.code_offset);
    *text += format_code_directive(resource_id, chain_index, key);
    for (const uint32_t entry : entries) {
        *text += ".entry " + disassembler.get_entry_text(entry) + "\n";
    }
    *text += "\n";
    disassembler.write(text);
    return true;
}

bool read_pack_resources(const std::vector<uint8_t>& pack, std::vector<PackedResource>* resources, std::string* error) {
    const io::PackCheckResult check = io::verify_pack(pack.data(), pack.size());
    if (check.check != io::PackCheck::intact) {
        char message[512];
        io::describe_pack_check(check, "pack", 0, message, sizeof message);
        *error = message;
        return false;
    }
    const io::PackDataBlock data_block = io::read_pack_data_block(pack.data() + io::pack_data_block_offset);
    for (uint32_t index = 0; index < data_block.entry_count; ++index) {
        const core::ResourceEntry entry =
            io::read_resource_entry(pack.data() + data_block.directory_offset + index * io::resource_entry_size);
        const uint8_t* const stored = pack.data() + entry.offset;
        if (compute_crc32(stored, entry.stored_size) != entry.stored_crc) {
            *error = format("resource 0x%08" PRIx32 " stored data CRC does not match", entry.id);
            return false;
        }
        PackedResource resource;
        resource.id = entry.id;
        if (entry.stored_size == entry.unpacked_size) {
            resource.bytes.assign(stored, stored + entry.stored_size);
        } else {
            resource.bytes.resize(entry.unpacked_size);
            std::memcpy(resource.bytes.data() + (entry.unpacked_size - entry.stored_size), stored, entry.stored_size);
            if (!unpack_resource_in_place(resource.bytes.data(), entry.unpacked_size, entry.stored_size).is_intact) {
                *error = format("resource 0x%08" PRIx32 " does not unpack to its CRC", entry.id);
                return false;
            }
        }
        resources->push_back(std::move(resource));
    }
    return true;
}

bool disassemble_pack(const std::vector<uint8_t>& pack, std::string* text, std::string* error) {
    std::vector<PackedResource> resources;
    if (!read_pack_resources(pack, &resources, error)) {
        return false;
    }
    for (const PackedResource& resource : resources) {
        std::string reason;
        std::string code_text;
        if (!core::is_code_resource_id(resource.id)) {
            *text += format("; resource 0x%08" PRIX32 " is not a code resource\n\n", resource.id);
        } else if (!disassemble_code(resource.id, resource.bytes.data(), static_cast<uint32_t>(resource.bytes.size()),
                                     &code_text, &reason)) {
            *text += "; " + reason + "\n\n";
        } else {
            *text += code_text + "\n";
        }
    }
    return true;
}

}  // namespace zolt::tools
