#include "png_writer.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>

namespace zolt::tools {
namespace {

struct PngOutput {
    std::vector<uint8_t>* bytes;
    char message[256];
};

void report_error(png_structp png, png_const_charp message) {
    auto* output = static_cast<PngOutput*>(png_get_error_ptr(png));
    std::snprintf(output->message, sizeof output->message, "%s", message);
    png_longjmp(png, 1);
}

void ignore_warning(png_structp, png_const_charp) {}

void write_bytes(png_structp png, png_bytep data, size_t length) {
    auto* output = static_cast<PngOutput*>(png_get_io_ptr(png));
    output->bytes->insert(output->bytes->end(), data, data + length);
}

void flush_nothing(png_structp) {}

int get_libpng_colour_type(PngColourType colour_type) {
    switch (colour_type) {
    case PngColourType::grey:
        return PNG_COLOR_TYPE_GRAY;
    case PngColourType::grey_alpha:
        return PNG_COLOR_TYPE_GRAY_ALPHA;
    case PngColourType::rgb:
        return PNG_COLOR_TYPE_RGB;
    case PngColourType::rgba:
        return PNG_COLOR_TYPE_RGB_ALPHA;
    case PngColourType::palette:
        return PNG_COLOR_TYPE_PALETTE;
    }
    return PNG_COLOR_TYPE_RGB_ALPHA;
}

// libpng reports errors by longjmp, so this frame holds no object with a
// destructor; the rows and palette belong to the caller.
bool write_rows(png_structp png, png_infop info, const PngPicture& picture, png_bytep* rows, png_colorp palette) {
    if (setjmp(png_jmpbuf(png)) != 0) {
        return false;
    }
    png_set_IHDR(png, info, picture.width, picture.height, static_cast<int>(picture.bit_depth),
                 get_libpng_colour_type(picture.colour_type),
                 picture.is_interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (picture.colour_type == PngColourType::palette) {
        png_set_PLTE(png, info, palette, static_cast<int>(picture.palette.size()));
    }
    if (!picture.palette_alpha.empty()) {
        png_set_tRNS(png, info, picture.palette_alpha.data(), static_cast<int>(picture.palette_alpha.size()), nullptr);
    }
    png_write_info(png, info);
    if (picture.bit_depth < 8) {
        png_set_packing(png);
    }
    if (picture.bit_depth == 16) {
        png_set_swap(png);
    }
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

}  // namespace

uint32_t get_png_channel_count(PngColourType colour_type) {
    switch (colour_type) {
    case PngColourType::grey:
    case PngColourType::palette:
        return 1;
    case PngColourType::grey_alpha:
        return 2;
    case PngColourType::rgb:
        return 3;
    case PngColourType::rgba:
        return 4;
    }
    return 4;
}

bool encode_png(const PngPicture& picture, std::vector<uint8_t>* bytes, std::string* error) {
    const uint32_t channels = get_png_channel_count(picture.colour_type);
    const size_t samples_per_row = size_t{picture.width} * channels;
    if (picture.samples.size() != samples_per_row * picture.height) {
        *error = "the picture's samples do not fill its width and height";
        return false;
    }
    // One byte a sample below 8 bits (libpng packs them), two at 16.
    const size_t sample_size = picture.bit_depth == 16 ? 2 : 1;
    std::vector<uint8_t> pixels(samples_per_row * sample_size * picture.height);
    for (size_t index = 0; index < picture.samples.size(); ++index) {
        const uint16_t sample = picture.samples[index];
        pixels[index * sample_size] = static_cast<uint8_t>(sample);
        if (sample_size == 2) {
            pixels[index * 2 + 1] = static_cast<uint8_t>(sample >> 8);
        }
    }
    std::vector<png_bytep> rows(picture.height);
    for (uint32_t y = 0; y < picture.height; ++y) {
        rows[y] = pixels.data() + samples_per_row * sample_size * y;
    }
    std::vector<png_color> palette;
    for (const std::array<uint8_t, 3>& entry : picture.palette) {
        palette.push_back({entry[0], entry[1], entry[2]});
    }

    bytes->clear();
    PngOutput output{bytes, {}};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &output, report_error, ignore_warning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        *error = "out of memory";
        return false;
    }
    png_set_write_fn(png, &output, write_bytes, flush_nothing);
    const bool is_written = write_rows(png, info, picture, rows.data(), palette.data());
    png_destroy_write_struct(&png, &info);
    if (!is_written) {
        *error = output.message;
        return false;
    }
    return true;
}

}  // namespace zolt::tools
