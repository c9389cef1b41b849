#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "libs/io/pack_format.h"
#include "libs/io/resource_unpacker.h"
#include "libs/io/temporary_folder.h"
#include "support/child_process.h"
#include "zcontent/lib/content_manifest.h"
#include "zcontent/lib/content_pack.h"
#include "zcontent/lib/png_writer.h"
#include "zcontent/lib/texture_builder.h"
#include "zcontent/lib/zcontent_command.h"
#include "zolt/renderer/texture/texture_resource_format.h"
#include "zpack/lib/pack_writer.h"
#include "zpack/lib/zpack_command.h"

namespace zolt::tools {
namespace {

using renderer::TexelFormat;
using renderer::TextureLayout;
using renderer::TextureResourceFault;
using Bytes = std::vector<uint8_t>;

// An RGBA picture of one colour, or of a colour per texel from a function.
void write_png(const test::TemporaryFolder& folder, const std::string& name, uint32_t width, uint32_t height,
               const std::function<std::array<uint8_t, 4>(uint32_t, uint32_t)>& colour) {
    PngPicture picture;
    picture.width = width;
    picture.height = height;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            for (uint8_t value : colour(x, y)) {
                picture.samples.push_back(value);
            }
        }
    }
    Bytes bytes;
    std::string error;
    ASSERT_TRUE(encode_png(picture, &bytes, &error)) << error;
    ASSERT_TRUE(write_file(folder.get_path(name), bytes.data(), bytes.size(), &error)) << error;
}

void write_solid_png(const test::TemporaryFolder& folder, const std::string& name, uint32_t width, uint32_t height,
                     std::array<uint8_t, 4> colour) {
    write_png(folder, name, width, height, [&](uint32_t, uint32_t) { return colour; });
}

// A pattern that differs in every channel from texel to texel.
std::array<uint8_t, 4> pattern(uint32_t x, uint32_t y) {
    return {static_cast<uint8_t>(x * 37 + y * 11), static_cast<uint8_t>(200 - x * 5), static_cast<uint8_t>(y * 29),
            255};
}

test::ChildResult run_tool(int (*tool)(int, char**), const char* name, const std::vector<std::string>& arguments) {
    return test::run_in_child([&] {
        std::vector<char*> argv = {const_cast<char*>(name)};
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        const int exit_code = tool(static_cast<int>(argv.size()), argv.data());
        std::fflush(nullptr);
        // No exit handlers: the leak check would scan the engine's pools.
        std::_Exit(exit_code);
    });
}

// The resources of a pack by id, unpacked as the loader unpacks them, with
// their directory entries.
struct PackContents {
    std::map<uint32_t, Bytes> resources;
    std::map<uint32_t, core::ResourceEntry> entries;
};

PackContents read_pack(const std::string& path) {
    PackContents contents;
    Bytes pack;
    std::string error;
    EXPECT_TRUE(read_file(path, &pack, &error)) << error;
    EXPECT_EQ(io::verify_pack(pack.data(), pack.size()).check, io::PackCheck::intact);
    const io::PackDataBlock data_block = io::read_pack_data_block(pack.data() + io::pack_data_block_offset);
    for (uint32_t index = 0; index < data_block.entry_count; ++index) {
        const core::ResourceEntry entry =
            io::read_resource_entry(pack.data() + data_block.directory_offset + index * io::resource_entry_size);
        Bytes block(entry.unpacked_size);
        std::memcpy(block.data() + (entry.unpacked_size - entry.stored_size), pack.data() + entry.offset,
                    entry.stored_size);
        if (entry.stored_size != entry.unpacked_size) {
            EXPECT_TRUE(unpack_resource_in_place(block.data(), entry.unpacked_size, entry.stored_size).is_intact);
        }
        contents.resources[entry.id] = block;
        contents.entries[entry.id] = entry;
    }
    return contents;
}

