#pragma once
// The input codes: one number space for everything that can be down (0 none,
// 1-36 gamepad, 37-100 the 64 actions, 101-105 mouse buttons and wheel,
// 106-209 named keys, 210-721 raw keys by scan code, 722 unknown), their
// names, the action names, and the tables from scan codes and virtual keys
// to codes. The tables are built once by build_input_tables; name lookups
// ignore letter case. Main thread only.
#include <cstdint>

namespace zolt::core {

constexpr uint32_t first_action_code = 37;
constexpr uint32_t action_count = 64;
constexpr uint32_t mouse_left_code = 101;
constexpr uint32_t mouse_button_code_count = 5;
constexpr uint32_t first_named_key_code = 106;
constexpr uint32_t first_raw_key_code = 210;
constexpr uint32_t scan_code_count = 512;
constexpr uint32_t unknown_input_code = 722;
// The down set's size: codes 0 to 735.
constexpr uint32_t input_code_limit = 736;
constexpr uint32_t virtual_key_count = 512;
constexpr uint32_t gamepad_code_last = 36;

void build_input_tables();

// unknown_input_code when no input has that name.
uint32_t find_input_code(const char* name);
// Null for a code without a name.
const char* get_input_name(uint32_t code);
// action_count when no action has that name.
uint32_t find_action(const char* name);
// Null for an action without a name.
const char* get_action_name(uint32_t action);

// Scan code 0 to 511 -> code.
uint32_t get_scan_code_input(uint32_t scan_code);
// The first scan code whose entry is the code, or scan_code_count.
uint32_t find_input_scan_code(uint32_t code);
// Virtual key 0 to 511 -> code, 0 where no key is named.
uint32_t get_virtual_key_input(uint32_t virtual_key);

}  // namespace zolt::core
