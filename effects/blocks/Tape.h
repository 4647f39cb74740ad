#pragma once

#include "Lfo.h"

#include <climits>
#include <cmath>

// Tape-transport modulation: a slow wow oscillator, a faster flutter
// oscillator and a cycle envelope that restarts at 1 every period and decays
// by 0.99 every 64 samples, smoothed by a one-pole. The defaults are the
// settings every tape-modulated model uses; the flutter rate follows the
// model's modulation rate.
struct Tape
{
    double sampleRate = 48000.0;
    Lfo lfoA { 0, 0.24, 0.5 };
    double amplitudeA = 0.625;
    Lfo lfoB { 0, 4.0, 0.5 };
    double amplitudeB = 0.045;
    double cycleRateHz = 0.17;
    double cycleAmplitude = 0.5;
    double cycleSmoothHz = 4.7;
    double cycleValue = 0.0;
    int counter = 0;
    int period = 1;
    double cycleCoef = 0.0;

    void prepare (double newSampleRate) noexcept
    {
        sampleRate = newSampleRate;
        lfoA.prepare (sampleRate);
        lfoB.prepare (sampleRate);

        // At least one sample per cycle, whatever the cycle rate.
        const double samplesPerCycle = sampleRate / cycleRateHz;
        if (! (samplesPerCycle >= 1.0))
            period = 1;
        else if (samplesPerCycle >= (double) INT_MAX)
            period = INT_MAX;
        else
            period = (int) samplesPerCycle;

        counter = 0;
        cycleCoef = 1.0 - std::exp (-2.0 * M_PI * cycleSmoothHz / sampleRate);
        cycleValue = 0.0;
    }

    void reset() noexcept
    {
        lfoA.reset();
        lfoB.reset();
        counter = 0;
        cycleValue = 0.0;
    }

    double getLFO (double phaseOffset) const noexcept
    {
        return amplitudeA * lfoA.value (phaseOffset)
             + amplitudeB * lfoB.value (phaseOffset)
             + cycleAmplitude * cycleValue;
    }

    // Once per sample, after getLFO.
    void advance() noexcept
    {
        lfoA.advance();
        lfoB.advance();
        const int n = counter;
        counter += 1;
        cycleValue += (std::pow (0.99, (double) n / 64.0) - cycleValue) * cycleCoef;
        while (counter >= period)
            counter -= period;
    }

    void setRate (double hz) noexcept { lfoB.setRate (hz); }

    void setPhase (double cycles) noexcept
    {
        lfoA.setPhase (cycles);
        lfoB.setPhase (cycles);
    }
};
