// Bounded random inputs, fixed seeds: the configuration reader, the
// tokenizer, the command-line parser and the text parsers never crash (the
// sanitizers watch every byte), the numeric parsers agree with the C runtime,
// and any configuration text reads and writes to a fixed point.
#include <gtest/gtest.h>

#include <cerrno>
#include <cfloat>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "libs/utility/config_command_line.h"
#include "libs/utility/config_test_table.h"
#include "libs/utility/config_text.h"
#include "libs/utility/text_conversion.h"

namespace zolt {
namespace {

using test::TestConfig;

class RandomText {
public:
    explicit RandomText(uint32_t seed) : engine_(seed) {}

    uint32_t below(uint32_t limit) { return std::uniform_int_distribution<uint32_t>(0, limit - 1)(engine_); }
    bool chance(uint32_t percent) { return below(100) < percent; }

    std::string pick(const std::vector<std::string>& pieces) {
        return pieces[below(static_cast<uint32_t>(pieces.size()))];
    }

    std::string bytes(uint32_t maximum_length, const std::string& alphabet) {
        std::string text;
        const uint32_t length = below(maximum_length + 1);
        for (uint32_t count = 0; count < length; ++count) {
            const uint32_t index = below(static_cast<uint32_t>(alphabet.size()));
            text += chance(3) ? static_cast<char>(below(255) + 1) : alphabet[index];
        }
        return text;
    }

