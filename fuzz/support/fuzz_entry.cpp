#include "support/fuzz_entry.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include "libs/utility/fatal_error.h"

namespace zolt {
namespace {
std::jmp_buf* fuzz_entry = nullptr;
}  // namespace

void return_to_fuzz_entry() {
    if (fuzz_entry == nullptr) {
        std::fputs("fatal report outside a fuzz entry\n", stderr);
        std::abort();
    }
    std::longjmp(*fuzz_entry, 1);
}

namespace fuzz {

bool run_until_fatal_report(FuzzWork work, void* context) {
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
