#include "libs/opengl/opengl_entry_points.h"

namespace zolt::opengl {

namespace {

constexpr const char* entry_point_names[] = {
#define ZOLT_ENTRY_POINT_NAME(name, type) #name,
    ZOLT_OPENGL_ENTRY_POINTS(ZOLT_ENTRY_POINT_NAME)
#undef ZOLT_ENTRY_POINT_NAME
};

using SlotSetter = void (*)(OpenGLEntryPoints& entry_points, void* address);

constexpr SlotSetter slot_setters[] = {
#define ZOLT_ENTRY_POINT_SETTER(name, type) \
    [](OpenGLEntryPoints& entry_points, void* address) { entry_points.name = reinterpret_cast<type>(address); },
    ZOLT_OPENGL_ENTRY_POINTS(ZOLT_ENTRY_POINT_SETTER)
#undef ZOLT_ENTRY_POINT_SETTER
};

static_assert(sizeof(entry_point_names) / sizeof(entry_point_names[0]) == entry_point_count);
static_assert(sizeof(slot_setters) / sizeof(slot_setters[0]) == entry_point_count);

}  // namespace

const char* get_entry_point_name(EntryPoint entry_point) {
    return entry_point_names[static_cast<uint32_t>(entry_point)];
}

void set_entry_point(OpenGLEntryPoints& entry_points, EntryPoint entry_point, void* address) {
    slot_setters[static_cast<uint32_t>(entry_point)](entry_points, address);
}

}  // namespace zolt::opengl