// Checks a texture's resources as the engine does and answers its layout.
TextureLayout check_texture(const PackContents& contents, uint32_t id) {
    TextureLayout layout{};
    const auto header = contents.resources.find(id);
    const auto resident = contents.resources.find(id | 1);
    EXPECT_NE(header, contents.resources.end());
    EXPECT_NE(resident, contents.resources.end());
    if (header == contents.resources.end() || resident == contents.resources.end()) {
        return layout;
    }
    EXPECT_EQ(
        renderer::check_texture_header(header->second.data(), static_cast<uint32_t>(header->second.size()), &layout),
        TextureResourceFault::ok);
    EXPECT_EQ(renderer::check_resident_size(layout, static_cast<uint32_t>(resident->second.size())),
              TextureResourceFault::ok);
    const auto streamed = contents.resources.find(id | 2);
    EXPECT_EQ(streamed == contents.resources.end() ? 0u : streamed->second.size(), layout.streamed_size);
    if (streamed != contents.resources.end()) {
        // Read at an offset on demand: stored as it is, loaded only while open.
        const core::ResourceEntry& entry = contents.entries.at(id | 2);
        EXPECT_EQ(entry.stored_size, entry.unpacked_size);
        EXPECT_EQ(io::get_pool_type(entry.flags), io::pool_type_deferred);
    }
    return layout;
}

bool parse(const std::string& text, ContentManifest* manifest, std::string* error) {
    return parse_content_manifest(text, "/content/textures.json", manifest, error);
}

TEST(ZcontentManifest, ReadsEveryKeyWithItsDefaultsAndSourcesBesideTheManifest) {
    ContentManifest manifest;
    std::string error;
    ASSERT_TRUE(parse(R"({
        "pack": {"file": "textures.pack", "key": "0x1F"},
        "textures": [
            {"id": "0x20000010", "source": "a/stone.png", "format": "dxt5"},
            {"id": 536870944, "source": ["px.png", "nx.png", "py.png", "ny.png", "pz.png", "nz.png"],
             "target": "cube", "format": "la16", "filter": "nearest", "wrap": "clamp", "flip_second_axis": true,
             "lightmap": true, "mipmaps": 3, "streamed": 2, "colour": false}
        ]})",
                      &manifest, &error))
        << error;
    EXPECT_EQ(manifest.pack_file, "textures.pack");
    EXPECT_EQ(manifest.pack_key, 0x1Fu);
    ASSERT_EQ(manifest.textures.size(), 2u);
    const TextureEntry& plain = manifest.textures[0];
    EXPECT_EQ(plain.id, 0x20000010u);
    EXPECT_EQ(plain.name, "texture 0x20000010");
    EXPECT_EQ(plain.source_paths, std::vector<std::string>{"/content/a/stone.png"});
    EXPECT_EQ(plain.texel_format, TexelFormat::dxt5);
    EXPECT_EQ(plain.target, renderer::TextureTarget::texture_2d);
    EXPECT_EQ(plain.filter, renderer::TextureFilter::trilinear);
    EXPECT_TRUE(plain.is_wrap_repeat);
    EXPECT_FALSE(plain.is_second_axis_flipped);
    EXPECT_FALSE(plain.is_lightmap);
    EXPECT_EQ(plain.level_count, 0u);
    EXPECT_EQ(plain.streamed_segment_count, 0u);
    EXPECT_TRUE(plain.is_colour);
    const TextureEntry& cube = manifest.textures[1];
    EXPECT_EQ(cube.id, 0x20000020u);
    EXPECT_EQ(cube.source_paths.size(), 6u);
    EXPECT_EQ(cube.source_paths[5], "/content/nz.png");
    EXPECT_EQ(cube.target, renderer::TextureTarget::cube_map);
    EXPECT_EQ(cube.texel_format, TexelFormat::luminance16_alpha16);
    EXPECT_EQ(cube.filter, renderer::TextureFilter::nearest);
    EXPECT_FALSE(cube.is_wrap_repeat);
    EXPECT_TRUE(cube.is_second_axis_flipped);
    EXPECT_TRUE(cube.is_lightmap);
    EXPECT_EQ(cube.level_count, 3u);
    EXPECT_EQ(cube.streamed_segment_count, 2u);
    EXPECT_FALSE(cube.is_colour);

    ASSERT_TRUE(parse(R"({"pack": {"file": "empty.pack"}})", &manifest, &error)) << error;
    EXPECT_EQ(manifest.pack_key, 0u);
    EXPECT_TRUE(manifest.textures.empty());

    const char* names[] = {"rgba8", "rgb8", "rgba16",  "rgb16", "la16", "la8",
                           "l16",   "l8",   "rgba16f", "dxt1",  "dxt3", "dxt5"};
    for (const char* name : names) {
        ASSERT_TRUE(parse(std::string(R"({"pack": {"file": "p"}, "textures": [{"id": "0x20000000", "source": "a",
                                                                          "format": ")") +
                              name + "\"}]}",
                          &manifest, &error))
            << error;
        EXPECT_STREQ(get_texel_format_name(manifest.textures[0].texel_format), name);
    }
}

