#pragma once

#include "Biquad.h"

#include <algorithm>

// Drive settings of a saturation stage: a soft-knee curve turns the drive
// gain into a shaped gain, and the band-limiting filters close in as the
// drive rises above the knee (high-pass up from 20 Hz, low-pass down from
// 20 kHz). The models only set it; nothing in their signal path runs it.
struct Distortion
{
    Biquad highPass { Biquad::firstOrderHighPass, 20.0, 0.7071 };
    Biquad lowPass { Biquad::lowPass, 20000.0, 0.7071 };
    double gainDb = 0.0;
    double maxGainDb = 48.0;
    double shapedGainDb = 0.0;
    double ratio = 8.0;
    double thresholdDb = 36.0;
    double kneeDb = 16.0;
    double highPassMaxHz = 220.0;
    double highPassMinHz = 20.0;
    double lowPassMaxHz = 20000.0;
    double lowPassMinHz = 2200.0;

    Distortion() noexcept = default;

    void prepare (double sampleRate) noexcept
    {
        highPass.prepare (sampleRate);
        lowPass.prepare (sampleRate);
    }

    void reset() noexcept
    {
        highPass.reset();
        lowPass.reset();
    }

    void setGain (double g) noexcept
    {
        gainDb = g;

        const double lo = thresholdDb - kneeDb / 2.0;
        const double hi = thresholdDb + kneeDb / 2.0;
        const bool inKnee = lo < g && g < hi;

        double slope = 0.0;
        if (g > lo)
        {
            slope = 1.0 - 1.0 / ratio;
            if (g < hi)
                slope *= (g - lo) / kneeDb;
        }

        shapedGainDb = inKnee ? g + (lo - g) * slope / 2.0
                              : g + (thresholdDb - g) * slope;

        // Position of the drive between the knee's start and the maximum gain;
        // held at the maximum so a drive beyond it cannot reopen the filters.
        const double position = g > lo ? std::min ((g - lo) / (maxGainDb - lo), 1.0) : 0.0;

        double highPassHz = highPassMinHz;
        double lowPassHz = lowPassMaxHz;
        if (g > lo)
        {
            highPassHz += (highPassMaxHz - highPassMinHz) * position;
            const double u = 1.0 - position;
            lowPassHz = (lowPassMaxHz - lowPassMinHz) * u * u + lowPassMinHz;
        }

        highPass.setFrequency (highPassHz);
        lowPass.setFrequency (lowPassHz);
    }
};
