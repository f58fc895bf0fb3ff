// Header-only: a console reporter that keeps the time per iteration of every run, so that a
// benchmark program can print the ratio of a measured run to its baseline at the end.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
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

// Runs `measured` and `baseline` in turn within each iteration, so that a change in the machine's
// load falls on both alike; `finish` waits for the work of each to complete. Stores the seconds
// per iteration of each in `seconds` and reports them, and their ratio, as counters.
template <typename Measured, typename Baseline, typename Finish>
void MeasureInTurn(benchmark::State& state, Measured measured, Baseline baseline, Finish finish,
                   const char* measuredName, const char* baselineName, double seconds[2]) {
    double times[2] = {0, 0};
    for (auto _ : state) {
        for (int slot = 0; slot < 2; ++slot) {
            auto start = std::chrono::steady_clock::now();
            if (slot == 0)
                measured();
            else
                baseline();
            finish();
            times[slot] +=
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
    }
    const double n = static_cast<double>(state.iterations());
    seconds[0] = times[0] / n;
    seconds[1] = times[1] / n;
    state.counters[measuredName] = seconds[0] * 1e3;
    state.counters[baselineName] = seconds[1] * 1e3;
    state.counters["ratio"] = times[0] / times[1];
}
