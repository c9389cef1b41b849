#pragma once
// Formatting of the string table's texts: %1 .. %99 take the inserts in
// order, %N!u! as an unsigned number; "%%" is a percent sign. An insert the
// text names and the caller did not give is left out.
#include <cstdint>
#include <initializer_list>
#include <string>

namespace zolt::launcher {

struct MessageInsert {
    MessageInsert(const char* value) : text(value != nullptr ? value : "") {}
    MessageInsert(const std::string& value) : text(value) {}
    MessageInsert(uint32_t value) : number(value), is_number(true) {}
    MessageInsert(uint64_t value) : number(value), is_number(true) {}

    std::string text;
    uint64_t number = 0;
    bool is_number = false;
};

std::string format_message(const char* pattern, std::initializer_list<MessageInsert> inserts);

}  // namespace zolt::launcher
