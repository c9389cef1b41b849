#include "launcher/installation_checks.h"

#include <sys/stat.h>
#include <cerrno>

#include "launcher/error_codes.h"
#include "launcher/launcher_messages.h"

namespace zolt::launcher {
namespace {

// Characters as the limit counts them: UTF-16 units of the UTF-8 path.
uint32_t count_path_characters(const std::string& path) {
    uint32_t count = 0;
    for (const char character : path) {
        const auto byte = static_cast<unsigned char>(character);
        if ((byte & 0xC0) != 0x80) {
            count += byte >= 0xF0 ? 2 : 1;
        }
    }
    return count;
}

uint32_t make_folder(const std::string& path) {
    if (mkdir(path.c_str(), 0777) == 0) {
        return 0;
    }
    const int error = errno;
    if (error == EEXIST) {
        struct stat status = {};
        return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode) ? 0 : already_exists_code;
    }
    return get_error_code(static_cast<uint32_t>(error));
}

}  // namespace

const std::vector<RequiredLibrary>& get_required_libraries() {
    // The game program draws through GL and takes its window, input and sound
    // through SDL; the physics and online libraries join the table when the
    // game program links them.
    static const std::vector<RequiredLibrary> libraries = {
        {"libSDL2-2.0.so.0", &InstallationFlags::directx, directx_flag::input_library},
        {"libGL.so.1", &InstallationFlags::opengl, opengl_flag::opengl_library},
    };
    return libraries;
}

void check_required_libraries(InstallationFlags& flags, const std::vector<RequiredLibrary>& libraries,
                              const std::function<bool(const char*)>& can_load) {
    for (const RequiredLibrary& library : libraries) {
        if (!can_load(library.name)) {
            flags.*library.word |= library.flag;
        }
    }
}

LauncherExitCode report_installation_problem(LauncherUi& ui, const InstallationFlags& flags) {
    struct ProblemRow {
        uint32_t InstallationFlags::*word;
        LauncherString message;
        LauncherExitCode exit_code;
    };
    static constexpr ProblemRow problem_rows[] = {
        {&InstallationFlags::installation, LauncherString::installation_problem,
         LauncherExitCode::installation_problem},
        {&InstallationFlags::directx, LauncherString::directx_problem, LauncherExitCode::directx_problem},
        {&InstallationFlags::opengl, LauncherString::opengl_problem, LauncherExitCode::opengl_problem},
    };
    for (const ProblemRow& row : problem_rows) {
        if (flags.*row.word != 0) {
            show_message(ui, row.message, LauncherString::installation_problem_title, MessageStyle::error,
                         {flags.*row.word});
            return row.exit_code;
        }
    }
    return LauncherExitCode::normal_end;
}

uint32_t create_folder_tree(const std::string& path) {
    const uint32_t error = make_folder(path);
    if (error == 0 || error == already_exists_code) {
        return error;
    }
    const size_t separator = path.find_last_of('/');
    if (separator == std::string::npos || separator == 0) {
        return error;
    }
    if (const uint32_t parent_error = create_folder_tree(path.substr(0, separator)); parent_error != 0) {
        return parent_error;
    }
    return make_folder(path);
}

LauncherExitCode check_folder(LauncherUi& ui, const std::string& path) {
    if (count_path_characters(path) >= folder_path_limit) {
        show_message(ui, LauncherString::folder_path_too_long, LauncherString::running_problem_title,
                     MessageStyle::error,
                     {path, file_name_too_long_code, describe_error_code(file_name_too_long_code)});
        return LauncherExitCode::folder_path_too_long;
    }
    if (const uint32_t error = create_folder_tree(path); error != 0) {
        show_message(ui, LauncherString::folder_creation_failed, LauncherString::running_problem_title,
                     MessageStyle::error, {path, error, describe_error_code(error)});
        return LauncherExitCode::folder_problem;
    }
    return LauncherExitCode::normal_end;
}

LauncherExitCode check_free_space(LauncherUi& ui, const std::string& path, const FreeSpaceQuery& query_free_space) {
    uint64_t free_bytes = 0;
    uint32_t error = query_free_space(path, &free_bytes);
    if (error == 0 && free_bytes >= required_free_bytes) {
        return LauncherExitCode::normal_end;
    }
    const uint32_t free_megabytes = error == 0 ? static_cast<uint32_t>(free_bytes >> 20) : 0;
    if (error == 0) {
        error = disk_full_code;
    }
    show_message(
        ui, LauncherString::too_little_free_space, LauncherString::running_problem_title, MessageStyle::error,
        {path, static_cast<uint32_t>(required_free_bytes >> 20), free_megabytes, error, describe_error_code(error)});
    return LauncherExitCode::folder_problem;
}

}  // namespace zolt::launcher
