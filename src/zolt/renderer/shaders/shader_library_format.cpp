#include "zolt/renderer/shaders/shader_library_format.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace zolt::renderer::shader_library {

namespace {

constexpr const char* table_names[] = {
    "header",
    "entry",
    "variant",
    "pass index",
    "slot pass",
    "setup index",
    "setup",
    "shader pass",
    "condition",
    "fibre binding",
    "texture unit binding",
    "constant binding",
    "fibre tag default",
    "texture tag default",
    "constant tag default",
    "library texture",
    "library constant",
};
static_assert(sizeof(table_names) / sizeof(table_names[0]) ==
              static_cast<size_t>(ShaderLibraryTable::library_constants) + 1);

constexpr const char* fault_texts[] = {
    "accepted",
    "the resource is shorter than its header",
    "invalid version of shader library resource",
    "the table reaches past the end of the resource",
    "the index range reaches past its table",
    "the offset reaches past the end of the resource",
    "the list has no terminating 0 inside the resource",
    "the text has no terminating 0 inside the resource",
    "the list names an entry past the entry table",
    "the shader cache key is not below 4001",
    "the shader cache key is already used by another GLSL shader record",
    "the program index is not below 30000",
    "the ARB program number is not below 2000",
    "unknown condition type",
    "unknown vertex or pixel setup kind",
    "the predefined pixel setup is not 1 to 4",
    "the binding's target is not one the engine can set up",
};
static_assert(sizeof(fault_texts) / sizeof(fault_texts[0]) ==
              static_cast<size_t>(ShaderLibraryFaultKind::bad_binding_target) + 1);

struct TableShape {
    TableLocation ShaderLibraryHeader::*location;
    ShaderLibraryTable table;
    uint32_t record_size;
};

constexpr TableShape table_shapes[] = {
    {&ShaderLibraryHeader::entries, ShaderLibraryTable::entries, sizeof(ShaderEntry)},
    {&ShaderLibraryHeader::variants, ShaderLibraryTable::variants, sizeof(ShaderVariant)},
    {&ShaderLibraryHeader::pass_indices, ShaderLibraryTable::pass_indices, sizeof(uint32_t)},
    {&ShaderLibraryHeader::slot_passes, ShaderLibraryTable::slot_passes, sizeof(ShaderSlotPass)},
    {&ShaderLibraryHeader::setup_indices, ShaderLibraryTable::setup_indices, sizeof(uint32_t)},
    {&ShaderLibraryHeader::setups, ShaderLibraryTable::setups, sizeof(ShaderSetup)},
    {&ShaderLibraryHeader::shader_passes, ShaderLibraryTable::shader_passes, sizeof(ShaderPass)},
    {&ShaderLibraryHeader::conditions, ShaderLibraryTable::conditions, sizeof(ShaderCondition)},
    {&ShaderLibraryHeader::fibre_bindings, ShaderLibraryTable::fibre_bindings, sizeof(FibreBinding)},
    {&ShaderLibraryHeader::texture_unit_bindings, ShaderLibraryTable::texture_unit_bindings,
     sizeof(TextureUnitBinding)},
    {&ShaderLibraryHeader::constant_bindings, ShaderLibraryTable::constant_bindings, sizeof(ConstantBinding)},
    {&ShaderLibraryHeader::fibre_tag_defaults, ShaderLibraryTable::fibre_tag_defaults, sizeof(uint32_t)},
    {&ShaderLibraryHeader::texture_tag_defaults, ShaderLibraryTable::texture_tag_defaults, sizeof(uint32_t)},
    {&ShaderLibraryHeader::constant_tag_defaults, ShaderLibraryTable::constant_tag_defaults, sizeof(uint32_t)},
    {&ShaderLibraryHeader::library_textures, ShaderLibraryTable::library_textures, sizeof(uint32_t)},
    {&ShaderLibraryHeader::library_constants, ShaderLibraryTable::library_constants, sizeof(LibraryConstant)},
};

class LibraryChecker {
public:
    LibraryChecker(const uint8_t* data, uint32_t size, ShaderLibraryFault* fault)
        : data_(data), size_(size), fault_(fault), key_owners_(shader_cache_key_limit, 0) {}

