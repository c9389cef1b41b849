#include "libs/io/file_path.h"

namespace zolt::io {
namespace {
// Length in bytes of the UTF-8 sequence at text, with its code point; 0 when
// the bytes there are not well-formed UTF-8.
uint32_t decode_utf8(const unsigned char* text, uint32_t* code_point) {
    const uint32_t lead = text[0];
    uint32_t length;
    uint32_t value;
    uint32_t minimum;
    if (lead < 0x80) {
        *code_point = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    for (uint32_t index = 1; index < length; ++index) {
        if ((text[index] & 0xC0) != 0x80) {
            return 0;
        }
        value = (value << 6) | (text[index] & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return 0;
    }
    *code_point = value;
    return length;
}
}  // namespace

bool make_native_path(const char* path, char* native_path) {
    const auto* text = reinterpret_cast<const unsigned char*>(path);
    uint32_t units = 0;
    uint32_t length = 0;
    while (text[length] != 0) {
        uint32_t code_point;
        const uint32_t sequence = decode_utf8(text + length, &code_point);
        if (sequence == 0) {
            return false;
        }
        units += code_point >= 0x10000 ? 2 : 1;
        if (units >= max_path_units) {
            return false;
        }
        for (uint32_t index = 0; index < sequence; ++index) {
            const char byte = path[length + index];
            native_path[length + index] = byte == '\\' ? '/' : byte;
        }
        length += sequence;
    }
    native_path[length] = 0;
    return true;
}

}  // namespace zolt::io
