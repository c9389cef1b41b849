#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "../display/xvfb_server.h"
#include "platform/display/sdl_window.h"
#include "platform/input/input_backend.h"
#include "platform/input/virtual_keys.h"
#include "support/child_process.h"

namespace zolt::platform {
namespace {

constexpr const char* window_title = "zolt input test";

std::string run_command(const std::string& command) {
    std::string output;
    if (FILE* const pipe = popen(command.c_str(), "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, pipe) != nullptr) {
            output += line;
        }
        pclose(pipe);
    }
    while (!output.empty() && (output.back() == '\n' || output.back() == ' ')) {
        output.pop_back();
    }
    return output;
}

// Pumps the window's events for a while, printing what the engine would
// get as typed keys and characters.
void pump(uint32_t milliseconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end) {
        WindowEvent event;
        while (poll_window_event(&event)) {
            if (event.kind == WindowEventKind::key_down) {
                std::fprintf(stderr, "typed key %u\n", get_virtual_key(event.key));
            } else if (event.kind == WindowEventKind::character) {
                std::fprintf(stderr, "typed character %u\n", event.character);
            } else if (event.kind == WindowEventKind::activated) {
                std::fprintf(stderr, "activated\n");
            } else if (event.kind == WindowEventKind::deactivated) {
                std::fprintf(stderr, "deactivated\n");
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void print_keys(const char* label) {
    uint8_t state[keyboard_state_size];
    const InputResult result = get_input_backend().get_keyboard_state(state);
    std::fprintf(stderr, "%s read %u down", label, static_cast<uint32_t>(result));
    for (uint32_t scan_code = 0; result == InputResult::ok && scan_code < keyboard_state_size; ++scan_code) {
        if ((state[scan_code] & 0x80) != 0) {
            std::fprintf(stderr, " %u", scan_code);
        }
    }
    std::fprintf(stderr, "\n");
}

void print_mouse(const char* label) {
    MouseState state{};
    const InputResult result = get_input_backend().get_mouse_state(&state);
    std::fprintf(stderr, "%s read %u move %d %d %d buttons %u %u %u\n", label, static_cast<uint32_t>(result), state.x,
                 state.y, state.z, state.buttons[0] >> 7, state.buttons[1] >> 7, state.buttons[2] >> 7);
}

void xdotool(const std::string& arguments) {
    run_command("xdotool " + arguments + " 2>&1");
    pump(150);
}

TEST(SdlInputBackend, XKeysButtonsMotionAndTheWheelArriveAsTheDevicesReportThem) {
    test::XvfbServer server;
    if (!test::XvfbServer::is_installed() || run_command("command -v xdotool").empty()) {
        GTEST_SKIP() << "needs Xvfb and xdotool";
    }
    ASSERT_TRUE(server.is_running()) << server.get_failure();
    const std::string display = server.get_display();
    const test::ChildResult result = test::run_in_child([&] {
        setenv("DISPLAY", display.c_str(), 1);
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("SDL_VIDEODRIVER");
        if (!open_video()) {
            std::fprintf(stderr, "no video\n");
            return;
        }
        PixelFormatRequest request;
        request.red_bits = request.green_bits = request.blue_bits = 8;
        WindowGeometry geometry;
        geometry.width = 200;
        geometry.height = 150;
        DisplayWindow* const window =
            create_display_window(window_title, geometry, choose_pixel_format(request), false);
        show_window(window);
        pump(300);
        const std::string id = run_command(std::string("xdotool search --name '") + window_title + "' | head -1");
        std::fprintf(stderr, "window %s\n", id.empty() ? "missing" : "found");
        xdotool("mousemove --window " + id + " 100 75");
        xdotool("windowfocus --sync " + id);

        InputBackend& backend = get_input_backend();
        bool created = false;
        for (InputDeviceKind kind : {InputDeviceKind::keyboard, InputDeviceKind::mouse}) {
            backend.create_device(kind, &created);
            backend.set_data_format(kind);
        }
        backend.set_cooperative_level(InputDeviceKind::keyboard, window, input_non_exclusive | input_foreground);
        backend.set_cooperative_level(InputDeviceKind::mouse, window, input_exclusive | input_foreground);
        std::fprintf(stderr, "acquire %u %u\n", static_cast<uint32_t>(backend.acquire(InputDeviceKind::keyboard)),
                     static_cast<uint32_t>(backend.acquire(InputDeviceKind::mouse)));
        pump(200);
        print_mouse("start");

        xdotool("keydown a");
        xdotool("keydown KP_Enter");
        print_keys("held");
        xdotool("keyup a");
        xdotool("keyup KP_Enter");
        print_keys("released");
        xdotool("key Shift_R");
        xdotool("mousemove_relative -- 12 7");
        print_mouse("moved");
        xdotool("click 4");
        print_mouse("wheel up");
        xdotool("click 5");
        xdotool("click 5");
        print_mouse("wheel down");
        xdotool("mousedown 3");
        print_mouse("right down");
        xdotool("mouseup 3");

        char16_t name[65];
        if (backend.get_key_name(0x1E, name, 65)) {
            std::fprintf(stderr, "name of 30: %c%s\n", static_cast<char>(name[0]), name[1] == 0 ? "" : "...");
        }
        // Another window takes the focus: the devices are lost, and cannot
        // be had back while it keeps it.
        DisplayWindow* const other = create_display_window("other", geometry, choose_pixel_format(request), false);
        show_window(other);
        pump(200);
        const std::string other_id = run_command("xdotool search --name '^other$' | head -1");
        xdotool("windowfocus --sync " + other_id);
        pump(200);
        print_keys("unfocused");
        std::fprintf(stderr, "reacquire %u\n", static_cast<uint32_t>(backend.acquire(InputDeviceKind::keyboard)));
        backend.release_device(InputDeviceKind::mouse);
        backend.release_device(InputDeviceKind::keyboard);
        destroy_display_window(other);
        destroy_display_window(window);
        close_video();
    });
    const std::string& log = result.standard_error;
    EXPECT_EQ(result.exit_code, 0) << log;
    for (const char* expected : {
             "window found\n",
             "acquire 0 0\n",
             // key_a is scan code 30; numpad enter the extended 0x9C.
             "held read 0 down 30 156\n",
             "released read 0 down\n",
             "typed key 65\n",
             "typed character 97\n",
             "typed key 13\n",
             // Either shift key is the generic shift.
             "typed key 16\n",
             "moved read 0 move 12 7 0 buttons 0 0 0\n",
             "wheel up read 0 move 0 0 120 buttons 0 0 0\n",
             "wheel down read 0 move 0 0 -240 buttons 0 0 0\n",
             "right down read 0 move 0 0 0 buttons 0 1 0\n",
             "name of 30: A\n",
             "unfocused read 1 down\n",
             "reacquire 3\n",
         }) {
        EXPECT_NE(log.find(expected), std::string::npos) << expected << "in:\n" << log;
    }
}

}  // namespace
}  // namespace zolt::platform
