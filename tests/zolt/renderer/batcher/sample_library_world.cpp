#include "zolt/renderer/batcher/sample_library_world.h"

#include "zolt/core/object_server/alias_server.h"
#include "zolt/renderer/backend/frame_buffer.h"
#include "zolt/renderer/batcher/batcher.h"
#include "zolt/renderer/batcher/quad_batcher.h"
#include "zolt/renderer/batcher/render_layer_table.h"
#include "zolt/renderer/batcher/screen_copies.h"
#include "zolt/renderer/batcher/stream_pool.h"
#include "zolt/renderer/graphics_library/display_mode.h"
#include "zolt/renderer/materials/material_server.h"
#include "zolt/renderer/shaders/shader_attribute_targets.h"
#include "zolt/renderer/shaders/shader_gl_state.h"
#include "zolt/renderer/shaders/shader_library.h"
#include "zolt/renderer/shaders/shader_tags.h"
#include "zolt/renderer/view/visibility_context.h"

namespace zolt::renderer::test_support {

namespace library = shader_library;

void SampleLibraryWorld::SetUp() {
    TextureWorld::SetUp();
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }
    reset_display_modes();
    ASSERT_TRUE(add_display_mode({width, height, 0}));
    ASSERT_TRUE(set_display_mode(1, true));
    install_batcher_rendering_steps();
    initialize_batcher_pools();
    open_world({});
    core::alias_server.register_server();
    material_server.register_server();
    set_target_size(width, height);
    set_viewport(0, 0, width, height);
    take_screen_copies();
}

void SampleLibraryWorld::TearDown() {
    set_current_visibility_context(nullptr);
    if (context_made_) {
        library::clear_renderer_textures();
        clear_screen_copies();
        library::reset_state();
        library::release_all_fibres();
        release_batcher_pools();
        release_all_streams();
    }
    if (material_server.is_registered()) {
        material_server.unregister_server();
    }
    if (core::alias_server.is_registered()) {
        core::alias_server.unregister_server();
    }
    for (const core::ObjectHandle alias :
         {glow_material_alias, screen_pass_material_alias, fake_shadow_material_alias, fog_material_alias}) {
        core::alias_server.clear_alias(alias);
    }
    remove_batcher_rendering_steps();
    TextureWorld::TearDown();
    library::get_library_state() = {};
    reset_display_modes();
}

}  // namespace zolt::renderer::test_support
