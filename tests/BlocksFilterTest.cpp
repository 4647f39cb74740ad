// Filter blocks against their analytic responses: every Biquad type is the
// bilinear transform, prewarped at its corner, of a textbook analog prototype,
// so its response at digital frequency f equals the prototype's at
// s = j·tan(πf/fs) / tan(πf0/fs).

#include "effects/blocks/Biquad.h"
#include "effects/blocks/OnePole.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

namespace
{
using Complex = std::complex<double>;

struct FilterCase
{
    int type;
    double frequency;
    double q;
    double gainDb;
    double sampleRate;
};

// Analog prototype of each type, normalised to a corner at 1 rad/s.
Complex prototypeResponse (const FilterCase& c, double hz)
{
    const double omega = std::tan (M_PI * hz / c.sampleRate) / std::tan (M_PI * c.frequency / c.sampleRate);
    const Complex s (0.0, omega);
    const double Q = c.q;
    const double A = std::pow (10.0, c.gainDb / 40.0);
    const Complex den = s * s + s / Q + 1.0;

    switch (c.type)
    {
        case 0:  return (1.0 - s) / (1.0 + s);
        case 1:  return (s * s - s / Q + 1.0) / den;
        case 2:  return (s / Q) / den;
        case 3:  return s / den;
        case 4:
        case 13: return (s * s + 1.0) / den;
        case 5:  return s / (s + 1.0);
        case 6:  return s * s / den;
        case 7:  return (s / (s + 1.0)) * (s / (s + 1.0));
        case 9:  return 1.0 / (s + 1.0);
        case 10: return 1.0 / den;
        case 11: return 1.0 / ((s + 1.0) * (s + 1.0));
        case 14: return (s * s + s * (A / Q) + 1.0) / (s * s + s / (A * Q) + 1.0);
        case 8:
        case 12:
        {
            // q is the shelf slope S.
            const double invQ = std::sqrt ((A + 1.0 / A) * (1.0 / Q - 1.0) + 2.0);
            const double m = std::sqrt (A) * invQ;
            if (c.type == 8)
                return A * (A * s * s + m * s + 1.0) / (s * s + m * s + A);
            return A * (s * s + m * s + A) / (A * s * s + m * s + 1.0);
        }
        default: return 0.0;
    }
}

Complex coefficientResponse (const Biquad& f, double hz)
{
    const Complex z1 = std::polar (1.0, -2.0 * M_PI * hz / f.sampleRate);
    const Complex z2 = z1 * z1;
    return (f.b0 + f.b1 * z1 + f.b2 * z2) / (1.0 + f.a1 * z1 + f.a2 * z2);
}

Biquad makeFilter (const FilterCase& c)
{
    Biquad f (c.type, c.frequency, c.q, c.gainDb);
    f.prepare (c.sampleRate);
    return f;
}

// Amplitude of the steady-state response to a unit sine at an integer
// frequency: one second to settle, then a one-bin DFT over one second.
double measuredGain (Biquad& filter, double hz)
{
    const int n = (int) filter.sampleRate;
    const double w = 2.0 * M_PI * hz / filter.sampleRate;
    for (int i = 0; i < n; ++i)
        filter.process (std::sin (w * i));

    double re = 0.0, im = 0.0;
    for (int i = n; i < 2 * n; ++i)
    {
        const double y = filter.process (std::sin (w * i));
        re += y * std::cos (w * i);
        im += y * std::sin (w * i);
    }
    return 2.0 / n * std::hypot (re, im);
}

const std::vector<FilterCase> filterCases {
    { 0, 1000.0, 0.7071, 0.0, 48000.0 },
    { 0, 150.0, 3.0, 0.0, 44100.0 },
    { 1, 2000.0, 0.9, 0.0, 44100.0 },
    { 2, 1000.0, 2.0, 0.0, 48000.0 },
    { 3, 800.0, 3.0, 0.0, 96000.0 },
    { 4, 5000.0, 1.2, 0.0, 48000.0 },
    { 5, 20.0, 0.7071, 0.0, 48000.0 },
    { 5, 360.0, 5.0, 0.0, 44100.0 },
    { 6, 150.0, 0.8, 0.0, 48000.0 },
    { 7, 1500.0, 0.7071, 0.0, 48000.0 },
    { 8, 3000.0, 0.7071, 6.0, 48000.0 },
    { 8, 1200.0, 1.0, -12.0, 44100.0 },
    { 9, 4822.0, 0.7071, 0.0, 48000.0 },
    { 10, 2600.0, 0.8, 0.0, 48000.0 },
    { 10, 20000.0, 0.7071, 0.0, 96000.0 },
    { 11, 7000.0, 0.7071, 0.0, 96000.0 },
    { 12, 500.0, 0.5, 9.0, 48000.0 },
    { 12, 250.0, 0.9, -4.5, 44100.0 },
    { 13, 60.0, 4.0, 0.0, 44100.0 },
    { 14, 2500.0, 1.5, -8.0, 48000.0 },
    { 14, 400.0, 0.7, 10.0, 96000.0 },
};
} // namespace

