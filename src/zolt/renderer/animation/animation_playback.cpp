#include "zolt/renderer/animation/animation_playback.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "zolt/renderer/animation/pose_mixing.h"

namespace zolt::animation {
namespace {

bool is_backwards(const AnimatorPlayback& playback) {
    return playback.speed < 0;
}

uint32_t get_end_position(uint32_t duration, const AnimatorPlayback& playback) {
    return is_backwards(playback) ? 0 : duration;
}

void post_events_at(const AnimationView& animation, uint32_t time, AnimationEventSink& sink) {
    for (uint32_t index = 0; index < animation.header.event_count; ++index) {
        const AnimationEvent event = read_animation_event(animation, index);
        if (event.time == time) {
            sink.post_animation_event(event);
        }
    }
}

}  // namespace

bool move_position(PlaybackPosition& playback, uint32_t duration, bool looping, int64_t delta) {
    if (duration == 0) {
        return false;
    }
    const bool backwards = delta < 0;
    // A backward move is a forward move of the mirrored position.
    const uint64_t start = backwards ? duration - playback.position : playback.position;
    const uint64_t distance = backwards ? uint64_t(0) - static_cast<uint64_t>(delta) : static_cast<uint64_t>(delta);
    uint64_t moved = start + distance;
    bool changed;
    if (looping) {
        if (moved > duration) {
            const uint64_t wraps = (moved - 1) / duration;
            moved -= wraps * duration;
            // Saturate rather than wrap the count on absurdly long runs.
            const int64_t cycles = int64_t{playback.cycles} + (backwards ? -int64_t(wraps) : int64_t(wraps));
            playback.cycles = static_cast<int32_t>(std::clamp<int64_t>(cycles, INT32_MIN, INT32_MAX));
        }
        changed = true;
    } else {
        moved = std::min<uint64_t>(moved, duration);
        changed = moved != start;
    }
    playback.position = static_cast<uint32_t>(backwards ? duration - moved : moved);
    return changed;
}

void handle_events_at_position(const AnimationView& animation, AnimatorPlayback& playback, AnimationEventSink& sink) {
    const uint32_t duration = animation.header.duration;
    if (playback.events_handled || duration == 0) {
        return;
    }
    const uint32_t position = playback.at.position;
    post_events_at(animation, position, sink);
    if (position == get_end_position(duration, playback)) {
        if (playback.looping) {
            post_events_at(animation, duration - position, sink);
        }
        sink.post_animation_event({position, animation_end_event, {0, 0}});
    }
    playback.events_handled = true;
}

std::optional<uint32_t> get_delay_to_next_event(const AnimationView& animation, const AnimatorPlayback& playback) {
    const uint32_t duration = animation.header.duration;
    const uint32_t position = playback.at.position;
    const bool backwards = is_backwards(playback);
    std::optional<uint32_t> delay;
    uint32_t to_end = backwards ? position : duration - position;
    const bool at_handled_end = to_end == 0 && playback.events_handled;
    if (at_handled_end) {
        if (playback.looping) {
            delay = duration;
        }
    } else {
        delay = to_end;
    }
    // Events ahead in the playing direction, and past the end from the other
    // end when looping. Ahead means beyond the position: those at it are
    // handled before any move.
    for (uint32_t index = 0; index < animation.header.event_count; ++index) {
        const uint32_t time = read_animation_event(animation, index).time;
        std::optional<uint32_t> distance;
        if (!backwards && time > position) {
            distance = time - position;
        } else if (backwards && time < position) {
            distance = position - time;
        } else if (playback.looping) {
            // Wrapping round: the events at the far end were posted with
            // those of the near end.
            const uint32_t wrapped = backwards ? duration - time : time;
            if (wrapped > 0 && wrapped < duration) {
                distance = to_end + wrapped;
            }
        }
        if (distance && (!delay || *distance < *delay)) {
            delay = distance;
        }
    }
    return delay;
}

void advance_playback(const AnimationView& animation, AnimatorPlayback& playback, double ticks, bool events_enabled,
                      AnimationEventSink& sink) {
    if (!(std::fabs(playback.speed) > negligible_weight)) {
        return;
    }
    if (events_enabled) {
        handle_events_at_position(animation, playback, sink);
    }
    // Truncated toward zero, saturating far beyond any 32-bit step.
    const double scaled = std::trunc(double(playback.speed) * ticks);
    const int64_t steps = static_cast<int64_t>(std::clamp(scaled, -9.0e15, 9.0e15));
    if (steps == 0) {
        return;
    }
    const int64_t direction = steps < 0 ? -1 : 1;
    uint64_t remaining = static_cast<uint64_t>(steps < 0 ? -steps : steps);
    const uint32_t duration = animation.header.duration;
    while (remaining > 0) {
        uint64_t step = remaining;
        if (events_enabled) {
            const std::optional<uint32_t> delay = get_delay_to_next_event(animation, playback);
            // A zero delay cannot arise after the position's events were
            // handled; never let it stall the loop.
            if (delay) {
                step = std::clamp<uint64_t>(*delay, 1, remaining);
            }
        }
        if (move_position(playback.at, duration, playback.looping, direction * static_cast<int64_t>(step))) {
            playback.events_handled = false;
        }
        if (events_enabled) {
            handle_events_at_position(animation, playback, sink);
        }
        remaining -= step;
    }
}

bool is_playback_finished(const AnimationView& animation, const AnimatorPlayback& playback) {
    if (playback.looping) {
        return false;
    }
    const uint32_t duration = animation.header.duration;
    return duration == 0 || (playback.events_handled && playback.at.position == get_end_position(duration, playback));
}

void set_playback_speed(AnimatorPlayback& playback, uint32_t duration, float speed) {
    const bool was_backwards = playback.speed < 0;
    const bool backwards = speed < 0;
    if (was_backwards != backwards && duration != 0) {
        if (backwards && playback.at.position == 0) {
            playback.at.position = duration;
            playback.events_handled = false;
        } else if (!backwards && playback.at.position == duration) {
            playback.at.position = 0;
            playback.events_handled = false;
        }
    }
    playback.speed = speed;
}

}  // namespace zolt::animation
