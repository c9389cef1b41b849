#include "zolt/renderer/visuals/visual.h"

#include <cmath>

#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/placement/placement_server.h"
#include "zolt/core/script_objects/extra_properties.h"
#include "zolt/navigation/loadable_area.h"
#include "zolt/navigation/sector.h"
#include "zolt/renderer/fake_shadows/fake_shadow_settings.h"
#include "zolt/renderer/fake_shadows/fake_shadow_visuals.h"
#include "zolt/renderer/lights/light_server.h"
#include "zolt/renderer/decals/decal_targets.h"
#include "zolt/renderer/mesh/mesh_server.h"
#include "zolt/renderer/visuals/visual_server.h"

namespace zolt::renderer {

namespace {

constexpr uint32_t no_mesh_id = 0xFFFFFFFFu;
servers::Sector* find_sector(core::ObjectHandle handle) {
    return handle != 0 && servers::sector_server.is_registered() ? servers::sector_server.get_typed_object(handle)
                                                                 : nullptr;
}

core::Placement* find_placement(core::ObjectHandle handle) {
    return handle != 0 && core::placement_server.is_registered() ? core::placement_server.get_typed_object(handle)
                                                                 : nullptr;
}

Mesh* find_mesh_object(core::ObjectHandle handle) {
    return handle != 0 && mesh_server.is_registered() ? mesh_server.find_mesh(handle) : nullptr;
}

// The sector at a point, the hint sector's area first; null outside all.
servers::Sector* find_sector_at(const servers::Sector* hint, const geometry::Vector3& point) {
    if (!servers::loadable_area_server.is_registered()) {
        return nullptr;
    }
    const servers::SectorAtPoint found =
        servers::loadable_area_server.find_sector_at_point(hint != nullptr ? hint->get_area() : nullptr, point);
    return found.area != nullptr ? find_sector(found.area->get_sector_slot(static_cast<uint32_t>(found.record)))
                                 : nullptr;
}

bool is_unit_value(float value) {
    return value >= 0.0f && value <= 1.0f;
}

uint32_t type_word(uint32_t id) {
    return id & 0xFF000000u;
}

}  // namespace

const Mesh* Visual::find_mesh() const {
    return find_mesh_object(mesh_);
}

void Visual::initialize(uint32_t mesh_id) {
    for (uint32_t ring = 0; ring < sector_ring_count; ++ring) {
        ring_next_[ring] = ring_previous_[ring] = sectors_[ring] = 0;
    }
    fixed_sector_ = 0;
    track_overlap_sector_ = 0;
    update_countdown_ = 0;
    changed_ = 0;
    mesh_ = placement_ = dictionary_ = 0;
    placement_change_count_ = 0;
    position_ = {};
    rotation_ = geometry::identity_quaternion();
    scale_vector_ = {};
    radius_override_ = 0;
    uniform_scale_ = 1;
    visible_ = 1;
    never_culled_ = 0;
    view_mask_ = 0xFFFFFFFFu;
    distance_bias_ = 0;
    global_ = 0;
    material_parameters_[0] = material_parameters_[1] = material_parameters_[2] = 0;
    light_mask_ = 0xFFFFFFFFu;
    light_view_layer_mask_ = ~0x2u;
    transform_changed_ = 0;
    mesh_changed_ = 1;
    decals_changed_ = 0;
    fake_shadow_settings_ = 0;
    fake_shadow_changed_ = 0;
    has_decals_ = 0;
    if (mesh_id != no_mesh_id) {
        mesh_ = mesh_server.acquire_mesh(mesh_id)->get_handle();
    }
    visual_server.get_render(*this) = VisualRender{};
    mark_changed();
}

void Visual::finalize() {
    destroy_target_decals(get_handle());
    if (Mesh* const mesh = find_mesh_object(mesh_)) {
        mesh_server.release_mesh(mesh);
    }
    mesh_ = 0;
    visual_server.remove_from_pending_list(*this);
    // Leaving the global list puts the visual on the update list, whose
    // pass lets the record know the visual is gone.
    visual_server.set_global(*this, false);
    move_to_sector(SectorRing::home, nullptr);
    move_to_sector(SectorRing::overlap, nullptr);
    core::destroy_extra_properties(dictionary_);
    release_fake_shadow_settings();
}

void Visual::release_fake_shadow_settings() {
    if (fake_shadow_settings_ != 0) {
        light_server.fake_shadow_settings.release(fake_shadow_settings_);
        fake_shadow_settings_ = 0;
        fake_shadow_changed_ = 1;
    }
}

bool Visual::sync_fake_shadow(VisualRender& record, uint32_t slot) {
    if (fake_shadow_changed_ == 0) {
        return true;
    }
    if (!sync_fake_shadow_record(find_fake_shadow_settings(fake_shadow_settings_), slot, record.fake_shadow)) {
        return false;
    }
    fake_shadow_changed_ = 0;
    return true;
}

bool Visual::get_fake_shadow_property(uint32_t id, core::Property& out) const {
    namespace p = visual_property;
    const uint32_t number = id & 0xFFFFFFu;
    const uint32_t type = type_word(id == number ? 0 : id);
    const auto is = [id](uint32_t typed) { return id == typed || id == (typed & 0xFFFFFFu); };
    if (is(p::has_fake_shadow)) {
        out.set_u32(type, fake_shadow_settings_ != 0 ? 1 : 0);
        return true;
    }
    const bool is_float =
        (id >= p::fake_shadow_first_float && id <= p::fake_shadow_last_float) ||
        (id >= (p::fake_shadow_first_float & 0xFFFFFFu) && id <= (p::fake_shadow_last_float & 0xFFFFFFu));
    if (!is(p::fake_shadow_strength) && !is(p::fake_shadow_resolution) && !is(p::fake_shadow_priority) && !is_float) {
        return false;
    }
    FakeShadowSettings* const settings = find_fake_shadow_settings(fake_shadow_settings_);
    if (settings == nullptr) {
        return false;
    }
    if (is(p::fake_shadow_strength)) {
        out.set_float(type, settings->strength);
    } else if (is(p::fake_shadow_resolution)) {
        out.set_u32(type, settings->resolution);
    } else if (is(p::fake_shadow_priority)) {
        out.set_u32(type, settings->priority);
    } else {
        const uint32_t offset = number - (p::fake_shadow_first_float & 0xFFFFFFu);
        out.set_float(type, *get_fake_shadow_settings_float(*settings, get_fake_shadow_property_ordinal(offset)));
    }
    return true;
}

bool Visual::set_fake_shadow_property(uint32_t id, const core::Property& value, bool& accepted) {
    namespace p = visual_property;
    const bool is_float = id >= p::fake_shadow_first_float && id <= p::fake_shadow_last_float;
    if (id != p::has_fake_shadow && id != p::fake_shadow_strength && id != p::fake_shadow_resolution &&
        id != p::fake_shadow_priority && !is_float) {
        return false;
    }
    accepted = false;
    if (id == p::has_fake_shadow) {
        if (value.get_u32() == 0) {
            release_fake_shadow_settings();
        } else if (fake_shadow_settings_ == 0) {
            fake_shadow_settings_ = light_server.fake_shadow_settings.allocate(get_handle());
            if (fake_shadow_settings_ == 0) {
                return true;
            }
            fake_shadow_changed_ = 1;
        }
        accepted = true;
        return true;
    }
    FakeShadowSettings* const settings = find_fake_shadow_settings(fake_shadow_settings_);
    if (settings == nullptr) {
        return true;
    }
    const float number = value.get_float();
    if (id == p::fake_shadow_strength) {
        if (!is_valid_fake_shadow_strength(number)) {
            return true;
        }
        settings->strength = number;
    } else if (id == p::fake_shadow_resolution) {
        if (value.get_u32() > 0xFFFFu) {
            return true;
        }
        settings->resolution = static_cast<uint16_t>(value.get_u32());
    } else if (id == p::fake_shadow_priority) {
        if (value.get_u32() > fake_shadow_priority_limit) {
            return true;
        }
        settings->priority = static_cast<uint16_t>(value.get_u32());
    } else {
        const uint32_t ordinal = get_fake_shadow_property_ordinal(id - p::fake_shadow_first_float);
        if (!is_valid_fake_shadow_float(ordinal, number)) {
            return true;
        }
        *get_fake_shadow_settings_float(*settings, ordinal) = number;
    }
    fake_shadow_changed_ = 1;
    accepted = true;
    return true;
}

void Visual::set_has_decals(bool has_decals) {
    if ((has_decals_ != 0) != has_decals) {
        has_decals_ = has_decals ? 1 : 0;
        decals_changed_ = 1;
        visual_server.add_to_update_list(*this);
    }
}

void Visual::mark_for_update() {
    transform_changed_ = 1;
    visual_server.add_to_update_list(*this);
}

void Visual::mark_changed() {
    changed_ = 1;
    visual_server.add_to_update_list(*this);
    visual_server.add_to_pending_list(*this);
}

bool Visual::update_pending() {
    if (update_countdown_ != 0 && update_countdown_ != -1) {
        --update_countdown_;
    }
    core::Placement* const placement = find_placement(placement_);
    const uint32_t change_count = placement != nullptr ? placement->get_change_count() : placement_change_count_;
    const Mesh* const mesh = find_mesh();
    const bool moves_on_its_own = mesh != nullptr && mesh->has_private_data();
    if (changed_ != 0 || change_count != placement_change_count_ || moves_on_its_own) {
        placement_change_count_ = change_count;
        if (placement != nullptr) {
            position_ = placement->get_world_position();
            rotation_ = placement->get_world_rotation();
        } else {
            position_ = {};
            rotation_ = geometry::identity_quaternion();
        }
        mark_for_update();
        rehome();
    }
    changed_ = 0;
    // A later change marks the visual again, so the countdown alone decides.
    return update_countdown_ != 0;
}

void Visual::rehome() {
    const geometry::Vector3 sphere = get_object_sphere();
    const geometry::Vector3 centre = position_ + geometry::rotate(rotation_, sphere);
    servers::Sector* home = find_sector(fixed_sector_);
    if (home == nullptr) {
        home = find_sector_at(find_sector(sectors_[0]), centre);
    }
    move_to_sector(SectorRing::home, home);
    servers::Sector* overlap = nullptr;
    if (track_overlap_sector_ != 0) {
        // The first box corner that stands in another sector names it.
        geometry::Vector3 minimum, maximum;
        get_object_box(minimum, maximum);
        for (uint32_t corner = 0; corner < 8 && overlap == nullptr; ++corner) {
            const geometry::Vector3 local{(corner & 1) != 0 ? maximum.x : minimum.x,
                                          (corner & 2) != 0 ? maximum.y : minimum.y,
                                          (corner & 4) != 0 ? maximum.z : minimum.z};
            servers::Sector* const found = find_sector_at(home, position_ + geometry::rotate(rotation_, local));
            if (found != nullptr && found != home) {
                overlap = found;
            }
        }
    }
    move_to_sector(SectorRing::overlap, overlap);
}

void Visual::move_to_sector(SectorRing ring_kind, servers::Sector* sector) {
    const auto ring = static_cast<uint32_t>(ring_kind);
    const core::ObjectHandle target = sector != nullptr ? sector->get_handle() : 0;
    if (sectors_[ring] == target) {
        return;
    }
    VisualServer& server = visual_server;
    if (sectors_[ring] != 0) {
        servers::Sector* const old = find_sector(sectors_[ring]);
        Visual* const next = server.find_visual(ring_next_[ring]);
        Visual* const previous = server.find_visual(ring_previous_[ring]);
        if (old != nullptr && old->get_first_visual(ring) == get_handle()) {
            old->set_first_visual(ring, next != this && next != nullptr ? next->get_handle() : 0);
        }
        if (next != nullptr && next != this) {
            next->ring_previous_[ring] = ring_previous_[ring];
            server.add_to_update_list(*next);
        }
        if (previous != nullptr && previous != this) {
            previous->ring_next_[ring] = ring_next_[ring];
            server.add_to_update_list(*previous);
        }
        if (old != nullptr) {
            old->mark_dirty();
        }
    }
    ring_next_[ring] = ring_previous_[ring] = 0;
    sectors_[ring] = target;
    if (sector != nullptr) {
        Visual* const head = server.find_visual(sector->get_first_visual(ring));
        if (head == nullptr) {
            sector->set_first_visual(ring, get_handle());
            ring_next_[ring] = ring_previous_[ring] = get_handle();
        } else {
            // Before the head: the tail of the ring.
            Visual* const tail = server.find_visual(head->ring_previous_[ring]);
            ring_next_[ring] = head->get_handle();
            ring_previous_[ring] = tail->get_handle();
            tail->ring_next_[ring] = get_handle();
            head->ring_previous_[ring] = get_handle();
            server.add_to_update_list(*tail);
            server.add_to_update_list(*head);
        }
        sector->mark_dirty();
    }
    server.add_to_update_list(*this);
    server.mark_rings_changed();
}

geometry::Vector3 Visual::get_object_sphere() const {
    const Mesh* const mesh = find_mesh();
    if (mesh == nullptr) {
        return {};
    }
    float sphere[4];
    mesh->get_bounding_sphere(sphere);
    geometry::Vector3 result{sphere[0], sphere[1], sphere[2]};
    result.w = sphere[3];
    if (mesh->has_private_data()) {
        result = result + scale_vector_;
        result.w = radius_override_ > 0 ? radius_override_ : sphere[3];
    } else {
        result = {sphere[0] * uniform_scale_, sphere[1] * uniform_scale_, sphere[2] * uniform_scale_};
        result.w = sphere[3] * uniform_scale_;
    }
    return result;
}

void Visual::get_object_box(geometry::Vector3& minimum, geometry::Vector3& maximum) const {
    minimum = maximum = {};
    const Mesh* const mesh = find_mesh();
    if (mesh == nullptr) {
        return;
    }
    float low[3], high[3];
    mesh->get_bounding_box(low, high);
    const float scale = mesh->has_private_data() ? 1.0f : uniform_scale_;
    minimum = {low[0] * scale, low[1] * scale, low[2] * scale};
    maximum = {high[0] * scale, high[1] * scale, high[2] * scale};
}

void Visual::copy_to_render(VisualRender& record) {
    record.position = position_;
    record.rotation = rotation_;
    record.uniform_scale = uniform_scale_;
    record.visible = visible_;
    record.never_culled = never_culled_;
    record.view_mask = view_mask_;
    record.distance_bias = distance_bias_;
    record.global = global_;
    record.light_mask = light_mask_;
    record.light_view_layer_mask = light_view_layer_mask_;
    const geometry::Vector3 sphere = get_object_sphere();
    record.world_sphere = position_ + geometry::rotate(rotation_, sphere);
    record.world_sphere.w = sphere.w;
    get_object_box(record.box_minimum, record.box_maximum);
    const Mesh* const mesh = find_mesh();
    record.mesh_object = mesh != nullptr ? mesh->get_handle() : 0;
    record.mesh = mesh != nullptr ? &mesh->get_render() : nullptr;
    record.private_mesh = mesh != nullptr && mesh->has_private_data();
    for (uint32_t ring = 0; ring < sector_ring_count; ++ring) {
        const servers::Sector* const sector = find_sector(sectors_[ring]);
        const servers::SectorRender* const sector_record =
            sector != nullptr ? &servers::sector_server.get_render_record(*sector) : nullptr;
        (ring == 0 ? record.home_sector : record.overlap_sector) = sector_record;
    }
    if (transform_changed_ != 0) {
        record.light_selection_cache = 0;
        transform_changed_ = 0;
    }
    mesh_changed_ = 0;
    record.decals = has_decals_ != 0 ? get_handle() : 0;
    decals_changed_ = 0;
    record.self = &record;
}

bool Visual::set_mesh(core::ObjectHandle handle) {
    Mesh* const fresh = handle != 0 ? find_mesh_object(handle) : nullptr;
    if (handle != 0 && fresh == nullptr) {
        return false;
    }
    if (handle == mesh_) {
        return true;
    }
    // Decals were placed on the old geometry; the visual has none to keep.
    destroy_target_decals(get_handle());
    decals_changed_ = 1;
    if (fresh != nullptr) {
        fresh->add_reference();
    }
    if (Mesh* const old = find_mesh_object(mesh_)) {
        mesh_server.release_mesh(old);
    }
    mesh_ = handle;
    mesh_changed_ = 1;
    return true;
}

bool Visual::get_property(uint32_t id, core::Property& out) const {
    namespace p = visual_property;
    const auto is = [id](uint32_t typed) { return id == typed || id == (typed & 0xFFFFFFu); };
    const uint32_t type = type_word(id == (id & 0xFFFFFFu) ? 0 : id);
    if (is(p::placement)) {
        out.set_u32(type, placement_);
    } else if (is(p::box_minimum) || is(p::box_maximum)) {
        geometry::Vector3 minimum, maximum;
        get_object_box(minimum, maximum);
        const geometry::Vector3& chosen = is(p::box_minimum) ? minimum : maximum;
        out.set_floats(type, &chosen.x, 3);
    } else if (is(p::light_mask)) {
        out.set_u32(type, light_mask_);
    } else if (is(p::light_view_layer_mask)) {
        out.set_u32(type, light_view_layer_mask_);
    } else if (is(p::global)) {
        out.set_u32(type, global_);
    } else if (is(p::uniform_scale)) {
        out.set_float(type, uniform_scale_);
    } else if (is(p::visible)) {
        out.set_u32(type, visible_);
    } else if (is(p::mesh)) {
        out.set_u32(type, mesh_);
    } else if (is(p::view_mask)) {
        out.set_u32(type, view_mask_);
    } else if (is(p::home_sector) || is(p::overlap_sector)) {
        out.set_u32(type, sectors_[is(p::home_sector) ? 0 : 1]);
    } else if (is(p::fixed_sector)) {
        out.set_u32(type, fixed_sector_);
    } else if (is(p::update_countdown)) {
        out.set_u32(type, static_cast<uint32_t>(update_countdown_));
    } else if (is(p::track_overlap_sector)) {
        out.set_u32(type, track_overlap_sector_);
    } else if (is(p::object_sphere)) {
        const geometry::Vector3 sphere = get_object_sphere();
        out.set_floats(type, &sphere.x, 4);
    } else if (is(p::world_centre)) {
        const geometry::Vector3 centre = position_ + geometry::rotate(rotation_, get_object_sphere());
        out.set_floats(type, &centre.x, 3);
    } else if (is(p::scale_vector)) {
        out.set_floats(type, &scale_vector_.x, 3);
    } else if (is(p::radius_override)) {
        out.set_float(type, radius_override_);
    } else if (get_fake_shadow_property(id, out)) {
        return true;
    } else if (is(p::material_parameter_1) || is(p::material_parameter_2) || is(p::material_parameter_3)) {
        out.set_float(type, material_parameters_[(id & 0xFFFFFFu) - (p::material_parameter_1 & 0xFFFFFFu)]);
    } else if ((id & 0xFFFFFFu) >= (p::shader_parameter_1 & 0xFFFFFFu) &&
               (id & 0xFFFFFFu) <= (p::shader_parameter_3 & 0xFFFFFFu) &&
               (id == (id & 0xFFFFFFu) || type == 0x5000000u)) {
        out.set_float(type, material_parameters_[(id & 0xFFFFFFu) - (p::shader_parameter_1 & 0xFFFFFFu)]);
    } else if (is(p::never_culled)) {
        out.set_u32(type, never_culled_);
    } else if (is(p::sphere_radius)) {
        out.set_float(type, get_object_sphere().w);
    } else if (is(p::distance_bias)) {
        out.set_float(type, distance_bias_);
    } else {
        return ServerObject::get_property(id, out) || core::get_extra_property(dictionary_, id, out);
    }
    return true;
}

bool Visual::set_property(uint32_t id, const core::Property& value) {
    namespace p = visual_property;
    const float number = value.get_float();
    const bool variant_mesh = find_mesh() != nullptr && (find_mesh()->get_mesh_id() & mesh_id_variant) != 0;
    switch (id) {
    case p::placement:
        placement_ = value.get_u32();
        mark_changed();
        return true;
    case p::light_mask:
        light_mask_ = value.get_u32();
        break;
    case p::light_view_layer_mask:
        light_view_layer_mask_ = value.get_u32();
        break;
    case p::global:
        if (value.get_u32() > 1) {
            return false;
        }
        global_ = value.get_u32();
        visual_server.set_global(*this, global_ != 0);
        break;
    case p::uniform_scale:
        if (!(number >= 0.0f) || !std::isfinite(number)) {
            return false;
        }
        uniform_scale_ = number;
        mark_changed();
        return true;
    case p::visible: {
        const uint8_t visible = value.get_u32() != 0 ? 1 : 0;
        if (visible != visible_) {
            visible_ = visible;
            mark_changed();
        }
        return true;
    }
    case p::mesh:
        if (!set_mesh(value.get_u32())) {
            return false;
        }
        mark_changed();
        return true;
    case p::view_mask:
        view_mask_ = value.get_u32();
        break;
    case p::fixed_sector:
        if (value.get_u32() != 0 && find_sector(value.get_u32()) == nullptr) {
            return false;
        }
        fixed_sector_ = value.get_u32();
        mark_changed();
        return true;
    case p::update_countdown:
        update_countdown_ = value.get_s32();
        visual_server.add_to_pending_list(*this);
        return true;
    case p::track_overlap_sector:
        track_overlap_sector_ = value.get_u32() != 0 ? 1 : 0;
        mark_changed();
        return true;
    case p::scale_vector:
        scale_vector_ = {value.get_float(0), value.get_float(1), value.get_float(2)};
        mark_changed();
        return true;
    case p::radius_override:
        if (std::isnan(number)) {
            return false;
        }
        radius_override_ = number;
        mark_changed();
        return true;
    case p::material_parameter_1:
    case p::material_parameter_3:
        if (!is_unit_value(number) || !variant_mesh) {
            return false;
        }
        material_parameters_[id == p::material_parameter_1 ? 0 : 2] = number;
        return true;
    case p::material_parameter_2:
        material_parameters_[1] = number;
        return true;
    case p::never_culled:
        never_culled_ = value.get_u32() != 0 ? 1 : 0;
        break;
    case p::distance_bias:
        if (!std::isfinite(number)) {
            return false;
        }
        distance_bias_ = number;
        break;
    default: {
        bool accepted = false;
        if (set_fake_shadow_property(id, value, accepted)) {
            if (accepted) {
                visual_server.add_to_update_list(*this);
            }
            return accepted;
        }
        return ServerObject::set_property(id, value) || core::set_extra_property(dictionary_, id, value);
    }
    }
    visual_server.add_to_update_list(*this);
    return true;
}

bool Visual::remove_property(uint32_t id) {
    return core::remove_extra_property(dictionary_, id);
}

void Visual::save(storage::SaveStream& stream) {
    ServerObject::save(stream);
    core::write_u8(stream, track_overlap_sector_);
    core::write_s32(stream, update_countdown_);
    core::write_u8(stream, changed_);
    core::write_u32(stream, mesh_);
    core::write_u32(stream, placement_);
    core::write_u32(stream, placement_change_count_);
    for (const float word : {position_.x, position_.y, position_.z, rotation_.x, rotation_.y, rotation_.z, rotation_.w,
                             scale_vector_.x, scale_vector_.y, scale_vector_.z, radius_override_, uniform_scale_}) {
        core::write_f32(stream, word);
    }
    core::write_u32(stream, dictionary_);
    core::write_u8(stream, visible_);
    core::write_u8(stream, never_culled_);
    core::write_u32(stream, view_mask_);
    core::write_f32(stream, distance_bias_);
    core::write_u32(stream, global_);
    for (const float parameter : material_parameters_) {
        core::write_f32(stream, parameter);
    }
    core::write_u32(stream, light_mask_);
    core::write_u32(stream, light_view_layer_mask_);
    const FakeShadowSettings* const settings = find_fake_shadow_settings(fake_shadow_settings_);
    core::write_u8(stream, settings != nullptr ? 1 : 0);
    if (settings != nullptr) {
        uint8_t block[fake_shadow_settings_save_size];
        encode_fake_shadow_settings(*settings, block);
        core::write_bytes(stream, block, fake_shadow_settings_save_size);
    }
    core::write_u32(stream, fixed_sector_);
    core::write_u32(stream, sectors_[0]);
    core::write_u32(stream, sectors_[1]);
}

bool Visual::load(storage::LoadStream& stream) {
    float words[12];
    uint8_t has_fake_shadow = 0;
    core::ObjectHandle saved_sectors[sector_ring_count] = {};
    if (!ServerObject::load(stream) || !core::read_u8(stream, track_overlap_sector_) ||
        !core::read_s32(stream, update_countdown_) || !core::read_u8(stream, changed_) ||
        !core::read_u32(stream, mesh_) || !core::read_u32(stream, placement_) ||
        !core::read_u32(stream, placement_change_count_)) {
        return false;
    }
    for (float& word : words) {
        if (!core::read_f32(stream, word)) {
            return false;
        }
    }
    if (!core::read_u32(stream, dictionary_) || !core::read_u8(stream, visible_) ||
        !core::read_u8(stream, never_culled_) || !core::read_u32(stream, view_mask_) ||
        !core::read_f32(stream, distance_bias_) || !core::read_u32(stream, global_) ||
        !core::read_f32(stream, material_parameters_[0]) || !core::read_f32(stream, material_parameters_[1]) ||
        !core::read_f32(stream, material_parameters_[2]) || !core::read_u32(stream, light_mask_) ||
        !core::read_u32(stream, light_view_layer_mask_) || !core::read_u8(stream, has_fake_shadow)) {
        return false;
    }
    release_fake_shadow_settings();
    if (has_fake_shadow != 0) {
        uint8_t block[fake_shadow_settings_save_size];
        FakeShadowSettings settings;
        if (!core::read_bytes(stream, block, fake_shadow_settings_save_size) ||
            !decode_fake_shadow_settings(block, settings)) {
            return false;
        }
        // A saved world holds no more blocks than the pool had.
        fake_shadow_settings_ = light_server.fake_shadow_settings.allocate(get_handle());
        FakeShadowSettings* const slot = find_fake_shadow_settings(fake_shadow_settings_);
        if (slot == nullptr) {
            return false;
        }
        *slot = settings;
    }
    fake_shadow_changed_ = 1;
    if (!core::read_u32(stream, fixed_sector_) || !core::read_u32(stream, saved_sectors[0]) ||
        !core::read_u32(stream, saved_sectors[1]) || global_ > 1) {
        return false;
    }
    position_ = {words[0], words[1], words[2]};
    rotation_ = {words[3], words[4], words[5], words[6]};
    scale_vector_ = {words[7], words[8], words[9]};
    radius_override_ = words[10];
    uniform_scale_ = words[11];
    // A handle that no longer names a mesh draws nothing rather than
    // releasing somebody else's object later.
    if (mesh_ != 0 && find_mesh_object(mesh_) == nullptr) {
        mesh_ = 0;
    }
    for (uint32_t ring = 0; ring < sector_ring_count; ++ring) {
        ring_next_[ring] = ring_previous_[ring] = sectors_[ring] = 0;
        loaded_sectors_[ring] = saved_sectors[ring];
    }
    transform_changed_ = 1;
    mesh_changed_ = 1;
    decals_changed_ = 0;
    // Decal rings are never saved: a loaded visual carries none.
    has_decals_ = 0;
    return true;
}

}  // namespace zolt::renderer
