#include <GL/gl.h>

#include <algorithm>
#include <cstdlib>

#include "libs/opengl/opengl_capabilities.h"
#include "zolt/renderer/backend/buffer_object_bytes.h"
#include "zolt/renderer/backend/rendering_commands.h"
#include "zolt/renderer/texture/texture_config.h"
#include "zolt/renderer/texture/texture_server.h"

namespace zolt::renderer {

namespace {

constexpr uint32_t least_counted_megabytes = 250;
constexpr uint32_t megabytes_left_to_others = 30;
constexpr uint32_t most_budget_megabytes = 700;
constexpr uint64_t bytes_per_megabyte = 1u << 20;

// The completed frames since the texture was last used.
uint32_t get_age(const TextureObject* texture, uint32_t completed) {
    return completed - texture->get_last_used_frame();
}

}  // namespace

uint32_t compute_video_memory_budget(uint32_t megabytes) {
    return std::min(std::max(megabytes, least_counted_megabytes) - megabytes_left_to_others, most_budget_megabytes);
}

uint64_t TextureServer::get_free_video_memory() const {
    // 64-bit: limits of 4096 MB and more count as they are.
    const uint64_t limit =
        static_cast<uint64_t>(std::abs(static_cast<int64_t>(video_memory_limit))) * bytes_per_megabyte;
    const uint64_t used = get_buffer_object_bytes();
    return used < limit ? limit - used : 0;
}

TextureObject* TextureServer::choose_upgrade_candidate() {
    const uint32_t completed = read_completed_counter();
    const uint32_t lists[] = {
        get_resource_list_index(TextureClass::lightmap, TextureUploadState::resident_levels),
        get_resource_list_index(TextureClass::lightmap, TextureUploadState::one_segment),
        get_resource_list_index(TextureClass::normal, TextureUploadState::resident_levels),
        get_resource_list_index(TextureClass::normal, TextureUploadState::one_segment),
    };
    for (const uint32_t list : lists) {
        TextureObject* best = nullptr;
        for (TextureObject* texture = lists_[list]; texture != nullptr; texture = get_next_in_list(texture)) {
            if (texture->has_streaming_failed() || !texture->is_recently_used()) {
                continue;
            }
            if (best == nullptr || get_age(texture, completed) < get_age(best, completed)) {
                best = texture;
            }
        }
        if (best != nullptr) {
            return best;
        }
    }
    return nullptr;
}

TextureObject* TextureServer::choose_downgrade_victim(bool allow_recent) {
    const uint32_t completed = read_completed_counter();
    auto least_recently_used = [&](uint32_t list) {
        TextureObject* oldest = nullptr;
        for (TextureObject* texture = lists_[list]; texture != nullptr; texture = get_next_in_list(texture)) {
            if (oldest == nullptr || get_age(texture, completed) > get_age(oldest, completed)) {
                oldest = texture;
            }
        }
        return oldest;
    };
    TextureObject* candidates[texture_class_count] = {};
    for (const TextureClass texture_class : {TextureClass::normal, TextureClass::lightmap}) {
        TextureObject* const full =
            least_recently_used(get_resource_list_index(texture_class, TextureUploadState::full_resolution));
        TextureObject* const one =
            least_recently_used(get_resource_list_index(texture_class, TextureUploadState::one_segment));
        const bool is_one_older =
            one != nullptr && (full == nullptr || get_age(one, completed) >= get_age(full, completed));
        candidates[static_cast<uint32_t>(texture_class)] = is_one_older ? one : full;
    }
    TextureObject* const lightmap = candidates[static_cast<uint32_t>(TextureClass::lightmap)];
    TextureObject* const normal = candidates[static_cast<uint32_t>(TextureClass::normal)];
    if (lightmap != nullptr && !lightmap->is_recently_used()) {
        return lightmap;
    }
    if (normal != nullptr) {
        return normal;
    }
    return allow_recent ? lightmap : nullptr;
}

bool TextureServer::worth_downgrading(const TextureObject* victim, const TextureObject* candidate) {
    if (victim == candidate) {
        return false;
    }
    if (victim->is_lightmap() && !victim->is_recently_used()) {
        return true;
    }
    if (!victim->is_lightmap() && candidate->is_lightmap()) {
        return true;
    }
    return candidate->is_recently_used() && !victim->is_recently_used();
}

void TextureServer::downgrade(TextureObject* texture) {
    TextureUploadRecord& upload = texture->upload_;
    if (upload.name != 0 && upload.name != upload.low_resolution_name) {
        GLuint full = upload.name;
        opengl::gl.glDeleteTextures(1, &full);
        subtract_buffer_object_bytes(upload.bytes);
    }
    texture->set_gl_texture(upload.low_resolution_name, upload.low_resolution_bytes);
    set_upload_state(texture, TextureUploadState::resident_levels);
}

void TextureServer::make_room_for(uint64_t bytes) {
    if (bytes == 0 || get_free_video_memory() >= bytes) {
        return;
    }
    destroy_queued_textures();
    for (;;) {
        cache_.release_cached_for_memory();
        if (get_free_video_memory() >= bytes) {
            return;
        }
        TextureObject* const victim = choose_downgrade_victim(true);
        if (victim == nullptr) {
            return;
        }
        downgrade(victim);
    }
}

}  // namespace zolt::renderer
