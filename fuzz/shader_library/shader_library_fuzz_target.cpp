// A shader library resource as the engine checks it at load. An accepted
// library is walked the way selection and GL setup will follow it, without
// checks of their own: every table, every index and offset its records hold,
// every list to its 0 and every text to its end, so the sanitizer sees any
// read past the resource. Input: the resource.
#include <cstdint>
#include <cstring>

#include "support/fuzz_entry.h"
#include "zolt/renderer/shaders/shader_library_format.h"

namespace {

namespace fuzz = zolt::fuzz;
using namespace zolt::renderer::shader_library;

class LibraryWalker {
public:
    LibraryWalker(const uint8_t* data, uint32_t size) : data_(data), size_(size) {
        std::memcpy(&header_, data_, sizeof header_);
    }

    void walk() {
        touch_conditions(header_.first_global_condition, header_.global_condition_count);
        for (uint32_t index = 0; index < header_.entries.count; ++index) {
            walk_entry(read<ShaderEntry>(header_.entries, index));
        }
        for (uint32_t index = 0; index < header_.library_textures.count; ++index) {
            sum_ += read<uint32_t>(header_.library_textures, index);
        }
        for (uint32_t index = 0; index < header_.library_constants.count; ++index) {
            sum_ += read<LibraryConstant>(header_.library_constants, index).words[3];
        }
        // Keeps the reads from being optimised away.
        volatile uint64_t sink = sum_ + size_;
        (void)sink;
    }

private:
    template <typename Record>
    Record read(const TableLocation& table, uint32_t index) {
        Record record;
        std::memcpy(&record, data_ + table.offset + uint64_t{index} * sizeof(Record), sizeof record);
        return record;
    }
    template <typename Record>
    Record read_at(uint32_t offset) {
        Record record;
        std::memcpy(&record, data_ + offset, sizeof record);
        return record;
    }
    void touch_bytes(uint32_t offset, uint32_t length) {
        for (uint32_t index = 0; index < length; ++index) {
            sum_ += data_[offset + index];
        }
    }
    void touch_text(uint32_t offset) {
        const char* text = reinterpret_cast<const char*>(data_ + offset);
        sum_ += std::strlen(text);
    }
    void touch_conditions(uint32_t first, uint32_t count) {
        for (uint32_t index = 0; index < count; ++index) {
            const auto condition = read<ShaderCondition>(header_.conditions, first + index);
            fuzz::expect(is_known_condition_type(condition.type_word & condition_type_mask),
                         "an accepted library has an unknown condition type");
            sum_ += condition.parameter;
        }
    }
    void touch_words(const TableLocation& table, uint32_t first, uint32_t count) {
        for (uint32_t index = 0; index < count; ++index) {
            sum_ += read<uint32_t>(table, first + index);
        }
    }

    void walk_entry(const ShaderEntry& entry) {
        touch_conditions(entry.first_condition, entry.runtime_condition_count + entry.common_condition_count);
        if (entry.fallback_list_offset != 0) {
            for (uint32_t offset = entry.fallback_list_offset;; offset += 4) {
                const auto next = read_at<uint32_t>(offset);
                if (next == 0) {
                    break;
                }
                fuzz::expect(next < header_.entries.count, "an accepted fallback list names no entry");
            }
        }
        touch_words(header_.texture_tag_defaults, entry.first_texture_tag_default, entry.texture_tag_default_count);
        touch_words(header_.constant_tag_defaults, entry.first_constant_tag_default, entry.constant_tag_default_count);
        touch_words(header_.fibre_tag_defaults, entry.first_fibre_tag_default, entry.fibre_tag_default_count);
        for (uint32_t index = 0; index < entry.variant_count; ++index) {
            walk_variant(read<ShaderVariant>(header_.variants, entry.first_variant + index));
        }
    }

    void walk_variant(const ShaderVariant& variant) {
        touch_conditions(variant.first_condition, variant.runtime_condition_count + variant.common_condition_count);
        touch_bytes(variant.texture_tag_list_offset, variant.texture_tag_list_length);
        touch_bytes(variant.constant_tag_list_offset, variant.constant_tag_list_length);
        for (uint32_t slot = 0; slot < pass_slot_count; ++slot) {
            if ((variant.slot_mask >> slot & 1) != 0) {
                const auto pass = read<uint32_t>(header_.pass_indices, variant.pass_index_base + slot);
                walk_slot_pass(read<ShaderSlotPass>(header_.slot_passes, pass));
            }
        }
    }

