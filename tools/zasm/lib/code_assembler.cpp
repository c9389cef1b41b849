#include "code_assembler.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "libs/io/pack_format.h"
#include "text_literal.h"
#include "zolt/builtins/builtin_list.h"
#include "zolt/core/script/code_resource_format.h"
#include "zolt/core/script/opcode_table.h"

namespace zolt::tools {
namespace {

using core::OperandKind;

// Code resources load aligned to 8 bytes, more than their operands need.
constexpr uint32_t code_alignment_exponent = 3;

enum class TokenKind { identifier, number, text, comma, open, close, colon };

struct Token {
    TokenKind kind;
    std::string text;
};

struct Number {
    bool is_float = false;
    int64_t integer = 0;  // integers only
    uint32_t bits = 0;    // the word it stands for
};

enum class ExpressionKind { constant, label, entry_reference };

struct Expression {
    ExpressionKind kind = ExpressionKind::constant;
    uint32_t value = 0;
    std::string label;
    uint32_t line = 0;
};

enum class ItemKind { instruction, bytes, words };

struct Item {
    ItemKind kind = ItemKind::instruction;
    uint32_t line = 0;
    uint8_t opcode = 0;
    std::vector<Expression> words;
    std::vector<uint8_t> bytes;
    std::vector<char16_t> text;
    uint32_t offset = 0;
};

struct Section {
    uint32_t line = 0;
    uint32_t chain_index = 0;
    uint32_t key = 0;
    uint32_t resource_id = 0;
    std::vector<Expression> entries;
    std::vector<Item> items;
    // The index of the item a label stands before; the item count for the end.
    std::map<std::string, size_t> labels;
    uint32_t code_size = 0;
};

bool is_identifier_start(char character) {
    return std::isalpha(static_cast<unsigned char>(character)) != 0 || character == '_' || character == '.';
}

bool is_identifier_part(char character) {
    return std::isalnum(static_cast<unsigned char>(character)) != 0 || character == '_' || character == '.';
}

bool is_digit(char character) {
    return std::isdigit(static_cast<unsigned char>(character)) != 0;
}

bool lex_line(const std::string& line, std::vector<Token>* tokens, std::string* error) {
    tokens->clear();
    size_t index = 0;
    const size_t size = line.size();
    while (index < size) {
        const char character = line[index];
        const char next = index + 1 < size ? line[index + 1] : '\0';
        if (character == ' ' || character == '\t' || character == '\r') {
            ++index;
        } else if (character == ';') {
            break;
        } else if (character == ',' || character == ':' || character == '(' || character == ')') {
            const TokenKind kind = character == ','   ? TokenKind::comma
                                   : character == ':' ? TokenKind::colon
                                   : character == '(' ? TokenKind::open
                                                      : TokenKind::close;
            tokens->push_back({kind, std::string(1, character)});
            ++index;
        } else if (character == '"') {
            size_t end = index + 1;
            while (end < size && line[end] != '"') {
                end += line[end] == '\\' ? 2 : 1;
            }
            if (end >= size) {
                *error = "text literal without its closing quote";
                return false;
            }
            tokens->push_back({TokenKind::text, line.substr(index + 1, end - index - 1)});
            index = end + 1;
        } else if (is_digit(character) || ((character == '-' || character == '+') && (is_digit(next) || next == '.')) ||
                   (character == '.' && is_digit(next))) {
            size_t end = index + 1;
            const bool is_hex = line.compare(index + (character == '-' || character == '+' ? 1 : 0), 2, "0x") == 0 ||
                                line.compare(index + (character == '-' || character == '+' ? 1 : 0), 2, "0X") == 0;
            while (end < size) {
                const char part = line[end];
                const char previous = line[end - 1];
                if (std::isalnum(static_cast<unsigned char>(part)) != 0 || part == '.' ||
                    (!is_hex && (part == '-' || part == '+') && (previous == 'e' || previous == 'E'))) {
                    ++end;
                } else {
                    break;
                }
            }
            tokens->push_back({TokenKind::number, line.substr(index, end - index)});
            index = end;
        } else if (is_identifier_start(character)) {
            size_t end = index + 1;
            while (end < size && is_identifier_part(line[end])) {
                ++end;
            }
            tokens->push_back({TokenKind::identifier, line.substr(index, end - index)});
            index = end;
        } else {
            *error = std::string("unexpected character '") + character + "'";
            return false;
        }
    }
    return true;
}

bool parse_number(const std::string& text, Number* number, std::string* error) {
    *number = {};
    const bool is_negative = text[0] == '-';
    const size_t digits_start = text[0] == '-' || text[0] == '+' ? 1 : 0;
    const std::string digits = text.substr(digits_start);
    const bool is_hex = digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X');
    if (!is_hex && digits.find_first_of(".eE") != std::string::npos) {
        std::string body = text;
        if (!body.empty() && (body.back() == 'f' || body.back() == 'F')) {
            body.pop_back();
        }
        errno = 0;
        char* end = nullptr;
        const float value = std::strtof(body.c_str(), &end);
        if (end != body.c_str() + body.size() || errno == ERANGE) {
            *error = "\"" + text + "\" is not a float number";
            return false;
        }
        number->is_float = true;
        std::memcpy(&number->bits, &value, sizeof value);
        return true;
    }
    const std::string body = is_hex ? digits.substr(2) : digits;
    const int base = is_hex ? 16 : 10;
    uint64_t magnitude = 0;
    for (const char digit : body) {
        const int value = std::isxdigit(static_cast<unsigned char>(digit)) == 0 ? -1
                          : is_digit(digit)                                     ? digit - '0'
                                                                                : std::tolower(digit) - 'a' + 10;
        if (value < 0 || value >= base) {
            *error = "\"" + text + "\" is not a number";
            return false;
        }
        magnitude = magnitude * static_cast<uint64_t>(base) + static_cast<uint64_t>(value);
        if (magnitude > 0xFFFFFFFFull) {
            *error = "\"" + text + "\" does not fit 32 bits";
            return false;
        }
    }
    if (body.empty()) {
        *error = "\"" + text + "\" is not a number";
        return false;
    }
    if (is_negative && magnitude > 0x80000000ull) {
        *error = "\"" + text + "\" does not fit 32 bits";
        return false;
    }
    number->integer = is_negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    number->bits = static_cast<uint32_t>(number->integer);
    return true;
}

class LineParser {
public:
    LineParser(const std::vector<Token>& tokens, size_t position, uint32_t line)
        : tokens_(tokens), position_(position), line_(line) {}

