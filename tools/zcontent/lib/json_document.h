#pragma once
// JSON texts of the content builder (manifests, shader library descriptions)
// read without exceptions: a syntax error, or a key given twice in one
// object, is a message instead.
#include <nlohmann/json.hpp>
#include <string>

namespace zolt::tools {

// False with the problem (no path) when the text is not one JSON document.
bool parse_json_document(const std::string& text, nlohmann::json* document, std::string* problem);

}  // namespace zolt::tools
