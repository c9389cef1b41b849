#pragma once
// The main thread's message pump and the quit flag. The pump takes the game
// window's events and the process's quit request; the flag is the only state
// of the scheduler that other threads touch, so it has a lock of its own;
// once set it stays set.
#include <cstdint>

namespace zolt::core {

// Removes pending window and process messages; returns the quit flag.
bool pump_messages();

void request_quit();
bool is_quit_requested();

// Where typed keys (key, character 0) and typed characters (key 0, the
// character) of the game window go: the input layer installs it.
using TypedKeyHandler = void (*)(uint32_t key, uint32_t character);
void set_typed_key_handler(TypedKeyHandler handler);

}  // namespace zolt::core
