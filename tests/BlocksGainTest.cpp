// Gain blocks: the input gate, the envelope follower, the gain computer and
// the distortion's drive mapping, plus the worked figures they share with
// the delay-time glide.

#include "effects/blocks/DelayLine.h"
#include "effects/blocks/Distortion.h"
#include "effects/blocks/Dynamics.h"
#include "effects/blocks/Envelope.h"
#include "effects/blocks/Glide.h"
#include "effects/blocks/InputGate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace
{
// Gain the gate applies to a constant input once it has settled (5 s).
double settledGateGain (double amplitude)
{
    InputGate gate;
    gate.prepare (48000.0);
    double y = 0.0;
    for (int i = 0; i < 5 * 48000; ++i)
        y = gate.process (amplitude);
    return y / amplitude;
}

// Envelope output after feeding a constant for two seconds.
double settledEnvelope (int detector, int dbOutput, double input)
{
    Envelope env { 10.0, 100.0, detector, dbOutput, 0 };
    env.prepare (48000.0);
    double y = 0.0;
    for (int i = 0; i < 2 * 48000; ++i)
        y = env.process (input);
    return y;
}

double glideFractionMoved (double fromMs, double toMs, double sampleRate)
{
    Glide delay { fromMs };
    delay.setTarget (toMs);
    glideDelayTime (delay, sampleRate);
    return (delay.current - fromMs) / (toMs - fromMs);
}
} // namespace

TEST (BlocksWorkedFigures, Table)
{
    struct Figure
    {
        std::string what;
        std::function<double()> compute;
        double expected;
        double tolerance;
    };

    const std::vector<Figure> figures {
        { "gate fully open at 0.001 (-60 dB)", [] { return settledGateGain (0.001); }, 1.0, 1e-9 },
        { "gate just open at 0.0005", [] { return settledGateGain (0.0005); }, 1.0, 1e-9 },
        { "gate passes a fifth of 0.0001", [] { return settledGateGain (0.0001); }, 0.2, 1e-9 },
        { "envelope of silence", [] { return settledEnvelope (0, 1, 0.0); }, -379.0, 0.0 },
        { "envelope of +2 clamps to 0 dB", [] { return settledEnvelope (0, 1, 2.0); }, 0.0, 0.0 },
        { "envelope of -2 clamps to 0 dB", [] { return settledEnvelope (2, 1, -2.0); }, 0.0, 0.0 },
        { "ducker at -18 dB", [] { return Dynamics::ducking().calculateGain (-18.0); }, -4.5, 1e-12 },
        { "ducker on silence", [] { return Dynamics::ducking().calculateGain (-379.0); }, 0.0, 0.0 },
        { "glide 500 -> 250 ms at 48 kHz", [] { return glideFractionMoved (500.0, 250.0, 48000.0); },
          1.0 / 12000.0, 1e-15 },
        { "glide 250 -> 1000 ms at 44.1 kHz", [] { return glideFractionMoved (250.0, 1000.0, 44100.0); },
          1.0 / 44100.0, 1e-15 },
    };

    for (const auto& f : figures)
        EXPECT_NEAR (f.compute(), f.expected, f.tolerance) << f.what;
}

TEST (BlocksInputGate, CoefficientsAndClampedState)
{
    InputGate gate;
    gate.prepare (44100.0);
    const double decay = std::exp (-1.0 / (50.0 * 44100.0 / 1000.0));
    EXPECT_DOUBLE_EQ (gate.decayCoef, decay);
    EXPECT_DOUBLE_EQ (gate.inputCoef, (1.0 - decay) / 0.001);

    // A loud input saturates the state at 1 and then passes unchanged;
    // silence lets the state decay.
    for (int i = 0; i < 100; ++i)
        gate.process (0.5);
    EXPECT_EQ (gate.state, 1.0);
    EXPECT_EQ (gate.process (0.5), 0.5);
    gate.process (0.0);
    EXPECT_DOUBLE_EQ (gate.state, decay);
    gate.reset();
    EXPECT_EQ (gate.process (0.5), 0.5 * std::min (2.0 * 0.5 * gate.inputCoef, 1.0));
}

