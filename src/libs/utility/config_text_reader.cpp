#include <cstring>
#include <vector>

#include "libs/utility/config_text.h"
#include "libs/utility/text_conversion.h"

namespace zolt {
namespace {

struct Token {
    char* text;
    bool quoted;
};

bool is_semicolon(const Token& token) {
    return !token.quoted && std::strcmp(token.text, ";") == 0;
}

bool starts_with_equals_sign(const Token& token) {
    return !token.quoted && token.text[0] == '=';
}

bool ends_with_glued_semicolon(const Token& token) {
    const size_t length = std::strlen(token.text);
    return !token.quoted && length > 1 && token.text[length - 1] == ';';
}

// Reads settings token by token; a setting may run over several lines.
class ConfigTextReader {
public:
    ConfigTextReader(ConfigVariableTable& table, bool keep_unknown_keys)
        : table_(table), keep_unknown_keys_(keep_unknown_keys) {}

    void read_line(const Token* tokens, size_t count) {
        if (count == 0) {
            return;
        }
        if (!continues_open_setting(tokens, count)) {
            state_ = State::ExpectName;
        }
        for (size_t index = 0; index < count; ++index) {
            take_token(tokens[index]);
        }
    }

private:
    enum class State : uint32_t { ExpectName, AfterName, AfterEqualsSign, AfterValue };

    // A setting left open by earlier lines goes on only with what it still
    // lacks: the equals sign or the value, alone on the line or followed by
    // the semicolon. Any other line is a setting of its own.
    bool continues_open_setting(const Token* tokens, size_t count) const {
        switch (state_) {
        case State::AfterName:
            return starts_with_equals_sign(tokens[0]) || count == 1 || (count == 2 && is_semicolon(tokens[1]));
        case State::AfterEqualsSign:
            return count == 1 || is_semicolon(tokens[1]) || ends_with_glued_semicolon(tokens[0]);
        default:
            return true;
        }
    }

    void take_token(const Token& token) {
        switch (state_) {
        case State::ExpectName:
            take_name(token);
            break;
        case State::AfterName:
            if (starts_with_equals_sign(token)) {
                state_ = State::AfterEqualsSign;
                if (token.text[1] != 0) {
                    take_value(token.text + 1, false);
                }
            } else {
                take_value(token.text, token.quoted);
            }
            break;
        case State::AfterEqualsSign:
            take_value(token.text, token.quoted);
            break;
        case State::AfterValue:
            if (is_semicolon(token)) {
                state_ = State::ExpectName;
            } else {
                take_name(token);
            }
            break;
        }
    }

    void take_name(const Token& token) {
        name_ = token.text;
        state_ = State::AfterName;
        if (token.quoted || token.text[0] == 0) {
            return;
        }
        if (char* equals_sign = std::strchr(token.text + 1, '='); equals_sign != nullptr) {
            *equals_sign = 0;
            state_ = State::AfterEqualsSign;
            if (equals_sign[1] != 0) {
                take_value(equals_sign + 1, false);
            }
        }
    }

    void take_value(char* text, bool quoted) {
        state_ = State::AfterValue;
        if (const Token token{text, quoted}; ends_with_glued_semicolon(token)) {
            text[std::strlen(text) - 1] = 0;
            state_ = State::ExpectName;
        }
        table_.set_variable_from_text(name_, text, keep_unknown_keys_);
    }

    ConfigVariableTable& table_;
    const bool keep_unknown_keys_;
    State state_ = State::ExpectName;
    const char* name_ = nullptr;
};

}  // namespace

void parse_config_text(ConfigVariableTable& table, char* text, uint32_t length, bool keep_unknown_keys) {
    ConfigTextReader reader(table, keep_unknown_keys);
    std::vector<Token> tokens;
    char* const end = text + length;
    for (char* line = text; line < end;) {
        char* line_end = line;
        while (line_end < end && *line_end != '\n' && *line_end != '\r' && *line_end != 0) {
            ++line_end;
        }
        *line_end = 0;
        tokens.clear();
        char* cursor = line;
        bool quoted = false;
        while (char* token = next_token(&cursor, &quoted)) {
            if (!quoted && token[0] == '#') {
                break;
            }
            tokens.push_back({token, quoted});
        }
        reader.read_line(tokens.data(), tokens.size());
        line = line_end + 1;
    }
}

void parse_config_text(char* text) {
    parse_config_text(get_config_variable_table(), text, static_cast<uint32_t>(std::strlen(text)), false);
}

}  // namespace zolt
