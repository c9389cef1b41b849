// Writes the seed corpus of every fuzz target into <out>/<target>/, and the
// dictionaries made from the engine's tables into <out>/dictionaries/, from the
// sample content's sources through the project's own assembler, pack writer,
// packer, content builder, configuration writer and servers.
//     fuzz_seed_writer <out folder> <source.zasm or manifest.json>...
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "launcher/config_record.h"
#include "libs/utility/config_test_table.h"
#include "libs/utility/config_text.h"
#include "libs/utility/crc32.h"
#include "support/fuzz_world.h"
#include "zasm/lib/code_assembler.h"
#include "zcontent/lib/content_manifest.h"
#include "zcontent/lib/image_atlas_builder.h"
#include "zcontent/lib/shader_library_compiler.h"
#include "zolt/core/object_server/alias_server.h"
#include "zolt/core/object_server/server_object.h"
#include "zolt/core/placement/placement_server.h"
#include "zolt/core/script/code_resource_format.h"
#include "zolt/core/script/opcode_table.h"
#include "zolt/core/script_objects/array_server.h"
#include "zolt/core/script_objects/dictionary_server.h"
#include "zolt/core/script_objects/random_generator_server.h"
#include "zolt/core/script_objects/storage_server.h"
#include "zolt/core/script_objects/string_server.h"
#include "zolt/navigation/area_builder.h"
#include "zolt/physics/physx_actor_server.h"
#include "zolt/renderer/animation/animation_format.h"
#include "zolt/renderer/decals/decal_test_support.h"
#include "zolt/renderer/animation/skeleton_format.h"
#include "zolt/renderer/debug_draw/debug_draw_server.h"
#include "zolt/renderer/display/image_atlas_format.h"
#include "zolt/renderer/fake_shadows/fake_shadow_settings.h"
#include "zolt/renderer/texture/texture_resource_format.h"
#include "zolt/renderer/backend/stream.h"
#include "zolt/renderer/mesh/mesh_resource_format.h"
#include "zolt/storage/save_file_layout.h"
#include "zolt/storage/save_header.h"
#include "zolt/sound/resources/sound_bank_format.h"
#include "zolt/sound/resources/wave_bank_format.h"
#include "zpack/lib/lz_packer.h"
#include "zpack/lib/pack_writer.h"

