#pragma once
// The texture server (type 23, "TextureServer"): its 2048 texture objects
// with reference counts and a destruction queue, the 128 render-target
// slots, the GL texture cache, the video-memory budget with streaming of the
// top levels from the packs (one read at a time, on the IO thread, polled
// each frame) and downgrades under pressure, the three upload pixel buffers,
// the sixteen texture units with their binding cache, and the shadow-map
// render targets. Registering it checks the graphics hardware, loads the
// shader library and installs its steps in the rendering commands. Textures
// keep no pointers into resources: when resources move, only the shader
// library reloads its own. Main (rendering) thread only; the cache has its
// own lock.
#include <cstdint>

#include "libs/io/request.h"
#include "libs/utility/ring_list.h"
#include "zolt/core/object_server/pooled_server.h"
#include "zolt/renderer/texture/texture_cache.h"
#include "zolt/renderer/texture/texture_object.h"
#include "zolt/renderer/texture/texture_pixel_buffers.h"
#include "zolt/renderer/texture/texture_render_target_ids.h"

namespace zolt::renderer {

constexpr uint32_t texture_capacity = 2048;
constexpr uint32_t texture_unit_count = 16;
constexpr uint32_t streaming_buffer_size = 0x1400000;
// Streaming goes on while this much of the budget stays free.
constexpr uint64_t streaming_headroom_bytes = 0x2000000;
// Frames between two streaming steps.
constexpr uint32_t streaming_step_frames = 2;

// Classes of resource textures by the format's lightmap bit.
enum class TextureClass : uint32_t { normal = 0, lightmap = 1 };
constexpr uint32_t texture_class_count = 2;

// The server's texture lists: each texture sits on exactly one.
enum TextureListIndex : uint8_t {
    first_resource_texture_list = 0,  // + class x 6 + upload state
    pending_render_target_list = texture_class_count * texture_upload_state_count,
    uploaded_render_target_list,
    texture_list_count,
    no_texture_list = 0xFF,
};

// One streamed read: the streamed-levels resource, its bytes and the state
// the texture reaches with them. Size 0 reads nothing.
struct TextureStreamRequest {
    uint32_t resource_id = 0;
    uint32_t offset = 0;
    uint32_t size = 0;
    TextureUploadState target = TextureUploadState::not_uploaded;
};

// min(max(MB, 250) - 30, 700); no answer (0) gives 220.
uint32_t compute_video_memory_budget(uint32_t megabytes);
// The shadow-map render targets: one more than the maps asked for, fewer
// when a texture above 2048 texels holds the tiles of several maps. Texture
// i is in render-target slot 5 + i.
uint32_t compute_shadowmap_texture_count(uint32_t wanted_count, uint32_t size);
uint32_t get_shadowmap_texture_id(uint32_t index);

class TextureServer final : public core::PooledServer<TextureObject, texture_capacity> {
public:
    TextureServer();

    const char* get_name() const override { return "TextureServer"; }
    // Checks the texture units (fewer than 16 ends the program with the
    // graphics-below-minimum exit code), measures the budget, makes the
    // pixel buffers, installs the rendering-command steps and creates the
    // render targets (rendering command 4).
    void register_server() override;
    void unregister_server() override;
    void start() override;
    void stop() override;
    // The shader library finds its resource again.
    void notify_resources_moved() override;
    // The base records, the texture owner, whether streaming is on, then the
    // shader library.
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    bool try_make_room(bool on_rendering_thread) override { return destroy_queued_textures(); }
    // The texture of the id with one more reference, made when there is
    // none; one found on the destruction queue leaves it.
    core::ServerObject* create_object_internal(uint32_t id) override;
    // One reference less; at 0 the texture joins the destruction queue. A
    // texture without references is destroyed at once.
    void destroy_object_internal(core::ServerObject* object) override;
    // Rendering command 8.
    void destroy_all_objects() override;

    TextureObject* create_texture(uint32_t id) { return static_cast<TextureObject*>(create_object_internal(id)); }
    void release_texture(TextureObject* texture) { destroy_object_internal(texture); }
    // A resource id the packs do not know is the panic "resource 0x%08x not
    // found". Null when no texture has the id.
    TextureObject* find_texture(uint32_t id);
    // A render target's slot held by a live texture is a panic; one held by
    // a queued texture is freed by emptying the queue.
    void ensure_free_texture_slot(uint32_t id);
    // True when there was one.
    bool destroy_queued_textures();
    // Rendering command 6: every live texture uploads again from the start.
    void reload_all();
    // Once a frame: first uploads, then one streaming or downgrade step at
    // most every 2 frames.
    void update_textures();
    // First uploads of the render targets, and of resource textures when
    // asked; true when anything was uploaded.
    bool initialize_pending_textures(bool include_resource_textures);
    // Releases cached textures and downgrades until the bytes fit the budget
    // or nothing is left to downgrade.
    void make_room_for(uint64_t bytes);
    // Rendering command 4.
    void create_shadowmap_textures();
    // Rendering command 1 with compatibility_fix_dummy_draw_textures.
    void dummy_draw_new_textures();