TEST (BlocksBiquad, CoefficientsMatchAnalogPrototypeOfEveryType)
{
    for (const auto& c : filterCases)
    {
        SCOPED_TRACE ("type " + std::to_string (c.type) + " at " + std::to_string (c.frequency) + " Hz, fs "
                      + std::to_string (c.sampleRate));
        const Biquad filter = makeFilter (c);

        for (double ratio : { 0.1, 0.5, 0.9, 1.0, 1.1, 2.0, 5.0 })
        {
            const double hz = c.frequency * ratio;
            if (hz >= 0.49 * c.sampleRate)
                continue;
            const Complex expected = prototypeResponse (c, hz);
            const Complex actual = coefficientResponse (filter, hz);
            EXPECT_NEAR (std::abs (actual - expected), 0.0, 1e-9 * std::max (1.0, std::abs (expected)))
                << "at " << hz << " Hz: |H| " << std::abs (actual) << " vs " << std::abs (expected);
        }
    }
}

TEST (BlocksBiquad, SineThroughFilterHasAnalyticGain)
{
    struct SineCase
    {
        FilterCase filter;
        double hz;
    };
    const std::vector<SineCase> cases {
        { { 10, 2600.0, 0.8, 0.0, 48000.0 }, 2600.0 },  // corner of a low-pass: gain q
        { { 10, 2600.0, 0.8, 0.0, 48000.0 }, 9000.0 },
        { { 14, 2500.0, 1.5, -8.0, 48000.0 }, 2500.0 }, // centre of a peak: the peak gain
        { { 7, 150.0, 0.7071, 0.0, 44100.0 }, 150.0 },  // two coincident poles: −6 dB at the corner
        { { 12, 300.0, 1.0, 9.0, 44100.0 }, 40.0 },     // deep in a low shelf: nearly the shelf gain
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE ("type " + std::to_string (c.filter.type) + " at " + std::to_string (c.hz) + " Hz");
        Biquad filter = makeFilter (c.filter);
        EXPECT_NEAR (measuredGain (filter, c.hz), std::abs (prototypeResponse (c.filter, c.hz)), 1e-6);
    }

    // The landmarks themselves, independent of any prototype.
    Biquad lowPass = makeFilter ({ 10, 2600.0, 0.8, 0.0, 48000.0 });
    EXPECT_NEAR (measuredGain (lowPass, 2600.0), 0.8, 1e-6);
    Biquad peak = makeFilter ({ 14, 2500.0, 1.5, -8.0, 48000.0 });
    EXPECT_NEAR (measuredGain (peak, 2500.0), std::pow (10.0, -8.0 / 20.0), 1e-6);
    Biquad coincident = makeFilter ({ 7, 150.0, 0.7071, 0.0, 44100.0 });
    EXPECT_NEAR (measuredGain (coincident, 150.0), 0.5, 1e-6);
}

TEST (BlocksBiquad, HighShelfAtZeroDbIsIdentity)
{
    const std::vector<FilterCase> cases {
        { 8, 1000.0, 0.7071, 0.0, 48000.0 },
        { 8, 7500.0, 0.3, 0.0, 44100.0 },
        { 8, 80.0, 1.0, 0.0, 96000.0 },
    };

    std::mt19937 rng (7);
    std::uniform_real_distribution<double> noise (-1.0, 1.0);

    for (const auto& c : cases)
    {
        SCOPED_TRACE ("shelf at " + std::to_string (c.frequency) + " Hz");
        Biquad filter = makeFilter (c);
        EXPECT_DOUBLE_EQ (filter.b0, 1.0);
        EXPECT_DOUBLE_EQ (filter.b1, filter.a1);
        EXPECT_DOUBLE_EQ (filter.b2, filter.a2);

        for (int i = 0; i < 2000; ++i)
        {
            const double x = noise (rng);
            ASSERT_NEAR (filter.process (x), x, 1e-12) << "sample " << i;
        }
    }
}

