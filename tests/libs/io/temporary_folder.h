#pragma once
// A fresh folder under the system's temporary folder, removed with its
// contents when the test ends.
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace zolt::test {

class TemporaryFolder {
public:
    TemporaryFolder() {
        std::random_device random;
        path_ =
            std::filesystem::temp_directory_path() / ("zolt_io_" + std::to_string(random()) + std::to_string(random()));
        std::filesystem::create_directories(path_);
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    std::string get_path(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& get_folder() const { return path_; }

    std::string write_file(const std::string& name, const std::string& content) const {
        const std::string path = get_path(name);
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

private:
    std::filesystem::path path_;
};

inline std::string read_file_bytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace zolt::test