    bool at_end() const { return position_ >= tokens_.size(); }
    const std::string& get_error() const { return error_; }
    bool fail(const std::string& message) {
        if (error_.empty()) {
            error_ = message;
        }
        return false;
    }

    bool take(TokenKind kind, std::string* text = nullptr) {
        if (at_end() || tokens_[position_].kind != kind) {
            return false;
        }
        if (text != nullptr) {
            *text = tokens_[position_].text;
        }
        ++position_;
        return true;
    }

    bool is_next(TokenKind kind, size_t ahead = 0) const {
        return position_ + ahead < tokens_.size() && tokens_[position_ + ahead].kind == kind;
    }

    bool parse_integer(int64_t minimum, int64_t maximum, const char* what, int64_t* value) {
        std::string text;
        if (!take(TokenKind::number, &text)) {
            return fail(std::string("expected ") + what);
        }
        Number number;
        std::string error;
        if (!parse_number(text, &number, &error)) {
            return fail(error);
        }
        if (number.is_float || number.integer < minimum || number.integer > maximum) {
            return fail(std::string(what) + " must be an integer from " + std::to_string(minimum) + " to " +
                        std::to_string(maximum));
        }
        *value = number.integer;
        return true;
    }

    // A word: a number, a label, code(entry), code(chain, key, entry),
    // builtin(name) or builtin(id).
    bool parse_expression(const Section& section, Expression* expression) {
        *expression = {};
        expression->line = line_;
        std::string text;
        if (is_next(TokenKind::number)) {
            take(TokenKind::number, &text);
            Number number;
            std::string error;
            if (!parse_number(text, &number, &error)) {
                return fail(error);
            }
            expression->value = number.bits;
            return true;
        }
        if (!take(TokenKind::identifier, &text)) {
            return fail("expected a value");
        }
        if ((text == "code" || text == "builtin") && take(TokenKind::open)) {
            return parse_reference(section, text == "builtin", expression);
        }
        if (text[0] == '.') {
            return fail("\"" + text + "\" is not a label");
        }
        expression->kind = ExpressionKind::label;
        expression->label = text;
        return true;
    }

