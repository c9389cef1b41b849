#include "libs/opengl/opengl_capabilities.h"

#include <cstring>

#include "libs/opengl/gpu_quirks.h"
#include "libs/opengl/opengl_entry_point_tables.h"
#include "libs/opengl/opengl_version.h"
#include "libs/utility/fatal_error.h"

namespace zolt::opengl {

OpenGLCapabilities capabilities;

namespace {

constexpr const char* extension_names[] = {
#define ZOLT_EXTENSION_NAME(identifier, name) name,
    ZOLT_OPENGL_EXTENSIONS(ZOLT_EXTENSION_NAME)
#undef ZOLT_EXTENSION_NAME
};

static_assert(sizeof(extension_names) / sizeof(extension_names[0]) == 207);

EntryPointResolver entry_point_resolver;

const char* get_gl_string(GLenum name) {
    if (gl.glGetString == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<const char*>(gl.glGetString(name));
}

bool load_table(const EntryPointTable& table) {
    return load_entry_point_table(table.entries, table.count);
}

}  // namespace

const char* get_extension_name(Extension extension) {
    return extension_names[static_cast<uint32_t>(extension)];
}

void set_entry_point_resolver(const EntryPointResolver& resolver) {
    entry_point_resolver = resolver;
}

void initialize_entry_points() {
    reset_entry_points();
    const bool core_loaded = load_table(get_gl_1_1_table());
    if (!core_loaded || !is_version_at_least(1, 1, 0)) {
        set_fatal_exit_code(ExitCode::opengl_initialization);
        ZOLT_ERROR("OpenGL core initialization failed");
    }
    OpenGLCapabilities& found = capabilities;
    found.gl_1_2 = is_version_at_least(1, 2, 0) && load_table(get_gl_1_2_table());
    found.gl_1_3 = is_version_at_least(1, 3, 0) && load_table(get_gl_1_3_table());
    found.gl_1_4 = is_version_at_least(1, 4, 0) && load_table(get_gl_1_4_table());
    found.gl_1_5 = is_version_at_least(1, 5, 0) && load_table(get_gl_1_5_table());
    found.gl_2_0 = is_version_at_least(2, 0, 0) && load_table(get_gl_2_0_table());
    found.gl_2_1 = is_version_at_least(2, 1, 0);
    found.gl_3_0 = is_version_at_least(3, 0, 0);
    for (uint32_t index = 0; index < extension_count; ++index) {
        found.extensions[index] = load_extension(static_cast<Extension>(index));
    }
    detect_gpu_quirks();
}

void reset_entry_points() {
    capabilities = OpenGLCapabilities{};
}

bool load_extension(Extension extension) {
    const char* name = get_extension_name(extension);
    if (!has_extension(get_gl_string(GL_EXTENSIONS), name) && !has_extension(get_wgl_extensions(), name)) {
        return false;
    }
    return load_table(get_extension_table(extension));
}

bool load_entry_point_table(const EntryPoint* table, uint32_t count) {
    bool complete = true;
    for (uint32_t index = 0; index < count; ++index) {
        void* address = nullptr;
        if (entry_point_resolver.get_proc_address != nullptr) {
            address = entry_point_resolver.get_proc_address(get_entry_point_name(table[index]));
        }
        set_entry_point(gl, table[index], address);
        complete = complete && address != nullptr;
    }
    return complete;
}

bool has_extension(const char* list, const char* name) {
    if (list == nullptr || *list == '\0' || name == nullptr || *name == '\0') {
        return false;
    }
    const size_t length = std::strlen(name);
    for (const char* found = std::strstr(list, name); found != nullptr; found = std::strstr(found + 1, name)) {
        const bool starts = found == list || found[-1] == ' ';
        const char after = found[length];
        if (starts && (after == '\0' || after == ' ')) {
            return true;
        }
    }
    return false;
}

const char* get_wgl_extensions() {
    if (entry_point_resolver.get_wgl_extensions == nullptr) {
        return nullptr;
    }
    return entry_point_resolver.get_wgl_extensions();
}

bool is_version_at_least(uint32_t major, uint32_t minor, uint32_t release) {
    OpenGLVersion version;
    if (!parse_version(get_gl_string(GL_VERSION), &version)) {
        return false;
    }
    return is_version_at_least(version, major, minor, release);
}

}  // namespace zolt::opengl
