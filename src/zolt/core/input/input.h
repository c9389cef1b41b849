#pragma once
// The input layer: the keyboard and the mouse read once per poll into the
// down set of input codes, folded into 64 actions through the binding table
// (4 codes per action, filled slots first), every change and every code held
// reported as a message on the poll's clocks; typed keys and characters from
// the window's message pump. Bindings come from the configuration (one hook
// reads and writes them) and from scripts. The devices belong to the game
// window, which creates, acquires, unacquires and releases them; an input
// lock serialises device reads with acquire and unacquire. Main thread only,
// but for acquire and unacquire.
#include <cstdint>

namespace zolt {
class StringBuffer;
}

namespace zolt::platform {
struct DisplayWindow;
}

namespace zolt::core {

class String;

constexpr uint32_t input_poll_start_message = 0x50000;
constexpr uint32_t input_poll_end_message = 0x60000;
constexpr uint32_t input_up_message = 0x90000;
constexpr uint32_t input_down_message = 0xA0000;
constexpr uint32_t input_held_message = 0xB0000;
constexpr uint32_t input_typed_message = 0xC0000;
constexpr uint32_t input_movement_message = 0xE0000;

namespace input_property {
constexpr uint32_t value = 0x05000024, fixed_1 = 0x03000025, fixed_2 = 0x03000026, movement = 0x20000027,
                   wheel = 0x05000028, character = 0x03000259;
}  // namespace input_property

constexpr uint32_t binding_slot_count = 4;
constexpr uint32_t local_user_count = 4;
// The user that builtins take for "any local user".
constexpr uint32_t any_input_user = 0xFFFFFFFF;

// Clock selector 0, input level 0, no code down, no binding, the key tables.
void initialize_input();

// The input interface; false when it cannot be made.
bool create_direct_input();
// Keyboard and mouse for the window, then acquired; false when either
// cannot be made (none is kept then).
bool create_input_devices(platform::DisplayWindow* window);
void release_input_devices();
void acquire_input_devices();
void unacquire_input_devices();

// Builtin 227.
void poll_input(uint32_t clock_selector);
// From the message pump: (virtual key, 0, true) for a key, (0xFFFFFFFF,
// character, true) for a character; nothing when flag is false.
void post_typed_key_message(uint32_t virtual_key, uint32_t character, bool flag);

// Builtin 231: the code is down, for user -1 only.
bool is_input_active(uint32_t code, uint32_t user);
// Code 0 empties the slots; a code already there changes nothing; with all
// four taken the oldest goes.
void add_action_binding(uint32_t (&slots)[binding_slot_count], uint32_t code);
void clear_input_bindings();
// The binding slot of an action (0 to 63), 0 outside the table.
uint32_t get_action_binding(uint32_t action, uint32_t slot);
// Builtin 232: action code, slot, user.
uint32_t get_action_binding_for_user(uint32_t action_code, uint32_t slot, uint32_t user);
// Builtin 233: action code, code, user.
void add_action_binding_for_user(uint32_t action_code, uint32_t code, uint32_t user);

// The configuration hook: 0 not an input name, 1 taken, 2 an input name
// with a bad number or action.
uint32_t parse_input_binding(const char* name, const char* value);
void dump_input_bindings(StringBuffer& buffer);

// Empties the string, then writes the keyboard's name of a key code; false
// for other codes and keys the keyboard cannot name.
bool write_input_name(uint32_t code, String* string);

// Slot 0 to 3 -> 0x0F, 0x1F, 0x2F, 0x3F; else -1.
uint32_t get_local_user_code(uint32_t slot);
// The slot whose code it is, else -1.
uint32_t get_local_user_slot(uint32_t code);

// Builtin 237: clamped to 0..1; nothing reads it.
void set_input_level(float level);
float get_input_level();

}  // namespace zolt::core
