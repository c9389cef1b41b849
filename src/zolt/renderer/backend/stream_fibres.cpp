#include "zolt/renderer/backend/stream_fibres.h"

#include <array>

#include "libs/opengl/core_or_extension.h"
#include "libs/opengl/opengl_capabilities.h"
#include "libs/utility/fatal_error.h"
#include "zolt/renderer/backend/stream.h"

namespace zolt::renderer {

namespace {

using opengl::gl;

struct FibreSourceLayout {
    int32_t components = 0;  // 0: no source format has this code
    GLenum type = 0;
    bool normalised = false;
};

struct FibreSourceRow {
    FibreSourceFormat format;
    FibreSourceLayout layout;
};

constexpr FibreSourceRow fibre_source_rows[] = {
    {FibreSourceFormat::unsigned_byte_4_normalised, {4, GL_UNSIGNED_BYTE, true}},
    {FibreSourceFormat::unsigned_short_1, {1, GL_UNSIGNED_SHORT, false}},
    {FibreSourceFormat::unsigned_short_2_normalised, {2, GL_UNSIGNED_SHORT, true}},
    {FibreSourceFormat::unsigned_short_4_normalised, {4, GL_UNSIGNED_SHORT, true}},
    {FibreSourceFormat::short_2_normalised, {2, GL_SHORT, true}},
    {FibreSourceFormat::short_4_normalised, {4, GL_SHORT, true}},
    {FibreSourceFormat::float_1, {1, GL_FLOAT, false}},
    {FibreSourceFormat::float_2, {2, GL_FLOAT, false}},
    {FibreSourceFormat::float_3, {3, GL_FLOAT, false}},
    {FibreSourceFormat::float_4, {4, GL_FLOAT, false}},
    {FibreSourceFormat::unsigned_byte_4_normalised_alternate, {4, GL_UNSIGNED_BYTE, true}},
};

constexpr uint32_t fibre_source_code_count = (fibre_format_source_mask >> fibre_format_source_shift) + 1;

// Indexed by code, since every fibre of every draw is looked up.
constexpr std::array<FibreSourceLayout, fibre_source_code_count> make_fibre_source_layouts() {
    std::array<FibreSourceLayout, fibre_source_code_count> layouts{};
    for (const FibreSourceRow& row : fibre_source_rows) {
        layouts[static_cast<uint32_t>(row.format)] = row.layout;
    }
    return layouts;
}

constexpr std::array<FibreSourceLayout, fibre_source_code_count> fibre_source_layouts = make_fibre_source_layouts();

const FibreSourceLayout& get_fibre_source_layout(uint32_t fibre_format) {
    const FibreSourceLayout& layout =
        fibre_source_layouts[(fibre_format & fibre_format_source_mask) >> fibre_format_source_shift];
    if (layout.components == 0) {
        ZOLT_PANIC("Malformed geometry data, unrecognizable source format 0x%x",
                   fibre_format & fibre_format_source_mask);
    }
    return layout;
}

[[noreturn]] void halt_on_unknown_target(uint32_t target) {
    ZOLT_PANIC("Malformed geometry data, unrecognizable fibre target type 0x%08x", target & fibre_target_kind_mask);
}

FibreTargetKind get_target_kind(uint32_t target) {
    return static_cast<FibreTargetKind>((target & fibre_target_kind_mask) >> fibre_target_kind_shift);
}

void set_client_array(GLenum array, bool enabled) {
    if (enabled) {
        gl.glEnableClientState(array);
    } else {
        gl.glDisableClientState(array);
    }
}

// The same family of functions as enable_vertex_attrib_array, so that an
// attribute is never switched on by one family and off by a missing other.
void disable_vertex_attrib_array(uint32_t index) {
    if (opengl::glsl_usable() && opengl::capabilities.gl_2_0) {
        gl.glDisableVertexAttribArray(index);
    } else if (opengl::is_extension_present(opengl::Extension::ARB_vertex_program)) {
        gl.glDisableVertexAttribArrayARB(index);
    } else {
        ZOLT_PANIC("missing OpenGL entry point");
    }
}

void set_secondary_color_pointer(GLenum type, int32_t stride, const void* pointer) {
    // The secondary colour has no alpha.
    constexpr int32_t secondary_color_components = 3;
    if (opengl::capabilities.gl_1_4) {
        gl.glSecondaryColorPointer(secondary_color_components, type, stride, pointer);
    } else if (opengl::is_extension_present(opengl::Extension::EXT_secondary_color)) {
        gl.glSecondaryColorPointerEXT(secondary_color_components, type, stride, pointer);
    } else {
        ZOLT_PANIC("missing OpenGL entry point");
    }
}

void select_client_texture_unit(uint32_t unit) {
    if (!opengl::capabilities.gl_1_3) {
        ZOLT_PANIC("missing OpenGL entry point");
    }
    gl.glClientActiveTexture(GL_TEXTURE0 + unit);
}

void disable_array(uint32_t target) {
    const uint32_t number = target & fibre_target_number_mask;
    switch (get_target_kind(target)) {
    case FibreTargetKind::position:
        set_client_array(GL_VERTEX_ARRAY, false);
        return;
    case FibreTargetKind::generic_attribute:
        disable_vertex_attrib_array(number);
        return;
    case FibreTargetKind::normal:
        set_client_array(GL_NORMAL_ARRAY, false);
        return;
    case FibreTargetKind::colour:
        set_client_array(number == 0 ? GL_COLOR_ARRAY : GL_SECONDARY_COLOR_ARRAY, false);
        return;
    case FibreTargetKind::texture_coordinates:
        select_client_texture_unit(number);
        set_client_array(GL_TEXTURE_COORD_ARRAY, false);
        return;
    }
    halt_on_unknown_target(target);
}

}  // namespace

bool Stream::get_fibre_normalization(uint32_t fibre_format) {
    return get_fibre_source_layout(fibre_format).normalised;
}

int32_t Stream::get_fibre_size(uint32_t fibre_format) {
    return get_fibre_source_layout(fibre_format).components;
}

uint32_t Stream::get_fibre_type(uint32_t fibre_format) {
    return get_fibre_source_layout(fibre_format).type;
}

void Stream::setup_to_hardware(uint32_t target, const Stream* stream, uint32_t fibre_format, bool already_enabled) {
    if (stream == nullptr) {
        disable_array(target);
        return;
    }
    const FibreSourceLayout& layout = get_fibre_source_layout(fibre_format);
    const int32_t stride = static_cast<int32_t>(stream->get_stride());
    const void* const pointer = stream->get_data_pointer(fibre_format & fibre_format_offset_mask);
    const uint32_t number = target & fibre_target_number_mask;
    switch (get_target_kind(target)) {
    case FibreTargetKind::position:
        gl.glVertexPointer(layout.components, layout.type, stride, pointer);
        if (!already_enabled) {
            set_client_array(GL_VERTEX_ARRAY, true);
        }
        return;
    case FibreTargetKind::generic_attribute:
        opengl::vertex_attrib_pointer(number, layout.components, layout.type, layout.normalised, stride, pointer);
        if (!already_enabled) {
            opengl::enable_vertex_attrib_array(number);
        }
        return;
    case FibreTargetKind::normal:
        gl.glNormalPointer(layout.type, stride, pointer);
        if (!already_enabled) {
            set_client_array(GL_NORMAL_ARRAY, true);
        }
        return;
    case FibreTargetKind::colour:
        if (number == 0) {
            gl.glColorPointer(layout.components, layout.type, stride, pointer);
        } else {
            set_secondary_color_pointer(layout.type, stride, pointer);
        }
        if (!already_enabled) {
            set_client_array(number == 0 ? GL_COLOR_ARRAY : GL_SECONDARY_COLOR_ARRAY, true);
        }
        return;
    case FibreTargetKind::texture_coordinates:
        select_client_texture_unit(number);
        gl.glTexCoordPointer(layout.components, layout.type, stride, pointer);
        if (!already_enabled) {
            set_client_array(GL_TEXTURE_COORD_ARRAY, true);
        }
        return;
    }
    halt_on_unknown_target(target);
}

}  // namespace zolt::renderer
