#pragma once
// The GL texture cache: the GL textures of destroyed texture objects, kept by
// texture id so that the same texture made again takes them back instead of
// uploading anew. Fixed records in a hash of 1033 buckets; the bytes of what
// it keeps stay counted until a record is released. Guarded by one mutex;
// releasing records deletes GL textures, which only the rendering thread
// may do.
#include <cstdint>
#include <mutex>

#include "zolt/renderer/texture/texture_upload_state.h"

namespace zolt::core {
class ResourceLoader;
}  // namespace zolt::core

namespace zolt::renderer {

constexpr uint32_t texture_cache_bucket_count = 1033;
constexpr uint32_t texture_cache_capacity = 4096;

class TextureCache {
public:
    TextureCache();
    TextureCache(const TextureCache&) = delete;
    TextureCache& operator=(const TextureCache&) = delete;

    // A full cache is the fatal "out of memory".
    void cache_texture(uint32_t id, TextureUploadState state, const TextureUploadRecord& upload);
    // False when nothing is kept for the id.
    bool take_cached_texture(uint32_t id, TextureUploadState* state, TextureUploadRecord* upload);
    void release_all_cached();
    // Those of resource textures and of render-target slots 0 to 9; true when
    // any was released.
    bool release_cached_for_memory();
    // Those of resource textures whose header resource is gone or lies in a
    // pack that is not marked.
    void drop_uploads_of_unloaded_resources(const core::ResourceLoader& loader);
    uint32_t get_cached_count() const;

private:
    static constexpr uint32_t no_record = 0xFFFFFFFF;

    struct CachedTexture {
        uint32_t id;
        TextureUploadState state;
        TextureUploadRecord upload;
        uint32_t next;
    };

    template <typename Predicate>
    bool release_where(Predicate predicate);
    void release_record(uint32_t index);

    mutable std::mutex mutex_;
    uint32_t buckets_[texture_cache_bucket_count];
    CachedTexture records_[texture_cache_capacity];
    uint32_t free_head_ = 0;
    uint32_t cached_count_ = 0;
};

// Deletes the GL textures of an upload record and takes their bytes off the
// counter: the low-resolution copy too when it is not the texture itself.
void release_upload_record(TextureUploadRecord& upload);

}  // namespace zolt::renderer
