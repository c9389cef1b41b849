#include "libs/opengl/opengl_error.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/opengl_config.h"
#include "libs/utility/message_handler.h"
#include "support/child_process.h"
#include "support/gl_context.h"

namespace zolt::opengl {
namespace {

using test::ScopedValue;

class ReportCollector : public MessageHandler {
public:
    struct Report {
        MessageKind kind;
        std::string text;
        uint32_t line;
    };

    ReportCollector() { register_handler(); }
    ~ReportCollector() override { unregister_handler(); }

    void handle_message(MessageKind kind, const char*, const char*, const char*, uint32_t line, const char* format,
                        va_list arguments) override {
        char text[256];
        std::vsnprintf(text, sizeof(text), format, arguments);
        reports.push_back({kind, text, line});
    }

    std::vector<Report> reports;
};

TEST(OpenGLErrorNames, NameEveryCodeOfGlGetError) {
    const std::pair<uint32_t, const char*> rows[] = {
        {0, "no error"},           {0x500, "invalid enum"},    {0x501, "invalid value"}, {0x502, "invalid operation"},
        {0x503, "stack overflow"}, {0x504, "stack underflow"}, {0x505, "out of memory"}, {0x8031, "table too large"},
        {0x506, "unknown error"},
    };
    for (const auto& [code, name] : rows) {
        EXPECT_STREQ(error::get_error_name(code), name) << code;
    }
}

class OpenGLErrorChecks : public test::GlContextTest {};

TEST_F(OpenGLErrorChecks, DrainReportAndCountRealErrors) {
    ReportCollector collector;
    EXPECT_EQ(error::skip_all_errors("signature", "file.cpp", 12), 0u);
    EXPECT_TRUE(collector.reports.empty());

    gl.glEnable(0xFFFF);
    const uint32_t line = __LINE__ + 1;
    EXPECT_EQ(ZOLT_SKIP_OPENGL_ERRORS(), 1u);
    ASSERT_EQ(collector.reports.size(), 1u);
    EXPECT_EQ(collector.reports[0].kind, MessageKind::Check);
    EXPECT_EQ(collector.reports[0].text, "1 errors detected in skip_all_errors()");
    EXPECT_EQ(collector.reports[0].line, line);
    EXPECT_EQ(gl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    collector.reports.clear();
    gl.glPopMatrix();
    EXPECT_EQ(error::check_all_errors("signature", "file.cpp", 7), 1u);
    ASSERT_EQ(collector.reports.size(), 1u);
    EXPECT_EQ(collector.reports[0].text, "OpenGL error 1284 detected: stack underflow");

    collector.reports.clear();
    {
        ScopedValue<bool> quiet(suppress_ogl_error_output, true);
        gl.glEnable(0xFFFF);
        EXPECT_EQ(error::skip_all_errors("signature", "file.cpp", 1), 1u);
    }
    {
        ScopedValue<bool> skip(skip_all_ogl_checks, true);
        gl.glEnable(0xFFFF);
        EXPECT_EQ(error::check_all_errors("signature", "file.cpp", 1), 0u);
    }
    EXPECT_TRUE(collector.reports.empty());
    EXPECT_EQ(gl.glGetError(), static_cast<GLenum>(GL_INVALID_ENUM));
}

GLenum endless_error() {
    return GL_INVALID_OPERATION;
}

uint32_t errors_left = 0;
GLenum countdown_error() {
    return errors_left > 0 ? (--errors_left, GL_INVALID_VALUE) : GL_NO_ERROR;
}

TEST(OpenGLErrorDrain, PanicsAtTheHundredthErrorInOneDrain) {
    ScopedValue<decltype(gl.glGetError)> get_error(gl.glGetError, &countdown_error);
    errors_left = 99;
    EXPECT_EQ(error::skip_all_errors("signature", "file.cpp", 1), 99u);

    const test::ChildResult result = test::run_in_child([] {
        gl.glGetError = &endless_error;
        error::check_all_errors("signature", "file.cpp", 1);
    });
    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.exit_code, ExitCode::crash);
    EXPECT_NE(result.standard_error.find(
                  "zolt: fatal error: infinite loop in check_opengl_errors() detected, perhaps glBegin() is active?"),
              std::string::npos)
        << result.standard_error;
}

}  // namespace
}  // namespace zolt::opengl
