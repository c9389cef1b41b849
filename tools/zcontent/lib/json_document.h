#pragma once
// JSON texts of the content builder (manifests, shader library descriptions)
// read without exceptions: a syntax error, or a key given twice in one
// object, is a message instead.
#include <cstdint>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <string>

namespace zolt::tools {

// False with the problem (no path) when the text is not one JSON document.
bool parse_json_document(const std::string& text, nlohmann::json* document, std::string* problem);

// A value as a message quotes it. Arrays and objects are only named: their
// text may be long or nested deeper than printing should recurse. Invalid
// UTF-8 is replaced, not thrown.
std::string quote_json_value(const nlohmann::json& value);

// A JSON number, or a string of 0x-prefixed hexadecimal digits, up to
// maximum; false for anything else.
bool read_json_number(const nlohmann::json& value, uint64_t maximum, uint64_t* number);

// What is wrong with an object's keys: "expected an object" for another
// value, else the first key not among the known ones; empty when nothing is.
std::string find_json_key_problem(const nlohmann::json& object, std::initializer_list<const char*> known);

}  // namespace zolt::tools
