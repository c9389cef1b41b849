#include "libs/utility/fatal_error.h"
#include "zolt/renderer/shaders/shader_library.h"
#include "zolt/renderer/shaders/shader_library_data.h"
#include "zolt/renderer/shaders/shader_limits.h"
#include "zolt/renderer/shaders/shader_tags.h"

namespace zolt::renderer::shader_library {

namespace {

bool has_positive_component(const ConstantValue& value, ConstantKind kind) {
    for (uint32_t lane = 0; lane < 4; ++lane) {
        if (kind == ConstantKind::integers ? static_cast<int32_t>(value.words[lane]) >= 1
                                           : value.get_float(lane) > 0.0f) {
            return true;
        }
    }
    return false;
}

bool is_constant_tag_positive(uint32_t tag, ShaderLibraryContext& context) {
    ConstantKind kind = ConstantKind::floats;
    bool dynamic = false;
    const ConstantValue* value = resolve_constant_tag(&context.scratch, &kind, &dynamic, tag, context);
    if (value == nullptr) {
        return false;
    }
    if (kind == ConstantKind::special) {
        const uint32_t number = value->words[0];
        resolve_special_constant_value(&context.scratch, context, number);
        value = &context.scratch;
        kind = ConstantKind::floats;
    }
    return has_positive_component(*value, kind);
}

}  // namespace

bool evaluate_condition_type(uint32_t type, uint32_t parameter, ShaderLibraryContext& context) {
    const ShaderLimits& limits = get_shader_limits();
    if (type >= first_limit && type <= last_limit) {
        return limits.limits[type] >= parameter;
    }
    switch (static_cast<ConditionType>(type)) {
    case ConditionType::constant_tag:
        return is_constant_tag_positive(parameter, context);
    case ConditionType::global_flags:
        return (get_library_state().global_condition_flags & parameter) == parameter;
    case ConditionType::glsl:
        return limits.glsl_usable;
    case ConditionType::arb_vertex_programs:
        return limits.arb_vertex_programs;
    case ConditionType::arb_programs:
        return limits.arb_vertex_programs && limits.arb_fragment_programs;
    case ConditionType::shadow_maps:
        return limits.shadow_maps;
    case ConditionType::never:
    case ConditionType::never_too:
        return false;
    default:
        ZOLT_PANIC("Unsupported condition type %u", type);
    }
}

bool evaluate_conditions(uint32_t first, uint32_t count, ShaderLibraryContext& context) {
    const TableLocation& table = get_library_header().conditions;
    for (uint32_t index = first; index < first + count; ++index) {
        const ShaderCondition condition = read_record<ShaderCondition>(table, index);
        const bool passes =
            evaluate_condition_type(condition.type_word & condition_type_mask, condition.parameter, context);
        if (passes == ((condition.type_word & condition_negate) != 0)) {
            return false;
        }
    }
    return true;
}

bool evaluate_condition_range(uint32_t first, uint32_t runtime_count, uint32_t common_count, ConditionMode mode,
                              ShaderLibraryContext& context) {
    if (mode == ConditionMode::hardware) {
        return evaluate_conditions(first + runtime_count, common_count, context);
    }
    return evaluate_conditions(first, runtime_count + common_count, context);
}

}  // namespace zolt::renderer::shader_library
