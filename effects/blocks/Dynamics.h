#pragma once

#include "Envelope.h"

// Gain computer: turns a level in dB into a gain change in dB. The quadratic
// blend inside the knee meets the straight lines on both sides.
//
// mode 0 downward compressor, 1 upward compressor, 2 limiter,
//      3 downward expander, 4 upward expander, 5 gate.
// rangeDb and makeup are applied by the caller.
struct Dynamics
{
    Envelope envelope { 10.0, 100.0, 0, 1, 0 };
    int mode = 0;
    double ratio = 4.0;
    double thresholdDb = -24.0;
    double kneeDb = 0.0;
    double rangeDb = 96.0;
    double makeup = 1.0;

    double calculateGain (double levelDb) const noexcept
    {
        const double x = levelDb;
        const double T = thresholdDb;
        const double W = kneeDb;
        const double lo = T - W / 2.0;
        const double hi = T + W / 2.0;
        const bool inKnee = lo < x && x < hi;

        switch (mode)
        {
            case 0: // downward compressor
                if (x <= lo) return 0.0;
                if (inKnee)  return -(1.0 - 1.0 / ratio) * (x - lo) * (x - lo) / (2.0 * W);
                return (1.0 - 1.0 / ratio) * (T - x);

            case 1: // upward compressor
                if (x <= lo) return (1.0 - 1.0 / ratio) * (T - x);
                if (inKnee)  return (1.0 - 1.0 / ratio) * (hi - x) * (hi - x) / (2.0 * W);
                return 0.0;

            case 2: // limiter
                if (x <= lo) return 0.0;
                if (inKnee)  return -(x - lo) * (x - lo) / (2.0 * W);
                return T - x;

            case 3: // downward expander
                if (x <= lo) return (1.0 / ratio - 1.0) * (T - x);
                if (inKnee)  return (1.0 / ratio - 1.0) * (hi - x) * (hi - x) / (2.0 * W);
                return 0.0;

            case 4: // upward expander
                if (x <= lo) return 0.0;
                if (inKnee)  return -(1.0 / ratio - 1.0) * (x - lo) * (x - lo) / (2.0 * W);
                return (1.0 / ratio - 1.0) * (T - x);

            case 5: // gate
                if (x <= lo) return x - T;
                if (inKnee)  return -(hi - x) * (hi - x) / (2.0 * W);
                return 0.0;

            default:
                return 0.0;
        }
    }

    // The ducking stage every model shares: RMS follower in dB (10 ms attack,
    // 100 ms release, 1/e times) into a 4:1 downward compressor at −24 dB
    // with a hard knee, 96 dB range and unity make-up.
    static Dynamics ducking() noexcept
    {
        Dynamics d;
        d.envelope = Envelope { 10.0, 100.0, 0, 1, 0 };
        d.mode = 0;
        d.ratio = 4.0;
        d.thresholdDb = -24.0;
        d.kneeDb = 0.0;
        d.rangeDb = 96.0;
        d.makeup = 1.0;
        return d;
    }
};
