// The packet reader of network links: the input is a run of packets from a
// peer, each a link byte (0xFE: a server-query datagram of the LAN search,
// read as a query and as an answer; otherwise even: a host-side link, odd:
// the client link), a 16-bit little-endian size and that many bytes. The receiving side has
// formats of every transport kind defined, and reads command batches as the
// host does. No packet may end in a fatal
// report, every ring stays within its capacity, and once the links are reset
// and the queued messages freed no object is left behind.
#include <cstdint>
#include <cstring>

#include "platform/online/server_query_packets.h"
#include "support/fuzz_entry.h"
#include "zolt/core/events/event_server.h"
#include "zolt/core/events/message_server.h"
#include "zolt/core/object_server/server_statistics.h"
#include "zolt/core/script_objects/dictionary_server.h"
#include "zolt/core/script_objects/string_server.h"
#include "zolt/network/command_batch.h"
#include "zolt/network/connection.h"
#include "zolt/network/game_list.h"
#include "zolt/network/game_server.h"
#include "zolt/network/transport_formats.h"
#include "zolt/network/user_messages.h"

namespace {

using namespace zolt;
using network::make_transport_format;
using network::TransportKind;

const uint8_t* input = nullptr;
size_t input_size = 0;

bool accept_any(network::Connection&, network::NetworkStream& stream) {
    // Reads whatever the row allows, like a handler with fields would.
    uint32_t word = 0;
    return stream.get_bit_count() < 8 || stream.read_checked(8, &word);
}

void start_world() {
    static bool started = false;
    if (started) {
        return;
    }
    started = true;
    core::string_server.register_server();
    core::dictionary_server.register_server();
    core::event_server.register_server();
    core::message_server.register_server();
    servers::game_server.register_server();
    network::TransportFormatManager& formats = network::transport_formats;
    formats.begin_format(1, 0x20);
    formats.add_pair(0x3000500, make_transport_format(TransportKind::boolean, 0));
    formats.add_pair(0x3000501, make_transport_format(TransportKind::unsigned_integer, 7));
    formats.add_pair(0x4000502, make_transport_format(TransportKind::signed_integer, 12));
    formats.add_pair(0x5000503, make_transport_format(TransportKind::floating, 0));
    formats.add_pair(0x5000504, make_transport_format(TransportKind::quantised_float, 10, 4));
    formats.end_format();
    formats.begin_format(2, 0x21);
    formats.add_pair(0x30000505, make_transport_format(TransportKind::float_vector, 0, 0, 0b0101));
    formats.add_pair(0x40000506, make_transport_format(TransportKind::quantised_vector, 9, 3, 0b1111));
    formats.add_pair(0x3000507, make_transport_format(TransportKind::object_handle, 0));
    formats.add_pair(0x3000508, make_transport_format(TransportKind::string, 0));
    formats.end_format();
    network::set_user_message_reader(network::read_user_message);
    for (uint32_t id = 1; id < network::system_message_count; ++id) {
        network::set_system_message_handler(network::MessageSide::both, static_cast<network::SystemMessageId>(id),
                                            accept_any);
    }
    // Command batches make messages of what they read.
    network::set_system_message_handler(network::MessageSide::host, network::SystemMessageId::command_batch,
                                        network::on_command_batch);
    network::set_network_message_clock(0);
}

void open_links() {
    network::Connection& host = network::get_connection(1);
    host.open_to_user(platform::make_user_id(2), 1);
    host.set_delivering(true);
    network::Connection& client = network::get_connection(network::client_connection_index);
    client.open_to_user(platform::make_user_id(3), network::no_player_slot);
    client.set_client_link(true);
    client.set_delivering(true);
}

constexpr uint8_t server_query_link = 0xFE;

void read_server_query_datagram(const uint8_t* bytes, size_t size) {
    uint32_t nonce = 0;
    uint32_t app_id = 0;
    platform::read_server_query(bytes, size, &nonce, &app_id);
    platform::ServerItem item;
    if (platform::read_server_answer(bytes, size, &nonce, &item)) {
        fuzz::expect(std::memchr(item.name, 0, sizeof item.name) != nullptr &&
                         std::memchr(item.map, 0, sizeof item.map) != nullptr &&
                         std::memchr(item.tags, 0, sizeof item.tags) != nullptr,
                     "a server answer's text has no end");
        network::GameListing listing;
        network::make_server_listing(item, &listing);
    }
}

void read_packets() {
    open_links();
    size_t offset = 0;
    while (offset + 3 <= input_size) {
        network::Connection& link =
            network::get_connection((input[offset] & 1) != 0 ? network::client_connection_index : 1);
        const size_t size = input[offset + 1] | static_cast<size_t>(input[offset + 2]) << 8;
        offset += 3;
        const size_t taken = size < input_size - offset ? size : input_size - offset;
        if (input[offset - 3] == server_query_link) {
            read_server_query_datagram(input + offset, taken);
            offset += taken;
            continue;
        }
        link.receive_packet(input + offset, static_cast<uint32_t>(taken));
        fuzz::expect(link.get_receive_ring().get_bit_count() <= network::NetworkStream::capacity_bits,
                     "a ring holds more bits than it can");
        offset += taken;
        // A failed link is the answer to a bad packet; the game would drop it.
        if (link.get_state() != network::ConnectionState::connected) {
            open_links();
        }
    }
}

uint32_t live_count(const core::ServerBase& server) {
    core::ServerStatistics statistics{};
    server.get_statistics(statistics);
    return statistics.live_count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 70000) {
        return 0;
    }
    start_world();
    input = data;
    input_size = size;
    const uint32_t strings = live_count(core::string_server);
    const uint32_t dictionaries = live_count(core::dictionary_server);
    if (!fuzz::run_until_fatal_report([] { read_packets(); })) {
        fuzz::fail_harness("a packet ended in a fatal report");
    }
    for (uint32_t i = 0; i < network::connection_count; ++i) {
        network::get_connection(i).reset();
    }
    core::message_server.destroy_all_objects();
    fuzz::expect(live_count(core::message_server) == 0, "messages outlived their link");
    fuzz::expect(live_count(core::string_server) == strings, "strings outlived their messages");
    fuzz::expect(live_count(core::dictionary_server) == dictionaries, "dictionaries outlived their messages");
    return 0;
}
