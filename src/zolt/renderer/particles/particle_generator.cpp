#include "zolt/renderer/particles/particle_generator.h"

#include <cmath>

#include "zolt/core/object_server/server_base.h"
#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/placement/placement_server.h"
#include "zolt/core/script_objects/dictionary_server.h"
#include "zolt/renderer/materials/material_server.h"
#include "zolt/renderer/shaders/shader_library.h"
#include "zolt/renderer/shaders/shader_tags.h"
#include "zolt/renderer/particles/particle_generator_properties.h"
#include "zolt/renderer/particles/particle_generator_server.h"

namespace zolt::renderer {
namespace {

using core::ObjectHandle;
using core::Property;
namespace property = particle_generator_property;

constexpr uint32_t extra_property_buckets = 5;
constexpr float smallest_growth = 1.0f / 65536.0f;

core::Dictionary* find_dictionary(ObjectHandle handle) {
    if (handle == 0 || !core::dictionary_server.is_registered()) {
        return nullptr;
    }
    return core::dictionary_server.get_typed_object(handle);
}

core::Placement* find_placement(ObjectHandle handle) {
    return handle != 0 ? core::placement_server.get_typed_object(handle) : nullptr;
}

void write_vector3(storage::SaveStream& stream, const geometry::Vector3& v) {
    core::write_f32(stream, v.x);
    core::write_f32(stream, v.y);
    core::write_f32(stream, v.z);
}

void write_quaternion(storage::SaveStream& stream, const geometry::Quaternion& q) {
    core::write_f32(stream, q.x);
    core::write_f32(stream, q.y);
    core::write_f32(stream, q.z);
    core::write_f32(stream, q.w);
}

bool read_vector3(storage::LoadStream& stream, geometry::Vector3& v) {
    return core::read_f32(stream, v.x) && core::read_f32(stream, v.y) && core::read_f32(stream, v.z);
}

bool read_quaternion(storage::LoadStream& stream, geometry::Quaternion& q) {
    return core::read_f32(stream, q.x) && core::read_f32(stream, q.y) && core::read_f32(stream, q.z) &&
           core::read_f32(stream, q.w);
}

// The 105 bytes of one particle in flight.
void write_particle(storage::SaveStream& stream, const Particle& p) {
    core::write_u8(stream, p.immortal);
    for (const uint32_t word : {p.lifetime, p.age, p.color, p.start_color, p.end_color, p.fade_in, p.fade_out}) {
        core::write_u32(stream, word);
    }
    write_vector3(stream, p.position);
    write_vector3(stream, p.velocity);
    for (const float value : {p.size, p.growth, p.size_rate, p.rotation, p.spin, p.restitution, p.animation_time}) {
        core::write_f32(stream, value);
    }
    write_vector3(stream, p.jitter_offset);
    write_vector3(stream, p.jitter_target);
}

bool read_particle(storage::LoadStream& stream, Particle& p) {
    bool ok = core::read_u8(stream, p.immortal);
    for (uint32_t* word : {&p.lifetime, &p.age, &p.color, &p.start_color, &p.end_color, &p.fade_in, &p.fade_out}) {
        ok = ok && core::read_u32(stream, *word);
    }
    ok = ok && read_vector3(stream, p.position) && read_vector3(stream, p.velocity);
    for (float* value : {&p.size, &p.growth, &p.size_rate, &p.rotation, &p.spin, &p.restitution, &p.animation_time}) {
        ok = ok && core::read_f32(stream, *value);
    }
    return ok && read_vector3(stream, p.jitter_offset) && read_vector3(stream, p.jitter_target);
}

void reset_state(ParticleGeneratorState& state) {
    state.params = ParticleDescription{};
    state.emitter_present = 0;
    state.emitter_position = {};
    state.emitter_rotation = geometry::identity_quaternion();
    state.space_present = 0;
    state.space_position = {};
    state.space_rotation = geometry::identity_quaternion();
    state.emitter_local = {};
    state.previous_emitter_position = {};
    state.emitter_velocity = {};
    state.emitter_velocity_local = {};
    state.sector = 0;
    state.material = 0;
    state.pending_ticks = 0;
    state.particle_count = 0;
    state.elapsed_ticks = 0;
    state.burst_countdown = 0;
    state.burst_count = 0;
    state.suspended = 0;
    state.in_range = 1;
}

}  // namespace

void ParticleGenerator::initialize(uint32_t) {
    description_changed = 0;
    description = ParticleDescription{};
    material_shader = 0;
    textures[0] = textures[1] = 0;
    material = 0;
    extra_properties = 0;
    idle = 0;
    suspended = 0;
    restart_requested = 1;
    pending_ticks = 0;
    ParticleGeneratorState& state = particle_generator_server.get_state(*this);
    particle_generator_server.get_pool().give_particles(state.particles);
    reset_state(state);
    mark_changed();
}

void ParticleGenerator::finalize() {
    set_placement_link(emitter_placement, 0);
    set_placement_link(space_placement, 0);
    release_material();
    if (core::Dictionary* const dictionary = find_dictionary(extra_properties)) {
        core::destroy_object(dictionary);
    }
    extra_properties = 0;
}

void ParticleGenerator::mark_changed() {
    description_changed = 1;
    particle_generator_server.link_changed(*this);
}

static Material* find_material(ObjectHandle handle) {
    return handle != 0 && material_server.is_registered() ? material_server.find_material(handle) : nullptr;
}

void ParticleGenerator::release_material() {
    if (Material* const old = find_material(material)) {
        material_server.unlink_selection(*old);
        material_server.unlink_texture_update(*old);
        material_server.unlink_constant_update(*old);
        material_server.release_material(old);
    }
    material = 0;
}

void ParticleGenerator::rebuild_material() {
    release_material();
    shader_library::ShaderLibraryContext context;
    // A shader the library cannot serve would end the program: no material.
    if (material_shader != 0 && material_server.is_registered() &&
        shader_library::find_fallback(material_shader, shader_library::ConditionMode::runtime, context).entry !=
            shader_library::no_entry) {
        MaterialDescription made;
        made.shader_index = material_shader;
        made.textures = {textures, 2};
        Material* const built = material_server.create_material(made);
        if (built != nullptr) {
            built->set_source_object(get_handle());
            material = built->get_handle();
        }
    }
    mark_changed();
}

void ParticleGenerator::placement_changed() {
    particle_generator_server.link_changed(*this);
}

bool ParticleGenerator::set_placement_link(ObjectHandle& link, ObjectHandle handle) {
    if (handle == link) {
        return true;
    }
    if (core::Placement* const old = find_placement(link)) {
        old->set_attached_object(0);
    }
    link = find_placement(handle) != nullptr ? handle : 0;
    // Each placement reports its changes to the one object attached to it.
    for (const ObjectHandle placement_handle : {emitter_placement, space_placement}) {
        core::Placement* const placement = find_placement(placement_handle);
        if (placement != nullptr && placement->get_attached_object() == 0) {
            placement->set_attached_object(get_handle());
        }
    }
    particle_generator_server.link_changed(*this);
    return true;
}

bool ParticleGenerator::get_property(uint32_t id, Property& out) const {
    if (get_description_property(description, id, out)) {
        return true;
    }
    const uint32_t key = id & 0xFFFFFFu;
    const bool bare = core::is_bare_property_key(id);
    const struct {
        uint32_t typed_id;
        uint32_t value;
    } links[] = {
        {property::emitter_placement, emitter_placement}, {property::space_placement, space_placement},
        {property::material_shader, material_shader},     {property::first_texture, textures[0]},
        {property::second_texture, textures[1]},
    };
    for (const auto& link : links) {
        if (id == link.typed_id || (bare && key == (link.typed_id & 0xFFFFFFu))) {
            out.set_u32(link.typed_id, link.value);
            return true;
        }
    }
    if (ServerObject::get_property(id, out)) {
        return true;
    }
    const core::Dictionary* const dictionary = find_dictionary(extra_properties);
    return dictionary != nullptr && dictionary->get_property(id, out);
}

bool ParticleGenerator::set_property(uint32_t id, const Property& value) {
    // A material waiting for its sources looks them up again.
    if (Material* const waiting = find_material(material)) {
        if (material_server.is_texture_update_pending(*waiting) ||
            material_server.is_constant_update_pending(*waiting)) {
            material_server.queue_texture_update(*waiting);
            material_server.queue_constant_update(*waiting);
        }
    }
    const uint8_t option = description.material_option;
    switch (set_description_property(description, id, value)) {
    case DescriptionWrite::stored:
        if (description.material_option != option) {
            rebuild_material();
        }
        mark_changed();
        return true;
    case DescriptionWrite::refused:
        return false;
    case DescriptionWrite::unknown:
        break;
    }
    switch (id) {
    case property::emitter_placement:
        return set_placement_link(emitter_placement, value.get_u32());
    case property::space_placement:
        return set_placement_link(space_placement, value.get_u32());
    case property::material_shader:
    case property::first_texture:
    case property::second_texture: {
        uint32_t& word = id == property::material_shader ? material_shader
                         : id == property::first_texture ? textures[0]
                                                         : textures[1];
        if (word != value.get_u32()) {
            word = value.get_u32();
            rebuild_material();
        }
        return true;
    }
    default:
        break;
    }
    if (ServerObject::set_property(id, value)) {
        return true;
    }
    if (core::Dictionary* const dictionary = find_dictionary(extra_properties)) {
        return dictionary->set_property(id, value);
    }
    if (!core::dictionary_server.is_registered()) {
        return false;
    }
    core::Dictionary* const dictionary = core::dictionary_server.create_dictionary(extra_property_buckets);
    if (!dictionary->set_property(id, value)) {
        core::destroy_object(dictionary);
        return false;
    }
    extra_properties = dictionary->get_handle();
    return true;
}

bool ParticleGenerator::remove_property(uint32_t id) {
    core::Dictionary* const dictionary = find_dictionary(extra_properties);
    return dictionary != nullptr && dictionary->remove_property(id);
}

void ParticleGenerator::save(storage::SaveStream& stream) {
    ServerObject::save(stream);
    core::write_bytes(stream, &description, sizeof description);
    core::write_u32(stream, material_shader);
    core::write_u32(stream, textures[0]);
    core::write_u32(stream, textures[1]);
    core::write_u32(stream, emitter_placement);
    core::write_u32(stream, space_placement);
    core::write_u8(stream, idle);
    core::write_u8(stream, suspended);
    core::write_u8(stream, restart_requested);
    core::write_u32(stream, pending_ticks);
    core::write_u32(stream, extra_properties);
    core::write_u32(stream, find_material(material) != nullptr ? material : 0);

    const ParticleGeneratorState& state = particle_generator_server.get_state(*this);
    core::write_u8(stream, state.emitter_present);
    write_vector3(stream, state.emitter_position);
    write_quaternion(stream, state.emitter_rotation);
    core::write_u8(stream, state.space_present);
    write_vector3(stream, state.space_position);
    write_quaternion(stream, state.space_rotation);
    write_vector3(stream, state.emitter_local);
    write_vector3(stream, state.previous_emitter_position);
    write_vector3(stream, state.emitter_velocity);
    write_vector3(stream, state.emitter_velocity_local);
    core::write_u32(stream, state.pending_ticks);
    core::write_u32(stream, state.elapsed_ticks);
    core::write_u32(stream, state.burst_countdown);
    core::write_u32(stream, state.burst_count);
    core::write_u8(stream, state.suspended);
    core::write_u8(stream, state.in_range);
    core::write_u32(stream, state.particle_count);
    for (const Particle* particle = state.particles; particle != nullptr; particle = particle->next) {
        write_particle(stream, *particle);
    }
}

bool ParticleGenerator::load(storage::LoadStream& stream) {
    uint32_t material_handle = 0;
    if (!ServerObject::load(stream) || !core::read_bytes(stream, &description, sizeof description) ||
        !core::read_u32(stream, material_shader) || !core::read_u32(stream, textures[0]) ||
        !core::read_u32(stream, textures[1]) || !core::read_u32(stream, emitter_placement) ||
        !core::read_u32(stream, space_placement) || !core::read_u8(stream, idle) || !core::read_u8(stream, suspended) ||
        !core::read_u8(stream, restart_requested) || !core::read_u32(stream, pending_ticks) ||
        !core::read_u32(stream, extra_properties) || !core::read_u32(stream, material_handle)) {
        return false;
    }
    // Only a handle that still names a material is kept.
    material = find_material(material_handle) != nullptr ? material_handle : 0;

    ParticleGeneratorState& state = particle_generator_server.get_state(*this);
    ParticlePool& pool = particle_generator_server.get_pool();
    pool.give_particles(state.particles);
    reset_state(state);
    state.material = material;
    uint32_t saved_count = 0;
    if (!core::read_u8(stream, state.emitter_present) || !read_vector3(stream, state.emitter_position) ||
        !read_quaternion(stream, state.emitter_rotation) || !core::read_u8(stream, state.space_present) ||
        !read_vector3(stream, state.space_position) || !read_quaternion(stream, state.space_rotation) ||
        !read_vector3(stream, state.emitter_local) || !read_vector3(stream, state.previous_emitter_position) ||
        !read_vector3(stream, state.emitter_velocity) || !read_vector3(stream, state.emitter_velocity_local) ||
        !core::read_u32(stream, state.pending_ticks) || !core::read_u32(stream, state.elapsed_ticks) ||
        !core::read_u32(stream, state.burst_countdown) || !core::read_u32(stream, state.burst_count) ||
        !core::read_u8(stream, state.suspended) || !core::read_u8(stream, state.in_range) ||
        !core::read_u32(stream, saved_count)) {
        return false;
    }
    // Particles beyond what the pool has free are read and dropped, so the
    // rest of the world still loads; the list keeps the saved order.
    Particle** tail = &state.particles;
    for (uint32_t index = 0; index < saved_count; ++index) {
        Particle record;
        if (!read_particle(stream, record)) {
            return false;
        }
        Particle* const particle = pool.take_particle();
        if (particle == nullptr) {
            continue;
        }
        *particle = record;
        particle->next = nullptr;
        if (!(particle->growth >= smallest_growth)) {
            particle->growth = smallest_growth;
        }
        particle->log_growth = std::log(particle->growth);
        *tail = particle;
        tail = &particle->next;
        ++state.particle_count;
    }
    // The state was reset, so it takes the loaded description next frame.
    mark_changed();
    return true;
}

}  // namespace zolt::renderer
