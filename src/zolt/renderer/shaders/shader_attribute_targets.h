#pragma once
// Where the vertex data of a shader pass comes from: the 80 attribute target
// slots (5 classes of 16) with the stream and fibre source word last bound to
// each, the 16 constant vertex attribute values that binding an array
// invalidates, and the index stream the next draw reads. Binding skips a
// target whose slot already holds the same stream and source word. Streams
// belong to the caller and must outlive the draws that use them. Rendering
// thread only.
#include <cstdint>

#include "zolt/renderer/backend/stream.h"
#include "zolt/renderer/shaders/shader_library_format.h"

namespace zolt::renderer::shader_library {

constexpr uint32_t attribute_target_class_shift = 4;
constexpr uint32_t attribute_target_index_mask = 0xF;
constexpr uint32_t attribute_targets_per_class = 16;
constexpr uint32_t attribute_target_class_count = 5;
constexpr uint32_t attribute_target_slot_count = attribute_target_class_count * attribute_targets_per_class;
constexpr uint32_t constant_vertex_attribute_count = 16;

// Fibre source words: bits 12-15 choose one of the streams given to the
// draw, the rest is the fibre format word. The index fibre keeps an offset
// in indices in bits 0-11 and draws quads when bits 20-23 are not 0.
constexpr uint32_t fibre_source_stream_shift = 12;
constexpr uint32_t fibre_source_stream_mask = 0xF000;
constexpr uint32_t index_fibre_offset_mask = 0xFFF;
constexpr uint32_t index_fibre_quads_mask = 0xF00000;
constexpr uint32_t index_fibre_tag = 0;

struct AttributeTargetSlot {
    const Stream* stream = nullptr;
    uint32_t source_word = 0;
    bool used = false;  // by the pass being set up
};

struct IndexStreamState {
    const Stream* stream = nullptr;
    uint32_t base_offset = 0;  // in indices
    uint32_t primitive_type = 0;
};

// A cached constant value of a vertex attribute slot; not valid means the
// next constant upload must reach GL.
struct ConstantVertexAttribute {
    bool valid = false;
    float values[4] = {};
};

// The streams and fibre tag table of one draw.
struct FibreSources {
    const Stream* const* streams = nullptr;
    uint32_t stream_count = 0;
    const uint32_t* fibre_tags = nullptr;  // source words by fibre tag
    uint32_t fibre_tag_count = 0;
};

// The conventional attribute slot that generic attribute n shares on
// drivers that alias them: position 0, normal 2, colour n 3 + n, texture
// coordinate set n 8 + n, generic n n. A class above texture coordinates
// is the panic "Unsupported fibre target type %u".
uint32_t get_aliased_vertex_attribute(uint32_t attribute_target);
// Forgets the constant value of the target's alias slot (slots past 15 have
// none).
void invalidate_aliased_vertex_attribute(uint32_t attribute_target);
ConstantVertexAttribute& get_constant_vertex_attribute(uint32_t slot);

const AttributeTargetSlot& get_attribute_target_slot(uint32_t attribute_target);
// Binds the fibre of the binding's tag to its target unless the slot holds
// it already, and marks the slot used. A tag without a source word is the
// panic "Fibre tag %u does not have valid source".
void setup_fibre(const FibreBinding& binding, const FibreSources& sources);
// Releases every slot bound but not used since the last call, then starts a
// new pass: no slot is used.
void release_unused_fibres();
// Disables every bound array and forgets the slots.
void release_all_fibres();

// Remembers the index stream of tag 0 with its offset and primitive type;
// without streams no index stream is remembered. With streams, a missing
// source word is the panic "Index fibre tag does not have valid source".
void setup_index_fibre(const FibreSources& sources);
const IndexStreamState& get_index_stream();
void forget_index_stream();

// Every slot, the index stream and the constant values forgotten, without
// GL calls: for a new context.
void reset_attribute_caches();

}  // namespace zolt::renderer::shader_library