    // Streaming.
    TextureStreamRequest prepare_stream_request(TextureObject* texture) const;
    void start_streaming(TextureObject* texture);
    // True when nothing is pending any more.
    bool finish_streaming();
    // Waits for a pending read and forgets it.
    void abandon_streaming();
    bool is_streaming_pending() const { return streaming_id_ != 0; }
    bool is_streaming_enabled() const { return streaming_enabled_; }
    void set_streaming_enabled(bool enabled) { streaming_enabled_ = enabled; }
    const TextureStreamRequest& get_stream_request() const { return stream_request_; }
    const uint8_t* get_streaming_buffer() const { return streaming_buffer_; }

    // The budget.
    uint32_t get_video_memory_budget() const { return video_memory_budget_; }
    // |video_memory_limit| MB less the buffer-object bytes, never below 0.
    uint64_t get_free_video_memory() const;
    TextureObject* choose_upgrade_candidate();
    TextureObject* choose_downgrade_victim(bool allow_recent);
    static bool worth_downgrading(const TextureObject* victim, const TextureObject* candidate);
    // Back to the resident levels.
    void downgrade(TextureObject* texture);
    bool release_cached_for_memory() { return cache_.release_cached_for_memory(); }

    // Texture units: a request per unit, bound when committed; binding the
    // texture a unit has already makes no GL call.
    void request_texture(uint32_t unit, TextureObject* texture);
    void commit_texture_units(uint32_t first, uint32_t last);
    void bind_texture_unit(uint32_t unit, TextureObject* texture, TextureObject* old_texture);
    TextureObject* get_bound_texture(uint32_t unit) const { return bound_[unit]; }
    // One above the highest unit requested since the units were last committed.
    uint32_t get_requested_unit_count() const { return requested_unit_count_; }
    uint32_t get_active_unit() const { return active_unit_; }
    // Makes the unit active through the cache.
    void activate_texture_unit(uint32_t unit);
    // Code that bound a texture to the active unit behind the cache (uploads
    // do) and then unbound the target tells it here.
    void note_target_unbound(uint32_t gl_target);
    // The texture's GL texture changed or went: no unit has it bound any more.
    void forget_unit_bindings(const TextureObject* texture);

    // The owner new resource textures become children of (none: 0).
    core::ObjectHandle get_texture_owner() const { return texture_owner_; }
    core::ObjectHandle set_texture_owner(core::ObjectHandle owner);
    // A texture for every loaded texture header, each a child of the owner.
    void create_resource_textures(core::ObjectHandle owner);

    uint32_t get_shadowmap_texture_count() const { return shadowmap_texture_count_; }
    uint32_t get_shadowmap_size() const { return shadowmap_size_; }
    TextureObject* get_render_target_in_slot(uint32_t slot) const { return render_target_slots_[slot]; }

    TextureCache& get_cache() { return cache_; }
    UploadPixelBuffers& get_upload_pixel_buffers() { return pixel_buffers_; }
    uint32_t get_last_streaming_frame() const { return last_streaming_frame_; }
    TextureObject* get_list_head(uint32_t list) const { return lists_[list]; }
    TextureObject* get_next_in_list(const TextureObject* texture) const;

    // For texture objects: their place in the lists, the slots and the ids.
    void link_texture(TextureObject* texture);
    void unlink_texture(TextureObject* texture);
    void set_upload_state(TextureObject* texture, TextureUploadState state);
    // Whether a texture of the id read from a saved world has its id and its
    // render-target slot to itself.
    bool can_take_loaded_texture(uint32_t id) const;

private:
    using TextureRing = RingList<TextureObject, &TextureObject::list_next_, &TextureObject::list_previous_>;
    using QueueRing = RingList<TextureObject, &TextureObject::queue_next_, &TextureObject::queue_previous_>;

    static constexpr uint32_t get_resource_list_index(TextureClass texture_class, TextureUploadState state) {
        return first_resource_texture_list + static_cast<uint32_t>(texture_class) * texture_upload_state_count +
               static_cast<uint32_t>(state);
    }

    void check_texture_units();
    void install_rendering_steps();
    void remove_rendering_steps();
    void enqueue(TextureObject* texture);
    void dequeue(TextureObject* texture);
    void upload_pending_render_targets(bool* uploaded);
    TextureObject* find_in_id_index(uint32_t id) const;
    uint32_t get_resource_list(const TextureObject* texture, TextureUploadState state) const;

    TextureObject* bound_[texture_unit_count] = {};
    TextureObject* requested_[texture_unit_count] = {};
    uint32_t requested_unit_count_ = 0;
    uint32_t active_unit_ = 0;

    TextureObject* render_target_slots_[render_target_slot_count] = {};
    UploadPixelBuffers pixel_buffers_;
    core::ObjectHandle texture_owner_ = 0;

    TextureObject* lists_[texture_list_count] = {};
    TextureObject* destruction_queue_ = nullptr;
    TextureObject* id_buckets_[texture_cache_bucket_count] = {};

    uint32_t video_memory_budget_ = 0;
    uint32_t shadowmap_texture_count_ = 0;
    uint32_t shadowmap_size_ = 0;

    uint32_t last_streaming_frame_ = 0;
    bool streaming_enabled_ = true;
    uint32_t streaming_id_ = 0;
    TextureStreamRequest stream_request_;
    io::Request request_;
    TextureCache cache_;
    alignas(16) uint8_t streaming_buffer_[streaming_buffer_size];
};

extern TextureServer texture_server;

}  // namespace zolt::renderer