namespace {

using namespace zolt;
using Bytes = std::vector<uint8_t>;

std::filesystem::path out_folder;
bool has_failed = false;

void write_seed(const std::string& target, const std::string& name, const void* data, size_t size) {
    const std::filesystem::path folder = out_folder / target;
    std::filesystem::create_directories(folder);
    std::string error;
    if (!tools::write_file((folder / name).string(), data, size, &error)) {
        std::fprintf(stderr, "fuzz_seed_writer: %s\n", error.c_str());
        has_failed = true;
    }
}

void write_seed(const std::string& target, const std::string& name, const Bytes& bytes) {
    write_seed(target, name, bytes.data(), bytes.size());
}

void write_seed(const std::string& target, const std::string& name, const std::string& text) {
    write_seed(target, name, text.data(), text.size());
}

// The unpacker's input: the output size in two bytes, then the stream.
void write_unpacker_seed(const std::string& name, const Bytes& data) {
    const size_t size = data.size() < 0xFFFF ? data.size() : 0xFFFF;
    if (size == 0) {
        return;
    }
    Bytes seed = {static_cast<uint8_t>(size), static_cast<uint8_t>(size >> 8)};
    const Bytes stream = tools::pack_stream(data.data(), static_cast<uint32_t>(size));
    seed.insert(seed.end(), stream.begin(), stream.end());
    write_seed("resource_unpacker", name, seed);
}

void write_code_seeds(const std::vector<std::string>& sources) {
    tools::PackDescription description;
    std::vector<std::string> names;
    uint32_t number = 0;
    for (const std::string& path : sources) {
        Bytes text_bytes;
        std::string error;
        if (!tools::read_file(path, &text_bytes, &error)) {
            std::fprintf(stderr, "fuzz_seed_writer: %s\n", error.c_str());
            has_failed = true;
            continue;
        }
        const std::string text(text_bytes.begin(), text_bytes.end());
        const std::string stem = std::filesystem::path(path).stem().string();
        write_seed("zasm", stem + ".zasm", text);
        write_unpacker_seed(stem + ".zasm", text_bytes);
        std::vector<tools::AssembledCode> codes;
        if (!tools::assemble_code(text, path, &codes, &error)) {
            std::fprintf(stderr, "fuzz_seed_writer: %s\n", error.c_str());
            has_failed = true;
            continue;
        }
        for (const tools::AssembledCode& code : codes) {
            const std::string name = stem + "_" + std::to_string(number++);
            write_seed("code_resource", name, code.bytes);
            write_unpacker_seed(name, code.bytes);
            const core::CodeResourceHeader header = core::read_code_resource_header(code.bytes.data());
            // Eight bytes of task arguments, then the code.
            Bytes program(8, 0);
            program.insert(program.end(), code.bytes.begin() + header.code_offset, code.bytes.end());
            write_seed("interpreter", name, program);
            description.resources.push_back(tools::make_code_pack_resource(code));
        }
    }
    Bytes pack;
    std::string error;
    if (!tools::build_pack(description, &pack, &error)) {
        std::fprintf(stderr, "fuzz_seed_writer: %s\n", error.c_str());
        has_failed = true;
        return;
    }
    write_seed("pack", "content.pack", pack);
    tools::PackDescription empty;
    empty.key = 3;
    if (tools::build_pack(empty, &pack, &error)) {
        write_seed("pack", "empty.pack", pack);
    }
    std::string list;
    if (tools::format_pack_list({"game.pack", "levels/one.pack", "speech.pack"}, &list, &error)) {
        write_seed("pack", "pack.list", list);
    }
}

// The launcher's default text and a file as the launcher writes it.
void write_launcher_config_seeds() {
    using namespace launcher;
    write_seed("launcher_config", "default.txt", std::string(default_config_text));
    ConfigMachine machine;
    machine.save_folder = "/home/player/Documents/Harlune/Quorvane/Saves";
    machine.is_video_mode_usable = [](uint32_t, uint32_t, bool, uint32_t) { return true; };
    machine.sound_device_ids = {"default", "none"};
    ConfigRecord record;
    parse_config(record, machine,
                 "# comment\nplayer_name = \"Ann Lee\"\nquote = 'say \"hi\"'\nempty = \"\"\nWINDOW_WIDTH=1024\n"
                 "window_height = \"768\" ;\r\nuse_fullscreen = 0\nfullscreen_refresh_rate = 60\n");
    write_seed("launcher_config", "written.txt", write_config_text(record, machine));
}

void write_config_seeds() {
    const auto config = test::TestConfig::make();
    std::string text =
        "flag = yes\ncount=7; offset -5\nscale = 1.5e0 label 'say \"hi\"' any_number=0x1F\n"
        "unknown_key = kept # comment\nmask = 0b101\nratio=\"0.25\"\n";
    parse_config_text(config->table, text.data(), static_cast<uint32_t>(text.size()), true);
    std::vector<char> storage(65536);
    StringBuffer buffer(storage.data(), static_cast<uint32_t>(storage.size()));
    dump_config_variables_to_buffer(config->table, buffer, ConfigDumpFilter::File, true);
    write_seed("config", "written.txt", std::string(buffer.get_text()));
    const char command_line[] =
        "--count\0"
        "9\0"
        "-label=x y\0"
        "flag\0"
        "h";
    write_seed("config", "command_line", command_line, sizeof command_line - 1);
}

void write_world_seeds() {
    fuzz::start_fuzz_world();
    Bytes bytes;
    fuzz::save_fuzz_world(bytes);
    write_seed("world_load", "empty_world", bytes);

    core::Placement* const root = core::placement_server.create_placement();
    core::Placement* const child = core::placement_server.create_placement();
    core::ServerObject::attach_to_owner(child, root);
    core::String* const name = core::string_server.create_string();
    const char16_t units[] = u"seed";
    name->append_utf16(units, 4);
    core::ServerObject::attach_to_owner(name, root);
    core::ArrayObject* const array = core::array_server.create_array(4);
    array->set_length(3);
    core::dictionary_server.create_dictionary(8);
    core::random_generator_server.create_object_internal(7);
    static_cast<physics::PhysXActor*>(physics::physx_actor_server.create_object_internal(0))
        ->record_contact_partner(0x01300001, 1667);
    core::alias_server.set_alias(core::make_alias_handle(3), name->get_handle());
    renderer::debug_draw_server.create_object_internal(0);
    renderer::debug_draw_server.set_mask(1);
    fuzz::save_fuzz_world(bytes);
    write_seed("world_load", "small_world", bytes);
    // A seed the load refuses would leave the fuzzer at the first check.
    Bytes saved = bytes;
    if (!fuzz::load_fuzz_world(saved)) {
        std::fputs("fuzz_seed_writer: the saved world does not load\n", stderr);
        has_failed = true;
    }
    write_unpacker_seed("small_world", bytes);
}

// Save files of a small world as the save manager writes them: the
// reserved area, the storage block and its CRC, the header (no code is
// loaded, so its code CRC is 0), the world and the stream's CRC.
void write_save_file_seeds() {
    // The save file target's world has a storage chain of two blocks after the fuzz world.
    core::storage_server.register_server();
    core::Storage* const storage = core::storage_server.create_block();
    core::Property value;
    value.set_u32(0x10000000, 0x5EED);
    storage->set_property(0x10000080, value);
    Bytes world;
    fuzz::save_fuzz_world(world);
    Bytes file(storage::save_reserved_size + storage::storage_block_size, 0);
    for (uint32_t index = 0; index < 64; ++index) {
        file[storage::save_reserved_size + index] = static_cast<uint8_t>(index * 3);
    }
    auto append_word = [&file](uint32_t word) {
        for (uint32_t shift = 0; shift < 32; shift += 8) {
            file.push_back(static_cast<uint8_t>(word >> shift));
        }
    };
    append_word(compute_crc32(file.data() + storage::save_reserved_size, storage::storage_block_size));
    uint32_t header[storage::save_header_word_count];
    storage::make_save_header(0, 0x00010001, 12345, header);
    for (const uint32_t word : header) {
        append_word(word);
    }
    file.insert(file.end(), world.begin(), world.end());
    append_word(compute_crc32(file.data() + storage::save_stream_offset, file.size() - storage::save_stream_offset));
    write_seed("save_file", "small_world_save", file);
    // The target makes the CRC right when the first byte is odd.
    file[0] = 1;
    write_seed("save_file", "small_world_save_crc_fixed", file);
}

// Profiles of 0, 1 and 250 words, each behind the CRC of its data.
void write_profile_seeds() {
    for (const uint32_t count : {0u, 1u, 250u}) {
        Bytes file(4 + 4 * count);
        for (uint32_t index = 4; index < file.size(); ++index) {
            file[index] = static_cast<uint8_t>(index * 7);
        }
        const uint32_t crc = compute_crc32(file.data() + 4, file.size() - 4);
        std::memcpy(file.data(), &crc, 4);
        write_seed("profile", "profile_" + std::to_string(count) + "_words", file);
    }
}

// zasm's keywords: the opcode names from the one opcode table, then the
// directives and operand forms.
void write_zasm_dictionary() {
    std::string text;
    for (const core::OpcodeInfo& info : core::opcode_table) {
        text += "\"" + std::string(info.name) + "\"\n";
    }
    for (const char* keyword : {".code", ".entry", ".byte", ".word", "language", "id", "code(", "builtin(", ":", ",",
                                ";", "\"", "\\u", "0x", "1.5f"}) {
        std::string escaped;
        for (const char* character = keyword; *character != 0; ++character) {
            escaped +=
                *character == '"' || *character == '\\' ? std::string("\\") + *character : std::string(1, *character);
        }
        text += "\"" + escaped + "\"\n";
    }
    std::filesystem::create_directories(out_folder / "dictionaries");
    std::string error;
    if (!tools::write_file((out_folder / "dictionaries" / "zasm.dict").string(), text.data(), text.size(), &error)) {
        std::fprintf(stderr, "fuzz_seed_writer: %s\n", error.c_str());
        has_failed = true;
    }
}

}  // namespace

