#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>

#include "zolt/network/bit_stream.h"
#include "zolt/network/connection.h"

namespace {

using zolt::network::NetworkStream;

// A typical property update: the widths of flags, small counters, handles,
// quantised positions and whole floats as the transport formats send them.
constexpr uint32_t update_widths[] = {1, 5, 7, 14, 26, 32, 11, 11, 11, 32, 1, 1, 8, 16, 26, 32};
constexpr uint32_t update_bits = [] {
    uint32_t total = 0;
    for (uint32_t width : update_widths) {
        total += width;
    }
    return total;
}();
constexpr uint32_t update_bytes = (update_bits + 7) / 8;

void property_update_bit_stream(benchmark::State& state) {
    static NetworkStream stream;
    uint32_t values[std::size(update_widths)];
    for (uint32_t i = 0; i < std::size(update_widths); ++i) {
        values[i] = 0x9E3779B9u * (i + 1);
    }
    for (auto _ : state) {
        stream.clear();
        for (uint32_t i = 0; i < std::size(update_widths); ++i) {
            stream.write_bits(update_widths[i], values[i]);
        }
        stream.align_to_byte();
        uint32_t sum = 0;
        for (uint32_t width : update_widths) {
            sum += stream.read_bits(width);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * update_bytes);
}

void property_update_memcpy(benchmark::State& state) {
    uint8_t source[update_bytes] = {};
    uint8_t wire[update_bytes];
    uint8_t back[update_bytes];
    for (uint32_t i = 0; i < update_bytes; ++i) {
        source[i] = static_cast<uint8_t>(i * 37);
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(source);
        std::memcpy(wire, source, update_bytes);
        benchmark::ClobberMemory();
        std::memcpy(back, wire, update_bytes);
        benchmark::DoNotOptimize(back);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * update_bytes);
}

BENCHMARK(property_update_bit_stream)->Name("bit_stream_property_update/zolt");
BENCHMARK(property_update_memcpy)->Name("bit_stream_property_update/memcpy");

uint32_t messages_read = 0;

bool count_message(zolt::network::Connection&, NetworkStream& stream, uint32_t, bool, uint32_t) {
    uint32_t value = 0;
    ++messages_read;
    return stream.read_checked(32, &value);
}

// Messages of one 32-bit property from the client link to slot 0 and read
// there, 100 to a frame.
void link_pair_messages(benchmark::State& state) {
    using namespace zolt::network;
    Connection& client = get_connection(client_connection_index);
    Connection& slot = get_connection(0);
    Connection::connect_local_pair(client, slot);
    set_user_message_reader(count_message);
    for (auto _ : state) {
        for (uint32_t i = 0; i < 100; ++i) {
            client.begin_message(1);
            get_send_stream().write_bits(32, i);
            client.finish_message(true);
        }
        slot.receive_pending_messages();
    }
    set_user_message_reader(nullptr);
    client.reset();
    slot.reset();
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 100);
}

// The same bytes copied into a ring and out again, with nothing checked.
void link_pair_ring_copy(benchmark::State& state) {
    static NetworkStream ring;
    const uint8_t message[7] = {32, 0, 1, 1, 2, 3, 4};
    uint8_t back[7];
    for (auto _ : state) {
        for (uint32_t i = 0; i < 100; ++i) {
            ring.write_bytes(sizeof message, message);
        }
        for (uint32_t i = 0; i < 100; ++i) {
            ring.read_bytes(sizeof back, back);
        }
        benchmark::DoNotOptimize(back);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 100);
}

BENCHMARK(link_pair_messages)->Name("link_pair_messages/zolt");
BENCHMARK(link_pair_ring_copy)->Name("link_pair_messages/ring_copy");

}  // namespace
