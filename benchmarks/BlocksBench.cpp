// Per-sample cost of the signal blocks, as a baseline for optimisation.
// Each benchmark runs a block of 512 samples per iteration and reports
// items (samples) per second; ns per sample is its inverse.

#include "effects/blocks/BbdClock.h"
#include "effects/blocks/Biquad.h"
#include "effects/blocks/DelayLine.h"
#include "effects/blocks/Envelope.h"
#include "effects/blocks/InputGate.h"
#include "effects/blocks/Lfo.h"
#include "effects/blocks/OnePole.h"
#include "effects/blocks/Reverse.h"
#include "effects/blocks/Swell.h"
#include "effects/blocks/Tape.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace
{
constexpr double rate = 48000.0;
constexpr int blockSize = 512;

std::vector<double> testSignal()
{
    std::vector<double> x (blockSize);
    for (int i = 0; i < blockSize; ++i)
        x[(size_t) i] = 0.5 * std::sin (2.0 * M_PI * 440.0 * i / rate) + 0.1 * std::sin (0.013 * i * i);
    return x;
}

// Runs f over the test block each iteration; f maps one sample to one sample.
template <typename PerSample>
void runPerSample (benchmark::State& state, PerSample&& f)
{
    const std::vector<double> input = testSignal();
    double sink = 0.0;
    for (auto _ : state)
    {
        for (double x : input)
            sink += f (x);
        benchmark::DoNotOptimize (sink);
    }
    state.SetItemsProcessed (state.iterations() * blockSize);
    state.counters["ns/sample"] = benchmark::Counter ((double) blockSize,
                                                      benchmark::Counter::kIsIterationInvariantRate
                                                          | benchmark::Counter::kInvert);
}
} // namespace

static void BM_Biquad (benchmark::State& state)
{
    Biquad filter (Biquad::lowPass, 2600.0, 0.8);
    filter.prepare (rate);
    runPerSample (state, [&] (double x) { return filter.process (x); });
}
BENCHMARK (BM_Biquad);

static void BM_OnePole (benchmark::State& state)
{
    OnePole filter (7234.0);
    filter.prepare (rate);
    runPerSample (state, [&] (double x) { return filter.lowPass (x); });
}
BENCHMARK (BM_OnePole);

static void BM_EnvelopeRmsDb (benchmark::State& state)
{
    Envelope env { 10.0, 100.0, 0, 1, 0 };
    env.prepare (rate);
    runPerSample (state, [&] (double x) { return env.process (x); });
}
BENCHMARK (BM_EnvelopeRmsDb);

static void BM_LfoSine (benchmark::State& state)
{
    Lfo lfo (0, 4.0, 0.5);
    lfo.prepare (rate);
    runPerSample (state, [&] (double x) {
        const double v = lfo.value (0.25) * x;
        lfo.advance();
        return v;
    });
}
BENCHMARK (BM_LfoSine);

static void BM_LfoTriangle (benchmark::State& state)
{
    Lfo lfo (1, 1.0, 0.5);
    lfo.prepare (rate);
    runPerSample (state, [&] (double x) {
        const double v = lfo.value (0.25) * x;
        lfo.advance();
        return v;
    });
}
BENCHMARK (BM_LfoTriangle);

static void BM_Tape (benchmark::State& state)
{
    Tape tape;
    tape.prepare (rate);
    runPerSample (state, [&] (double x) {
        const double v = tape.getLFO (0.25) * x;
        tape.advance();
        return v;
    });
}
BENCHMARK (BM_Tape);

static void BM_BbdClock (benchmark::State& state)
{
    BbdClock clock;
    clock.prepare (rate);
    clock.setClock (9250.0);
    runPerSample (state, [&] (double x) { return clock.process (x); });
}
BENCHMARK (BM_BbdClock);

static void BM_InputGate (benchmark::State& state)
{
    InputGate gate;
    gate.prepare (rate);
    runPerSample (state, [&] (double x) { return gate.process (x); });
}
BENCHMARK (BM_InputGate);

static void BM_Swell (benchmark::State& state)
{
    Swell swell;
    swell.prepare (rate);
    runPerSample (state, [&] (double x) { return swell.process (x); });
}
BENCHMARK (BM_Swell);

static void BM_Reverse (benchmark::State& state)
{
    Reverse reverse;
    reverse.prepare (rate, 2000.0);
    const std::vector<double> input = testSignal();
    std::vector<double> block (input.size());
    const int length = (int) (250.0 * rate / 1000.0);
    for (auto _ : state)
    {
        block = input;
        reverse.process (block.data(), blockSize, length);
        benchmark::DoNotOptimize (block.data());
    }
    state.SetItemsProcessed (state.iterations() * blockSize);
    state.counters["ns/sample"] = benchmark::Counter ((double) blockSize,
                                                      benchmark::Counter::kIsIterationInvariantRate
                                                          | benchmark::Counter::kInvert);
}
BENCHMARK (BM_Reverse);

// A 2-second line: one interpolated read before each write at a fractional
// delay near the far end, with feedback, as a model's loop runs it.
static void BM_DelayLine2s (benchmark::State& state)
{
    DelayLine line;
    line.allocate (2000.0, rate);
    const double delaySamples = 1999.5 * rate / 1000.0 + 0.37;
    runPerSample (state, [&] (double x) {
        const double y = line.read (delaySamples);
        line.write (x + 0.5 * y);
        return y;
    });
}
BENCHMARK (BM_DelayLine2s);
