#include "zolt/core/program/program_main.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "libs/system/crash_report.h"
#include "libs/system/exit_code.h"
#include "libs/utility/config_command_line.h"
#include "libs/utility/config_variable_row.h"
#include "libs/utility/fatal_error.h"
#include "platform/system/affinity.h"
#include "platform/system/process.h"
#include "platform/system/threads.h"
#include "zolt/core/config/config_support.h"
#include "zolt/core/program/engine.h"
#include "zolt/network/network_services.h"
#include "zolt/network/online_arguments.h"

namespace zolt {

uint32_t multithreading_mode = 2;
const ConfigVariableRow<uint32_t> multithreading_mode_row(7, "multithreading_mode", &multithreading_mode, 2, 0, 2,
                                                          config_written_when_changed);

namespace {
std::atomic<uint32_t> main_thread_id{0};

const char help_text[] =
    "usage: zolt [name value | name=value]... [+connect a.b.c.d:port | +connect_lobby id]\n"
    "            [+host a.b.c.d | +join a.b.c.d]\n"
    "\n"
    "Runs the game on the resource packs named by \"pack.list\".\n"
    "Configuration variables may be given as a name followed by its value, or as\n"
    "name=value in one argument, each with up to two leading dashes; the\n"
    "configuration file read afterwards (\"config\", default \"config.txt\")\n"
    "takes precedence over the command line.\n"
    "  config <path>           the configuration file to read; \"\" reads none\n"
    "  +connect a.b.c.d:port   join the network game at that address\n"
    "  +connect_lobby id       join the network game of that lobby\n"
    "  +host a.b.c.d           play online over ENet at that address, ready to host\n"
    "  +join a.b.c.d           play online over ENet at that address and join the\n"
    "                          game that +connect names\n";

bool is_help_request(const char* argument) {
    for (int dash = 0; dash < 2 && *argument == '-'; ++dash) {
        ++argument;
    }
    return std::strcmp(argument, "h") == 0 || std::strcmp(argument, "?") == 0;
}

uint32_t lowest_bit(uint32_t mask) {
    return mask & (~mask + 1u);
}
}  // namespace

std::optional<uint32_t> choose_start_affinity(uint32_t mode, uint32_t system_mask) {
    if (mode == 0) {
        return std::nullopt;
    }
    if (mode == 1) {
        const uint32_t processor = lowest_bit(system_mask);
        return processor != 0 ? processor : system_mask;
    }
    return system_mask;
}

uint32_t choose_thread_affinity_mask(uint32_t mode, uint32_t process_mask) {
    if (mode == 0) {
        return 0;
    }
    return mode == 1 ? lowest_bit(process_mask) : process_mask;
}

uint32_t compute_thread_affinity_mask() {
    uint32_t process_mask = 0;
    uint32_t system_mask = 0;
    if (multithreading_mode == 0 || !platform::get_process_affinity_masks(&process_mask, &system_mask)) {
        return 0;
    }
    return choose_thread_affinity_mask(multithreading_mode, process_mask);
}

void register_as_main_thread() {
    uint32_t expected = 0;
    if (!main_thread_id.compare_exchange_strong(expected, platform::get_current_thread_id())) {
        ZOLT_PANIC("Main thread can not be registered more than once");
    }
}

uint32_t get_main_thread_id() {
    return main_thread_id.load();
}

int program_main(int argument_count, const char* const* arguments) {
    install_crash_report_handlers();
    core::parse_connect_arguments(argument_count - 1, arguments + 1);
    std::string online_message;
    if (!network::start_online_services(argument_count - 1, arguments + 1, &online_message)) {
        // As when the online services are missing: the game runs offline.
        std::fprintf(stderr, "zolt: playing offline: %s\n", online_message.c_str());
    }
    // The file comes after the command line, so its values win.
    parse_config_command_line(argument_count - 1, arguments + 1);
    core::load_startup_config_file();

    uint32_t process_mask = 0;
    uint32_t system_mask = 0;
    const bool masks_known = platform::get_process_affinity_masks(&process_mask, &system_mask);
    if (masks_known) {
        if (const std::optional<uint32_t> mask = choose_start_affinity(multithreading_mode, system_mask)) {
            platform::set_process_affinity_mask(*mask);
        }
    }

    register_as_main_thread();
    core::start_engine();
    core::run_engine();
    core::stop_engine();
    network::stop_online_services();

    if (multithreading_mode != 0 && masks_known) {
        platform::set_process_affinity_mask(system_mask);
    }
    return static_cast<int>(get_exit_code_number(ExitCode::normal_end));
}

int run_program(int argument_count, char** arguments) {
    platform::drop_privileges();
    platform::install_quit_signal_handlers();

    static const char empty_argument[] = "";
    std::vector<const char*> utf8_arguments(static_cast<size_t>(argument_count));
    for (int index = 0; index < argument_count; ++index) {
        utf8_arguments[index] = arguments[index][0] != '\0' ? arguments[index] : empty_argument;
    }
    for (int index = 1; index < argument_count; ++index) {
        if (is_help_request(utf8_arguments[index])) {
            std::fputs(help_text, stdout);
            return static_cast<int>(get_exit_code_number(ExitCode::normal_end));
        }
    }
    return program_main(argument_count, utf8_arguments.data());
}

}  // namespace zolt
