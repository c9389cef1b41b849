// Pack headers, data blocks, directories and entries as the loader checks
// them, and "pack.list" as the loader splits it. Every input is checked as
// it comes and again sealed by the pack writer (its three CRCs made right),
// so the checks behind them are reached too. An intact pack must keep every
// entry's stored bytes inside the file; those that unpack are unpacked as
// the loader does.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "libs/io/pack_format.h"
#include "libs/io/pack_list.h"
#include "libs/io/resource_unpacker.h"
#include "libs/utility/crc32.h"
#include "support/fuzz_entry.h"
#include "zpack/lib/pack_writer.h"

namespace {

using namespace zolt;

// Larger resources are only checked, not unpacked: the fuzzer's memory is
// not what this target is about.
constexpr uint32_t unpacked_size_limit = 1 << 20;

void unpack_entries(const std::vector<uint8_t>& pack) {
    const io::PackDataBlock data_block = io::read_pack_data_block(pack.data() + io::pack_data_block_offset);
    for (uint32_t index = 0; index < data_block.entry_count; ++index) {
        const core::ResourceEntry entry =
            io::read_resource_entry(pack.data() + data_block.directory_offset + index * io::resource_entry_size);
        fuzz::expect(entry.stored_size <= entry.unpacked_size, "an intact pack stores more than it unpacks");
        fuzz::expect(uint64_t{entry.offset} + entry.stored_size <= pack.size(),
                     "an intact pack stores bytes outside it");
        if (compute_crc32(pack.data() + entry.offset, entry.stored_size) != entry.stored_crc ||
            entry.stored_size == entry.unpacked_size || entry.unpacked_size > unpacked_size_limit) {
            continue;
        }
        std::vector<uint8_t> block(entry.unpacked_size);
        std::memcpy(block.data() + entry.unpacked_size - entry.stored_size, pack.data() + entry.offset,
                    entry.stored_size);
        unpack_resource_in_place(block.data(), entry.unpacked_size, entry.stored_size);
    }
}

void verify(const std::vector<uint8_t>& pack) {
    const io::PackCheckResult result = io::verify_pack(pack.data(), pack.size());
    char message[512];
    io::describe_pack_check(result, "fuzz.pack", 0, message, sizeof message);
    fuzz::expect(std::strlen(message) < sizeof message, "a pack message ran past its buffer");
    if (result.check == io::PackCheck::intact) {
        fuzz::expect(pack.size() >= io::pack_data_block_offset + io::pack_data_block_size,
                     "an intact pack is too short");
        unpack_entries(pack);
    }
}

void split_pack_list(const uint8_t* data, size_t size) {
    const size_t length = size < io::pack_list_capacity - 1 ? size : io::pack_list_capacity - 1;
    std::vector<char> text(data, data + length);
    text.push_back('\0');
    const auto list = std::make_unique<io::PackList>();
    io::parse_pack_list(text.data(), list.get());
    fuzz::expect(list->count <= io::max_pack_count, "a pack list holds too many names");
    for (uint32_t index = 0; index < list->count; ++index) {
        const char* const name = list->names[index];
        fuzz::expect(name >= text.data() && name < text.data() + text.size(), "a pack name lies outside its text");
        fuzz::expect(*name != '\0' && std::strpbrk(name, " \t\r\n") == nullptr,
                     "a pack name is empty or holds a separator");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 20) {
        return 0;
    }
    std::vector<uint8_t> pack(data, data + size);
    verify(pack);
    tools::seal_pack(&pack);
    verify(pack);
    split_pack_list(data, size);
    return 0;
}
