#pragma once

#include <algorithm>
#include <cmath>

// Second-order section in direct form I with coefficients normalised to
// a0 = 1. The type code selects the design:
//
//   0 first-order all-pass      5 first-order high-pass    10 low-pass
//   1 all-pass                  6 high-pass                11 low-pass, two coincident poles
//   2 band-pass, 0 dB peak      7 high-pass, two           12 low shelf
//   3 band-pass, peak gain q      coincident poles         13 notch (same as 4)
//   4 notch                     8 high shelf               14 peaking
//                               9 first-order low-pass
//
// For the shelves q is the shelf slope S. Only the shelves and the peaking
// type use gainDb; the first-order and coincident-pole types ignore q.
struct Biquad
{
    enum Type : int
    {
        firstOrderAllPass = 0,
        allPass = 1,
        bandPass = 2,
        bandPassPeakQ = 3,
        notch = 4,
        firstOrderHighPass = 5,
        highPass = 6,
        highPassCoincident = 7,
        highShelf = 8,
        firstOrderLowPass = 9,
        lowPass = 10,
        lowPassCoincident = 11,
        lowShelf = 12,
        notchAlt = 13,
        peaking = 14
    };

    double sampleRate = 48000.0;
    int type = highShelf;
    double frequency = 1000.0;
    double q = 0.7071;
    double gainDb = 0.0;
    double b0 = 1.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;
    double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;

    explicit Biquad (int filterType = highShelf, double frequencyHz = 1000.0,
                     double quality = 0.7071, double gain = 0.0) noexcept
        : type (filterType), frequency (frequencyHz), q (quality), gainDb (gain)
    {
        calculateCoefficients();
    }

