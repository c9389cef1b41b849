#pragma once
// The built sample in the whole program: run in a child process from a copy
// of its packs, without a display on Mesa's software renderer, at a window
// size the test chooses; chosen presented frames are read back, and a
// callback sees every frame first (to press keys). The program is asked to
// close after the last captured frame.
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "support/child_process.h"
#include "support/reference_image.h"

namespace zolt::test {

struct SampleCapture {
    uint32_t width = 160;
    uint32_t height = 120;
    // Presented frame numbers, counted from 1, ascending.
    std::vector<uint32_t> frames;
    // Called in the child before the program starts (to set input up).
    std::function<void()> before_start;
    // Called in the child for every presented frame, before it is read.
    std::function<void(uint32_t frame)> on_frame;
    // More configuration variables for the command line, name then value.
    std::vector<std::pair<std::string, std::string>> settings;
};

// One frame per number asked for; a frame never reached is empty.
std::vector<Frame> run_sample_and_capture(const SampleCapture& request, ChildResult* result);

}  // namespace zolt::test