TEST (BlocksEnvelope, DetectorsSettleOnTheirMeasure)
{
    struct Case
    {
        int detector, dbOutput;
        double input, expected;
    };
    const std::vector<Case> cases {
        { 0, 0, 0.5, 0.5 },                         // RMS
        { 0, 1, 0.5, 20.0 * std::log10 (0.5) },
        { 1, 0, 0.5, 0.25 },                        // mean square
        { 1, 1, 0.5, 20.0 * std::log10 (0.25) },
        { 2, 0, -0.5, 0.5 },                        // peak
        { 3, 0, 0.5, 0.5 },                         // signed input
        { 7, 0, 0.5, 0.5 },
        { 3, 0, -0.5, 0.0 },                        // held at 0
        { 3, 1, -0.5, -379.0 },
        { 1, 0, 2.0, 1.0 },                         // held at 1
    };

    for (const auto& c : cases)
        EXPECT_NEAR (settledEnvelope (c.detector, c.dbOutput, c.input), c.expected, 1e-9)
            << "detector " << c.detector << ", dB " << c.dbOutput << ", input " << c.input;
}

TEST (BlocksEnvelope, TimingsSetAttackAndRelease)
{
    struct Case
    {
        int timing;
        double exponent;
    };
    for (const Case c : { Case { 0, -1.0 }, Case { 1, -4.6 } })
    {
        SCOPED_TRACE ("timing " + std::to_string (c.timing));
        Envelope env { 20.0, 200.0, 2, 0, c.timing };
        env.prepare (48000.0);
        EXPECT_DOUBLE_EQ (env.attackCoef, std::exp (c.exponent / 960.0));
        EXPECT_DOUBLE_EQ (env.releaseCoef, std::exp (c.exponent / 9600.0));

        // After the attack time a unit step has covered 1 − e^exponent of the
        // way; after the release time the fall has too.
        double y = 0.0;
        for (int i = 0; i < 960; ++i)
            y = env.process (1.0);
        EXPECT_NEAR (y, 1.0 - std::exp (c.exponent), 1e-9);

        env.state = 1.0;
        for (int i = 0; i < 9600; ++i)
            y = env.process (0.0);
        EXPECT_NEAR (y, std::exp (c.exponent), 1e-9);
    }

    // Other timing codes leave the coefficients as they were.
    Envelope env { 20.0, 200.0, 2, 0, 2 };
    env.attackCoef = 0.25;
    env.releaseCoef = 0.75;
    env.prepare (48000.0);
    EXPECT_EQ (env.attackCoef, 0.25);
    EXPECT_EQ (env.releaseCoef, 0.75);
}

TEST (BlocksEnvelope, BlockFormProcessesOnlyFirstSample)
{
    Envelope env { 10.0, 100.0, 2, 0, 0 };
    env.prepare (48000.0);
    double samples[3] = { 0.8, 0.3, -0.2 };
    env.process (samples, 3);
    EXPECT_DOUBLE_EQ (samples[0], 0.8 * (1.0 - env.attackCoef));
    EXPECT_EQ (samples[1], 0.3);
    EXPECT_EQ (samples[2], -0.2);
}

