// Constant tags: each source, the conversions of object properties, special
// values without a view or request, and the mesh code's overrides.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>

#include "shader_library_test_support.h"
#include "support/child_process.h"
#include "zolt/core/object_server/property.h"
#include "zolt/core/object_server/server_object.h"
#include "zolt/renderer/graphics_library/display_mode.h"
#include "zolt/renderer/shaders/shader_tags.h"

namespace zolt::renderer::shader_library {
namespace {

using core::make_property_id;
namespace property_type = core::property_type;

// An object that answers the properties it was given.
class PropertyObject final : public core::ServerObject {
public:
    void initialize(uint32_t) override {}
    void finalize() override {}
    bool get_property(uint32_t id, core::Property& out) const override {
        const auto found = properties_.find(id);
        if (found == properties_.end()) {
            return false;
        }
        out = found->second;
        return true;
    }
    void set_words(uint32_t id, uint32_t x, uint32_t y = 0, uint32_t z = 0, uint32_t w = 0) {
        core::Property& property = properties_[id];
        property.id = id;
        property.value[0] = x, property.value[1] = y, property.value[2] = z, property.value[3] = w;
    }
    void set_floats(uint32_t id, float x, float y = 0.0f, float z = 0.0f, float w = 0.0f) {
        const float values[4] = {x, y, z, w};
        properties_[id].set_floats(id, values, 4);
    }

private:
    std::map<uint32_t, core::Property> properties_;
};

struct Resolved {
    const ConstantValue* value = nullptr;
    ConstantKind kind = ConstantKind::floats;
    bool dynamic = false;
};

class ConstantTags : public ::testing::Test {
protected:
    Resolved resolve(uint32_t tag) {
        Resolved resolved;
        resolved.value = resolve_constant_tag(&context_.scratch, &resolved.kind, &resolved.dynamic, tag, context_);
        return resolved;
    }
    Resolved resolve_word(uint32_t word) {
        words_[0] = word;
        context_.constant_tags = {words_, 1};
        return resolve(0);
    }