    bool parse_expressions(const Section& section, std::vector<Expression>* expressions) {
        do {
            Expression expression;
            if (!parse_expression(section, &expression)) {
                return false;
            }
            expressions->push_back(expression);
        } while (take(TokenKind::comma));
        return true;
    }

    bool expect_end() { return at_end() || fail("unexpected \"" + tokens_[position_].text + "\""); }

private:
    bool parse_reference(const Section& section, bool is_builtin, Expression* expression) {
        int64_t values[3] = {};
        if (is_builtin) {
            std::string name;
            if (is_next(TokenKind::identifier) && take(TokenKind::identifier, &name)) {
                const core::BuiltinRow* const row = core::find_builtin_row_by_name(name);
                if (row == nullptr) {
                    return fail("no builtin is named \"" + name + "\"");
                }
                values[0] = row->id;
            } else if (!parse_integer(0, core::max_entry_index, "a builtin id", &values[0])) {
                return false;
            }
            if (!take(TokenKind::close)) {
                return fail("expected builtin(<name>) or builtin(<id>)");
            }
            expression->value = core::make_builtin_reference(static_cast<uint32_t>(values[0]));
            return true;
        }
        std::string label;
        if (is_next(TokenKind::identifier) && take(TokenKind::identifier, &label)) {
            if (!take(TokenKind::close)) {
                return fail("expected code(<entry>)");
            }
            expression->kind = ExpressionKind::entry_reference;
            expression->label = label;
            return true;
        }
        if (!parse_integer(0, core::max_entry_index, "an entry index", &values[0])) {
            return false;
        }
        if (take(TokenKind::close)) {
            expression->value =
                core::make_code_reference(section.chain_index, section.key, static_cast<uint32_t>(values[0]));
            return true;
        }
        if (!take(TokenKind::comma) || !parse_integer(0, core::max_code_key, "a key", &values[1]) ||
            !take(TokenKind::comma) || !parse_integer(0, core::max_entry_index, "an entry index", &values[2]) ||
            !take(TokenKind::close)) {
            return fail("expected code(<entry>) or code(<chain>, <key>, <entry>)");
        }
        if (values[0] > 15) {
            return fail("a chain index must be an integer from 0 to 15");
        }
        expression->value = core::make_code_reference(
            static_cast<uint32_t>(values[0]), static_cast<uint32_t>(values[1]), static_cast<uint32_t>(values[2]));
        return true;
    }

    const std::vector<Token>& tokens_;
    size_t position_;
    uint32_t line_;
    std::string error_;
};

class Assembler {
public:
    explicit Assembler(const std::string& source_name) : source_name_(source_name) {}

    void parse_source(const std::string& source) {
        uint32_t line_number = 0;
        size_t start = 0;
        while (start <= source.size()) {
            size_t end = source.find('\n', start);
            if (end == std::string::npos) {
                end = source.size();
            }
            ++line_number;
            parse_line(source.substr(start, end - start), line_number);
            start = end + 1;
        }
    }

    void build(std::vector<AssembledCode>* codes) {
        for (Section& section : sections_) {
            lay_out(section);
            AssembledCode code;
            code.resource_id = section.resource_id;
            encode(section, &code.bytes);
            codes->push_back(std::move(code));
        }
    }

    bool has_errors() const { return !errors_.empty(); }
    const std::string& get_errors() const { return errors_; }

private:
    void report(uint32_t line, const std::string& message) {
        errors_ += source_name_ + ":" + std::to_string(line) + ": " + message + "\n";
    }

