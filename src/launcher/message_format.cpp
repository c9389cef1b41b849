#include "launcher/message_format.h"

#include <cstring>

namespace zolt::launcher {
namespace {

// A number insert shows in decimal, whatever form the pattern names.
std::string render_insert(const MessageInsert& insert) {
    return insert.is_number ? std::to_string(insert.number) : insert.text;
}

}  // namespace

std::string format_message(const char* pattern, std::initializer_list<MessageInsert> inserts) {
    std::string result;
    const char* cursor = pattern;
    while (*cursor != 0) {
        if (cursor[0] != '%') {
            result.push_back(*cursor++);
            continue;
        }
        if (cursor[1] == '%') {
            result.push_back('%');
            cursor += 2;
            continue;
        }
        if (cursor[1] < '1' || cursor[1] > '9') {
            result.push_back(*cursor++);
            continue;
        }
        uint32_t index = static_cast<uint32_t>(cursor[1] - '0');
        cursor += 2;
        if (*cursor >= '0' && *cursor <= '9') {
            index = index * 10 + static_cast<uint32_t>(*cursor++ - '0');
        }
        // The number form is the only one the table uses; any "!...!" after the
        // number selects it.
        if (cursor[0] == '!') {
            if (const char* end = std::strchr(cursor + 1, '!'); end != nullptr) {
                cursor = end + 1;
            }
        }
        if (index <= inserts.size()) {
            result += render_insert(*(inserts.begin() + (index - 1)));
        }
    }
    return result;
}

}  // namespace zolt::launcher