// A texture target's input: the resident size, then the header resource, laid
// out by the same code the engine checks with.
void write_texture_seed(const std::string& name, uint32_t format, uint16_t width, uint16_t height,
                        uint32_t streamed_segments) {
    using namespace renderer;
    TextureHeader header{format, width, height, 1, 0, 0, 0};
    TextureLayout layout;
    if (check_texture_header(&header, texture_header_size, &layout) != TextureResourceFault::ok) {
        std::fprintf(stderr, "fuzz_seed_writer: texture seed %s is not a valid texture\n", name.c_str());
        has_failed = true;
        return;
    }
    header.first_segment_size = streamed_segments >= 1 ? layout.level_sizes[0] : 0;
    header.second_segment_size = streamed_segments >= 2 ? layout.level_sizes[1] : 0;
    check_texture_header(&header, texture_header_size, &layout);
    Bytes seed(4 + texture_header_size);
    std::memcpy(seed.data(), &layout.resident_size, 4);
    std::memcpy(seed.data() + 4, &header, texture_header_size);
    write_seed("texture_resource", name, seed);
}

// One triangle of one part with a material, as the mesh resources of the
// content builder lay it out.
void write_mesh_seeds() {
    renderer::MeshBuild build;
    const float positions[] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    const uint16_t indices[] = {0, 1, 2};
    const auto* position_bytes = reinterpret_cast<const uint8_t*>(positions);
    const auto* index_bytes = reinterpret_cast<const uint8_t*>(indices);
    build.streams.push_back({12, Bytes(position_bytes, position_bytes + sizeof positions), 0});
    build.streams.push_back({renderer::stream_format_index | 2, Bytes(index_bytes, index_bytes + sizeof indices), 0});
    renderer::MeshBuildPart part;
    part.sub_parts.push_back({0, 2, 0, {0.5f, 0.5f, 0, 0.8f}});
    build.parts.push_back(part);
    renderer::MeshBuildMaterial material;
    material.shader_index = 13;
    material.tables[1] = {0x20000010};
    build.material_sets.push_back({material});
    renderer::MeshResources resources;
    std::string error;
    if (!renderer::build_mesh_resources(build, &resources, &error)) {
        return;
    }
    Bytes seed(8);
    const uint32_t sizes[] = {static_cast<uint32_t>(resources.mesh.size()),
                              static_cast<uint32_t>(resources.stream_layout.size())};
    std::memcpy(seed.data(), sizes, sizeof sizes);
    seed.insert(seed.end(), resources.mesh.begin(), resources.mesh.end());
    seed.insert(seed.end(), resources.stream_layout.begin(), resources.stream_layout.end());
    seed.insert(seed.end(), resources.vertex_data.begin(), resources.vertex_data.end());
    write_seed("mesh_resource", "triangle", seed);
}

