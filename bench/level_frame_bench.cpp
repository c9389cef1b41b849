// A frame of the sample level on Mesa's software renderer at 640 x 480: the
// whole program runs in a child process from the built sample packs, and
// after the level has settled each frame's drawing of its viewports is
// timed, split by render layer (the GL work finished at every edge, so each
// layer's share is its own). The peer is a bare GL loop in the same context
// and the same run: one shader drawing the level's own vertex and index
// buffers, every sub-part of every mesh once, from the level camera. A
// second run with debug_disable_shadows set is the peer of the first for
// the cost of the shadow maps; further runs add 1, 8 or 32 point lights
// round room A, all in view, against the level as it stands.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "libs/opengl/opengl_capabilities.h"
#include "platform/display/sdl_window.h"
#include "zolt/core/object_server/server_base.h"
#include "zolt/core/program/program_main.h"
#include "zolt/renderer/backend/frame_pacing.h"
#include "zolt/renderer/backend/stream.h"
#include "zolt/renderer/batcher/render_layer_table.h"
#include "zolt/renderer/batcher/render_timing.h"
#include "zolt/renderer/mesh/mesh.h"
#include "zolt/renderer/lights/light_instance.h"
#include "zolt/renderer/lights/light_server.h"
#include "zolt/renderer/mesh/mesh_server.h"
#include "zolt/navigation/loadable_area.h"

namespace {

using namespace zolt;
using Clock = std::chrono::steady_clock;

constexpr uint32_t settle_frames = 40;
constexpr uint32_t timed_frames = 60;
constexpr uint32_t peer_frames = 60;
constexpr uint32_t layer_count = renderer::render_layer_count;

struct Measure {
    std::vector<double> frames;
    std::vector<double> peer;
    double layer_seconds[layer_count] = {};
    uint32_t peer_triangles = 0;
};

struct ChildState {
    uint32_t frame = 0;
    uint32_t extra_lights = 0;
    Clock::time_point viewports_start;
    Clock::time_point layer_start;
    Measure measure;
    std::string output;
};

ChildState child;

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

bool is_timed_frame() {
    return child.frame >= settle_frames && child.frame < settle_frames + timed_frames;
}

void on_viewports(bool finished) {
    if (!is_timed_frame()) {
        return;
    }
    opengl::gl.glFinish();
    if (!finished) {
        child.viewports_start = Clock::now();
    } else {
        child.measure.frames.push_back(seconds_since(child.viewports_start));
    }
}

void on_layer(uint32_t index, bool finished) {
    if (!is_timed_frame() || index >= layer_count) {
        return;
    }
    opengl::gl.glFinish();
    if (!finished) {
        child.layer_start = Clock::now();
    } else {
        child.measure.layer_seconds[index] += seconds_since(child.layer_start);
    }
}

GLuint compile(GLenum kind, const char* source) {
    const GLuint shader = opengl::gl.glCreateShader(kind);
    opengl::gl.glShaderSource(shader, 1, &source, nullptr);
    opengl::gl.glCompileShader(shader);
    return shader;
}

// The level camera's view: eye (1.6, 4, 1.5) looking along +X with +Z up,
// 60 degrees high, as the sample's camera has it.
void make_view_projection(float out[16]) {
    const float near = 0.2f, far = 1400.0f, aspect = 640.0f / 480.0f;
    const float f = 1.0f / std::tan(3.14159265f / 6.0f);
    // Rows of the view: right (0, -1, 0), up (0, 0, 1) and back (-1, 0, 0),
    // each with minus its dot product with the eye.
    const float eye[3] = {1.6f, 4.0f, 1.5f};
    const float v[16] = {0, -1, 0, eye[1], 0, 0, 1, -eye[2], -1, 0, 0, eye[0], 0, 0, 0, 1};
    const float p[16] = {f / aspect, 0, 0, 0, 0, f, 0, 0, 0, 0, (far + near) / (near - far),
                         2 * far * near / (near - far), 0, 0, -1, 0};
    // Column-major product p * v for GL.
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            float sum = 0;
            for (int k = 0; k < 4; ++k) {
                sum += p[row * 4 + k] * v[k * 4 + column];
            }
            out[column * 4 + row] = sum;
        }
    }
}

