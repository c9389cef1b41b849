#pragma once
// An animator's playback: moving the position forwards or backwards,
// clamped at the ends or looping with a count of whole cycles; handling the
// events at a position once; finding the delay to the next event or end; and
// advancing by a step of mixer time, cut at every event so that each one is
// handled at its own position. Any thread.
#include <cstdint>
#include <optional>

#include "zolt/renderer/animation/animation_format.h"

namespace zolt::animation {

struct PlaybackPosition {
    uint32_t position = 0;  // ticks, 0 to the duration
    int32_t cycles = 0;     // loops completed, negative when playing backwards
};

struct AnimatorPlayback {
    PlaybackPosition at;
    float speed = 1.0f;
    bool looping = false;
    // The events at the current position were handled.
    bool events_handled = false;
};

// Receives the events an advance reaches, in the order they are reached;
// the end of the animation arrives as animation_end_event.
class AnimationEventSink {
public:
    virtual void post_animation_event(const AnimationEvent& event) = 0;

protected:
    ~AnimationEventSink() = default;
};

// Moves by delta ticks (negative: backwards). True when the position
// changed; a looping move always counts as a change. A duration of 0 never
// moves.
bool move_position(PlaybackPosition& playback, uint32_t duration, bool looping, int64_t delta);

// Posts, once per position, the events at it; at the end in the playing
// direction also those of the other end when looping, then the end event.
void handle_events_at_position(const AnimationView& animation, AnimatorPlayback& playback, AnimationEventSink& sink);

// Ticks of animation time to the next event or the end in the playing
// direction; none when neither lies ahead.
std::optional<uint32_t> get_delay_to_next_event(const AnimationView& animation, const AnimatorPlayback& playback);

// Advances by ticks of mixer time times the speed (truncated). With events
// enabled the events at every position reached are handled and the advance
// is cut at each; without, the position just moves.
void advance_playback(const AnimationView& animation, AnimatorPlayback& playback, double ticks, bool events_enabled,
                      AnimationEventSink& sink);

// False when looping; true without a duration; otherwise once the events at
// the end in the playing direction were handled.
bool is_playback_finished(const AnimationView& animation, const AnimatorPlayback& playback);

// A change of direction at the far end jumps to the other end, so that the
// animation plays through again.
void set_playback_speed(AnimatorPlayback& playback, uint32_t duration, float speed);

}  // namespace zolt::animation
