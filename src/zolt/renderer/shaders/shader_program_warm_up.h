#pragma once
// Building and drawing with a setup's programs ahead of the first frame that
// needs them, so that frame does not stall on the driver's compiler or on
// the first use of a state combination. The loading screen and the network
// are kept alive between draws. Rendering thread only.
#include <cstdint>

#include "zolt/renderer/shaders/shader_library_format.h"

namespace zolt::renderer {
struct Stream;
}

namespace zolt::renderer::shader_library {

struct ShaderLibraryContext;
struct ShaderPassInput;

// What warm-up lets run between its draws; unset hooks do nothing.
struct WarmUpHooks {
    void (*update_loading_screen)() = nullptr;
    void (*update_network)() = nullptr;
};
void set_warm_up_hooks(const WarmUpHooks& hooks);
const WarmUpHooks& get_warm_up_hooks();
// The loading screen's turn between two warm-up draws of another module.
void keep_warm_up_alive();

// With setup pairs (entry flag 0x2000000) setup n becomes 2n + 1 for a
// drawable whose mesh asks for it, else 2n.
uint32_t apply_setup_pairs(uint32_t entry_flags, uint32_t setup_number, bool mesh_flag);
// The setup index of a slot pass's setup n, no_setup when it has none.
uint32_t find_slot_pass_setup(uint32_t slot_pass_index, uint32_t setup_number);

// 3 for GL_TRIANGLES, 4 for GL_QUADS; others are the panic "Unrecognized
// geometrical primitive type 0x%x".
uint32_t get_indices_per_primitive(uint32_t primitive_type);

// Builds and binds every GLSL program of the setup (an index into the
// library's setup table) not built yet, drawing nothing; then binds the
// default shader pass's program. Answers how many programs were built.
uint32_t warm_up_setup(uint32_t setup_index);
// With compatibility_fix_warmup on: sets up the setup's shader passes (all
// of them with compatibility_fix_per_constant_warmup, else the GLSL ones
// whose program has not drawn yet) and draws one primitive with each.
// Answers how many passes drew.
uint32_t warm_up_draw(uint32_t slot_pass_index, uint32_t setup_number, const ShaderPassInput& input,
                      ShaderLibraryContext& context);
// With warm-up on: the context's fibres 1 and 2 as position and normal,
// 3 and up as generic attributes 0, 1, ..., one primitive drawn, then the
// default state. A missing index fibre is the panic "Index fibre tag does
// not have valid source".
void warmpup_streams(const Stream* const* streams, uint32_t stream_count, ShaderLibraryContext& context);

}  // namespace zolt::renderer::shader_library