struct PeerDraw {
    GLuint vertices = 0;
    GLuint indices = 0;
    GLsizei stride = 0;
    GLsizei count = 0;
    GLenum type = GL_UNSIGNED_SHORT;
};

// Every sub-part of every live mesh: its vertex stream (position first) and
// its index stream, as the content builder lays them out.
std::vector<PeerDraw> collect_mesh_buffers() {
    std::vector<PeerDraw> draws;
    core::for_each_live_object(&renderer::mesh_server, [&](core::ServerObject* object) {
        const renderer::MeshRender& mesh = static_cast<renderer::Mesh*>(object)->get_render();
        if (mesh.resource_data == nullptr) {
            return;
        }
        for (uint32_t index = 0; index < mesh.header.sub_part_count; ++index) {
            const renderer::MeshSubPart sub_part = renderer::read_mesh_sub_part(mesh.resource_data, mesh.header, index);
            if (sub_part.stream_count < 2 || sub_part.first_stream + 1 >= mesh.stream_count) {
                continue;
            }
            const renderer::Stream* const vertices = mesh.streams[sub_part.first_stream];
            const renderer::Stream* const indices = mesh.streams[sub_part.first_stream + 1];
            PeerDraw draw;
            draw.vertices = vertices->copies[vertices->current_copy].buffer;
            draw.indices = indices->copies[indices->current_copy].buffer;
            draw.stride = static_cast<GLsizei>(vertices->get_stride());
            const uint32_t index_size = indices->get_stride();
            draw.type = index_size == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT;
            draw.count = index_size != 0 ? static_cast<GLsizei>(indices->size / index_size) : 0;
            if (draw.vertices != 0 && draw.indices != 0 && draw.count > 0) {
                draws.push_back(draw);
            }
        }
    });
    return draws;
}

void run_peer() {
    const std::vector<PeerDraw> draws = collect_mesh_buffers();
    const GLuint program = opengl::gl.glCreateProgram();
    opengl::gl.glAttachShader(program, compile(GL_VERTEX_SHADER,
                                               "#version 120\n"
                                               "attribute vec3 position;\n"
                                               "uniform mat4 view_projection;\n"
                                               "void main() { gl_Position = view_projection * vec4(position, 1.0); }\n"));
    opengl::gl.glAttachShader(program, compile(GL_FRAGMENT_SHADER,
                                               "#version 120\n"
                                               "void main() { gl_FragColor = vec4(0.6, 0.6, 0.6, 1.0); }\n"));
    opengl::gl.glBindAttribLocation(program, 0, "position");
    opengl::gl.glLinkProgram(program);
    opengl::gl.glUseProgram(program);
    float view_projection[16];
    make_view_projection(view_projection);
    opengl::gl.glUniformMatrix4fv(opengl::gl.glGetUniformLocation(program, "view_projection"), 1, GL_FALSE,
                                  view_projection);
    opengl::gl.glDisable(GL_SCISSOR_TEST);
    opengl::gl.glDisable(GL_STENCIL_TEST);
    opengl::gl.glDisable(GL_BLEND);
    opengl::gl.glEnable(GL_DEPTH_TEST);
    opengl::gl.glDepthMask(GL_TRUE);
    opengl::gl.glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    opengl::gl.glViewport(0, 0, 640, 480);
    opengl::gl.glEnableVertexAttribArray(0);
    for (uint32_t frame = 0; frame < peer_frames; ++frame) {
        opengl::gl.glFinish();
        const Clock::time_point start = Clock::now();
        opengl::gl.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        for (const PeerDraw& draw : draws) {
            opengl::gl.glBindBuffer(GL_ARRAY_BUFFER, draw.vertices);
            opengl::gl.glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, draw.stride, nullptr);
            opengl::gl.glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, draw.indices);
            opengl::gl.glDrawElements(GL_TRIANGLES, draw.count, draw.type, nullptr);
        }
        opengl::gl.glFinish();
        child.measure.peer.push_back(seconds_since(start));
    }
    for (const PeerDraw& draw : draws) {
        child.measure.peer_triangles += static_cast<uint32_t>(draw.count / 3);
    }
}

