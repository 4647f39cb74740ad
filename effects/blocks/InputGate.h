#pragma once

#include <algorithm>
#include <cmath>

// Noise gate at the head of every model: a leaky peak follower scaled so that
// it saturates at 1 for inputs above the threshold; below that the input is
// scaled by twice the smoothed level.
struct InputGate
{
    double sampleRate = 48000.0;
    double timeMs = 50.0;
    double thresholdDb = -60.0;
    double inputCoef = 0.0;
    double decayCoef = 0.0;
    double state = 0.0;

    void prepare (double newSampleRate) noexcept
    {
        sampleRate = newSampleRate;
        decayCoef = std::exp (-1.0 / (timeMs * sampleRate / 1000.0));
        inputCoef = (1.0 - decayCoef) / std::pow (10.0, thresholdDb / 20.0);
        state = 0.0;
    }

    void reset() noexcept { state = 0.0; }

    double process (double x) noexcept
    {
        state = std::min (state * decayCoef + std::abs (x) * inputCoef, 1.0);
        return x * std::min (2.0 * state, 1.0);
    }
};
