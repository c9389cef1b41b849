#include <benchmark/benchmark.h>

#include "ratio_reporter.h"
#include "zolt/core/program/builtin_bindings.h"

int main(int argc, char** argv) {
    // Scripts under measure call builtins as the engine would.
    zolt::core::bind_all_builtins();
    benchmark::Initialize(&argc, argv);
    zolt::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
