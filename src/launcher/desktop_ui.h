#pragma once
// The launcher's front end on the desktop: message boxes in the desktop's
// style, or the standard error stream when there is no desktop to show them.
#include "launcher/launcher_ui.h"

namespace zolt::launcher {

class DesktopUi : public LauncherUi {
public:
    MessageAnswer show_message(const std::string& title, const std::string& text, MessageStyle style) override;
    // The dialogs come with the options pages; until then the settings are
    // taken as they stand.
    bool run_first_run_dialog(LauncherConfig& config) override;
    bool run_options_sheet(LauncherConfig& config) override;
};

}  // namespace zolt::launcher
