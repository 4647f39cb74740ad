#pragma once

#include "effects/AudioEffect.h"
#include "effects/ParamIndex.h"
#include "processor/Effects.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <memory>
#include <random>
#include <utility>
#include <vector>

// Helpers for driving one model instance directly, without the processor.
namespace modeltest
{
using Settings = std::vector<std::pair<int, float>>;

// Prepares the model and hands it the values in the given order, the way the
// processor loads a new model.
inline void load (AudioEffect& model, double sampleRate, int blockSize, const Settings& settings)
{
    model.prepare (sampleRate, blockSize);
    for (const auto& [index, value] : settings)
        model.setParam (index, value);
}

// Runs the signal through the model in blocks of blockSize and returns the output.
inline std::vector<double> run (AudioEffect& model, std::vector<double> signal, int blockSize)
{
    for (size_t start = 0; start < signal.size(); start += (size_t) blockSize)
        model.process (signal.data() + start, (int) std::min ((size_t) blockSize, signal.size() - start));
    return signal;
}

inline std::vector<double> impulses (size_t length, const std::vector<size_t>& positions, double height = 1.0)
{
    std::vector<double> x (length, 0.0);
    for (auto p : positions)
        x[p] = height;
    return x;
}

inline std::vector<double> noise (size_t length, double amplitude, unsigned seed = 1)
{
    std::mt19937 rng (seed);
    std::uniform_real_distribution<double> uniform (-amplitude, amplitude);
    std::vector<double> x (length);
    for (auto& v : x)
        v = uniform (rng);
    return x;
}

inline std::vector<double> sine (size_t length, double hz, double amplitude, double sampleRate)
{
    std::vector<double> x (length);
    for (size_t n = 0; n < length; ++n)
        x[n] = amplitude * std::sin (2.0 * M_PI * hz * (double) n / sampleRate);
    return x;
}

inline double peak (const std::vector<double>& x, size_t from, size_t to)
{
    double p = 0.0;
    for (size_t i = from; i < std::min (to, x.size()); ++i)
        p = std::max (p, std::abs (x[i]));
    return p;
}

inline double energy (const std::vector<double>& x, size_t from, size_t to)
{
    double e = 0.0;
    for (size_t i = from; i < std::min (to, x.size()); ++i)
        e += x[i] * x[i];
    return e;
}

inline bool allFinite (const std::vector<double>& x)
{
    return std::all_of (x.begin(), x.end(), [] (double v) { return std::isfinite (v); });
}

// Index of the largest magnitude in [from, to).
inline size_t peakIndex (const std::vector<double>& x, size_t from, size_t to)
{
    size_t best = from;
    for (size_t i = from; i < std::min (to, x.size()); ++i)
        if (std::abs (x[i]) > std::abs (x[best]))
            best = i;
    return best;
}

// Power of one frequency in a Hann-windowed stretch (little leakage from
// strong components far away).
inline double tonePower (const std::vector<double>& x, size_t from, size_t length, double hz, double sampleRate)
{
    std::complex<double> sum = 0.0;
    for (size_t n = 0; n < length; ++n)
    {
        const double window = 0.5 - 0.5 * std::cos (2.0 * M_PI * (double) n / (double) length);
        sum += window * x[from + n] * std::polar (1.0, -2.0 * M_PI * hz * (double) n / sampleRate);
    }
    return std::norm (sum);
}

// The Effect numbers that have a model.
inline std::vector<int> registeredEffects()
{
    std::vector<int> effects;
    for (int effect = Processor::firstEffect; effect <= Processor::lastEffect; ++effect)
        if (createEffectModel (effect) != nullptr)
            effects.push_back (effect);
    return effects;
}
} // namespace modeltest