    // Recomputes b0..a2 from sampleRate, type, frequency, q and gainDb.
    // The filter history is left alone; an unknown type changes nothing.
    void calculateCoefficients() noexcept
    {
        if (type < 0 || type > peaking)
            return;

        // A corner at or above Nyquist has no digital counterpart: every
        // design here turns unstable there. It is held just below it, which
        // only touches the 20 kHz filters at sample rates under 40.8 kHz.
        const double f = std::min (frequency, 0.49 * sampleRate);

        const double w0 = 2.0 * M_PI * f / sampleRate;
        const double s = std::sin (w0);
        const double c = std::cos (w0);
        const double alpha = s / (2.0 * q);
        const double A = std::pow (10.0, gainDb / 40.0);

        double nb0 = 1.0, nb1 = 0.0, nb2 = 0.0, na0 = 1.0, na1 = 0.0, na2 = 0.0;

        switch (type)
        {
            case firstOrderAllPass:
            {
                const double t = std::tan (M_PI * f / sampleRate);
                const double k = (t - 1.0) / (t + 1.0);
                nb0 = k; nb1 = 1.0; nb2 = 0.0;
                na0 = 1.0; na1 = k; na2 = 0.0;
                break;
            }
            case allPass:
                nb0 = 1.0 - alpha; nb1 = -2.0 * c; nb2 = 1.0 + alpha;
                na0 = 1.0 + alpha; na1 = -2.0 * c; na2 = 1.0 - alpha;
                break;
            case bandPass:
                nb0 = alpha; nb1 = 0.0; nb2 = -alpha;
                na0 = 1.0 + alpha; na1 = -2.0 * c; na2 = 1.0 - alpha;
                break;
            case bandPassPeakQ:
                nb0 = q * alpha; nb1 = 0.0; nb2 = -q * alpha;
                na0 = 1.0 + alpha; na1 = -2.0 * c; na2 = 1.0 - alpha;
                break;
            case notch:
            case notchAlt:
                nb0 = 1.0; nb1 = -2.0 * c; nb2 = 1.0;
                na0 = 1.0 + alpha; na1 = -2.0 * c; na2 = 1.0 - alpha;
                break;
            case firstOrderHighPass:
            {
                const double p = c / (1.0 + s);
                nb0 = (1.0 + p) / 2.0; nb1 = -(1.0 + p) / 2.0; nb2 = 0.0;
                na0 = 1.0; na1 = -p; na2 = 0.0;
                break;
            }
            case highPass:
                nb0 = (1.0 + c) / 2.0; nb1 = -(1.0 + c); nb2 = (1.0 + c) / 2.0;
                na0 = 1.0 + alpha; na1 = -2.0 * c; na2 = 1.0 - alpha;
                break;
            case highPassCoincident:
            case lowPassCoincident:
            {
                // Bilinear transform of (s / (s + W))^2 or (W / (s + W))^2,
                // prewarped so the double pole lands on the given frequency.
                const double W = M_PI * f;
                const double K = W / std::tan (W / sampleRate);
                const double KK = K * K, WW = W * W, KW = K * W;
                if (type == highPassCoincident)
                {
                    nb0 = KK; nb1 = -2.0 * KK; nb2 = KK;
                }
                else
                {
                    nb0 = WW; nb1 = 2.0 * WW; nb2 = WW;
                }
                na0 = KK + 2.0 * KW + WW; na1 = 2.0 * WW - 2.0 * KK; na2 = KK - 2.0 * KW + WW;
                break;
            }
            case highShelf:
            {
                const double beta2 = twoRootABeta (s, A);
                nb0 = A * ((A + 1.0) + (A - 1.0) * c + beta2);
                nb1 = -2.0 * A * ((A - 1.0) + (A + 1.0) * c);
                nb2 = A * ((A + 1.0) + (A - 1.0) * c - beta2);
                na0 = (A + 1.0) - (A - 1.0) * c + beta2;
                na1 = 2.0 * ((A - 1.0) - (A + 1.0) * c);
                na2 = (A + 1.0) - (A - 1.0) * c - beta2;
                break;
            }
            case firstOrderLowPass:
            {
                const double p = c / (1.0 + s);
                nb0 = (1.0 - p) / 2.0; nb1 = (1.0 - p) / 2.0; nb2 = 0.0;
                na0 = 1.0; na1 = -p; na2 = 0.0;
                break;
            }
            case lowPass:
                nb0 = (1.0 - c) / 2.0; nb1 = 1.0 - c; nb2 = (1.0 - c) / 2.0;
                na0 = 1.0 + alpha; na1 = -2.0 * c; na2 = 1.0 - alpha;
                break;
            case lowShelf:
            {
                const double beta2 = twoRootABeta (s, A);
                nb0 = A * ((A + 1.0) - (A - 1.0) * c + beta2);
                nb1 = 2.0 * A * ((A - 1.0) - (A + 1.0) * c);
                nb2 = A * ((A + 1.0) - (A - 1.0) * c - beta2);
                na0 = (A + 1.0) + (A - 1.0) * c + beta2;
                na1 = -2.0 * ((A - 1.0) + (A + 1.0) * c);
                na2 = (A + 1.0) + (A - 1.0) * c - beta2;
                break;
            }
            case peaking:
                nb0 = 1.0 + alpha * A; nb1 = -2.0 * c; nb2 = 1.0 - alpha * A;
                na0 = 1.0 + alpha / A; na1 = -2.0 * c; na2 = 1.0 - alpha / A;
                break;
            default:
                return;
        }

        b0 = nb0 / na0;
        b1 = nb1 / na0;
        b2 = nb2 / na0;
        a1 = na1 / na0;
        a2 = na2 / na0;
    }

    void prepare (double newSampleRate) noexcept
    {
        sampleRate = newSampleRate;
        calculateCoefficients();
        reset();
    }

    void setFrequency (double hz) noexcept
    {
        if (hz != frequency)
        {
            frequency = hz;
            calculateCoefficients();
        }
    }

    void setGainDb (double db) noexcept
    {
        if (db != gainDb)
        {
            gainDb = db;
            calculateCoefficients();
        }
    }

    void setQ (double newQ) noexcept
    {
        if (newQ != q)
        {
            q = newQ;
            calculateCoefficients();
        }
    }

    void reset() noexcept { x1 = x2 = y1 = y2 = 0.0; }

    double process (double x) noexcept
    {
        const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }

    void process (double* samples, int numSamples) noexcept
    {
        for (int i = 0; i < numSamples; ++i)
            samples[i] = process (samples[i]);
    }

private:
    // 2·sqrt(A)·beta of the shelves, beta = (s/2)·sqrt((1/S − 1)(A + 1/A) + 2).
    // A slope so steep that the root turns negative would give NaN; it is
    // held at the steepest slope that still has a real root.
    double twoRootABeta (double s, double A) const noexcept
    {
        const double radicand = (1.0 / q - 1.0) * (A + 1.0 / A) + 2.0;
        const double beta = (s / 2.0) * std::sqrt (radicand > 0.0 ? radicand : 0.0);
        return 2.0 * std::sqrt (A) * beta;
    }
};
