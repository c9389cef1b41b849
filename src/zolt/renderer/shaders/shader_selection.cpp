#include <cstring>

#include "libs/opengl/core_or_extension.h"
#include "libs/utility/fatal_error.h"
#include "zolt/renderer/shaders/shader_library.h"
#include "zolt/renderer/shaders/shader_library_data.h"
#include "zolt/renderer/shaders/shader_limits.h"
#include "zolt/renderer/shaders/shader_tags.h"

namespace zolt::renderer::shader_library {

namespace {

constexpr uint32_t required_texture_image_units = 4;

bool read_entry(uint32_t index, ShaderEntry* entry) {
    const TableLocation& entries = get_library_header().entries;
    if (index >= entries.count) {
        return false;
    }
    *entry = read_record<ShaderEntry>(entries, index);
    return true;
}

uint32_t read_fallback(uint32_t list_offset, uint32_t position) {
    uint32_t entry = 0;
    std::memcpy(&entry, get_loaded_library().data + list_offset + size_t{position} * sizeof entry, sizeof entry);
    return entry;
}

TagNumberList get_tag_list(uint32_t offset, uint32_t length) {
    if (get_loaded_library().data == nullptr || length == 0) {
        return {};
    }
    return {get_loaded_library().data + offset, length};
}

}  // namespace

uint32_t select_variant(uint32_t entry_index, ConditionMode mode, ShaderLibraryContext& context) {
    ShaderEntry entry;
    if (!read_entry(entry_index, &entry) ||
        !evaluate_condition_range(entry.first_condition, entry.runtime_condition_count, entry.common_condition_count,
                                  mode, context)) {
        return no_variant;
    }
    const TableLocation& variants = get_library_header().variants;
    for (uint32_t index = entry.first_variant; index < entry.first_variant + entry.variant_count; ++index) {
        const ShaderVariant variant = read_record<ShaderVariant>(variants, index);
        if (evaluate_condition_range(variant.first_condition, variant.runtime_condition_count,
                                     variant.common_condition_count, mode, context)) {
            return index;
        }
    }
    return no_variant;
}

ShaderSelection find_fallback(uint32_t entry_index, ConditionMode mode, ShaderLibraryContext& context) {
    ShaderEntry entry;
    if (!read_entry(entry_index, &entry)) {
        return {};
    }
    const uint32_t list_offset = entry.fallback_list_offset;
    uint32_t candidate = entry_index;
    for (uint32_t position = 0;; ++position) {
        const uint32_t variant = select_variant(candidate, mode, context);
        if (variant != no_variant) {
            return {candidate, variant};
        }
        if (list_offset == 0) {
            return {};
        }
        candidate = read_fallback(list_offset, position);
        if (candidate == 0) {
            return {};
        }
    }
}

bool check_hardware_support() {
    const ShaderLimits& limits = get_shader_limits();
    if (!limits.glsl_usable && !(limits.arb_vertex_programs && limits.arb_fragment_programs)) {
        return false;
    }
    if (!limits.shadow_maps || !opengl::vertex_programs_usable() ||
        limits.limits[static_cast<uint32_t>(ConditionType::texture_image_units)] < required_texture_image_units) {
        return false;
    }
    const ShaderLibraryHeader& header = get_library_header();
    ShaderLibraryContext empty;
    if (!evaluate_conditions(header.first_global_condition, header.global_condition_count, empty)) {
        return false;
    }
    for (uint32_t index = 0; index < header.entries.count; ++index) {
        const ShaderEntry entry = read_record<ShaderEntry>(header.entries, index);
        if ((entry.flags & entry_flag_must_be_usable) != 0 &&
            find_fallback(index, ConditionMode::hardware, empty).entry == no_entry) {
            return false;
        }
    }
    return true;
}

void require_hardware_support() {
    if (!check_hardware_support()) {
        set_fatal_exit_code(ExitCode::graphics_below_minimum);
        ZOLT_ERROR("Current hardware is not supported by shader library.");
    }
}

uint32_t get_default_shader_pass() {
    const ShaderLibraryHeader& header = get_library_header();
    ShaderEntry entry;
    if (!read_entry(0, &entry) || entry.variant_count == 0) {
        return no_shader_pass;
    }
    const ShaderVariant variant = read_record<ShaderVariant>(header.variants, entry.first_variant);
    if ((variant.slot_mask & 1) == 0) {
        return no_shader_pass;
    }
    const uint32_t slot_pass_index = read_record<uint32_t>(header.pass_indices, variant.pass_index_base);
    const ShaderSlotPass slot_pass = read_record<ShaderSlotPass>(header.slot_passes, slot_pass_index);
    if (slot_pass.setup_count == 0) {
        return no_shader_pass;
    }
    const uint32_t setup_index = read_record<uint32_t>(header.setup_indices, slot_pass.setup_index_base);
    if (setup_index == no_setup) {
        return no_shader_pass;
    }
    const ShaderSetup setup = read_record<ShaderSetup>(header.setups, setup_index);
    return setup.shader_pass_count != 0 ? setup.first_shader_pass : no_shader_pass;
}

TagNumberList get_variant_texture_tags(uint32_t variant_index) {
    if (variant_index >= get_library_header().variants.count) {
        return {};
    }
    const ShaderVariant variant = read_record<ShaderVariant>(get_library_header().variants, variant_index);
    return get_tag_list(variant.texture_tag_list_offset, variant.texture_tag_list_length);
}

TagNumberList get_variant_constant_tags(uint32_t variant_index) {
    if (variant_index >= get_library_header().variants.count) {
        return {};
    }
    const ShaderVariant variant = read_record<ShaderVariant>(get_library_header().variants, variant_index);
    return get_tag_list(variant.constant_tag_list_offset, variant.constant_tag_list_length);
}

uint32_t get_entry_flags(uint32_t entry_index) {
    ShaderEntry entry;
    return read_entry(entry_index, &entry) ? entry.flags : 0;
}

EntryTagDefaults get_entry_tag_defaults(uint32_t entry_index) {
    ShaderEntry entry;
    if (!read_entry(entry_index, &entry)) {
        return {};
    }
    const ShaderLibraryHeader& header = get_library_header();
    const auto table = [](const TableLocation& location, uint32_t first, uint32_t count) {
        if (count == 0) {
            return TableReference<uint32_t>{};
        }
        return TableReference<uint32_t>{
            reinterpret_cast<const uint32_t*>(get_loaded_library().data + location.offset) + first, count};
    };
    return {table(header.constant_tag_defaults, entry.first_constant_tag_default, entry.constant_tag_default_count),
            table(header.texture_tag_defaults, entry.first_texture_tag_default, entry.texture_tag_default_count),
            table(header.fibre_tag_defaults, entry.first_fibre_tag_default, entry.fibre_tag_default_count),
            entry.default_fibre_parameter};
}

bool slot_pass_conditions_pass(uint32_t slot_pass_index, ShaderLibraryContext& context) {
    const ShaderSlotPass slot_pass = read_record<ShaderSlotPass>(get_library_header().slot_passes, slot_pass_index);
    return evaluate_condition_range(slot_pass.first_condition, slot_pass.runtime_condition_count,
                                    slot_pass.common_condition_count, ConditionMode::runtime, context);
}

}  // namespace zolt::renderer::shader_library
