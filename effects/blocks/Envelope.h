#pragma once

#include <algorithm>
#include <cmath>

// Envelope follower with separate attack and release smoothing.
//
// detector: 0 RMS, 1 mean square, 2 peak (absolute value), 3 or more the
//           signed input itself.
// dbOutput: 1 gives the level in dB (−379 dB for silence), otherwise linear.
// timing:   0 treats the times as 1/e time constants, 1 as the time to 99 %;
//           any other value leaves the coefficients as they are.
// The smoothed detector value is kept within [0, 1], so the output never
// exceeds 1 (0 dB).
struct Envelope
{
    static constexpr double silenceDb = -379.0;

    double attackMs = 10.0;
    double releaseMs = 100.0;
    int detector = 0;
    int dbOutput = 1;
    int timing = 0;
    double state = 0.0;
    double attackCoef = 0.0;
    double releaseCoef = 0.0;
    double sampleRate = 48000.0;

    Envelope (double attack = 10.0, double release = 100.0, int detectorType = 0,
              int outputInDb = 1, int timingType = 0) noexcept
        : attackMs (attack), releaseMs (release), detector (detectorType),
          dbOutput (outputInDb), timing (timingType)
    {
        calculateCoefficients();
    }

    void prepare (double newSampleRate) noexcept
    {
        sampleRate = newSampleRate;
        calculateCoefficients();
        state = 0.0;
    }

    void calculateCoefficients() noexcept
    {
        if (timing != 0 && timing != 1)
            return;

        const double exponent = timing == 0 ? -1.0 : -4.6;
        attackCoef = std::exp (exponent / (attackMs * sampleRate / 1000.0));
        releaseCoef = std::exp (exponent / (releaseMs * sampleRate / 1000.0));
    }

    void setTimes (double newAttackMs, double newReleaseMs) noexcept
    {
        attackMs = newAttackMs;
        releaseMs = newReleaseMs;
        calculateCoefficients();
    }

    void reset() noexcept { state = 0.0; }

    double process (double x) noexcept
    {
        double v;
        if (detector <= 1)
            v = x * x;
        else if (detector == 2)
            v = std::abs (x);
        else
            v = x;

        if (v > state)
            state = v + (state - v) * attackCoef;
        else if (v < state)
            state = v + (state - v) * releaseCoef;

        state = std::max (std::min (state, 1.0), 0.0);

        const double o = detector == 0 ? std::sqrt (state) : state;

        if (dbOutput == 1)
            return o > 0.0 ? 20.0 * std::log10 (o) : silenceDb;

        return o;
    }

    // Follows samples[0] only, writing the output in its place.
    void process (double* samples, int /*numSamples*/) noexcept
    {
        if (samples != nullptr)
            samples[0] = process (samples[0]);
    }
};
