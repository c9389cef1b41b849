#include "libs/utility/message_handler.h"

#include <mutex>

namespace zolt {
namespace {
// Recursive, so a handler may report while it handles a report.
std::recursive_mutex& get_handler_list_lock() {
    static auto* lock = new std::recursive_mutex;
    return *lock;
}

MessageHandler* handler_list_head = nullptr;

constexpr const char* kind_names[] = {"unknown", "panic", "error", "warning", "info", "notify", "hope", "check"};
}  // namespace

const char* get_message_kind_name(MessageKind kind) {
    const auto index = static_cast<uint32_t>(kind);
    return index < 8 ? kind_names[index] : kind_names[0];
}

MessageHandler::~MessageHandler() {
    unregister_handler();
}

void MessageHandler::register_handler() {
    std::lock_guard lock(get_handler_list_lock());
    if (registered_) {
        return;
    }
    previous_ = nullptr;
    next_ = handler_list_head;
    if (handler_list_head != nullptr) {
        handler_list_head->previous_ = this;
    }
    handler_list_head = this;
    registered_ = true;
}

void MessageHandler::unregister_handler() {
    std::lock_guard lock(get_handler_list_lock());
    if (!registered_) {
        return;
    }
    if (previous_ != nullptr) {
        previous_->next_ = next_;
    } else {
        handler_list_head = next_;
    }
    if (next_ != nullptr) {
        next_->previous_ = previous_;
    }
    next_ = previous_ = nullptr;
    registered_ = false;
}

bool MessageHandler::is_registered() const {
    std::lock_guard lock(get_handler_list_lock());
    return registered_;
}

void notify_message_handlers(MessageKind kind, const char* signature, const char* file, uint32_t line,
                             const char* format, va_list arguments) {
    std::lock_guard lock(get_handler_list_lock());
    const char* kind_name = get_message_kind_name(kind);
    for (MessageHandler* handler = handler_list_head; handler != nullptr;) {
        MessageHandler* next = handler->next_;
        va_list copy;
        va_copy(copy, arguments);
        handler->handle_message(kind, kind_name, signature, file, line, format, copy);
        va_end(copy);
        handler = next;
    }
}

void report_message(MessageKind kind, const char* signature, const char* file, uint32_t line, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    notify_message_handlers(kind, signature, file, line, format, arguments);
    va_end(arguments);
}

}  // namespace zolt
