// Header-only: a console reporter that keeps the time per iteration of every run, so that a
// benchmark program can print the ratio of a measured run to its baseline at the end.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
                times[run.benchmark_name()] = run.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    // Prints measured / baseline when both ran.
    void PrintRatio(const std::string& measured, const std::string& baseline) const {
        auto m = times.find(measured), b = times.find(baseline);
        if (m != times.end() && b != times.end() && b->second > 0) {
            std::printf("ratio %s / %s: %.2f\n", measured.c_str(), baseline.c_str(),
                        m->second / b->second);
        }
    }
    std::map<std::string, double> times;
};
