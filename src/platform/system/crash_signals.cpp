#include "platform/system/crash_signals.h"

#include <signal.h>
#include <sys/mman.h>
#include <ucontext.h>

#include <atomic>

namespace zolt::platform {
namespace {

// Large enough for the report writer's frames and its formatting buffers.
constexpr size_t alternate_stack_size = 256 * 1024;

std::atomic<CrashSignalHandler> crash_handler{nullptr};
thread_local void* alternate_stack = nullptr;

CrashRegisters read_registers(const ucontext_t& context) {
    const greg_t* const gregs = context.uc_mcontext.gregs;
    CrashRegisters registers{};
    registers.rax = static_cast<uint64_t>(gregs[REG_RAX]);
    registers.rbx = static_cast<uint64_t>(gregs[REG_RBX]);
    registers.rcx = static_cast<uint64_t>(gregs[REG_RCX]);
    registers.rdx = static_cast<uint64_t>(gregs[REG_RDX]);
    registers.rsi = static_cast<uint64_t>(gregs[REG_RSI]);
    registers.rdi = static_cast<uint64_t>(gregs[REG_RDI]);
    registers.rbp = static_cast<uint64_t>(gregs[REG_RBP]);
    registers.rsp = static_cast<uint64_t>(gregs[REG_RSP]);
    registers.r8 = static_cast<uint64_t>(gregs[REG_R8]);
    registers.r9 = static_cast<uint64_t>(gregs[REG_R9]);
    registers.r10 = static_cast<uint64_t>(gregs[REG_R10]);
    registers.r11 = static_cast<uint64_t>(gregs[REG_R11]);
    registers.r12 = static_cast<uint64_t>(gregs[REG_R12]);
    registers.r13 = static_cast<uint64_t>(gregs[REG_R13]);
    registers.r14 = static_cast<uint64_t>(gregs[REG_R14]);
    registers.r15 = static_cast<uint64_t>(gregs[REG_R15]);
    registers.rip = static_cast<uint64_t>(gregs[REG_RIP]);
    registers.eflags = static_cast<uint64_t>(gregs[REG_EFL]);
    // The segment word holds cs, gs, fs and ss, 16 bits each from the bottom.
    const auto segments = static_cast<uint64_t>(gregs[REG_CSGSFS]);
    registers.cs = static_cast<uint16_t>(segments);
    registers.gs = static_cast<uint16_t>(segments >> 16);
    registers.fs = static_cast<uint16_t>(segments >> 32);
    registers.ss = static_cast<uint16_t>(segments >> 48);
    return registers;
}

void handle_fatal_signal(int number, siginfo_t* information, void* context) {
    CrashSignal signal{};
    signal.number = number;
    signal.code = information != nullptr ? information->si_code : 0;
    signal.fault_address =
        information != nullptr ? static_cast<uint64_t>(reinterpret_cast<uintptr_t>(information->si_addr)) : 0;
    if (context != nullptr) {
        signal.has_registers = true;
        signal.registers = read_registers(*static_cast<const ucontext_t*>(context));
    }
    if (const CrashSignalHandler handler = crash_handler.load(); handler != nullptr) {
        handler(signal);
    }
    // The handler never returns; without one the signal takes its default
    // course when it comes again.
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigaction(number, &action, nullptr);
}

}  // namespace

void prepare_thread_for_crash_signals() {
    if (alternate_stack != nullptr || crash_handler.load() == nullptr) {
        return;
    }
    void* const memory =
        mmap(nullptr, alternate_stack_size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) {
        return;
    }
    stack_t stack{};
    stack.ss_sp = memory;
    stack.ss_size = alternate_stack_size;
    if (sigaltstack(&stack, nullptr) != 0) {
        munmap(memory, alternate_stack_size);
        return;
    }
    alternate_stack = memory;
}

void release_thread_crash_signal_stack() {
    if (alternate_stack == nullptr) {
        return;
    }
    stack_t stack{};
    stack.ss_flags = SS_DISABLE;
    sigaltstack(&stack, nullptr);
    munmap(alternate_stack, alternate_stack_size);
    alternate_stack = nullptr;
}

void install_crash_signal_handlers(CrashSignalHandler handler) {
    crash_handler.store(handler);
    prepare_thread_for_crash_signals();
    struct sigaction action {};
    action.sa_sigaction = handle_fatal_signal;
    // A fault inside the report enters the handler again, which then gives up
    // the report instead of the kernel killing the process without one.
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    for (const int number : fatal_signals) {
        sigaction(number, &action, nullptr);
    }
}

}  // namespace zolt::platform
