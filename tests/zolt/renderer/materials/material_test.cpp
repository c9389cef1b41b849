#include "zolt/renderer/materials/material.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "zolt/builtins/builtin_dispatch.h"
#include "zolt/builtins/builtin_list.h"
#include "zolt/core/object_server/alias_server.h"
#include "zolt/core/program/builtin_bindings.h"
#include "zolt/core/script/script_context.h"
#include "zolt/renderer/materials/material_server.h"
#include "zolt/renderer/shaders/shader_library_test_support.h"

namespace zolt::renderer {
namespace {

namespace library = shader_library;
using library::ConstantValue;

// Fixed-function passes only: selection, fallbacks, slot conditions and tag
// defaults need no GL.
const char* const description = R"({
  "entries": [
    {"index": 0, "variants": [{"passes": [{"slot": "direct", "setups": [[{"vertex": "fixed_function"}]]}]}]},
    {"index": 5, "conditions": [{"type": "never"}], "fallback": [6, 7],
     "variants": [{"passes": [{"slot": "direct", "setups": [[{"vertex": "fixed_function"}]]}]}]},
    {"index": 6, "conditions": [{"type": "never"}],
     "variants": [{"passes": [{"slot": "direct", "setups": [[{"vertex": "fixed_function"}]]}]}]},
    {"index": 7, "must_be_usable": true,
     "variants": [{"passes": [{"slot": "direct", "setups": [[{"vertex": "fixed_function"}]]}]}]},
    {"index": 8,
     "constant_tag_defaults": [{"source": "material", "parameter": 1}, {"source": "library", "parameter": 0}],
     "variants": [{"constant_tags": [0, 1], "variant_word": 77, "passes": [
       {"slot": "direct", "setups": [[{"vertex": "fixed_function"}], [{"vertex": "fixed_function"}]]},
       {"slot": 5, "conditions": [{"type": "never"}], "setups": [[{"vertex": "fixed_function"}]]},
       {"slot": 6, "setups": [[{"vertex": "fixed_function"}]]}]}]},
    {"index": 10, "variants": [{"passes": [{"slot": "direct", "setups": [[{"vertex": "fixed_function"}]]}]}]}
  ],
  "library_constants": [[7.0, 8.0, 9.0, 10.0]]
})";

ConstantValue make_value(float x, float y, float z, float w) {
    ConstantValue value;
    value.set_floats(x, y, z, w);
    return value;
}

// Calls a builtin as a script would, the top of the stack first.
uint32_t call_builtin(core::BuiltinId id, std::vector<uint32_t> arguments_top_first) {
    core::bind_all_builtins();
    auto context = std::make_unique<core::ScriptContext>();
    context->stack_index = 4 + static_cast<uint32_t>(arguments_top_first.size());
    for (size_t depth = 0; depth < arguments_top_first.size(); ++depth) {
        context->stack[context->stack_index - 1 - depth] = arguments_top_first[depth];
    }
    core::call_builtin(*context, static_cast<uint32_t>(id));
    return context->registers[0];
}

class Materials : public ::testing::Test {
protected:
    void SetUp() override {
        library_ = std::make_unique<library::test_support::InstalledLibrary>(
            library::test_support::compile_library(description));
        library::set_shader_limits(library::test_support::make_capable_limits());
        material_server.register_server();
    }
    void TearDown() override {
        material_server.unregister_server();
        core::alias_server.clear_alias(default_material_alias);
        library_.reset();
    }

    Material* create(uint32_t shader, uint32_t flags = default_material_flags) {
        MaterialDescription material_description;
        material_description.shader_index = shader;
        material_description.flags = flags;
        return material_server.create_material(material_description);
    }

    std::unique_ptr<library::test_support::InstalledLibrary> library_;
};

TEST_F(Materials, SelectionFollowsTheFallbacksAndDropsSlotsWhoseConditionsFail) {
    Material* const fallback = create(5);
    Material* const slots = create(8);
    EXPECT_TRUE(material_server.is_selection_pending(*fallback));
    material_server.process_pending();
    EXPECT_FALSE(material_server.is_selection_pending(*fallback));

    EXPECT_EQ(fallback->selected_entry, 7u);
    EXPECT_EQ(fallback->selected_entry_flags, library::entry_flag_must_be_usable);
    EXPECT_EQ(fallback->entry_flags, 0u) << "the description's own entry";
    EXPECT_EQ(fallback->pass_mask, 1u);

    EXPECT_EQ(slots->pass_mask, (1u << 0) | (1u << 6)) << "slot 5 fails its conditions";
    EXPECT_EQ(slots->passes[5], no_slot_pass);
    EXPECT_EQ(slots->variant_word, 77u);
    EXPECT_EQ(material_server.get_default_material()->selected_entry, default_material_shader);
}

TEST_F(Materials, ConstantsResolveToTheirHomesAndFollowLaterChanges) {
    Material* const material = create(8, material_flag_modifiable);
    material->set_vector(1, make_value(1, 2, 3, 4));
    material_server.process_pending();
    const library::ResolvedConstantTags& tags = material->constant_bindings.tags;
    ASSERT_EQ(tags.resolved_mask, 0b11u);
    EXPECT_EQ(tags.resolved[0].value, &material->description.vectors.data[1]);
    EXPECT_EQ(tags.resolved[0].value->get_float(2), 3.0f);
    EXPECT_EQ(tags.resolved[1].value->get_float(0), 7.0f) << "the library's constant";

    // Growing the table moves it: the binding follows once resolved again.
    material->set_vector(5, make_value(5, 5, 5, 5));
    EXPECT_EQ(material->description.vectors.count, 6u);
    EXPECT_EQ(material->description.vectors.data[3].get_float(0), 0.0f);
    EXPECT_TRUE(material_server.is_constant_update_pending(*material));
    material->update_pending();
    EXPECT_EQ(material->constant_bindings.tags.resolved[0].value, &material->description.vectors.data[1]);
    EXPECT_EQ(material->constant_bindings.tags.resolved[0].value->get_float(3), 4.0f);
}

