#pragma once
// The decal server (type 39): the ten decal sets, the decal clock they age
// by (advanced only by scripts), one render record per set with its material
// and its double-buffered vertex stream, the index stream all sets draw
// with, and seven materials that warm the decal shaders up. Sets that
// changed are uploaded once a frame, oldest triangles first. Main thread;
// the streams are touched only inside rendering commands.
#include <cstdint>

#include "zolt/core/object_server/pooled_server.h"
#include "zolt/renderer/batcher/render_request.h"
#include "zolt/renderer/decals/decal.h"

namespace zolt::renderer {

class DecalGeometry;
struct Stream;

constexpr uint32_t decal_server_type = 39;
constexpr uint32_t decal_set_capacity = 10;
constexpr uint32_t decal_vertex_stream_format = 0x0010004C;
constexpr uint32_t decal_index_stream_format = 0x00010002;
constexpr uint32_t decal_index_count = decal_triangle_capacity * 3;
constexpr uint32_t decal_warm_up_material_count = 7;
constexpr uint32_t first_decal_warm_up_shader = 19;
// Ageing runs once the clock moved further than this since it last ran.
constexpr uint32_t decal_ageing_interval = 1999999;

namespace decal_set_state {
constexpr uint32_t released = 0, live = 1, destroyed = 2;
}  // namespace decal_set_state

// The render side of a set; it answers the decal shaders' constant: the
// seconds since the time base, the lifetime and the fade time.
struct DecalRender final : RenderValueProvider {
    void get_value(geometry::Vector4* out, uint32_t id) const override;

    core::ObjectHandle material = 0;
    Stream* stream = nullptr;
    // The vertex stream and the shared index stream, as requests name them.
    const Stream* streams[2] = {};
    uint32_t creation_frame = 0;
    uint32_t time_base = 0;
    uint32_t triangle_count = 0;
    float lifetime = 0;
    float fade_time = 0;
    uint32_t state = decal_set_state::released;
};

// Where a target's geometry resource comes from, opened for the set that
// keeps it: by default the one of the target's mesh (see decal_targets.h);
// without one projected decals find nothing.
using DecalGeometryLookup = core::ObjectHandle (*)(core::ObjectHandle target);

class DecalServer final : public core::PooledServer<Decal, decal_set_capacity> {
public:
    DecalServer() : PooledServer(decal_server_type) {}

    const char* get_name() const override { return "DecalServer"; }
    void register_server() override;
    void unregister_server() override;
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    void object_created(core::ServerObject* object) override;
    void object_loaded(core::ServerObject* object) override;
    void object_destroyed(core::ServerObject* object) override;
    // Destroyed sets wait for the rendering thread's release pass.
    bool is_object_in_use(core::ServerObject* object, bool on_rendering_thread) override {
        return !on_rendering_thread;
    }
    void object_released(core::ServerObject* object) override;
    // Rendering thread: the render clock follows the decal clock and every
    // changed set is uploaded.
    void update() override;
    uint32_t get_memory_size() const override { return static_cast<uint32_t>(sizeof(*this)); }

    uint32_t get_decal_clock() const { return decal_clock_; }
    uint32_t get_render_clock() const { return render_clock_; }
    // Builtin 599.
    void advance_clock(uint32_t ticks);
    // Every set expired; the emptied ones that ask for it destroyed.
    void age_sets();

    // A set of the target matching the description, or a new one; null when
    // the target is none or no slot is free.
    Decal* find_or_create_set(const DecalDescription& description, core::ObjectHandle target);
    // The sets of a target in creation order.
    template <typename Visit>
    void for_each_set_of(core::ObjectHandle target, Visit visit) {
        core::for_each_live_object(this, [&](core::ServerObject* object) {
            auto* const set = static_cast<Decal*>(object);
            if (target != 0 && set->get_target() == target) {
                visit(*set);
            }
        });
    }
    // The surface of a geometry resource, opened in scratch; null without one.
    const DecalSurface* open_surface(core::ObjectHandle geometry_resource, DecalGeometry& scratch) const;
    core::ObjectHandle find_geometry_resource(core::ObjectHandle target) const {
        return geometry_lookup != nullptr ? geometry_lookup(target) : 0;
    }

    void link_changed(Decal& set);
    DecalRender& get_render(const Decal& set) { return renders_[get_slot_index(set)]; }
    uint32_t get_slot_index(const Decal& set) const;
    core::ObjectHandle get_warm_up_material(uint32_t index) const { return warm_up_materials_[index]; }

    // Rendering commands 3 and 5, and the warm-up of command 11.
    void create_index_stream();
    void release_index_stream();
    void warm_up();
    // The target's set materials look their sources up again: bit 1 the
    // textures, bit 0 the constants.
    void refresh_target_materials(core::ObjectHandle target, uint32_t flags);
    // One triangle request per set of the target that holds triangles.
    void queue_target_requests(core::ObjectHandle target, const RenderInfo& info);

    DecalGeometryLookup geometry_lookup = nullptr;

private:
    void upload(Decal& set, DecalRender& render);
    void create_set_material(Decal& set);

    DecalRender renders_[decal_set_capacity];
    uint32_t render_clock_ = 0;
    uint32_t decal_clock_ = 0;
    uint32_t last_ageing_ = 0;
    core::ObjectHandle warm_up_materials_[decal_warm_up_material_count] = {};
    uint8_t changed_slots_[decal_set_capacity] = {};
    bool in_changed_ring_[decal_set_capacity] = {};
    uint32_t changed_count_ = 0;
    Stream* index_stream_ = nullptr;
    Stream* warm_up_stream_ = nullptr;
};

extern DecalServer decal_server;

}  // namespace zolt::renderer
