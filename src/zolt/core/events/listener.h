#pragma once
// A listener (server type 11): subscribes its target object to broadcasts
// whose delivered id equals its pattern, optionally only those of one sender.
// It sits in its server's hash bucket for the pattern, or on the deferred
// list while a dispatch runs. Main thread only.
#include <cstdint>

#include "zolt/core/object_server/object_handle.h"
#include "zolt/core/object_server/server_object.h"

namespace zolt::core {

namespace listener_property {
constexpr uint32_t pattern = 0x0300000F, sender_filter = 0x01000022, target = 0x01000023;
}  // namespace listener_property

class Listener final : public ServerObject {
public:
    // The argument is the pattern; the listener joins its bucket (or the
    // deferred list during a dispatch).
    void initialize(uint32_t pattern) override;
    // Leaves its list; a dispatch walking past it goes on safely.
    void finalize() override;
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    bool get_property(uint32_t id, Property& out) const override;
    // The pattern cannot be changed.
    bool set_property(uint32_t id, const Property& value) override;

    uint32_t get_pattern() const { return pattern_; }
    ObjectHandle get_sender_filter() const { return sender_filter_; }
    void set_sender_filter(ObjectHandle sender) { sender_filter_ = sender; }
    ObjectHandle get_target() const { return target_; }
    void set_target(ObjectHandle target) { target_ = target; }

private:
    friend class ListenerServer;

    // Circular links of the bucket or deferred list named by list_.
    Listener* next_listener_ = this;
    Listener* previous_listener_ = this;
    Listener** list_ = nullptr;
    uint32_t pattern_ = 0;
    ObjectHandle sender_filter_ = 0;
    ObjectHandle target_ = 0;
};

}  // namespace zolt::core
