#pragma once
// Strict conversions of configuration and command-line text, and the
// tokenizer of configuration lines. A parser stores its value only when it
// succeeds. Any thread may call.
#include <cstdint>

namespace zolt {

// ASCII letters compare without regard to case; other bytes as they are.
bool equals_ignoring_case(const char* left, const char* right);

// "0", "1", "false", "true", "no", "yes", "off", "on", in any letter case.
bool parse_bool(const char* text, bool* value);
// "0x" or "0X" starts hexadecimal, "0b" or "0B" binary, else decimal. After
// the prefix: leading white space, an optional sign (a minus negates modulo
// 2^32), at least one digit, nothing after, magnitude within 32 bits.
bool parse_unsigned(const char* text, uint32_t* value);
// Decimal with an optional sign after leading white space, the whole text,
// within 32-bit signed range.
bool parse_int(const char* text, int32_t* value);
// "0x" or "0X" starts hexadecimal, else decimal, 64-bit; text after the
// number is ignored, but the number must fit.
bool parse_u64(const char* text, uint64_t* value);
// A decimal floating-point number (no hexadecimal, infinity or NaN forms),
// the whole text, within plus or minus the largest float.
bool parse_float(const char* text, float* value);

// The next token at the cursor, NUL-terminated in place, or null at the end
// of the text. Blanks and tabs separate tokens. A token that starts with a
// double quote or an apostrophe and meets the same character again is the
// text between them (quoted is set); otherwise it runs to the next blank or
// tab. The cursor moves past the token, but never past the text's NUL.
char* next_token(char** cursor, bool* quoted);

}  // namespace zolt
