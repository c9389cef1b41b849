#include "zolt/core/loading_screen/loading_screen.h"

#include "libs/system/time_base.h"
#include "zolt/renderer/backend/rendering_commands.h"
#include "zolt/renderer/loading_screen/loading_screen.h"
#include "zolt/renderer/texture/texture_server.h"

namespace zolt::core {

namespace {

constexpr uint32_t first_language = 1;
constexpr uint32_t last_language = 13;

// Statically allocated: it lives as long as the process, and its destructor
// unlinks it at exit.
Thread loading_screen_thread(&loading_screen_thread_step);

}  // namespace

void show_loading_screen(uint32_t picture, float centre_x, float centre_y, float width, float height) {
    renderer::LoadingScreenState& state = renderer::loading_screen;
    if (picture != 0 && renderer::texture_server.is_registered()) {
        state.loading_texture = renderer::texture_server.create_texture(picture);
    }
    state.requested_centre[0] = centre_x;
    state.requested_centre[1] = centre_y;
    state.requested_size[0] = width;
    state.requested_size[1] = height;
    state.shown = true;
    renderer::issue_rendering_command(renderer::begin_loading_screen_command);
    if (state.loading_texture != nullptr) {
        renderer::texture_server.release_texture(state.loading_texture);
        state.loading_texture = nullptr;
    }
    state.requested_centre[0] = state.requested_centre[1] = 0;
    state.requested_size[0] = state.requested_size[1] = 0;
}

void hide_loading_screen() {
    renderer::issue_rendering_command(renderer::end_loading_screen_command);
    renderer::loading_screen.shown = false;
}

bool is_loading_screen_shown() {
    return renderer::loading_screen.shown;
}

void loading_screen_thread_step(Thread* thread) {
    renderer::present_loading_screen();
    schedule_thread(thread, get_time() + renderer::loading_screen_redraw_interval);
}

Thread& get_loading_screen_thread() {
    return loading_screen_thread;
}

uint32_t validate_language(uint32_t language) {
    return language >= first_language && language <= last_language ? language : first_language;
}

}  // namespace zolt::core