TEST(ZcontentManifest, DeeplyNestedValuesAreRefusedWithoutRecursion) {
    const std::string nested = std::string(200000, '[') + std::string(200000, ']');
    ContentManifest manifest;
    std::string error;
    EXPECT_FALSE(parse(R"({"pack": {"file": "p"}, "textures": [{"id": "0x20000010", "source": "a", "format": "l8",
                          "colour": )" +
                           nested + "}]}",
                       &manifest, &error));
    EXPECT_NE(error.find("\"colour\": expected true or false, not an array"), std::string::npos) << error;
}

// One manifest row per fault: the message names the manifest, the resource
// and the key, and the command writes no pack.
TEST(ZcontentManifest, EveryFaultIsNamedAndNoPackIsWritten) {
    const test::TemporaryFolder folder;
    write_solid_png(folder, "good.png", 16, 16, {10, 20, 30, 255});
    write_solid_png(folder, "clear.png", 16, 16, {10, 20, 30, 0});
    write_solid_png(folder, "wide.png", 16, 8, {10, 20, 30, 255});
    write_solid_png(folder, "one.png", 1, 1, {10, 20, 30, 255});
    const std::string text = "not a PNG";
    std::string error;
    ASSERT_TRUE(write_file(folder.get_path("broken.png"), text.data(), text.size(), &error));

    const std::string pack = R"("pack": {"file": "out.pack"})";
    const auto texture = [&](const std::string& keys) {
        return "{" + pack + R"(, "textures": [{"id": "0x20000010", "source": "good.png", "format": "rgba8")" + keys +
               "}]}";
    };
    const std::string six_good = R"(["good.png", "good.png", "good.png", "good.png", "good.png", "good.png"])";
    struct Case {
        std::string manifest;
        std::vector<std::string> parts;  // each must appear in the message
    };
    const Case cases[] = {
        {"{\"pack\": ", {"manifest.json: ", "syntax error"}},
        {"[1, 2]", {"manifest.json: manifest: expected an object"}},
        {"{}", {"manifest: \"pack\": missing"}},
        {"{" + pack + R"(, "models": []})", {"manifest: \"models\": unknown key"}},
        {R"({"pack": {"file": "a.pack"}, "pack": {"file": "b.pack"}})", {"\"pack\" appears twice"}},
        {R"({"pack": {"file": ""}})", {"pack: \"file\": expected a file name"}},
        {R"({"pack": {"file": "a.pack", "key": 1.5}})", {"pack: \"key\": expected a number"}},
        {R"({"pack": {"file": "a.pack", "key": "0x100000000"}})", {"pack: \"key\""}},
        {R"({"pack": {"file": "a.pack", "name": "x"}})", {"pack: \"name\": unknown key"}},
        {"{" + pack + R"(, "textures": {}})", {"manifest: \"textures\": expected an array"}},
        {"{" + pack + R"(, "textures": [3]})", {"textures[0]: expected an object"}},
        {"{" + pack + R"(, "textures": [{"source": "good.png", "format": "rgba8"}]})",
         {"textures[0]: \"id\": missing"}},
        {"{" + pack + R"(, "textures": [{"id": "0x30000000", "source": "good.png", "format": "rgba8"}]})",
         {"textures[0]: \"id\": expected a texture id"}},
        {"{" + pack + R"(, "textures": [{"id": "0x20000011", "source": "good.png", "format": "rgba8"}]})",
         {"textures[0]: \"id\""}},
        {"{" + pack + R"(, "textures": [{"id": "20000010", "source": "good.png", "format": "rgba8"}]})",
         {"textures[0]: \"id\""}},
        {"{" + pack + R"(, "textures": [{"id": "0x2000001G", "source": "good.png", "format": "rgba8"}]})",
         {"textures[0]: \"id\""}},
        {"{" + pack +
             R"(, "textures": [{"id": "0x20000010", "source": "good.png", "format": "rgba8"},
                               {"id": 536870928, "source": "good.png", "format": "rgba8"}]})",
         {"texture 0x20000010: \"id\": the id is given to two textures"}},
        {texture(R"(, "formats": "rgba8")"), {"texture 0x20000010: \"formats\": unknown key"}},
        {"{" + pack + R"(, "textures": [{"id": "0x20000010", "source": "good.png"}]})",
         {"texture 0x20000010: \"format\": missing"}},
        {"{" + pack + R"(, "textures": [{"id": "0x20000010", "format": "rgba8"}]})",
         {"texture 0x20000010: \"source\": missing"}},
        {"{" + pack + R"(, "textures": [{"id": "0x20000010", "source": "good.png", "format": "rgb9"}]})",
         {"texture 0x20000010: \"format\": unknown texel format \"rgb9\"", "dxt5"}},
        {"{" + pack + R"(, "textures": [{"id": "0x20000010", "source": "good.png", "format": 16}]})",
         {"texture 0x20000010: \"format\": expected a name"}},
        {texture(R"(, "target": "3d")"), {"texture 0x20000010: \"target\": expected 2d or cube"}},
        {texture(R"(, "target": "cube")"), {"texture 0x20000010: \"source\": a cube map takes six"}},
        {"{" + pack + R"(, "textures": [{"id": "0x20000010", "source": )" + six_good + R"(, "format": "rgba8"}]})",
         {"texture 0x20000010: \"source\": expected one PNG file name"}},
        {"{" + pack + R"(, "textures": [{"id": "0x20000010", "source": ["good.png", 1, "good.png", "good.png",
                                         "good.png", "good.png"], "format": "rgba8", "target": "cube"}]})",
         {"texture 0x20000010: \"source\": expected a PNG file name"}},
        {texture(R"(, "filter": "linear")"), {"texture 0x20000010: \"filter\": expected nearest"}},
        {texture(R"(, "wrap": "mirror")"), {"texture 0x20000010: \"wrap\": expected repeat or clamp"}},
        {texture(R"(, "flip_second_axis": 1)"), {"texture 0x20000010: \"flip_second_axis\": expected true or false"}},
        {texture(R"(, "lightmap": "yes")"), {"texture 0x20000010: \"lightmap\": expected true or false"}},
        {texture(R"(, "colour": null)"), {"texture 0x20000010: \"colour\": expected true or false"}},
        {texture(R"(, "mipmaps": 0)"), {"texture 0x20000010: \"mipmaps\": expected \"full\" or a level count"}},
        {texture(R"(, "mipmaps": 16)"), {"texture 0x20000010: \"mipmaps\""}},
        {texture(R"(, "mipmaps": "all")"), {"texture 0x20000010: \"mipmaps\""}},
        {texture(R"(, "streamed": 3)"), {"texture 0x20000010: \"streamed\": expected 0, 1 or 2"}},
        {texture(R"(, "streamed": -1)"), {"texture 0x20000010: \"streamed\""}},
        {texture(R"(, "mipmaps": 2, "streamed": 2)"), {"texture 0x20000010: \"streamed\": 2 streamed segments"}},
        // Faults found while building.
        {texture(R"(, "mipmaps": 6)"), {"texture 0x20000010: \"mipmaps\": 6 levels, but a 16 x 16 image has 5"}},
        {"{" + pack + R"(, "textures": [{"id": "0x20000010", "source": "one.png", "format": "l8", "streamed": 1}]})",
         {"texture 0x20000010: \"streamed\": 1 streamed segments leave none of the 1"}},
        {"{" + pack + R"(, "textures": [{"id": "0x20000010", "source": "clear.png", "format": "dxt1"}]})",
         {"texture 0x20000010: \"format\": dxt1 keeps no alpha", "clear.png"}},
        {"{" + pack + R"(, "textures": [{"id": "0x20000010", "source": ["good.png", "good.png", "good.png",
                                         "wide.png", "good.png", "good.png"], "format": "rgba8", "target": "cube"}]})",
         {"texture 0x20000010: \"source\": the faces of a cube map must be squares", "wide.png 16 x 8"}},
        {"{" + pack + R"(, "textures": [{"id": "0x20000010", "source": "broken.png", "format": "rgba8"}]})",
         {"texture 0x20000010: " + folder.get_path("broken.png") + ": not a PNG file"}},
        {"{" + pack + R"(, "textures": [{"id": "0x20000010", "source": "missing.png", "format": "rgba8"}]})",
         {"texture 0x20000010: unable to open " + folder.get_path("missing.png")}},
        // A broken image after good ones still writes nothing.
        {"{" + pack +
             R"(, "textures": [{"id": "0x20000010", "source": "good.png", "format": "rgba8"},
                               {"id": "0x20000020", "source": "broken.png", "format": "rgba8"}]})",
         {"texture 0x20000020: " + folder.get_path("broken.png")}},
    };
    const std::string manifest_path = folder.get_path("manifest.json");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.manifest);
        ASSERT_TRUE(write_file(manifest_path, c.manifest.data(), c.manifest.size(), &error));
        const test::ChildResult result = run_tool(run_zcontent, "zcontent", {"build", manifest_path});
        EXPECT_EQ(result.exit_code, 1);
        EXPECT_EQ(result.standard_error.rfind("zcontent: " + manifest_path + ": ", 0), 0u) << result.standard_error;
        for (const std::string& part : c.parts) {
            EXPECT_NE(result.standard_error.find(part), std::string::npos) << result.standard_error;
        }
        EXPECT_FALSE(std::filesystem::exists(folder.get_path("out.pack")));
        EXPECT_FALSE(std::filesystem::exists(folder.get_path("out.pack.partial")));
    }

    const test::ChildResult usage = run_tool(run_zcontent, "zcontent", {"build"});
    EXPECT_EQ(usage.exit_code, 2);
    EXPECT_NE(usage.standard_error.find("usage: zcontent"), std::string::npos);
    const test::ChildResult help = run_tool(run_zcontent, "zcontent", {"--help"});
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_NE(help.standard_output.find("rgba16f"), std::string::npos);
}

