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

// The layers' own materials live under aliases the flat world leaves alone.
void SampleLibraryWorld::TearDown() {
    set_current_visibility_context(nullptr);
    if (context_made_) {
        library::clear_renderer_textures();
    }
    BatcherWorld::TearDown();
    for (const core::ObjectHandle alias :
         {glow_material_alias, screen_pass_material_alias, fake_shadow_material_alias, fog_material_alias}) {
        core::alias_server.clear_alias(alias);
    }
}

}  // namespace zolt::renderer::test_support
