#include "zolt/renderer/shaders/shader_library_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace zolt::renderer::shader_library {
namespace {

using Bytes = std::vector<uint8_t>;
using Kind = ShaderLibraryFaultKind;
using Table = ShaderLibraryTable;

// A small library laid out by hand: entry 0 with the default pass, entry 1
// with a fallback list, a GLSL pass and an ARB pass with a target setup,
// bindings, tag defaults and library tables. Tests change its records, or
// the laid-out bytes, and check the result.
struct TestLibrary {
    TestLibrary() {
        header.version = shader_library_version;
        header.first_global_condition = 1;
        header.global_condition_count = 1;
        const uint32_t vertex_text = append_text("void main() { gl_Position = ftransform(); }");
        const uint32_t pixel_text = append_text("void main() { gl_FragColor = vec4(1.0); }");
        const uint32_t name = append_text("position");
        const uint32_t sampler_name = append_text("diffuse");
        const uint32_t uniform_name = append_text("colour");
        const uint32_t vertex_sources = append_words({vertex_text});
        const uint32_t pixel_sources = append_words({pixel_text});
        const uint32_t attributes = append_words({0, name});
        const uint32_t samplers = append_words({0, sampler_name});
        const uint32_t uniforms = append_words({uniform_name});
        glsl_vertex = {1, vertex_sources, 1, attributes, 1, samplers, 1, uniforms, 1};
        glsl_pixel = {2, pixel_sources, 1, 0, 0, 0, 0, uniforms, 1};
        glsl_vertex_offset = append(&glsl_vertex, sizeof glsl_vertex);
        glsl_pixel_offset = append(&glsl_pixel, sizeof glsl_pixel);
        const std::string arb_text = "!!ARBvp1.0\nEND\n";
        arb = {7, append(arb_text.data(), arb_text.size()), static_cast<uint32_t>(arb_text.size())};
        arb_offset = append(&arb, sizeof arb);
        const TargetSetup setup = {1, 8, 2, 1, 1};
        target_setup_offset = append(&setup, sizeof setup);
        fallback_offset = append_words({1, 0});
        const uint8_t tags[] = {0, 1};
        tag_list_offset = append(tags, sizeof tags);

        conditions = {{static_cast<uint32_t>(ConditionType::glsl), 0},
                      {static_cast<uint32_t>(ConditionType::never) | condition_negate, 0},
                      {static_cast<uint32_t>(ConditionType::texture_image_units), 4}};
        entries.resize(2);
        entries[0].first_variant = 0;
        entries[0].variant_count = 1;
        entries[1] = {0, 1, 1, fallback_offset, entry_flag_must_be_usable, 1, 1, 0, 0, 0, 1, 1, 1, -1, {}};
        variants.resize(2);
        variants[0].slot_mask = 1;
        variants[0].pass_index_base = 0;
        variants[1] = {2, 0, 1, 0x11, 1, 0, 0, tag_list_offset, 2, tag_list_offset, 2};
        pass_indices = {0, 1, 0, 0, 0, 1};
        slot_passes = {{0, 0, 0, 0, 1, 0, 0}, {0, 0, 2, 1, 2, 1, 0}};
        setup_indices = {0, no_setup, 1};
        setups = {{0, 1, 0}, {1, 1, 0}};
        const uint32_t glsl_kinds =
            static_cast<uint32_t>(VertexSetupKind::glsl) | static_cast<uint32_t>(PixelSetupKind::glsl);
        const uint32_t arb_kinds = static_cast<uint32_t>(VertexSetupKind::arb_program) |
                                   static_cast<uint32_t>(PixelSetupKind::predefined) | 0x100;
        shader_passes = {{0, glsl_kinds, glsl_vertex_offset, glsl_pixel_offset, 0, 1, 0, 0, 0, 1, 1, 1},
                         {0, arb_kinds, arb_offset, 3, target_setup_offset, 29999, 1, 0, 1, 1, 0, 1}};
        fibre_bindings = {{1, 0x00}, {2, 0x40}};
        texture_unit_bindings = {{0, 0}};
        constant_bindings = {{0, make_constant_target(ConstantTargetClass::glsl_uniform, 0, 1)},
                             {1, make_constant_target(ConstantTargetClass::arb_vertex_local, 3, 4)}};
        fibre_tag_defaults = {0x1000};
        texture_tag_defaults = {make_tag_word(4, 0)};
        constant_tag_defaults = {make_tag_word(3, 0)};
        library_textures = {0x20000010};
        library_constants = {{{1, 2, 3, 4}}};
    }