    void walk_slot_pass(const ShaderSlotPass& pass) {
        touch_conditions(pass.first_condition, pass.runtime_condition_count + pass.common_condition_count);
        for (uint32_t number = 0; number < pass.setup_count; ++number) {
            const auto setup_index = read<uint32_t>(header_.setup_indices, pass.setup_index_base + number);
            if (setup_index == no_setup) {
                continue;
            }
            const auto setup = read<ShaderSetup>(header_.setups, setup_index);
            for (uint32_t index = 0; index < setup.shader_pass_count; ++index) {
                walk_shader_pass(read<ShaderPass>(header_.shader_passes, setup.first_shader_pass + index));
            }
        }
    }

    void walk_glsl_record(uint32_t offset) {
        const auto record = read_at<GlslShaderRecord>(offset);
        fuzz::expect(record.cache_key < shader_cache_key_limit, "an accepted cache key is out of range");
        for (uint32_t index = 0; index < record.source_count; ++index) {
            touch_text(read_at<uint32_t>(record.source_list_offset + index * 4));
        }
        for (uint32_t index = 0; index < record.attribute_count; ++index) {
            touch_text(read_at<GlslNamedIndex>(record.attribute_list_offset + index * 8).name_offset);
        }
        for (uint32_t index = 0; index < record.sampler_count; ++index) {
            touch_text(read_at<GlslNamedIndex>(record.sampler_list_offset + index * 8).name_offset);
        }
        for (uint32_t index = 0; index < record.uniform_name_count; ++index) {
            touch_text(read_at<uint32_t>(record.uniform_name_list_offset + index * 4));
        }
    }

    void walk_arb_record(uint32_t offset) {
        const auto record = read_at<ArbProgramRecord>(offset);
        fuzz::expect(record.program_number < arb_program_number_limit, "an accepted ARB number is out of range");
        touch_bytes(record.text_offset, record.text_length);
    }

    void walk_shader_pass(const ShaderPass& pass) {
        fuzz::expect(pass.program_index < program_index_limit, "an accepted program index is out of range");
        const VertexSetupKind vertex = get_vertex_setup_kind(pass.setup_kinds);
        if (vertex == VertexSetupKind::glsl) {
            walk_glsl_record(pass.vertex_record_offset);
        } else if (vertex == VertexSetupKind::arb_program) {
            walk_arb_record(pass.vertex_record_offset);
        }
        const PixelSetupKind pixel = get_pixel_setup_kind(pass.setup_kinds);
        if (pixel == PixelSetupKind::glsl) {
            walk_glsl_record(pass.pixel_record);
        } else if (pixel == PixelSetupKind::arb_program) {
            walk_arb_record(pass.pixel_record);
        }
        if (has_target_setup(pass.setup_kinds)) {
            touch_bytes(pass.target_setup_offset, sizeof(TargetSetup));
        }
        for (uint32_t index = 0; index < pass.fibre_binding_count; ++index) {
            sum_ += read<FibreBinding>(header_.fibre_bindings, pass.first_fibre_binding + index).attribute_target;
        }
        for (uint32_t index = 0; index < pass.texture_unit_binding_count; ++index) {
            sum_ += read<TextureUnitBinding>(header_.texture_unit_bindings, pass.first_texture_unit_binding + index)
                        .texture_unit;
        }
        for (uint32_t index = 0; index < pass.constant_binding_count; ++index) {
            sum_ += read<ConstantBinding>(header_.constant_bindings, pass.first_constant_binding + index).target_word;
        }
    }

    const uint8_t* data_;
    uint32_t size_;
    ShaderLibraryHeader header_;
    uint64_t sum_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) {
        return 0;
    }
    const auto resource_size = static_cast<uint32_t>(size);
    // An exactly sized copy, so the sanitizer sees any read past the resource.
    uint8_t* const resource = new uint8_t[size > 0 ? size : 1];
    std::memcpy(resource, data, size);
    ShaderLibraryFault fault;
    const ShaderLibraryFaultKind kind = check_shader_library(resource, resource_size, &fault);
    char text[256];
    describe_shader_library_fault(fault, text, sizeof text);
    fuzz::expect(text[0] != '\0', "a fault has no description");
    ShaderLibraryFault again;
    fuzz::expect(check_shader_library(resource, resource_size, &again) == kind && again.kind == fault.kind &&
                     again.table == fault.table && again.index == fault.index,
                 "the same resource is judged twice differently");
    if (kind == ShaderLibraryFaultKind::ok) {
        LibraryWalker(resource, resource_size).walk();
    }
    delete[] resource;
    return 0;
}
