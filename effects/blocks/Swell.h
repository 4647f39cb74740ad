#pragma once

#include "DelayLine.h"
#include "Envelope.h"

#include <cmath>

// Auto-swell: each onset (a level rise faster than onsetThreshold dB per
// sample) pulls the gain down within about fallMs, after which it swells back
// to unity over riseMs. The signal passes through a short look-ahead delay so
// the gain is already down when the note itself comes out. Starting from
// gain 0, the output is silent until the first onset.
struct Swell
{
    enum State : int { idle = 0, rising = 1, falling = 2 };

    double sampleRate = 48000.0;
    Envelope env { 100.0, 100.0, 0, 1, 0 };
    DelayLine lookAheadLine;
    double riseMs = 100.0;
    double fallMs = 5.0;
    double sensitivity = 0.5;
    double onsetThreshold = 0.0;
    double lookAheadMs = 15.0;
    double gain = 0.0;
    double riseCoef = 0.0;
    double fallCoef = 0.0;
    double previousDb = 0.0;
    int state = idle;
    int lookAheadSamples = 1; // whole samples, set by prepare from lookAheadMs

    static constexpr double lineLengthMs = 100.0;

    Swell() = default;

    // Allocates the look-ahead line: call from prepare only.
    void prepare (double newSampleRate)
    {
        sampleRate = newSampleRate;
        env.prepare (sampleRate);
        lookAheadLine.allocate (lineLengthMs, sampleRate);
        riseCoef = timeCoef (riseMs);
        fallCoef = timeCoef (fallMs);
        onsetThreshold = ((1.0 - sensitivity * sensitivity) * 1700.0 + 300.0) / sampleRate;

        // Below two samples the look-ahead reads one back; it never exceeds the line.
        lookAheadSamples = (int) (lookAheadMs * sampleRate / 1000.0);
        if (lookAheadSamples < 2)
            lookAheadSamples = 1;
        else if (lookAheadSamples > lookAheadLine.size)
            lookAheadSamples = lookAheadLine.size;
        gain = 0.0;
        previousDb = 0.0;
        state = idle;
    }

    void release() { lookAheadLine.release(); }

    void reset() noexcept
    {
        env.reset();
        lookAheadLine.reset();
        gain = 0.0;
        previousDb = 0.0;
        state = idle;
    }

    void setRise (double ms) noexcept
    {
        riseMs = ms;
        riseCoef = timeCoef (riseMs);
    }

    double process (double x) noexcept
    {
        const double levelDb = env.process (x);
        if (levelDb - previousDb > onsetThreshold)
            state = falling;
        previousDb = levelDb;

        if (state == rising)
        {
            gain = (gain - 1.0) * riseCoef + 1.0;
            if (gain >= 0.999)
            {
                gain = 1.0;
                state = idle;
            }
        }
        else if (state == falling)
        {
            gain *= fallCoef;
            if (gain <= 0.001)
            {
                gain = 0.0;
                state = rising;
            }
        }

        const int size = lookAheadLine.size;
        if (size <= 0)
            return 0.0;

        const int D = lookAheadSamples;

        double* const b = lookAheadLine.buffer.data();
        int& w = lookAheadLine.writeIndex;
        const double delayed = b[(size + w - D) % size];
        b[w] = x;
        w = (w + 1) % size;

        return gain * gain * delayed;
    }

    // Processes samples[0] only, in place.
    void process (double* samples, int /*numSamples*/) noexcept
    {
        if (samples != nullptr)
            samples[0] = process (samples[0]);
    }

private:
    double timeCoef (double ms) const noexcept { return std::exp (-1.0 / (ms * sampleRate / 1000.0)); }
};