void write_texture_seeds() {
    using namespace renderer;
    write_texture_seed(
        "rgba8_streamed",
        make_texture_format(TexelFormat::rgba8, TextureTarget::texture_2d, 7, TextureFilter::trilinear, 1), 64, 64, 2);
    write_texture_seed("rgb8_odd",
                       make_texture_format(TexelFormat::rgb8, TextureTarget::texture_2d, 3, TextureFilter::bilinear), 5,
                       7, 0);
    write_texture_seed(
        "dxt5_cube",
        make_texture_format(TexelFormat::dxt5, TextureTarget::cube_map, 5, TextureFilter::anisotropic, 0, true), 16, 16,
        1);
}

// A wave bank target's input: the data resource's size, then the header.
void write_wave_bank_seed(const std::string& name, bool is_vorbis, const std::vector<sound::WaveDescription>& waves) {
    Bytes header, data;
    std::string error;
    if (!sound::build_wave_bank(is_vorbis, waves, &header, &data, &error)) {
        std::fprintf(stderr, "fuzz_seed_writer: wave bank seed %s: %s\n", name.c_str(), error.c_str());
        has_failed = true;
        return;
    }
    Bytes seed(4);
    const auto data_size = static_cast<uint32_t>(data.size());
    std::memcpy(seed.data(), &data_size, 4);
    seed.insert(seed.end(), header.begin(), header.end());
    write_seed("wave_bank", name, seed);
}

void write_wave_bank_seeds() {
    sound::WaveDescription tone;
    tone.data.assign(400, 0);
    sound::WaveDescription loop = tone;
    loop.format = sound::wave_format::pcm_8;
    loop.channels = 2;
    loop.loops = true;
    loop.loop_start = 100;
    loop.loop_length = 200;
    sound::WaveDescription outside;
    outside.external_path = "waves/rain.raw";
    outside.external_size = 1000;
    write_wave_bank_seed("pcm", false, {tone, loop, outside});
    sound::WaveDescription vorbis;
    vorbis.format = sound::wave_format::vorbis;
    vorbis.data.assign(300, 0x4F);
    write_wave_bank_seed("vorbis", true, {vorbis, vorbis});
}

