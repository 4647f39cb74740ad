#pragma once

#include <cmath>

// One-pole smoother. The same state serves as a low-pass (the state itself)
// or a high-pass (input minus the state); the owner picks the output.
struct OnePole
{
    double sampleRate = 48000.0;
    double frequency = 1000.0;
    double coefficient = 0.0;
    double state = 0.0;

    explicit OnePole (double frequencyHz = 1000.0) noexcept : frequency (frequencyHz)
    {
        calculateCoefficient();
    }

    void calculateCoefficient() noexcept
    {
        coefficient = 1.0 - std::exp (-2.0 * M_PI * frequency / sampleRate);
    }

    void prepare (double newSampleRate) noexcept
    {
        sampleRate = newSampleRate;
        calculateCoefficient();
        state = 0.0;
    }

    void setFrequency (double hz) noexcept
    {
        if (hz != frequency)
        {
            frequency = hz;
            calculateCoefficient();
        }
    }

    void reset() noexcept { state = 0.0; }

    double lowPass (double x) noexcept
    {
        state += (x - state) * coefficient;
        return state;
    }

    double highPass (double x) noexcept
    {
        state += (x - state) * coefficient;
        return x - state;
    }
};
