#pragma once
// Packs for the loader's tests, written by the pack tools into a temporary
// folder with a "pack.list" naming them; the pack_list variable points there
// while the folder lives. The loader itself is the engine's one static
// loader, inside the resource server.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "libs/io/pack_format.h"
#include "libs/io/temporary_folder.h"
#include "zolt/core/config/config_support_variables.h"
#include "zolt/core/program/engine.h"
#include "zolt/core/resources/language.h"
#include "zolt/core/resources/resource_server.h"
#include "zpack/lib/pack_writer.h"

namespace zolt::test {

using Bytes = std::vector<uint8_t>;

inline Bytes make_random_bytes(uint32_t size, uint32_t seed) {
    std::mt19937 random(seed);
    Bytes bytes(size);
    for (uint8_t& byte : bytes) {
        byte = static_cast<uint8_t>(random());
    }
    return bytes;
}

// Runs of words from a small vocabulary: packs well.
inline Bytes make_text_bytes(uint32_t size, uint32_t seed) {
    static const char* const words[] = {"pack ",   "resource ", "loader ", "shake ",    "memory ",  "pool ",
                                        "marked ", "key ",      "\n",      "deferred ", "aligned ", "language "};
    std::mt19937 random(seed);
    Bytes bytes;
    while (bytes.size() < size) {
        const char* const word = words[random() % 12];
        bytes.insert(bytes.end(), word, word + std::strlen(word));
    }
    bytes.resize(size);
    return bytes;
}

inline tools::PackResource make_resource(uint32_t id, Bytes data, uint32_t alignment_exponent = 0,
                                         uint32_t pool_type = 0, bool is_not_reopened = false,
                                         bool allow_packing = true) {
    tools::PackResource resource;
    resource.id = id;
    resource.flags = io::make_resource_flags(alignment_exponent, pool_type, is_not_reopened);
    resource.data = std::move(data);
    resource.allow_packing = allow_packing;
    return resource;
}

inline Bytes build_pack_bytes(const tools::PackDescription& description) {
    Bytes pack;
    std::string error;
    EXPECT_TRUE(tools::build_pack(description, &pack, &error)) << error;
    return pack;
}

class PackFolder {
public:
    PackFolder() : saved_pack_list_(pack_list) {}
    ~PackFolder() { pack_list = saved_pack_list_; }
    PackFolder(const PackFolder&) = delete;
    PackFolder& operator=(const PackFolder&) = delete;

    std::string add_pack(const std::string& name, const tools::PackDescription& description) {
        return add_pack_bytes(name, build_pack_bytes(description));
    }
    std::string add_pack_bytes(const std::string& name, const Bytes& bytes) {
        const std::string path = folder_.get_path(name);
        std::string error;
        EXPECT_TRUE(tools::write_file(path, bytes.data(), bytes.size(), &error)) << error;
        names_.push_back(is_listed_by_name_ ? name : path);
        return path;
    }
    // A name in the list without a file behind it.
    void add_missing_pack(const std::string& name) { names_.push_back(folder_.get_path(name)); }
    // The list names the packs added from now on without their folder, for
    // a loader running inside the folder (see FolderScope): 512 full paths
    // do not fit the list.
    void list_by_name() { is_listed_by_name_ = true; }
    const std::filesystem::path& get_folder() const { return folder_.get_folder(); }

    // Writes "pack.list" with every pack added so far and points the
    // variable at it.
    void write_pack_list() {
        std::string text;
        std::string error;
        EXPECT_TRUE(tools::format_pack_list(names_, &text, &error)) << error;
        list_path_ = folder_.get_path("pack.list");
        EXPECT_TRUE(tools::write_file(list_path_, text.data(), text.size(), &error)) << error;
        pack_list = list_path_.c_str();
    }
    void point_at_missing_list() {
        list_path_ = folder_.get_path("pack.list");
        pack_list = list_path_.c_str();
    }

    const std::string& get_list_path() const { return list_path_; }

private:
    TemporaryFolder folder_;
    std::vector<std::string> names_;
    bool is_listed_by_name_ = false;
    std::string list_path_;
    const char* saved_pack_list_;
};

inline core::ResourceLoader& get_loader() {
    return core::resource_server.get_loader();
}

// The loader running over the folder's packs for one test, shut down when
// the test ends whatever it left behind.
class RunningLoader {
public:
    explicit RunningLoader(PackFolder& packs) {
        packs.write_pack_list();
        get_loader().read_pack_list();
    }
    ~RunningLoader() { get_loader().shutdown(); }
    RunningLoader(const RunningLoader&) = delete;
    RunningLoader& operator=(const RunningLoader&) = delete;
};

// The process's current folder for one scope.
class FolderScope {
public:
    explicit FolderScope(const std::filesystem::path& folder) : saved_(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~FolderScope() { std::filesystem::current_path(saved_); }

private:
    std::filesystem::path saved_;
};

// The language of the engine for one scope.
class LanguageScope {
public:
    explicit LanguageScope(uint32_t language) : saved_(current_language) { current_language = language; }
    ~LanguageScope() { current_language = saved_; }

private:
    uint32_t saved_;
};

inline Bytes read_memory(const core::ResourceInfo& info) {
    const auto* const memory = static_cast<const uint8_t*>(core::ResourceLoader::get_resource_memory(info));
    return memory != nullptr ? Bytes(memory, memory + info.unpacked_size) : Bytes{};
}

inline bool is_inside(const void* pointer, const VariableMemoryPoolBase& pool, uint32_t size) {
    const auto* const base = static_cast<const uint8_t*>(pool.get_block_at(0));
    const auto* const address = static_cast<const uint8_t*>(pointer);
    return address >= base && address < base + size;
}

// The free blocks of a pool as (offset, size).
inline std::vector<std::pair<uint32_t, uint32_t>> get_free_blocks(const VariableMemoryPoolBase& pool) {
    std::vector<std::pair<uint32_t, uint32_t>> blocks;
    pool.for_each_free_block(
        [&](void* block, uint32_t size) { blocks.emplace_back(pool.get_block_offset(block), size); });
    return blocks;
}

}  // namespace zolt::test
