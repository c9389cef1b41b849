#include "zpack_command.h"

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "libs/io/pack_format.h"
#include "libs/io/pack_list.h"
#include "libs/io/resource_unpacker.h"
#include "libs/utility/crc32.h"
#include "pack_manifest.h"
#include "pack_writer.h"

namespace zolt::tools {
namespace {

constexpr int exit_failure = 1;
constexpr int exit_usage = 2;

const char* const usage_text =
    "usage: zpack <command> ...\n"
    "\n"
    "  zpack build [--key <n>] [--store] <manifest|folder> <out.pack>\n"
    "      Writes a pack. A resource is packed when that saves space and it\n"
    "      unpacks in place, else stored as is; --store stores everything.\n"
    "      --key sets the pack key, also over a manifest's.\n"
    "  zpack list <pack>\n"
    "      Prints the header and every directory entry.\n"
    "  zpack verify <pack>...\n"
    "      Checks the packs as the engine loads them: headers, data blocks,\n"
    "      directories, ids unique over all the packs as the engine looks them\n"
    "      up in any language, unpacked sizes, stored and unpacked CRCs.\n"
    "  zpack packlist <out> <pack>...\n"
    "      Writes a pack list naming the packs, at most 512.\n"
    "\n"
    "A manifest has one line a setting or a resource; '#' starts a comment:\n"
    "  key <number>                  the pack key (default 0)\n"
    "  <id> <file> [options]         file relative to the manifest\n"
    "options: align=<0-15> (memory aligned to 1 << n bytes), pool=<0-3>,\n"
    "  deferred (pool 1), second-pool (pool 3), not-reopened, stored.\n"
    "Ids carry the language number in bits 24-27. Numbers are decimal or 0x-hex.\n"
    "In a folder, every file is a resource named by its id in eight hex digits,\n"
    "optionally followed by a dot and anything.\n"
    "\n"
    "Exit code: 0 success, 1 failure, 2 wrong usage.\n";

int fail_usage() {
    std::fputs(usage_text, stderr);
    return exit_usage;
}

int fail(const std::string& message) {
    std::fprintf(stderr, "zpack: %s\n", message.c_str());
    return exit_failure;
}

std::string describe(const io::PackCheckResult& result, const std::string& path, uint32_t pack_index) {
    char message[512];
    io::describe_pack_check(result, path.c_str(), pack_index, message, sizeof message);
    return message;
}

int build(const std::vector<std::string>& arguments) {
    bool has_key = false;
    uint32_t key = 0;
    bool is_stored = false;
    std::vector<std::string> paths;
    for (size_t index = 0; index < arguments.size(); ++index) {
        if (arguments[index] == "--key" && index + 1 < arguments.size()) {
            char* end = nullptr;
            const unsigned long long value = std::strtoull(arguments[++index].c_str(), &end, 0);
            if (*end != '\0' || value > UINT32_MAX) {
                return fail_usage();
            }
            key = static_cast<uint32_t>(value);
            has_key = true;
        } else if (arguments[index] == "--store") {
            is_stored = true;
        } else {
            paths.push_back(arguments[index]);
        }
    }
    if (paths.size() != 2) {
        return fail_usage();
    }
    PackDescription description;
    std::string error;
    const bool is_read = std::filesystem::is_directory(paths[0]) ? read_pack_folder(paths[0], &description, &error)
                                                                 : read_pack_manifest(paths[0], &description, &error);
    if (!is_read) {
        return fail(error);
    }
    if (has_key) {
        description.key = key;
    }
    if (is_stored) {
        for (PackResource& resource : description.resources) {
            resource.allow_packing = false;
        }
    }
    std::vector<uint8_t> pack;
    if (!build_pack(description, &pack, &error)) {
        return fail(error);
    }
    const io::PackCheckResult result = io::verify_pack(pack.data(), pack.size());
    if (result.check != io::PackCheck::intact) {
        return fail(describe(result, paths[1], 0));
    }
    if (!write_file(paths[1], pack.data(), pack.size(), &error)) {
        return fail(error);
    }
    return 0;
}

bool read_verified_pack(const std::string& path, uint32_t pack_index, std::vector<uint8_t>* pack) {
    std::string error;
    if (!read_file(path, pack, &error)) {
        fail(error);
        return false;
    }
    const io::PackCheckResult result = io::verify_pack(pack->data(), pack->size());
    if (result.check != io::PackCheck::intact) {
        fail(describe(result, path, pack_index));
        return false;
    }
    return true;
}

int list(const std::vector<std::string>& arguments) {
    if (arguments.size() != 1) {
        return fail_usage();
    }
    std::vector<uint8_t> pack;
    if (!read_verified_pack(arguments[0], 0, &pack)) {
        return exit_failure;
    }
    const io::PackHeader header = io::read_pack_header(pack.data());
    const io::PackDataBlock data_block = io::read_pack_data_block(pack.data() + io::pack_data_block_offset);
    std::printf("%s: version 0x%08" PRIx32 ", key 0x%08" PRIx32 ", %" PRIu32 " entries, directory at %" PRIu32 "\n",
                arguments[0].c_str(), header.version, data_block.pack_key, data_block.entry_count,
                data_block.directory_offset);
    if (data_block.entry_count == 0) {
        return 0;
    }
    std::printf("%-10s  %-6s  %5s  %4s  %10s  %10s  %-10s  %-10s\n", "id", "flags", "align", "pool", "unpacked",
                "stored", "offset", "stored CRC");
    for (uint32_t index = 0; index < data_block.entry_count; ++index) {
        const core::ResourceEntry entry =
            io::read_resource_entry(pack.data() + data_block.directory_offset + index * io::resource_entry_size);
        const uint32_t pool_type = io::get_pool_type(entry.flags);
        std::printf("0x%08" PRIx32 "  0x%04" PRIx32 "  %5" PRIu32 "  %4" PRIu32 "  %10" PRIu32 "  %10" PRIu32
                    "  0x%08" PRIx32 "  0x%08" PRIx32 "%s%s%s\n",
                    entry.id, entry.flags & 0xFFFF, uint32_t{1} << io::get_alignment_exponent(entry.flags), pool_type,
                    entry.unpacked_size, entry.stored_size, entry.offset, entry.stored_crc,
                    entry.stored_size < entry.unpacked_size ? "  packed" : "",
                    pool_type == io::pool_type_deferred ? "  deferred" : "",
                    (entry.flags & io::resource_flag_not_reopened) != 0 ? "  not-reopened" : "");
    }
    return 0;
}

// The stored bytes of one entry against its CRCs, unpacked in place as the
// loader does.
bool verify_resource(const std::vector<uint8_t>& pack, const core::ResourceEntry& entry) {
    const uint8_t* stored = pack.data() + entry.offset;
    const uint32_t stored_crc = compute_crc32(stored, entry.stored_size);
    if (stored_crc != entry.stored_crc) {
        std::fprintf(stderr,
                     "zpack: resource 0x%08" PRIx32 " data CRC 0x%08" PRIx32 " does not match 0x%08" PRIx32 "\n",
                     entry.id, stored_crc, entry.stored_crc);
        return false;
    }
    if (entry.stored_size == entry.unpacked_size) {
        return true;
    }
    std::vector<uint8_t> block(entry.unpacked_size);
    std::memcpy(block.data() + (entry.unpacked_size - entry.stored_size), stored, entry.stored_size);
    const UnpackResult result = unpack_resource_in_place(block.data(), entry.unpacked_size, entry.stored_size);
    if (!result.is_intact) {
        std::fprintf(stderr,
                     "zpack: resource 0x%08" PRIx32 " unpacked data CRC 0x%08" PRIx32 " does not match 0x%08" PRIx32
                     "\n",
                     entry.id, result.computed_crc, result.expected_crc);
        return false;
    }
    return true;
}

int verify(const std::vector<std::string>& arguments) {
    if (arguments.empty()) {
        return fail_usage();
    }
    // A pack passes only when the engine would load it under any language a
    // script may choose: ids are compared as the loader looks them up.
    io::QueuedResourceIds queued_ids;
    bool is_intact = true;
    for (uint32_t pack_index = 0; pack_index < arguments.size(); ++pack_index) {
        const std::string& path = arguments[pack_index];
        std::vector<uint8_t> pack;
        std::string error;
        if (!read_file(path, &pack, &error)) {
            fail(error);
            is_intact = false;
            continue;
        }
        const io::PackCheckResult result =
            io::verify_pack(pack.data(), pack.size(), io::any_language, &queued_ids, pack_index);
        if (result.check != io::PackCheck::intact) {
            fail(describe(result, path, pack_index));
            is_intact = false;
            continue;
        }
        const io::PackDataBlock data_block = io::read_pack_data_block(pack.data() + io::pack_data_block_offset);
        uint32_t packed_count = 0;
        bool is_pack_intact = true;
        for (uint32_t index = 0; index < data_block.entry_count; ++index) {
            const core::ResourceEntry entry =
                io::read_resource_entry(pack.data() + data_block.directory_offset + index * io::resource_entry_size);
            is_pack_intact = verify_resource(pack, entry) && is_pack_intact;
            packed_count += entry.stored_size < entry.unpacked_size ? 1 : 0;
        }
        if (is_pack_intact) {
            std::printf("%s: ok, %" PRIu32 " resources, %" PRIu32 " packed\n", path.c_str(), data_block.entry_count,
                        packed_count);
        }
        is_intact = is_intact && is_pack_intact;
    }
    if (queued_ids.size() > io::max_resource_count) {
        return fail("the packs hold " + std::to_string(queued_ids.size()) + " resources, more than " +
                    std::to_string(io::max_resource_count));
    }
    return is_intact ? 0 : exit_failure;
}

int write_pack_list(const std::vector<std::string>& arguments) {
    if (arguments.size() < 2) {
        return fail_usage();
    }
    const std::vector<std::string> names(arguments.begin() + 1, arguments.end());
    if (names.size() > io::max_pack_count) {
        return fail("a pack list names at most " + std::to_string(io::max_pack_count) + " packs");
    }
    std::string text;
    std::string error;
    if (!format_pack_list(names, &text, &error)) {
        return fail(error);
    }
    if (text.size() >= io::pack_list_capacity) {
        return fail("a pack list holds fewer than " + std::to_string(io::pack_list_capacity) + " bytes");
    }
    if (!write_file(arguments[0], text.data(), text.size(), &error)) {
        return fail(error);
    }
    return 0;
}

}  // namespace

int run_zpack(int argument_count, char** arguments) {
    if (argument_count < 2) {
        return fail_usage();
    }
    const std::string command = arguments[1];
    const std::vector<std::string> rest(arguments + 2, arguments + argument_count);
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(usage_text, stdout);
        return 0;
    }
    if (command == "build") {
        return build(rest);
    }
    if (command == "list") {
        return list(rest);
    }
    if (command == "verify") {
        return verify(rest);
    }
    if (command == "packlist") {
        return write_pack_list(rest);
    }
    return fail_usage();
}

}  // namespace zolt::tools
