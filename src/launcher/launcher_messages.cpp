#include "launcher/launcher_messages.h"

namespace zolt::launcher {

std::string format_launcher_string(LauncherString id, std::initializer_list<MessageInsert> inserts) {
    const char* pattern = get_launcher_string(id);
    return pattern != nullptr ? format_message(pattern, inserts) : std::string();
}

MessageAnswer show_message(LauncherUi& ui, LauncherString text, LauncherString title, MessageStyle style,
                           std::initializer_list<MessageInsert> inserts) {
    return ui.show_message(format_launcher_string(title), format_launcher_string(text, inserts), style);
}

}  // namespace zolt::launcher
