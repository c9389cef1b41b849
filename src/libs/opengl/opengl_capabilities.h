#pragma once
// What the current OpenGL context offers: one flag per GL version from 1.2 to
// 3.0 and per extension (set only when its entry-point table loaded
// completely), the entry-point slots, the GPU vendor and the driver quirks.
// Other parts test these flags and never query GL strings themselves. Empty
// until initialize_entry_points runs with a current context; rendering thread
// only.
#include <cstdint>

#include "libs/opengl/opengl_entry_points.h"
#include "libs/opengl/opengl_extension_list.h"

namespace zolt::opengl {

enum class Extension : uint16_t {
#define ZOLT_DECLARE_EXTENSION_ID(identifier, name) identifier,
    ZOLT_OPENGL_EXTENSIONS(ZOLT_DECLARE_EXTENSION_ID)
#undef ZOLT_DECLARE_EXTENSION_ID
        count
};

constexpr uint32_t extension_count = static_cast<uint32_t>(Extension::count);

enum class GpuVendor : uint32_t {
    other = 0,
    microsoft = 1,  // the system's software renderer
    nvidia = 2,
    ati = 3,  // ATI or AMD
};

struct OpenGLCapabilities {
    OpenGLEntryPoints entry_points;
    bool gl_1_2 = false;
    bool gl_1_3 = false;
    bool gl_1_4 = false;
    bool gl_1_5 = false;
    bool gl_2_0 = false;
    bool gl_2_1 = false;
    bool gl_3_0 = false;
    bool extensions[extension_count] = {};
    GpuVendor gpu_vendor = GpuVendor::other;
    bool quirk_radeon_x_series = false;
    bool quirk_geforce_7_series = false;
    // Read by both the upload-buffer and the texture setup.
    bool quirk_nvidia_pixel_buffers = false;
    bool quirk_ati_driver_2_1_8577 = false;
};

extern OpenGLCapabilities capabilities;
// The slots the renderer calls through: gl.glEnable(GL_BLEND).
inline OpenGLEntryPoints& gl = capabilities.entry_points;

inline bool is_extension_present(Extension extension) {
    return capabilities.extensions[static_cast<uint32_t>(extension)];
}
const char* get_extension_name(Extension extension);

// How the window layer finds functions by name (GL and window-system names
// alike) and its window-system extension string, null when it has none.
struct EntryPointResolver {
    void* (*get_proc_address)(const char* name) = nullptr;
    const char* (*get_wgl_extensions)() = nullptr;
};
void set_entry_point_resolver(const EntryPointResolver& resolver);

// Needs a current context. Without GL 1.1 and its complete table the process
// ends with the OpenGL initialisation exit code and "OpenGL core initialization failed".
void initialize_entry_points();
// Every flag false, every slot null.
void reset_entry_points();

// Whether the extension is advertised in the GL or the window-system string
// and its table loaded completely.
bool load_extension(Extension extension);
// Attempts every entry; true only when each one received an address.
bool load_entry_point_table(const EntryPoint* table, uint32_t count);
// The name counts where it stands between blanks or the ends of the list.
bool has_extension(const char* list, const char* name);
const char* get_wgl_extensions();
// False when GL_VERSION does not parse.
bool is_version_at_least(uint32_t major, uint32_t minor, uint32_t release);

}  // namespace zolt::opengl