void write_sound_bank_seeds() {
    sound::SoundDescription sound;
    sound.sound.curve_point_count = 4;
    sound.sound.curve_levels[0] = 200;
    sound.sound.curve_levels[1] = 90;
    sound.sound.maximum_distance = 20.0f;
    sound.waves = {{1, 0, 2}, {1, 1, 3}};
    sound.sound.playlist_type = 1;
    const std::vector<sound::CueDescription> cues = {
        {12, 1, 4, 0, {{0, 0, 1}, {0, 1, 1}}}, {0, 0, 0, 0, {}}, {1001, 3, 200, 2, {{0, 1, 1}}}};
    Bytes bank;
    std::string error;
    if (!sound::build_sound_bank({1, 2}, cues, {sound, sound}, &bank, &error)) {
        std::fprintf(stderr, "fuzz_seed_writer: sound bank seed: %s\n", error.c_str());
        has_failed = true;
        return;
    }
    write_seed("sound_bank", "two_cues", bank);
}

// The first byte picks the format: even a skeleton, odd an animation.
void write_animation_resource_seeds() {
    std::vector<animation::SkeletonChannelDescription> bones(2);
    bones[0].key = 1;
    bones[1].key = 2;
    bones[1].parent = 0;
    bones[1].rest.position = {0, 1, 0};
    std::vector<animation::SkeletonChannelDescription> factors(1);
    factors[0].key = 3;
    factors[0].kind = 2;
    Bytes skeleton;
    std::string error;
    animation::AnimationDescription walk;
    walk.duration = 1000;
    walk.frame_count = 3;
    walk.channels = {{1, true, {{0, 0, 0}, {0, 0, 1}, {0, 0, 2}}, {{0, 0, 0, 1}}, {}},
                     {2, true, {{0, 1, 0}}, {{0, 0, 0, 1}, {0, 0, 0.5f, 0.866f}, {0, 0, 1, 0}}, {}},
                     {3, false, {}, {}, {0, 0.5f, 1}}};
    walk.events = {{500, 7, {1, 2}}};
    Bytes animation;
    if (!animation::build_skeleton_resource(bones, factors, std::vector<geometry::Matrix4>(2), &skeleton, &error) ||
        !animation::build_animation_resource(walk, &animation, &error)) {
        std::fprintf(stderr, "fuzz_seed_writer: animation resource seed: %s\n", error.c_str());
        has_failed = true;
        return;
    }
    skeleton.insert(skeleton.begin(), 0);
    animation.insert(animation.begin(), 1);
    write_seed("animation_resource", "two_bones", skeleton);
    write_seed("animation_resource", "walk", animation);
}

// A grid of eight triangles, the first three compact.
void write_decal_geometry_seeds() {
    renderer::testing::TriangleList grid;
    grid.add_grid(-1, -1, 1, 2, 0, 3);
    write_seed("decal_geometry", "grid", renderer::testing::write_geometry_resource(grid, 3));
}

// The default block and one with every field changed.
void write_fake_shadow_settings_seeds() {
    renderer::FakeShadowSettings settings;
    uint8_t bytes[renderer::fake_shadow_settings_save_size];
    renderer::encode_fake_shadow_settings(settings, bytes);
    write_seed("fake_shadow_settings", "defaults", bytes, sizeof bytes);
    settings = {9, 128, 0.5f, -2, 0.01f, 0.75f, 40, 5, 3, 2, 4};
    renderer::encode_fake_shadow_settings(settings, bytes);
    write_seed("fake_shadow_settings", "changed", bytes, sizeof bytes);
}

// The glTF files the sample's animation description imports.
void write_gltf_seeds(const std::string& manifest_path) {
    tools::ContentManifest manifest;
    std::string error;
    if (!tools::read_content_manifest(manifest_path, &manifest, &error) ||
        manifest.animation_description_path.empty()) {
        return;
    }
    const std::filesystem::path folder = std::filesystem::path(manifest.animation_description_path).parent_path();
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() == ".gltf") {
            Bytes text;
            if (tools::read_file(entry.path().string(), &text, &error)) {
                write_seed("gltf_import", entry.path().filename().string(), text);
            }
        }
    }
}

