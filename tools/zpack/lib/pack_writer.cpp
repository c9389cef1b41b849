#include "pack_writer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

#include "libs/utility/crc32.h"
#include "lz_packer.h"

namespace zolt::tools {

bool build_pack(const PackDescription& description, std::vector<uint8_t>* pack, std::string* error) {
    const uint64_t directory_offset = io::pack_data_block_offset + io::pack_data_block_size;
    const uint64_t directory_size = uint64_t{io::resource_entry_size} * description.resources.size();
    std::vector<core::ResourceEntry> entries;
    std::vector<StoredBytes> stored;
    entries.reserve(description.resources.size());
    stored.reserve(description.resources.size());
    uint64_t offset = directory_offset + directory_size;
    for (const PackResource& resource : description.resources) {
        if (resource.data.size() > std::numeric_limits<uint32_t>::max()) {
            *error = "a resource larger than 4 GiB";
            return false;
        }
        const uint32_t size = static_cast<uint32_t>(resource.data.size());
        stored.push_back(make_stored_bytes(resource.data.data(), size, resource.allow_packing));
        const std::vector<uint8_t>& bytes = stored.back().bytes;
        if (offset + bytes.size() > std::numeric_limits<uint32_t>::max()) {
            *error = "the pack would be larger than 4 GiB";
            return false;
        }
        core::ResourceEntry entry{};
        entry.id = resource.id;
        entry.flags = resource.flags;
        entry.stored_crc = compute_crc32(bytes.data(), bytes.size());
        entry.unpacked_size = size;
        entry.stored_size = static_cast<uint32_t>(bytes.size());
        entry.offset = static_cast<uint32_t>(offset);
        entries.push_back(entry);
        offset += bytes.size();
    }

    pack->assign(offset, 0);
    io::PackHeader header{};
    header.magic = io::pack_magic;
    header.endian_marker = io::pack_endian_marker;
    header.file_type = io::pack_file_type;
    header.version = description.version;
    header.data_size = io::pack_data_block_size;
    io::write_pack_header(header, pack->data());
    io::PackDataBlock data_block{};
    data_block.entry_count = static_cast<uint32_t>(entries.size());
    data_block.directory_offset = static_cast<uint32_t>(directory_offset);
    data_block.pack_key = description.key;
    io::write_pack_data_block(data_block, pack->data() + io::pack_data_block_offset);
    for (size_t index = 0; index < entries.size(); ++index) {
        io::write_resource_entry(entries[index], pack->data() + directory_offset + index * io::resource_entry_size);
        std::copy(stored[index].bytes.begin(), stored[index].bytes.end(), pack->begin() + entries[index].offset);
    }
    seal_pack(pack);
    return true;
}

void seal_pack(std::vector<uint8_t>* pack) {
    uint8_t* bytes = pack->data();
    if (pack->size() < io::pack_data_block_offset + io::pack_data_block_size) {
        return;
    }
    io::PackDataBlock data_block = io::read_pack_data_block(bytes + io::pack_data_block_offset);
    const uint64_t directory_size = uint64_t{data_block.entry_count} * io::resource_entry_size;
    if (data_block.directory_offset + directory_size <= pack->size()) {
        data_block.directory_crc = compute_crc32(bytes + data_block.directory_offset, directory_size);
        io::write_pack_data_block(data_block, bytes + io::pack_data_block_offset);
    }
    io::PackHeader header = io::read_pack_header(bytes);
    header.data_crc = compute_crc32(bytes + io::pack_data_block_offset, io::pack_data_block_size);
    io::write_pack_header(header, bytes);
    header.header_crc = io::compute_pack_header_crc(bytes);
    io::write_pack_header(header, bytes);
}

bool format_pack_list(const std::vector<std::string>& names, std::string* text, std::string* error) {
    text->clear();
    for (const std::string& name : names) {
        if (name.empty() || name.find_first_of(" \t\r\n") != std::string::npos) {
            *error = "the pack name \"" + name + "\" cannot stand in a pack list";
            return false;
        }
        *text += name;
        *text += '\n';
    }
    return true;
}

bool write_file(const std::string& path, const void* bytes, size_t size, std::string* error) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        *error = "unable to create " + path;
        return false;
    }
    // fwrite must not be handed a null buffer, even for no bytes.
    const bool is_written = size == 0 || std::fwrite(bytes, 1, size, file) == size;
    const bool is_closed = std::fclose(file) == 0;
    if (!is_written || !is_closed) {
        *error = "unable to write " + path;
        return false;
    }
    return true;
}

bool read_file(const std::string& path, std::vector<uint8_t>* bytes, std::string* error) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        *error = "unable to open " + path;
        return false;
    }
    bytes->clear();
    uint8_t chunk[65536];
    size_t count;
    while ((count = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes->insert(bytes->end(), chunk, chunk + count);
    }
    const bool is_read = std::ferror(file) == 0;
    std::fclose(file);
    if (!is_read) {
        *error = "unable to read " + path;
        return false;
    }
    return true;
}

}  // namespace zolt::tools
