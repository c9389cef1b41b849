#pragma once
// A configuration table of its own for tests, with one variable of each type
// and each writing flag, and a handler that records warnings.
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "libs/utility/config_variable_row.h"
#include "libs/utility/message_handler.h"

namespace zolt::test {

struct TestConfig {
    ConfigVariableTable table;
    bool flag = false;
    uint32_t count = 0;
    int32_t offset = 0;
    float scale = 0.0f;
    const char* label = nullptr;
    uint32_t any_number = 0;
    const char* hidden = nullptr;
    uint32_t mask = 0;
    float ratio = 0.0f;

    ConfigVariableRow<bool> flag_row{table, 1, "flag", &flag, false, false, true, config_written_when_changed};
    ConfigVariableRow<uint32_t> count_row{table, 2, "count", &count, 5, 1, 10, config_written_when_changed};
    ConfigVariableRow<int32_t> offset_row{table, 3, "offset", &offset, -3, -100, 100, config_always_written};
    ConfigVariableRow<float> scale_row{table, 4, "scale", &scale, 0.5f, 0.0f, 2.0f, config_profile_variable};
    ConfigVariableRow<const char*> label_row{table, 5, "label", &label, ".", config_written_when_changed};
    ConfigVariableRow<uint32_t> any_number_row{
        table, 6, "any_number", &any_number, 0, 0, 0, config_written_when_changed};
    ConfigVariableRow<const char*> hidden_row{table, 7, "hidden", &hidden, nullptr, config_never_written};
    ConfigVariableRow<uint32_t> mask_row{table, 9, "mask", &mask, 0, 0, 0xFFFFFFFFu, config_profile_variable};
    ConfigVariableRow<float> ratio_row{table, 10, "ratio", &ratio, 1.0f, config_written_when_changed};

    // Large: keep it off the stack, and leave the stores that need no
    // initial bytes as they come.
    static std::unique_ptr<TestConfig> make() { return std::unique_ptr<TestConfig>(new TestConfig); }
};

class WarningRecorder final : public MessageHandler {
public:
    WarningRecorder() { register_handler(); }
    ~WarningRecorder() override { unregister_handler(); }

    void handle_message(MessageKind kind, const char*, const char*, const char*, uint32_t, const char* format,
                        va_list arguments) override {
        if (kind == MessageKind::Warning) {
            char text[512];
            std::vsnprintf(text, sizeof text, format, arguments);
            warnings.emplace_back(text);
        }
    }

    std::vector<std::string> warnings;
};

}  // namespace zolt::test
