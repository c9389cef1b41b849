#include "text_literal.h"

#include <cstdint>
#include <cstdio>

namespace zolt::tools {
namespace {

int hex_digit_value(char digit) {
    if (digit >= '0' && digit <= '9')
        return digit - '0';
    if (digit >= 'a' && digit <= 'f')
        return digit - 'a' + 10;
    if (digit >= 'A' && digit <= 'F')
        return digit - 'A' + 10;
    return -1;
}

// One code point from UTF-8 at index; false for a sequence that is not
// well formed (overlong, surrogate, past U+10FFFF, cut short).
bool decode_utf8(const std::string& text, size_t* index, uint32_t* code_point) {
    const auto lead = static_cast<uint8_t>(text[*index]);
    uint32_t count = 0;
    uint32_t value = 0;
    uint32_t minimum = 0;
    if (lead < 0x80) {
        *code_point = lead;
        *index += 1;
        return true;
    } else if ((lead & 0xE0) == 0xC0) {
        count = 1, value = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        count = 2, value = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        count = 3, value = lead & 0x07, minimum = 0x10000;
    } else {
        return false;
    }
    if (*index + count >= text.size()) {
        return false;
    }
    for (uint32_t step = 1; step <= count; ++step) {
        const auto next = static_cast<uint8_t>(text[*index + step]);
        if ((next & 0xC0) != 0x80) {
            return false;
        }
        value = value << 6 | (next & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return false;
    }
    *code_point = value;
    *index += count + 1;
    return true;
}

}  // namespace

bool parse_text_literal(const std::string& body, std::vector<char16_t>* units, std::string* error) {
    units->clear();
    size_t index = 0;
    while (index < body.size()) {
        const char character = body[index];
        if (character != '\\') {
            uint32_t code_point = 0;
            if (!decode_utf8(body, &index, &code_point)) {
                *error = "text literal is not well-formed UTF-8";
                return false;
            }
            if (code_point >= 0x10000) {
                code_point -= 0x10000;
                units->push_back(static_cast<char16_t>(0xD800 + (code_point >> 10)));
                units->push_back(static_cast<char16_t>(0xDC00 + (code_point & 0x3FF)));
            } else {
                units->push_back(static_cast<char16_t>(code_point));
            }
            continue;
        }
        if (index + 1 >= body.size()) {
            *error = "text literal ends in the middle of an escape";
            return false;
        }
        const char escape = body[index + 1];
        index += 2;
        switch (escape) {
        case '"':
            units->push_back(u'"');
            break;
        case '\\':
            units->push_back(u'\\');
            break;
        case 'n':
            units->push_back(u'\n');
            break;
        case 'r':
            units->push_back(u'\r');
            break;
        case 't':
            units->push_back(u'\t');
            break;
        case 'u': {
            uint32_t unit = 0;
            for (uint32_t digit = 0; digit < 4; ++digit) {
                const int value = index + digit < body.size() ? hex_digit_value(body[index + digit]) : -1;
                if (value < 0) {
                    *error = "\\u in a text literal needs four hexadecimal digits";
                    return false;
                }
                unit = unit << 4 | static_cast<uint32_t>(value);
            }
            index += 4;
            units->push_back(static_cast<char16_t>(unit));
            break;
        }
        default:
            *error = std::string("unknown escape \\") + escape + " in a text literal";
            return false;
        }
    }
    return true;
}

std::string format_text_literal(const char16_t* units, size_t count) {
    std::string text = "\"";
    for (size_t index = 0; index < count; ++index) {
        const char16_t unit = units[index];
        switch (unit) {
        case u'"':
            text += "\\\"";
            break;
        case u'\\':
            text += "\\\\";
            break;
        case u'\n':
            text += "\\n";
            break;
        case u'\r':
            text += "\\r";
            break;
        case u'\t':
            text += "\\t";
            break;
        default:
            if (unit >= 0x20 && unit < 0x7F) {
                text += static_cast<char>(unit);
            } else {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(unit));
                text += escape;
            }
        }
    }
    text += '"';
    return text;
}

}  // namespace zolt::tools
