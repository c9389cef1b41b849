#include <cinttypes>

#include "libs/utility/fatal_error.h"
#include "zolt/core/resources/language.h"
#include "zolt/core/resources/resource_loader.h"
#include "zolt/core/resources/resource_object.h"

namespace zolt::core {
namespace {

uint32_t get_bucket(uint32_t id) {
    return id % resource_hash_bucket_count;
}

}  // namespace

ResourceLoader::ResourceLoader() {
    clear_tables();
}

void ResourceLoader::clear_tables() {
    resource_count_ = 0;
    for (uint32_t& head : bucket_heads_) {
        head = resource_table_capacity;
    }
    for (uint32_t& next : next_indices_) {
        next = resource_table_capacity;
    }
    for (ResourcePack& pack : packs_) {
        pack = {};
        pack.handle = platform::invalid_file_handle;
    }
    pack_count_ = 0;
}

ResourceInfo* ResourceLoader::find_exact_resource(uint32_t id) {
    for (uint32_t index = bucket_heads_[get_bucket(id)]; index < resource_count_; index = next_indices_[index]) {
        if (resources_[index].id == id) {
            return &resources_[index];
        }
    }
    return nullptr;
}

ResourceInfo* ResourceLoader::find_resource(uint32_t id) {
    uint32_t ids[io::max_lookup_ids];
    const uint32_t count = io::list_lookup_ids(id, zolt::current_language, ids);
    for (uint32_t index = 0; index < count; ++index) {
        if (ResourceInfo* const info = find_exact_resource(ids[index])) {
            return info;
        }
    }
    return nullptr;
}

ResourceInfo& ResourceLoader::get_resource_info(uint32_t id) {
    ResourceInfo* const info = find_resource(id);
    if (info == nullptr) {
        ZOLT_PANIC("resource 0x%08" PRIx32 " not found", id);
    }
    return *info;
}

ResourceInfo& ResourceLoader::insert_resource(const ResourceEntry& entry, uint32_t pack_index) {
    if (resource_count_ == resource_table_capacity) {
        ZOLT_ERROR("too many resources (%" PRIu32 ")", resource_count_ + 1);
    }
    const uint32_t index = resource_count_;
    ResourceInfo& info = resources_[index];
    info.id = entry.id;
    info.data.memory = nullptr;
    info.state = resource_state::from_pack;
    info.flags = static_cast<uint16_t>(entry.flags);
    info.pack = static_cast<uint16_t>(pack_index);
    info.offset = entry.offset;
    info.unpacked_size = entry.unpacked_size;
    info.stored_size = entry.stored_size;
    info.stored_crc = entry.stored_crc;
    const uint32_t bucket = get_bucket(entry.id);
    next_indices_[index] = bucket_heads_[bucket];
    bucket_heads_[bucket] = index;
    // The loader thread reads the count only after the busy flag hands the
    // new records over.
    resource_count_ = index + 1;
    return info;
}

void ResourceLoader::rebuild_hash() {
    for (uint32_t& head : bucket_heads_) {
        head = resource_table_capacity;
    }
    for (uint32_t index = 0; index < resource_count_; ++index) {
        const uint32_t bucket = get_bucket(resources_[index].id);
        next_indices_[index] = bucket_heads_[bucket];
        bucket_heads_[bucket] = index;
    }
}

void* ResourceLoader::get_resource_memory(const ResourceInfo& info) {
    const uint8_t state = info.get_state();
    if ((state & resource_state::open) != 0) {
        return info.data.object != nullptr ? info.data.object->get_data() : nullptr;
    }
    return (state & resource_state::in_memory) != 0 ? info.data.memory : nullptr;
}

}  // namespace zolt::core
