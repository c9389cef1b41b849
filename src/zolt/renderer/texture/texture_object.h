#pragma once
// A texture object (server type 23): one GL texture made from texture
// resources in the packs, or a render target whose size follows the display,
// a fixed table or the shadow-map size. A resource texture holds a reference
// on its header resource and on its resident-levels resource for its whole
// life; it reads their bytes only while uploading. It climbs from its
// resident levels to full resolution as the texture server streams its top
// levels in, and falls back to the resident levels under memory pressure.
// Main (rendering) thread only.
#include <cstdint>

#include "zolt/core/object_server/server_object.h"
#include "zolt/renderer/texture/texture_gl_formats.h"
#include "zolt/renderer/texture/texture_upload_state.h"

namespace zolt::renderer {

class TextureServer;
struct StagedSegment;

// Property 14: (width, height) as a 2-vector.
constexpr uint32_t texture_size_property = 0x2000000E;

// A fresh texture counts as used this many frames ago, so that nothing
// streams in for it before it is drawn.
constexpr uint32_t fresh_texture_age = 60000;
// Frames within which a texture counts as recently used.
constexpr uint32_t recently_used_frames = 300;
constexpr uint32_t recently_used_lightmap_frames = 30;

class TextureObject final : public core::ServerObject {
public:
    // Opens the header and resident-levels resources of a resource texture,
    // then sets the texture up.
    void initialize(uint32_t id) override;
    // Leaves the server's lists, hands its GL textures to the server's cache
    // and releases its resources.
    void finalize() override;
    // Handle, context, id, the two resource handles, age, reference count.
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    bool get_property(uint32_t id, core::Property& out) const override;

    uint32_t get_id() const { return id_; }
    bool is_resource_texture() const;
    bool is_lightmap() const;
    uint32_t get_width() const { return width_; }
    uint32_t get_height() const { return height_; }
    uint32_t get_depth() const { return depth_; }
    uint32_t get_format() const { return format_; }
    uint32_t get_level_count() const;
    uint32_t get_streamed_segment_count() const { return streamed_segment_count_; }
    TextureUploadState get_upload_state() const { return upload_state_; }
    const TextureUploadRecord& get_upload_record() const { return upload_; }
    bool has_streaming_failed() const { return upload_.streaming_failed; }
    uint32_t get_reference_count() const { return reference_count_; }
    uint32_t get_last_used_frame() const { return last_used_frame_; }
    void set_last_used_frame(uint32_t frame) { last_used_frame_ = frame; }
    core::ObjectHandle get_header_resource() const { return header_resource_; }
    core::ObjectHandle get_resident_resource() const { return resident_resource_; }

    uint32_t get_gl_target() const;
    TextureGlParameters get_gl_parameters() const;
    uint32_t get_assumed_texel_bit_size() const;
    // 1 uncompressed, 4 for block-compressed formats.
    uint32_t get_compression_block_dimension() const;
    // Bytes per element (per 4 x 4 block when compressed) in a resource.
    uint32_t get_in_resource_surface_element_size() const;
    // The GL name a unit binds: 0 for a texture whose upload failed.
    uint32_t get_bound_name() const;

    // Whole 4 KB pages per level, faces included; states 4 and 5 add the
    // low-resolution copy.
    uint64_t estimate_texture_bytes(TextureUploadState state) const;
    // The levels from the first not skipped down, without the copy.
    uint64_t estimate_level_bytes(uint32_t skipped_levels) const;
    // Used within the last 30 frames (lightmaps) or 300 (others).
    bool is_recently_used() const;

    // Render targets: one level without data.
    void upload_internal_dynamic();
    // The first upload of a resource texture: its resident levels.
    void upload_resident_levels();
    // After a streamed read of the top levels into data; a failed upload
    // keeps the low-resolution copy and marks the texture.
    void upload_streamed_levels(const uint8_t* data, TextureUploadState target);
    // A new GL texture of the resident levels, owned by the caller; 0 when
    // the upload fails or the texture has no resident levels.
    uint32_t clone() const;
    // Copies the frame buffer's rectangle into level 0; nothing after a
    // failed upload.
    void copy_from_frame_buffer(int32_t x, int32_t y, int32_t width, int32_t height);

    void upload_filtering(uint32_t target) const;
    void upload_wrapping(uint32_t target) const;
    // One face of one level; retried after errors, at most 5 times. The
    // bytes consumed, rounded up to 4, or 0 when every attempt failed.
    uint32_t upload_surface(const void* data, uint32_t width, uint32_t height, uint32_t depth, uint32_t level,
                            uint32_t target) const;

private:
    friend class TextureServer;

    // Consecutive levels of one memory block: the streamed levels or the
    // resident ones.
    struct SourceSegment {
        const uint8_t* data;
        uint32_t level_count;
    };

    void setup();
    void read_resource_attributes();
    void update_dynamic_texture_attributes();
    // A new GL texture of the levels from skipped_levels down, read from the
    // segments in order; bytes are added to the counter only on success.
    bool create_gl_texture(const SourceSegment* segments, uint32_t segment_count, uint32_t skipped_levels,
                           uint32_t* name, uint64_t* bytes) const;
    bool upload_levels(const SourceSegment* segments, uint32_t segment_count, const StagedSegment* placements,
                       uint32_t skipped_levels, uint32_t target) const;
    uint32_t get_level_size(uint32_t level) const;
    const uint8_t* get_resident_data() const;
    void set_gl_texture(uint32_t name, uint64_t bytes);
    void delete_gl_textures();

    uint32_t id_ = 0;
    core::ObjectHandle header_resource_ = 0;
    core::ObjectHandle resident_resource_ = 0;
    uint16_t width_ = 0;
    uint16_t height_ = 0;
    uint16_t depth_ = 0;
    uint16_t streamed_segment_count_ = 0;
    uint32_t format_ = 0;
    TextureUploadState upload_state_ = TextureUploadState::not_uploaded;
    TextureUploadRecord upload_;
    uint32_t last_used_frame_ = 0;
    uint32_t reference_count_ = 0;

    // The server's lists: one list for its class and state (or for render
    // targets), the destruction queue, and the chain of its id's bucket.
    TextureObject* list_next_ = nullptr;
    TextureObject* list_previous_ = nullptr;
    uint8_t list_index_ = 0xFF;
    bool is_queued_ = false;
    TextureObject* queue_next_ = nullptr;
    TextureObject* queue_previous_ = nullptr;
    TextureObject* id_next_ = nullptr;
};

}  // namespace zolt::renderer
