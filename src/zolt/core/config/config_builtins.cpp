#include "zolt/core/config/config_builtins.h"

#include "zolt/builtins/builtin_binding.h"
#include "zolt/core/config/config_support_builtins.h"
#include "zolt/core/script_objects/array_server.h"

namespace zolt::core {

namespace {

constexpr uint32_t build_version_number = 39;

// The configuration builtins' view of script arrays.
class ConfigArrays final : public zolt::ConfigArrayAccess {
public:
    uint32_t create_array(const uint32_t* words, uint32_t word_count) override {
        ArrayObject* const array = array_server.create_array(word_count);
        for (uint32_t index = 0; index < word_count; ++index) {
            array->set_element(index, words[index]);
        }
        return array->get_handle();
    }
    bool get_array_words(uint32_t handle, const uint32_t** words, uint32_t* word_count) override {
        if (get_handle_server_type(handle) != server_type::array) {
            return false;
        }
        const auto* const array = static_cast<const ArrayObject*>(get_object(handle));
        if (array == nullptr) {
            return false;
        }
        *words = array->get_elements();
        *word_count = array->get_length();
        return true;
    }
    void destroy_array(uint32_t handle) override {
        if (ServerObject* const array = get_object(handle)) {
            destroy_object(array);
        }
    }
};

ConfigArrays& get_config_arrays() {
    static ConfigArrays arrays;
    return arrays;
}

ArrayHandle get_profile_config() {
    return {builtin_get_profile_config(get_config_arrays())};
}

void set_profile_config(ArrayHandle array) {
    builtin_set_profile_config(get_config_arrays(), array);
}

uint32_t get_build_version() {
    return builtin_get_config_u32(build_version_number);
}

}  // namespace

void bind_config_builtins(BuiltinTable& table) {
    bind_builtin<BuiltinId::set_config_bool, &set_config_bool>(table);
    bind_builtin<BuiltinId::set_config_unsigned, &set_config_unsigned>(table);
    bind_builtin<BuiltinId::set_config_signed, &set_config_signed>(table);
    bind_builtin<BuiltinId::set_config_float, &set_config_float>(table);
    bind_builtin<BuiltinId::set_config_by_type, &set_config_by_type>(table);
    bind_builtin<BuiltinId::get_config_bool, &builtin_get_config_bool>(table);
    bind_builtin<BuiltinId::get_config_unsigned, &builtin_get_config_u32>(table);
    bind_builtin<BuiltinId::get_config_signed, &builtin_get_config_s32>(table);
    bind_builtin<BuiltinId::get_config_float, &builtin_get_config_float>(table);
    bind_builtin<BuiltinId::get_config_as_float, &builtin_get_config_as_float>(table);
    bind_builtin<BuiltinId::save_config_file, &builtin_save_config_file>(table);
    bind_builtin<BuiltinId::export_profile_variables, &get_profile_config>(table);
    bind_builtin<BuiltinId::set_config_variables, &set_profile_config>(table);
    bind_builtin<BuiltinId::get_build_version, &get_build_version>(table);
}

}  // namespace zolt::core
