#pragma once

#include "Glide.h"

#include <algorithm>
#include <vector>

// Circular delay line. The owner reads before it writes, so a read of D whole
// samples returns the value written D samples earlier (1 ≤ D ≤ size − 1);
// D = 0 addresses the slot about to be overwritten. Owners that write first
// and then read get the value written D − 1 samples earlier.
struct DelayLine
{
    int size = 0;
    std::vector<double> buffer;
    int writeIndex = 0;
    double lengthSamples = 0.0;

    // Sizes the line for lengthMs at sampleRate, zeroed. Allocates: call from
    // prepare only.
    void allocate (double lengthMs, double sampleRate)
    {
        lengthSamples = lengthMs * sampleRate / 1000.0;
        if (! (lengthSamples >= 0.0))
            lengthSamples = 0.0;
        size = (int) lengthSamples + 2;
        buffer.assign ((size_t) size, 0.0);
        writeIndex = 0;
    }

    void release()
    {
        std::vector<double>().swap (buffer);
        size = 0;
        writeIndex = 0;
        lengthSamples = 0.0;
    }

    void reset() noexcept
    {
        std::fill (buffer.begin(), buffer.end(), 0.0);
        writeIndex = 0;
    }

    // Linear-interpolated read delaySamples behind writeIndex, clamped to
    // [0, size − 1]. An unallocated line reads 0.
    double read (double delaySamples) const noexcept
    {
        if (size <= 0)
            return 0.0;

        double t = delaySamples;
        if (t > (double) (size - 1))
            t = (double) (size - 1);
        else if (! (t >= 0.0)) // also catches NaN
            t = 0.0;

        const int whole = (int) t;
        const double fraction = t - (double) whole;

        int i0 = writeIndex - whole;
        if (i0 < 0)
            i0 += size;
        int i1 = i0 - 1;
        if (i1 < 0)
            i1 += size;

        const double* b = buffer.data();
        return b[i0] + (b[i1] - b[i0]) * fraction;
    }

    // Whole-sample read, clamped like read().
    double readWhole (int delaySamples) const noexcept
    {
        if (size <= 0)
            return 0.0;

        const int whole = std::min (std::max (delaySamples, 0), size - 1);
        int i = writeIndex - whole;
        if (i < 0)
            i += size;
        return buffer[(size_t) i];
    }

    void write (double value) noexcept
    {
        if (size <= 0)
            return;

        buffer[(size_t) writeIndex] = value;
        if (++writeIndex >= size)
            writeIndex = 0;
    }
};

// One sample of the delay-time glide: the time moves 1 / (target in samples)
// of the remaining distance, so long delays glide slowly and short ones
// quickly. Returns true when a step was taken (current differed from target),
// which is when clock-driven models follow the new time.
inline bool glideDelayTime (Glide& delayMs, double sampleRate) noexcept
{
    if (delayMs.current == delayMs.target)
        return false;

    // A target shorter than one sample would overshoot; such a step lands on
    // the target instead.
    double k = 1000.0 / (delayMs.target * sampleRate);
    if (! (k > 0.0 && k <= 1.0))
        k = 1.0;

    delayMs.current += (delayMs.target - delayMs.current) * k;
    return true;
}
