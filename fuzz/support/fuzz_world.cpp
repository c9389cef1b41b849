#include "support/fuzz_world.h"

#include "zolt/core/object_server/alias_server.h"
#include "zolt/core/object_server/proxy_server.h"
#include "zolt/core/object_server/server_base.h"
#include "zolt/core/placement/placement_server.h"
#include "zolt/core/script_objects/array_server.h"
#include "zolt/core/script_objects/dictionary_server.h"
#include "zolt/core/script_objects/random_generator_server.h"
#include "zolt/core/script_objects/string_server.h"
#include "zolt/physics/physx_actor_server.h"
#include "zolt/physics/physx_server.h"
#include "zolt/renderer/debug_draw/debug_draw_server.h"
#include "zolt/renderer/animation/animator_server.h"
#include "zolt/renderer/animation/skeleton_server.h"
#include "zolt/renderer/animation/track_mixer_server.h"
#include "zolt/renderer/materials/material_server.h"
#include "zolt/renderer/particles/particle_generator_server.h"
#include "zolt/storage/load_stream.h"
#include "zolt/storage/save_stream.h"

namespace zolt::fuzz {
namespace {

class BytesLoadStream final : public storage::LoadStream {
public:
    explicit BytesLoadStream(std::vector<uint8_t>& bytes) {
        set_buffer(bytes.data(), static_cast<uint32_t>(bytes.size()));
    }
    bool open(uint32_t) override { return true; }
};

class BytesSaveStream final : public storage::SaveStream {
public:
    explicit BytesSaveStream(std::vector<uint8_t>& bytes) : bytes_(bytes) { set_buffer(buffer_, sizeof buffer_); }
    bool open(uint32_t) override { return true; }
    bool finish() override {
        flush_used();
        return true;
    }

protected:
    void flush_buffer(uint8_t*& buffer, uint32_t& buffer_size, uint32_t used) override {
        bytes_.insert(bytes_.end(), buffer, buffer + used);
        buffer_size = sizeof buffer_;
    }

private:
    std::vector<uint8_t>& bytes_;
    uint8_t buffer_[4096];
};

bool is_world_up = false;

}  // namespace

void start_fuzz_world() {
    if (is_world_up) {
        return;
    }
    core::alias_server.register_server();
    core::proxy_server.register_server();
    core::placement_server.register_server();
    physics::physx_server.register_server();
    physics::physx_actor_server.register_server();
    core::string_server.register_server();
    core::array_server.register_server();
    core::dictionary_server.register_server();
    core::random_generator_server.register_server();
    renderer::material_server.register_server();
    // Generators with particles in flight; no worker threads in a fuzzer.
    renderer::separate_particle_update_thread_count = 0;
    renderer::particle_generator_server.register_server();
    renderer::debug_draw_server.register_server();
    // Mixing trees; without resources, animators and skeletons are refused.
    animation::animator_server.register_server();
    animation::track_mixer_server.register_server();
    animation::skeleton_server.register_server();
    is_world_up = true;
}

void save_fuzz_world(std::vector<uint8_t>& bytes) {
    bytes.clear();
    BytesSaveStream stream(bytes);
    core::save_all_servers(stream);
    stream.finish();
}

bool load_fuzz_world(std::vector<uint8_t>& bytes) {
    BytesLoadStream stream(bytes);
    return core::load_all_servers(stream);
}

}  // namespace zolt::fuzz
