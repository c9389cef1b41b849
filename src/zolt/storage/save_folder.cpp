#include "zolt/storage/save_folder.h"

#include <string>
#include <vector>

namespace zolt::storage {

namespace {

bool is_well_formed_utf8(const char* text) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    while (*bytes != 0) {
        const uint32_t lead = *bytes;
        uint32_t length = 1;
        uint32_t value = lead;
        uint32_t minimum = 0;
        if (lead >= 0x80) {
            if ((lead & 0xE0) == 0xC0) {
                length = 2, value = lead & 0x1F, minimum = 0x80;
            } else if ((lead & 0xF0) == 0xE0) {
                length = 3, value = lead & 0x0F, minimum = 0x800;
            } else if ((lead & 0xF8) == 0xF0) {
                length = 4, value = lead & 0x07, minimum = 0x10000;
            } else {
                return false;
            }
        }
        for (uint32_t index = 1; index < length; ++index) {
            if ((bytes[index] & 0xC0) != 0x80) {
                return false;
            }
            value = value << 6 | (bytes[index] & 0x3F);
        }
        if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
            return false;
        }
        bytes += length;
    }
    return true;
}

bool is_separator(char character) {
    return character == '/' || character == '\\';
}

}  // namespace

SaveFolderProblem make_full_save_folder(const char* configured, const char* base, char* folder, uint32_t capacity) {
    if (!is_well_formed_utf8(configured) || !is_well_formed_utf8(base)) {
        return SaveFolderProblem::invalid;
    }
    std::string path = is_separator(configured[0]) ? std::string(configured) : std::string(base) + "/" + configured;
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = start;
        while (end < path.size() && !is_separator(path[end])) {
            ++end;
        }
        const std::string part = path.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string full;
    for (const std::string& part : parts) {
        full += "/" + part;
    }
    if (full.empty()) {
        full = "/";
    }
    if (full.size() + 1 > capacity) {
        return SaveFolderProblem::too_long;
    }
    full.copy(folder, full.size());
    folder[full.size()] = 0;
    return SaveFolderProblem::none;
}

}  // namespace zolt::storage