void write_measure() {
    std::ofstream out(child.output);
    out << child.measure.frames.size() << '\n';
    for (const double seconds : child.measure.frames) {
        out << seconds << '\n';
    }
    out << child.measure.peer.size() << '\n';
    for (const double seconds : child.measure.peer) {
        out << seconds << '\n';
    }
    for (const double seconds : child.measure.layer_seconds) {
        out << seconds << '\n';
    }
    out << child.measure.peer_triangles << '\n';
}

// Point lights on a ring under room A's ceiling, each reaching its floor
// and walls, tied to the room.
void add_extra_lights(uint32_t count) {
    servers::LoadableArea* const area = servers::loadable_area_server.find_area(1);
    const core::ObjectHandle room = area != nullptr ? area->get_sector_slot(0) : 0;
    for (uint32_t index = 0; index < count; ++index) {
        renderer::Light* const light = renderer::light_server.create_light();
        if (light == nullptr || room == 0) {
            return;
        }
        const float angle = 6.2831853f * static_cast<float>(index) / static_cast<float>(count);
        const float position[3] = {4 + 2.5f * std::cos(angle), 4 + 2.5f * std::sin(angle), 2.5f};
        core::Property property;
        property.set_floats(renderer::light_property::position, position, 3);
        light->set_property(renderer::light_property::position, property);
        property.set_float(renderer::light_property::range, 6);
        light->set_property(renderer::light_property::range, property);
        property.set_float(renderer::light_property::intensity, 0.2f);
        light->set_property(renderer::light_property::intensity, property);
        property.set_u32(renderer::light_property::on, 1);
        light->set_property(renderer::light_property::on, property);
        renderer::LightInstance* const instance = renderer::light_instance_server.create_instance(light->get_handle());
        if (instance != nullptr) {
            property.set_u32(renderer::light_instance_property::sector, room);
            instance->set_property(renderer::light_instance_property::sector, property);
        }
    }
}

void on_present(int32_t, void*) {
    ++child.frame;
    if (child.frame == settle_frames / 2) {
        add_extra_lights(child.extra_lights);
    }
    if (child.frame == settle_frames + timed_frames) {
        run_peer();
        write_measure();
        platform::post_window_event(platform::WindowEventKind::close);
    }
}

bool read_measure(const std::string& path, Measure* measure) {
    std::ifstream in(path);
    size_t count = 0;
    if (!(in >> count)) {
        return false;
    }
    measure->frames.resize(count);
    for (double& seconds : measure->frames) {
        in >> seconds;
    }
    in >> count;
    measure->peer.resize(count);
    for (double& seconds : measure->peer) {
        in >> seconds;
    }
    for (double& seconds : measure->layer_seconds) {
        in >> seconds;
    }
    in >> measure->peer_triangles;
    return static_cast<bool>(in) && !measure->frames.empty() && !measure->peer.empty();
}

// The runs: as the sample stands, without shadow maps, and with 1, 8 and
// 32 more lights.
struct Setting {
    bool shadows;
    uint32_t extra_lights;
};
constexpr Setting settings[] = {{true, 0}, {false, 0}, {true, 1}, {true, 8}, {true, 32}};
constexpr uint32_t setting_count = std::size(settings);

