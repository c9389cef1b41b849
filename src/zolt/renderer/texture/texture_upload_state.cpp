#include "zolt/renderer/texture/texture_upload_state.h"

#include "libs/utility/fatal_error.h"

namespace zolt::renderer {

uint32_t get_skipped_level_count(TextureUploadState state, uint32_t streamed_segment_count) {
    switch (state) {
    case TextureUploadState::resident_levels:
        return streamed_segment_count;
    case TextureUploadState::one_segment:
        return 1;
    default:
        return 0;
    }
}

TextureUploadState get_next_upload_state(TextureUploadState state, uint32_t streamed_segment_count) {
    switch (state) {
    case TextureUploadState::complete:
        return TextureUploadState::complete;
    case TextureUploadState::resident_levels:
        return streamed_segment_count == 1 ? TextureUploadState::full_resolution : TextureUploadState::one_segment;
    case TextureUploadState::one_segment:
    case TextureUploadState::full_resolution:
        return TextureUploadState::full_resolution;
    default:
        ZOLT_PANIC("Invalid upload state %u", static_cast<uint32_t>(state));
    }
}

}  // namespace zolt::renderer