TEST(ZcontentLayout, CubeFacesFollowSourceOrderInEveryLevelAndTheTopLevelIsStreamed) {
    const test::TemporaryFolder folder;
    const char* faces[] = {"px.png", "nx.png", "py.png", "ny.png", "pz.png", "nz.png"};
    for (uint8_t face = 0; face < 6; ++face) {
        write_solid_png(folder, faces[face], 4, 4, {static_cast<uint8_t>(face * 40), 7, 200, 255});
    }
    ContentManifest manifest;
    std::string error;
    ASSERT_TRUE(parse_content_manifest(R"({"pack": {"file": "cube.pack"}, "textures": [{"id": "0x20000100",
        "target": "cube", "format": "rgba8", "streamed": 1, "wrap": "clamp", "flip_second_axis": true,
        "filter": "bilinear", "lightmap": true,
        "source": ["px.png", "nx.png", "py.png", "ny.png", "pz.png", "nz.png"]}]})",
                                       folder.get_path("manifest.json"), &manifest, &error))
        << error;
    PackDescription description;
    ASSERT_TRUE(build_content_pack(manifest, &description, &error)) << error;
    const std::string pack_path = folder.get_path("cube.pack");
    ASSERT_TRUE(write_content_pack(description, pack_path, &error)) << error;
    const PackContents contents = read_pack(pack_path);
    const TextureLayout layout = check_texture(contents, 0x20000100);
    EXPECT_EQ(layout.target, renderer::TextureTarget::cube_map);
    EXPECT_EQ(layout.face_count, 6u);
    EXPECT_EQ(layout.level_count, 3u);
    EXPECT_EQ(layout.streamed_segment_count, 1u);
    EXPECT_EQ(layout.header.width, 4u);
    EXPECT_EQ(layout.header.height, 4u);
    EXPECT_EQ(layout.header.depth, 1u);
    EXPECT_EQ(layout.header.first_segment_size, 6u * 4 * 4 * 4);
    EXPECT_EQ(layout.header.second_segment_size, 0u);
    const uint32_t format = layout.header.format;
    EXPECT_EQ(format & 3u, renderer::texture_format_second_axis_flipped);  // clamp, T flipped to repeat
    EXPECT_EQ(renderer::get_texture_filter(format), renderer::TextureFilter::bilinear);
    EXPECT_TRUE(renderer::is_lightmap_format(format));
    EXPECT_EQ(renderer::get_texel_format_bits(format), static_cast<uint32_t>(TexelFormat::rgba8));

    // Level 0 in the streamed resource, levels 1 and 2 resident; within each,
    // faces +X .. -Z, every texel B, G, R, A.
    const auto expect_faces = [](const Bytes& bytes, size_t offset, uint32_t edge) {
        for (uint32_t face = 0; face < 6; ++face) {
            for (uint32_t texel = 0; texel < edge * edge; ++texel) {
                const size_t at = offset + (face * edge * edge + texel) * 4;
                ASSERT_LT(at + 3, bytes.size());
                EXPECT_EQ(Bytes(bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(at) + 4),
                          (Bytes{200, 7, static_cast<uint8_t>(face * 40), 255}))
                    << "face " << face << " texel " << texel;
            }
        }
    };
    expect_faces(contents.resources.at(0x20000102), 0, 4);
    const Bytes& resident = contents.resources.at(0x20000101);
    ASSERT_EQ(resident.size(), 6u * 2 * 2 * 4 + 6u * 4);
    expect_faces(resident, 0, 2);
    expect_faces(resident, 6 * 2 * 2 * 4, 1);
}

