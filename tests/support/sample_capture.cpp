#include "support/sample_capture.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "libs/io/temporary_folder.h"
#include "libs/opengl/opengl_capabilities.h"
#include "platform/display/sdl_window.h"
#include "zolt/core/program/program_main.h"
#include "zolt/renderer/backend/frame_pacing.h"

namespace zolt::test {
namespace {

struct ChildCapture {
    const SampleCapture* request = nullptr;
    std::string folder;
    uint32_t frames = 0;
};

ChildCapture child;

std::string frame_file(const std::string& folder, uint32_t frame) {
    return folder + "/frame" + std::to_string(frame) + ".rgba";
}

void on_present(int32_t, void*) {
    const SampleCapture& request = *child.request;
    ++child.frames;
    if (request.on_frame) {
        request.on_frame(child.frames);
    }
    for (const uint32_t frame : request.frames) {
        if (frame == child.frames) {
            std::vector<uint8_t> pixels(size_t{request.width} * request.height * 4);
            opengl::gl.glReadPixels(0, 0, static_cast<GLsizei>(request.width), static_cast<GLsizei>(request.height),
                                    GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
            std::ofstream(frame_file(child.folder, frame), std::ios::binary)
                .write(reinterpret_cast<const char*>(pixels.data()), static_cast<std::streamsize>(pixels.size()));
        }
    }
    if (!request.frames.empty() && child.frames == request.frames.back()) {
        platform::post_window_event(platform::WindowEventKind::close);
    }
}

}  // namespace

std::vector<Frame> run_sample_and_capture(const SampleCapture& request, ChildResult* result) {
    const TemporaryFolder folder;
    for (const char* name : {"game.pack", "textures.pack", "sounds.pack", "figure.pack", "level.pack", "pack.list"}) {
        std::filesystem::copy_file(std::string(ZOLT_CONTENT_PATH) + "/" + name, folder.get_path(name));
    }
    *result = run_in_child([&] {
        unsetenv("SDL_VIDEODRIVER");
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("DISPLAY");
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        std::filesystem::current_path(folder.get_folder());
        child.request = &request;
        child.folder = folder.get_folder().string();
        renderer::set_present_observer(&on_present, nullptr);
        if (request.before_start) {
            request.before_start();
        }
        const std::string width = std::to_string(request.width);
        const std::string height = std::to_string(request.height);
        std::vector<const char*> arguments = {"zolt",          "config",       "",  "window_width", width.c_str(),
                                              "window_height", height.c_str(), "use_fullscreen", "0"};
        for (const auto& [name, value] : request.settings) {
            arguments.push_back(name.c_str());
            arguments.push_back(value.c_str());
        }
        const int count = static_cast<int>(arguments.size());
        arguments.push_back(nullptr);
        const int code = zolt::run_program(count, const_cast<char**>(arguments.data()));
        std::fprintf(stderr, "frames %u code %d\n", child.frames, code);
    });
    std::vector<Frame> frames;
    for (const uint32_t number : request.frames) {
        Frame frame;
        frame.width = request.width;
        frame.height = request.height;
        const std::string bytes = read_file_bytes(frame_file(folder.get_folder().string(), number));
        if (bytes.size() == size_t{request.width} * request.height * 4) {
            frame.rgba.assign(bytes.begin(), bytes.end());
        }
        frames.push_back(std::move(frame));
    }
    return frames;
}

}  // namespace zolt::test
