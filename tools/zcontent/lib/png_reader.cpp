#include "png_reader.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "zpack/lib/pack_writer.h"

namespace zolt::tools {
namespace {

struct PngInput {
    const uint8_t* bytes;
    size_t size;
    size_t offset;
    char message[256];
};

void report_error(png_structp png, png_const_charp message) {
    auto* input = static_cast<PngInput*>(png_get_error_ptr(png));
    std::snprintf(input->message, sizeof input->message, "broken PNG: %s", message);
    png_longjmp(png, 1);
}

void ignore_warning(png_structp, png_const_charp) {}

void read_bytes(png_structp png, png_bytep data, size_t length) {
    auto* input = static_cast<PngInput*>(png_get_io_ptr(png));
    if (length > input->size - input->offset) {
        png_error(png, "the file ends early");
    }
    std::memcpy(data, input->bytes + input->offset, length);
    input->offset += length;
}

struct DecodedRows {
    uint32_t width;
    uint32_t height;
    int bit_depth;  // 8 or 16 after the expansion
    bool is_grey;
    bool has_alpha;
    std::vector<uint8_t>* pixels;  // RGBA rows, 16-bit channels little-endian
    std::vector<png_bytep>* rows;
};

// libpng reports errors by longjmp, so this frame holds no object with a
// destructor; the buffers belong to the caller.
bool decode_rows(png_structp png, png_infop info, uint32_t max_edge, DecodedRows* out, char* message) {
    if (setjmp(png_jmpbuf(png)) != 0) {
        return false;
    }
    png_read_info(png, info);
    // Refused before any texel memory is taken.
    if (png_get_image_width(png, info) > max_edge || png_get_image_height(png, info) > max_edge) {
        std::snprintf(message, 256, "the image is %u x %u texels, larger than %u on an edge",
                      png_get_image_width(png, info), png_get_image_height(png, info), max_edge);
        return false;
    }
    const int colour_type = png_get_color_type(png, info);
    const int bit_depth = png_get_bit_depth(png, info);
    const bool has_transparent_colour = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    out->is_grey = (colour_type & PNG_COLOR_MASK_COLOR) == 0;
    out->has_alpha = (colour_type & PNG_COLOR_MASK_ALPHA) != 0 || has_transparent_colour;
    if (colour_type == PNG_COLOR_TYPE_PALETTE) {
        png_set_palette_to_rgb(png);
    }
    if (out->is_grey && bit_depth < 8) {
        png_set_expand_gray_1_2_4_to_8(png);
    }
    if (has_transparent_colour) {
        png_set_tRNS_to_alpha(png);
    }
    if (out->is_grey) {
        png_set_gray_to_rgb(png);
    }
    if (bit_depth == 16) {
        png_set_swap(png);
    }
    if (!out->has_alpha) {
        png_set_add_alpha(png, bit_depth == 16 ? 0xFFFF : 0xFF, PNG_FILLER_AFTER);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    out->width = png_get_image_width(png, info);
    out->height = png_get_image_height(png, info);
    out->bit_depth = png_get_bit_depth(png, info);
    const size_t row_size = size_t{out->width} * 4 * (out->bit_depth / 8);
    if (png_get_rowbytes(png, info) != row_size || png_get_channels(png, info) != 4) {
        std::snprintf(message, 256, "unexpected row layout after expansion");
        return false;
    }
    out->pixels->resize(row_size * out->height);
    out->rows->resize(out->height);
    for (uint32_t y = 0; y < out->height; ++y) {
        (*out->rows)[y] = out->pixels->data() + row_size * y;
    }
    png_read_image(png, out->rows->data());
    png_read_end(png, nullptr);
    return true;
}

}  // namespace

bool decode_png(const uint8_t* bytes, size_t size, uint32_t max_edge, SourceImage* image, std::string* error) {
    constexpr size_t signature_size = 8;
    if (size < signature_size || png_sig_cmp(bytes, 0, signature_size) != 0) {
        *error = "not a PNG file";
        return false;
    }
    PngInput input{bytes, size, 0, {}};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &input, report_error, ignore_warning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        *error = "out of memory";
        return false;
    }
    png_set_read_fn(png, &input, read_bytes);
    std::vector<uint8_t> pixels;
    std::vector<png_bytep> rows;
    DecodedRows decoded{0, 0, 0, false, false, &pixels, &rows};
    const bool is_decoded = decode_rows(png, info, max_edge, &decoded, input.message);
    png_destroy_read_struct(&png, &info, nullptr);
    if (!is_decoded) {
        *error = input.message;
        return false;
    }
    image->width = decoded.width;
    image->height = decoded.height;
    image->is_grey = decoded.is_grey;
    image->has_alpha = decoded.has_alpha;
    const size_t count = size_t{decoded.width} * decoded.height * 4;
    image->texels.resize(count);
    for (size_t index = 0; index < count; ++index) {
        if (decoded.bit_depth == 16) {
            std::memcpy(&image->texels[index], pixels.data() + index * 2, 2);
        } else {
            image->texels[index] = static_cast<uint16_t>(pixels[index] * 257);
        }
    }
    return true;
}

bool read_png_file(const std::string& path, uint32_t max_edge, SourceImage* image, std::string* error) {
    std::vector<uint8_t> bytes;
    if (!read_file(path, &bytes, error)) {
        return false;
    }
    if (!decode_png(bytes.data(), bytes.size(), max_edge, image, error)) {
        *error = path + ": " + *error;
        return false;
    }
    return true;
}

}  // namespace zolt::tools