    void parse_line(const std::string& text, uint32_t line) {
        std::vector<Token> tokens;
        std::string error;
        if (!lex_line(text, &tokens, &error)) {
            report(line, error);
            return;
        }
        size_t position = 0;
        while (position + 1 < tokens.size() && tokens[position].kind == TokenKind::identifier &&
               tokens[position + 1].kind == TokenKind::colon) {
            define_label(tokens[position].text, line);
            position += 2;
        }
        if (position == tokens.size()) {
            return;
        }
        LineParser parser(tokens, position + 1, line);
        const Token& head = tokens[position];
        if (head.kind != TokenKind::identifier) {
            report(line, "expected an instruction, a directive or a label");
            return;
        }
        const bool is_parsed =
            head.text[0] == '.' ? parse_directive(head.text, parser, line) : parse_instruction(head.text, parser, line);
        if (!is_parsed) {
            report(line, parser.get_error().empty() ? "broken line" : parser.get_error());
        }
    }

    Section* get_section(uint32_t line) {
        if (sections_.empty()) {
            report(line, "code before the first .code");
            return nullptr;
        }
        return &sections_.back();
    }

    void define_label(const std::string& name, uint32_t line) {
        Section* const section = get_section(line);
        if (section == nullptr) {
            return;
        }
        if (name[0] == '.' || name == "code" || name == "builtin") {
            report(line, "\"" + name + "\" cannot name a label");
        } else if (!section->labels.emplace(name, section->items.size()).second) {
            report(line, "label \"" + name + "\" is defined twice");
        }
    }

    bool parse_directive(const std::string& name, LineParser& parser, uint32_t line) {
        if (name == ".code") {
            return parse_code_directive(parser, line);
        }
        Section* const section = get_section(line);
        if (section == nullptr) {
            return true;
        }
        if (name == ".entry") {
            Expression entry;
            entry.line = line;
            std::string label;
            int64_t offset = 0;
            if (parser.take(TokenKind::identifier, &label)) {
                entry.kind = ExpressionKind::label;
                entry.label = label;
            } else if (!parser.is_next(TokenKind::number)) {
                return parser.fail("expected .entry <label> or .entry <offset>");
            } else if (parser.parse_integer(0, 0xFFFFFFFFll, "an entry offset", &offset)) {
                entry.value = static_cast<uint32_t>(offset);
            } else {
                return false;
            }
            section->entries.push_back(entry);
            return parser.expect_end();
        }
        if (name == ".byte") {
            Item item;
            item.kind = ItemKind::bytes;
            item.line = line;
            do {
                int64_t value = 0;
                if (!parser.parse_integer(-128, 255, "a byte", &value)) {
                    return false;
                }
                item.bytes.push_back(static_cast<uint8_t>(value));
            } while (parser.take(TokenKind::comma));
            section->items.push_back(std::move(item));
            return parser.expect_end();
        }
        if (name == ".word") {
            Item item;
            item.kind = ItemKind::words;
            item.line = line;
            if (!parser.parse_expressions(*section, &item.words)) {
                return false;
            }
            section->items.push_back(std::move(item));
            return parser.expect_end();
        }
        return parser.fail("unknown directive \"" + name + "\"");
    }

    // .code <chain> <key> [language <n>] [id <resource id>]
    bool parse_code_directive(LineParser& parser, uint32_t line) {
        Section section;
        section.line = line;
        int64_t chain_index = 0;
        int64_t key = 0;
        if (!parser.parse_integer(0, 15, "a chain index", &chain_index) ||
            !parser.parse_integer(0, core::max_code_key, "a key", &key)) {
            return false;
        }
        section.chain_index = static_cast<uint32_t>(chain_index);
        section.key = static_cast<uint32_t>(key);
        int64_t language = 0;
        int64_t resource_id = -1;
        bool has_language = false;
        std::string option;
        while (parser.take(TokenKind::identifier, &option)) {
            if (option == "language" && !has_language && resource_id < 0) {
                has_language = true;
                if (!parser.parse_integer(0, 15, "a language number", &language)) {
                    return false;
                }
            } else if (option == "id" && !has_language && resource_id < 0) {
                if (!parser.parse_integer(0, 0xFFFFFFFFll, "a resource id", &resource_id)) {
                    return false;
                }
            } else {
                return parser.fail("expected language <n> or id <resource id>, not both");
            }
        }
        section.resource_id = resource_id >= 0 ? static_cast<uint32_t>(resource_id)
                                               : core::make_code_resource_id(section.chain_index, section.key,
                                                                             static_cast<uint32_t>(language));
        for (const Section& other : sections_) {
            if (other.resource_id == section.resource_id) {
                char message[96];
                std::snprintf(message, sizeof message, "resource 0x%08X is already defined on line %u",
                              section.resource_id, other.line);
                return parser.fail(message);
            }
        }
        sections_.push_back(std::move(section));
        return parser.expect_end();
    }

