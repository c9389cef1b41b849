// Textures as content makers ship them: PNG files built by the content
// builder into a pack, loaded by the resource server, uploaded by the texture
// server and drawn texel for texel. The expected texels come from the PNG
// decoded by another decoder (stb_image, whose body the PNG reader tests
// compile).
#include <stb/stb_image.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>

#include "zcontent/lib/content_manifest.h"
#include "zcontent/lib/content_pack.h"
#include "zcontent/lib/png_writer.h"
#include "zolt/renderer/texture/texture_test_support.h"

namespace zolt::renderer {
namespace {

using test_support::Pixel;
using test_support::TextureWorld;

constexpr uint32_t edge = 8;

// The channels of one picture, 8 bits each, texel by texel.
using Channels = std::vector<uint8_t>;

struct Picture {
    std::string file;
    tools::PngColourType colour_type;
    Channels rgba;  // what the picture holds, as RGBA
};

// Varied in both directions, so a row or channel out of order shows.
Picture make_colour_picture() {
    Picture picture{"colour.png", tools::PngColourType::rgba, {}};
    for (uint32_t y = 0; y < edge; ++y) {
        for (uint32_t x = 0; x < edge; ++x) {
            picture.rgba.insert(picture.rgba.end(), {static_cast<uint8_t>(30 * x + 3), static_cast<uint8_t>(29 * y + 7),
                                                     static_cast<uint8_t>((x * y * 11 + 5) & 0xFF),
                                                     static_cast<uint8_t>(250 - 9 * (x + y))});
        }
    }
    return picture;
}

Picture make_grey_picture() {
    Picture picture{"grey.png", tools::PngColourType::grey_alpha, {}};
    for (uint32_t y = 0; y < edge; ++y) {
        for (uint32_t x = 0; x < edge; ++x) {
            const auto grey = static_cast<uint8_t>(13 * x + 17 * y + 2);
            picture.rgba.insert(picture.rgba.end(), {grey, grey, grey, static_cast<uint8_t>(255 - 11 * (x + y))});
        }
    }
    return picture;
}

// Colours on one line within every 4 x 4 block, which block compression
// keeps within its quantisation.
Picture make_gradient_picture(bool is_opaque) {
    Picture picture{is_opaque ? "opaque_gradient.png" : "gradient.png", tools::PngColourType::rgba, {}};
    for (uint32_t y = 0; y < edge; ++y) {
        for (uint32_t x = 0; x < edge; ++x) {
            picture.rgba.insert(
                picture.rgba.end(),
                {static_cast<uint8_t>(30 + 25 * x), static_cast<uint8_t>(220 - 20 * x),
                 static_cast<uint8_t>(90 + 5 * x), static_cast<uint8_t>(is_opaque ? 255 : 250 - 17 * x)});
        }
    }
    return picture;
}

struct FormatCase {
    const char* format;  // as the manifest names it
    const Picture* picture;
    // Reads back: as the picture holds it (rgb and alpha), grey replicated.
    bool has_alpha;
    uint32_t tolerance;
};

class ContentTextures : public TextureWorld {
protected:
    // Writes the pictures, builds the manifest's pack with the content
    // builder and opens it with the texture server.
    void build_and_open(const std::vector<const Picture*>& pictures, const std::string& manifest_text) {
        for (const Picture* picture : pictures) {
            write_picture(*picture);
        }
        tools::ContentManifest manifest;
        std::string error;
        const std::string manifest_path = (packs_.get_folder() / "manifest.json").string();
        ASSERT_TRUE(tools::parse_content_manifest(manifest_text, manifest_path, &manifest, &error)) << error;
        tools::PackDescription pack;
        ASSERT_TRUE(tools::build_content_pack(manifest, &pack, &error)) << error;
        add_shader_library(pack);
        packs_.add_pack("content.pack", pack);
        packs_.write_pack_list();
        core::resource_server.register_server();
        register_texture_server();
    }

    void write_picture(const Picture& picture) {
        tools::PngPicture png;
        png.width = png.height = edge;
        png.colour_type = picture.colour_type;
        const bool is_grey = picture.colour_type == tools::PngColourType::grey_alpha;
        for (size_t texel = 0; texel < picture.rgba.size() / 4; ++texel) {
            for (uint32_t channel = 0; channel < 4; ++channel) {
                if (!is_grey || channel == 0 || channel == 3) {
                    png.samples.push_back(picture.rgba[texel * 4 + channel]);
                }
            }
        }
        std::vector<uint8_t> bytes;
        std::string error;
        ASSERT_TRUE(tools::encode_png(png, &bytes, &error)) << error;
        ASSERT_TRUE(
            tools::write_file((packs_.get_folder() / picture.file).string(), bytes.data(), bytes.size(), &error))
            << error;
        decoded_[picture.file] = decode_independently(bytes);
    }

    static Channels decode_independently(const std::vector<uint8_t>& bytes) {
        int width = 0;
        int height = 0;
        int channels = 0;
        stbi_uc* const texels =
            stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height, &channels, 4);
        EXPECT_NE(texels, nullptr) << stbi_failure_reason();
        EXPECT_EQ(width, static_cast<int>(edge));
        EXPECT_EQ(height, static_cast<int>(edge));
        Channels rgba(texels, texels + size_t{edge} * edge * 4);
        stbi_image_free(texels);
        return rgba;
    }

