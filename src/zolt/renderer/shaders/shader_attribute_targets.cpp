#include "zolt/renderer/shaders/shader_attribute_targets.h"

#include "libs/opengl/opengl_capabilities.h"
#include "libs/utility/fatal_error.h"

namespace zolt::renderer::shader_library {

namespace {

AttributeTargetSlot attribute_slots[attribute_target_slot_count];
ConstantVertexAttribute constant_attributes[constant_vertex_attribute_count];
IndexStreamState index_stream;

constexpr uint32_t normal_alias = 2;
constexpr uint32_t first_colour_alias = 3;
constexpr uint32_t first_texture_coordinate_alias = 8;

uint32_t get_target_class(uint32_t attribute_target) {
    return attribute_target >> attribute_target_class_shift;
}

uint32_t get_slot_index(uint32_t attribute_target) {
    const uint32_t target_class = get_target_class(attribute_target);
    if (target_class >= attribute_target_class_count) {
        ZOLT_PANIC("Unsupported fibre target type %u", attribute_target);
    }
    return target_class * attribute_targets_per_class + (attribute_target & attribute_target_index_mask);
}

uint32_t get_slot_target(uint32_t slot_index) {
    return (slot_index / attribute_targets_per_class) << attribute_target_class_shift |
           slot_index % attribute_targets_per_class;
}

uint32_t read_source_word(const FibreSources& sources, uint32_t tag) {
    return tag < sources.fibre_tag_count ? sources.fibre_tags[tag] : 0;
}

const Stream* select_stream(const FibreSources& sources, uint32_t tag, uint32_t source_word) {
    const uint32_t stream_index = (source_word & fibre_source_stream_mask) >> fibre_source_stream_shift;
    if (stream_index >= sources.stream_count || sources.streams[stream_index] == nullptr) {
        ZOLT_PANIC("Fibre tag %u selects stream %u of %u", tag, stream_index, sources.stream_count);
    }
    return sources.streams[stream_index];
}

void release_slot(uint32_t slot_index) {
    AttributeTargetSlot& slot = attribute_slots[slot_index];
    const uint32_t target = get_slot_target(slot_index);
    invalidate_aliased_vertex_attribute(target);
    Stream::setup_to_hardware(target, nullptr, 0, true);
    slot = AttributeTargetSlot{};
}

}  // namespace

uint32_t get_aliased_vertex_attribute(uint32_t attribute_target) {
    const uint32_t index = attribute_target & attribute_target_index_mask;
    switch (static_cast<AttributeTargetClass>(get_target_class(attribute_target) << attribute_target_class_shift)) {
    case AttributeTargetClass::position:
        return 0;
    case AttributeTargetClass::generic:
        return index;
    case AttributeTargetClass::normal:
        return normal_alias;
    case AttributeTargetClass::colour:
        return first_colour_alias + index;
    case AttributeTargetClass::texture_coordinates:
        return first_texture_coordinate_alias + index;
    }
    ZOLT_PANIC("Unsupported fibre target type %u", attribute_target);
}

void invalidate_aliased_vertex_attribute(uint32_t attribute_target) {
    const uint32_t slot = get_aliased_vertex_attribute(attribute_target);
    if (slot < constant_vertex_attribute_count) {
        constant_attributes[slot].valid = false;
    }
}

ConstantVertexAttribute& get_constant_vertex_attribute(uint32_t slot) {
    return constant_attributes[slot % constant_vertex_attribute_count];
}

const AttributeTargetSlot& get_attribute_target_slot(uint32_t attribute_target) {
    return attribute_slots[get_slot_index(attribute_target)];
}

void setup_fibre(const FibreBinding& binding, const FibreSources& sources) {
    const uint32_t slot_index = get_slot_index(binding.attribute_target);
    const uint32_t source_word = read_source_word(sources, binding.fibre_tag);
    if (source_word == 0) {
        ZOLT_PANIC("Fibre tag %u does not have valid source", binding.fibre_tag);
    }
    const Stream* const stream = select_stream(sources, binding.fibre_tag, source_word);
    AttributeTargetSlot& slot = attribute_slots[slot_index];
    if (slot.stream != stream || slot.source_word != source_word) {
        const bool already_enabled = slot.stream != nullptr;
        bind_stream_buffer(*stream);
        invalidate_aliased_vertex_attribute(binding.attribute_target);
        Stream::setup_to_hardware(binding.attribute_target, stream, source_word & ~fibre_source_stream_mask,
                                  already_enabled);
        slot.stream = stream;
        slot.source_word = source_word;
    }
    slot.used = true;
}

void release_unused_fibres() {
    for (uint32_t slot_index = 0; slot_index < attribute_target_slot_count; ++slot_index) {
        AttributeTargetSlot& slot = attribute_slots[slot_index];
        if (slot.stream != nullptr && !slot.used) {
            release_slot(slot_index);
        }
        slot.used = false;
    }
}

void release_all_fibres() {
    for (uint32_t slot_index = 0; slot_index < attribute_target_slot_count; ++slot_index) {
        if (attribute_slots[slot_index].stream != nullptr) {
            release_slot(slot_index);
        }
        attribute_slots[slot_index].used = false;
    }
}

void setup_index_fibre(const FibreSources& sources) {
    if (sources.stream_count == 0) {
        index_stream = IndexStreamState{};
        return;
    }
    const uint32_t source_word = read_source_word(sources, index_fibre_tag);
    if (source_word == 0) {
        ZOLT_PANIC("Index fibre tag does not have valid source");
    }
    const Stream* const stream = select_stream(sources, index_fibre_tag, source_word);
    bind_stream_buffer(*stream);
    index_stream.stream = stream;
    index_stream.base_offset = source_word & index_fibre_offset_mask;
    index_stream.primitive_type = (source_word & index_fibre_quads_mask) != 0 ? GL_QUADS : GL_TRIANGLES;
}

const IndexStreamState& get_index_stream() {
    return index_stream;
}

void forget_index_stream() {
    index_stream = IndexStreamState{};
}

void reset_attribute_caches() {
    for (AttributeTargetSlot& slot : attribute_slots) {
        slot = AttributeTargetSlot{};
    }
    for (ConstantVertexAttribute& attribute : constant_attributes) {
        attribute = ConstantVertexAttribute{};
    }
    index_stream = IndexStreamState{};
}

}  // namespace zolt::renderer::shader_library
