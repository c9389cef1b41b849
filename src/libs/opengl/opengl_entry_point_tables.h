#pragma once
// The all-or-nothing tables that load the entry-point slots: one per GL
// version and one per extension that has functions. Any thread.
#include <cstdint>

#include "libs/opengl/opengl_capabilities.h"

namespace zolt::opengl {

struct EntryPointTable {
    const EntryPoint* entries = nullptr;
    uint32_t count = 0;
};

EntryPointTable get_gl_1_1_table();
// The GL 2.1 and 3.0 tables are empty.
EntryPointTable get_gl_1_2_table();
EntryPointTable get_gl_1_3_table();
EntryPointTable get_gl_1_4_table();
EntryPointTable get_gl_1_5_table();
EntryPointTable get_gl_2_0_table();
// Empty for an extension without functions.
EntryPointTable get_extension_table(Extension extension);

}  // namespace zolt::opengl