// The description file a sample manifest names (the member given), as a seed
// of the target named after the manifest; false when it names none.
bool write_manifest_description_seed(const char* target, const std::string& manifest_path,
                                     std::string tools::ContentManifest::*description_path) {
    tools::ContentManifest manifest;
    std::string error;
    if (!tools::read_content_manifest(manifest_path, &manifest, &error) || (manifest.*description_path).empty()) {
        return false;
    }
    Bytes text;
    if (!tools::read_file(manifest.*description_path, &text, &error)) {
        std::fprintf(stderr, "fuzz_seed_writer: %s\n", error.c_str());
        has_failed = true;
        return false;
    }
    write_seed(target, std::filesystem::path(manifest_path).stem().string(), text);
    return true;
}

// The sample's sound description, with its waves' files left out of reach.
void write_sound_description_seed(const std::string& manifest_path) {
    if (!write_manifest_description_seed("sound_description", manifest_path,
                                         &tools::ContentManifest::sound_description_path)) {
        return;
    }
    const std::string banks_only = R"({"sound_banks": [{"number": 2, "sounds": [], "cues": []}], "wave_banks": []})";
    write_seed("sound_description", "banks_only", banks_only);
}

// The sample level's area description, and a small one with a partition
// of its own.
void write_area_description_seed(const std::string& manifest_path) {
    if (!write_manifest_description_seed("area_description", manifest_path,
                                         &tools::ContentManifest::area_description_path)) {
        return;
    }
    const std::string split = R"({"areas": [{"number": 6, "sectors": [
        {"name": "west", "box": [[0, 0, 0], [5, 5, 5]], "view_companions": ["east", "0x10000"]},
        {"name": "east", "box": [[5, 0, 0], [10, 5, 5]], "overlay": true, "planes": [[-1, -1, 0, -12]]}],
      "portals": [{"sectors": ["west", "east"], "corners": [[5, 1, 0], [5, 1, 2], [5, 3, 2], [5, 3, 0]]}]},
      {"number": 7, "sectors": [{"name": "a", "box": [[0, 0, 0], [1, 1, 1]]}],
       "partition": {"planes": [[1, 0, 0, 0.5]],
                     "roots": [{"sector": "a", "tree": {"plane": 0, "front": {"sector": "a"}, "back": "outside"}}]}}]})";
    write_seed("area_description", "split", split);
}

// The sample content's manifests, as their authors wrote them.
void write_manifest_seed(const std::string& path) {
    Bytes text;
    std::string error;
    if (!tools::read_file(path, &text, &error)) {
        std::fprintf(stderr, "fuzz_seed_writer: %s\n", error.c_str());
        has_failed = true;
        return;
    }
    write_seed("content_manifest", std::filesystem::path(path).filename().string(), text);
}

// The shader library a manifest names, compiled as the content builder does.
void write_shader_library_seed(const std::string& path) {
    tools::ContentManifest manifest;
    std::string error;
    if (!tools::read_content_manifest(path, &manifest, &error)) {
        std::fprintf(stderr, "fuzz_seed_writer: %s\n", error.c_str());
        has_failed = true;
        return;
    }
    if (manifest.shader_library_path.empty()) {
        return;
    }
    Bytes library;
    if (!tools::compile_shader_library_file(manifest.shader_library_path, &library, &error)) {
        std::fprintf(stderr, "fuzz_seed_writer: %s\n", error.c_str());
        has_failed = true;
        return;
    }
    write_seed("shader_library", std::filesystem::path(path).stem().string() + "_library", library);
}

// An area target's input: the layout's size, the layout, the partition.
void write_area_seed(const std::string& name, const servers::AreaDescription& description) {
    Bytes layout, partition;
    std::string error;
    if (!servers::build_area(7, description, &layout, &partition, &error)) {
        std::fprintf(stderr, "fuzz_seed_writer: area seed %s: %s\n", name.c_str(), error.c_str());
        has_failed = true;
        return;
    }
    Bytes seed(4);
    const auto layout_size = static_cast<uint32_t>(layout.size());
    std::memcpy(seed.data(), &layout_size, 4);
    seed.insert(seed.end(), layout.begin(), layout.end());
    seed.insert(seed.end(), partition.begin(), partition.end());
    write_seed("area_data", name, seed);
}

