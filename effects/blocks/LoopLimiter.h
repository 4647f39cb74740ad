#pragma once

#include <cmath>

// Holds a feedback loop finite when its gain exceeds one (a delay whose
// resonant filters lift part of the band above unity near full feedback).
//
// Up to `threshold` the sample passes bit for bit, so the loop sounds exactly
// as without it at every normal level. Above it the excess is bent by a tanh
// knee that starts with slope 1 (no kink) and approaches `ceiling` without
// reaching it; a runaway loop therefore settles into a steady self-oscillation
// just above the threshold instead of growing. Stateless: whatever follows it
// in the loop sees at most `ceiling`, so the whole loop stays bounded by the
// ceiling times the gain of the filters between it and the output.
struct LoopLimiter
{
    double threshold = 4.0; // +12 dBFS: above anything a full-scale input reaches at normal feedback
    double ceiling = 8.0;   // +18 dBFS

    double process (double x) const noexcept
    {
        const double magnitude = std::abs (x);
        if (magnitude <= threshold)
            return x;

        // Not a number: the loop would stay poisoned for good, so it restarts from silence.
        if (magnitude != magnitude)
            return 0.0;

        const double room = ceiling - threshold;
        return std::copysign (threshold + room * std::tanh ((magnitude - threshold) / room), x);
    }
};
