#include "libs/io/pack_list.h"

namespace zolt::io {
namespace {

bool is_separator(char character) {
    return character == ' ' || character == '\t' || character == '\r' || character == '\n';
}

}  // namespace

void parse_pack_list(char* text, PackList* list) {
    list->count = 0;
    list->has_too_many = false;
    char* cursor = text;
    for (;;) {
        while (is_separator(*cursor)) {
            ++cursor;
        }
        if (*cursor == '\0') {
            return;
        }
        if (list->count == max_pack_count) {
            list->has_too_many = true;
            return;
        }
        list->names[list->count++] = cursor;
        while (*cursor != '\0' && !is_separator(*cursor)) {
            ++cursor;
        }
        if (*cursor != '\0') {
            *cursor++ = '\0';
        }
    }
}

}  // namespace zolt::io
