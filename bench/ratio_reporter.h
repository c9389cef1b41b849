#pragma once
// Prints, after the usual table, how the engine's code compares with its
// peer in the same run. Benchmarks are named "topic/zolt/args" and
// "topic/<peer>/args"; each peer of a topic and args gets a ratio line.
// With repetitions, each side counts its fastest run: the one least
// disturbed by the rest of the machine.
#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace zolt::bench {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override;
    void Finalize() override;

private:
    // Fastest seconds per iteration, by "topic/args" and implementation.
    std::map<std::string, std::map<std::string, double>> fastest_;
};

}  // namespace zolt::bench
