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
        entries_[topic + arguments].push_back({implementation, run.GetAdjustedRealTime()});
    }
}

void RatioReporter::Finalize() {
    ConsoleReporter::Finalize();
    std::printf("\nRatios (peer time / zolt time; above 1 means zolt is faster):\n");
    for (const auto& [key, list] : entries_) {
        const Entry* ours = nullptr;
        for (const Entry& entry : list) {
            if (entry.implementation == "zolt") {
                ours = &entry;
            }
        }
        if (ours == nullptr || ours->seconds_per_iteration <= 0) {
            continue;
        }
        for (const Entry& entry : list) {
            if (&entry != ours) {
                std::printf("  %-40s zolt vs %-16s %6.2fx\n", key.c_str(), entry.implementation.c_str(),
                            entry.seconds_per_iteration / ours->seconds_per_iteration);
            }
        }
    }
}

}  // namespace zolt::bench
