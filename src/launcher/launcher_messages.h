#pragma once
// Showing the string table's messages: the text formatted with its inserts,
// under the title of its own number.
#include <initializer_list>
#include <string>

#include "launcher/launcher_strings.h"
#include "launcher/launcher_ui.h"
#include "launcher/message_format.h"

namespace zolt::launcher {

std::string format_launcher_string(LauncherString id, std::initializer_list<MessageInsert> inserts = {});

MessageAnswer show_message(LauncherUi& ui, LauncherString text, LauncherString title, MessageStyle style,
                           std::initializer_list<MessageInsert> inserts = {});

}  // namespace zolt::launcher
