#include "zolt/network/network_clock.h"

#include <cmath>

#include "zolt/core/events/event_server.h"
#include "zolt/core/events/network_clock_rate.h"
#include "zolt/network/connection.h"
#include "zolt/network/network_game.h"
#include "zolt/network/user_messages.h"
#include "zolt/renderer/backend/frame_pacing.h"

namespace zolt::network {

namespace {

ClockSync sync;

uint32_t read_network_clock() {
    const uint32_t clock = get_network_message_clock();
    if (clock == no_network_clock || !core::event_server.is_registered()) {
        return 0;
    }
    return core::event_server.get_clock_time(clock);
}

// When frame pacing expects the next frame.
uint32_t read_expected_frame_time(uint32_t now) {
    const renderer::FramePacingState& pacing = renderer::get_frame_pacing_state();
    if (pacing.synchronized_mode) {
        return pacing.last_present_time;
    }
    if (pacing.next_slot_time == 0) {
        return now;
    }
    if (pacing.pending_frames > 1) {
        return pacing.next_slot_time + (pacing.pending_frames - 1) * pacing.frame_period;
    }
    return pacing.next_slot_time;
}

void set_clock_rate(float rate) {
    sync.rate = rate;
    core::get_network_clock_rate().rate = rate;
}

// The host's values come from the wire: the sums are done in 64 bits, and a
// rate that is not a number keeps the one before.
void adjust_clock_rate(uint32_t frame_period) {
    const uint32_t clock = get_network_message_clock();
    if (clock == no_network_clock || !sync.have_reply || sync.host_clock == 0 || frame_period == 0) {
        return;
    }
    if (sync.reset_clock) {
        sync.reset_clock = false;
        sync.rate = 1.0f;
        core::event_server.set_clock_time(clock, sync.host_clock);
        post_network_game_event(NetworkGameEvent::network_clock_changed);
        return;
    }
    int64_t off = sync.offset;
    if (sync.count > 0) {
        off += sync.sum / sync.count;
    }
    const int64_t ahead = static_cast<int64_t>(static_cast<int32_t>(sync.host_clock - sync.host_projection)) +
                          static_cast<int32_t>(sync.expected_frame_time - sync.sample_value) + off + frame_period;
    float rate = static_cast<float>(ahead) / static_cast<float>(frame_period);
    if (!std::isfinite(rate)) {
        return;
    }
    rate = rate < slowest_clock_rate ? slowest_clock_rate : rate > fastest_clock_rate ? fastest_clock_rate : rate;
    set_clock_rate(rate);
}

}  // namespace

const ClockSync& get_clock_sync() {
    return sync;
}

void clear_clock_sync(uint32_t now) {
    sync = {};
    sync.last_request_time = now - 2 * clock_request_interval;
    set_clock_rate(1.0f);
}

void choose_network_clock(uint32_t selector) {
    const uint32_t clock =
        selector == 0 || !core::event_server.is_registered() ? no_network_clock : core::event_server.resolve_clock(selector & 0x1Fu);
    set_network_message_clock(clock < core::clock_count ? clock : no_network_clock);
    core::get_network_clock_rate().clock = clock < core::clock_count ? clock : core::no_clock;
    if (get_network_game().host) {
        sync.reset_clock = false;
        post_network_game_event(NetworkGameEvent::network_clock_changed);
    } else {
        sync.reset_clock = true;
    }
}

void sample_network_clock(uint32_t now, bool host, uint32_t frame_period) {
    sync.sample_time = now;
    sync.sample_value = read_network_clock();
    sync.expected_frame_time = read_expected_frame_time(now);
    if (!host) {
        adjust_clock_rate(frame_period);
    }
}

void send_clock_request_if_due(Connection& client_link, uint32_t now) {
    if (!client_link.is_connected() || static_cast<int32_t>(now - sync.last_request_time) < 
        static_cast<int32_t>(clock_request_interval)) {
        return;
    }
    sync.last_request_time = now;
    client_link.send_clock_request(now);
}

void answer_clock_request(Connection& link, uint32_t client_time, uint32_t now) {
    const uint32_t host_clock = read_network_clock();
    const uint32_t projection = host_clock + sync.expected_frame_time - sync.sample_value;
    link.send_clock_reply(client_time, now, host_clock, projection);
}

bool accept_clock_reply(uint32_t echoed, uint32_t host_time, uint32_t host_clock, uint32_t host_projection,
                        uint32_t now) {
    const uint32_t round_trip = now - echoed;
    if (round_trip > longest_clock_round_trip) {
        return false;
    }
    if (sync.have_reply && static_cast<int32_t>(host_clock - sync.host_clock) < 0) {
        return false;
    }
    sync.last_reply_time = now;
    sync.host_clock = host_clock;
    sync.host_projection = host_projection;
    sync.have_reply = true;
    sync.sync_time_valid = true;
    const auto sample = static_cast<int32_t>(host_time - (echoed + round_trip / 2));
    const int64_t difference = static_cast<int64_t>(sample) - sync.offset;
    if (difference > clock_offset_jump || difference < -static_cast<int64_t>(clock_offset_jump)) {
        sync.offset = sample;
        sync.count = 1;
        sync.sum = 0;
        return true;
    }
    sync.sum += static_cast<int32_t>(difference);
    ++sync.count;
    if (sync.count >= clock_samples_to_fold) {
        sync.offset += sync.sum / sync.count;
        sync.sum = 0;
        sync.count /= 2;
    }
    return true;
}

uint32_t get_last_clock_sync_time(uint32_t now) {
    const NetworkGame& game = get_network_game();
    if (game.host || !get_connection(client_connection_index).is_connected()) {
        return now;
    }
    if (!sync.sync_time_valid) {
        sync.last_reply_time = now;
        sync.sync_time_valid = true;
    }
    return sync.last_reply_time;
}

}  // namespace zolt::network
