#include <SDL.h>

#include "platform/display/sdl_display_state.h"
#include "platform/display/sdl_window.h"
#include "platform/input/sdl_input_events.h"

namespace zolt::platform {

namespace {

// Characters of one text event wait here until they are taken one by one.
constexpr uint32_t pending_character_capacity = SDL_TEXTINPUTEVENT_TEXT_SIZE;
uint32_t pending_characters[pending_character_capacity];
uint32_t pending_character_count = 0;
uint32_t pending_character_index = 0;

// Decodes UTF-8; a malformed sequence is skipped a byte at a time.
void queue_characters(const char* text) {
    pending_character_count = 0;
    pending_character_index = 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    while (*bytes != 0 && pending_character_count < pending_character_capacity) {
        const unsigned char lead = *bytes;
        uint32_t length = 0;
        uint32_t code_point = 0;
        if (lead < 0x80) {
            length = 1;
            code_point = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            code_point = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            code_point = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            code_point = lead & 0x07;
        } else {
            ++bytes;
            continue;
        }
        uint32_t index = 1;
        for (; index < length && (bytes[index] & 0xC0) == 0x80; ++index) {
            code_point = (code_point << 6) | (bytes[index] & 0x3F);
        }
        if (index < length) {
            ++bytes;
            continue;
        }
        bytes += length;
        pending_characters[pending_character_count++] = code_point;
    }
}

bool is_game_window_event(const SDL_Event& event) {
    const DisplayWindow* game_window = get_sdl_display_state().game_window;
    return game_window != nullptr && event.window.windowID == SDL_GetWindowID(game_window->window);
}

// True when the SDL event is one the engine sees.
bool translate(const SDL_Event& event, WindowEvent* out) {
    const SdlDisplayState& state = get_sdl_display_state();
    if (event.type == SDL_QUIT) {
        out->kind = WindowEventKind::quit;
        return true;
    }
    if (state.private_event_type != 0 && event.type == state.private_event_type) {
        out->kind = static_cast<WindowEventKind>(event.user.code);
        return true;
    }
    switch (event.type) {
    case SDL_WINDOWEVENT:
        if (!is_game_window_event(event)) {
            return false;
        }
        switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
            out->kind = WindowEventKind::close;
            return true;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            out->kind = WindowEventKind::activated;
            return true;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            out->kind = WindowEventKind::deactivated;
            return true;
        default:
            return false;
        }
    case SDL_KEYDOWN:
        if (!is_game_window_event(event)) {
            return false;
        }
        out->kind = WindowEventKind::key_down;
        out->key = static_cast<uint32_t>(event.key.keysym.sym);
        return true;
    case SDL_TEXTINPUT:
        if (!is_game_window_event(event)) {
            return false;
        }
        queue_characters(event.text.text);
        return false;
    default:
        return false;
    }
}

}  // namespace

bool poll_window_event(WindowEvent* event) {
    if (!get_sdl_display_state().video_open) {
        return false;
    }
    for (;;) {
        if (pending_character_index < pending_character_count) {
            *event = WindowEvent{};
            event->kind = WindowEventKind::character;
            event->character = pending_characters[pending_character_index++];
            return true;
        }
        SDL_Event sdl_event;
        if (SDL_PollEvent(&sdl_event) == 0) {
            return false;
        }
        handle_input_event(sdl_event);
        *event = WindowEvent{};
        if (translate(sdl_event, event)) {
            return true;
        }
    }
}

void post_window_event(WindowEventKind kind) {
    const SdlDisplayState& state = get_sdl_display_state();
    if (!state.video_open) {
        return;
    }
    SDL_Event event{};
    switch (kind) {
    case WindowEventKind::quit:
        event.type = SDL_QUIT;
        break;
    case WindowEventKind::close:
        if (state.game_window == nullptr) {
            return;
        }
        event.type = SDL_WINDOWEVENT;
        event.window.event = SDL_WINDOWEVENT_CLOSE;
        event.window.windowID = SDL_GetWindowID(state.game_window->window);
        break;
    default:
        event.type = state.private_event_type;
        event.user.code = static_cast<Sint32>(kind);
        break;
    }
    SDL_PushEvent(&event);
}

}  // namespace zolt::platform
