#pragma once

#include <cmath>

// Low-frequency oscillator; phase in cycles within [0, 1).
//
// shape 0 (and any other code) sine, 1 triangle peaking at the skew,
// 2 pulse high while the phase is below the skew, 3 rising ramp,
// 4 falling ramp, 5 trapezoid (flat tops of a quarter cycle, 8·a slopes).
struct Lfo
{
    double sampleRate = 48000.0;
    int shape = 0;
    double rateHz = 1.0;
    double skew = 0.5;
    double phase = 0.0;
    double increment = 1.0 / 48000.0;

    explicit Lfo (int waveShape = 0, double rate = 1.0, double skewAmount = 0.5) noexcept
        : shape (waveShape), rateHz (rate), skew (skewAmount), increment (rate / 48000.0)
    {
    }

    void prepare (double newSampleRate) noexcept
    {
        sampleRate = newSampleRate;
        increment = rateHz / sampleRate;
        phase = 0.0;
    }

    void setRate (double hz) noexcept
    {
        if (hz != rateHz)
        {
            rateHz = hz;
            increment = rateHz / sampleRate;
        }
    }

    void setPhase (double cycles) noexcept { phase = wrap (cycles); }
    void reset() noexcept { phase = 0.0; }

    // Wraps into [0, 1). A non-finite value wraps to 0, so a bad offset or
    // rate cannot leave the phase stuck at NaN.
    static double wrap (double v) noexcept
    {
        const double w = std::fmod (std::fmod (v, 1.0) + 1.0, 1.0);
        return w == w ? w : 0.0;
    }

    double value (double phaseOffset) const noexcept { return shapeAt (wrap (phase + phaseOffset)); }

    void advance() noexcept { phase = wrap (phase + increment); }

    double shapeAt (double a) const noexcept
    {
        switch (shape)
        {
            case 1:
                if (a < skew)
                    return 2.0 * a / skew - 1.0;
                return (1.0 - (a - skew) / (1.0 - skew)) * 2.0 - 1.0;
            case 2:
                return a < skew ? 1.0 : -1.0;
            case 3:
                return 2.0 * a - 1.0;
            case 4:
                return (1.0 - a) * 2.0 - 1.0;
            case 5:
                if (a < 0.125) return 1.0;
                if (a < 0.375) return 1.0 - 8.0 * (a - 0.125);
                if (a < 0.625) return -1.0;
                if (a < 0.875) return 8.0 * (a - 0.625) - 1.0;
                return 1.0;
            default:
                return std::sin (2.0 * M_PI * a);
        }
    }
};
