#include "ModelTestSupport.h"

#include "effects/blocks/Biquad.h"
#include "effects/blocks/InputGate.h"
#include "effects/models/DigitalDelay.h"

#include <gtest/gtest.h>

using namespace modeltest;

namespace
{
constexpr double rate = 48000.0;
constexpr int blockSize = 512;
constexpr size_t settle = 48000;         // one second for every glide to arrive
constexpr size_t delaySamples = 12000;   // 250 ms at 48 kHz

Settings digitalSettings (float feedback, float depth, float tone, float mix, float modRate = 1.0f)
{
    return { { ParamIndex::active, 1.0f },     { ParamIndex::delayTimeJump, 250.0f }, { ParamIndex::feedback, feedback },
             { ParamIndex::tone, tone },        { ParamIndex::modDepth, depth },       { ParamIndex::mix, mix },
             { ParamIndex::modRate, modRate },  { ParamIndex::lfoPhase, 0.0f } };
}

// What the wet path does to a sample before and after the line: the input
// gate, the 20 Hz high-pass and 20 kHz low-pass, and the tone shelf.
std::vector<double> wetReference (const std::vector<double>& input, double shelfHz, double shelfDb)
{
    InputGate gate;
    gate.prepare (rate);
    Biquad highPass (Biquad::firstOrderHighPass, 20.0);
    Biquad lowPass (Biquad::firstOrderLowPass, 20000.0);
    Biquad shelf (Biquad::highShelf, shelfHz, 0.5, shelfDb);
    for (auto* f : { &highPass, &lowPass, &shelf })
        f->prepare (rate);

    std::vector<double> y (input.size());
    for (size_t i = 0; i < input.size(); ++i)
        y[i] = shelf.process (lowPass.process (highPass.process (gate.process (input[i]))));
    return y;
}
} // namespace

TEST (DigitalDelay, ImpulseReturnsAfterTheDelayAtTheLevelOfMixAndTone)
{
    struct Case
    {
        float tone, mix;
        double shelfHz, shelfDb, wet, dry;
    };
    const Case cases[] {
        { 0.5f, 1.0f, 2200.0, 0.0, 1.0, 0.0 },      // flat shelf, wet only
        { 0.49f, 1.0f, 1500.0, -0.24, 1.0, 0.0 },   // just below the middle: low corner
        { 1.0f, 1.0f, 2200.0, 12.0, 1.0, 0.0 },     // full treble
        { 0.0f, 1.0f, 1500.0, -12.0, 1.0, 0.0 },    // full cut
        { 0.5f, 0.375f, 2200.0, 0.0, 0.25, 1.0 },   // half-way to 0.75: wet (0.5)²
        { 0.5f, 0.9f, 2200.0, 0.0, 1.0, 0.4 },      // above 0.75: dry falls linearly
    };

    const size_t n0 = settle;
    const auto input = impulses (n0 + delaySamples + 4000, { n0 });

    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << "tone " << c.tone << " mix " << c.mix);
        DigitalDelay model;
        load (model, rate, blockSize, digitalSettings (0.0f, 0.0f, c.tone, c.mix));
        const auto out = run (model, input, blockSize);
        const auto ref = wetReference (input, c.shelfHz, c.shelfDb);

        double worst = 0.0;
        for (size_t n = n0; n < out.size(); ++n)
        {
            const double wet = n >= delaySamples ? ref[n - delaySamples] : 0.0;
            worst = std::max (worst, std::abs (out[n] - (c.dry * input[n] + c.wet * wet)));
        }
        EXPECT_LT (worst, 1e-6);
    }
}

TEST (DigitalDelay, FullFeedbackRepeatsUndamped)
{
    const size_t n0 = settle + delaySamples / 2;
    DigitalDelay model;
    load (model, rate, blockSize, digitalSettings (1.0f, 0.0f, 0.5f, 1.0f));
    const auto out = run (model, impulses (n0 + 8 * delaySamples + 100, { n0 }), blockSize);

    const double first = out[n0 + delaySamples];
    ASSERT_GT (first, 0.5);
    for (size_t k = 2; k <= 8; ++k)
    {
        EXPECT_NEAR (out[n0 + k * delaySamples], first, 1e-9) << "repeat " << k;
        EXPECT_EQ (peakIndex (out, n0 + (k - 1) * delaySamples + delaySamples / 2, n0 + k * delaySamples + delaySamples / 2),
                   n0 + k * delaySamples);
    }
}

TEST (DigitalDelay, DepthZeroIsStaticAndFullDepthSwingsTheReadByOneMillisecond)
{
    // Impulses an eighth of the 1 Hz LFO apart meet it at every phase.
    std::vector<size_t> positions;
    for (size_t k = 0; k < 8; ++k)
        positions.push_back (settle + k * 6000 + 1000);
    const size_t length = positions.back() + delaySamples + 2000;

    struct Case
    {
        float depth;
        long minSpread, maxSwing;
    };
    for (const Case c : { Case { 0.0f, 0, 0 }, Case { 1.0f, 80, 49 } })
    {
        SCOPED_TRACE (testing::Message() << "depth " << c.depth);
        DigitalDelay model;
        load (model, rate, blockSize, digitalSettings (0.0f, c.depth, 0.5f, 1.0f));
        const auto out = run (model, impulses (length, positions), blockSize);

        long lowest = 0, highest = 0;
        for (auto p : positions)
        {
            const size_t expected = p + delaySamples;
            const long offset = (long) peakIndex (out, expected - 100, expected + 100) - (long) expected;
            EXPECT_LE (std::abs (offset), c.maxSwing);
            lowest = std::min (lowest, offset);
            highest = std::max (highest, offset);
        }
        EXPECT_GE (highest - lowest, c.minSpread);
    }
}

TEST (DigitalDelay, SecondChannelModulationRunsAQuarterCycleAhead)
{
    // At 1 Hz a quarter cycle is 12000 samples: the second channel hears an
    // impulse the way the first hears one 12000 samples later.
    const size_t n0 = settle + 3000, lead = 12000;
    const size_t length = n0 + lead + delaySamples + 2000;

    DigitalDelay first, second;
    load (first, rate, blockSize, digitalSettings (0.3f, 1.0f, 0.5f, 1.0f));
    load (second, rate, blockSize, digitalSettings (0.3f, 1.0f, 0.5f, 1.0f));
    second.setParam (ParamIndex::channel, 1.0f);

    const auto later = run (first, impulses (length, { n0 + lead }), blockSize);
    const auto now = run (second, impulses (length, { n0 }), blockSize);

    double worst = 0.0;
    for (size_t n = n0 + delaySamples - 200; n < n0 + delaySamples + 1000; ++n)
        worst = std::max (worst, std::abs (now[n] - later[n + lead]));
    EXPECT_LT (worst, 1e-6);
    EXPECT_GT (peak (now, n0 + 1, length), 0.5);
}
