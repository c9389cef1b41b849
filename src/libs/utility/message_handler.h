#pragma once
// Diagnostic reports and the handlers that receive them. Every report, fatal
// or not, passes through the registered handlers with its kind; the newest
// handler hears it first.
#include <cstdarg>
#include <cstdint>

namespace zolt {

enum class MessageKind : uint32_t {
    Unknown = 0,
    Panic = 1,
    Error = 2,
    Warning = 3,
    Info = 4,
    Notify = 5,
    Hope = 6,
    Check = 7,
};

const char* get_message_kind_name(MessageKind kind);

class MessageHandler {
public:
    virtual ~MessageHandler();

    virtual void handle_message(MessageKind kind, const char* kind_name, const char* signature, const char* file,
                                uint32_t line, const char* format, va_list arguments) = 0;

    // Links at the head / unlinks, under the handler list lock.
    void register_handler();
    void unregister_handler();
    bool is_registered() const;

private:
    friend void notify_message_handlers(MessageKind, const char*, const char*, uint32_t, const char*, va_list);
    MessageHandler* next_ = nullptr;
    MessageHandler* previous_ = nullptr;
    bool registered_ = false;
};

// Calls every handler from the head, under the list lock.
void notify_message_handlers(MessageKind kind, const char* signature, const char* file, uint32_t line,
                             const char* format, va_list arguments);

// Tells the handlers and returns.
void report_message(MessageKind kind, const char* signature, const char* file, uint32_t line, const char* format, ...)
    __attribute__((format(printf, 5, 6)));

}  // namespace zolt
