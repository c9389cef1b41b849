#include "zolt/core/events/listener.h"

#include "zolt/core/events/listener_server.h"
#include "zolt/core/object_server/stream_words.h"

namespace zolt::core {

namespace {
constexpr uint32_t bare_pattern_key = 0x0F, bare_sender_key = 0x22, bare_target_key = 0x23;
constexpr uint32_t unsigned_type_word = property_type::unsigned_integer << 24;
}  // namespace

void Listener::initialize(uint32_t pattern) {
    pattern_ = pattern;
    sender_filter_ = 0;
    target_ = 0;
    listener_server.add_listener(this);
}

void Listener::finalize() {
    listener_server.remove_listener(this);
}

void Listener::save(storage::SaveStream& stream) {
    ServerObject::save(stream);
    write_u32(stream, pattern_);
    write_u32(stream, sender_filter_);
    write_u32(stream, target_);
}

bool Listener::load(storage::LoadStream& stream) {
    if (!ServerObject::load(stream) || !read_u32(stream, pattern_) || !read_u32(stream, sender_filter_) ||
        !read_u32(stream, target_)) {
        return false;
    }
    listener_server.add_listener(this);
    return true;
}

bool Listener::get_property(uint32_t id, Property& out) const {
    if (id == listener_property::pattern || id == bare_pattern_key) {
        out.set_u32(unsigned_type_word, pattern_);
        return true;
    }
    if (id == listener_property::sender_filter || id == bare_sender_key) {
        out.set_u32(unsigned_type_word, sender_filter_);
        return true;
    }
    if (id == listener_property::target || id == bare_target_key) {
        out.set_u32(unsigned_type_word, target_);
        return true;
    }
    return ServerObject::get_property(id, out);
}

bool Listener::set_property(uint32_t id, const Property& value) {
    if (id == listener_property::sender_filter) {
        sender_filter_ = value.get_u32();
        return true;
    }
    if (id == listener_property::target) {
        target_ = value.get_u32();
        return true;
    }
    return ServerObject::set_property(id, value);
}

}  // namespace zolt::core
