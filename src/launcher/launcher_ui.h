#pragma once
// What the launcher shows the player, behind one interface: the desktop's
// front end implements it, tests record what would be shown. Every call is
// modal and returns when the player has answered.
#include <cstdint>
#include <string>

namespace zolt::launcher {

class LauncherConfig;

enum class MessageStyle : uint32_t {
    error,        // OK with the error icon
    warning,      // OK with the warning icon
    information,  // OK with the information icon
    question,     // Yes and No with the question icon, No the default
};

enum class MessageAnswer : uint32_t { ok, yes, no };

class LauncherUi {
public:
    virtual ~LauncherUi() = default;

    // A message box; title and text are final.
    virtual MessageAnswer show_message(const std::string& title, const std::string& text, MessageStyle style) = 0;
    // The first-run dialog and the options sheet may change the display and
    // sound settings of the record (marking it changed); true when the player
    // confirmed.
    virtual bool run_first_run_dialog(LauncherConfig& config) = 0;
    virtual bool run_options_sheet(LauncherConfig& config) = 0;
};

}  // namespace zolt::launcher