TEST (BlocksBiquad, UnknownTypeLeavesCoefficientsUnchanged)
{
    for (int unknownType : { 15, 16, 99, -1 })
    {
        SCOPED_TRACE ("type " + std::to_string (unknownType));
        Biquad filter (Biquad::peaking, 2500.0, 1.5, -8.0);
        filter.prepare (44100.0);
        const Biquad before = filter;

        filter.type = unknownType;
        filter.calculateCoefficients();
        filter.setFrequency (900.0);
        filter.setGainDb (3.0);
        filter.prepare (96000.0);

        EXPECT_EQ (filter.b0, before.b0);
        EXPECT_EQ (filter.b1, before.b1);
        EXPECT_EQ (filter.b2, before.b2);
        EXPECT_EQ (filter.a1, before.a1);
        EXPECT_EQ (filter.a2, before.a2);
    }
}

TEST (BlocksBiquad, SettersRecomputeOnlyOnChangeAndKeepHistory)
{
    Biquad filter (Biquad::highShelf, 3000.0, 0.7071, 6.0);
    filter.prepare (48000.0);
    filter.process (0.5);
    filter.process (-0.25);

    // Marked coefficients survive setting the same values again.
    filter.b0 = 42.0;
    filter.setFrequency (3000.0);
    filter.setGainDb (6.0);
    EXPECT_EQ (filter.b0, 42.0);

    // A new frequency or gain recomputes them exactly as a fresh design,
    // without touching the history.
    filter.setFrequency (2000.0);
    filter.setGainDb (-3.0);
    Biquad fresh (Biquad::highShelf, 2000.0, 0.7071, -3.0);
    fresh.prepare (48000.0);
    EXPECT_EQ (filter.b0, fresh.b0);
    EXPECT_EQ (filter.b1, fresh.b1);
    EXPECT_EQ (filter.a2, fresh.a2);
    EXPECT_EQ (filter.x1, -0.25);
    EXPECT_EQ (filter.x2, 0.5);

    // prepare zeroes the history; the block form equals the sample form.
    filter.prepare (48000.0);
    EXPECT_EQ (filter.x1, 0.0);
    EXPECT_EQ (filter.y1, 0.0);

    std::vector<double> block { 1.0, 0.0, -0.5, 0.25, 0.0, 0.0 };
    std::vector<double> expected;
    for (double x : block)
        expected.push_back (fresh.process (x));
    filter.process (block.data(), (int) block.size());
    for (size_t i = 0; i < block.size(); ++i)
        EXPECT_DOUBLE_EQ (block[i], expected[i]) << "sample " << i;
}

TEST (BlocksOnePole, CoefficientAndStepResponses)
{
    struct Case
    {
        double hz, sampleRate;
    };
    for (const Case c : { Case { 8.175, 48000.0 }, Case { 7234.0, 44100.0 }, Case { 54.0, 96000.0 } })
    {
        SCOPED_TRACE (std::to_string (c.hz) + " Hz at " + std::to_string (c.sampleRate));
        OnePole lowPass (c.hz);
        OnePole highPass (c.hz);
        lowPass.prepare (c.sampleRate);
        highPass.prepare (c.sampleRate);

        const double coefficient = 1.0 - std::exp (-2.0 * M_PI * c.hz / c.sampleRate);
        EXPECT_DOUBLE_EQ (lowPass.coefficient, coefficient);

        // Unit step: the low-pass approaches 1 and the high-pass decays from
        // 1, both by the factor (1 − coefficient) per sample.
        for (int n = 1; n <= 200; ++n)
        {
            const double remaining = std::pow (1.0 - coefficient, n);
            ASSERT_NEAR (lowPass.lowPass (1.0), 1.0 - remaining, 1e-12) << "sample " << n;
            ASSERT_NEAR (highPass.highPass (1.0), remaining, 1e-12) << "sample " << n;
        }
    }

    // The constructor designs for 48 kHz; a changed frequency is recomputed,
    // prepare recomputes for the new rate and clears the state.
    OnePole filter (1000.0);
    EXPECT_DOUBLE_EQ (filter.coefficient, 1.0 - std::exp (-2.0 * M_PI * 1000.0 / 48000.0));
    filter.setFrequency (2000.0);
    EXPECT_DOUBLE_EQ (filter.coefficient, 1.0 - std::exp (-2.0 * M_PI * 2000.0 / 48000.0));
    filter.lowPass (1.0);
    filter.prepare (96000.0);
    EXPECT_EQ (filter.state, 0.0);
    EXPECT_DOUBLE_EQ (filter.coefficient, 1.0 - std::exp (-2.0 * M_PI * 2000.0 / 96000.0));
}
