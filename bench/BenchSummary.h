#pragma once
#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace zyn::bench {

// Prints as the console reporter does and keeps, per benchmark name, the rate of processed
// items and the real time per iteration, so a program can print ratios against its baseline.
class TSummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration) continue;
            const auto it = run.counters.find("items_per_second");
            if (it != run.counters.end()) ItemsPerSecond[run.benchmark_name()] = it->second.value;
            RealTime[run.benchmark_name()] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> ItemsPerSecond;
    std::map<std::string, double> RealTime;  // in the benchmark's time unit
};

}  // namespace zyn::bench
