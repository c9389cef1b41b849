#include "platform/input/virtual_keys.h"

#include <SDL.h>

namespace zolt::platform {

namespace {

struct VirtualKeyRow {
    SDL_Keycode key_code;
    uint8_t virtual_key;
};

// clang-format off
constexpr VirtualKeyRow virtual_key_rows[] = {
    {SDLK_BACKSPACE, 8},     {SDLK_TAB, 9},           {SDLK_RETURN, 13},       {SDLK_KP_ENTER, 13},
    {SDLK_LSHIFT, 16},       {SDLK_RSHIFT, 16},       {SDLK_LCTRL, 17},        {SDLK_RCTRL, 17},
    {SDLK_LALT, 18},         {SDLK_RALT, 18},         {SDLK_PAUSE, 19},        {SDLK_CAPSLOCK, 20},
    {SDLK_ESCAPE, 27},       {SDLK_SPACE, 32},        {SDLK_PAGEUP, 33},       {SDLK_PAGEDOWN, 34},
    {SDLK_END, 35},          {SDLK_HOME, 36},         {SDLK_LEFT, 37},         {SDLK_UP, 38},
    {SDLK_RIGHT, 39},        {SDLK_DOWN, 40},         {SDLK_PRINTSCREEN, 44},  {SDLK_INSERT, 45},
    {SDLK_DELETE, 46},       {SDLK_LGUI, 91},         {SDLK_RGUI, 92},         {SDLK_APPLICATION, 93},
    {SDLK_KP_0, 96},         {SDLK_KP_1, 97},         {SDLK_KP_2, 98},         {SDLK_KP_3, 99},
    {SDLK_KP_4, 100},        {SDLK_KP_5, 101},        {SDLK_KP_6, 102},        {SDLK_KP_7, 103},
    {SDLK_KP_8, 104},        {SDLK_KP_9, 105},        {SDLK_KP_MULTIPLY, 106}, {SDLK_KP_PLUS, 107},
    {SDLK_KP_MINUS, 109},    {SDLK_KP_PERIOD, 110},   {SDLK_KP_DIVIDE, 111},   {SDLK_F1, 112},
    {SDLK_F2, 113},          {SDLK_F3, 114},          {SDLK_F4, 115},          {SDLK_F5, 116},
    {SDLK_F6, 117},          {SDLK_F7, 118},          {SDLK_F8, 119},          {SDLK_F9, 120},
    {SDLK_F10, 121},         {SDLK_F11, 122},         {SDLK_F12, 123},         {SDLK_F13, 124},
    {SDLK_F14, 125},         {SDLK_F15, 126},         {SDLK_F16, 127},         {SDLK_F17, 128},
    {SDLK_F18, 129},         {SDLK_F19, 130},         {SDLK_F20, 131},         {SDLK_F21, 132},
    {SDLK_F22, 133},         {SDLK_F23, 134},         {SDLK_F24, 135},         {SDLK_NUMLOCKCLEAR, 144},
    {SDLK_SCROLLLOCK, 145},  {SDLK_SEMICOLON, 186},   {SDLK_EQUALS, 187},      {SDLK_COMMA, 188},
    {SDLK_MINUS, 189},       {SDLK_PERIOD, 190},      {SDLK_SLASH, 191},       {SDLK_BACKQUOTE, 192},
    {SDLK_LEFTBRACKET, 219}, {SDLK_BACKSLASH, 220},   {SDLK_RIGHTBRACKET, 221}, {SDLK_QUOTE, 222},
};
// clang-format on

}  // namespace

uint32_t get_virtual_key(uint32_t key_code) {
    if (key_code >= 'a' && key_code <= 'z') {
        return key_code - 'a' + 'A';
    }
    if (key_code >= '0' && key_code <= '9') {
        return key_code;
    }
    for (const VirtualKeyRow& row : virtual_key_rows) {
        if (static_cast<uint32_t>(row.key_code) == key_code) {
            return row.virtual_key;
        }
    }
    return 0;
}

}  // namespace zolt::platform