TEST_F(Materials, TagSettersTakeTheEntryDefaultsOverAsTheirOwnTable) {
    Material* const material = create(8, material_flag_modifiable);
    ASSERT_EQ(material->effective_constant_tags.count, 2u);
    const uint32_t* const defaults = material->effective_constant_tags.data;
    const uint32_t second_default = defaults[1];
    material->set_constant_tag(3, 0x12345);
    EXPECT_NE(material->effective_constant_tags.data, defaults);
    EXPECT_TRUE(material_server.is_table_memory(material->effective_constant_tags.data));
    EXPECT_EQ(material->effective_constant_tags.count, 4u);
    EXPECT_EQ(material->effective_constant_tags.data[1], second_default);
    EXPECT_EQ(material->effective_constant_tags.data[3], 0x12345u);
    EXPECT_EQ(defaults[1], second_default) << "the library's table is never written";
}

TEST_F(Materials, BuiltinsChangeOnlyModifiableMaterials) {
    Material* const fixed = create(8);
    Material* const modifiable = create(8, material_flag_modifiable);
    for (Material* material : {fixed, modifiable}) {
        call_builtin(core::BuiltinId::set_material_constant_tag, {material->get_handle(), 1, 0x55});
        call_builtin(core::BuiltinId::set_material_texture, {material->get_handle(), 2, 0x20000010});
    }
    EXPECT_EQ(call_builtin(core::BuiltinId::get_material_constant_tag, {fixed->get_handle(), 1}),
              fixed->effective_constant_tags.data[1]);
    EXPECT_NE(fixed->effective_constant_tags.data[1], 0x55u);
    EXPECT_EQ(call_builtin(core::BuiltinId::get_material_texture, {fixed->get_handle(), 2}), 0u);
    EXPECT_EQ(call_builtin(core::BuiltinId::get_material_constant_tag, {modifiable->get_handle(), 1}), 0x55u);
    EXPECT_EQ(call_builtin(core::BuiltinId::get_material_texture, {modifiable->get_handle(), 2}), 0x20000010u);
    EXPECT_EQ(modifiable->description.textures.count, 3u);
    // Handles of other kinds and stale ones answer the neutral result.
    const core::ObjectHandle stale = modifiable->get_handle();
    material_server.release_material(modifiable);
    material_server.free_all_dead_objects();
    EXPECT_EQ(call_builtin(core::BuiltinId::get_material_texture, {stale, 2}), 0u);
    EXPECT_EQ(call_builtin(core::BuiltinId::get_material_constant_tag, {core::make_alias_handle(3), 0}), 0u);
}

TEST_F(Materials, UseCountsPutMaterialsOnTheDeadRingBeforeDestroyingThem) {
    Material* const material = create(8);
    const core::ObjectHandle handle = material->get_handle();
    material->use_count = 2;
    material_server.release_material(material);
    EXPECT_EQ(material_server.find_material(handle), material);
    EXPECT_FALSE(material_server.has_dead_objects());
    material_server.release_material(material);
    EXPECT_EQ(material_server.find_material(handle), material) << "dead but still drawable this frame";
    EXPECT_TRUE(material_server.has_dead_objects());
    EXPECT_FALSE(material_server.is_selection_pending(*material));
    material_server.release_material(material);
    EXPECT_EQ(material_server.find_material(handle), nullptr);
    EXPECT_FALSE(material_server.has_dead_objects());

    Material* const other = create(8);
    material_server.release_material(other);
    material_server.free_all_dead_objects();
    EXPECT_EQ(material_server.find_material(other->get_handle()), nullptr);
}

TEST_F(Materials, CompactionPacksOwnedTablesAndQueuesConstantsAgain) {
    std::vector<Material*> materials;
    for (uint32_t index = 0; index < 4; ++index) {
        materials.push_back(create(8, material_flag_modifiable));
        materials.back()->set_vector(index, make_value(static_cast<float>(index), 1, 2, 3));
    }
    // A hole below the others.
    material_server.release_material(materials[0]);
    material_server.release_material(materials[0]);
    material_server.process_pending();
    const ConstantValue* const before = materials[3]->description.vectors.data;
    material_server.compact_table_memory();
    EXPECT_LT(materials[3]->description.vectors.data, before) << "moved down into the hole";
    for (uint32_t index = 1; index < 4; ++index) {
        EXPECT_EQ(materials[index]->description.vectors.data[index].get_float(0), static_cast<float>(index));
        EXPECT_TRUE(material_server.is_constant_update_pending(*materials[index]));
    }
}

TEST_F(Materials, TheDefaultMaterialIsPublishedBehindItsAlias) {
    Material* const default_material = material_server.get_default_material();
    ASSERT_NE(default_material, nullptr);
    EXPECT_EQ(core::alias_server.get_target(default_material_alias), default_material->get_handle());
    EXPECT_EQ(default_material->description.shader_index, default_material_shader);
}

TEST_F(Materials, LightmapIdsComeFromMaterialTextures) {
    Material* const material = create(8, material_flag_modifiable);
    EXPECT_EQ(material->get_lightmap_texture_id(), 0u);
    material->set_texture(1, 0x20000030);
    material->set_texture_tag(lightmap_texture_tag,
                              library::make_tag_word(static_cast<uint32_t>(library::TextureSource::material), 1));
    EXPECT_EQ(material->get_lightmap_texture_id(), 0x20000030u);
}

}  // namespace
}  // namespace zolt::renderer
