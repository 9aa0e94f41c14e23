#pragma once

// Keeps the mean time per iteration of every run, for the ratios a benchmark prints at its
// end against a baseline measured in the same run.

#include <benchmark/benchmark.h>
#include <map>
#include <string>

class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> seconds;           // by the run's full name
    std::map<std::string, double> secondsByFunction; // by the name it was registered with

    void ReportRuns(const std::vector<Run> &runs) override {
        for (const Run &run : runs) {
            if (run.iterations <= 0 || run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            const double mean = run.real_accumulated_time / double(run.iterations);
            seconds[run.benchmark_name()] = mean;
            secondsByFunction[run.run_name.function_name] = mean;
        }
        ConsoleReporter::ReportRuns(runs);
    }
};
