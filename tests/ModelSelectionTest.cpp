#include "ProcessorTestUtils.h"
#include "RecordingModel.h"

#include "effects/ParamIndex.h"

#include <gtest/gtest.h>

namespace
{
using Calls = std::vector<std::pair<int, float>>;

RecordingModel& recorder (NebulonAudioProcessor& processor, int channel)
{
    return *dynamic_cast<RecordingModel*> (processor.getModel (channel));
}

// The values a fresh model must receive, in order, for the settings below.
Calls expectedHandOver (int effect, bool secondChannel, bool effectOn)
{
    Calls calls { { ParamIndex::active, effectOn ? 1.0f : 0.0f },
                  { ParamIndex::delayTimeJump, 777.0f },
                  { ParamIndex::feedback, 0.33f },
                  { ParamIndex::tone, 0.44f },
                  { ParamIndex::modDepth, 0.55f },
                  { ParamIndex::modFeedback, 0.66f },
                  { ParamIndex::mix, 0.77f },
                  { ParamIndex::outputLevel, -3.0f },
                  { ParamIndex::trails, 0.0f } };

    // Each model follows the rate of its own group, whatever the others hold.
    const float rate = (effect == 3 || effect == 11) ? 3.0f : (effect == 4 || effect == 8) ? 4.0f : 2.0f;
    calls.emplace_back (ParamIndex::modRate, rate);

    if (effect == 7)
        calls.emplace_back (ParamIndex::mode, 2.0f);
    if (effect == 10)
        calls.emplace_back (ParamIndex::mode, 5.0f);
    if (secondChannel)
        calls.emplace_back (ParamIndex::channel, 1.0f);

    calls.emplace_back (ParamIndex::lfoPhase, 0.0f);
    return calls;
}
} // namespace

TEST (ModelSelection, HandsEveryNewModelTheCurrentValuesInOrder)
{
    for (bool effectOn : { true, false })
    {
        for (int effect = 1; effect <= 11; ++effect)
        {
            SCOPED_TRACE ("effect " + std::to_string (effect) + (effectOn ? " on" : " off"));
            NebulonAudioProcessor processor (createRecordingModel);
            processor.prepareToPlay (44100.0, 128);

            setParameter (processor, "effectState", effectOn ? 1.0f : 0.0f);
            setParameter (processor, "delayTime", 777.0f);
            setParameter (processor, "feedback", 33.0f);
            setParameter (processor, "tone", 44.0f);
            setParameter (processor, "modDepth", 55.0f);
            setParameter (processor, "modFeedback", 66.0f);
            setParameter (processor, "mix", 77.0f);
            setParameter (processor, "outputLevel", -3.0f);
            setParameter (processor, "trails", 0.0f);
            setParameter (processor, "modRate", 2.0f);
            setParameter (processor, "modRateSimple", 3.0f);
            setParameter (processor, "modRateFlanger", 4.0f);
            setParameter (processor, "multiheadMode", 5.0f);
            setParameter (processor, "nimbusMode", 2.0f);

            auto* before = processor.getModel (0);
            processor.setAndInitEffect (effect);
            ASSERT_NE (processor.getModel (0), before);

            for (int channel = 0; channel < 2; ++channel)
            {
                auto& model = recorder (processor, channel);
                EXPECT_EQ (model.effect, effect);
                EXPECT_TRUE (model.isPrepared());
                EXPECT_EQ (model.getSampleRate(), 44100.0);
                EXPECT_EQ (model.getBlockSize(), 128);
                EXPECT_EQ (model.getChannel(), channel);

                const auto calls = model.takeCalls();
                const auto expected = expectedHandOver (effect, channel == 1, effectOn);
                ASSERT_EQ (calls.size(), expected.size()) << "channel " << channel;
                for (size_t i = 0; i < calls.size(); ++i)
                {
                    EXPECT_EQ (calls[i].first, expected[i].first) << "call " << i << ", channel " << channel;
                    EXPECT_FLOAT_EQ (calls[i].second, expected[i].second) << "call " << i << ", channel " << channel;
                }
            }
        }
    }
}

TEST (ModelSelection, EveryPrepareAndReselectionBuildsFreshModelsAndOutOfRangeEmptiesTheSlots)
{
    NebulonAudioProcessor processor (createRecordingModel);
    processor.prepareToPlay (48000.0, 256);
    auto* first = processor.getModel (0);
    ASSERT_NE (first, nullptr);

    processor.prepareToPlay (96000.0, 512);
    auto* second = processor.getModel (0);
    EXPECT_NE (second, first);
    EXPECT_EQ (second->getSampleRate(), 96000.0);

    processor.setAndInitEffect (1);
    EXPECT_NE (processor.getModel (0), second);

    for (int outside : { 0, 12, -3 })
    {
        processor.setAndInitEffect (outside);
        EXPECT_EQ (processor.getModel (0), nullptr);
        EXPECT_EQ (processor.getModel (1), nullptr);
    }

    // Released models stay in their slots, unprepared, until the next prepare.
    processor.setAndInitEffect (5);
    processor.releaseResources();
    ASSERT_NE (processor.getModel (1), nullptr);
    EXPECT_FALSE (processor.getModel (1)->isPrepared());
}

// With "Trails" on and echoes in the line, a new model (also the same one
// again, or after a prepare) starts from silence.
TEST (ModelSelection, NewModelsStartFromSilence)
{
    struct Case { const char* what; int effect; bool prepareAgain; };
    for (const auto& c : { Case { "same model again", 11, false }, Case { "another model", 1, false }, Case { "prepare", 11, true } })
    {
        SCOPED_TRACE (c.what);
        NebulonAudioProcessor processor;
        processor.prepareToPlay (48000.0, 480);
        setParameter (processor, "program", 11.0f);
        setParameter (processor, "delayTime", 100.0f);
        setParameter (processor, "trails", 1.0f);

        juce::MidiBuffer midi;
        juce::AudioBuffer<float> burst (2, 480);
        juce::Random random (1);
        for (int i = 0; i < 480; ++i)
            burst.setSample (0, i, random.nextFloat() - 0.5f), burst.setSample (1, i, random.nextFloat() - 0.5f);
        processor.processBlock (burst, midi);

        if (c.prepareAgain)
            processor.prepareToPlay (48000.0, 480);
        else
            processor.setAndInitEffect (c.effect);

        float loudest = 0.0f;
        for (int block = 0; block < 20; ++block)
        {
            juce::AudioBuffer<float> silence (2, 480);
            silence.clear();
            processor.processBlock (silence, midi);
            loudest = std::max (loudest, silence.getMagnitude (0, 480));
        }
        EXPECT_EQ (loudest, 0.0f);
    }
}