    // Flips, inserts and removes a few bytes.
    std::string mutate(std::string text) {
        const uint32_t changes = below(4);
        for (uint32_t change = 0; change < changes; ++change) {
            const uint32_t position = text.empty() ? 0 : below(static_cast<uint32_t>(text.size()));
            switch (below(3)) {
            case 0:
                if (!text.empty()) {
                    text[position] = static_cast<char>(below(256));
                }
                break;
            case 1:
                text.insert(text.begin() + position, static_cast<char>(below(256)));
                break;
            default:
                if (!text.empty()) {
                    text.erase(position, 1 + below(3));
                }
                break;
            }
        }
        return text;
    }

private:
    std::mt19937 engine_;
};

const std::string number_alphabet = "0123456789012345678901234567890123456789abcdefxXbBeE+-.  \t";

std::string make_number_text(RandomText& random) {
    static const std::vector<std::string> prefixes = {"", "", "", "0x", "0X", "0b", "-", "+", " ", "0x-", "-0x"};
    static const std::vector<std::string> edges = {
        "4294967295",   "4294967296", "2147483647", "2147483648", "-2147483648",          "-2147483649", "3.4028234e38",
        "3.4028236e38", "1e-45",      "1e-400",     "1e39",       "18446744073709551615", "FFFFFFFF",
    };
    std::string text = random.pick(prefixes);
    text += random.chance(20) ? random.pick(edges) : random.bytes(24, number_alphabet);
    return random.chance(10) ? random.mutate(text) : text;
}

void skip_blanks_and_sign(const char* text, bool* negative, const char** digits) {
    while (*text == ' ' || (*text >= '\t' && *text <= '\r')) {
        ++text;
    }
    *negative = *text == '-';
    *digits = *text == '-' || *text == '+' ? text + 1 : text;
}

TEST(ConfigFuzz, NumericParsersAgreeWithTheCRuntime) {
    RandomText random(0x5EED0001);
    uint32_t compared_unsigned = 0;
    uint32_t compared_float = 0;
    uint32_t accepted_unsigned = 0;
    uint32_t accepted_float = 0;
    for (int round = 0; round < 200000; ++round) {
        const std::string text = make_number_text(random);
        const char* const input = text.c_str();

        int32_t signed_value = 0;
        const bool signed_parsed = parse_int(input, &signed_value);
        errno = 0;
        char* end = nullptr;
        const long long wide = std::strtoll(input, &end, 10);
        const bool signed_expected =
            end != input && *end == 0 && errno != ERANGE && wide >= INT32_MIN && wide <= INT32_MAX;
        ASSERT_EQ(signed_parsed, signed_expected) << text;
        if (signed_parsed) {
            ASSERT_EQ(signed_value, wide) << text;
        }

        uint32_t unsigned_value = 0;
        const bool unsigned_parsed = parse_unsigned(input, &unsigned_value);
        uint32_t base = 10;
        const char* rest = input;
        if (input[0] == '0' && (input[1] == 'x' || input[1] == 'X')) {
            base = 16, rest += 2;
        } else if (input[0] == '0' && (input[1] == 'b' || input[1] == 'B')) {
            base = 2, rest += 2;
        }
        bool negative = false;
        const char* digits = nullptr;
        skip_blanks_and_sign(rest, &negative, &digits);
        // The C runtime takes a second prefix after the first; we do not.
        const bool second_prefix = base != 10 && digits[0] == '0' &&
                                   (digits[1] == 'x' || digits[1] == 'X' || digits[1] == 'b' || digits[1] == 'B');
        if (!second_prefix) {
            errno = 0;
            const unsigned long long result = std::strtoull(rest, &end, static_cast<int>(base));
            const unsigned long long magnitude = negative ? 0 - result : result;
            const bool unsigned_expected = end != rest && *end == 0 && errno != ERANGE && magnitude <= UINT32_MAX;
            ASSERT_EQ(unsigned_parsed, unsigned_expected) << text;
            if (unsigned_parsed) {
                ASSERT_EQ(unsigned_value, static_cast<uint32_t>(result)) << text;
            }
            ++compared_unsigned;
            accepted_unsigned += unsigned_parsed ? 1 : 0;
        }

        float float_value = 0.0f;
        const bool float_parsed = parse_float(input, &float_value);
        if (std::strpbrk(input, "xXnNiIpP") == nullptr) {
            errno = 0;
            const double result = std::strtod(input, &end);
            const bool range_error = errno == ERANGE;
            // The C runtime also calls tiny but representable results a
            // range error; those are no number the configuration needs.
            if (!(range_error && result != 0.0)) {
                const bool float_expected =
                    end != input && *end == 0 && !range_error && result <= FLT_MAX && result >= -FLT_MAX;
                ASSERT_EQ(float_parsed, float_expected) << text;
                if (float_parsed) {
                    ASSERT_EQ(float_value, static_cast<float>(result)) << text;
                }
                ++compared_float;
                accepted_float += float_parsed ? 1 : 0;
            }
        }

        bool bool_value = false;
        parse_bool(input, &bool_value);
        uint64_t wide_value = 0;
        parse_u64(input, &wide_value);
    }
    // Both answers must be common, or the comparison says little.
    EXPECT_GT(compared_unsigned, 50000u);
    EXPECT_GT(compared_float, 50000u);
    EXPECT_GT(accepted_unsigned, 5000u) << accepted_unsigned;
    EXPECT_GT(accepted_float, 5000u) << accepted_float;
}

TEST(ConfigFuzz, TokenizerStaysInsideItsText) {
    RandomText random(0x5EED0002);
    for (int round = 0; round < 50000; ++round) {
        const std::string line = random.bytes(64, "  \t\"\"''a#=;b");
        const size_t size = std::strlen(line.c_str()) + 1;
        // Exactly the text's size, so a read past the NUL is caught.
        const std::unique_ptr<char[]> block(new char[size]);
        std::memcpy(block.get(), line.c_str(), size);
        char* cursor = block.get();
        bool quoted = false;
        size_t count = 0;
        while (char* token = next_token(&cursor, &quoted)) {
            ASSERT_GE(token, block.get());
            ASSERT_LE(token + std::strlen(token), block.get() + size - 1);
            ASSERT_LE(++count, size);
        }
        ASSERT_EQ(cursor, block.get() + size - 1) << line;
    }
}

const std::vector<std::string> config_words = {
    "flag",  "count",        "offset",    "scale", "label", "any_number", "hidden",    "mask", "ratio", "COUNT",
    "Label", "window_width", "KEY_A",     "=",     "=",     "=",          ";",         ";",    "1",     "yes",
    "maybe", "0x1F",         "-5",        "1.5e3", "11",    "\"a b\"",    "'x \"y\"'", "\"",   "'",     "#c",
    "\"\"",  "count=7",      "label=a=b", "7;",    "=9",    "a\"b'c",     "x;;",
};

std::string make_config_text(RandomText& random) {
    static const std::vector<std::string> separators = {
        " ", " ", " ", "\t", "\n", "\r\n", "\r", "", std::string(1, '\0')};
    std::string text;
    const uint32_t count = random.below(40);
    for (uint32_t index = 0; index < count; ++index) {
        text += random.chance(8) ? random.bytes(12, "ab=;#\"' \t") : random.pick(config_words);
        text += random.pick(separators);
    }
    return random.chance(30) ? random.mutate(text) : text;
}

std::string dump_file_text(const TestConfig& config, std::vector<char>& storage) {
    StringBuffer buffer(storage.data(), static_cast<uint32_t>(storage.size()));
    dump_config_variables_to_buffer(config.table, buffer, ConfigDumpFilter::File, true);
    return buffer.get_text();
}

void parse_text(TestConfig& config, std::string text) {
    parse_config_text(config.table, text.data(), static_cast<uint32_t>(text.size()), true);
}

TEST(ConfigFuzz, ConfigTextReadsAndWritesToAFixedPoint) {
    RandomText random(0x5EED0003);
    std::vector<char> storage(65536);
    // Warnings for text no quoting reads back are expected here.
    test::WarningRecorder recorder;
    for (int round = 0; round < 20000; ++round) {
        const std::string text = make_config_text(random);
        auto first = TestConfig::make();
        parse_text(*first, text);
        const std::string written = dump_file_text(*first, storage);
        auto second = TestConfig::make();
        parse_text(*second, written);
        const std::string rewritten = dump_file_text(*second, storage);
        ASSERT_EQ(rewritten, written) << "from: " << text;
        recorder.warnings.clear();
    }
}

TEST(ConfigFuzz, CommandLinesNeverCrash) {
    RandomText random(0x5EED0004);
    auto config = TestConfig::make();
    for (int round = 0; round < 20000; ++round) {
        std::vector<std::string> arguments(random.below(8));
        for (std::string& argument : arguments) {
            argument = random.chance(50) ? random.pick({"-", "--", "---", ""}) + random.pick(config_words)
                                         : random.bytes(10, "-=ab?h");
        }
        std::vector<const char*> pointers;
        for (const std::string& argument : arguments) {
            pointers.push_back(argument.c_str());
        }
        parse_config_command_line(config->table, static_cast<int>(pointers.size()), pointers.data());
        if (round % 1000 == 999) {
            config = TestConfig::make();
        }
    }
    EXPECT_EQ(config->table.get_unknown_keys().get_count(), 0u);
}

}  // namespace
}  // namespace zolt
