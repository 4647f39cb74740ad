#pragma once

#include <algorithm>

// Bucket-brigade clock: a sample-and-hold running at clockHz. At each clock
// tick that falls within a sample, the held value is taken at the tick's
// position by four-point Lagrange interpolation through the last three inputs
// and the current one. With the clock at or above the sample rate every
// sample is a tick at the current input, and the stage is transparent.
struct BbdClock
{
    double sampleRate = 48000.0;
    double clockHz = 48000.0;
    double h0 = 0.0, h1 = 0.0, h2 = 0.0; // last three inputs, newest first
    double held = 0.0;
    double step = 0.0;
    double phase = 0.0;

    void prepare (double newSampleRate) noexcept
    {
        sampleRate = newSampleRate;
        step = std::min (1.0, clockHz / sampleRate);
        reset();
    }

    void setClock (double newClockHz) noexcept
    {
        clockHz = newClockHz;
        step = std::min (1.0, clockHz / sampleRate);
    }

    void reset() noexcept
    {
        h0 = h1 = h2 = 0.0;
        held = 0.0;
        phase = 0.0;
    }

    double process (double x) noexcept
    {
        phase += step;
        if (phase >= 1.0)
        {
            while (phase >= 1.0)
                phase -= 1.0;

            // Tick position between h0 (at 0) and x (at 1).
            const double f = 1.0 - phase / step;
            const double wx = f * (f + 1.0) * (f + 2.0) / 6.0;
            const double w0 = (f + 2.0) * (f + 1.0) * (f - 1.0) / 2.0;
            const double w1 = (f + 2.0) * f * (f - 1.0) / 2.0;
            const double w2 = (f + 1.0) * f * (f - 1.0) / 6.0;
            held = x * wx - h0 * w0 + h1 * w1 - h2 * w2;
        }

        h2 = h1;
        h1 = h0;
        h0 = x;
        return held;
    }
};
