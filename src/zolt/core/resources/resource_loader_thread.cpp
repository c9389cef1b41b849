#include <cinttypes>

#include "libs/io/resource_unpacker.h"
#include "libs/system/time_base.h"
#include "libs/system/worker_thread.h"
#include "libs/utility/crc32.h"
#include "libs/utility/fatal_error.h"
#include "zolt/core/resources/resource_loader.h"
#include "zolt/network/network_services.h"

namespace zolt::core {
namespace {

constexpr uint32_t loader_read_flags = io::open_read | io::handle_not_owned;  // 0x401
constexpr uint32_t load_wait_milliseconds = 10;
constexpr uint32_t network_poll_interval = 1000;  // ticks of 10 us

// Shared with whatever else polls the network while the frame loop is held up.
uint32_t last_network_poll_time = 0;

}  // namespace

void ResourceLoader::start_loader_thread() {
    stop_requested_.store(false, std::memory_order_release);
    busy_.store(false, std::memory_order_release);
    const ThreadAttributes attributes{0};
    create_thread(&thread_, &attributes, run_loader_thread, this);
}

void ResourceLoader::wait_until_idle() {
    while (is_busy()) {
        done_event_.wait();
    }
}

void ResourceLoader::start_loader_pass() {
    busy_.store(true, std::memory_order_release);
    work_event_.set();
}

void ResourceLoader::run_loader_thread(void* argument) {
    auto* const loader = static_cast<ResourceLoader*>(argument);
    io::Request request;
    request.flags = loader_read_flags;
    for (;;) {
        loader->work_event_.wait();
        if (loader->stop_requested_.load(std::memory_order_acquire)) {
            return;
        }
        loader->load_pending_resources(request);
        loader->busy_.store(false, std::memory_order_release);
        loader->done_event_.set();
    }
}

bool ResourceLoader::load_pending_resources(io::Request& request) {
    bool is_any_loaded = false;
    uint32_t previous_pack = pack_table_capacity;
    const uint32_t count = resource_count_;
    for (uint32_t index = 0; index < count; ++index) {
        ResourceInfo& info = resources_[index];
        if (!info.has_state(resource_state::load_pending)) {
            continue;
        }
        if (info.pack != previous_pack) {
            request.handle = packs_[info.pack].handle;
            request.set_file_path(packs_[info.pack].path);
            previous_pack = info.pack;
        }
        info.add_state(resource_state::loading);
        unpack_resource(info, request);
        info.remove_state(resource_state::load_pending | resource_state::loading);
        loaded_event_.set();
        is_any_loaded = true;
    }
    return is_any_loaded;
}

void ResourceLoader::unpack_resource(ResourceInfo& info, io::Request& request) {
    auto* const block = static_cast<uint8_t*>(info.data.memory);
    // The stored bytes go to the end of the block; the stream unpacks forward
    // from its start. Queueing refused stored sizes above the unpacked size.
    uint8_t* const stored = block + (info.unpacked_size - info.stored_size);
    request.type = io::request_read;
    request.do_read(info.offset, stored, info.stored_size);
    request.handle_error(loader_read_flags);
    const uint32_t stored_crc = compute_crc32(stored, info.stored_size);
    if (stored_crc != info.stored_crc) {
        ZOLT_ERROR("resource 0x%08" PRIx32 " data CRC 0x%08" PRIx32 " does not match 0x%08" PRIx32 "\n%s", info.id,
                   stored_crc, info.stored_crc, packs_[info.pack].path);
    }
    if (info.stored_size == info.unpacked_size) {
        return;
    }
    const UnpackResult result = unpack_resource_in_place(block, info.unpacked_size, info.stored_size);
    if (!result.is_intact) {
        ZOLT_ERROR("resource 0x%08" PRIx32 " unpacked data CRC 0x%08" PRIx32 " does not match 0x%08" PRIx32 "\n%s",
                   info.id, result.computed_crc, result.expected_crc, packs_[info.pack].path);
    }
}

void ResourceLoader::load_marked_packs() {
    for (;;) {
        if (!is_busy()) {
            if (!read_directories()) {
                return;
            }
            start_loader_pass();
        }
        update_loading_screen_while_loading();
        if (network::is_steam_available()) {
            const uint32_t now = get_time();
            const uint32_t elapsed = now - last_network_poll_time;
            if (elapsed >= network_poll_interval) {
                last_network_poll_time = now;
                poll_network_while_loading(elapsed);
            }
        }
        done_event_.wait_for(load_wait_milliseconds);
    }
}

void ResourceLoader::request_load(ResourceInfo& info) {
    wait_until_idle();
    info.data.memory = allocate_aligned(info, info.unpacked_size, 1u << io::get_alignment_exponent(info.flags));
    info.add_state(resource_state::load_pending | resource_state::in_memory);
    start_loader_pass();
}

void* ResourceLoader::wait_until_loaded(ResourceInfo& info) {
    while (info.has_state(resource_state::load_pending)) {
        loaded_event_.wait();
    }
    info.remove_state(resource_state::in_memory);
    return info.data.memory;
}

void ResourceLoader::shutdown() {
    if (!thread_.valid) {
        return;
    }
    wait_until_idle();
    stop_requested_.store(true, std::memory_order_release);
    work_event_.set();
    platform::join_thread(&thread_);
    for (uint32_t index = 0; index < resource_count_; ++index) {
        ResourceInfo& info = resources_[index];
        if (info.has_state(resource_state::in_memory)) {
            free_aligned(info, info.data.memory, info.unpacked_size);
            info.remove_state(resource_state::in_memory);
        }
    }
    close_packs();
    clear_tables();
}

}  // namespace zolt::core
