#include <algorithm>
#include <cinttypes>

#include "libs/utility/message_handler.h"
#include "zolt/core/resources/resource_server.h"
#include "zolt/renderer/backend/rendering_commands.h"
#include "zolt/renderer/texture/texture_resource_format.h"
#include "zolt/renderer/texture/texture_server.h"

namespace zolt::renderer {

void TextureServer::update_textures() {
    destroy_queued_textures();
    if (initialize_pending_textures(true)) {
        return;
    }
    const uint32_t completed = read_completed_counter();
    if (completed - last_streaming_frame_ < streaming_step_frames) {
        return;
    }
    if (is_streaming_pending() && !finish_streaming()) {
        return;
    }
    const uint64_t free_bytes = get_free_video_memory();
    if (free_bytes >= streaming_headroom_bytes) {
        TextureObject* const candidate = choose_upgrade_candidate();
        if (candidate == nullptr) {
            return;
        }
        const TextureUploadState state = candidate->get_upload_state();
        const uint64_t higher =
            candidate->estimate_texture_bytes(get_next_upload_state(state, candidate->get_streamed_segment_count()));
        const uint64_t current = candidate->estimate_texture_bytes(state);
        const uint64_t cost = higher > current ? higher - current : 0;
        if (free_bytes - std::min(cost, free_bytes) > streaming_headroom_bytes) {
            start_streaming(candidate);
            return;
        }
        if (cache_.release_cached_for_memory()) {
            return;
        }
        TextureObject* const victim = choose_downgrade_victim(false);
        if (victim != nullptr && worth_downgrading(victim, candidate)) {
            downgrade(victim);
            last_streaming_frame_ = completed;
        }
        return;
    }
    if (cache_.release_cached_for_memory()) {
        return;
    }
    if (TextureObject* const victim = choose_downgrade_victim(true)) {
        downgrade(victim);
        last_streaming_frame_ = completed;
    }
}

bool TextureServer::initialize_pending_textures(bool include_resource_textures) {
    destroy_queued_textures();
    const uint32_t resource_lists[] = {
        get_resource_list_index(TextureClass::normal, TextureUploadState::not_uploaded),
        get_resource_list_index(TextureClass::lightmap, TextureUploadState::not_uploaded),
    };
    uint64_t bytes = 0;
    for (TextureObject* texture = lists_[pending_render_target_list]; texture != nullptr;
         texture = get_next_in_list(texture)) {
        bytes += texture->estimate_texture_bytes(TextureUploadState::complete);
    }
    if (include_resource_textures) {
        for (const uint32_t list : resource_lists) {
            for (TextureObject* texture = lists_[list]; texture != nullptr; texture = get_next_in_list(texture)) {
                bytes += texture->estimate_texture_bytes(texture->get_streamed_segment_count() == 0
                                                             ? TextureUploadState::complete
                                                             : TextureUploadState::resident_levels);
            }
        }
    }
    make_room_for(bytes);
    bool uploaded = false;
    while (TextureObject* const texture = lists_[pending_render_target_list]) {
        texture->upload_internal_dynamic();
        uploaded = true;
    }
    if (include_resource_textures) {
        for (const uint32_t list : resource_lists) {
            while (TextureObject* const texture = lists_[list]) {
                texture->upload_resident_levels();
                uploaded = true;
            }
        }
    }
    if (uploaded) {
        last_streaming_frame_ = read_completed_counter();
    }
    return uploaded;
}

TextureStreamRequest TextureServer::prepare_stream_request(TextureObject* texture) const {
    TextureStreamRequest request;
    request.resource_id = get_streamed_levels_id(texture->get_id());
    const uint32_t segments = texture->get_streamed_segment_count();
    const TextureUploadState state = texture->get_upload_state();
    if (state != TextureUploadState::resident_levels && state != TextureUploadState::one_segment) {
        request.target = state;
        return request;
    }
    request.target = get_next_upload_state(state, segments);
    if (segments == 0) {
        request.target = TextureUploadState::complete;
        return request;
    }
    const uint32_t first = texture->get_level_size(0);
    const uint32_t second = segments == 2 ? texture->get_level_size(1) : 0;
    if (request.target == TextureUploadState::one_segment) {
        request.offset = first;
        request.size = second;
    } else {
        request.size = first + second;
    }
    return request;
}

void TextureServer::start_streaming(TextureObject* texture) {
    if (!streaming_enabled_ || is_streaming_pending()) {
        return;
    }
    const TextureStreamRequest request = prepare_stream_request(texture);
    if (request.size == 0) {
        return;
    }
    core::ResourceLoader& loader = core::resource_server.get_loader();
    const core::ResourceInfo& info = loader.get_resource_info(request.resource_id);
    // A read larger than the buffer would overrun it, and the bytes of a
    // packed resource at an offset are not its levels: neither is read, and
    // the texture stays at the resolution it has.
    const bool fits = request.size <= streaming_buffer_size;
    const bool is_stored_as_is = info.stored_size == info.unpacked_size;
    const bool is_inside = uint64_t{request.offset} + request.size <= info.unpacked_size;
    if (!fits || !is_stored_as_is || !is_inside) {
        report_message(MessageKind::Warning, nullptr, nullptr, 0,
                       "texture 0x%08" PRIx32 " is not streamed: its levels resource 0x%08" PRIx32 " %s",
                       texture->get_id(), request.resource_id,
                       !fits              ? "does not fit the streaming buffer"
                       : !is_stored_as_is ? "is packed"
                                          : "is shorter than its header says");
        texture->upload_.streaming_failed = true;
        return;
    }
    stream_request_ = request;
    streaming_id_ = texture->get_id();
    request_.flags = io::open_read | io::quiet_failure | io::handle_not_owned;
    loader.read_resource_async(request_, request.resource_id, streaming_buffer_, request.offset, request.size);
}

bool TextureServer::finish_streaming() {
    if (!is_streaming_pending()) {
        return true;
    }
    if (!request_.event.is_signalled()) {
        return false;
    }
    const bool has_read = request_.handle_error(request_.flags);
    TextureObject* const texture = find_in_id_index(streaming_id_);
    if (texture != nullptr && texture->get_reference_count() > 0 && has_read) {
        texture->upload_streamed_levels(streaming_buffer_, stream_request_.target);
        last_streaming_frame_ = read_completed_counter();
    }
    streaming_id_ = 0;
    if (!has_read && texture != nullptr) {
        texture->upload_.streaming_failed = true;
    }
    return true;
}

void TextureServer::abandon_streaming() {
    if (!is_streaming_pending()) {
        return;
    }
    request_.event.wait();
    streaming_id_ = 0;
}

}  // namespace zolt::renderer
