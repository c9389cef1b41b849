#pragma once
// Message boxes in the desktop's style (GTK 3), modal, with no owner window.
// GTK starts on the first box; without a desktop to show one the call
// answers false and shows nothing.
#include <cstdint>
#include <string>

namespace zolt::platform {

enum class MessageBoxKind : uint32_t { error, warning, information, question };
enum class MessageBoxAnswer : uint32_t { ok, yes, no };

bool show_message_box(const std::string& title, const std::string& text, MessageBoxKind kind, MessageBoxAnswer* answer);

}  // namespace zolt::platform
