#include "support/reference_image.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "zcontent/lib/png_reader.h"
#include "zcontent/lib/png_writer.h"

namespace zolt::test {

namespace {

constexpr uint32_t difference_gain = 8;

std::filesystem::path get_output_folder() {
    // The test binary's build folder: <build>/bin/zolt beside it.
    return std::filesystem::path(ZOLT_BINARY_PATH).parent_path().parent_path() / "test-output";
}

// PNG rows run top first.
bool write_png(const std::filesystem::path& path, const Frame& frame, std::string* error) {
    tools::PngPicture picture;
    picture.width = frame.width;
    picture.height = frame.height;
    picture.samples.reserve(frame.rgba.size());
    for (uint32_t row = frame.height; row-- > 0;) {
        const uint8_t* const begin = frame.rgba.data() + size_t{row} * frame.width * 4;
        picture.samples.insert(picture.samples.end(), begin, begin + size_t{frame.width} * 4);
    }
    std::vector<uint8_t> bytes;
    if (!tools::encode_png(picture, &bytes, error)) {
        return false;
    }
    std::filesystem::create_directories(path.parent_path());
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file) {
        *error = "cannot write " + path.string();
        return false;
    }
    return true;
}

bool read_png(const std::filesystem::path& path, Frame* frame, std::string* error) {
    tools::SourceImage image;
    if (!tools::read_png_file(path.string(), 16384, &image, error)) {
        return false;
    }
    frame->width = image.width;
    frame->height = image.height;
    frame->rgba.assign(size_t{image.width} * image.height * 4, 0);
    for (uint32_t y = 0; y < image.height; ++y) {
        const uint32_t row = image.height - 1 - y;
        for (uint32_t index = 0; index < image.width * 4; ++index) {
            frame->rgba[size_t{row} * image.width * 4 + index] =
                static_cast<uint8_t>(image.texels[size_t{y} * image.width * 4 + index] / 257);
        }
    }
    return true;
}

}  // namespace

::testing::AssertionResult matches_reference_image(const std::string& folder, const std::string& name,
                                                   const Frame& frame, uint32_t tolerance, uint32_t shift,
                                                   uint32_t allowed_pixels) {
    const std::filesystem::path reference =
        std::filesystem::path(ZOLT_TEST_SOURCE_PATH) / folder / "reference_images" / (name + ".png");
    std::string error;
    const char* const refresh = std::getenv("ZOLT_REFRESH_REFERENCE_IMAGES");
    if (refresh != nullptr && std::string(refresh) == "1") {
        if (!write_png(reference, frame, &error)) {
            return ::testing::AssertionFailure() << error;
        }
        return ::testing::AssertionSuccess() << "refreshed " << reference.string();
    }
    Frame stored;
    if (!read_png(reference, &stored, &error)) {
        return ::testing::AssertionFailure() << error << " (ZOLT_REFRESH_REFERENCE_IMAGES=1 writes it from this run)";
    }
    if (stored.width != frame.width || stored.height != frame.height) {
        return ::testing::AssertionFailure() << reference.string() << " is " << stored.width << " x " << stored.height
                                             << ", the frame " << frame.width << " x " << frame.height;
    }
    Frame difference = frame;
    uint32_t differing = 0;
    uint32_t largest = 0;
    const int32_t reach = static_cast<int32_t>(shift);
    for (size_t pixel = 0; pixel < frame.rgba.size(); pixel += 4) {
        const int32_t x = static_cast<int32_t>(pixel / 4 % frame.width);
        const int32_t y = static_cast<int32_t>(pixel / 4 / frame.width);
        // The stored pixel nearest in colour within the reach.
        size_t nearest = pixel;
        uint32_t nearest_delta = UINT32_MAX;
        for (int32_t dy = -reach; dy <= reach; ++dy) {
            for (int32_t dx = -reach; dx <= reach; ++dx) {
                const int32_t sx = x + dx, sy = y + dy;
                if (sx < 0 || sy < 0 || sx >= static_cast<int32_t>(frame.width) ||
                    sy >= static_cast<int32_t>(frame.height)) {
                    continue;
                }
                const size_t at = (static_cast<size_t>(sy) * frame.width + static_cast<size_t>(sx)) * 4;
                uint32_t delta = 0;
                for (size_t channel = 0; channel < 4; ++channel) {
                    delta = std::max<uint32_t>(
                        delta, static_cast<uint32_t>(std::abs(int32_t{frame.rgba[pixel + channel]} - stored.rgba[at + channel])));
                }
                if (delta < nearest_delta) {
                    nearest_delta = delta;
                    nearest = at;
                }
            }
        }
        bool differs = false;
        for (size_t channel = 0; channel < 4; ++channel) {
            const int32_t delta = std::abs(int32_t{frame.rgba[pixel + channel]} - stored.rgba[nearest + channel]);
            largest = std::max(largest, static_cast<uint32_t>(delta));
            differs = differs || static_cast<uint32_t>(delta) > tolerance;
            difference.rgba[pixel + channel] =
                channel == 3 ? 255 : static_cast<uint8_t>(std::min<uint32_t>(255, delta * difference_gain));
        }
        differing += differs ? 1 : 0;
    }
    if (differing <= allowed_pixels) {
        return ::testing::AssertionSuccess();
    }
    const std::filesystem::path output = get_output_folder();
    const std::filesystem::path actual_path = output / (name + ".actual.png");
    const std::filesystem::path difference_path = output / (name + ".difference.png");
    if (!write_png(actual_path, frame, &error) || !write_png(difference_path, difference, &error)) {
        return ::testing::AssertionFailure() << differing << " pixels differ; " << error;
    }
    return ::testing::AssertionFailure() << differing << " pixels differ from " << reference.string()
                                         << " by more than " << tolerance << " (largest " << largest
                                         << "); this run: " << actual_path.string()
                                         << ", difference: " << difference_path.string();
}

}  // namespace zolt::test
