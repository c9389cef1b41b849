#pragma once
// The fatal signals (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT) reach one
// handler on an alternate stack, so a stack overflow is still reported. Every
// thread that may fault needs its own alternate stack: the installing thread
// gets one, other threads call prepare_thread_for_crash_signals at their
// start. The handler runs in signal context: only async-signal-safe calls.
#include <cstdint>

namespace zolt::platform {

struct CrashRegisters {
    uint64_t rax, rbx, rcx, rdx, rsi, rdi, rbp, rsp, r8, r9, r10, r11, r12, r13, r14, r15, rip, eflags;
    uint16_t cs, ss, fs, gs;
};

struct CrashSignal {
    int number;
    int code;  // si_code
    uint64_t fault_address;
    bool has_registers;
    CrashRegisters registers;
};

using CrashSignalHandler = void (*)(const CrashSignal& signal);

constexpr int fatal_signals[] = {11 /* SIGSEGV */, 7 /* SIGBUS */, 8 /* SIGFPE */, 4 /* SIGILL */, 6 /* SIGABRT */};

void install_crash_signal_handlers(CrashSignalHandler handler);
// Gives the calling thread an alternate signal stack once the handlers are
// installed; safe to call twice.
void prepare_thread_for_crash_signals();
// A thread that ends gives its alternate stack back.
void release_thread_crash_signal_stack();

}  // namespace zolt::platform