    bool parse_instruction(const std::string& name, LineParser& parser, uint32_t line) {
        Section* const section = get_section(line);
        if (section == nullptr) {
            return true;
        }
        const int opcode = core::find_opcode_by_name(name.c_str());
        if (opcode < 0) {
            return parser.fail("unknown opcode \"" + name + "\"");
        }
        Item item;
        item.line = line;
        item.opcode = static_cast<uint8_t>(opcode);
        const OperandKind kind = core::opcode_table[opcode].operand;
        int64_t value = 0;
        switch (kind) {
        case OperandKind::none:
            break;
        case OperandKind::byte:
            if (!parser.parse_integer(0, 255, "a byte operand", &value)) {
                return false;
            }
            item.bytes.push_back(static_cast<uint8_t>(value));
            break;
        case OperandKind::signed_byte:
            if (!parser.parse_integer(-128, 127, "a signed byte operand", &value)) {
                return false;
            }
            item.bytes.push_back(static_cast<uint8_t>(value));
            break;
        case OperandKind::text: {
            std::string body;
            std::string error;
            if (!parser.take(TokenKind::text, &body)) {
                return parser.fail("expected a text literal in double quotes");
            }
            if (!parse_text_literal(body, &item.text, &error)) {
                return parser.fail(error);
            }
            break;
        }
        default: {
            const uint32_t count = core::get_operand_word_count(kind);
            if (!parser.parse_expressions(*section, &item.words)) {
                return false;
            }
            if (item.words.size() != count) {
                return parser.fail(name + " takes " + std::to_string(count) + " word operand" + (count > 1 ? "s" : ""));
            }
        }
        }
        section->items.push_back(std::move(item));
        return parser.expect_end();
    }

    static uint32_t get_item_size(const Item& item, uint32_t offset) {
        switch (item.kind) {
        case ItemKind::bytes:
            return static_cast<uint32_t>(item.bytes.size());
        case ItemKind::words:
            return core::align_code_offset(offset) - offset + 4 * static_cast<uint32_t>(item.words.size());
        case ItemKind::instruction:
            break;
        }
        const OperandKind kind = core::opcode_table[item.opcode].operand;
        const uint32_t word_offset = core::get_operand_word_offset(offset);
        switch (kind) {
        case OperandKind::none:
            return 1;
        case OperandKind::byte:
        case OperandKind::signed_byte:
            return 2;
        case OperandKind::text:
            return word_offset + 4 + 2 * static_cast<uint32_t>(item.text.size()) - offset;
        default:
            return word_offset + 4 * core::get_operand_word_count(kind) - offset;
        }
    }

    void lay_out(Section& section) {
        uint32_t offset = 0;
        for (Item& item : section.items) {
            item.offset = offset;
            offset += get_item_size(item, offset);
        }
        section.code_size = offset;
    }

    bool find_label(const Section& section, const std::string& name, uint32_t* offset) const {
        const auto found = section.labels.find(name);
        if (found == section.labels.end()) {
            return false;
        }
        *offset = found->second < section.items.size() ? section.items[found->second].offset : section.code_size;
        return true;
    }

