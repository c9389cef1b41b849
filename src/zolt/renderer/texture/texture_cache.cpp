#include "zolt/renderer/texture/texture_cache.h"

#include "libs/opengl/opengl_capabilities.h"
#include "libs/utility/fatal_error.h"
#include "zolt/core/resources/resource_loader.h"
#include "zolt/renderer/backend/buffer_object_bytes.h"
#include "zolt/renderer/texture/texture_render_target_ids.h"
#include "zolt/renderer/texture/texture_resource_format.h"
#include "zolt/renderer/texture/texture_server.h"

namespace zolt::renderer {

namespace {

// Render targets of these slots are made again at will; the others may be
// costly to make again.
constexpr uint32_t first_kept_render_target_slot = 10;

uint32_t get_bucket(uint32_t id) {
    return id % texture_cache_bucket_count;
}

void delete_gl_texture(uint32_t name) {
    if (name != 0) {
        opengl::gl.glDeleteTextures(1, &name);
    }
}

}  // namespace

void release_upload_record(TextureUploadRecord& upload) {
    delete_gl_texture(upload.name);
    subtract_buffer_object_bytes(upload.bytes);
    if (upload.low_resolution_name != upload.name) {
        delete_gl_texture(upload.low_resolution_name);
        subtract_buffer_object_bytes(upload.low_resolution_bytes);
    }
    upload = {};
}

TextureCache::TextureCache() {
    for (uint32_t& bucket : buckets_) {
        bucket = no_record;
    }
    for (uint32_t index = 0; index < texture_cache_capacity; ++index) {
        records_[index].next = index + 1 < texture_cache_capacity ? index + 1 : no_record;
    }
}

void TextureCache::cache_texture(uint32_t id, TextureUploadState state, const TextureUploadRecord& upload) {
    const std::lock_guard lock(mutex_);
    if (free_head_ == no_record) {
        ZOLT_PANIC("out of memory");
    }
    const uint32_t index = free_head_;
    CachedTexture& record = records_[index];
    free_head_ = record.next;
    record.id = id;
    record.state = state;
    record.upload = upload;
    uint32_t& bucket = buckets_[get_bucket(id)];
    record.next = bucket;
    bucket = index;
    ++cached_count_;
}

bool TextureCache::take_cached_texture(uint32_t id, TextureUploadState* state, TextureUploadRecord* upload) {
    const std::lock_guard lock(mutex_);
    for (uint32_t* link = &buckets_[get_bucket(id)]; *link != no_record; link = &records_[*link].next) {
        CachedTexture& record = records_[*link];
        if (record.id != id) {
            continue;
        }
        *state = record.state;
        *upload = record.upload;
        const uint32_t index = *link;
        *link = record.next;
        record.next = free_head_;
        free_head_ = index;
        --cached_count_;
        return true;
    }
    return false;
}

void TextureCache::release_record(uint32_t index) {
    CachedTexture& record = records_[index];
    release_upload_record(record.upload);
    record.next = free_head_;
    free_head_ = index;
    --cached_count_;
}

template <typename Predicate>
bool TextureCache::release_where(Predicate predicate) {
    const std::lock_guard lock(mutex_);
    bool released = false;
    for (uint32_t& bucket : buckets_) {
        for (uint32_t* link = &bucket; *link != no_record;) {
            const uint32_t index = *link;
            if (!predicate(records_[index].id)) {
                link = &records_[index].next;
                continue;
            }
            *link = records_[index].next;
            release_record(index);
            released = true;
        }
    }
    return released;
}

void TextureCache::release_all_cached() {
    release_where([](uint32_t) { return true; });
}

bool TextureCache::release_cached_for_memory() {
    return release_where([](uint32_t id) {
        return is_resource_texture_id(id) ||
               (is_render_target_texture_id(id) && get_render_target_slot(id) < first_kept_render_target_slot);
    });
}

void TextureCache::drop_uploads_of_unloaded_resources(const core::ResourceLoader& loader) {
    release_where([&loader](uint32_t id) {
        if (!is_resource_texture_id(id)) {
            return false;
        }
        // A lookup changes nothing; the loader only lacks a const one.
        const core::ResourceInfo* const info = const_cast<core::ResourceLoader&>(loader).find_resource(id);
        if (info == nullptr || !info->has_state(core::resource_state::in_memory | core::resource_state::open)) {
            return true;
        }
        return (loader.get_pack(info->pack).flags & core::pack_flag::marked) == 0;
    });
}

uint32_t TextureCache::get_cached_count() const {
    const std::lock_guard lock(mutex_);
    return cached_count_;
}

}  // namespace zolt::renderer

namespace zolt::core {

// The shake is about to drop the resources of unmarked packs.
void drop_textures_of_unmarked_packs(const ResourceLoader& loader) {
    renderer::texture_server.get_cache().drop_uploads_of_unloaded_resources(loader);
}

}  // namespace zolt::core
