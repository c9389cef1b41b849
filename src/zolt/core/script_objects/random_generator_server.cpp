#include "zolt/core/script_objects/random_generator_server.h"

#include "libs/system/time_base.h"
#include "zolt/core/object_server/stream_words.h"

namespace zolt::core {

RandomGeneratorServer random_generator_server;

namespace {

void write_state(storage::SaveStream& stream, const RandomGenerator& generator) {
    write_u32(stream, generator.x);
    write_u32(stream, generator.y);
    write_u32(stream, generator.z);
    write_u32(stream, generator.w);
}

// An all-zero state would draw 0 forever; no run of the generator reaches it.
bool read_state(storage::LoadStream& stream, RandomGenerator& generator) {
    RandomGenerator loaded;
    if (!read_u32(stream, loaded.x) || !read_u32(stream, loaded.y) || !read_u32(stream, loaded.z) ||
        !read_u32(stream, loaded.w)) {
        return false;
    }
    if ((loaded.x | loaded.y | loaded.z | loaded.w) == 0) {
        return false;
    }
    generator = loaded;
    return true;
}

bool is_key(uint32_t id, uint32_t typed_id) {
    return id == typed_id || id == (typed_id & 0xFFFFFFu);
}

}  // namespace

void RandomGeneratorObject::save(storage::SaveStream& stream) {
    ServerObject::save(stream);
    write_state(stream, generator_);
}

bool RandomGeneratorObject::load(storage::LoadStream& stream) {
    return ServerObject::load(stream) && read_state(stream, generator_);
}

bool RandomGeneratorObject::get_property(uint32_t id, Property& out) const {
    if (is_key(id, random_generator_property::draw)) {
        out.set_u32(property_type::unsigned_integer << 24, generator_.next());
        return true;
    }
    if (is_key(id, random_generator_property::float_inclusive)) {
        out.set_float(property_type::floating << 24, generator_.next_float_inclusive());
        return true;
    }
    if (is_key(id, random_generator_property::float_exclusive)) {
        out.set_float(property_type::floating << 24, generator_.next_float());
        return true;
    }
    return ServerObject::get_property(id, out);
}

bool RandomGeneratorObject::set_property(uint32_t id, const Property& value) {
    if (is_key(id, random_generator_property::seed)) {
        generator_.seed(value.get_u32());
        return true;
    }
    return ServerObject::set_property(id, value);
}

void RandomGeneratorServer::save(storage::SaveStream& stream) {
    ServerBase::save(stream);
    write_state(stream, global_random_generator);
}

bool RandomGeneratorServer::load(storage::LoadStream& stream) {
    return ServerBase::load(stream) && read_state(stream, global_random_generator);
}

void RandomGeneratorServer::seed_global_generator() {
    // The time base is the millisecond timer times 100.
    global_random_generator.seed(get_time());
}

uint32_t random_integer_from_generator(ObjectHandle generator, uint32_t low, uint32_t high) {
    ServerObject* const object = resolve_handle(generator);
    if (object == nullptr || get_handle_server_type(object->get_handle()) != server_type::random_generator) {
        return 0;
    }
    return static_cast<RandomGeneratorObject*>(object)->get_generator().next_integer(low, high);
}

}  // namespace zolt::core