    uint32_t append(const void* bytes, size_t size) {
        while (data.size() % 4 != 0) {
            data.push_back(0);
        }
        const auto offset = static_cast<uint32_t>(sizeof(ShaderLibraryHeader) + data.size());
        data.insert(data.end(), static_cast<const uint8_t*>(bytes), static_cast<const uint8_t*>(bytes) + size);
        return offset;
    }
    uint32_t append_text(const std::string& text) { return append(text.c_str(), text.size() + 1); }
    uint32_t append_words(const std::vector<uint32_t>& words) { return append(words.data(), words.size() * 4); }

    template <typename Record>
    void place(const std::vector<Record>& records, TableLocation* location, Bytes* bytes) const {
        location->offset = static_cast<uint32_t>(bytes->size());
        location->count = static_cast<uint32_t>(records.size());
        const auto* first = reinterpret_cast<const uint8_t*>(records.data());
        bytes->insert(bytes->end(), first, first + records.size() * sizeof(Record));
    }

    Bytes lay_out() {
        Bytes bytes(sizeof header, 0);
        Bytes padded = data;
        padded.resize((padded.size() + 3) & ~size_t{3}, 0);
        // Records may have been changed since they were appended.
        std::memcpy(padded.data() + glsl_vertex_offset - sizeof header, &glsl_vertex, sizeof glsl_vertex);
        std::memcpy(padded.data() + glsl_pixel_offset - sizeof header, &glsl_pixel, sizeof glsl_pixel);
        std::memcpy(padded.data() + arb_offset - sizeof header, &arb, sizeof arb);
        bytes.insert(bytes.end(), padded.begin(), padded.end());
        place(entries, &header.entries, &bytes);
        place(variants, &header.variants, &bytes);
        place(pass_indices, &header.pass_indices, &bytes);
        place(slot_passes, &header.slot_passes, &bytes);
        place(setup_indices, &header.setup_indices, &bytes);
        place(setups, &header.setups, &bytes);
        place(shader_passes, &header.shader_passes, &bytes);
        place(conditions, &header.conditions, &bytes);
        place(fibre_bindings, &header.fibre_bindings, &bytes);
        place(texture_unit_bindings, &header.texture_unit_bindings, &bytes);
        place(constant_bindings, &header.constant_bindings, &bytes);
        place(fibre_tag_defaults, &header.fibre_tag_defaults, &bytes);
        place(texture_tag_defaults, &header.texture_tag_defaults, &bytes);
        place(constant_tag_defaults, &header.constant_tag_defaults, &bytes);
        place(library_textures, &header.library_textures, &bytes);
        place(library_constants, &header.library_constants, &bytes);
        if (patch_header) {
            patch_header(&header, static_cast<uint32_t>(bytes.size()));
        }
        std::memcpy(bytes.data(), &header, sizeof header);
        if (patch_bytes) {
            patch_bytes(&bytes);
        }
        return bytes;
    }

