#pragma once
// An X server of its own for a test: Xvfb on the first free display number,
// started when made and ended when destroyed. Tests that need X skip when
// Xvfb is not installed.
#include <string>

namespace zolt::test {

class XvfbServer {
public:
    // Screen as Xvfb takes it, "WIDTHxHEIGHTxDEPTH".
    explicit XvfbServer(const char* screen = "640x480x24");
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    static bool is_installed();
    bool is_running() const { return pid_ > 0 && !display_.empty(); }
    // ":N", empty when it did not start.
    const std::string& get_display() const { return display_; }
    const std::string& get_failure() const { return failure_; }

private:
    int pid_ = -1;
    std::string display_;
    std::string failure_;
};

}  // namespace zolt::test