    ShaderLibraryFaultKind check() {
        if (size_ < sizeof(ShaderLibraryHeader)) {
            return fail(ShaderLibraryFaultKind::short_header, ShaderLibraryTable::header, 0, "size");
        }
        std::memcpy(&header_, data_, sizeof header_);
        if (header_.version != shader_library_version) {
            return fail(ShaderLibraryFaultKind::bad_version, ShaderLibraryTable::header, 0, "version");
        }
        for (const TableShape& shape : table_shapes) {
            const TableLocation& location = header_.*shape.location;
            if (uint64_t{location.offset} + uint64_t{location.count} * shape.record_size > size_) {
                return fail(ShaderLibraryFaultKind::table_outside, shape.table, 0, "offset and count");
            }
        }
        if (!is_range_inside(header_.first_global_condition, header_.global_condition_count,
                             header_.conditions.count)) {
            return fail(ShaderLibraryFaultKind::index_out_of_range, ShaderLibraryTable::header, 0, "global conditions");
        }
        if (!check_conditions() || !check_entries() || !check_variants() || !check_slot_passes() || !check_setups() ||
            !check_shader_passes()) {
            return fault_->kind;
        }
        *fault_ = {};
        return ShaderLibraryFaultKind::ok;
    }

private:
    template <typename Record>
    Record read(const TableLocation& table, uint32_t index) const {
        Record record;
        std::memcpy(&record, data_ + table.offset + uint64_t{index} * sizeof(Record), sizeof record);
        return record;
    }
    uint32_t read_word(uint64_t offset) const {
        uint32_t word;
        std::memcpy(&word, data_ + offset, sizeof word);
        return word;
    }

    ShaderLibraryFaultKind fail(ShaderLibraryFaultKind kind, ShaderLibraryTable table, uint32_t index,
                                const char* field) {
        *fault_ = {kind, table, index, field};
        return kind;
    }
    bool fail_here(ShaderLibraryFaultKind kind, const char* field) {
        fail(kind, table_, index_, field);
        return false;
    }

    static bool is_range_inside(uint32_t first, uint32_t count, uint32_t table_count) {
        return uint64_t{first} + count <= table_count;
    }
    bool check_range(uint32_t first, uint32_t count, uint32_t table_count, const char* field) {
        return is_range_inside(first, count, table_count) ||
               fail_here(ShaderLibraryFaultKind::index_out_of_range, field);
    }
    bool check_bytes(uint32_t offset, uint64_t length, const char* field) {
        return uint64_t{offset} + length <= size_ || fail_here(ShaderLibraryFaultKind::offset_outside, field);
    }
    bool check_text(uint32_t offset, const char* field) {
        if (offset >= size_) {
            return fail_here(ShaderLibraryFaultKind::offset_outside, field);
        }
        return std::memchr(data_ + offset, 0, size_ - offset) != nullptr ||
               fail_here(ShaderLibraryFaultKind::unterminated_text, field);
    }
    bool check_condition_ranges(uint32_t first, uint32_t runtime_count, uint32_t common_count) {
        return check_range(first, 0, header_.conditions.count, "first condition") &&
               check_range(first, runtime_count, header_.conditions.count, "runtime condition count") &&
               (uint64_t{first} + runtime_count + common_count <= header_.conditions.count ||
                fail_here(ShaderLibraryFaultKind::index_out_of_range, "common condition count"));
    }
    void at(ShaderLibraryTable table, uint32_t index) {
        table_ = table;
        index_ = index;
    }

    bool check_conditions() {
        for (uint32_t index = 0; index < header_.conditions.count; ++index) {
            at(ShaderLibraryTable::conditions, index);
            const auto condition = read<ShaderCondition>(header_.conditions, index);
            if (!is_known_condition_type(condition.type_word & condition_type_mask)) {
                return fail_here(ShaderLibraryFaultKind::unknown_condition_type, "type");
            }
        }
        return true;
    }

    bool check_fallback_list(uint32_t offset) {
        if (offset == 0) {
            return true;
        }
        for (uint64_t position = offset;; position += sizeof(uint32_t)) {
            if (position + sizeof(uint32_t) > size_) {
                return fail_here(position == offset ? ShaderLibraryFaultKind::offset_outside
                                                    : ShaderLibraryFaultKind::unterminated_list,
                                 "fallback list");
            }
            const uint32_t entry = read_word(position);
            if (entry == 0) {
                return true;
            }
            if (entry >= header_.entries.count) {
                return fail_here(ShaderLibraryFaultKind::bad_fallback_entry, "fallback list");
            }
        }
    }

