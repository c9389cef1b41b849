#pragma once
// The double-quoted text literals of the assembler's source: UTF-8 text with
// the escapes \" \\ \n \r \t and \uXXXX (one UTF-16 unit, so any unit
// sequence can be written, lone surrogates included), turned into the
// UTF-16 units the bytecode carries, and back.
#include <string>
#include <vector>

namespace zolt::tools {

// The text between the quotes; false, with a message, for a broken escape
// or broken UTF-8.
bool parse_text_literal(const std::string& body, std::vector<char16_t>* units, std::string* error);

// The literal with its quotes: printable ASCII as is, everything else escaped.
std::string format_text_literal(const char16_t* units, size_t count);

}  // namespace zolt::tools
