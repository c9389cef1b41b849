#include "libs/opengl/stencil_clear_tag.h"

#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/opengl_config.h"

namespace zolt::opengl {

namespace {

constexpr uint32_t stencil_tag_count = 63;
constexpr GLsizei stencil_tag_bits = 6;
constexpr GLuint stencil_tag_scale = 4;
constexpr GLint required_stencil_bits = 8;

bool tagged_clears_used = false;
uint32_t stencil_clear_tag = 0;

}  // namespace

void initialize_stencil_clear_tag() {
    tagged_clears_used = false;
    if (compatibility_fix_ignore_tagged_stencil || !is_extension_present(Extension::EXT_stencil_clear_tag)) {
        return;
    }
    GLint stencil_bits = 0;
    gl.glGetIntegerv(GL_STENCIL_BITS, &stencil_bits);
    if (stencil_bits != required_stencil_bits) {
        return;
    }
    tagged_clears_used = true;
    gl.glStencilClearTagEXT(stencil_tag_bits, stencil_clear_tag * stencil_tag_scale);
}

bool are_tagged_stencil_clears_used() {
    return tagged_clears_used;
}

void next_stencil_clear_tag() {
    if (!tagged_clears_used) {
        return;
    }
    stencil_clear_tag = (stencil_clear_tag + 1) % stencil_tag_count;
    gl.glStencilClearTagEXT(stencil_tag_bits, stencil_clear_tag * stencil_tag_scale);
    if (stencil_clear_tag == 0) {
        gl.glClear(GL_STENCIL_BUFFER_BIT);
    }
}

void reset_stencil_clear_tag() {
    stencil_clear_tag = 0;
}

uint32_t get_stencil_clear_tag() {
    return stencil_clear_tag;
}

}  // namespace zolt::opengl