    bool check_entries() {
        for (uint32_t index = 0; index < header_.entries.count; ++index) {
            at(ShaderLibraryTable::entries, index);
            const auto entry = read<ShaderEntry>(header_.entries, index);
            if (!check_condition_ranges(entry.first_condition, entry.runtime_condition_count,
                                        entry.common_condition_count) ||
                !check_fallback_list(entry.fallback_list_offset) ||
                !check_range(entry.first_variant, entry.variant_count, header_.variants.count, "variants") ||
                !check_range(entry.first_texture_tag_default, entry.texture_tag_default_count,
                             header_.texture_tag_defaults.count, "texture tag defaults") ||
                !check_range(entry.first_constant_tag_default, entry.constant_tag_default_count,
                             header_.constant_tag_defaults.count, "constant tag defaults") ||
                !check_range(entry.first_fibre_tag_default, entry.fibre_tag_default_count,
                             header_.fibre_tag_defaults.count, "fibre tag defaults")) {
                return false;
            }
        }
        return true;
    }

    bool check_variants() {
        for (uint32_t index = 0; index < header_.variants.count; ++index) {
            at(ShaderLibraryTable::variants, index);
            const auto variant = read<ShaderVariant>(header_.variants, index);
            if (!check_condition_ranges(variant.first_condition, variant.runtime_condition_count,
                                        variant.common_condition_count) ||
                !check_bytes(variant.texture_tag_list_offset, variant.texture_tag_list_length, "texture tag list") ||
                !check_bytes(variant.constant_tag_list_offset, variant.constant_tag_list_length, "constant tag list")) {
                return false;
            }
            for (uint32_t slot = 0; slot < pass_slot_count; ++slot) {
                if ((variant.slot_mask >> slot & 1) == 0) {
                    continue;
                }
                const uint64_t position = uint64_t{variant.pass_index_base} + slot;
                if (position >= header_.pass_indices.count) {
                    return fail_here(ShaderLibraryFaultKind::index_out_of_range, "pass index base");
                }
                const uint32_t pass = read<uint32_t>(header_.pass_indices, static_cast<uint32_t>(position));
                if (pass >= header_.slot_passes.count) {
                    at(ShaderLibraryTable::pass_indices, static_cast<uint32_t>(position));
                    return fail_here(ShaderLibraryFaultKind::index_out_of_range, "slot pass");
                }
            }
        }
        return true;
    }

    bool check_slot_passes() {
        for (uint32_t index = 0; index < header_.slot_passes.count; ++index) {
            at(ShaderLibraryTable::slot_passes, index);
            const auto pass = read<ShaderSlotPass>(header_.slot_passes, index);
            if (!check_condition_ranges(pass.first_condition, pass.runtime_condition_count,
                                        pass.common_condition_count) ||
                !check_range(pass.setup_index_base, pass.setup_count, header_.setup_indices.count, "setups")) {
                return false;
            }
            for (uint32_t number = 0; number < pass.setup_count; ++number) {
                const uint32_t position = pass.setup_index_base + number;
                const uint32_t setup = read<uint32_t>(header_.setup_indices, position);
                if (setup != no_setup && setup >= header_.setups.count) {
                    at(ShaderLibraryTable::setup_indices, position);
                    return fail_here(ShaderLibraryFaultKind::index_out_of_range, "setup");
                }
            }
        }
        return true;
    }

    bool check_setups() {
        for (uint32_t index = 0; index < header_.setups.count; ++index) {
            at(ShaderLibraryTable::setups, index);
            const auto setup = read<ShaderSetup>(header_.setups, index);
            if (!check_range(setup.first_shader_pass, setup.shader_pass_count, header_.shader_passes.count,
                             "shader passes")) {
                return false;
            }
        }
        return true;
    }

