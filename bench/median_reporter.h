// The console output of a benchmark run, with the median time per frame of
// each benchmark kept for the summary the programs print at their end.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace quillo_bench {

class MedianReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Aggregate || run.aggregate_name != "median") continue;
            const auto counter = run.counters.find("per_frame");
            if (counter != run.counters.end()) medians[run.run_name.function_name + "/" + run.run_name.args] = counter->second;
        }
    }
    // Nanoseconds per frame of "function/arguments"; 0 where it did not run.
    double median(const std::string& name) const {
        const auto found = medians.find(name);
        return found == medians.end() ? 0.0 : found->second * 1e9;
    }

private:
    std::map<std::string, double> medians;
};

// A benchmark program's main: the benchmarks asked for on the command line,
// then the program's summary of their medians.
inline int runBenchmarks(int argc, char** argv, void (*printSummary)(const MedianReporter&)) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printSummary(reporter);
    benchmark::Shutdown();
    return 0;
}

}  // namespace quillo_bench
