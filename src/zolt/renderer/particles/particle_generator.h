#pragma once
// A particle generator (server type 37): the script's side of an emitter. It
// keeps the description scripts write through properties, up to two
// placements (where particles are born, and the frame they live in) and the
// time handed to it; once a frame its server copies what changed into the
// generator's runtime state, which the updating thread alone touches. Main
// thread only.
#include <cstdint>

#include "zolt/core/object_server/server_object.h"
#include "zolt/renderer/particles/particle_description.h"

namespace zolt::renderer {

namespace particle_generator_status {
constexpr uint32_t released = 0, live = 1, destroyed = 2;
}  // namespace particle_generator_status

class ParticleGenerator final : public core::ServerObject {
public:
    void initialize(uint32_t argument) override;
    void finalize() override;
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    void placement_changed() override;
    bool get_property(uint32_t id, core::Property& out) const override;
    bool set_property(uint32_t id, const core::Property& value) override;
    bool remove_property(uint32_t id) override;

    // The description changed: the state takes a fresh copy next frame.
    void mark_changed();

    uint32_t status = particle_generator_status::released;
    bool in_changed_ring = false;
    uint8_t description_changed = 0;
    ParticleDescription description;
    uint32_t material_shader = 0;
    uint32_t textures[2] = {0, 0};
    // Built from the shader word and the textures; 0 while the shader is 0.
    core::ObjectHandle material = 0;
    core::ObjectHandle emitter_placement = 0;
    core::ObjectHandle space_placement = 0;
    uint8_t idle = 0;
    uint8_t suspended = 0;
    uint8_t restart_requested = 0;
    uint32_t pending_ticks = 0;
    core::ObjectHandle extra_properties = 0;

private:
    // The old material destroyed, a new one made when the shader is set.
    void rebuild_material();
    void release_material();
    bool set_placement_link(core::ObjectHandle& link, core::ObjectHandle handle);
};

}  // namespace zolt::renderer
