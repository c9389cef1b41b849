#include "libs/io/pack_format.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "libs/io/request.h"
#include "libs/utility/crc32.h"

namespace zolt::io {
namespace {

template <typename Record>
Record read_record(const void* bytes) {
    Record record;
    std::memcpy(&record, bytes, sizeof record);
    return record;
}

PackCheckResult fail(PackCheck check, uint32_t found, uint32_t expected, uint32_t resource_id = 0) {
    return {check, found, expected, resource_id};
}

// Index of the first entry whose lookup finds an earlier entry or a queued
// id, with the pack that holds that id; entry_count when there is none.
uint32_t find_first_repeated_id(const uint8_t* directory, uint32_t entry_count, uint32_t language,
                                const QueuedResourceIds& queued_ids, uint32_t pack_index, uint32_t* holder) {
    QueuedResourceIds seen;
    for (uint32_t index = 0; index < entry_count; ++index) {
        const uint32_t id = read_resource_entry(directory + index * resource_entry_size).id;
        uint32_t ids[max_lookup_ids];
        const uint32_t count = list_lookup_ids(id, language, ids);
        for (uint32_t lookup = 0; lookup < count; ++lookup) {
            if (const auto found = queued_ids.find(ids[lookup]); found != queued_ids.end()) {
                *holder = found->second;
                return index;
            }
            if (seen.count(ids[lookup]) != 0) {
                *holder = pack_index;
                return index;
            }
        }
        seen.emplace(id, pack_index);
    }
    return entry_count;
}

}  // namespace

uint32_t list_lookup_ids(uint32_t id, uint32_t language, uint32_t* ids) {
    uint32_t count = 0;
    ids[count++] = id;
    if (get_resource_language(id) != current_language) {
        return count;
    }
    if (language == any_language) {
        for (uint32_t other = 0; other < current_language; ++other) {
            ids[count++] = set_resource_language(id, other);
        }
        return count;
    }
    for (const uint32_t fallback : {language, 0u, 1u}) {
        ids[count++] = set_resource_language(id, fallback);
    }
    return count;
}

PackHeader read_pack_header(const void* bytes) {
    return read_record<PackHeader>(bytes);
}
void write_pack_header(const PackHeader& header, void* bytes) {
    std::memcpy(bytes, &header, sizeof header);
}
PackDataBlock read_pack_data_block(const void* bytes) {
    return read_record<PackDataBlock>(bytes);
}
void write_pack_data_block(const PackDataBlock& data_block, void* bytes) {
    std::memcpy(bytes, &data_block, sizeof data_block);
}
core::ResourceEntry read_resource_entry(const void* bytes) {
    return read_record<core::ResourceEntry>(bytes);
}
void write_resource_entry(const core::ResourceEntry& entry, void* bytes) {
    std::memcpy(bytes, &entry, sizeof entry);
}

uint32_t compute_pack_header_crc(const void* header_bytes) {
    uint8_t copy[pack_header_size];
    std::memcpy(copy, header_bytes, sizeof copy);
    std::memset(copy + header_crc_offset, 0, sizeof(uint32_t));
    return compute_crc32(copy, sizeof copy);
}

PackCheckResult check_pack_header(const void* header_bytes) {
    const PackHeader header = read_pack_header(header_bytes);
    if (header.magic != pack_magic) {
        return fail(PackCheck::magic, header.magic, pack_magic);
    }
    if (header.endian_marker != pack_endian_marker) {
        return fail(PackCheck::endian_marker, header.endian_marker, pack_endian_marker);
    }
    if (header.file_type != pack_file_type) {
        return fail(PackCheck::file_type, header.file_type, pack_file_type);
    }
    if ((header.version & pack_version_mask) != pack_engine_version) {
        return fail(PackCheck::version, header.version, pack_engine_version);
    }
    const uint32_t computed_crc = compute_pack_header_crc(header_bytes);
    if (header.header_crc != computed_crc) {
        return fail(PackCheck::header_crc, header.header_crc, computed_crc);
    }
    if (header.data_size != pack_data_block_size) {
        return fail(PackCheck::data_size, header.data_size, pack_data_block_size);
    }
    return {};
}

PackCheckResult check_pack_data_block(const PackHeader& header, const void* data_block_bytes) {
    const uint32_t computed_crc = compute_crc32(data_block_bytes, pack_data_block_size);
    if (header.data_crc != computed_crc) {
        return fail(PackCheck::data_crc, header.data_crc, computed_crc);
    }
    return {};
}

PackCheckResult check_pack_directory_extent(const PackDataBlock& data_block, uint64_t file_size) {
    if (data_block.entry_count > max_resource_count) {
        return fail(PackCheck::too_many_entries, data_block.entry_count, max_resource_count);
    }
    const uint64_t directory_end =
        uint64_t{data_block.directory_offset} + uint64_t{data_block.entry_count} * resource_entry_size;
    if (directory_end > file_size) {
        return fail(PackCheck::directory_outside_file, data_block.directory_offset, data_block.entry_count);
    }
    return {};
}

PackCheckResult check_pack_directory(const PackDataBlock& data_block, const void* directory_bytes) {
    const uint32_t computed_crc = compute_crc32(directory_bytes, size_t{data_block.entry_count} * resource_entry_size);
    if (computed_crc != data_block.directory_crc) {
        return fail(PackCheck::directory_crc, computed_crc, data_block.directory_crc);
    }
    return {};
}

PackCheckResult check_resource_entry(const core::ResourceEntry& entry, uint64_t file_size) {
    if (entry.stored_size > entry.unpacked_size) {
        return fail(PackCheck::stored_size_too_large, entry.stored_size, entry.unpacked_size, entry.id);
    }
    if (uint64_t{entry.offset} + entry.stored_size > file_size) {
        return fail(PackCheck::stored_bytes_outside_file, entry.offset, entry.stored_size, entry.id);
    }
    if (get_resource_block_size(entry.flags, entry.unpacked_size) > get_resource_pool_size(entry.flags)) {
        return fail(PackCheck::unpacked_size_too_large, entry.unpacked_size, get_resource_pool_size(entry.flags),
                    entry.id);
    }
    return {};
}

PackCheckResult verify_pack(const void* bytes, uint64_t size, uint32_t language, QueuedResourceIds* queued_ids,
                            uint32_t pack_index) {
    const auto* pack = static_cast<const uint8_t*>(bytes);
    if (size < pack_header_size) {
        return fail(PackCheck::file_too_short, static_cast<uint32_t>(size), pack_header_size);
    }
    PackCheckResult result = check_pack_header(pack);
    if (result.check != PackCheck::intact) {
        return result;
    }
    if (size < pack_data_block_offset + pack_data_block_size) {
        return fail(PackCheck::file_too_short, static_cast<uint32_t>(size),
                    pack_data_block_offset + pack_data_block_size);
    }
    const PackHeader header = read_pack_header(pack);
    result = check_pack_data_block(header, pack + pack_data_block_offset);
    if (result.check != PackCheck::intact) {
        return result;
    }
    const PackDataBlock data_block = read_pack_data_block(pack + pack_data_block_offset);
    // The loader reads no directory of an empty pack.
    if (data_block.entry_count == 0) {
        return {};
    }
    result = check_pack_directory_extent(data_block, size);
    if (result.check != PackCheck::intact) {
        return result;
    }
    const uint8_t* directory = pack + data_block.directory_offset;
    result = check_pack_directory(data_block, directory);
    if (result.check != PackCheck::intact) {
        return result;
    }
    static const QueuedResourceIds no_ids;
    uint32_t holder = 0;
    const uint32_t first_repeated = find_first_repeated_id(
        directory, data_block.entry_count, language, queued_ids != nullptr ? *queued_ids : no_ids, pack_index, &holder);
    for (uint32_t index = 0; index < data_block.entry_count; ++index) {
        const core::ResourceEntry entry = read_resource_entry(directory + index * resource_entry_size);
        if (index == first_repeated) {
            return fail(PackCheck::duplicate_id, 0, holder, entry.id);
        }
        result = check_resource_entry(entry, size);
        if (result.check != PackCheck::intact) {
            return result;
        }
    }
    if (queued_ids != nullptr) {
        for (uint32_t index = 0; index < data_block.entry_count; ++index) {
            queued_ids->emplace(read_resource_entry(directory + index * resource_entry_size).id, pack_index);
        }
    }
    return {};
}

void describe_pack_check(const PackCheckResult& result, const char* path, uint32_t pack_index, char* buffer,
                         uint32_t capacity) {
    if (capacity == 0) {
        return;
    }
    const uint32_t found = result.found;
    const uint32_t expected = result.expected;
    const uint32_t id = result.resource_id;
    switch (result.check) {
    case PackCheck::intact:
        std::snprintf(buffer, capacity, "%s: pack is intact", path);
        break;
    case PackCheck::file_too_short:
        std::snprintf(buffer, capacity, "IO error %" PRIu32 " encountered while reading a file.", error_short_read);
        break;
    case PackCheck::magic:
        std::snprintf(buffer, capacity, "%s: %s magic 0x%08" PRIx32 " does not match 0x%08" PRIx32, path, "pack", found,
                      expected);
        break;
    case PackCheck::endian_marker:
        std::snprintf(buffer, capacity, "%s: %s endian type 0x%08" PRIx32 " does not match 0x%08" PRIx32, path, "pack",
                      found, expected);
        break;
    case PackCheck::file_type:
        std::snprintf(buffer, capacity, "%s: %s type 0x%08" PRIx32 " does not match 0x%08" PRIx32, path, "pack", found,
                      expected);
        break;
    case PackCheck::version:
        std::snprintf(buffer, capacity, "%s version 0x%08" PRIx32 " does not work with engine version 0x%08" PRIx32,
                      "pack", found, expected);
        break;
    case PackCheck::header_crc:
        std::snprintf(buffer, capacity, "%s: %s header CRC 0x%08" PRIx32 " does not match 0x%08" PRIx32, path, "pack",
                      found, expected);
        break;
    case PackCheck::data_size:
        std::snprintf(buffer, capacity, "%s: %s size %" PRIu32 " byte%s does not match %" PRIu32 " byte%s", path,
                      "pack", found, found == 1 ? "" : "s", expected, expected == 1 ? "" : "s");
        break;
    case PackCheck::data_crc:
        std::snprintf(buffer, capacity, "%s: %s data CRC 0x%08" PRIx32 " does not match 0x%08" PRIx32, path, "pack",
                      found, expected);
        break;
    case PackCheck::too_many_entries:
        std::snprintf(buffer, capacity, "%s: %s entry count %" PRIu32 " exceeds %" PRIu32, path, "pack", found,
                      expected);
        break;
    case PackCheck::directory_outside_file:
        std::snprintf(buffer, capacity,
                      "%s: %s directory at 0x%08" PRIx32 " with %" PRIu32 " entries ends past the end of the file",
                      path, "pack", found, expected);
        break;
    case PackCheck::directory_crc:
        std::snprintf(buffer, capacity,
                      "resource directory CRC 0x%08" PRIx32 " of pack %" PRIu32
                      " does not match the expected CRC 0x%08" PRIx32,
                      found, pack_index, expected);
        break;
    case PackCheck::stored_size_too_large:
        std::snprintf(buffer, capacity,
                      "resource 0x%08" PRIx32 " of pack %" PRIu32 " stores %" PRIu32 " bytes, more than its %" PRIu32
                      " unpacked bytes",
                      id, pack_index, found, expected);
        break;
    case PackCheck::stored_bytes_outside_file:
        std::snprintf(buffer, capacity,
                      "resource 0x%08" PRIx32 " of pack %" PRIu32 " at 0x%08" PRIx32 " with %" PRIu32
                      " bytes ends past the end of the file",
                      id, pack_index, found, expected);
        break;
    case PackCheck::duplicate_id:
        std::snprintf(buffer, capacity,
                      "Attempt to queue resource 0x%08" PRIx32 " for pack %" PRIu32
                      " while corresponding entry already exists in pack %" PRIu32,
                      id, pack_index, expected);
        break;
    case PackCheck::unpacked_size_too_large:
        std::snprintf(buffer, capacity,
                      "out of resource memory\nresource 0x%08" PRIx32 " of pack %" PRIu32 " unpacks to %" PRIu32
                      " bytes, more than its pool's %" PRIu32,
                      id, pack_index, found, expected);
        break;
    }
}

}  // namespace zolt::io
