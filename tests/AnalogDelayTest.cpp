#include "ModelTestSupport.h"

#include "effects/models/AnalogDelay.h"

#include <gtest/gtest.h>

using namespace modeltest;

namespace
{
Settings analogSettings (float delayMs, float feedback, float depth, float tone = 0.5f, float mix = 1.0f, float levelDb = 0.0f)
{
    return { { ParamIndex::active, 1.0f },     { ParamIndex::delayTimeJump, delayMs }, { ParamIndex::feedback, feedback },
             { ParamIndex::tone, tone },        { ParamIndex::modDepth, depth },        { ParamIndex::mix, mix },
             { ParamIndex::outputLevel, levelDb }, { ParamIndex::modRate, 2.5f },      { ParamIndex::lfoPhase, 0.0f } };
}

} // namespace

TEST (AnalogDelay, FirstEchoComesAfterTheDelayTimeWithItsPolarityKept)
{
    struct Case
    {
        double rate;
        float delayMs;
    };
    for (const Case c : { Case { 44100.0, 100.0f }, Case { 48000.0, 375.0f }, Case { 96000.0, 250.0f } })
    {
        SCOPED_TRACE (testing::Message() << c.rate << " Hz, " << c.delayMs << " ms");
        const size_t n0 = (size_t) c.rate; // after a second every glide has arrived
        const size_t delay = (size_t) std::lround (c.delayMs * c.rate / 1000.0);
        const size_t oneMs = (size_t) (c.rate / 1000.0);

        for (const double height : { 1.0, -1.0 })
        {
            AnalogDelay model;
            load (model, c.rate, 256, analogSettings (c.delayMs, 0.0f, 0.0f));
            const auto out = run (model, impulses (n0 + delay + 20 * oneMs, { n0 }, height), 256);

            EXPECT_LT (peak (out, n0 + 1, n0 + delay), 1e-12) << "nothing comes back early";
            const size_t top = peakIndex (out, n0 + 1, out.size());
            EXPECT_GE (top, n0 + delay);
            EXPECT_LT (top, n0 + delay + oneMs);
            EXPECT_GT (out[top] * height, 0.02) << "the echo keeps the impulse's sign";
        }
    }
}

TEST (AnalogDelay, ClockStageIsTransparentAfterASwitchAndFollowsTheClockLawOnceTheDelayMoves)
{
    // A sample-and-hold at clock rate fc turns a tone f0 into images at
    // fc - f0 (and further ones); a transparent stage adds nothing.
    struct Case
    {
        double rate;
        float delayMs;
        bool delayMoves;
        double clockHz; // of the clock law, 12741.2 Hz at 0 ms down to 5800 Hz at 2000 ms
    };
    const Case cases[] {
        { 48000.0, 300.0f, false, 11700.02 },
        { 44100.0, 800.0f, false, 9964.72 },
        { 48000.0, 300.0f, true, 11700.02 },
        { 48000.0, 1500.0f, true, 7535.3 },
        { 44100.0, 800.0f, true, 9964.72 },
    };

    const double f0 = 1000.0;
    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << c.rate << " Hz, " << c.delayMs << " ms, delay moved: " << c.delayMoves);
        AnalogDelay model;
        load (model, c.rate, 512, analogSettings (c.delayMoves ? c.delayMs + 0.01f : c.delayMs, 0.0f, 0.0f));
        if (c.delayMoves)
            model.setParam (ParamIndex::delayTime, c.delayMs);

        const size_t from = (size_t) (2.0 * c.rate), length = (size_t) c.rate;
        const auto out = run (model, sine (from + length, f0, 0.5, c.rate), 512);

        const double image = c.clockHz - f0;
        const double tone = tonePower (out, from, length, f0, c.rate);
        const double atImage = tonePower (out, from, length, image, c.rate);
        const double besideImage = std::max (tonePower (out, from, length, image - 150.0, c.rate),
                                             tonePower (out, from, length, image + 150.0, c.rate));
        if (c.delayMoves)
        {
            EXPECT_GT (atImage, 1e-13 * tone);
            EXPECT_GT (atImage, 100.0 * besideImage);
        }
        else
        {
            EXPECT_LT (atImage, 1e-24 * tone);
        }
    }
}

TEST (AnalogDelay, EchoesDieAwayWithModerateFeedbackAndSilentInput)
{
    const double rate = 48000.0;
    const size_t burst = 14400, second = 48000;
    auto input = noise (burst, 1.0);
    input.resize (burst + 8 * second, 0.0);

    AnalogDelay model;
    load (model, rate, 512, analogSettings (300.0f, 0.5f, 0.5f));
    const auto out = run (model, input, 512);

    double previous = energy (out, burst, burst + second);
    ASSERT_GT (previous, 1.0);
    for (size_t s = 1; s < 8; ++s)
    {
        const double now = energy (out, burst + s * second, burst + (s + 1) * second);
        EXPECT_LT (now, 0.5 * previous) << "second " << s;
        previous = now;
    }
    EXPECT_LT (peak (out, out.size() - second, out.size()), 1e-5);
}

TEST (AnalogDelay, RunawayAtFullFeedbackStaysBelowItsCeilingForAMinute)
{
    // The loop gain at full feedback is about 1.09 around 1.4 kHz. The loop
    // limiter holds the line below +18 dBFS; at the output that is below
    // +18 dBFS with a flat tone and level, and below +27.6 dBFS with full
    // treble, +6 dB level and the dry signal added.
    const double rate = 22050.0;
    const size_t minute = 60 * 22050;

    struct Case
    {
        const char* what;
        std::vector<double> input;
        float tone, mix, levelDb;
        bool longDelay;
        double ceiling;
    };
    auto burst = noise (11025, 1.0);
    burst.resize (minute, 0.0);
    const Case cases[] {
        { "full-scale noise throughout", noise (minute, 1.0), 0.5f, 1.0f, 0.0f, false, 8.0 },
        { "half a second of noise, then silence", burst, 0.5f, 1.0f, 0.0f, false, 8.0 },
        { "full-scale tone at the loop's peak, full treble and level", sine (minute, 1395.0, 1.0, rate), 1.0f, 0.75f, 6.0f, false, 24.0 },
        { "full-scale noise, full treble and level", noise (minute, 1.0, 7), 1.0f, 0.75f, 6.0f, false, 24.0 },
        { "full-scale noise while the delay glides to 2 s", noise (minute, 1.0, 3), 0.5f, 1.0f, 0.0f, true, 8.0 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        AnalogDelay model;
        load (model, rate, 512, analogSettings (32.0f, 1.0f, 0.5f, c.tone, c.mix, c.levelDb));
        if (c.longDelay)
            model.setParam (ParamIndex::delayTime, 2000.0f);

        const auto out = run (model, c.input, 512);
        ASSERT_TRUE (allFinite (out));
        EXPECT_LT (peak (out, 0, out.size()), c.ceiling);
        EXPECT_GT (peak (out, out.size() - 22050, out.size()), 1.0) << "the loop is running away, not decaying";
    }
}

TEST (AnalogDelay, ReportsTrails)
{
    AnalogDelay model;
    for (const float trails : { 1.0f, 0.0f })
    {
        model.setParam (ParamIndex::trails, trails);
        EXPECT_EQ (model.getParam (ParamIndex::trails), trails);
    }
}