// Runs the sample once per process and setting, and keeps what it measured.
const Measure* get_measure(uint32_t setting = 0) {
    static Measure measures[setting_count];
    static bool done[setting_count] = {};
    static bool valid[setting_count] = {};
    Measure& measure = measures[setting];
    if (done[setting]) {
        return valid[setting] ? &measure : nullptr;
    }
    done[setting] = true;
    const bool shadows = settings[setting].shadows;
    const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                         ("zolt-level-bench-" + std::to_string(getpid()) + "-" + std::to_string(setting));
    std::filesystem::create_directories(folder);
    for (const char* name : {"game.pack", "textures.pack", "sounds.pack", "figure.pack", "level.pack", "pack.list"}) {
        std::filesystem::copy_file(std::string(ZOLT_CONTENT_PATH) + "/" + name, folder / name,
                                   std::filesystem::copy_options::overwrite_existing);
    }
    const std::string output = (folder / "measure.txt").string();
    const pid_t pid = fork();
    if (pid == 0) {
        unsetenv("SDL_VIDEODRIVER");
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("DISPLAY");
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        std::filesystem::current_path(folder);
        child.output = output;
        child.extra_lights = settings[setting].extra_lights;
        renderer::render_timing_observer.viewports = &on_viewports;
        renderer::render_timing_observer.layer = &on_layer;
        renderer::set_present_observer(&on_present, nullptr);
        const char* arguments[] = {"zolt",           "config", "",      "window_width",          "640",
                                   "window_height",  "480",    "use_fullscreen", "0", "debug_disable_shadows",
                                   shadows ? "0" : "1", nullptr};
        _exit(run_program(11, const_cast<char**>(arguments)));
    }
    int status = 0;
    waitpid(pid, &status, 0);
    valid[setting] = read_measure(output, &measure);
    std::filesystem::remove_all(folder);
    return valid[setting] ? &measure : nullptr;
}

void report(benchmark::State& bench, const std::vector<double>& seconds) {
    size_t index = 0;
    for (auto _ : bench) {
        bench.SetIterationTime(seconds[index++ % seconds.size()]);
    }
}

void level_frame_zolt(benchmark::State& bench) {
    const Measure* const measure = get_measure();
    if (measure == nullptr) {
        bench.SkipWithError("the sample did not run");
        return;
    }
    report(bench, measure->frames);
    const double frames = static_cast<double>(measure->frames.size());
    static const char* const names[layer_count] = {
        "depth",     "depth_only", "nmap",         "nmap_decal", "fake_shadows", "mask_pass",      "nmap_lit",
        "lit_decal", "blended",    "debug_draw",   "10",         "11",           "near_nmap",      "near_lit",
        "near_blend", "screen_copy", "glow"};
    for (uint32_t index = 0; index < layer_count; ++index) {
        if (measure->layer_seconds[index] > 0 && index < std::size(names) && names[index] != nullptr) {
            bench.counters[std::string("us_") + names[index]] = measure->layer_seconds[index] / frames * 1e6;
        }
    }
}

void level_frame_bare_gl(benchmark::State& bench) {
    const Measure* const measure = get_measure();
    if (measure == nullptr) {
        bench.SkipWithError("the sample did not run");
        return;
    }
    report(bench, measure->peer);
    bench.counters["triangles"] = measure->peer_triangles;
}

// The whole frame, shadow passes included, against the same frame with
// shadow maps switched off.
void level_frame_setting(benchmark::State& bench, uint32_t setting) {
    const Measure* const measure = get_measure(setting);
    if (measure == nullptr) {
        bench.SkipWithError("the sample did not run");
        return;
    }
    report(bench, measure->frames);
}

}  // namespace

BENCHMARK_CAPTURE(level_frame_setting, on, 0)
    ->Name("level_frame_shadows/zolt/640x480")
    ->UseManualTime()
    ->Iterations(timed_frames);
BENCHMARK_CAPTURE(level_frame_setting, off, 1)
    ->Name("level_frame_shadows/shadows_off/640x480")
    ->UseManualTime()
    ->Iterations(timed_frames);
// Each against level_frame_shadows/zolt: the cost of more lights in view.
BENCHMARK_CAPTURE(level_frame_setting, one, 2)
    ->Name("level_frame_lights/plus_1/640x480")
    ->UseManualTime()
    ->Iterations(timed_frames);
BENCHMARK_CAPTURE(level_frame_setting, eight, 3)
    ->Name("level_frame_lights/plus_8/640x480")
    ->UseManualTime()
    ->Iterations(timed_frames);
BENCHMARK_CAPTURE(level_frame_setting, thirty_two, 4)
    ->Name("level_frame_lights/plus_32/640x480")
    ->UseManualTime()
    ->Iterations(timed_frames);
BENCHMARK(level_frame_zolt)->Name("level_frame/zolt/640x480")->UseManualTime()->Iterations(timed_frames);
BENCHMARK(level_frame_bare_gl)->Name("level_frame/bare_gl/640x480")->UseManualTime()->Iterations(peer_frames);