TEST(ZcontentLayout, EverySurfaceIsPaddedToFourBytesAndTwoSegmentsSplitTheTopLevels) {
    const test::TemporaryFolder folder;
    write_png(folder, "grey.png", 5, 3, [](uint32_t x, uint32_t y) {
        const auto grey = static_cast<uint8_t>(10 * x + 60 * y + 1);
        return std::array<uint8_t, 4>{grey, grey, grey, 255};
    });
    ContentManifest manifest;
    std::string error;
    ASSERT_TRUE(parse_content_manifest(R"({"pack": {"file": "p.pack"}, "textures": [{"id": "0x20000040",
        "source": "grey.png", "format": "l8", "streamed": 2, "colour": false}]})",
                                       folder.get_path("manifest.json"), &manifest, &error))
        << error;
    TextureResources resources;
    ASSERT_TRUE(build_texture(manifest, manifest.textures[0], &resources, &error)) << error;
    // Levels 5 x 3 (15 bytes), 2 x 1 (2 bytes), 1 x 1 (1 byte), each padded to 4.
    renderer::TextureHeader header;
    ASSERT_EQ(resources.header.size(), sizeof header);
    std::memcpy(&header, resources.header.data(), sizeof header);
    EXPECT_EQ(header.first_segment_size, 16u);
    EXPECT_EQ(header.second_segment_size, 4u);
    ASSERT_EQ(resources.streamed.size(), 20u);
    ASSERT_EQ(resources.resident.size(), 4u);
    const Bytes top(resources.streamed.begin(), resources.streamed.begin() + 16);
    EXPECT_EQ(top, (Bytes{1, 11, 21, 31, 41, 61, 71, 81, 91, 101, 121, 131, 141, 151, 161, 0}));
    // Level 1: the 2 x 2 and 2 x 2 (from 3 rows, weights by the odd rule) averages, then padding.
    EXPECT_EQ(resources.streamed[18], 0);
    EXPECT_EQ(resources.streamed[19], 0);
    EXPECT_EQ(resources.resident[1], 0);
    EXPECT_EQ(resources.resident[2], 0);
    EXPECT_EQ(resources.resident[3], 0);
    TextureLayout layout;
    ASSERT_EQ(renderer::check_texture_header(resources.header.data(), 20, &layout), TextureResourceFault::ok);
    EXPECT_EQ(layout.streamed_segment_count, 2u);
    EXPECT_EQ(layout.streamed_size, 20u);
    EXPECT_EQ(renderer::check_resident_size(layout, 4), TextureResourceFault::ok);
}

