#include "zolt/renderer/visuals/visual_server.h"

#include "zolt/core/object_server/stream_words.h"
#include "zolt/navigation/sector.h"
#include "zolt/renderer/backend/rendering_commands.h"
#include "zolt/renderer/fake_shadows/fake_shadow_visuals.h"
#include "zolt/renderer/materials/material_server.h"
#include "zolt/renderer/mesh/mesh_server.h"
#include "zolt/renderer/view/view_hooks.h"
#include "zolt/renderer/visuals/visual_queue.h"

namespace zolt::renderer {

VisualServer visual_server;

void VisualSlotList::add(uint32_t slot) {
    if (member[slot] == 0) {
        member[slot] = 1;
        slots[count++] = static_cast<uint16_t>(slot);
    }
}

void VisualSlotList::remove(uint32_t slot) {
    if (member[slot] == 0) {
        return;
    }
    member[slot] = 0;
    for (uint32_t index = 0; index < count; ++index) {
        if (slots[index] == slot) {
            for (uint32_t rest = index + 1; rest < count; ++rest) {
                slots[rest - 1] = slots[rest];
            }
            --count;
            return;
        }
    }
}

void VisualSlotList::clear() {
    for (uint32_t index = 0; index < count; ++index) {
        member[slots[index]] = 0;
    }
    count = 0;
}

void VisualServer::register_server() {
    for (uint32_t slot = 0; slot < visual_capacity; ++slot) {
        records_[slot] = VisualRender{};
    }
    update_list_.clear();
    pending_list_.clear();
    global_list_.clear();
    first_global_ = nullptr;
    rings_changed_ = false;
    PooledServer::register_server();
    rendering_command_hooks.update_pending_visuals = [] { visual_server.update_pending_visuals(); };
    view_hooks.queue_visible_sector_objects = &queue_visible_sector_objects;
    servers::sector_visual_hooks.sector_initialized = [](servers::Sector& sector) {
        visual_server.mark_sector_visuals_for_update(sector);
    };
    servers::sector_visual_hooks.sector_finalized = [](servers::Sector& sector) {
        visual_server.forget_sector(sector);
    };
}

void VisualServer::unregister_server() {
    rendering_command_hooks.update_pending_visuals = nullptr;
    view_hooks.queue_visible_sector_objects = nullptr;
    servers::sector_visual_hooks = servers::SectorVisualHooks{};
    destroy_all_objects();
    release_dead_objects(true);
    PooledServer::unregister_server();
    for (uint32_t slot = 0; slot < visual_capacity; ++slot) {
        release_render(slot);
    }
    update_list_.clear();
    pending_list_.clear();
    global_list_.clear();
    first_global_ = nullptr;
}

Visual* VisualServer::find_visual(core::ObjectHandle handle) {
    return handle != 0 && core::get_handle_server_type(handle) == visual_server_type ? get_typed_object(handle)
                                                                                     : nullptr;
}

uint32_t VisualServer::get_slot_of(const Visual& visual) const {
    return static_cast<uint32_t>((reinterpret_cast<const uint8_t*>(&visual) - get_object_array()) /
                                 get_object_stride());
}

void VisualServer::set_global(Visual& visual, bool global) {
    if (global) {
        global_list_.add(get_slot_of(visual));
    } else {
        global_list_.remove(get_slot_of(visual));
    }
    add_to_update_list(visual);
}

void VisualServer::object_loaded(core::ServerObject* object) {
    auto* const visual = static_cast<Visual*>(object);
    records_[get_slot_of(*visual)] = VisualRender{};
    add_to_update_list(*visual);
}

void VisualServer::object_released(core::ServerObject* object) {
    release_render(get_slot_of(*static_cast<Visual*>(object)));
}

void VisualServer::release_render(uint32_t slot) {
    release_fake_shadow_record(records_[slot].fake_shadow);
    records_[slot] = VisualRender{};
}

void VisualServer::update_pending_visuals() {
    uint32_t kept = 0;
    for (uint32_t index = 0; index < pending_list_.count; ++index) {
        const uint32_t slot = pending_list_.slots[index];
        Visual& visual = get_slot(slot);
        if (get_object_internal(visual.get_handle()) != nullptr && visual.update_pending()) {
            pending_list_.slots[kept++] = static_cast<uint16_t>(slot);
        } else {
            pending_list_.member[slot] = 0;
        }
    }
    pending_list_.count = kept;
}

void VisualServer::update() {
    uint32_t kept = 0;
    for (uint32_t index = 0; index < update_list_.count; ++index) {
        const uint32_t slot = update_list_.slots[index];
        Visual& visual = get_slot(slot);
        if (get_object_internal(visual.get_handle()) != nullptr) {
            visual.copy_to_render(records_[slot]);
            if (!visual.sync_fake_shadow(records_[slot], slot)) {
                update_list_.slots[kept++] = static_cast<uint16_t>(slot);
                continue;
            }
        }
        update_list_.member[slot] = 0;
    }
    update_list_.count = kept;
    if (rings_changed_) {
        rebuild_render_rings();
    }
    const VisualRender** link = &first_global_;
    for (uint32_t index = 0; index < global_list_.count; ++index) {
        VisualRender& record = records_[global_list_.slots[index]];
        *link = &record;
        link = &record.next_global;
    }
    *link = nullptr;
}

template <typename Visit>
void VisualServer::for_each_visual_in_ring(const servers::Sector& sector, uint32_t ring, Visit visit) {
    const core::ObjectHandle head = sector.get_first_visual(ring);
    core::ObjectHandle handle = head;
    // Bounded: a broken ring ends at the pool's size.
    for (uint32_t step = 0; handle != 0 && step < visual_capacity; ++step) {
        Visual* const visual = find_visual(handle);
        if (visual == nullptr) {
            return;
        }
        const core::ObjectHandle next = visual->ring_next_[ring];
        visit(*visual);
        if (next == head) {
            return;
        }
        handle = next;
    }
}

void VisualServer::rebuild_render_rings() {
    rings_changed_ = false;
    if (!servers::sector_server.is_registered()) {
        return;
    }
    core::for_each_live_object(&servers::sector_server, [this](core::ServerObject* object) {
        auto* const sector = static_cast<servers::Sector*>(object);
        servers::SectorRender& sector_record = servers::sector_server.get_render_record(*sector);
        for (uint32_t ring = 0; ring < sector_ring_count; ++ring) {
            const VisualRender** link = &sector_record.first_visuals[ring];
            for_each_visual_in_ring(*sector, ring, [this, ring, &link](Visual& visual) {
                VisualRender& record = records_[get_slot_of(visual)];
                *link = &record;
                link = &record.next_in_ring[ring];
            });
            *link = nullptr;
        }
    });
}

void VisualServer::mark_sector_visuals_for_update(servers::Sector& sector) {
    rings_changed_ = true;
    for (uint32_t ring = 0; ring < sector_ring_count; ++ring) {
        for_each_visual_in_ring(sector, ring, [](Visual& visual) { visual.mark_changed(); });
    }
}

void VisualServer::forget_sector(servers::Sector& sector) {
    rings_changed_ = true;
    for (uint32_t ring = 0; ring < sector_ring_count; ++ring) {
        for_each_visual_in_ring(sector, ring, [&sector, ring](Visual& visual) {
            visual.ring_next_[ring] = visual.ring_previous_[ring] = 0;
            visual.sectors_[ring] = 0;
            if (visual.fixed_sector_ == sector.get_handle()) {
                visual.fixed_sector_ = 0;
            }
            // Looks for a new home in the next pending pass.
            visual.mark_changed();
        });
        sector.set_first_visual(ring, 0);
    }
}

void VisualServer::refresh_visual_material_bindings(const Visual& visual, uint32_t flags) {
    const Mesh* const mesh = mesh_server.is_registered() ? mesh_server.find_mesh(visual.get_mesh()) : nullptr;
    if (mesh == nullptr) {
        return;
    }
    const MeshRender& record = mesh->get_render();
    for (uint32_t index = 0; index < record.material_count; ++index) {
        Material* const material = record.materials[index];
        if (material == nullptr) {
            continue;
        }
        if ((flags & requeue_dynamic_textures) != 0) {
            material_server.queue_texture_update(*material);
        }
        if ((flags & requeue_dynamic_constants) != 0) {
            material_server.queue_constant_update(*material);
        }
    }
}

void VisualServer::save(storage::SaveStream& stream) {
    ServerBase::save(stream);
    for (const VisualSlotList* list : {&pending_list_, &global_list_}) {
        for (uint32_t index = 0; index < list->count; ++index) {
            const Visual& visual = get_slot(list->slots[index]);
            core::write_u32(stream, visual.get_handle());
        }
        core::write_u32(stream, 0);
    }
}

bool VisualServer::load(storage::LoadStream& stream) {
    update_list_.clear();
    pending_list_.clear();
    global_list_.clear();
    if (!ServerBase::load(stream)) {
        return false;
    }
    for (VisualSlotList* list : {&pending_list_, &global_list_}) {
        // Bounded: a list names every visual at most once.
        for (uint32_t step = 0; step <= visual_capacity; ++step) {
            uint32_t handle = 0;
            if (!core::read_u32(stream, handle)) {
                return false;
            }
            if (handle == 0) {
                break;
            }
            if (Visual* const visual = find_visual(handle)) {
                list->add(get_slot_of(*visual));
            }
        }
    }
    core::for_each_live_object(this, [this](core::ServerObject* object) {
        auto* const visual = static_cast<Visual*>(object);
        for (uint32_t ring = 0; ring < sector_ring_count; ++ring) {
            servers::Sector* const sector = visual->loaded_sectors_[ring] != 0 && servers::sector_server.is_registered()
                                                ? servers::sector_server.get_typed_object(visual->loaded_sectors_[ring])
                                                : nullptr;
            visual->move_to_sector(static_cast<SectorRing>(ring), sector);
            visual->loaded_sectors_[ring] = 0;
        }
        if (visual->get_global() != 0) {
            global_list_.add(get_slot_of(*visual));
        }
        add_to_update_list(*visual);
    });
    rings_changed_ = true;
    return true;
}

}  // namespace zolt::renderer
