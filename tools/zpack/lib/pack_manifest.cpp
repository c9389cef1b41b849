#include "pack_manifest.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace zolt::tools {
namespace {

bool parse_number(const std::string& text, uint32_t maximum, uint32_t* value) {
    if (text.empty() || text[0] == '-' || text[0] == '+') {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const unsigned long long parsed = std::strtoull(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || parsed > maximum) {
        return false;
    }
    *value = static_cast<uint32_t>(parsed);
    return true;
}

bool parse_resource_options(std::istringstream& words, PackResource* resource, std::string* problem) {
    uint32_t alignment_exponent = 0;
    uint32_t pool_type = 0;
    bool is_not_reopened = false;
    std::string option;
    while (words >> option) {
        if (option.rfind("align=", 0) == 0) {
            if (!parse_number(option.substr(6), 15, &alignment_exponent)) {
                *problem = "alignment exponent out of 0 to 15";
                return false;
            }
        } else if (option.rfind("pool=", 0) == 0) {
            if (!parse_number(option.substr(5), 3, &pool_type)) {
                *problem = "pool type out of 0 to 3";
                return false;
            }
        } else if (option == "deferred") {
            pool_type = io::pool_type_deferred;
        } else if (option == "second-pool") {
            pool_type = io::pool_type_second;
        } else if (option == "not-reopened") {
            is_not_reopened = true;
        } else if (option == "stored") {
            resource->allow_packing = false;
        } else {
            *problem = "unknown option " + option;
            return false;
        }
    }
    resource->flags = io::make_resource_flags(alignment_exponent, pool_type, is_not_reopened);
    return true;
}

}  // namespace

bool read_pack_manifest(const std::string& path, PackDescription* description, std::string* error) {
    std::vector<uint8_t> bytes;
    if (!read_file(path, &bytes, error)) {
        return false;
    }
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::istringstream lines(std::string(bytes.begin(), bytes.end()));
    std::string line;
    for (uint32_t line_number = 1; std::getline(lines, line); ++line_number) {
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        std::string first;
        if (!(words >> first)) {
            continue;
        }
        const std::string where = path + ":" + std::to_string(line_number) + ": ";
        if (first == "key") {
            std::string value;
            std::string extra;
            if (!(words >> value) || !parse_number(value, UINT32_MAX, &description->key) || (words >> extra)) {
                *error = where + "key needs one number";
                return false;
            }
            continue;
        }
        PackResource resource;
        std::string file;
        if (!parse_number(first, UINT32_MAX, &resource.id) || !(words >> file)) {
            *error = where + "expected a setting or a resource id and a file";
            return false;
        }
        std::string problem;
        if (!parse_resource_options(words, &resource, &problem)) {
            *error = where + problem;
            return false;
        }
        const std::filesystem::path file_path = folder / file;
        if (!read_file(file_path.string(), &resource.data, error)) {
            *error = where + *error;
            return false;
        }
        description->resources.push_back(std::move(resource));
    }
    return true;
}

bool read_pack_folder(const std::string& path, PackDescription* description, std::string* error) {
    std::error_code failure;
    std::vector<std::filesystem::path> files;
    for (const auto& item : std::filesystem::directory_iterator(path, failure)) {
        if (item.is_regular_file()) {
            files.push_back(item.path());
        }
    }
    if (failure) {
        *error = "unable to list " + path;
        return false;
    }
    std::sort(files.begin(), files.end());
    for (const std::filesystem::path& file : files) {
        const std::string name = file.filename().string();
        const std::string id_text = name.substr(0, name.find('.'));
        PackResource resource;
        if (id_text.size() != 8 || id_text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos ||
            !parse_number("0x" + id_text, UINT32_MAX, &resource.id)) {
            *error = file.string() + ": the name does not start with a resource id of eight hexadecimal digits";
            return false;
        }
        if (!read_file(file.string(), &resource.data, error)) {
            return false;
        }
        description->resources.push_back(std::move(resource));
    }
    return true;
}

}  // namespace zolt::tools
