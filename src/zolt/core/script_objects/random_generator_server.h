#pragma once
// The one generator object scripts may create (server type 9) for a
// sequence of their own, seeded by its creation argument, and the server
// that keeps it. The server also carries the global generator: it seeds it
// from the clock at engine start and writes its state into every saved game,
// so loading a game continues the global sequence. Main thread only.
#include <cstdint>

#include "zolt/core/object_server/pooled_server.h"
#include "zolt/core/script_objects/random_generator.h"

namespace zolt::core {

namespace random_generator_property {
constexpr uint32_t seed = 0x03000030, draw = 0x03000031, float_inclusive = 0x05000032, float_exclusive = 0x05000033;
}  // namespace random_generator_property

class RandomGeneratorObject final : public ServerObject {
public:
    void initialize(uint32_t argument) override { generator_.seed(argument); }
    void finalize() override {}
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    // Every get of a draw advances the state.
    bool get_property(uint32_t id, Property& out) const override;
    bool set_property(uint32_t id, const Property& value) override;

    RandomGenerator& get_generator() { return generator_; }

private:
    // Reading a draw is still a draw.
    mutable RandomGenerator generator_;
};

class RandomGeneratorServer final : public PooledServer<RandomGeneratorObject, 1> {
public:
    RandomGeneratorServer() : PooledServer(server_type::random_generator) {}

    const char* get_name() const override { return "RandomGeneratorServer"; }
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;

    // Engine start: seeds the global generator from the time base.
    void seed_global_generator();
};

extern RandomGeneratorServer random_generator_server;

// next_integer of the live generator object; 0 when the handle names none.
uint32_t random_integer_from_generator(ObjectHandle generator, uint32_t low, uint32_t high);

}  // namespace zolt::core
