#pragma once
// Recognising GPU vendors and the board families and drivers that need
// workarounds, from the GL vendor, renderer and version texts. The word
// matchers work on any text; detect_gpu_quirks reads the current context's
// strings and stores its findings in the capabilities (rendering thread).
#include <cstdint>

#include "libs/opengl/opengl_capabilities.h"

namespace zolt::opengl {

// A case-insensitive match of the word between white space or the ends of
// the list; false for a null list.
bool has_extension_word(const char* list, const char* word);
// The word, case-insensitively, at the start of the list or after white
// space, directly followed by digits whose number lies in minimum..maximum
// and is followed by the end or a non-digit. An empty word matches any
// number that starts a word.
bool find_numbered_word(const char* list, const char* word, uint32_t minimum, uint32_t maximum);

GpuVendor detect_gpu_vendor(const char* vendor);
// "Radeon" and an X with a number 1000-1999, such as X1950.
bool detect_radeon_x_series(const char* renderer);
// "GeForce" and a number word 7000-7999.
bool detect_geforce_7_series(const char* renderer);
// The ATI driver series 2.1.8577 and its later 2.1 builds.
bool detect_ati_driver_2_1_8577(GpuVendor vendor, const char* version);

// Vendor, then the four quirks, from the current context.
void detect_gpu_quirks();

// Builtin 631, no arguments: 1 when the ATI 2.1.8577 driver quirk is clear, else 0.
uint32_t get_driver_quirk_flag();

}  // namespace zolt::opengl
