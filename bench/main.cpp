#include <benchmark/benchmark.h>

#include "ratio_reporter.h"

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    zolt::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