TEST(ZcontentLayout, EveryTexelFormatAndShapeGivesResourcesTheEngineAccepts) {
    const test::TemporaryFolder folder;
    write_png(folder, "odd.png", 7, 5, pattern);
    write_png(folder, "face.png", 6, 6, pattern);
    std::string textures;
    uint32_t id = 0x20001000;
    const char* formats[] = {"rgba8", "rgb8", "rgba16",  "rgb16", "la16", "la8",
                             "l16",   "l8",   "rgba16f", "dxt1",  "dxt3", "dxt5"};
    std::vector<uint32_t> ids;
    for (const char* format : formats) {
        for (const char* shape : {R"("source": "odd.png", "streamed": 2)", R"("source": "odd.png", "mipmaps": 1)",
                                  R"("target": "cube", "streamed": 1, "source": ["face.png", "face.png", "face.png",
                                     "face.png", "face.png", "face.png"])"}) {
            char id_text[16];
            std::snprintf(id_text, sizeof id_text, "0x%08X", id);
            textures += std::string(textures.empty() ? "" : ",") + R"({"id": ")" + id_text + R"(", "format": ")" +
                        format + "\", " + shape + "}";
            ids.push_back(id);
            id += 0x10;
        }
    }
    const std::string manifest_text = R"({"pack": {"file": "all.pack", "key": 3}, "textures": [)" + textures + "]}";
    std::string error;
    ASSERT_TRUE(write_file(folder.get_path("all.json"), manifest_text.data(), manifest_text.size(), &error));
    const test::ChildResult result = run_tool(run_zcontent, "zcontent", {"build", folder.get_path("all.json")});
    ASSERT_EQ(result.exit_code, 0) << result.standard_error;

    const PackContents contents = read_pack(folder.get_path("all.pack"));
    EXPECT_EQ(contents.resources.size(), ids.size() * 3 - ids.size() / 3);
    for (uint32_t texture : ids) {
        SCOPED_TRACE(texture);
        const TextureLayout layout = check_texture(contents, texture);
        EXPECT_EQ(layout.level_count, layout.face_count == 6 ? 3u : (layout.streamed_segment_count == 2 ? 3u : 1u));
    }

    // zpack lists and verifies what zcontent writes.
    const test::ChildResult verify = run_tool(run_zpack, "zpack", {"verify", folder.get_path("all.pack")});
    EXPECT_EQ(verify.exit_code, 0) << verify.standard_error;
    EXPECT_NE(verify.standard_output.find(": ok, " + std::to_string(contents.resources.size()) + " resources"),
              std::string::npos)
        << verify.standard_output;
    const test::ChildResult list = run_tool(run_zpack, "zpack", {"list", folder.get_path("all.pack")});
    EXPECT_EQ(list.exit_code, 0) << list.standard_error;
    EXPECT_NE(list.standard_output.find("key 0x00000003"), std::string::npos) << list.standard_output;
    EXPECT_EQ(test::count_occurrences(list.standard_output, "deferred"), ids.size() * 2 / 3) << list.standard_output;
}