    ShaderLibraryHeader header{};
    Bytes data;
    GlslShaderRecord glsl_vertex{};
    GlslShaderRecord glsl_pixel{};
    ArbProgramRecord arb{};
    uint32_t glsl_vertex_offset = 0;
    uint32_t glsl_pixel_offset = 0;
    uint32_t arb_offset = 0;
    uint32_t target_setup_offset = 0;
    uint32_t fallback_offset = 0;
    uint32_t tag_list_offset = 0;
    std::vector<ShaderEntry> entries;
    std::vector<ShaderVariant> variants;
    std::vector<uint32_t> pass_indices;
    std::vector<ShaderSlotPass> slot_passes;
    std::vector<uint32_t> setup_indices;
    std::vector<ShaderSetup> setups;
    std::vector<ShaderPass> shader_passes;
    std::vector<ShaderCondition> conditions;
    std::vector<FibreBinding> fibre_bindings;
    std::vector<TextureUnitBinding> texture_unit_bindings;
    std::vector<ConstantBinding> constant_bindings;
    std::vector<uint32_t> fibre_tag_defaults;
    std::vector<uint32_t> texture_tag_defaults;
    std::vector<uint32_t> constant_tag_defaults;
    std::vector<uint32_t> library_textures;
    std::vector<LibraryConstant> library_constants;
    std::function<void(ShaderLibraryHeader*, uint32_t)> patch_header;
    std::function<void(Bytes*)> patch_bytes;
};

ShaderLibraryFault check(const Bytes& bytes) {
    // An exactly sized copy, so the sanitizer sees any read past the end.
    std::vector<uint8_t> copy(bytes);
    ShaderLibraryFault fault;
    fault.kind = Kind::bad_version;
    const Kind kind = check_shader_library(copy.data(), static_cast<uint32_t>(copy.size()), &fault);
    EXPECT_EQ(kind, fault.kind);
    return fault;
}

void set_word(Bytes* bytes, size_t offset, uint32_t value) {
    std::memcpy(bytes->data() + offset, &value, sizeof value);
}

TEST(ShaderLibraryFormat, ASmallLibraryIsAccepted) {
    TestLibrary library;
    const ShaderLibraryFault fault = check(library.lay_out());
    char text[128];
    describe_shader_library_fault(fault, text, sizeof text);
    EXPECT_EQ(fault.kind, Kind::ok) << text;
}

TEST(ShaderLibraryFormat, AGlslRecordSharedByTwoPassesKeepsItsKey) {
    TestLibrary library;
    library.shader_passes.push_back(library.shader_passes[0]);
    EXPECT_EQ(check(library.lay_out()).kind, Kind::ok);
}

struct Corruption {
    const char* name;
    std::function<void(TestLibrary&)> change;
    Kind kind;
    Table table;
    uint32_t index;
};

TEST(ShaderLibraryFormat, EachCorruptionIsRefusedWithItsFault) {
    const Corruption corruptions[] = {
        {"version 2", [](TestLibrary& l) { l.header.version = 2; }, Kind::bad_version, Table::header, 0},
        {"shorter than the header", [](TestLibrary& l) { l.patch_bytes = [](Bytes* b) { b->resize(100); }; },
         Kind::short_header, Table::header, 0},
        {"table count past the end",
         [](TestLibrary& l) {
             l.patch_header = [](ShaderLibraryHeader* h, uint32_t) { h->library_constants.count += 1; };
         },
         Kind::table_outside, Table::library_constants, 0},
        {"table offset that wraps in 32 bits",
         [](TestLibrary& l) {
             l.patch_header = [](ShaderLibraryHeader* h, uint32_t) {
                 h->variants.offset = 0xFFFFFFF0;
                 h->variants.count = 0x10000000;
             };
         },
         Kind::table_outside, Table::variants, 0},
        {"global conditions past the table", [](TestLibrary& l) { l.header.global_condition_count = 3; },
         Kind::index_out_of_range, Table::header, 0},
        {"entry condition counts past the table", [](TestLibrary& l) { l.entries[1].common_condition_count = 3; },
         Kind::index_out_of_range, Table::entries, 1},
        {"entry condition counts that wrap",
         [](TestLibrary& l) {
             l.entries[1].runtime_condition_count = 0xFFFFFFFF;
             l.entries[1].common_condition_count = 2;
         },
         Kind::index_out_of_range, Table::entries, 1},
        {"variant range past the table", [](TestLibrary& l) { l.entries[1].variant_count = 2; },
         Kind::index_out_of_range, Table::entries, 1},
        {"tag defaults past the table", [](TestLibrary& l) { l.entries[1].first_constant_tag_default = 1; },
         Kind::index_out_of_range, Table::entries, 1},
        {"fallback list outside", [](TestLibrary& l) { l.entries[1].fallback_list_offset = 0xFFFFFFFE; },
         Kind::offset_outside, Table::entries, 1},
        {"fallback list naming an entry past the table",
         [](TestLibrary& l) { set_word(&l.data, l.fallback_offset - 160, 2); }, Kind::bad_fallback_entry,
         Table::entries, 1},
        {"unterminated fallback list",
         [](TestLibrary& l) {
             l.patch_bytes = [](Bytes* b) {
                 // The list runs into the last word, an entry index, and then off the end.
                 set_word(b, b->size() - 4, 1);
                 uint32_t entries_offset;
                 std::memcpy(&entries_offset, b->data() + 16, 4);
                 set_word(b, entries_offset + sizeof(ShaderEntry) + 12, static_cast<uint32_t>(b->size() - 8));
                 set_word(b, b->size() - 8, 1);
             };
         },
         Kind::unterminated_list, Table::entries, 1},
        {"pass index base past the table", [](TestLibrary& l) { l.variants[1].pass_index_base = 2; },
         Kind::index_out_of_range, Table::variants, 1},
        {"pass index naming no slot pass", [](TestLibrary& l) { l.pass_indices[5] = 2; }, Kind::index_out_of_range,
         Table::pass_indices, 5},
        {"tag byte list outside", [](TestLibrary& l) { l.variants[1].constant_tag_list_length = 0xFFFFFFFF; },
         Kind::offset_outside, Table::variants, 1},
        {"setup range past the table", [](TestLibrary& l) { l.slot_passes[1].setup_count = 3; },
         Kind::index_out_of_range, Table::slot_passes, 1},
        {"setup index naming no setup", [](TestLibrary& l) { l.setup_indices[2] = 2; }, Kind::index_out_of_range,
         Table::setup_indices, 2},
        {"shader pass range past the table", [](TestLibrary& l) { l.setups[1].first_shader_pass = 2; },
         Kind::index_out_of_range, Table::setups, 1},
        {"binding range past the table", [](TestLibrary& l) { l.shader_passes[1].fibre_binding_count = 2; },
         Kind::index_out_of_range, Table::shader_passes, 1},
        {"constant bindings past the table", [](TestLibrary& l) { l.shader_passes[0].first_constant_binding = 2; },
         Kind::index_out_of_range, Table::shader_passes, 0},
        {"program record outside", [](TestLibrary& l) { l.shader_passes[0].pixel_record = 0xFFFFFFF0; },
         Kind::offset_outside, Table::shader_passes, 0},
        {"source text list outside", [](TestLibrary& l) { l.glsl_vertex.source_count = 0x40000000; },
         Kind::offset_outside, Table::shader_passes, 0},
        {"source text outside",
         [](TestLibrary& l) { set_word(&l.data, l.glsl_vertex.source_list_offset - 160, 1u << 30); },
         Kind::offset_outside, Table::shader_passes, 0},
        {"unterminated name",
         [](TestLibrary& l) {
             l.patch_bytes = [&l](Bytes* b) {
                 std::memcpy(b->data() + b->size() - 4, "abcd", 4);
                 set_word(b, l.glsl_vertex.uniform_name_list_offset, static_cast<uint32_t>(b->size() - 4));
             };
         },
         Kind::unterminated_text, Table::shader_passes, 0},
        {"cache key 4001", [](TestLibrary& l) { l.glsl_pixel.cache_key = 4001; }, Kind::bad_cache_key,
         Table::shader_passes, 0},
        {"one cache key on a vertex and a pixel record", [](TestLibrary& l) { l.glsl_pixel.cache_key = 1; },
         Kind::duplicate_cache_key, Table::shader_passes, 0},
        {"program index 30000", [](TestLibrary& l) { l.shader_passes[1].program_index = 30000; },
         Kind::bad_program_index, Table::shader_passes, 1},
        {"ARB program number 2000", [](TestLibrary& l) { l.arb.program_number = 2000; }, Kind::bad_arb_program_number,
         Table::shader_passes, 1},
        {"ARB program text outside", [](TestLibrary& l) { l.arb.text_length = 0xFFFFFFF0; }, Kind::offset_outside,
         Table::shader_passes, 1},
        {"unknown condition type 15", [](TestLibrary& l) { l.conditions[2].type_word = 15; },
         Kind::unknown_condition_type, Table::conditions, 2},
        {"unknown condition type 33 with negation",
         [](TestLibrary& l) { l.conditions[0].type_word = 33 | condition_negate; }, Kind::unknown_condition_type,
         Table::conditions, 0},
        {"unknown vertex setup kind 2", [](TestLibrary& l) { l.shader_passes[0].setup_kinds = 0x32; },
         Kind::unknown_setup_kind, Table::shader_passes, 0},
        {"predefined pixel setup 5", [](TestLibrary& l) { l.shader_passes[1].pixel_record = 5; },
         Kind::bad_predefined_setup, Table::shader_passes, 1},
    };
    for (const Corruption& corruption : corruptions) {
        SCOPED_TRACE(corruption.name);
        TestLibrary library;
        corruption.change(library);
        const ShaderLibraryFault fault = check(library.lay_out());
        EXPECT_EQ(fault.kind, corruption.kind);
        EXPECT_EQ(fault.table, corruption.table);
        EXPECT_EQ(fault.index, corruption.index);
    }
}

TEST(ShaderLibraryFormat, ATargetSetupPastTheEndIsRefused) {
    TestLibrary library;
    library.patch_bytes = [](Bytes* bytes) {
        uint32_t passes_offset;
        std::memcpy(&passes_offset, bytes->data() + offsetof(ShaderLibraryHeader, shader_passes), 4);
        set_word(bytes, passes_offset + sizeof(ShaderPass) + offsetof(ShaderPass, target_setup_offset),
                 static_cast<uint32_t>(bytes->size() - 4));
    };
    const ShaderLibraryFault fault = check(library.lay_out());
    EXPECT_EQ(fault.kind, Kind::offset_outside);
    EXPECT_EQ(fault.table, Table::shader_passes);
    EXPECT_EQ(fault.index, 1u);
    EXPECT_STREQ(fault.field, "target setup");
}

TEST(ShaderLibraryFormat, TheDescriptionNamesTableIndexAndField) {
    TestLibrary library;
    library.shader_passes[1].program_index = 30000;
    char text[160];
    describe_shader_library_fault(check(library.lay_out()), text, sizeof text);
    EXPECT_STREQ(text, "shader pass 1, program index: the program index is not below 30000");
    library = TestLibrary();
    library.header.version = 4;
    describe_shader_library_fault(check(library.lay_out()), text, sizeof text);
    EXPECT_STREQ(text, "header, version: invalid version of shader library resource");
}

}  // namespace
}  // namespace zolt::renderer::shader_library
