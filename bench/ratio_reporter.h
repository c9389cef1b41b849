#pragma once
// Prints, after the usual table, how the engine's code compares with its
// peer in the same run. Benchmarks are named "topic/zolt/args" and
// "topic/<peer>/args"; each peer row of a topic and args gets a ratio line.
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
    struct Entry {
        std::string implementation;
        double seconds_per_iteration;
    };
    std::map<std::string, std::vector<Entry>> entries_;
};

}  // namespace zolt::bench