TEST (BlocksDynamics, EveryModeOutsideAndInsideTheKnee)
{
    // Threshold −24 dB, ratio 4, knee 12 dB: the knee spans −30 to −18 dB.
    struct Case
    {
        int mode;
        double level, expected;
    };
    const std::vector<Case> cases {
        { 0, -40.0, 0.0 },   { 0, -24.0, -1.125 }, { 0, -10.0, -10.5 },  // downward compressor
        { 1, -40.0, 12.0 },  { 1, -24.0, 1.125 },  { 1, -10.0, 0.0 },    // upward compressor
        { 2, -40.0, 0.0 },   { 2, -24.0, -1.5 },   { 2, -10.0, -14.0 },  // limiter
        { 3, -40.0, -12.0 }, { 3, -24.0, -1.125 }, { 3, -10.0, 0.0 },    // downward expander
        { 4, -40.0, 0.0 },   { 4, -24.0, 1.125 },  { 4, -10.0, 10.5 },   // upward expander
        { 5, -40.0, -16.0 }, { 5, -24.0, -1.5 },   { 5, -10.0, 0.0 },    // gate
        { 9, -10.0, 0.0 },                                               // unknown mode
    };

    for (const auto& c : cases)
    {
        Dynamics d = Dynamics::ducking();
        d.mode = c.mode;
        d.kneeDb = 12.0;
        EXPECT_NEAR (d.calculateGain (c.level), c.expected, 1e-12) << "mode " << c.mode << " at " << c.level;
    }

    // The knee's curve meets the straight lines at both of its edges.
    for (int mode = 0; mode <= 5; ++mode)
    {
        Dynamics soft = Dynamics::ducking();
        soft.mode = mode;
        soft.kneeDb = 12.0;
        Dynamics hard = soft;
        hard.kneeDb = 0.0;
        for (double edge : { -30.0, -18.0 })
        {
            const double inside = edge < -24.0 ? edge + 1e-9 : edge - 1e-9;
            EXPECT_NEAR (soft.calculateGain (inside), hard.calculateGain (edge), 1e-6)
                << "mode " << mode << " at " << edge;
        }
    }
}

TEST (BlocksDynamics, DuckingConstants)
{
    Dynamics d = Dynamics::ducking();
    d.envelope.prepare (48000.0);
    EXPECT_EQ (d.envelope.detector, 0);
    EXPECT_EQ (d.envelope.dbOutput, 1);
    EXPECT_DOUBLE_EQ (d.envelope.attackCoef, std::exp (-1.0 / 480.0));
    EXPECT_DOUBLE_EQ (d.envelope.releaseCoef, std::exp (-1.0 / 4800.0));
    EXPECT_EQ (d.mode, 0);
    EXPECT_EQ (d.ratio, 4.0);
    EXPECT_EQ (d.thresholdDb, -24.0);
    EXPECT_EQ (d.kneeDb, 0.0);
    EXPECT_EQ (d.rangeDb, 96.0);
    EXPECT_EQ (d.makeup, 1.0);
}

TEST (BlocksDistortion, DriveShapesGainAndMovesFilters)
{
    // Threshold 36 dB, knee 16 dB (28 to 44 dB), ratio 8, maximum 48 dB.
    struct Case
    {
        double gainDb, shapedDb, highPassHz, lowPassHz;
    };
    const std::vector<Case> cases {
        { 0.0, 0.0, 20.0, 20000.0 },
        { 28.0, 28.0, 20.0, 20000.0 },
        { 36.0, 34.25, 100.0, 8608.0 },  // centre of the knee
        { 44.0, 37.0, 180.0, 2912.0 },   // top of the knee
        { 48.0, 37.5, 220.0, 2200.0 },   // full drive
        { 60.0, 39.0, 220.0, 2200.0 },   // beyond full drive the filters stay put
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE ("gain " + std::to_string (c.gainDb));
        Distortion d;
        d.prepare (44100.0);
        d.setGain (c.gainDb);
        EXPECT_EQ (d.gainDb, c.gainDb);
        EXPECT_NEAR (d.shapedGainDb, c.shapedDb, 1e-9);
        EXPECT_NEAR (d.highPass.frequency, c.highPassHz, 1e-9);
        EXPECT_NEAR (d.lowPass.frequency, c.lowPassHz, 1e-9);

        Biquad highPass (Biquad::firstOrderHighPass, d.highPass.frequency, 0.7071);
        Biquad lowPass (Biquad::lowPass, d.lowPass.frequency, 0.7071);
        highPass.prepare (44100.0);
        lowPass.prepare (44100.0);
        EXPECT_EQ (d.highPass.b0, highPass.b0);
        EXPECT_EQ (d.highPass.a1, highPass.a1);
        EXPECT_EQ (d.lowPass.b0, lowPass.b0);
        EXPECT_EQ (d.lowPass.a2, lowPass.a2);
    }
}
