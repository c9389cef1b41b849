#pragma once
// The resource pack file, one definition for the engine's loader and the pack
// tools. A pack is a 40-byte header, a 16-byte data block at offset 40 and a
// directory of 36-byte entries at the directory offset; every field is a
// little-endian u32, copied in and out with memcpy. The checks answer which
// rule a pack breaks, in the order the loader applies them, with the values
// its fatal message names; halting is the caller's. Any thread may call.
#include <bit>
#include <cstdint>
#include <unordered_map>

namespace zolt::core {

// One directory entry as it lies in the file.
struct ResourceEntry {
    uint32_t id;
    uint32_t reserved[3];
    uint32_t flags;          // resource flags; the loader keeps the low 16 bits
    uint32_t stored_crc;     // CRC-32 of the stored bytes
    uint32_t unpacked_size;  // size in memory
    uint32_t stored_size;    // equal to unpacked_size when stored as is, smaller when packed
    uint32_t offset;         // file offset of the stored bytes
};

}  // namespace zolt::core

namespace zolt::io {

static_assert(std::endian::native == std::endian::little, "pack records are copied as little-endian words");

struct PackHeader {
    uint32_t magic;
    uint32_t endian_marker;
    uint32_t file_type;
    uint32_t version;
    uint32_t reserved[3];
    uint32_t header_crc;  // CRC-32 of the 40 header bytes with this field taken as 0
    uint32_t data_crc;    // CRC-32 of the data block
    uint32_t data_size;
};

struct PackDataBlock {
    uint32_t entry_count;
    uint32_t directory_offset;
    uint32_t directory_crc;  // CRC-32 of entry_count x 36 directory bytes
    uint32_t pack_key;
};

static_assert(sizeof(PackHeader) == 40 && sizeof(PackDataBlock) == 16 && sizeof(core::ResourceEntry) == 36);

constexpr uint32_t pack_magic = 0x544C4F5A;  // "ZOLT"
constexpr uint32_t pack_endian_marker = 0x12345678;
constexpr uint32_t pack_file_type = 0x4B434150;  // "PACK"
constexpr uint32_t pack_engine_version = 0x10200000;
// Only the top 11 bits of a pack's version must match the engine's.
constexpr uint32_t pack_version_mask = 0xFFE00000;

constexpr uint32_t pack_header_size = 40;
constexpr uint32_t pack_data_block_offset = 40;
constexpr uint32_t pack_data_block_size = 16;
constexpr uint32_t resource_entry_size = 36;
constexpr uint32_t header_crc_offset = 28;
// The loader's resource table holds this many records over all packs.
constexpr uint32_t max_resource_count = 10000;

// Resource flags.
constexpr uint32_t resource_alignment_mask = 0x000F;  // memory aligned to 1 << n bytes
constexpr uint32_t resource_pool_type_shift = 4;
constexpr uint32_t resource_pool_type_mask = 0x0030;
constexpr uint32_t pool_type_deferred = 1;               // general pool, loaded only while open
constexpr uint32_t pool_type_second = 3;                 // the second pool
constexpr uint32_t resource_flag_not_reopened = 0x0040;  // not reopened when a saved game is loaded
constexpr uint32_t resource_flag_deferred = 0x0080;      // set by the loader, never stored

constexpr uint32_t make_resource_flags(uint32_t alignment_exponent, uint32_t pool_type, bool is_not_reopened) {
    return (alignment_exponent & resource_alignment_mask) |
           (pool_type << resource_pool_type_shift & resource_pool_type_mask) |
           (is_not_reopened ? resource_flag_not_reopened : 0);
}
constexpr uint32_t get_alignment_exponent(uint32_t flags) {
    return flags & resource_alignment_mask;
}
constexpr uint32_t get_pool_type(uint32_t flags) {
    return (flags & resource_pool_type_mask) >> resource_pool_type_shift;
}

// Resource ids carry a language number in bits 24-27; 0xF stands for the
// current language when an id is looked up.
constexpr uint32_t resource_language_shift = 24;
constexpr uint32_t resource_language_mask = 0x0F000000;
constexpr uint32_t current_language = 0xF;
constexpr uint32_t get_resource_language(uint32_t id) {
    return (id & resource_language_mask) >> resource_language_shift;
}
constexpr uint32_t set_resource_language(uint32_t id, uint32_t language) {
    return (id & ~resource_language_mask) | (language << resource_language_shift & resource_language_mask);
}

// The ids a lookup of id tries, first to last, into ids (max_lookup_ids):
// the id itself and, for an id of the current-language number, that id in
// language, then in languages 0 and 1. any_language stands for every
// language a script may make current. The loader's lookups and the pack
// checks both go through it, so the tools refuse every pack whose ids the
// loader would take for one another.
constexpr uint32_t any_language = 0xFFFFFFFF;
constexpr uint32_t max_lookup_ids = 17;
uint32_t list_lookup_ids(uint32_t id, uint32_t language, uint32_t* ids);

// The loader's two resource pools. A resource takes a block of its unpacked
// size, plus its alignment when that is above 8 bytes, from the pool of its
// pool type; one that needs more than the whole pool can never be loaded.
constexpr uint32_t general_resource_pool_size = 0x12C00000;  // 300 MiB
constexpr uint32_t second_resource_pool_size = 0x5000000;    // 80 MiB
constexpr uint32_t get_resource_pool_size(uint32_t flags) {
    return get_pool_type(flags) == pool_type_second ? second_resource_pool_size : general_resource_pool_size;
}
constexpr uint64_t get_resource_block_size(uint32_t flags, uint32_t unpacked_size) {
    const uint32_t alignment = uint32_t{1} << get_alignment_exponent(flags);
    return uint64_t{unpacked_size} + (alignment > 8 ? alignment : 0);
}

PackHeader read_pack_header(const void* bytes);
void write_pack_header(const PackHeader& header, void* bytes);
PackDataBlock read_pack_data_block(const void* bytes);
void write_pack_data_block(const PackDataBlock& data_block, void* bytes);
core::ResourceEntry read_resource_entry(const void* bytes);
void write_resource_entry(const core::ResourceEntry& entry, void* bytes);

// Over the 40 header bytes with the CRC field taken as 0.
uint32_t compute_pack_header_crc(const void* header_bytes);

enum class PackCheck : uint32_t {
    intact,
    // The loader's read of the header or the data block comes up short: an
    // IO failure with the file input and output exit code.
    file_too_short,
    // Error routine, in the loader's order.
    magic,
    endian_marker,
    file_type,
    version,
    header_crc,
    data_size,
    data_crc,
    too_many_entries,        // more than max_resource_count in one pack
    directory_outside_file,  // offset + entry_count x 36 past the end of the file
    directory_crc,
    stored_size_too_large,  // an entry stores more bytes than it unpacks to
    stored_bytes_outside_file,
    // Panic routine.
    duplicate_id,
    unpacked_size_too_large,  // larger than the whole pool of its pool type
};

// found and expected are the values the message names, in its order: for
// the CRCs the one read from the file and the one computed, except the
// directory CRC (computed, then read); for sizes and counts the value read
// and the limit; for entries resource_id names the entry; for a duplicate id
// expected is the pack that holds the id already.
struct PackCheckResult {
    PackCheck check = PackCheck::intact;
    uint32_t found = 0;
    uint32_t expected = 0;
    uint32_t resource_id = 0;
};

// The 40 header bytes as read at offset 0: magic, endian marker, file type,
// version, header CRC, then the data size.
PackCheckResult check_pack_header(const void* header_bytes);
// The data block against the header's data CRC.
PackCheckResult check_pack_data_block(const PackHeader& header, const void* data_block_bytes);
// Before the directory is read: it must fit the resource table and the file.
PackCheckResult check_pack_directory_extent(const PackDataBlock& data_block, uint64_t file_size);
// The entry_count x 36 directory bytes as read.
PackCheckResult check_pack_directory(const PackDataBlock& data_block, const void* directory_bytes);
// One entry, when it is queued.
PackCheckResult check_resource_entry(const core::ResourceEntry& entry, uint64_t file_size);

// Ids queued so far, with the index of the pack that holds each.
using QueuedResourceIds = std::unordered_map<uint32_t, uint32_t>;

// A whole pack in memory, every check in the loader's order, entries in
// directory order; an entry fails as a duplicate when a lookup of its id
// under language (list_lookup_ids) finds an earlier entry of the pack or one
// in queued_ids. Every entry of an intact pack then joins queued_ids, under
// pack_index. Reads nothing outside the size bytes.
PackCheckResult verify_pack(const void* bytes, uint64_t size, uint32_t language = any_language,
                            QueuedResourceIds* queued_ids = nullptr, uint32_t pack_index = 0);

// The loader's message for a failed check: path names the pack file and
// pack_index its place in the pack table.
void describe_pack_check(const PackCheckResult& result, const char* path, uint32_t pack_index, char* buffer,
                         uint32_t capacity);

}  // namespace zolt::io
