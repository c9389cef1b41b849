#pragma once
// The resource loader: every pack named in the pack list is opened at start,
// one record per resource sits in a table hashed by id, and the resources of
// marked packs are read, checked with CRC-32 and unpacked in place into two
// fixed pools by a loader thread of its own. Unmarked packs leave memory when
// the resources are shaken, which also compacts the pools.
//
// Everything here belongs to the main thread, except that the loader thread
// loads the records whose load is pending. The two hand over through the busy
// flag and three auto-reset events: the main thread reads directories,
// allocates and moves memory only while the loader is not busy, and touches a
// pending record only once its load is no longer pending.
#include <atomic>
#include <cstdint>

#include "libs/io/async_file_reader.h"
#include "libs/io/pack_format.h"
#include "libs/io/pack_list.h"
#include "libs/io/request.h"
#include "libs/utility/variable_memory_pool.h"
#include "platform/system/event.h"
#include "platform/system/threads.h"
#include "zolt/core/resources/resource_info.h"

namespace zolt::storage {
class SaveStream;
class LoadStream;
}  // namespace zolt::storage

namespace zolt::core {

constexpr uint32_t resource_table_capacity = io::max_resource_count;
constexpr uint32_t resource_hash_bucket_count = 10007;
constexpr uint32_t pack_table_capacity = io::max_pack_count;
constexpr uint32_t general_resource_pool_size = io::general_resource_pool_size;
constexpr uint32_t second_resource_pool_size = io::second_resource_pool_size;

class ResourceLoader {
public:
    ResourceLoader();
    ResourceLoader(const ResourceLoader&) = delete;
    ResourceLoader& operator=(const ResourceLoader&) = delete;

    // Opens every pack of the pack list, starts the loader thread and loads
    // the packs of key 0.
    void read_pack_list();
    // Waits for the loader, ends its thread, frees all memory and closes the
    // packs. Every resource object must be closed before.
    void shutdown();

    // The exact id; for an id of language 0xF then the current language, 0
    // and 1. Null when none is known.
    ResourceInfo* find_resource(uint32_t id);
    // An unknown id is fatal.
    ResourceInfo& get_resource_info(uint32_t id);

    // Marks or unmarks every pack whose key & mask equals value.
    void mark_packs(uint32_t mask, uint32_t value);
    void unmark_packs(uint32_t mask, uint32_t value);
    // One step that never blocks; true when nothing is left to load.
    bool load_marked_packs_step();
    // Loads the marked packs and waits, keeping the loading screen and the
    // network alive.
    void load_marked_packs();

    // For resource objects: gives a deferred resource memory and queues its load.
    void request_load(ResourceInfo& info);
    // Waits until the load is no longer pending; answers the memory and
    // clears in_memory, since the caller is taking the memory over.
    void* wait_until_loaded(ResourceInfo& info);

    // Memory from the pool of the resource's pool type; no room is fatal.
    void* allocate_aligned(const ResourceInfo& info, uint32_t size, uint32_t alignment);
    void free_aligned(const ResourceInfo& info, void* pointer, uint32_t size);

    // Waits until the loader is idle, drops the resources of unmarked packs
    // and slides the rest down their pools. An open resource of an unmarked
    // pack is fatal. Callers tell the servers afterwards that resources moved.
    void shake_resources();

    void save_state(storage::SaveStream& stream) const;
    // False when the stream is broken.
    bool load_state(storage::LoadStream& stream);

    // Reads of stored bytes, not unpacked. The first goes through the reader
    // on the IO thread; the second copies from memory when the resource is
    // loaded, else queues a read to the IO thread; the third waits for it.
    void read_resource(io::AsyncReader& reader, uint32_t id, uint32_t offset, uint32_t size);
    void read_resource_async(io::Request& request, uint32_t id, void* destination, uint32_t offset, uint32_t size);
    bool read_resource_sync(uint32_t id, void* destination, uint32_t offset, uint32_t size);

    uint32_t get_resource_count() const { return resource_count_; }
    const ResourceInfo& get_resource(uint32_t index) const { return resources_[index]; }
    uint32_t get_pack_count() const { return pack_count_; }
    const ResourcePack& get_pack(uint32_t index) const { return packs_[index]; }
    bool is_busy() const { return busy_.load(std::memory_order_acquire); }
    const VariableMemoryPoolBase& get_general_pool() const { return general_pool_; }
    const VariableMemoryPoolBase& get_second_pool() const { return second_pool_; }
    // Where an open or loaded record's memory lies; null without memory.
    static void* get_resource_memory(const ResourceInfo& info);

private:
    friend struct ResourceLoaderTestAccess;

    // The table and the hash.
    void clear_tables();
    ResourceInfo* find_exact_resource(uint32_t id);
    ResourceInfo& insert_resource(const ResourceEntry& entry, uint32_t pack_index);
    void rebuild_hash();

    // The packs and their directories.
    void open_pack(const char* path);
    bool read_directories();
    bool queue_pack_resource(uint32_t pack_index, const ResourceEntry& entry);
    void close_packs();

    // The hand-over to the loader thread.
    void start_loader_thread();
    void wait_until_idle();
    void start_loader_pass();
    static void run_loader_thread(void* loader);
    bool load_pending_resources(io::Request& request);
    void unpack_resource(ResourceInfo& info, io::Request& request);

    VariableMemoryPoolBase& get_pool(const ResourceInfo& info);
    void slide_resource(ResourceInfo& info);

    ResourceInfo resources_[resource_table_capacity];
    uint32_t resource_count_ = 0;
    // Chains by record index; any index not below the count ends a chain.
    uint32_t bucket_heads_[resource_hash_bucket_count];
    uint32_t next_indices_[resource_table_capacity];
    ResourcePack packs_[pack_table_capacity] = {};
    uint32_t pack_count_ = 0;
    VariableMemoryPool<general_resource_pool_size> general_pool_;
    VariableMemoryPool<second_resource_pool_size> second_pool_;

    platform::ThreadHandle thread_;
    std::atomic<bool> busy_{false};
    // Only shutdown ends the loader thread; an empty pass never does.
    std::atomic<bool> stop_requested_{false};
    platform::Event work_event_{false, false};
    platform::Event done_event_{false, false};
    platform::Event loaded_event_{false, false};

    char pack_list_text_[io::pack_list_capacity];
    io::PackList pack_list_;
    // The shake's order of the kept records by memory address.
    uint32_t shake_order_[resource_table_capacity];
};

// What the loader's waiting and shaking tell subsystems that do not exist
// yet; each does nothing until its owner fills it in.
void update_loading_screen_while_loading();
void poll_network_while_loading(uint32_t elapsed_ticks);
void drop_textures_of_unmarked_packs(const ResourceLoader& loader);

}  // namespace zolt::core
