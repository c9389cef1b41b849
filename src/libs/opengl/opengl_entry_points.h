#pragma once
// The entry-point slots the renderer calls OpenGL through, one per function of
// opengl_entry_point_list.h, null until a table that holds it is loaded
// (opengl_capabilities.h). Rendering thread only.
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdint>

#include "libs/opengl/opengl_entry_point_list.h"

namespace zolt::opengl {

// The window-system functions have no GL header here; these are the shapes
// the window layer's stand-ins give them.
using WglChoosePixelFormatARBFunction = int32_t (*)(void* device_context, const int32_t* integer_attributes,
                                                    const float* float_attributes, uint32_t maximum_formats,
                                                    int32_t* formats, uint32_t* format_count);
using WglSwapIntervalEXTFunction = int32_t (*)(int32_t interval);

struct OpenGLEntryPoints {
#define ZOLT_DECLARE_ENTRY_POINT_SLOT(name, type) type name = nullptr;
    ZOLT_OPENGL_ENTRY_POINTS(ZOLT_DECLARE_ENTRY_POINT_SLOT)
#undef ZOLT_DECLARE_ENTRY_POINT_SLOT
};

enum class EntryPoint : uint16_t {
#define ZOLT_DECLARE_ENTRY_POINT_ID(name, type) name,
    ZOLT_OPENGL_ENTRY_POINTS(ZOLT_DECLARE_ENTRY_POINT_ID)
#undef ZOLT_DECLARE_ENTRY_POINT_ID
        count
};

constexpr uint32_t entry_point_count = static_cast<uint32_t>(EntryPoint::count);

const char* get_entry_point_name(EntryPoint entry_point);
// Stores an address found by name in its slot; null empties the slot.
void set_entry_point(OpenGLEntryPoints& entry_points, EntryPoint entry_point, void* address);

}  // namespace zolt::opengl
