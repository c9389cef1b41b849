#pragma once
// A stand-in for parts of the machine's display, installed by tests to reach
// what a real display here rarely shows: a desktop of another colour depth, a
// list of display settings, modes that refuse to be set, a gamma ramp that
// can be read and records what is written. A field left at its default keeps
// the real display's answer. The record must outlive its installation.
// Main thread only.
#include <cstdint>

#include "platform/display/display_modes.h"

namespace zolt::platform {

struct DisplaySimulation {
    // 0: the real desktop's depth. A desktop below 24 bits offers windows
    // no format of more colour bits than it has, as a Windows desktop does.
    uint32_t desktop_bits_per_pixel = 0;
    // Null: the real display's settings.
    const DisplaySetting* settings = nullptr;
    uint32_t setting_count = 0;
    // Null: every listed mode can be set.
    bool (*accepts_full_screen_mode)(uint32_t width, uint32_t height, uint32_t refresh_rate, void* context) = nullptr;
    // True: the gamma ramp is this record's, not the device's.
    bool simulates_gamma = false;
    bool gamma_readable = true;
    // Called with the 768 words of every ramp written.
    void (*gamma_ramp_written)(const uint16_t* ramp, void* context) = nullptr;
    void* context = nullptr;
};

// Null goes back to the real display.
void set_display_simulation(const DisplaySimulation* simulation);
const DisplaySimulation* get_display_simulation();

}  // namespace zolt::platform
