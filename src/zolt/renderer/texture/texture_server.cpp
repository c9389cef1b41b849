#include "zolt/renderer/texture/texture_server.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cinttypes>

#include "libs/opengl/opengl_capabilities.h"
#include "libs/utility/fatal_error.h"
#include "libs/utility/ring_list.h"
#include "platform/display/video_memory.h"
#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/resources/resource_server.h"
#include "zolt/renderer/backend/rendering_commands.h"
#include "zolt/renderer/shaders/shader_library.h"
#include "zolt/renderer/shaders/shader_tags.h"
#include "zolt/renderer/texture/texture_config.h"
#include "zolt/renderer/texture/texture_resource_format.h"

namespace zolt::renderer {

TextureServer texture_server;

namespace {

constexpr GLint required_texture_unit_count = texture_unit_count;

uint32_t get_id_bucket(uint32_t id) {
    return id % texture_cache_bucket_count;
}

}  // namespace

TextureServer::TextureServer() : PooledServer(core::server_type::texture) {}

void TextureServer::register_server() {
    ServerBase::register_server();
    texture_owner_ = 0;
    streaming_enabled_ = true;
    check_texture_units();
    video_memory_budget_ = compute_video_memory_budget(platform::query_video_memory_megabytes());
    if (video_memory_limit < 0) {
        video_memory_limit = -static_cast<int32_t>(video_memory_budget_);
    }
    shader_library::detect_limits();
    shader_library::require_hardware_support();
    pixel_buffers_.initialize();
    install_rendering_steps();
    issue_rendering_command(create_render_targets_command);
}

void TextureServer::check_texture_units() {
    for (uint32_t unit = 0; unit < texture_unit_count; ++unit) {
        bound_[unit] = nullptr;
        requested_[unit] = nullptr;
    }
    requested_unit_count_ = 0;
    GLint units = 0;
    opengl::gl.glGetIntegerv(GL_MAX_TEXTURE_IMAGE_UNITS_ARB, &units);
    if (units < required_texture_unit_count) {
        set_fatal_exit_code(ExitCode::graphics_below_minimum);
        ZOLT_ERROR("The system claims to support only %d texture units however %u is required.", units,
                   texture_unit_count);
    }
    opengl::gl.glActiveTexture(GL_TEXTURE0);
    active_unit_ = 0;
    // Levels are read tightly packed from where they lie.
    opengl::gl.glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    opengl::gl.glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    opengl::gl.glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    opengl::gl.glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    opengl::gl.glPixelStorei(GL_UNPACK_IMAGE_HEIGHT, 0);
    opengl::gl.glPixelStorei(GL_UNPACK_SKIP_IMAGES, 0);
}

void TextureServer::install_rendering_steps() {
    RenderingCommandHooks& hooks = rendering_command_hooks;
    hooks.update_textures = [] { texture_server.update_textures(); };
    hooks.dummy_draw_new_textures = [] { texture_server.dummy_draw_new_textures(); };
    hooks.destroy_queued_textures = [] { texture_server.destroy_queued_textures(); };
    hooks.create_render_targets = [] {
        texture_server.initialize_pending_textures(false);
        texture_server.create_shadowmap_textures();
        texture_server.initialize_pending_textures(false);
    };
    hooks.reload_textures = [] {
        texture_server.reload_all();
        texture_server.initialize_pending_textures(false);
    };
}

void TextureServer::remove_rendering_steps() {
    RenderingCommandHooks& hooks = rendering_command_hooks;
    hooks.update_textures = nullptr;
    hooks.dummy_draw_new_textures = nullptr;
    hooks.destroy_queued_textures = nullptr;
    hooks.create_render_targets = nullptr;
    hooks.reload_textures = nullptr;
}

void TextureServer::unregister_server() {
    abandon_streaming();
    shader_library::unload();
    stop();
    cache_.release_all_cached();
    pixel_buffers_.release();
    remove_rendering_steps();
}

void TextureServer::start() {
    abandon_streaming();
    ServerBase::register_server();
}

void TextureServer::stop() {
    abandon_streaming();
    shader_library::release_global_textures();
    ServerBase::unregister_server();
}

void TextureServer::notify_resources_moved() {
    ServerBase::notify_resources_moved();
    shader_library::reload_after_resources_moved();
}

void TextureServer::save(storage::SaveStream& stream) {
    ServerBase::save(stream);
    core::write_u32(stream, texture_owner_);
    core::write_u8(stream, streaming_enabled_ ? 1 : 0);
    shader_library::save(stream);
}

bool TextureServer::load(storage::LoadStream& stream) {
    uint8_t streaming_enabled = 0;
    if (!ServerBase::load(stream) || !core::read_u32(stream, texture_owner_) ||
        !core::read_u8(stream, streaming_enabled) || !shader_library::load(stream)) {
        return false;
    }
    streaming_enabled_ = streaming_enabled != 0;
    const core::ObjectList& live = get_live_list();
    for (core::ServerObject* object = live.get_head(); object != nullptr;) {
        core::ServerObject* const next =
            core::ObjectList::get_next(object) != live.get_head() ? core::ObjectList::get_next(object) : nullptr;
        auto* const texture = static_cast<TextureObject*>(object);
        if (texture->reference_count_ == 0) {
            enqueue(texture);
        }
        object = next;
    }
    return true;
}

core::ServerObject* TextureServer::create_object_internal(uint32_t id) {
    if (TextureObject* const found = find_texture(id)) {
        if (found->reference_count_ == 0) {
            dequeue(found);
        }
        ++found->reference_count_;
        return found;
    }
    ensure_free_texture_slot(id);
    auto* const texture = static_cast<TextureObject*>(ServerBase::create_object_internal(id));
    core::ServerObject::make_self_owned(texture);
    texture->reference_count_ = 1;
    if (is_resource_texture_id(id) && texture_owner_ != 0) {
        if (core::ServerObject* const owner = core::get_object(texture_owner_)) {
            ++texture->reference_count_;
            core::ServerObject::attach_to_owner(texture, owner);
        }
    }
    return texture;
}

void TextureServer::destroy_object_internal(core::ServerObject* object) {
    auto* const texture = static_cast<TextureObject*>(object);
    if (texture->reference_count_ == 0) {
        ServerBase::destroy_object_internal(texture);
        return;
    }
    if (--texture->reference_count_ == 0) {
        enqueue(texture);
    }
}

void TextureServer::destroy_all_objects() {
    issue_rendering_command(destroy_all_textures_command);
    ServerBase::destroy_all_objects();
}

TextureObject* TextureServer::find_in_id_index(uint32_t id) const {
    for (TextureObject* texture = id_buckets_[get_id_bucket(id)]; texture != nullptr; texture = texture->id_next_) {
        if (texture->id_ == id) {
            return texture;
        }
    }
    return nullptr;
}

TextureObject* TextureServer::find_texture(uint32_t id) {
    if (is_resource_texture_id(id)) {
        core::resource_server.get_loader().get_resource_info(id);
        return find_in_id_index(id);
    }
    if (is_render_target_texture_id(id)) {
        TextureObject* const holder = render_target_slots_[get_render_target_slot(id)];
        return holder != nullptr && holder->id_ == id ? holder : nullptr;
    }
    return nullptr;
}

void TextureServer::ensure_free_texture_slot(uint32_t id) {
    if (!is_render_target_texture_id(id)) {
        return;
    }
    const uint32_t slot = get_render_target_slot(id);
    const TextureObject* const holder = render_target_slots_[slot];
    if (holder == nullptr) {
        return;
    }
    if (holder->reference_count_ > 0) {
        ZOLT_PANIC("Texture slot %u is used by live texture 0x%08" PRIx32 " while attempting to create 0x%08" PRIx32,
                   slot, holder->id_, id);
    }
    if (is_inside_rendering_command() || rendering_command_hooks.destroy_queued_textures == nullptr) {
        destroy_queued_textures();
    } else {
        issue_rendering_command(collect_dead_textures_command);
    }
}

bool TextureServer::can_take_loaded_texture(uint32_t id) const {
    if (find_in_id_index(id) != nullptr) {
        return false;
    }
    return !is_render_target_texture_id(id) || render_target_slots_[get_render_target_slot(id)] == nullptr;
}

bool TextureServer::destroy_queued_textures() {
    bool any = false;
    while (TextureObject* const texture = destruction_queue_) {
        ServerBase::destroy_object_internal(texture);
        any = true;
    }
    return any;
}

void TextureServer::reload_all() {
    destroy_queued_textures();
    cache_.release_all_cached();
    const core::ObjectList& live = get_live_list();
    for (core::ServerObject* object = live.get_head(); object != nullptr;) {
        core::ServerObject* const next =
            core::ObjectList::get_next(object) != live.get_head() ? core::ObjectList::get_next(object) : nullptr;
        auto* const texture = static_cast<TextureObject*>(object);
        texture->delete_gl_textures();
        texture->upload_ = {};
        set_upload_state(texture, TextureUploadState::not_uploaded);
        object = next;
    }
}

core::ObjectHandle TextureServer::set_texture_owner(core::ObjectHandle owner) {
    const core::ObjectHandle previous = texture_owner_;
    texture_owner_ = owner;
    return previous;
}

void TextureServer::create_resource_textures(core::ObjectHandle owner_handle) {
    const core::ObjectHandle saved_owner = texture_owner_;
    texture_owner_ = 0;
    core::ServerObject* const owner = core::get_object(owner_handle);
    const core::ResourceLoader& loader = core::resource_server.get_loader();
    for (uint32_t index = 0; index < loader.get_resource_count(); ++index) {
        const core::ResourceInfo& info = loader.get_resource(index);
        if (!is_resource_texture_id(info.id) || get_texture_header_id(info.id) != info.id ||
            !info.has_state(core::resource_state::in_memory | core::resource_state::open)) {
            continue;
        }
        TextureObject* const texture = create_texture(info.id);
        if (owner != nullptr && !core::ServerObject::is_in_owner_chain(owner, texture)) {
            core::ServerObject::attach_to_owner(texture, owner);
        }
    }
    texture_owner_ = saved_owner;
}

uint32_t TextureServer::get_resource_list(const TextureObject* texture, TextureUploadState state) const {
    return get_resource_list_index(texture->is_lightmap() ? TextureClass::lightmap : TextureClass::normal, state);
}

TextureObject* TextureServer::get_next_in_list(const TextureObject* texture) const {
    return texture->list_next_ != lists_[texture->list_index_] ? texture->list_next_ : nullptr;
}

void TextureServer::set_upload_state(TextureObject* texture, TextureUploadState state) {
    if (texture->list_index_ != no_texture_list) {
        TextureRing::remove(lists_[texture->list_index_], texture);
    }
    texture->upload_state_ = state;
    uint32_t list = 0;
    if (texture->is_resource_texture()) {
        list = get_resource_list(texture, state);
    } else {
        list = state == TextureUploadState::not_uploaded ? pending_render_target_list : uploaded_render_target_list;
    }
    TextureRing::append(lists_[list], texture);
    texture->list_index_ = static_cast<uint8_t>(list);
}

void TextureServer::link_texture(TextureObject* texture) {
    TextureObject*& bucket = id_buckets_[get_id_bucket(texture->id_)];
    texture->id_next_ = bucket;
    bucket = texture;
    if (is_render_target_texture_id(texture->id_)) {
        render_target_slots_[get_render_target_slot(texture->id_)] = texture;
    }
    texture->list_index_ = no_texture_list;
    texture->is_queued_ = false;
    set_upload_state(texture, texture->upload_state_);
}

void TextureServer::unlink_texture(TextureObject* texture) {
    if (texture->list_index_ != no_texture_list) {
        TextureRing::remove(lists_[texture->list_index_], texture);
        texture->list_index_ = no_texture_list;
    }
    dequeue(texture);
    for (TextureObject*& requested : requested_) {
        if (requested == texture) {
            requested = nullptr;
        }
    }
    for (TextureObject** link = &id_buckets_[get_id_bucket(texture->id_)]; *link != nullptr;
         link = &(*link)->id_next_) {
        if (*link == texture) {
            *link = texture->id_next_;
            break;
        }
    }
    texture->id_next_ = nullptr;
    if (is_render_target_texture_id(texture->id_)) {
        TextureObject*& slot = render_target_slots_[get_render_target_slot(texture->id_)];
        if (slot == texture) {
            slot = nullptr;
        }
    }
    if (streaming_id_ == texture->id_) {
        // The read finishes for nobody; a texture made again with the id
        // starts from the resident levels.
        stream_request_.target = TextureUploadState::not_uploaded;
    }
}

void TextureServer::enqueue(TextureObject* texture) {
    if (!texture->is_queued_) {
        QueueRing::append(destruction_queue_, texture);
        texture->is_queued_ = true;
    }
}

void TextureServer::dequeue(TextureObject* texture) {
    if (texture->is_queued_) {
        QueueRing::remove(destruction_queue_, texture);
        texture->is_queued_ = false;
    }
}

}  // namespace zolt::renderer