    bool check_named_list(uint32_t offset, uint32_t count, const char* field) {
        if (!check_bytes(offset, uint64_t{count} * sizeof(GlslNamedIndex), field)) {
            return false;
        }
        for (uint32_t item = 0; item < count; ++item) {
            GlslNamedIndex named;
            std::memcpy(&named, data_ + offset + uint64_t{item} * sizeof named, sizeof named);
            if (!check_text(named.name_offset, field)) {
                return false;
            }
        }
        return true;
    }
    bool check_text_list(uint32_t offset, uint32_t count, const char* field) {
        if (!check_bytes(offset, uint64_t{count} * sizeof(uint32_t), field)) {
            return false;
        }
        for (uint32_t item = 0; item < count; ++item) {
            if (!check_text(read_word(offset + uint64_t{item} * sizeof(uint32_t)), field)) {
                return false;
            }
        }
        return true;
    }

    bool check_glsl_record(uint32_t offset, const char* field) {
        if (!check_bytes(offset, sizeof(GlslShaderRecord), field)) {
            return false;
        }
        GlslShaderRecord record;
        std::memcpy(&record, data_ + offset, sizeof record);
        if (record.cache_key >= shader_cache_key_limit) {
            return fail_here(ShaderLibraryFaultKind::bad_cache_key, field);
        }
        if (record.cache_key != 0) {
            // One cache holds vertex and fragment shaders alike; a record
            // shared by several passes keeps its one key.
            uint32_t& owner = key_owners_[record.cache_key];
            if (owner != 0 && owner != offset + 1) {
                return fail_here(ShaderLibraryFaultKind::duplicate_cache_key, field);
            }
            owner = offset + 1;
        }
        return check_text_list(record.source_list_offset, record.source_count, field) &&
               check_named_list(record.attribute_list_offset, record.attribute_count, field) &&
               check_named_list(record.sampler_list_offset, record.sampler_count, field) &&
               check_text_list(record.uniform_name_list_offset, record.uniform_name_count, field);
    }

    bool check_arb_record(uint32_t offset, const char* field) {
        if (!check_bytes(offset, sizeof(ArbProgramRecord), field)) {
            return false;
        }
        ArbProgramRecord record;
        std::memcpy(&record, data_ + offset, sizeof record);
        if (record.program_number >= arb_program_number_limit) {
            return fail_here(ShaderLibraryFaultKind::bad_arb_program_number, field);
        }
        return check_bytes(record.text_offset, record.text_length, field);
    }

    bool check_program_records(const ShaderPass& pass) {
        switch (get_vertex_setup_kind(pass.setup_kinds)) {
        case VertexSetupKind::none:
        case VertexSetupKind::fixed_function:
            break;
        case VertexSetupKind::glsl:
            if (!check_glsl_record(pass.vertex_record_offset, "vertex record")) {
                return false;
            }
            break;
        case VertexSetupKind::arb_program:
            if (!check_arb_record(pass.vertex_record_offset, "vertex record")) {
                return false;
            }
            break;
        default:
            return fail_here(ShaderLibraryFaultKind::unknown_setup_kind, "vertex setup kind");
        }
        switch (get_pixel_setup_kind(pass.setup_kinds)) {
        case PixelSetupKind::none:
            return true;
        case PixelSetupKind::predefined:
            return (pass.pixel_record >= first_predefined_pixel_setup &&
                    pass.pixel_record <= last_predefined_pixel_setup) ||
                   fail_here(ShaderLibraryFaultKind::bad_predefined_setup, "pixel record");
        case PixelSetupKind::glsl:
            return check_glsl_record(pass.pixel_record, "pixel record");
        case PixelSetupKind::arb_program:
            return check_arb_record(pass.pixel_record, "pixel record");
        default:
            return fail_here(ShaderLibraryFaultKind::unknown_setup_kind, "pixel setup kind");
        }
    }

    bool check_shader_passes() {
        for (uint32_t index = 0; index < header_.shader_passes.count; ++index) {
            at(ShaderLibraryTable::shader_passes, index);
            const auto pass = read<ShaderPass>(header_.shader_passes, index);
            if (pass.program_index >= program_index_limit) {
                return fail_here(ShaderLibraryFaultKind::bad_program_index, "program index");
            }
            if (!check_program_records(pass) ||
                (has_target_setup(pass.setup_kinds) &&
                 !check_bytes(pass.target_setup_offset, sizeof(TargetSetup), "target setup")) ||
                !check_range(pass.first_fibre_binding, pass.fibre_binding_count, header_.fibre_bindings.count,
                             "fibre bindings") ||
                !check_range(pass.first_texture_unit_binding, pass.texture_unit_binding_count,
                             header_.texture_unit_bindings.count, "texture unit bindings") ||
                !check_range(pass.first_constant_binding, pass.constant_binding_count, header_.constant_bindings.count,
                             "constant bindings") ||
                !check_binding_targets(pass)) {
                return false;
            }
        }
        return true;
    }

