#pragma once
// The visual server (type 26, "VisualServer", 5000 visuals). Besides its
// pool it keeps one render record per slot, the update list (visuals whose
// record is out of date), the pending list (visuals that follow their
// placement and sectors each frame), the global list (visuals drawn in every
// view whatever the sectors) and the render-side chain of global records.
// Main (rendering) thread only.
#include <cstdint>

#include "zolt/core/object_server/pooled_server.h"
#include "zolt/renderer/visuals/visual.h"

namespace zolt::renderer {

struct VisibilityContext;

constexpr uint32_t visual_server_type = 26;
constexpr uint32_t visual_capacity = 5000;

// A small list of pool slots with membership flags, order kept.
struct VisualSlotList {
    uint16_t slots[visual_capacity] = {};
    uint8_t member[visual_capacity] = {};
    uint32_t count = 0;

    bool contains(uint32_t slot) const { return member[slot] != 0; }
    void add(uint32_t slot);
    void remove(uint32_t slot);
    void clear();
};

class VisualServer final : public core::PooledServer<Visual, visual_capacity> {
public:
    VisualServer() : PooledServer(visual_server_type) {}

    const char* get_name() const override { return "VisualServer"; }
    void register_server() override;
    void unregister_server() override;
    // After the objects: the pending visuals, then the global ones, each
    // list ending with 0.
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    void object_loaded(core::ServerObject* object) override;
    bool is_object_in_use(core::ServerObject* object, bool on_rendering_thread) override {
        return !on_rendering_thread;
    }
    void object_released(core::ServerObject* object) override;
    // Copies the visuals of the update list into their records, then
    // rebuilds the render-side rings and the chain of global records.
    void update() override;
    // Placements followed, sectors re-homed; once per frame before update.
    void update_pending_visuals();

    Visual* create_visual(uint32_t mesh_id) { return static_cast<Visual*>(create_object_internal(mesh_id)); }
    Visual* find_visual(core::ObjectHandle handle);
    uint32_t get_slot_of(const Visual& visual) const;
    VisualRender& get_render(const Visual& visual) { return records_[get_slot_of(visual)]; }
    VisualRender& get_render_at(uint32_t slot) { return records_[slot]; }
    const VisualRender* get_first_global_render() const { return first_global_; }

    void add_to_update_list(Visual& visual) { update_list_.add(get_slot_of(visual)); }
    void add_to_pending_list(Visual& visual) { pending_list_.add(get_slot_of(visual)); }
    void remove_from_pending_list(Visual& visual) { pending_list_.remove(get_slot_of(visual)); }
    bool is_pending(const Visual& visual) const { return pending_list_.contains(get_slot_of(visual)); }
    void set_global(Visual& visual, bool global);
    bool is_on_global_list(const Visual& visual) const { return global_list_.contains(get_slot_of(visual)); }
    // A ring of some sector gained or lost a visual.
    void mark_rings_changed() { rings_changed_ = true; }

    // Every visual of the sector's rings marked changed and kept pending.
    void mark_sector_visuals_for_update(servers::Sector& sector);
    // The sector's visuals leave both rings and look for a new home.
    void forget_sector(servers::Sector& sector);

    // Every visible global visual that shares the view mask, as an item.
    void queue_shadow_casters(VisibilityContext& context);

    // Texture (flag 2) and constant (flag 1) bindings of the visual's mesh
    // materials resolved again.
    void refresh_visual_material_bindings(const Visual& visual, uint32_t flags);

private:
    void release_render(uint32_t slot);
    void rebuild_render_rings();
    // Visits the visuals of one ring of the sector in order; the next handle
    // is read before each visit, so a visit may unlink its visual.
    template <typename Visit>
    void for_each_visual_in_ring(const servers::Sector& sector, uint32_t ring, Visit visit);

    VisualRender records_[visual_capacity];
    VisualSlotList update_list_;
    VisualSlotList pending_list_;
    VisualSlotList global_list_;
    const VisualRender* first_global_ = nullptr;
    bool rings_changed_ = false;
};

extern VisualServer visual_server;

}  // namespace zolt::renderer
