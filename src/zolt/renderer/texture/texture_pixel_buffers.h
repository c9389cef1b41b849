#pragma once
// The three pixel buffers texture uploads are staged in when
// compatibility_fix_use_pbo allows: the segments of one upload are copied
// into them in order, so that the driver takes the levels from buffer
// objects instead of client memory. Their sizes count against the video
// memory budget while they exist. Rendering thread only.
#include <cstdint>

namespace zolt::renderer {

constexpr uint32_t upload_pixel_buffer_count = 3;
constexpr uint32_t upload_pixel_buffer_sizes[upload_pixel_buffer_count] = {1398100, 4194304, 16777216};

// Where one staged segment lies.
struct StagedSegment {
    uint32_t buffer;  // the GL buffer name, 0 when not staged
    uint32_t offset;
};

class UploadPixelBuffers {
public:
    // Drains GL errors; makes the buffers when allowed, each one that GL
    // refuses deleted again.
    void initialize();
    void release();
    uint32_t get_name(uint32_t index) const { return buffers_[index].name; }
    bool has_any() const;

    // Packs the segments in order, 4-byte aligned, each buffer taking
    // segments while they fit, and copies them in. False, with nothing
    // staged, when they do not all fit or a buffer cannot be mapped; the
    // unpack binding is back at 0 either way.
    bool stage(const uint8_t* const* data, const uint32_t* sizes, uint32_t count, StagedSegment* placements);

private:
    struct Buffer {
        uint32_t name = 0;
        uint32_t size = 0;
    };
    Buffer buffers_[upload_pixel_buffer_count];
};

// Whether uploads may use pixel buffers: compatibility_fix_use_pbo 1, or 2
// with the NVIDIA pixel-buffer quirk, and buffer objects in the driver.
bool are_upload_pixel_buffers_allowed();

}  // namespace zolt::renderer
