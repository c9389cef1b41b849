#include "ratio_reporter.h"

#include <cstdio>

namespace zolt::bench {

void RatioReporter::ReportRuns(const std::vector<Run>& runs) {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
        if (run.run_type != Run::RT_Iteration || run.iterations == 0) {
            continue;
        }
        const std::string name = run.benchmark_name();
        const size_t first = name.find('/');
        if (first == std::string::npos) {
            continue;
        }
        const size_t second = name.find('/', first + 1);
        const std::string topic = name.substr(0, first);
        const std::string implementation =
            name.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
        const std::string arguments = second == std::string::npos ? "" : name.substr(second);
        const double seconds = run.GetAdjustedRealTime();
        auto [slot, is_new] = fastest_[topic + arguments].try_emplace(implementation, seconds);
        if (!is_new && seconds < slot->second) {
            slot->second = seconds;
        }
    }
}

void RatioReporter::Finalize() {
    ConsoleReporter::Finalize();
    std::printf("\nRatios (peer time / zolt time; above 1 means zolt is faster):\n");
    for (const auto& [key, times] : fastest_) {
        const auto ours = times.find("zolt");
        if (ours == times.end() || ours->second <= 0) {
            continue;
        }
        for (const auto& [implementation, seconds] : times) {
            if (implementation != "zolt") {
                std::printf("  %-40s zolt vs %-16s %6.2fx\n", key.c_str(), implementation.c_str(),
                            seconds / ours->second);
            }
        }
    }
}

}  // namespace zolt::bench
