#pragma once
// The bridge between the engine's fatal routines and a fuzz target: in a fuzz
// build a fatal report returns to the innermost run below instead of ending
// the process. The jump skips the destructors of the frames it leaves, so work
// run here keeps what must be freed in storage that outlives the input.
#include <type_traits>

namespace zolt::fuzz {

using FuzzWork = void (*)(void* context);

// Runs work(context); false when a fatal report ended it early.
bool run_until_fatal_report(FuzzWork work, void* context);

// The message of the last panic or error report, for targets to which some
// fatal reports are an answer and others a finding.
const char* get_last_fatal_message();

// Ends the run as a crash with the message: a finding, or a harness that
// cannot go on. libFuzzer keeps the input as the reproducer.
[[noreturn]] void fail_harness(const char* message);

// A property the target must keep; a failing one is a finding named by what.
inline void expect(bool condition, const char* what) {
    if (!condition) {
        fail_harness(what);
    }
}

template <typename Work>
bool run_until_fatal_report(Work&& work) {
    using Body = std::remove_reference_t<Work>;
    return run_until_fatal_report([](void* context) { (*static_cast<Body*>(context))(); }, &work);
}

}  // namespace zolt::fuzz
