#pragma once
// The GL side of the shader library as a whole: its caches reset for a new
// context, the default state restored between users, the texture bindings
// forgotten after drawing outside the library, and every program deleted
// (rendering command 12). The hooks that reach these from the rendering
// commands and the GL wrappers are installed while the library's GL side is
// in use. Rendering thread only.
#include <cstdint>

#include "zolt/renderer/shaders/shader_library_format.h"

namespace zolt::renderer {
class TextureObject;
}

namespace zolt::renderer::shader_library {

constexpr uint32_t library_texture_binding_count = 16;

// Every cache forgotten without GL calls, target-setup defaults back to 1,
// the force-flush choice made anew: for a new context.
void reset_gl_caches();
// Unbinds the texture units in use, sets up the default shader pass's
// program and target setup, releases every fibre and forgets the index
// stream and the texture bindings. Without a loaded library only the
// texture units, fibres and bindings.
void reset_state();
// The next shader pass binds all of its texture units again.
void invalidate_texture_cache();
// The texture the library last bound to a unit; not known after drawing
// outside the library, so the next pass binds its units again.
struct LibraryTextureBinding {
    TextureObject* texture = nullptr;
    bool known = false;
};
LibraryTextureBinding& get_library_texture_binding(uint32_t unit);

// Entry 0's first variant, slot 0, setup 0, first shader pass.
ShaderPass read_default_shader_pass();

// Rendering command 12: reset_state, then every GLSL program and every ARB
// program deleted; they are built again on use.
void delete_all_programs();

void install_shader_gl_hooks();
void remove_shader_gl_hooks();

}  // namespace zolt::renderer::shader_library