void write_area_seeds() {
    servers::AreaDescription rooms;
    servers::AreaSectorDescription left;
    left.box = {{0, 0, 0}, {10, 10, 4}};
    left.occluders.push_back(servers::make_occluder_box({{2, 2, 0}, {4, 4, 3}}));
    left.view_companions = {servers::make_sector_location(7, 1)};
    servers::AreaSectorDescription right;
    right.box = {{10, 0, 0}, {20, 10, 4}};
    right.flags = servers::sector_flag::overlay;
    right.lightmap_prefetch = {servers::no_sector_location, servers::make_sector_location(7, 0)};
    rooms.sectors = {left, right};
    rooms.portals.push_back({{{10, 4, 0}, {10, 4, 3}, {10, 6, 3}, {10, 6, 0}}});
    rooms.roots = servers::make_box_roots(2);
    write_area_seed("two_rooms", rooms);
    servers::AreaDescription split = rooms;
    split.planes = {{1, 0, 0, 10}};
    split.roots = {{0, {{2, 0}, {0, 2}, {0, 1}}}};
    write_area_seed("split", split);
}

// The image atlas target's input: the page's width and height as two 16-bit
// words, then the atlas.
void write_image_atlas_seed(const std::string& name, uint16_t width, uint16_t height, const Bytes& atlas) {
    Bytes seed(4);
    std::memcpy(seed.data(), &width, 2);
    std::memcpy(seed.data() + 2, &height, 2);
    seed.insert(seed.end(), atlas.begin(), atlas.end());
    write_seed("image_atlas", name, seed);
}

// The atlases a manifest names, built as the content builder does, with
// their pages' sizes.
void write_image_atlas_seeds(const std::string& path) {
    tools::ContentManifest manifest;
    std::string error;
    if (!tools::read_content_manifest(path, &manifest, &error)) {
        std::fprintf(stderr, "fuzz_seed_writer: %s\n", error.c_str());
        has_failed = true;
        return;
    }
    if (manifest.image_atlas_path.empty()) {
        return;
    }
    std::vector<tools::AtlasResources> atlases;
    if (!tools::build_image_atlases_file(manifest.image_atlas_path, &atlases, &error)) {
        std::fprintf(stderr, "fuzz_seed_writer: %s\n", error.c_str());
        has_failed = true;
        return;
    }
    for (const tools::AtlasResources& atlas : atlases) {
        // The page header holds the format word, then the width and height.
        uint16_t sides[2] = {};
        std::memcpy(sides, atlas.page.header.data() + 4, sizeof sides);
        write_image_atlas_seed(
            std::filesystem::path(path).stem().string() + "_atlas_" + std::to_string(atlas.atlas_id >> 16 & 0xFF),
            sides[0], sides[1], atlas.atlas);
    }
}

// A page that is not a power of two wide keeps its rectangles in texels.
void write_texel_atlas_seed() {
    const renderer::ImageAtlasHeader header{0x20000100, 2};
    const renderer::ImageAtlasEntry entries[2] = {{{0, 0}, {3, 4}, {3, 4}, {1, 2}}, {{3, 0}, {3, 4}, {12, 8}, {0, 0}}};
    Bytes atlas(sizeof header + sizeof entries);
    std::memcpy(atlas.data(), &header, sizeof header);
    std::memcpy(atlas.data() + sizeof header, entries, sizeof entries);
    write_image_atlas_seed("texels_6x4", 6, 4, atlas);
}

int main(int argument_count, char** arguments) {
    if (argument_count < 2) {
        std::fputs("usage: fuzz_seed_writer <out folder> <source.zasm or manifest.json>...\n", stderr);
        return 2;
    }
    out_folder = arguments[1];
    std::vector<std::string> code_sources;
    for (int index = 2; index < argument_count; ++index) {
        const std::string path = arguments[index];
        if (std::filesystem::path(path).extension() == ".json") {
            write_manifest_seed(path);
            write_shader_library_seed(path);
            write_sound_description_seed(path);
            write_area_description_seed(path);
            write_gltf_seeds(path);
            write_image_atlas_seeds(path);
        } else {
            code_sources.push_back(path);
        }
    }
    write_code_seeds(code_sources);
    write_config_seeds();
    write_launcher_config_seeds();
    write_world_seeds();
    write_save_file_seeds();
    write_profile_seeds();
    write_zasm_dictionary();
    write_texture_seeds();
    write_mesh_seeds();
    write_wave_bank_seeds();
    write_sound_bank_seeds();
    write_animation_resource_seeds();
    write_decal_geometry_seeds();
    write_fake_shadow_settings_seeds();
    write_area_seeds();
    write_texel_atlas_seed();
    return has_failed ? 1 : 0;
}
