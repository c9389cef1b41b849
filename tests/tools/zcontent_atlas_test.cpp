// The content builder's image atlases: images packed into a page whose sides
// are powers of two, their rectangles recorded as the engine reads them, the
// page's rows bottom up, and descriptions it refuses with a message that
// names the file, the atlas and the key.
#include <gtest/gtest.h>

#include <cstring>

#include "zcontent/lib/image_atlas_builder.h"
#include "zolt/renderer/display/image_atlas_format.h"

namespace zolt::tools {
namespace {

// Each texel's red is its column, green its row (counted from the top, as
// PNG rows run).
SourceImage make_image(uint32_t width, uint32_t height, uint16_t blue) {
    SourceImage image;
    image.width = width;
    image.height = height;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            image.texels.insert(image.texels.end(), {static_cast<uint16_t>(x), static_cast<uint16_t>(y), blue, 65535});
        }
    }
    return image;
}

TEST(ZcontentAtlas, ImagesArePackedIntoAPageTheEngineAccepts) {
    AtlasEntry entry;
    entry.name = "atlas 1";
    entry.texture_id = 0x20000100;
    entry.images = {{"a.png", {3, 2}}, {"b.png", {0, 0}}, {"c.png", {0, 0}}};
    const std::vector<SourceImage> images = {make_image(5, 3, 1), make_image(4, 4, 2), make_image(16, 2, 3)};
    SourceImage page;
    std::vector<uint8_t> atlas;
    std::string error;
    ASSERT_TRUE(build_image_atlas_from_images(entry, images, &page, &atlas, &error)) << error;
    EXPECT_TRUE(renderer::is_fraction_page(page.width, page.height));

    renderer::ImageAtlasHeader header{};
    ASSERT_EQ(renderer::check_image_atlas(atlas.data(), static_cast<uint32_t>(atlas.size()), &header),
              renderer::ImageAtlasFault::ok);
    EXPECT_EQ(header.texture_id, 0x20000100u);
    ASSERT_EQ(header.entry_count, 3u);
    EXPECT_EQ(renderer::check_image_atlas_rectangles(atlas.data(), 3, page.width, page.height),
              renderer::ImageAtlasFault::ok);
    for (uint32_t index = 0; index < 3; ++index) {
        renderer::ImageAtlasEntry record = renderer::read_image_atlas_entry(atlas.data(), index);
        renderer::convert_entry_to_texels(record, page.width, page.height);
        const SourceImage& image = images[index];
        EXPECT_EQ(record.size[0], static_cast<float>(image.width));
        EXPECT_EQ(record.texture_extent[1], static_cast<float>(image.height));
        EXPECT_EQ(record.pivot[0], entry.images[index].pivot[0]);
        // Every texel of the image, its top row last in the page.
        const auto x0 = static_cast<uint32_t>(record.texture_origin[0]);
        const auto y0 = static_cast<uint32_t>(record.texture_origin[1]);
        for (uint32_t y = 0; y < image.height; ++y) {
            for (uint32_t x = 0; x < image.width; ++x) {
                const uint32_t page_row = y0 + image.height - 1 - y;
                for (uint32_t channel = 0; channel < 4; ++channel) {
                    ASSERT_EQ(page.get(x0 + x, page_row, channel), image.get(x, y, channel))
                        << "image " << index << " texel " << x << ", " << y;
                }
            }
        }
    }
}

TEST(ZcontentAtlas, DescriptionsAreCheckedKeyByKey) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {R"({"atlases": [{"number": 1, "texture": "0x20000100", "images": [{"source": "a.png", "pivot": [1, 2]}]}]})",
         ""},
        {R"({"atlases": [{"number": 300, "texture": "0x20000100", "images": [{"source": "a.png"}]}]})",
         "hud.json: atlases[0]: \"number\": expected a number from 0 to 255"},
        {R"({"atlases": [{"number": 1, "texture": "0x10000100", "images": [{"source": "a.png"}]}]})",
         "hud.json: atlas 1: \"texture\": expected a texture id"},
        {R"({"atlases": [{"number": 1, "texture": "0x20000100", "images": []}]})",
         "hud.json: atlas 1: \"images\": expected an array of 1 to 65535 images"},
        {R"({"atlases": [{"number": 1, "texture": "0x20000100", "images": [{"source": "a.png", "pivot": 3}]}]})",
         "hud.json: atlas 1: images[0]: \"pivot\": expected two numbers"},
        {R"({"atlases": [{"number": 1, "texture": "0x20000100", "colour": 1, "images": [{"source": "a.png"}]}]})",
         "hud.json: atlas 1: \"colour\": unknown key"},
        {R"({"atlases": [{"number": 2, "texture": "0x20000100", "images": [{"source": "a.png"}]},
                         {"number": 2, "texture": "0x20000200", "images": [{"source": "b.png"}]}]})",
         "hud.json: atlas 2: \"number\": given twice"},
    };
    for (const auto& row : cases) {
        std::vector<AtlasEntry> atlases;
        std::string error;
        const bool accepted = parse_image_atlas_description(row.text, "hud.json", &atlases, &error);
        if (row.message[0] == '\0') {
            EXPECT_TRUE(accepted) << error;
            ASSERT_EQ(atlases.size(), 1u);
            EXPECT_EQ(atlases[0].images[0].source_path, "a.png");
            EXPECT_EQ(atlases[0].images[0].pivot[1], 2.0f);
        } else {
            EXPECT_FALSE(accepted) << row.text;
            EXPECT_EQ(error.rfind(row.message, 0), 0u) << error;
        }
    }
}

}  // namespace
}  // namespace zolt::tools
