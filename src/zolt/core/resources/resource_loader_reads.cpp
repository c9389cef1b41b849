#include <cstring>

#include "zolt/core/resources/resource_loader.h"

namespace zolt::core {
namespace {

// The caller's request stays idle; the read of the IO thread's kind is
// settled at once with every byte copied.
void complete_from_memory(io::Request& request, const uint8_t* memory, void* destination, uint32_t offset,
                          uint32_t size) {
    std::memcpy(destination, memory + offset, size);
    request.type = io::request_read;
    request.buffer = destination;
    request.offset = offset;
    request.size = size;
    request.transferred = size;
    request.position = offset + size;
    request.error = 0;
}

}  // namespace

void ResourceLoader::read_resource(io::AsyncReader& reader, uint32_t id, uint32_t offset, uint32_t size) {
    const ResourceInfo& info = get_resource_info(id);
    reader.start_read(packs_[info.pack].handle, info.offset + offset, size);
}

void ResourceLoader::read_resource_async(io::Request& request, uint32_t id, void* destination, uint32_t offset,
                                         uint32_t size) {
    const ResourceInfo& info = get_resource_info(id);
    // Memory with a load pending is still being written by the loader
    // thread, and a range past the resource is not in its block; the pack
    // has the bytes either way.
    if (!info.has_state(resource_state::load_pending) && uint64_t{offset} + size <= info.unpacked_size) {
        if (const void* const memory = get_resource_memory(info)) {
            complete_from_memory(request, static_cast<const uint8_t*>(memory), destination, offset, size);
            return;
        }
    }
    request.handle = packs_[info.pack].handle;
    request.set_file_path(packs_[info.pack].path);
    io::queue_request(destination, info.offset + offset, &request, size);
}

bool ResourceLoader::read_resource_sync(uint32_t id, void* destination, uint32_t offset, uint32_t size) {
    io::Request request;
    request.flags = io::open_read | io::quiet_failure | io::handle_not_owned;
    read_resource_async(request, id, destination, offset, size);
    request.event.wait();
    return request.handle_error(request.flags);
}

}  // namespace zolt::core
