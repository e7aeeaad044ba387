#pragma once

// Runs a measured operation beside its reference in every iteration, on the
// same data, and reports the reference's time and the ratio as counters:
// the benchmark's time is the measured operation's alone.

#include <benchmark/benchmark.h>

#include <chrono>

namespace kelvo::bench {

// `setup` runs untimed before each iteration's pair.
template <typename Measured, typename Reference, typename Setup>
void runPair(benchmark::State &state, Measured &&measured, Reference &&reference, Setup &&setup)
{
    using Clock = std::chrono::steady_clock;
    double measuredSeconds = 0;
    double referenceSeconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        setup();
        state.ResumeTiming();
        const auto t0 = Clock::now();
        reference();
        const auto t1 = Clock::now();
        measured();
        const auto t2 = Clock::now();
        const double m = std::chrono::duration<double>(t2 - t1).count();
        measuredSeconds += m;
        referenceSeconds += std::chrono::duration<double>(t1 - t0).count();
        state.SetIterationTime(m);
    }
    const double n = double(state.iterations());
    state.counters["ref_ms"] = referenceSeconds / n * 1e3;
    state.counters["ratio"] = referenceSeconds > 0 ? measuredSeconds / referenceSeconds : 0;
}

template <typename Measured, typename Reference>
void runPair(benchmark::State &state, Measured &&measured, Reference &&reference)
{
    runPair(state, measured, reference, [] {});
}

} // namespace kelvo::bench
