#pragma once
// The listener server: 10000 listeners in 1021 hash buckets by pattern, each
// a circular list in insertion order. Dispatching a broadcast walks at most
// four buckets; handlers may create and destroy listeners meanwhile: new
// ones wait on the deferred list until the dispatch ends, and a destroyed
// one moves the walk's cursor past itself. Main thread only.
#include <cstdint>

#include "zolt/core/events/listener.h"
#include "zolt/core/object_server/pooled_server.h"

namespace zolt::core {

class Message;

constexpr uint32_t listener_capacity = 10000;
constexpr uint32_t listener_bucket_count = 1021;

class ListenerServer final : public PooledServer<Listener, listener_capacity> {
public:
    ListenerServer() : PooledServer(server_type::listener) {}

    const char* get_name() const override { return "ListenerServer"; }
    void unregister_server() override;

    // Hands the broadcast to the target of every matching listener: the
    // exact id, then (when its low 16 bits are not 0) the wildcards of bits
    // 0-15 and of bits 16-25, then both. Answers how many targets took it.
    uint32_t dispatch(Message* message);
    // The first listener of the pattern with that target and no sender filter.
    Listener* find_listener(uint32_t pattern, ObjectHandle target);

    bool is_dispatching() const { return dispatching_; }

private:
    friend class Listener;

    void add_listener(Listener* listener);
    void remove_listener(Listener* listener);
    static void append_to_list(Listener*& head, Listener* listener);
    static void remove_from_list(Listener*& head, Listener* listener);
    // False when the message died in a handler.
    bool dispatch_pattern(uint32_t pattern, Message* message, uint32_t& count);

    Listener* buckets_[listener_bucket_count] = {};
    Listener* deferred_ = nullptr;
    bool dispatching_ = false;
    // The next listener the walk visits (null: done) and the walk's last one.
    Listener* cursor_ = nullptr;
    Listener* last_ = nullptr;
};

extern ListenerServer listener_server;

}  // namespace zolt::core