TEST(ZcontentLayout, ARebuildReplacesThePackAndAFailedOneLeavesTheOldPackAsItWas) {
    const test::TemporaryFolder folder;
    write_solid_png(folder, "a.png", 8, 8, {1, 2, 3, 255});
    const std::string good = R"({"pack": {"file": "t.pack"}, "textures": [{"id": "0x20000010", "source": "a.png",
                                "format": "rgba8"}]})";
    std::string error;
    ASSERT_TRUE(write_file(folder.get_path("t.json"), good.data(), good.size(), &error));
    ASSERT_EQ(run_tool(run_zcontent, "zcontent", {"build", folder.get_path("t.json")}).exit_code, 0);
    ASSERT_EQ(run_tool(run_zcontent, "zcontent", {"build", folder.get_path("t.json")}).exit_code, 0);
    const std::string before = test::read_file_bytes(folder.get_path("t.pack"));
    EXPECT_FALSE(before.empty());

    const std::string bad = R"({"pack": {"file": "t.pack"}, "textures": [{"id": "0x20000010", "source": "b.png",
                               "format": "rgba8"}]})";
    ASSERT_TRUE(write_file(folder.get_path("t.json"), bad.data(), bad.size(), &error));
    EXPECT_EQ(run_tool(run_zcontent, "zcontent", {"build", folder.get_path("t.json")}).exit_code, 1);
    EXPECT_EQ(test::read_file_bytes(folder.get_path("t.pack")), before);

    // An output folder that does not exist is an error naming the pack.
    ASSERT_TRUE(write_file(folder.get_path("t.json"), good.data(), good.size(), &error));
    const test::ChildResult missing =
        run_tool(run_zcontent, "zcontent", {"build", folder.get_path("t.json"), folder.get_path("none")});
    EXPECT_EQ(missing.exit_code, 1);
    EXPECT_NE(missing.standard_error.find("unable to write " + folder.get_path("none/t.pack")), std::string::npos)
        << missing.standard_error;
}

TEST(SampleContent, TexturePackHoldsTexturesTheEngineAccepts) {
    const PackContents contents = read_pack(std::string(ZOLT_CONTENT_PATH) + "/textures.pack");
    uint32_t compressed = 0;
    uint32_t streamed = 0;
    uint32_t cube_maps = 0;
    uint32_t textures = 0;
    for (const auto& [id, bytes] : contents.resources) {
        if ((id & 3) != 0 || !renderer::is_resource_texture_id(id)) {
            continue;
        }
        SCOPED_TRACE(id);
        ++textures;
        const TextureLayout layout = check_texture(contents, id);
        compressed += layout.texel != nullptr && renderer::is_compressed_texel_format(*layout.texel) ? 1 : 0;
        streamed += layout.streamed_segment_count > 0 ? 1 : 0;
        cube_maps += layout.target == renderer::TextureTarget::cube_map ? 1 : 0;
    }
    EXPECT_GE(textures, 3u);
    EXPECT_GE(compressed, 1u);
    EXPECT_GE(streamed, 1u);
    EXPECT_GE(cube_maps, 1u);
}

}  // namespace
}  // namespace zolt::tools
