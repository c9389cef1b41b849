#pragma once
// The network clock: the event clock on which the scripts of a network game
// time their events. On the host it simply runs; each client asks the host
// for its clock four times a second, estimates the offset between the two
// machines' time bases and, every frame, sets the rate of its own network
// clock so that it meets the host's at its next frame. All times are ticks
// of 10 microseconds. Main thread only.
#include <cstdint>

namespace zolt::network {

class Connection;

struct ClockSync {
    uint32_t last_request_time = 0;
    // The frame sample: when, the network clock then, and when the next
    // frame is expected.
    uint32_t sample_time = 0;
    uint32_t sample_value = 0;
    uint32_t expected_frame_time = 0;
    bool have_reply = false;
    uint32_t host_clock = 0;
    uint32_t host_projection = 0;
    int32_t offset = 0;
    int32_t sum = 0;
    int32_t count = 0;
    bool reset_clock = true;
    uint32_t last_reply_time = 0;
    bool sync_time_valid = false;
    float rate = 1.0f;
};

constexpr uint32_t clock_request_interval = 25000;
constexpr uint32_t longest_clock_round_trip = 1000000;
constexpr uint32_t clock_offset_jump = 3000000;
constexpr int32_t clock_samples_to_fold = 480;
constexpr float slowest_clock_rate = 0.25f;
constexpr float fastest_clock_rate = 4.0f;

const ClockSync& get_clock_sync();
// Joining a game: the first request goes out at once, the clock jumps to
// the host's at the first reply.
void clear_clock_sync(uint32_t now);
// Builtin 344: a clock selector, 0 for none.
void choose_network_clock(uint32_t selector);
// Frame-loop state 4: the sample, and on a client the clock's rate.
void sample_network_clock(uint32_t now, bool host, uint32_t frame_period);
// Client, every network tick.
void send_clock_request_if_due(Connection& client_link, uint32_t now);
// Host: answers a joined slot's request.
void answer_clock_request(Connection& link, uint32_t client_time, uint32_t now);
// Client: false when the reply was not used.
bool accept_clock_reply(uint32_t echoed, uint32_t host_time, uint32_t host_clock, uint32_t host_projection,
                        uint32_t now);
// The time of the last accepted reply; now on the host or without a
// connected client link.
uint32_t get_last_clock_sync_time(uint32_t now);

}  // namespace zolt::network
