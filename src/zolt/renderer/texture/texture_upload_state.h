#pragma once
// How far a texture is uploaded, and what it holds on the GPU. A resource
// texture climbs from its resident levels (low resolution) through one
// streamed segment to full resolution; render targets and resource textures
// without streamed segments are complete at once. Any thread.
#include <cstdint>

namespace zolt::renderer {

enum class TextureUploadState : uint32_t {
    not_uploaded = 0,
    failed = 1,  // no GL texture; binding it binds texture 0
    complete = 2,
    resident_levels = 3,
    one_segment = 4,  // the top level still missing
    full_resolution = 5,
};
constexpr uint32_t texture_upload_state_count = 6;

// The GL textures of one texture object, kept by the GL texture cache when
// the object goes. The low-resolution copy is the texture of the resident
// levels; in states 2 and 3 it is the texture itself.
struct TextureUploadRecord {
    bool streaming_failed = false;
    uint32_t low_resolution_name = 0;
    uint64_t low_resolution_bytes = 0;
    uint32_t name = 0;
    uint64_t bytes = 0;
};

// Top levels not on the GPU: none in states 2 and 5, the streamed segments in
// state 3, one in state 4 (none in the states without a GL texture).
uint32_t get_skipped_level_count(TextureUploadState state, uint32_t streamed_segment_count);
// 2 stays 2; 3 goes to 5 with one streamed segment, else to 4; 4 and 5 go to
// 5. Any other state is the panic "Invalid upload state %u".
TextureUploadState get_next_upload_state(TextureUploadState state, uint32_t streamed_segment_count);

}  // namespace zolt::renderer