    uint32_t resolve(const Section& section, const Expression& expression) {
        uint32_t offset = 0;
        switch (expression.kind) {
        case ExpressionKind::constant:
            return expression.value;
        case ExpressionKind::label:
            if (!find_label(section, expression.label, &offset)) {
                report(expression.line, "label \"" + expression.label + "\" is not defined");
            }
            return offset;
        case ExpressionKind::entry_reference:
            for (uint32_t index = 0; index < section.entries.size(); ++index) {
                const Expression& entry = section.entries[index];
                if (entry.kind == ExpressionKind::label && entry.label == expression.label) {
                    if (index > core::max_entry_index) {
                        break;
                    }
                    return core::make_code_reference(section.chain_index, section.key, index);
                }
            }
            report(expression.line, "\"" + expression.label + "\" is not named by an .entry a reference can reach");
            return 0;
        }
        return 0;
    }

    static void put_word(std::vector<uint8_t>& bytes, uint32_t offset, uint32_t word) {
        std::memcpy(bytes.data() + offset, &word, sizeof word);
    }

    void encode(const Section& section, std::vector<uint8_t>* bytes) {
        const uint32_t entry_count = static_cast<uint32_t>(section.entries.size());
        const uint32_t code_offset = core::code_resource_header_size + 4 * entry_count;
        bytes->assign(size_t{code_offset} + section.code_size, 0);
        core::CodeResourceHeader header{};
        header.identity = core::make_code_identity(section.chain_index, section.key);
        header.entry_table_offset = core::code_resource_header_size;
        header.entry_count = entry_count;
        header.code_offset = code_offset;
        header.code_end_offset = code_offset + section.code_size;
        header.constants_version = core::code_constants_version;
        header.instruction_set_version = core::code_instruction_set_version;
        header.builtins_version = core::code_builtins_version;
        core::write_code_resource_header(header, bytes->data());
        for (uint32_t index = 0; index < entry_count; ++index) {
            put_word(*bytes, core::code_resource_header_size + 4 * index, resolve(section, section.entries[index]));
        }
        for (const Item& item : section.items) {
            const uint32_t at = code_offset + item.offset;
            switch (item.kind) {
            case ItemKind::bytes:
                std::memcpy(bytes->data() + at, item.bytes.data(), item.bytes.size());
                break;
            case ItemKind::words: {
                const uint32_t first = code_offset + core::align_code_offset(item.offset);
                for (size_t index = 0; index < item.words.size(); ++index) {
                    put_word(*bytes, first + 4 * static_cast<uint32_t>(index), resolve(section, item.words[index]));
                }
                break;
            }
            case ItemKind::instruction: {
                (*bytes)[at] = item.opcode;
                const uint32_t word_offset = code_offset + core::get_operand_word_offset(item.offset);
                if (!item.bytes.empty()) {
                    (*bytes)[at + 1] = item.bytes[0];
                } else if (core::opcode_table[item.opcode].operand == OperandKind::text) {
                    put_word(*bytes, word_offset, static_cast<uint32_t>(item.text.size()));
                    for (size_t index = 0; index < item.text.size(); ++index) {
                        const auto unit = static_cast<uint16_t>(item.text[index]);
                        std::memcpy(bytes->data() + word_offset + 4 + 2 * index, &unit, sizeof unit);
                    }
                } else {
                    for (size_t index = 0; index < item.words.size(); ++index) {
                        put_word(*bytes, word_offset + 4 * static_cast<uint32_t>(index),
                                 resolve(section, item.words[index]));
                    }
                }
                break;
            }
            }
        }
    }

    std::string source_name_;
    std::vector<Section> sections_;
    std::string errors_;
};

}  // namespace

bool assemble_code(const std::string& source, const std::string& source_name, std::vector<AssembledCode>* codes,
                   std::string* error) {
    Assembler assembler(source_name);
    assembler.parse_source(source);
    // Built even after a broken line, so that every fault is reported.
    std::vector<AssembledCode> assembled;
    assembler.build(&assembled);
    if (assembler.has_errors()) {
        *error = assembler.get_errors();
        return false;
    }
    codes->insert(codes->end(), std::make_move_iterator(assembled.begin()), std::make_move_iterator(assembled.end()));
    return true;
}

PackResource make_code_pack_resource(const AssembledCode& code) {
    PackResource resource;
    resource.id = code.resource_id;
    resource.flags = io::make_resource_flags(code_alignment_exponent, 0, false);
    resource.data = code.bytes;
    resource.allow_packing = true;
    return resource;
}

}  // namespace zolt::tools
