#include "zolt/core/resources/resource_object.h"

#include "libs/io/pack_format.h"
#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/resources/resource_server.h"

namespace zolt::core {

void ResourceObject::initialize(uint32_t id) {
    reference_count_ = 0;
    attach(resource_server.get_loader().get_resource_info(id));
}

void ResourceObject::finalize() {
    close();
}

void ResourceObject::attach(ResourceInfo& info) {
    ResourceLoader& loader = resource_server.get_loader();
    if (!info.has_state(resource_state::in_memory | resource_state::open | resource_state::load_pending)) {
        loader.request_load(info);
    }
    void* const memory = loader.wait_until_loaded(info);
    info_ = &info;
    data_ = memory;
    info.data.object = this;
    info.add_state(resource_state::open | resource_state::opened_once);
}

void ResourceObject::close() {
    if (info_ == nullptr) {
        return;
    }
    ResourceInfo& info = *info_;
    info.data.memory = data_;
    info.remove_state(resource_state::open);
    info.add_state(resource_state::in_memory);
    if ((info.flags & io::resource_flag_deferred) != 0) {
        resource_server.get_loader().free_aligned(info, data_, info.unpacked_size);
        info.data.memory = nullptr;
        info.remove_state(resource_state::in_memory);
    }
    info_ = nullptr;
    data_ = nullptr;
}

void ResourceObject::save(storage::SaveStream& stream) {
    ServerObject::save(stream);
    write_u32(stream, info_ != nullptr ? info_->id : 0);
    write_u32(stream, reference_count_);
}

bool ResourceObject::load(storage::LoadStream& stream) {
    uint32_t id = 0;
    if (!ServerObject::load(stream) || !read_u32(stream, id) || !read_u32(stream, reference_count_)) {
        return false;
    }
    info_ = nullptr;
    data_ = nullptr;
    ResourceInfo& info = resource_server.get_loader().get_resource_info(id);
    if ((info.flags & io::resource_flag_not_reopened) != 0) {
        resource_server.destroy_object_now(this);
        return true;
    }
    // One object per resource: a second one in the stream is broken data.
    if (info.has_state(resource_state::open)) {
        return false;
    }
    attach(info);
    ServerObject::make_self_owned(this);
    return true;
}

}  // namespace zolt::core
