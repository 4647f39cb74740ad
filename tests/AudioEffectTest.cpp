#include "effects/AudioEffect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace
{
// The shared head and tail around a body that only scales the gated input,
// so the output shows the dry, wet and bypass gains directly.
class ScaledWetModel : public AudioEffect
{
public:
    explicit ScaledWetModel (double wetScale = 0.25) : AudioEffect (constantsFor()), scale (wetScale) {}

    static ModelConstants constantsFor()
    {
        ModelConstants constants;
        constants.minDelayMs = 5.0;
        constants.maxDelayMs = 2000.0;
        constants.feedbackScale = 0.9;
        constants.maxModDepthMs = 5.0;
        return constants;
    }

    double delayTarget() const { return delayMs.target; }
    double delayCurrent() const { return delayMs.current; }
    double feedbackTarget() const { return feedback.target; }
    double depthTarget() const { return modDepthMs.target; }
    double phaseOffset() const { return lfoPhaseOffset; }

protected:
    void prepareModel() override {}
    void resetModel() override {}
    void releaseModel() override {}
    void processModel (double* samples, int numSamples) override
    {
        for (int i = 0; i < numSamples; ++i)
            samples[i] *= scale;
    }

private:
    double scale;
};

// Runs a constant input long enough for every glide and the gate to settle
// and returns the last output sample.
double settledOutput (AudioEffect& model, double input, int blockSize = 512, int numSamples = 48000)
{
    std::vector<double> block ((size_t) blockSize);
    double last = 0.0;
    for (int done = 0; done < numSamples; done += blockSize)
    {
        std::fill (block.begin(), block.end(), input);
        model.process (block.data(), blockSize);
        last = block.back();
    }
    return last;
}
} // namespace

TEST (AudioEffectShared, MixLawLevelAndOnOffWithAndWithoutTrails)
{
    const double x = 0.5, wet = 0.25; // the body's wet is a quarter of the gated input

    struct Case
    {
        const char* what;
        std::vector<std::pair<int, float>> params;
        double expected; // as a multiple of the input
    };
    const std::vector<Case> cases {
        { "mix 0.75: dry and wet at unity", { { ParamIndex::mix, 0.75f } }, 1.0 + wet },
        { "mix 1: no dry", { { ParamIndex::mix, 1.0f } }, wet },
        { "mix 0: no wet", { { ParamIndex::mix, 0.0f } }, 1.0 },
        { "mix 0.375: wet at a quarter", { { ParamIndex::mix, 0.375f } }, 1.0 + 0.25 * wet },
        { "mix 0.9: dry at 0.4", { { ParamIndex::mix, 0.9f } }, (1.0f - 0.9f) * 4.0 + wet },
        { "level +6 dB", { { ParamIndex::mix, 0.75f }, { ParamIndex::outputLevel, 6.0f } }, (1.0 + wet) * std::pow (10.0, 6.0 / 20.0) },
        { "off, trails off: untouched input", { { ParamIndex::trails, 0.0f }, { ParamIndex::active, 0.0f } }, 1.0 },
        { "off, trails on: dry only, no new input", { { ParamIndex::trails, 1.0f }, { ParamIndex::active, 0.0f } }, 1.0 },
        { "off then on again", { { ParamIndex::active, 0.0f }, { ParamIndex::active, 1.0f } }, 1.0 + wet },
        { "dry path off", { { ParamIndex::dryOn, 0.0f } }, wet },
    };

    for (const auto& c : cases)
    {
        ScaledWetModel model (wet);
        model.prepare (48000.0, 512);
        for (const auto& [index, value] : c.params)
            model.setParam (index, value);
        EXPECT_NEAR (settledOutput (model, x), c.expected * x, 1.0e-6) << c.what;
    }
}

TEST (AudioEffectShared, OffWithTrailsOffGlidesToTheInputEvenWithTheLevelDown)
{
    ScaledWetModel model;
    model.prepare (44100.0, 64);
    model.setParam (ParamIndex::outputLevel, -6.0f);
    model.setParam (ParamIndex::trails, 0.0f);
    model.setParam (ParamIndex::active, 0.0f);

    // Far below the gate's threshold: the bypass path ignores gate and level.
    EXPECT_NEAR (settledOutput (model, 1.0e-5, 64, 44100), 1.0e-5, 1.0e-10);
    EXPECT_EQ (model.getParam (ParamIndex::active), 0.0f);
}

TEST (AudioEffectShared, ClampsDelayScalesFeedbackAndSquaresDepth)
{
    ScaledWetModel model;

    model.setParam (ParamIndex::delayTimeJump, 3.0f);
    EXPECT_EQ (model.delayCurrent(), 5.0);
    model.setParam (ParamIndex::delayTime, 2500.0f);
    EXPECT_EQ (model.delayTarget(), 2000.0);
    EXPECT_EQ (model.delayCurrent(), 5.0); // glides, does not jump

    model.setParam (ParamIndex::feedback, 0.5f);
    EXPECT_DOUBLE_EQ (model.feedbackTarget(), 0.45);
    model.setParam (ParamIndex::modDepth, 0.5f);
    EXPECT_DOUBLE_EQ (model.depthTarget(), 1.25);

    model.setParam (ParamIndex::channel, 1.0f);
    EXPECT_EQ (model.getChannel(), 1);
    EXPECT_EQ (model.phaseOffset(), 0.25);
    model.setParam (ParamIndex::channel, 0.0f);
    EXPECT_EQ (model.phaseOffset(), 0.0);
}

TEST (AudioEffectShared, IgnoresNonFiniteValuesAndUnknownIndices)
{
    ScaledWetModel model;
    model.setParam (ParamIndex::delayTimeJump, 400.0f);

    for (float bad : { std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity() })
    {
        model.setParam (ParamIndex::delayTimeJump, bad);
        model.setParam (ParamIndex::feedback, bad);
    }
    model.setParam (4, 1.0f);
    model.setParam (999, 1.0f);
    model.setParam (-1, 1.0f);

    EXPECT_EQ (model.delayCurrent(), 400.0);
    EXPECT_DOUBLE_EQ (model.feedbackTarget(), 0.45);
    EXPECT_EQ (model.getParam (999), -1.0f);
}

TEST (AudioEffectShared, LeavesAudioUntouchedUntilPreparedAndAfterRelease)
{
    ScaledWetModel model;
    std::vector<double> block (64, 0.3);

    model.process (block.data(), 64);
    EXPECT_EQ (block, std::vector<double> (64, 0.3));

    model.prepare (48000.0, 64);
    model.releaseResources();
    model.process (block.data(), 64);
    model.process (nullptr, 64);
    model.process (block.data(), 0);
    EXPECT_EQ (block, std::vector<double> (64, 0.3));
    EXPECT_FALSE (model.isPrepared());

    model.prepare (std::numeric_limits<double>::quiet_NaN(), 64);
    EXPECT_FALSE (model.isPrepared());
}

TEST (AudioEffectShared, BlocksLongerThanPreparedRunInPiecesAndNonFiniteInputIsSilenced)
{
    ScaledWetModel small (0.25), large (0.25);
    small.prepare (48000.0, 16);
    large.prepare (48000.0, 4096);

    std::vector<double> a (4096), b (4096);
    for (size_t i = 0; i < a.size(); ++i)
        a[i] = b[i] = std::sin ((double) i * 0.01) * 0.5;
    a[100] = b[100] = std::numeric_limits<double>::quiet_NaN();

    small.process (a.data(), (int) a.size());
    large.process (b.data(), (int) b.size());

    EXPECT_EQ (a, b);
    EXPECT_TRUE (std::isfinite (a[100]));
}
