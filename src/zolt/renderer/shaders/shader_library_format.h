#pragma once
// The shader library resource, one definition for the engine and the content
// tools. The resource is read in place: a header of (offset, count) pairs
// locates sixteen tables of fixed-size records, and the records hold indices
// into those tables and byte offsets (from the start of the resource) of
// program records, texts and byte lists. The engine trusts every index and
// offset once check_shader_library has accepted the resource, so the check
// covers everything a later read follows. Any thread may call.
#include <bit>
#include <cstddef>
#include <cstdint>

namespace zolt::renderer::shader_library {

static_assert(std::endian::native == std::endian::little, "shader library records are copied as little-endian words");

constexpr uint32_t shader_library_resource_id = 0x10000;
constexpr uint32_t shader_library_version = 3;

// Limits of the engine's caches that the records index.
constexpr uint32_t shader_cache_key_limit = 4001;    // GLSL shader records' keys; 0 means no caching
constexpr uint32_t program_index_limit = 30000;      // GLSL program cache slots
constexpr uint32_t arb_program_number_limit = 2000;  // ids per ARB program kind
constexpr uint32_t pass_slot_count = 32;
constexpr uint32_t no_setup = 0xFFFFFFFF;  // a setup index table entry without a setup

struct TableLocation {
    uint32_t offset;
    uint32_t count;
};

struct ShaderLibraryHeader {
    uint32_t not_read;
    uint32_t version;
    uint32_t first_global_condition;
    uint32_t global_condition_count;
    TableLocation entries;
    TableLocation variants;
    TableLocation pass_indices;
    TableLocation slot_passes;
    TableLocation setup_indices;
    TableLocation setups;
    TableLocation shader_passes;
    TableLocation conditions;
    uint32_t not_read_words[4];
    TableLocation fibre_bindings;
    TableLocation texture_unit_bindings;
    TableLocation constant_bindings;
    TableLocation fibre_tag_defaults;
    TableLocation texture_tag_defaults;
    TableLocation constant_tag_defaults;
    TableLocation library_textures;
    TableLocation library_constants;
};
static_assert(sizeof(ShaderLibraryHeader) == 160);

// Entry flags; the other bits are copied into materials.
constexpr uint32_t entry_flag_must_be_usable = 0x1000000;
constexpr uint32_t entry_flag_setup_pairs = 0x2000000;

struct ShaderEntry {
    uint32_t first_condition;
    uint32_t runtime_condition_count;
    uint32_t common_condition_count;
    uint32_t fallback_list_offset;  // zero-terminated entry indices; 0 = no list
    uint32_t flags;
    uint32_t first_variant;
    uint32_t variant_count;
    uint32_t first_texture_tag_default;
    uint32_t first_constant_tag_default;
    uint32_t first_fibre_tag_default;
    uint32_t texture_tag_default_count;
    uint32_t constant_tag_default_count;
    uint32_t fibre_tag_default_count;
    int32_t default_fibre_parameter;
    uint32_t not_read[3];
};
static_assert(sizeof(ShaderEntry) == 68);

struct ShaderVariant {
    uint32_t first_condition;
    uint32_t runtime_condition_count;
    uint32_t common_condition_count;
    uint32_t slot_mask;        // bit n: a pass for pass slot n
    uint32_t pass_index_base;  // slot n's pass index stands at base + n
    uint32_t variant_word;
    uint32_t not_read;
    uint32_t texture_tag_list_offset;  // bytes, one texture tag number each
    uint32_t texture_tag_list_length;
    uint32_t constant_tag_list_offset;  // bytes, one constant tag number each
    uint32_t constant_tag_list_length;
};
static_assert(sizeof(ShaderVariant) == 44);

// Slot pass flags.
constexpr uint32_t pass_flag_last_in_shadow_depth = 0x1;
constexpr uint32_t pass_flag_decal_layer_3 = 0x2;
constexpr uint32_t pass_flag_back_to_front = 0x4;
constexpr uint32_t pass_flag_after_deferred_fog = 0x8;

struct ShaderSlotPass {
    uint32_t first_condition;
    uint32_t runtime_condition_count;
    uint32_t common_condition_count;
    uint32_t setup_index_base;
    uint32_t setup_count;
    uint32_t pass_flags;
    uint32_t not_read;
};
static_assert(sizeof(ShaderSlotPass) == 28);

struct ShaderSetup {
    uint32_t first_shader_pass;
    uint32_t shader_pass_count;
    uint32_t not_read;
};
static_assert(sizeof(ShaderSetup) == 12);

// The setup kinds word of a shader pass.
enum class VertexSetupKind : uint32_t { none = 0, fixed_function = 1, glsl = 3, arb_program = 4 };
enum class PixelSetupKind : uint32_t { none = 0x00, predefined = 0x10, glsl = 0x30, arb_program = 0x40 };
constexpr uint32_t vertex_setup_kind_mask = 0xF;
constexpr uint32_t pixel_setup_kind_mask = 0xF0;
constexpr uint32_t target_setup_present_mask = 0xF00;
constexpr uint32_t first_predefined_pixel_setup = 1;
constexpr uint32_t last_predefined_pixel_setup = 4;

constexpr VertexSetupKind get_vertex_setup_kind(uint32_t setup_kinds) {
    return static_cast<VertexSetupKind>(setup_kinds & vertex_setup_kind_mask);
}
constexpr PixelSetupKind get_pixel_setup_kind(uint32_t setup_kinds) {
    return static_cast<PixelSetupKind>(setup_kinds & pixel_setup_kind_mask);
}
constexpr bool has_target_setup(uint32_t setup_kinds) {
    return (setup_kinds & target_setup_present_mask) != 0;
}

struct ShaderPass {
    uint32_t not_read;
    uint32_t setup_kinds;
    uint32_t vertex_record_offset;
    uint32_t pixel_record;  // an offset, or the predefined pixel setup number
    uint32_t target_setup_offset;
    uint32_t program_index;
    uint32_t first_fibre_binding;
    uint32_t first_texture_unit_binding;
    uint32_t first_constant_binding;
    uint32_t fibre_binding_count;
    uint32_t texture_unit_binding_count;
    uint32_t constant_binding_count;
};
static_assert(sizeof(ShaderPass) == 48);

// Condition types as the first word's low six bits name them.
enum class ConditionType : uint32_t {
    constant_tag = 0,
    global_flags = 1,
    glsl = 2,
    arb_vertex_programs = 3,
    arb_programs = 4,
    texture_image_units = 5,
    texture_coordinates = 6,
    texture_units = 7,
    fragment_uniform_components = 8,
    vertex_uniform_components = 9,
    varying_floats = 10,
    arb_vertex_native_attributes = 11,
    vertex_attributes = 12,
    arb_fragment_native_alu_instructions = 13,
    shadow_maps = 14,
    never = 16,
    never_too = 32,
};
constexpr uint32_t condition_type_mask = 0x3F;
constexpr uint32_t condition_negate = 0x40;

constexpr bool is_known_condition_type(uint32_t type) {
    return type <= static_cast<uint32_t>(ConditionType::shadow_maps) ||
           type == static_cast<uint32_t>(ConditionType::never) ||
           type == static_cast<uint32_t>(ConditionType::never_too);
}

struct ShaderCondition {
    uint32_t type_word;  // type in bits 0-5, bit 6 negates
    uint32_t parameter;
};
static_assert(sizeof(ShaderCondition) == 8);

// Fibre binding targets: class in bits 4-7, index in bits 0-3.
enum class AttributeTargetClass : uint32_t {
    position = 0x00,
    generic = 0x10,
    normal = 0x20,
    colour = 0x30,
    texture_coordinates = 0x40,
};

struct FibreBinding {
    uint32_t fibre_tag;
    uint32_t attribute_target;
};
struct TextureUnitBinding {
    uint32_t texture_tag;
    uint32_t texture_unit;
};

// Constant target words: class in bits 20-23, index in bits 0-15, value
// count - 1 in bits 24-27.
enum class ConstantTargetClass : uint32_t {
    arb_vertex_local = 0x000000,
    arb_fragment_local = 0x100000,
    fixed_location = 0x200000,
    glsl_uniform = 0x300000,
    texture_coordinate_constant = 0x400000,
    vertex_attribute_constant = 0x500000,
};
constexpr uint32_t constant_target_class_mask = 0xF00000;
constexpr uint32_t constant_target_index_mask = 0xFFFF;
constexpr uint32_t constant_target_count_shift = 24;
constexpr uint32_t max_constant_value_count = 16;

constexpr uint32_t make_constant_target(ConstantTargetClass target_class, uint32_t index, uint32_t value_count) {
    return static_cast<uint32_t>(target_class) | (index & constant_target_index_mask) |
           ((value_count - 1) & 0xF) << constant_target_count_shift;
}

constexpr uint32_t last_attribute_target = static_cast<uint32_t>(AttributeTargetClass::texture_coordinates) | 0xF;
constexpr uint32_t library_texture_unit_limit = 16;
constexpr uint32_t constant_vertex_attribute_limit = 16;
constexpr uint32_t max_constant_components = 4;

constexpr uint32_t get_constant_value_count(uint32_t target_word) {
    return ((target_word >> constant_target_count_shift) & 0xF) + 1;
}

// Fixed locations 0 to 5 and 7 to 14 exist.
constexpr bool is_known_fixed_location(uint32_t location) {
    return location <= 5 || (location >= 7 && location <= 14);
}

// What the GL setup can upload: a known class and location, at most four
// components where a count is used, an attribute slot it caches, and a
// uniform inside the program's list.
constexpr bool is_constant_target_supported(uint32_t target_word, uint32_t uniform_count) {
    const uint32_t index = target_word & constant_target_index_mask;
    const bool count_fits = get_constant_value_count(target_word) <= max_constant_components;
    switch (static_cast<ConstantTargetClass>(target_word & constant_target_class_mask)) {
    case ConstantTargetClass::arb_vertex_local:
    case ConstantTargetClass::arb_fragment_local:
        return true;
    case ConstantTargetClass::fixed_location:
        return is_known_fixed_location(index);
    case ConstantTargetClass::glsl_uniform:
        return count_fits && index < uniform_count;
    case ConstantTargetClass::texture_coordinate_constant:
        return count_fits && index < library_texture_unit_limit;
    case ConstantTargetClass::vertex_attribute_constant:
        return count_fits && index < constant_vertex_attribute_limit;
    }
    return false;
}

struct ConstantBinding {
    uint32_t constant_tag;  // low 8 bits
    uint32_t target_word;
};
static_assert(sizeof(FibreBinding) == 8 && sizeof(TextureUnitBinding) == 8 && sizeof(ConstantBinding) == 8);

// Tag words: source in bits 16-23, the rest the parameter.
constexpr uint32_t tag_source_shift = 16;
constexpr uint32_t tag_source_mask = 0xFF0000;
constexpr uint32_t make_tag_word(uint32_t source, uint32_t parameter) {
    return (parameter & ~tag_source_mask) | (source & 0xFF) << tag_source_shift;
}

enum class ConstantSource : uint32_t {
    special = 1,
    viewport = 2,
    material = 3,
    library = 4,
    property = 5,
    user_vector = 6,
};
enum class TextureSource : uint32_t {
    renderer_slot = 1,
    global_slot = 2,
    viewport_slot = 3,
    material = 4,
    library = 5,
    property = 6,
};

struct LibraryConstant {
    uint32_t words[4];  // four floats or four integers
};
static_assert(sizeof(LibraryConstant) == 16);

struct ArbProgramRecord {
    uint32_t program_number;
    uint32_t text_offset;
    uint32_t text_length;
};
static_assert(sizeof(ArbProgramRecord) == 12);

struct GlslShaderRecord {
    uint32_t cache_key;
    uint32_t source_list_offset;  // u32 offsets of zero-terminated texts
    uint32_t source_count;
    uint32_t attribute_list_offset;  // GlslNamedIndex: attribute index, name
    uint32_t attribute_count;
    uint32_t sampler_list_offset;  // GlslNamedIndex: texture unit, name
    uint32_t sampler_count;
    uint32_t uniform_name_list_offset;  // u32 name offsets
    uint32_t uniform_name_count;
};
static_assert(sizeof(GlslShaderRecord) == 36);

struct GlslNamedIndex {
    uint32_t index;
    uint32_t name_offset;
};
static_assert(sizeof(GlslNamedIndex) == 8);

// Five bytes at a shader pass's target setup offset; 0 selects the default.
struct TargetSetup {
    uint8_t cull;
    uint8_t depth;
    uint8_t blend;
    uint8_t alpha_test;
    uint8_t stencil;
};
static_assert(sizeof(TargetSetup) == 5);

enum class CullMode : uint8_t { unchanged_default = 0, off = 1, front = 2, back = 3 };
enum class DepthMode : uint8_t {
    unchanged_default = 0,
    off = 1,
    never = 2,
    always = 3,
    equal = 4,
    not_equal = 5,
    less = 6,
    greater = 7,
    less_equal = 8,
    greater_equal = 9,
};
constexpr uint8_t depth_mode_no_writes = 0x10;
enum class BlendMode : uint8_t {
    unchanged_default = 0,
    off = 1,
    alpha = 2,
    add = 3,
    alpha_add = 4,
    subtract = 5,
    alpha_subtract = 6,
    multiply = 7,
    off_too = 8,
};
enum class AlphaTestMode : uint8_t { unchanged_default = 0, off = 1, greater = 2, opaque = 3, second_reference = 4 };
enum class StencilMode : uint8_t { unchanged_default = 0, off = 1, equal_zero = 2, not_equal_zero = 3, unchanged = 4 };

// The tables a fault can name; header for the header's own words.
enum class ShaderLibraryTable : uint32_t {
    header,
    entries,
    variants,
    pass_indices,
    slot_passes,
    setup_indices,
    setups,
    shader_passes,
    conditions,
    fibre_bindings,
    texture_unit_bindings,
    constant_bindings,
    fibre_tag_defaults,
    texture_tag_defaults,
    constant_tag_defaults,
    library_textures,
    library_constants,
};
const char* get_shader_library_table_name(ShaderLibraryTable table);

enum class ShaderLibraryFaultKind : uint32_t {
    ok = 0,
    short_header,
    bad_version,
    table_outside,        // a table's offset and count reach past the resource
    index_out_of_range,   // an index or a range of indices past its table
    offset_outside,       // an offset (and its length) past the resource
    unterminated_list,    // a fallback list without its 0 inside the resource
    unterminated_text,    // a text without its 0 inside the resource
    bad_fallback_entry,   // a fallback list names an entry past the table
    bad_cache_key,        // 4001 or more
    duplicate_cache_key,  // one key on two GLSL shader records
    bad_program_index,    // 30000 or more
    bad_arb_program_number,
    unknown_condition_type,
    unknown_setup_kind,
    bad_predefined_setup,
    bad_binding_target,  // a fibre, texture unit or constant target the GL setup has no use for
};

// What is wrong and where: the table, the record's index in it and the field.
struct ShaderLibraryFault {
    ShaderLibraryFaultKind kind = ShaderLibraryFaultKind::ok;
    ShaderLibraryTable table = ShaderLibraryTable::header;
    uint32_t index = 0;
    const char* field = "";
};

// "shader pass 3: program index: 30000 is at or above 30000"-like text in the
// buffer, always terminated.
void describe_shader_library_fault(const ShaderLibraryFault& fault, char* buffer, size_t buffer_size);

// Validates once everything the engine later follows without checking:
// version, tables, every index and offset a record holds, zero-terminated
// lists and texts, the cache key, program index and ARB number limits, and
// that every condition type is known. ok when the engine may trust it.
ShaderLibraryFaultKind check_shader_library(const void* data, uint32_t size, ShaderLibraryFault* detail);

}  // namespace zolt::renderer::shader_library
