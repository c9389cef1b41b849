#include "zolt/renderer/backend/rendering_commands.h"

#include <atomic>

#include "libs/opengl/renderer_hooks.h"
#include "libs/utility/fatal_error.h"
#include "platform/system/threads.h"
#include "zolt/core/object_server/server_base.h"
#include "zolt/renderer/backend/frame_pacing.h"
#include "zolt/renderer/backend/rendering_command_mailbox.h"

namespace zolt::renderer {

RenderingCommandHooks rendering_command_hooks;

namespace {

struct RenderingCommandMailbox {
    std::atomic<uint32_t> issued_counter{0};
    std::atomic<uint32_t> completed_counter{0};
    std::atomic<int32_t> busy_flag{0};
    std::atomic<uint32_t> rendering_thread_id{0};
    uint32_t pending_command = 0;
    bool outside_command = true;
    bool loading_screen_mode = false;
    // Commands issued from inside a body nest; each level keeps its own view
    // of whether it raised the busy flag.
    uint32_t nesting_depth = 0;
    bool busy_raised_by_current = false;
};

RenderingCommandMailbox mailbox;

// The server framework's recovery of dead objects issues free_dead_objects
// and free_all_dead_objects through this.
void run_command_for_server_framework(uint32_t command) {
    issue_rendering_command(command);
}

}  // namespace

bool issue_rendering_command(uint32_t command) {
    mailbox.pending_command = command;
    int32_t idle = 0;
    const bool raised = mailbox.busy_flag.compare_exchange_strong(idle, 1);
    mailbox.issued_counter.fetch_add(1);
    // A command issued from inside another body must not leave the rest of
    // that body believing it runs outside a command.
    const bool outer_outside = mailbox.outside_command;
    const bool outer_raised = mailbox.busy_raised_by_current;
    mailbox.busy_raised_by_current = raised;
    mailbox.outside_command = false;
    ++mailbox.nesting_depth;
    core::set_in_rendering_command(true);
    const bool result = render_frame();
    --mailbox.nesting_depth;
    mailbox.outside_command = outer_outside;
    mailbox.busy_raised_by_current = outer_raised;
    core::set_in_rendering_command(mailbox.nesting_depth > 0);
    return result;
}

bool render_frame() {
    const uint32_t command = mailbox.pending_command;
    mailbox.pending_command = 0;
    if (!detail::run_command_body(command)) {
        ZOLT_PANIC("Invalid rendering command %u", command);
    }
    return true;
}

void register_as_rendering_thread() {
    uint32_t none = 0;
    if (!mailbox.rendering_thread_id.compare_exchange_strong(none, platform::get_current_thread_id())) {
        ZOLT_PANIC("Rendering thread can not be registered more than once");
    }
    core::set_rendering_command_runner(&run_command_for_server_framework);
    opengl::RendererHooks hooks;
    hooks.read_completed_counter = &read_completed_counter;
    opengl::set_renderer_hooks(hooks);
    issue_rendering_command(initialize_command);
}

void unregister_rendering_thread() {
    issue_rendering_command(shutdown_command);
    if (mailbox.rendering_thread_id.load() != platform::get_current_thread_id()) {
        ZOLT_PANIC("Rendering thread must be called from the thread which created the registration");
    }
    mailbox.rendering_thread_id.store(0);
    core::set_rendering_command_runner(nullptr);
}

void release_dead_render_objects() {
    issue_rendering_command(free_all_dead_objects_command);
}

bool render_or_skip_frame() {
    const FramePacingState& pacing = get_frame_pacing_state();
    if (!pacing.frame_ready) {
        return issue_rendering_command(update_frame_command);
    }
    if (pacing.lateness_budget < 0 && !pacing.late_frame_dropping_disabled) {
        return issue_rendering_command(update_frame_command);
    }
    if (pacing.synchronized_mode) {
        mark_frame_drawn();
        return issue_rendering_command(render_frame_command);
    }
    if (is_frame_due()) {
        mark_frame_drawn();
        return issue_rendering_command(render_frame_command);
    }
    return false;
}

uint32_t read_output_flags() {
    const uint32_t flags =
        rendering_command_hooks.read_event_flags != nullptr ? rendering_command_hooks.read_event_flags() : 0;
    return flags & ~0x1Fu;
}

uint32_t read_issued_counter() {
    return mailbox.issued_counter.load();
}

uint32_t read_completed_counter() {
    return mailbox.completed_counter.load();
}

bool is_busy() {
    return mailbox.busy_flag.load() != 0;
}

bool is_inside_rendering_command() {
    return !mailbox.outside_command && mailbox.rendering_thread_id.load() == platform::get_current_thread_id();
}

bool is_loading_screen_mode() {
    return mailbox.loading_screen_mode;
}

void set_outside_rendering_command(bool outside) {
    mailbox.outside_command = outside;
}

uint32_t get_rendering_thread_id() {
    return mailbox.rendering_thread_id.load();
}

namespace detail {

void lower_busy_flag() {
    if (mailbox.busy_raised_by_current) {
        int32_t busy = 1;
        mailbox.busy_flag.compare_exchange_strong(busy, 0);
        mailbox.busy_raised_by_current = false;
    }
}

void count_completed_command() {
    mailbox.completed_counter.fetch_add(1);
}

void count_extra_pass() {
    mailbox.completed_counter.fetch_add(1);
    mailbox.issued_counter.fetch_add(1);
}

void set_loading_screen_mode(bool on) {
    mailbox.loading_screen_mode = on;
}

}  // namespace detail

}  // namespace zolt::renderer
