// Cost of each registered model as the plug-in runs it: one instance per
// stereo channel (the second told it serves channel 1), 48 kHz, blocks of 512,
// loaded with the default parameter values in the order the processor hands
// them over. Reports the realtime factor: seconds of stereo audio processed
// per second of CPU time.

#include "effects/ParamIndex.h"
#include "processor/Effects.h"
#include "processor/ModelHandOver.h"
#include "processor/ParameterTable.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace
{
constexpr double rate = 48000.0;
constexpr int blockSize = 512;

float defaultOf (const char* id)
{
    for (const auto& definition : parameterDefinitions)
        if (std::strcmp (definition.id, id) == 0)
            return definition.defaultValue;
    return 0.0f;
}

void stereoModel (benchmark::State& state, int effect)
{
    std::unique_ptr<AudioEffect> channels[2] = { createEffectModel (effect), createEffectModel (effect) };
    for (int c = 0; c < 2; ++c)
    {
        channels[c]->prepare (rate, blockSize);
        handOverParameters (effect, c == 1, defaultOf, [&] (int index, float value) { channels[c]->setParam (index, value); });
    }

    // Program-like input: a little more than a second of noise at -12 dBFS
    // with gaps, so gate, echoes and feedback all keep working.
    std::mt19937 rng (1);
    std::uniform_real_distribution<double> uniform (-0.25, 0.25);
    std::vector<double> input (blockSize * 101);
    for (size_t i = 0; i < input.size(); ++i)
        input[i] = (i / 4800) % 3 == 2 ? 0.0 : uniform (rng);

    std::vector<double> left (blockSize), right (blockSize);
    size_t position = 0;
    for (auto _ : state)
    {
        std::copy_n (input.begin() + (long) position, blockSize, left.begin());
        std::copy_n (input.begin() + (long) position, blockSize, right.begin());
        position = (position + blockSize) % input.size();

        channels[0]->process (left.data(), blockSize);
        channels[1]->process (right.data(), blockSize);
        benchmark::DoNotOptimize (left.data());
        benchmark::DoNotOptimize (right.data());
    }

    state.counters["realtime"] = benchmark::Counter (blockSize / rate, benchmark::Counter::kIsIterationInvariantRate);
}

const bool registered = [] {
    for (int effect = Processor::firstEffect; effect <= Processor::lastEffect; ++effect)
        if (createEffectModel (effect) != nullptr)
            benchmark::RegisterBenchmark ((std::string ("BM_StereoModel/") + effectDisplayNames[(size_t) effect - 1]).c_str(),
                                          stereoModel, effect);
    return true;
}();
} // namespace
