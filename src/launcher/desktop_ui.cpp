#include "launcher/desktop_ui.h"

#include <cstdio>

#include "platform/launcher_ui/message_box.h"

namespace zolt::launcher {

MessageAnswer DesktopUi::show_message(const std::string& title, const std::string& text, MessageStyle style) {
    const platform::MessageBoxKind kind = style == MessageStyle::error      ? platform::MessageBoxKind::error
                                          : style == MessageStyle::warning  ? platform::MessageBoxKind::warning
                                          : style == MessageStyle::question ? platform::MessageBoxKind::question
                                                                            : platform::MessageBoxKind::information;
    platform::MessageBoxAnswer answer = platform::MessageBoxAnswer::ok;
    if (!platform::show_message_box(title, text, kind, &answer)) {
        std::fprintf(stderr, "%s\n%s\n", title.c_str(), text.c_str());
        return style == MessageStyle::question ? MessageAnswer::no : MessageAnswer::ok;
    }
    return answer == platform::MessageBoxAnswer::yes  ? MessageAnswer::yes
           : answer == platform::MessageBoxAnswer::no ? MessageAnswer::no
                                                      : MessageAnswer::ok;
}

bool DesktopUi::run_first_run_dialog(LauncherConfig&) {
    return true;
}

bool DesktopUi::run_options_sheet(LauncherConfig&) {
    return true;
}

}  // namespace zolt::launcher
