#pragma once
// Captures the whole saved world (every registered server's records and the
// owner links) as bytes, so two worlds compare equal exactly when every
// object, property, task stack and placement saves the same. Works without
// an event server as well.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "zolt/core/events/event_server.h"
#include "zolt/core/object_server/server_base.h"
#include "zolt/storage/save_stream.h"

namespace zolt::test {

class CapturingSaveStream final : public storage::SaveStream {
public:
    CapturingSaveStream() { set_buffer(chunk_, sizeof chunk_); }
    bool open(uint32_t) override { return true; }
    bool finish() override {
        flush_used();
        return true;
    }
    std::vector<uint8_t>& get_bytes() { return bytes_; }

protected:
    void flush_buffer(uint8_t*& buffer, uint32_t&, uint32_t used) override {
        bytes_.insert(bytes_.end(), buffer, buffer + used);
    }

private:
    uint8_t chunk_[65536];
    std::vector<uint8_t> bytes_;
};

inline std::vector<uint8_t> capture_bytes(const std::function<void(storage::SaveStream&)>& save) {
    auto stream = std::make_unique<CapturingSaveStream>();
    save(*stream);
    stream->finish();
    return std::move(stream->get_bytes());
}

// A load sets every clock's step to the frame period, and the next frame sets
// it anew, so the steps are left out: the event server's record zeroes them.
inline std::vector<uint8_t> capture_world() {
    std::vector<uint8_t> world;
    for (core::ServerBase* server = core::get_first_server(); server != nullptr;) {
        std::vector<uint8_t> bytes = capture_bytes([server](storage::SaveStream& stream) { server->save(stream); });
        if (server == &core::event_server) {
            const size_t clocks_start =
                capture_bytes([server](storage::SaveStream& stream) { server->ServerBase::save(stream); }).size() +
                6 * 4;
            for (uint32_t clock = 0; clock < core::clock_count; ++clock) {
                std::memset(bytes.data() + clocks_start + clock * 7 * 4 + 3 * 4, 0, 4);
            }
        }
        world.insert(world.end(), bytes.begin(), bytes.end());
        server = server->get_next_server() != core::get_first_server() ? server->get_next_server() : nullptr;
    }
    // The owner and child links follow the servers.
    const size_t servers_size = world.size();
    const std::vector<uint8_t> all = capture_bytes([](storage::SaveStream& stream) { core::save_all_servers(stream); });
    world.insert(world.end(), all.begin() + static_cast<std::ptrdiff_t>(servers_size), all.end());
    return world;
}

// Names the first differing byte instead of printing megabytes.
inline ::testing::AssertionResult are_same_worlds(const std::vector<uint8_t>& expected,
                                                  const std::vector<uint8_t>& actual) {
    if (expected == actual) {
        return ::testing::AssertionSuccess();
    }
    size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) {
        ++at;
    }
    return ::testing::AssertionFailure() << "worlds of " << expected.size() << " and " << actual.size()
                                         << " bytes differ first at byte " << at;
}

}  // namespace zolt::test