    std::map<std::string, Channels> decoded_;
};

TEST_F(ContentTextures, EveryFormatBuiltFromAPictureDrawsThePicture) {
    const Picture colour = make_colour_picture();
    const Picture grey = make_grey_picture();
    const Picture gradient = make_gradient_picture(false);
    const Picture opaque_gradient = make_gradient_picture(true);
    // Half floats and block compression round; everything else is exact.
    const FormatCase cases[] = {
        {"rgba8", &colour, true, 0},   {"rgb8", &colour, false, 0},
        {"rgba16", &colour, true, 0},  {"rgb16", &colour, false, 0},
        {"rgba16f", &colour, true, 1}, {"la16", &grey, true, 0},
        {"la8", &grey, true, 0},       {"l16", &grey, false, 0},
        {"l8", &grey, false, 0},       {"dxt1", &opaque_gradient, true, 10},
        {"dxt3", &gradient, true, 10}, {"dxt5", &gradient, true, 10},
    };
    std::string manifest = R"({"pack": {"file": "content.pack"}, "textures": [)";
    for (size_t index = 0; index < std::size(cases); ++index) {
        manifest += std::string(index == 0 ? "" : ",") + R"({"id": )" + std::to_string(0x20010000 + 0x10 * index) +
                    R"(, "source": ")" + cases[index].picture->file + R"(", "format": ")" + cases[index].format +
                    R"(", "filter": "nearest", "mipmaps": 1, "colour": false})";
    }
    manifest += "]}";
    build_and_open({&colour, &grey, &gradient, &opaque_gradient}, manifest);

    for (size_t index = 0; index < std::size(cases); ++index) {
        const FormatCase& row = cases[index];
        SCOPED_TRACE(row.format);
        TextureObject* const texture = texture_server.create_texture(0x20010000 + 0x10 * static_cast<uint32_t>(index));
        texture_server.initialize_pending_textures(true);
        ASSERT_EQ(texture->get_upload_state(), TextureUploadState::complete);
        opengl::gl.glClearColor(0, 0, 0, 0);
        opengl::gl.glClear(GL_COLOR_BUFFER_BIT);
        draw_texture(texture, 0, 0, edge, edge);
        const std::vector<uint8_t> colors = read_colors();
        const Channels& source = decoded_.at(row.picture->file);
        for (uint32_t y = 0; y < edge; ++y) {
            for (uint32_t x = 0; x < edge; ++x) {
                // Texture row 0 is the picture's first row; drawn at the bottom, it is read first.
                const uint8_t* const read = &colors[(y * width + x) * 4];
                const uint8_t* const texel = &source[(y * edge + x) * 4];
                const Pixel expected{texel[0], texel[1], texel[2], row.has_alpha ? texel[3] : uint8_t{255}};
                for (uint32_t channel = 0; channel < 4; ++channel) {
                    ASSERT_LE(std::abs(read[channel] - expected[channel]), static_cast<int>(row.tolerance))
                        << "texel " << x << ", " << y << " channel " << channel;
                }
            }
        }
    }
}

TEST_F(ContentTextures, CubeMapFacesComeFromTheirSixPictures) {
    constexpr Pixel face_colours[] = {
        {250, 10, 10, 255},  {10, 250, 10, 255},  {10, 10, 250, 255},
        {250, 250, 10, 255}, {10, 250, 250, 255}, {250, 10, 250, 255},
    };
    std::vector<Picture> faces;
    std::string sources;
    for (uint32_t face = 0; face < 6; ++face) {
        Picture picture{"face" + std::to_string(face) + ".png", tools::PngColourType::rgba, {}};
        for (uint32_t texel = 0; texel < edge * edge; ++texel) {
            picture.rgba.insert(picture.rgba.end(), face_colours[face].begin(), face_colours[face].end());
        }
        sources += std::string(face == 0 ? "" : ", ") + "\"" + picture.file + "\"";
        faces.push_back(std::move(picture));
    }
    std::vector<const Picture*> pictures;
    for (const Picture& picture : faces) {
        pictures.push_back(&picture);
    }
    build_and_open(pictures, R"({"pack": {"file": "content.pack"}, "textures": [{"id": "0x20020000",
        "target": "cube", "format": "rgb8", "filter": "nearest", "source": [)" +
                                 sources + "]}]}");
    TextureObject* const texture = texture_server.create_texture(0x20020000);
    texture_server.initialize_pending_textures(true);
    ASSERT_EQ(texture->get_upload_state(), TextureUploadState::complete);
    // +X, -X, +Y, -Y, +Z, -Z, as the builder takes its sources.
    const float directions[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    for (uint32_t face = 0; face < 6; ++face) {
        draw_cube_direction(texture, static_cast<int32_t>(8 * face), 0, directions[face][0], directions[face][1],
                            directions[face][2]);
    }
    for (uint32_t face = 0; face < 6; ++face) {
        const Channels& source = decoded_.at(faces[face].file);
        EXPECT_EQ(read_pixel(static_cast<int32_t>(8 * face + 1), 1), (Pixel{source[0], source[1], source[2], 255}))
            << "face " << face;
    }
}

}  // namespace
}  // namespace zolt::renderer