    test_support::InstalledLibrary library_{test_support::compile_library(
        R"({"library_constants": [[1.0, 2.0, 3.0, 4.0], {"integers": [5, 6, 7, 8]}], "entries": [)" +
        test_support::get_default_entry() + "]}")};
    ShaderLibraryContext context_;
    uint32_t words_[1] = {};
};

void expect_floats(const ConstantValue* value, float x, float y, float z, float w) {
    ASSERT_NE(value, nullptr);
    const float expected[4] = {x, y, z, w};
    for (uint32_t lane = 0; lane < 4; ++lane) {
        EXPECT_NEAR(value->get_float(lane), expected[lane], 1e-6f) << "lane " << lane;
    }
}

TEST_F(ConstantTags, MaterialLibraryAndUserVectorsResolveToTheirHome) {
    ConstantValue vectors[2];
    vectors[1].set_floats(9.0f, 8.0f, 7.0f, 6.0f);
    context_.vectors = {vectors, 2};
    const uint32_t words[] = {make_tag_word(3, 1), make_tag_word(4, 0), make_tag_word(6, 2),
                              make_tag_word(4, 1), make_tag_word(3, 2), make_tag_word(6, 16)};
    context_.constant_tags = {words, 6};

    const Resolved material = resolve(0);
    EXPECT_EQ(material.value, &vectors[1]);
    EXPECT_EQ(material.kind, ConstantKind::floats);
    EXPECT_FALSE(material.dynamic);
    expect_floats(resolve(1).value, 1.0f, 2.0f, 3.0f, 4.0f);
    const Resolved user = resolve(2);
    EXPECT_EQ(user.value, &get_user_vector(2));
    ConstantValue changed;
    changed.set_floats(0.25f, 0.0f, 0.0f, 1.0f);
    set_user_vector(2, changed);
    expect_floats(user.value, 0.25f, 0.0f, 0.0f, 1.0f);
    EXPECT_EQ(resolve(3).value->words[2], 7u);
    // Parameters past their tables give zero, never memory outside them.
    expect_floats(resolve(4).value, 0.0f, 0.0f, 0.0f, 0.0f);
    expect_floats(resolve(5).value, 0.0f, 0.0f, 0.0f, 0.0f);
    EXPECT_EQ(resolve(6).value, nullptr);
}

TEST_F(ConstantTags, ObjectPropertiesConvertToFourComponents) {
    PropertyObject object;
    const uint32_t key = 0x1234;
    object.set_floats(make_property_id(property_type::vector2, key), 1.5f, 2.5f, 9.0f, 9.0f);
    object.set_words(make_property_id(property_type::unsigned_integer, key), 0x80FF0000);
    object.set_words(make_property_id(property_type::signed_integer, key), 7);
    object.set_floats(make_property_id(property_type::floating, key), 2.5f);
    object.set_floats(make_property_id(property_type::vector3, key), 1.0f, 2.0f, 3.0f, 9.0f);
    object.set_floats(make_property_id(property_type::vector4, key), 1.0f, 2.0f, 3.0f, 4.0f);
    object.set_floats(make_property_id(property_type::quaternion, key), 0.5f, 0.5f, 0.5f, 0.5f);
    object.set_words(make_property_id(property_type::code_reference, key), 3);
    context_.source_object = &object;
    struct Row {
        const char* kind;
        uint32_t type;
        float expected[4];
    };
    const Row rows[] = {
        {"2-vector", property_type::vector2, {1.5f, 2.5f, 0.0f, 0.0f}},
        {"packed colour", property_type::unsigned_integer, {1.0f, 0.0f, 0.0f, 128.0f / 255.0f}},
        {"float", property_type::floating, {2.5f, 2.5f, 2.5f, 2.5f}},
        {"3-vector", property_type::vector3, {1.0f, 2.0f, 3.0f, 1.0f}},
        {"4-vector", property_type::vector4, {1.0f, 2.0f, 3.0f, 4.0f}},
        {"rotation", property_type::quaternion, {0.5f, 0.5f, 0.5f, 0.5f}},
        {"other type", property_type::code_reference, {0.0f, 0.0f, 0.0f, 0.0f}},
        {"missing", property_type::vector4_other, {0.0f, 0.0f, 0.0f, 0.0f}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.kind);
        const Resolved resolved = resolve_word(make_tag_word(5, make_property_id(row.type, key)));
        EXPECT_TRUE(resolved.dynamic);
        EXPECT_EQ(resolved.kind, ConstantKind::floats);
        expect_floats(resolved.value, row.expected[0], row.expected[1], row.expected[2], row.expected[3]);
    }
    const Resolved integer = resolve_word(make_tag_word(5, make_property_id(property_type::signed_integer, key)));
    EXPECT_EQ(integer.kind, ConstantKind::integers);
    for (const uint32_t word : integer.value->words) {
        EXPECT_EQ(word, 7u);
    }
    context_.source_object = nullptr;
    expect_floats(resolve_word(make_tag_word(5, make_property_id(property_type::vector4, key))).value, 0.0f, 0.0f, 0.0f,
                  0.0f);
}

TEST_F(ConstantTags, SpecialValuesWithoutAViewOrRequest) {
    const Resolved special = resolve_word(make_tag_word(1, 19));
    EXPECT_EQ(special.kind, ConstantKind::special);
    ASSERT_NE(special.value, nullptr);
    EXPECT_EQ(special.value->words[0], 20u);
    EXPECT_EQ(resolve_word(make_tag_word(1, 0)).value->words[0], 1u);

    ConstantValue scratch;
    const DisplayMode& mode = get_current_display_mode();
    resolve_special_constant_value(&scratch, context_, 1);
    expect_floats(&scratch, static_cast<float>(mode.width), static_cast<float>(mode.height), 0.0f, 0.0f);
    resolve_special_constant_value(&scratch, context_, 20);
    expect_floats(&scratch, 1.0f, 0.0f, 0.0f, 0.0f);
    for (const uint32_t number : {2u, 17u, 18u, 19u}) {
        SCOPED_TRACE(number);
        scratch.set_floats(5.0f, 5.0f, 5.0f, 5.0f);
        resolve_special_constant_value(&scratch, context_, number);
        expect_floats(&scratch, 0.0f, 0.0f, 0.0f, 0.0f);
    }
    // A viewport vector is the block's own, which each view drawn fills,
    // so materials resolved outside a view see the view's values; past the
    // block's end it is zero.
    const Resolved viewport = resolve_word(make_tag_word(2, 3));
    EXPECT_EQ(viewport.value, &get_viewport_constants().vectors[3]);
    const Resolved past_end = resolve_word(make_tag_word(2, viewport_vector_count));
    EXPECT_EQ(past_end.value, &context_.scratch);
    expect_floats(past_end.value, 0.0f, 0.0f, 0.0f, 0.0f);
}

TEST_F(ConstantTags, OverridesReplaceTags34And35And37WhileSet) {
    ConstantValue table[1];
    context_.vectors = {table, 1};
    uint32_t words[38] = {};
    for (uint32_t& word : words) {
        word = make_tag_word(3, 0);
    }
    context_.constant_tags = {words, 38};
    ConstantValue first, second, third;
    set_constant_tag_overrides(&first, &second);
    EXPECT_EQ(resolve(34).value, &first);
    EXPECT_EQ(resolve(35).value, &second);
    EXPECT_EQ(resolve(37).value, &table[0]);
    EXPECT_EQ(resolve(36).value, &table[0]);
    set_constant_tag_override(&third);
    EXPECT_EQ(resolve(37).value, &third);
    clear_constant_tag_overrides();
    EXPECT_EQ(resolve(34).value, &table[0]);
    EXPECT_EQ(resolve(37).value, &table[0]);
}

TEST_F(ConstantTags, UnsupportedSourcesArePanicsNamingTheValue) {
    struct Row {
        uint32_t word;
        const char* message;
    };
    const Row rows[] = {
        {make_tag_word(7, 2), "Unsupported constant source 458754 for tag 0"},
        {make_tag_word(1, 20), "Unsupported special constant source 20"},
    };
    for (const Row& row : rows) {
        const test::ChildResult result = test::run_in_child([this, &row] { resolve_word(row.word); });
        EXPECT_EQ(result.exit_code, ExitCode::crash);
        EXPECT_NE(result.standard_error.find(row.message), std::string::npos) << result.standard_error;
    }
    const test::ChildResult special =
        test::run_in_child([this] { resolve_special_constant_value(&context_.scratch, context_, 21); });
    EXPECT_NE(special.standard_error.find("Unsupported special constant source 20"), std::string::npos)
        << special.standard_error;
}

}  // namespace
}  // namespace zolt::renderer::shader_library
