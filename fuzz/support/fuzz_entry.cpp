#include "support/fuzz_entry.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include "libs/utility/fatal_error.h"
#include "libs/utility/message_handler.h"

namespace zolt {
namespace {
std::jmp_buf* fuzz_entry = nullptr;

class FatalMessageRecorder final : public MessageHandler {
public:
    FatalMessageRecorder() { register_handler(); }
    void handle_message(MessageKind kind, const char*, const char*, const char*, uint32_t, const char* format,
                        va_list arguments) override {
        if (kind == MessageKind::Panic || kind == MessageKind::Error) {
            std::vsnprintf(message, sizeof message, format, arguments);
        }
    }
    char message[1024] = {};
};

FatalMessageRecorder& get_recorder() {
    static auto* recorder = new FatalMessageRecorder;
    return *recorder;
}
}  // namespace

void return_to_fuzz_entry() {
    if (fuzz_entry == nullptr) {
        std::fputs("fatal report outside a fuzz entry\n", stderr);
        std::abort();
    }
    std::longjmp(*fuzz_entry, 1);
}

namespace fuzz {

void fail_harness(const char* message) {
    std::fprintf(stderr, "fuzz harness: %s\n", message);
    std::abort();
}

const char* get_last_fatal_message() {
    return get_recorder().message;
}

bool run_until_fatal_report(FuzzWork work, void* context) {
    get_recorder().message[0] = '\0';
    std::jmp_buf here;
    std::jmp_buf* const outer = fuzz_entry;
    fuzz_entry = &here;
    if (setjmp(here) != 0) {
        fuzz_entry = outer;
        return false;
    }
    work(context);
    fuzz_entry = outer;
    return true;
}

}  // namespace fuzz
}  // namespace zolt
