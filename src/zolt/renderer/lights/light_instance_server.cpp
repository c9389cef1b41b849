#include "zolt/core/object_server/server_base.h"
#include "zolt/navigation/sector.h"
#include "zolt/renderer/lights/light_instance.h"
#include "zolt/renderer/lights/light_server.h"

namespace zolt::renderer {

LightInstanceServer light_instance_server;

namespace {

void answer_light(Light& light, LightInstanceEvent event) {
    if (event == LightInstanceEvent::destroy) {
        while (LightInstance* const instance = light.first_instance) {
            core::destroy_object(instance);
            // A destroy that did not reach the instance must not loop forever.
            if (light.first_instance == instance) {
                instance->finalize();
            }
        }
        return;
    }
    LightInstance* const first = light.first_instance;
    if (first == nullptr) {
        return;
    }
    LightInstance* instance = first;
    do {
        LightInstance* const next = instance->next_of_light;
        switch (event) {
        case LightInstanceEvent::attach:
            instance->set_active(1);
            break;
        case LightInstanceEvent::detach:
            instance->set_active(0);
            break;
        default:
            instance->relight();
            // Moving between the static and dynamic sets, or between the
            // type lists, happens at the next update.
            light_instance_server.link_changed(*instance);
            break;
        }
        instance = next;
    } while (instance != first);
}

void forget_sector_render(servers::SectorRender& record) {
    light_instance_server.forget_sector_render(record);
}

}  // namespace

uint32_t LightInstanceServer::get_slot_index(const LightInstance& instance) const {
    return static_cast<uint32_t>(&instance - &const_cast<LightInstanceServer*>(this)->get_slot(0));
}

LightInstance* LightInstanceServer::create_instance(core::ObjectHandle light) {
    if (!is_registered() || light_server.find_light(light) == nullptr) {
        return nullptr;
    }
    return static_cast<LightInstance*>(create_object_internal(light));
}

void LightInstanceServer::register_server() {
    PooledServer::register_server();
    changed_head_ = nullptr;
    for (LightInstanceRender& record : renders_) {
        record = LightInstanceRender{};
    }
    light_server.light_instances_hook = &answer_light;
    servers::sector_render_release_hook = &renderer::forget_sector_render;
}

void LightInstanceServer::unregister_server() {
    PooledServer::unregister_server();
    for (uint32_t slot = 0; slot < light_instance_capacity; ++slot) {
        unlink_render(renders_[slot]);
        LightInstance& instance = get_slot(slot);
        instance.next_changed = instance.previous_changed = &instance;
        instance.state = light_state::released;
    }
    changed_head_ = nullptr;
    if (light_server.light_instances_hook == &answer_light) {
        light_server.light_instances_hook = nullptr;
    }
    if (servers::sector_render_release_hook == &renderer::forget_sector_render) {
        servers::sector_render_release_hook = nullptr;
    }
}

void LightInstanceServer::link_changed(LightInstance& instance) {
    if (instance.next_changed != &instance || changed_head_ == &instance) {
        return;
    }
    if (changed_head_ == nullptr) {
        changed_head_ = &instance;
        return;
    }
    LightInstance* const tail = changed_head_->previous_changed;
    instance.previous_changed = tail;
    instance.next_changed = changed_head_;
    tail->next_changed = &instance;
    changed_head_->previous_changed = &instance;
}

void LightInstanceServer::unlink_changed(LightInstance& instance) {
    if (instance.next_changed == &instance) {
        if (changed_head_ == &instance) {
            changed_head_ = nullptr;
        }
        return;
    }
    if (changed_head_ == &instance) {
        changed_head_ = instance.next_changed;
    }
    instance.previous_changed->next_changed = instance.next_changed;
    instance.next_changed->previous_changed = instance.previous_changed;
    instance.next_changed = instance.previous_changed = &instance;
}

void LightInstanceServer::unlink_render(LightInstanceRender& record) {
    if (record.sector == nullptr) {
        return;
    }
    LightInstanceRender*& head = record.sector->lights[record.static_set != 0 ? 0 : 1][record.list_index];
    if (record.next == &record) {
        head = nullptr;
    } else {
        if (head == &record) {
            head = record.next;
        }
        record.previous->next = record.next;
        record.next->previous = record.previous;
    }
    record.next = record.previous = nullptr;
    record.sector = nullptr;
}

void LightInstanceServer::forget_sector_render(servers::SectorRender& sector) {
    for (LightInstanceRender& record : renders_) {
        if (record.sector == &sector) {
            unlink_render(record);
        }
    }
}

void LightInstanceServer::object_created(core::ServerObject* object) {
    static_cast<LightInstance*>(object)->state = light_state::live;
}

void LightInstanceServer::object_loaded(core::ServerObject* object) {
    static_cast<LightInstance*>(object)->state = light_state::live;
}

void LightInstanceServer::object_destroyed(core::ServerObject* object) {
    auto* const instance = static_cast<LightInstance*>(object);
    instance->state = light_state::destroyed;
    link_changed(*instance);
}

void LightInstanceServer::object_released(core::ServerObject* object) {
    auto* const instance = static_cast<LightInstance*>(object);
    LightInstanceRender& record = get_render(*instance);
    unlink_render(record);
    record = LightInstanceRender{};
    unlink_changed(*instance);
    instance->state = light_state::released;
}

void LightInstanceServer::update() {
    if (changed_head_ == nullptr) {
        return;
    }
    LightInstance* const last = changed_head_->previous_changed;
    for (bool done = false; !done && changed_head_ != nullptr;) {
        LightInstance& instance = *changed_head_;
        done = &instance == last;
        LightInstanceRender& record = get_render(instance);
        if (instance.state == light_state::destroyed) {
            unlink_render(record);
        } else {
            record.instance_mask = instance.instance_mask;
            servers::SectorRender* const sector =
                instance.active != 0 && instance.light != nullptr && instance.sector != 0 &&
                        servers::sector_server.is_registered()
                    ? servers::sector_server.find_render_record(instance.sector)
                    : nullptr;
            const uint8_t static_set = instance.light != nullptr && instance.light->dynamic == 0 ? 1 : 0;
            const uint8_t list_index = instance.light != nullptr ? instance.light->type : 0;
            const bool same = record.sector != nullptr && record.sector == sector &&
                              record.static_set == static_set && record.list_index == list_index;
            if (!same) {
                unlink_render(record);
                if (sector != nullptr && list_index < servers::light_list_type_count) {
                    record.light = &light_server.get_render(*instance.light);
                    record.sector = sector;
                    record.static_set = static_set;
                    record.list_index = list_index;
                    LightInstanceRender*& head = sector->lights[static_set != 0 ? 0 : 1][list_index];
                    if (head == nullptr) {
                        head = record.next = record.previous = &record;
                    } else {
                        record.previous = head->previous;
                        record.next = head;
                        head->previous->next = &record;
                        head->previous = &record;
                    }
                }
            }
        }
        unlink_changed(instance);
    }
}

}  // namespace zolt::renderer
