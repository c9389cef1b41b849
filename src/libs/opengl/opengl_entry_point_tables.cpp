#include "libs/opengl/opengl_entry_point_tables.h"

namespace zolt::opengl {

namespace {

constexpr EntryPoint gl_1_1_table[] = {
    EntryPoint::glAlphaFunc,
    EntryPoint::glBegin,
    EntryPoint::glBindTexture,
    EntryPoint::glBlendFunc,
    EntryPoint::glCallList,
    EntryPoint::glClear,
    EntryPoint::glClearColor,
    EntryPoint::glClearDepth,
    EntryPoint::glClipPlane,
    EntryPoint::glColor3f,
    EntryPoint::glColor3ub,
    EntryPoint::glColor3ubv,
    EntryPoint::glColor3us,
    EntryPoint::glColor4f,
    EntryPoint::glColor4ub,
    EntryPoint::glColorMask,
    EntryPoint::glColorMaterial,
    EntryPoint::glColorPointer,
    EntryPoint::glCopyTexImage2D,
    EntryPoint::glCopyTexSubImage2D,
    EntryPoint::glCullFace,
    EntryPoint::glDeleteLists,
    EntryPoint::glDeleteTextures,
    EntryPoint::glDepthFunc,
    EntryPoint::glDepthMask,
    EntryPoint::glDepthRange,
    EntryPoint::glDisable,
    EntryPoint::glDisableClientState,
    EntryPoint::glDrawArrays,
    EntryPoint::glDrawBuffer,
    EntryPoint::glDrawElements,
    EntryPoint::glEnable,
    EntryPoint::glEnableClientState,
    EntryPoint::glEnd,
    EntryPoint::glEndList,
    EntryPoint::glFinish,
    EntryPoint::glFlush,
    EntryPoint::glFogf,
    EntryPoint::glFogfv,
    EntryPoint::glFogi,
    EntryPoint::glFrustum,
    EntryPoint::glGenLists,
    EntryPoint::glGenTextures,
    EntryPoint::glGetDoublev,
    EntryPoint::glGetError,
    EntryPoint::glGetFloatv,
    EntryPoint::glGetIntegerv,
    EntryPoint::glGetString,
    EntryPoint::glGetTexLevelParameteriv,
    EntryPoint::glLightModelfv,
    EntryPoint::glLightf,
    EntryPoint::glLightfv,
    EntryPoint::glLineStipple,
    EntryPoint::glLineWidth,
    EntryPoint::glLoadIdentity,
    EntryPoint::glLoadMatrixd,
    EntryPoint::glLoadMatrixf,
    EntryPoint::glMaterialfv,
    EntryPoint::glMatrixMode,
    EntryPoint::glMultMatrixf,
    EntryPoint::glNewList,
    EntryPoint::glNormal3f,
    EntryPoint::glNormalPointer,
    EntryPoint::glOrtho,
    EntryPoint::glPixelStorei,
    EntryPoint::glPointSize,
    EntryPoint::glPolygonMode,
    EntryPoint::glPolygonOffset,
    EntryPoint::glPolygonStipple,
    EntryPoint::glPopAttrib,
    EntryPoint::glPopClientAttrib,
    EntryPoint::glPopMatrix,
    EntryPoint::glPushAttrib,
    EntryPoint::glPushClientAttrib,
    EntryPoint::glPushMatrix,
    EntryPoint::glReadBuffer,
    EntryPoint::glReadPixels,
    EntryPoint::glRotatef,
    EntryPoint::glScalef,
    EntryPoint::glScissor,
    EntryPoint::glStencilFunc,
    EntryPoint::glStencilOp,
    EntryPoint::glTexCoord2f,
    EntryPoint::glTexCoordPointer,
    EntryPoint::glTexEnvi,
    EntryPoint::glTexGenfv,
    EntryPoint::glTexGeni,
    EntryPoint::glTexImage2D,
    EntryPoint::glTexParameterf,
    EntryPoint::glTexParameteri,
    EntryPoint::glTexSubImage2D,
    EntryPoint::glTranslatef,
    EntryPoint::glVertex2f,
    EntryPoint::glVertex2i,
    EntryPoint::glVertex3f,
    EntryPoint::glVertex3fv,
    EntryPoint::glVertexPointer,
    EntryPoint::glViewport,
};

constexpr EntryPoint gl_1_2_table[] = {
    EntryPoint::glDrawRangeElements,
    EntryPoint::glTexImage3D,
};

constexpr EntryPoint gl_1_3_table[] = {
    EntryPoint::glActiveTexture,        EntryPoint::glClientActiveTexture,  EntryPoint::glCompressedTexImage2D,
    EntryPoint::glCompressedTexImage3D, EntryPoint::glLoadTransposeMatrixf, EntryPoint::glMultiTexCoord1fv,
    EntryPoint::glMultiTexCoord2f,      EntryPoint::glMultiTexCoord2fv,     EntryPoint::glMultiTexCoord3f,
    EntryPoint::glMultiTexCoord3fv,     EntryPoint::glMultiTexCoord4f,      EntryPoint::glMultiTexCoord4fv,
};

constexpr EntryPoint gl_1_4_table[] = {
    EntryPoint::glBlendEquation,
    EntryPoint::glFogCoordPointer,
    EntryPoint::glSecondaryColorPointer,
};

constexpr EntryPoint gl_1_5_table[] = {
    EntryPoint::glBeginQuery,       EntryPoint::glBindBuffer,        EntryPoint::glBufferData,
    EntryPoint::glBufferSubData,    EntryPoint::glDeleteBuffers,     EntryPoint::glDeleteQueries,
    EntryPoint::glEndQuery,         EntryPoint::glGenBuffers,        EntryPoint::glGenQueries,
    EntryPoint::glGetQueryObjectiv, EntryPoint::glGetQueryObjectuiv, EntryPoint::glGetQueryiv,
    EntryPoint::glMapBuffer,        EntryPoint::glUnmapBuffer,
};

constexpr EntryPoint gl_2_0_table[] = {
    EntryPoint::glAttachShader,
    EntryPoint::glBindAttribLocation,
    EntryPoint::glCompileShader,
    EntryPoint::glCreateProgram,
    EntryPoint::glCreateShader,
    EntryPoint::glDeleteProgram,
    EntryPoint::glDeleteShader,
    EntryPoint::glDetachShader,
    EntryPoint::glDisableVertexAttribArray,
    EntryPoint::glEnableVertexAttribArray,
    EntryPoint::glGetActiveUniform,
    EntryPoint::glGetProgramInfoLog,
    EntryPoint::glGetProgramiv,
    EntryPoint::glGetShaderInfoLog,
    EntryPoint::glGetShaderiv,
    EntryPoint::glGetUniformLocation,
    EntryPoint::glLinkProgram,
    EntryPoint::glShaderSource,
    EntryPoint::glUniform1fv,
    EntryPoint::glUniform1i,
    EntryPoint::glUniform1iv,
    EntryPoint::glUniform2fv,
    EntryPoint::glUniform2iv,
    EntryPoint::glUniform3fv,
    EntryPoint::glUniform3iv,
    EntryPoint::glUniform4fv,
    EntryPoint::glUniform4iv,
    EntryPoint::glUniformMatrix2fv,
    EntryPoint::glUniformMatrix3fv,
    EntryPoint::glUniformMatrix4fv,
    EntryPoint::glUseProgram,
    EntryPoint::glValidateProgram,
    EntryPoint::glVertexAttrib1fv,
    EntryPoint::glVertexAttrib2fv,
    EntryPoint::glVertexAttrib3fv,
    EntryPoint::glVertexAttrib4fv,
    EntryPoint::glVertexAttribPointer,
};

constexpr EntryPoint arb_imaging_table[] = {
    EntryPoint::glBlendEquation,
};

constexpr EntryPoint arb_occlusion_query_table[] = {
    EntryPoint::glBeginQueryARB, EntryPoint::glDeleteQueriesARB,    EntryPoint::glEndQueryARB,
    EntryPoint::glGenQueriesARB, EntryPoint::glGetQueryObjectivARB, EntryPoint::glGetQueryObjectuivARB,
    EntryPoint::glGetQueryivARB,
};

constexpr EntryPoint arb_shader_objects_table[] = {
    EntryPoint::glAttachObjectARB,       EntryPoint::glCompileShaderARB,        EntryPoint::glCreateProgramObjectARB,
    EntryPoint::glCreateShaderObjectARB, EntryPoint::glDeleteObjectARB,         EntryPoint::glDetachObjectARB,
    EntryPoint::glGetInfoLogARB,         EntryPoint::glGetObjectParameterivARB, EntryPoint::glGetUniformLocationARB,
    EntryPoint::glLinkProgramARB,        EntryPoint::glShaderSourceARB,         EntryPoint::glUniform1fvARB,
    EntryPoint::glUniform1iARB,          EntryPoint::glUniform1ivARB,           EntryPoint::glUniform2fvARB,
    EntryPoint::glUniform2ivARB,         EntryPoint::glUniform3fvARB,           EntryPoint::glUniform3ivARB,
    EntryPoint::glUniform4fvARB,         EntryPoint::glUniform4ivARB,           EntryPoint::glUniformMatrix2fvARB,
    EntryPoint::glUniformMatrix3fvARB,   EntryPoint::glUniformMatrix4fvARB,     EntryPoint::glUseProgramObjectARB,
    EntryPoint::glValidateProgramARB,
};

constexpr EntryPoint arb_vertex_buffer_object_table[] = {
    EntryPoint::glBindBufferARB,    EntryPoint::glBufferDataARB, EntryPoint::glBufferSubDataARB,
    EntryPoint::glDeleteBuffersARB, EntryPoint::glGenBuffersARB, EntryPoint::glMapBufferARB,
    EntryPoint::glUnmapBufferARB,
};

// Also glProgramLocalParameter4fvARB, through which the shader library sets
// the local constants of its assembly programs.
constexpr EntryPoint arb_vertex_program_table[] = {
    EntryPoint::glBindProgramARB,
    EntryPoint::glDeleteProgramsARB,
    EntryPoint::glDisableVertexAttribArrayARB,
    EntryPoint::glEnableVertexAttribArrayARB,
    EntryPoint::glGetProgramivARB,
    EntryPoint::glProgramEnvParameter4fvARB,
    EntryPoint::glProgramLocalParameter4fvARB,
    EntryPoint::glProgramStringARB,
    EntryPoint::glVertexAttrib1fvARB,
    EntryPoint::glVertexAttrib2fvARB,
    EntryPoint::glVertexAttrib3fvARB,
    EntryPoint::glVertexAttrib4fvARB,
    EntryPoint::glVertexAttribPointerARB,
};

constexpr EntryPoint arb_vertex_shader_table[] = {
    EntryPoint::glBindAttribLocationARB,
};

constexpr EntryPoint ati_separate_stencil_table[] = {
    EntryPoint::glStencilFuncSeparateATI,
    EntryPoint::glStencilOpSeparateATI,
};

constexpr EntryPoint ext_blend_equation_table[] = {
    EntryPoint::glBlendEquationEXT,
};

constexpr EntryPoint ext_depth_bounds_test_table[] = {
    EntryPoint::glDepthBoundsEXT,
};

constexpr EntryPoint ext_draw_range_elements_table[] = {
    EntryPoint::glDrawRangeElementsEXT,
};

constexpr EntryPoint ext_fog_coord_table[] = {
    EntryPoint::glFogCoordPointerEXT,
};

constexpr EntryPoint ext_framebuffer_blit_table[] = {
    EntryPoint::glBlitFramebufferEXT,
};

constexpr EntryPoint ext_framebuffer_object_table[] = {
    EntryPoint::glBindFramebufferEXT,        EntryPoint::glBindRenderbufferEXT,
    EntryPoint::glCheckFramebufferStatusEXT, EntryPoint::glDeleteFramebuffersEXT,
    EntryPoint::glDeleteRenderbuffersEXT,    EntryPoint::glFramebufferRenderbufferEXT,
    EntryPoint::glFramebufferTexture2DEXT,   EntryPoint::glGenFramebuffersEXT,
    EntryPoint::glGenRenderbuffersEXT,       EntryPoint::glRenderbufferStorageEXT,
};

constexpr EntryPoint ext_secondary_color_table[] = {
    EntryPoint::glSecondaryColorPointerEXT,
};

constexpr EntryPoint ext_stencil_clear_tag_table[] = {
    EntryPoint::glStencilClearTagEXT,
};

constexpr EntryPoint ext_stencil_two_side_table[] = {
    EntryPoint::glActiveStencilFaceEXT,
};

constexpr EntryPoint nv_fence_table[] = {
    EntryPoint::glDeleteFencesNV,
    EntryPoint::glGenFencesNV,
    EntryPoint::glSetFenceNV,
    EntryPoint::glTestFenceNV,
};

constexpr EntryPoint wgl_arb_pixel_format_table[] = {
    EntryPoint::wglChoosePixelFormatARB,
};

constexpr EntryPoint wgl_ext_swap_control_table[] = {
    EntryPoint::wglSwapIntervalEXT,
};

template <uint32_t count>
constexpr EntryPointTable make_table(const EntryPoint (&entries)[count]) {
    return {entries, count};
}

static_assert(sizeof(gl_1_1_table) / sizeof(gl_1_1_table[0]) == 98);

}  // namespace

EntryPointTable get_gl_1_1_table() {
    return make_table(gl_1_1_table);
}
EntryPointTable get_gl_1_2_table() {
    return make_table(gl_1_2_table);
}
EntryPointTable get_gl_1_3_table() {
    return make_table(gl_1_3_table);
}
EntryPointTable get_gl_1_4_table() {
    return make_table(gl_1_4_table);
}
EntryPointTable get_gl_1_5_table() {
    return make_table(gl_1_5_table);
}
EntryPointTable get_gl_2_0_table() {
    return make_table(gl_2_0_table);
}

EntryPointTable get_extension_table(Extension extension) {
    switch (extension) {
    case Extension::ARB_imaging:
        return make_table(arb_imaging_table);
    case Extension::ARB_occlusion_query:
        return make_table(arb_occlusion_query_table);
    case Extension::ARB_shader_objects:
        return make_table(arb_shader_objects_table);
    case Extension::ARB_vertex_buffer_object:
        return make_table(arb_vertex_buffer_object_table);
    case Extension::ARB_vertex_program:
        return make_table(arb_vertex_program_table);
    case Extension::ARB_vertex_shader:
        return make_table(arb_vertex_shader_table);
    case Extension::ATI_separate_stencil:
        return make_table(ati_separate_stencil_table);
    case Extension::EXT_blend_logic_op:
        return make_table(ext_blend_equation_table);
    case Extension::EXT_blend_minmax:
        return make_table(ext_blend_equation_table);
    case Extension::EXT_blend_subtract:
        return make_table(ext_blend_equation_table);
    case Extension::EXT_depth_bounds_test:
        return make_table(ext_depth_bounds_test_table);
    case Extension::EXT_draw_range_elements:
        return make_table(ext_draw_range_elements_table);
    case Extension::EXT_fog_coord:
        return make_table(ext_fog_coord_table);
    case Extension::EXT_framebuffer_blit:
        return make_table(ext_framebuffer_blit_table);
    case Extension::EXT_framebuffer_object:
        return make_table(ext_framebuffer_object_table);
    case Extension::EXT_secondary_color:
        return make_table(ext_secondary_color_table);
    case Extension::EXT_stencil_clear_tag:
        return make_table(ext_stencil_clear_tag_table);
    case Extension::EXT_stencil_two_side:
        return make_table(ext_stencil_two_side_table);
    case Extension::NV_fence:
        return make_table(nv_fence_table);
    case Extension::WGL_ARB_pixel_format:
        return make_table(wgl_arb_pixel_format_table);
    case Extension::WGL_EXT_swap_control:
        return make_table(wgl_ext_swap_control_table);
    default:
        return {};
    }
}

}  // namespace zolt::opengl