    // Every target a pass names can be set up: none reaches past the
    // attribute, unit, attribute-constant or uniform tables the GL setup
    // keeps, and no value count exceeds the four components of a value.
    bool check_binding_targets(const ShaderPass& pass) {
        for (uint32_t index = 0; index < pass.fibre_binding_count; ++index) {
            const auto binding = read<FibreBinding>(header_.fibre_bindings, pass.first_fibre_binding + index);
            if (binding.attribute_target > last_attribute_target) {
                return fail_here(ShaderLibraryFaultKind::bad_binding_target, "fibre binding target");
            }
        }
        for (uint32_t index = 0; index < pass.texture_unit_binding_count; ++index) {
            const auto binding =
                read<TextureUnitBinding>(header_.texture_unit_bindings, pass.first_texture_unit_binding + index);
            if (binding.texture_unit >= library_texture_unit_limit) {
                return fail_here(ShaderLibraryFaultKind::bad_binding_target, "texture unit binding unit");
            }
        }
        const uint32_t uniform_count = get_uniform_count(pass);
        for (uint32_t index = 0; index < pass.constant_binding_count; ++index) {
            const auto binding = read<ConstantBinding>(header_.constant_bindings, pass.first_constant_binding + index);
            if (!is_constant_target_supported(binding.target_word, uniform_count)) {
                return fail_here(ShaderLibraryFaultKind::bad_binding_target, "constant binding target");
            }
        }
        return true;
    }

    uint32_t get_uniform_count(const ShaderPass& pass) const {
        uint32_t offset = 0;
        if (get_vertex_setup_kind(pass.setup_kinds) == VertexSetupKind::glsl) {
            offset = pass.vertex_record_offset;
        } else if (get_pixel_setup_kind(pass.setup_kinds) == PixelSetupKind::glsl) {
            offset = pass.pixel_record;
        } else {
            return 0;
        }
        GlslShaderRecord record;
        std::memcpy(&record, data_ + offset, sizeof record);
        return record.uniform_name_count;
    }

    const uint8_t* data_;
    uint32_t size_;
    ShaderLibraryFault* fault_;
    ShaderLibraryHeader header_{};
    ShaderLibraryTable table_ = ShaderLibraryTable::header;
    uint32_t index_ = 0;
    // Per cache key, the offset + 1 of the record that holds it.
    std::vector<uint32_t> key_owners_;
};

}  // namespace

const char* get_shader_library_table_name(ShaderLibraryTable table) {
    const auto index = static_cast<size_t>(table);
    return index < sizeof(table_names) / sizeof(table_names[0]) ? table_names[index] : "unknown table";
}

void describe_shader_library_fault(const ShaderLibraryFault& fault, char* buffer, size_t buffer_size) {
    if (buffer_size == 0) {
        return;
    }
    const auto kind = static_cast<size_t>(fault.kind);
    const char* text = kind < sizeof(fault_texts) / sizeof(fault_texts[0]) ? fault_texts[kind] : "unknown fault";
    if (fault.kind == ShaderLibraryFaultKind::ok) {
        std::snprintf(buffer, buffer_size, "%s", text);
    } else if (fault.table == ShaderLibraryTable::header) {
        std::snprintf(buffer, buffer_size, "header, %s: %s", fault.field, text);
    } else {
        std::snprintf(buffer, buffer_size, "%s %u, %s: %s", get_shader_library_table_name(fault.table), fault.index,
                      fault.field, text);
    }
}

ShaderLibraryFaultKind check_shader_library(const void* data, uint32_t size, ShaderLibraryFault* detail) {
    ShaderLibraryFault ignored;
    LibraryChecker checker(static_cast<const uint8_t*>(data), size, detail != nullptr ? detail : &ignored);
    return checker.check();
}

}  // namespace zolt::renderer::shader_library
