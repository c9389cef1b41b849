#pragma once
// The words that describe one fibre, an attribute channel of a vertex
// stream: the fibre format word (where the channel lies in each vertex and
// how its values are stored) and the fibre target word (which GL array takes
// it). Stream::setup_to_hardware reads both.
#include <cstdint>

namespace zolt::renderer {

// The fibre format word.
constexpr uint32_t fibre_format_offset_mask = 0xFFF;  // bytes from the vertex start
constexpr uint32_t fibre_format_source_shift = 16;
constexpr uint32_t fibre_format_source_mask = 0xF0000;

// Components, GL type, and whether integer values are normalised.
enum class FibreSourceFormat : uint32_t {
    unsigned_byte_4_normalised = 1,
    unsigned_short_1 = 2,
    unsigned_short_2_normalised = 3,
    unsigned_short_4_normalised = 4,
    short_2_normalised = 5,
    short_4_normalised = 6,
    float_1 = 7,
    float_2 = 8,
    float_3 = 9,
    float_4 = 10,
    // Content uses both codes for the same layout.
    unsigned_byte_4_normalised_alternate = 15,
};

constexpr uint32_t make_fibre_format(FibreSourceFormat source, uint32_t offset) {
    return (static_cast<uint32_t>(source) << fibre_format_source_shift) | (offset & fibre_format_offset_mask);
}

// The fibre target word: a kind and a number whose meaning the kind gives.
constexpr uint32_t fibre_target_number_mask = 0xF;
constexpr uint32_t fibre_target_kind_shift = 4;
constexpr uint32_t fibre_target_kind_mask = 0xF0;

enum class FibreTargetKind : uint32_t {
    position = 0,
    generic_attribute = 1,  // number: the attribute index
    normal = 2,
    colour = 3,               // number 0 primary, any other secondary
    texture_coordinates = 4,  // number: the texture unit
};

constexpr uint32_t make_fibre_target(FibreTargetKind kind, uint32_t number) {
    return (static_cast<uint32_t>(kind) << fibre_target_kind_shift) | (number & fibre_target_number_mask);
}

}  // namespace zolt::renderer
