// Properties every registered model must have. A new model is covered as
// soon as it is registered.

#include "ModelTestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace modeltest;

namespace
{
Settings moderateSettings()
{
    return { { ParamIndex::active, 1.0f },      { ParamIndex::delayTimeJump, 100.0f }, { ParamIndex::feedback, 0.5f },
             { ParamIndex::tone, 0.5f },        { ParamIndex::modDepth, 0.5f },        { ParamIndex::modFeedback, 0.5f },
             { ParamIndex::mix, 0.75f },        { ParamIndex::outputLevel, 0.0f },     { ParamIndex::trails, 1.0f },
             { ParamIndex::modRate, 2.0f },     { ParamIndex::lfoPhase, 0.0f } };
}

class AllModels : public testing::TestWithParam<int>
{
protected:
    std::unique_ptr<AudioEffect> make() const { return createEffectModel (GetParam()); }
};

std::string modelName (const testing::TestParamInfo<int>& info)
{
    std::string name;
    for (const char* c = effectDisplayNames[(size_t) info.param - 1]; *c != 0; ++c)
        if (std::isalnum ((unsigned char) *c))
            name += *c;
    return name;
}
} // namespace

TEST_P (AllModels, NoiseThenSilenceStaysFiniteBoundedAndDecaysAtEveryRateAndBlockSize)
{
    for (const double rate : { 22050.0, 44100.0, 48000.0, 96000.0, 192000.0 })
    {
        const size_t noiseLength = (size_t) (0.5 * rate), tenth = (size_t) (0.1 * rate);
        auto input = noise (noiseLength, 1.0);
        input.resize (noiseLength + (size_t) (3.0 * rate), 0.0);

        std::vector<double> reference;
        for (const int blockSize : { 512, 64, 7, 1 })
        {
            SCOPED_TRACE (testing::Message() << rate << " Hz, blocks of " << blockSize);
            auto model = make();
            load (*model, rate, blockSize, moderateSettings());
            const auto out = run (*model, input, blockSize);

            ASSERT_TRUE (allFinite (out));
            const double loudest = peak (out, 0, out.size());
            EXPECT_LT (loudest, 4.0);
            EXPECT_GT (peak (out, noiseLength, noiseLength + tenth), 0.01) << "echoes follow the noise";
            EXPECT_LT (peak (out, out.size() - tenth, out.size()), 1e-4 * loudest) << "and die away";

            // Every stage runs per sample, so the block size changes nothing.
            if (reference.empty())
                reference = out;
            else
                EXPECT_EQ (out, reference);
        }
    }
}

TEST_P (AllModels, SecondChannelReadsItsModulationAQuarterCycleAhead)
{
    const double rate = 48000.0;
    const auto input = noise (2 * 48000, 0.5, 11);

    auto first = make(), second = make(), shifted = make();
    for (auto* model : { first.get(), second.get(), shifted.get() })
    {
        load (*model, rate, 512, moderateSettings());
        model->setParam (ParamIndex::modDepth, 1.0f);
    }
    second->setParam (ParamIndex::channel, 1.0f);
    shifted->setParam (ParamIndex::lfoPhaseOffset, 0.25f);

    const auto a = run (*first, input, 512);
    const auto b = run (*second, input, 512);
    EXPECT_EQ (b, run (*shifted, input, 512));
    EXPECT_NE (a, b);
}

TEST_P (AllModels, FullFeedbackWithContinuousFullScaleInputStaysBounded)
{
    // 1 kHz repeats in phase every 100 ms, so at full feedback each pass adds
    // to the last: without a bound the level would grow without end.
    const double rate = 22050.0;
    const auto input = sine ((size_t) (10 * rate), 1000.0, 1.0, rate);

    auto model = make();
    auto settings = moderateSettings();
    settings.push_back ({ ParamIndex::feedback, 1.0f });
    settings.push_back ({ ParamIndex::mix, 1.0f });
    settings.push_back ({ ParamIndex::modDepth, 0.0f });
    load (*model, rate, 512, settings);

    const auto out = run (*model, input, 512);
    ASSERT_TRUE (allFinite (out));
    EXPECT_LT (peak (out, 0, out.size()), 16.0); // +24 dBFS
}

INSTANTIATE_TEST_SUITE_P (Registered, AllModels, testing::ValuesIn (registeredEffects()), modelName);
