#include "ProcessorTestUtils.h"
#include "RecordingModel.h"

#include "effects/ParamIndex.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

namespace
{
RecordingModel& recorder (NebulonAudioProcessor& processor, int channel)
{
    auto* model = dynamic_cast<RecordingModel*> (processor.getModel (channel));
    EXPECT_NE (model, nullptr);
    return *model;
}

juce::AudioBuffer<float> noiseBlock (int channels, int samples, int seed)
{
    juce::Random random (seed);
    juce::AudioBuffer<float> buffer (channels, samples);
    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < samples; ++i)
            buffer.setSample (c, i, random.nextFloat() * 2.0f - 1.0f);
    return buffer;
}

bool buffersEqual (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b, int channelA, int channelB)
{
    for (int i = 0; i < a.getNumSamples(); ++i)
        if (a.getSample (channelA, i) != b.getSample (channelB, i))
            return false;
    return true;
}

struct RouteCase
{
    const char* id;
    float value;
    int index;      // -1: nothing is forwarded
    float expected;
    std::vector<int> models; // empty: every model
};

const std::vector<RouteCase> routeCases {
    { "effectState", 0.0f, ParamIndex::active, 0.0f, {} },
    { "delayTime", 750.0f, ParamIndex::delayTime, 750.0f, {} },
    { "feedback", 70.0f, ParamIndex::feedback, 0.7f, {} },
    { "tone", 25.0f, ParamIndex::tone, 0.25f, {} },
    { "modDepth", 80.0f, ParamIndex::modDepth, 0.8f, {} },
    { "modRate", 3.0f, ParamIndex::modRate, 3.0f, { 1, 2, 5, 6, 7, 9, 10 } },
    { "modRateSimple", 2.0f, ParamIndex::modRate, 2.0f, { 3, 11 } },
    { "modRateFlanger", 1.5f, ParamIndex::modRate, 1.5f, { 4, 8 } },
    { "modFeedback", 30.0f, ParamIndex::modFeedback, 0.3f, {} },
    { "mix", 100.0f, ParamIndex::mix, 1.0f, {} },
    { "outputLevel", -6.0f, ParamIndex::outputLevel, -6.0f, {} },
    { "multiheadMode", 3.0f, ParamIndex::mode, 3.0f, { 10 } },
    { "nimbusMode", 2.0f, ParamIndex::mode, 2.0f, { 7 } },
    { "trails", 0.0f, ParamIndex::trails, 0.0f, {} },
    { "tempoSync", 1.0f, -1, 0.0f, {} },
    { "subdivision", 6.0f, -1, 0.0f, {} },
};
} // namespace

TEST (ParameterRouting, ForwardsEachParameterScaledAndGatedByModel)
{
    for (int effect = 1; effect <= 11; ++effect)
    {
        NebulonAudioProcessor processor (createRecordingModel);
        setParameter (processor, "program", (float) effect);

        for (const auto& row : routeCases)
        {
            SCOPED_TRACE (std::string ("effect ") + std::to_string (effect) + ", " + row.id);
            recorder (processor, 0).takeCalls();
            recorder (processor, 1).takeCalls();

            setParameter (processor, row.id, row.value);

            const bool receives = row.index >= 0
                                  && (row.models.empty() || std::find (row.models.begin(), row.models.end(), effect) != row.models.end());

            for (int channel = 0; channel < 2; ++channel)
            {
                const auto calls = recorder (processor, channel).takeCalls();
                if (! receives)
                {
                    EXPECT_TRUE (calls.empty());
                    continue;
                }
                ASSERT_EQ (calls.size(), 1u);
                EXPECT_EQ (calls[0].first, row.index);
                EXPECT_FLOAT_EQ (calls[0].second, row.expected);
            }
        }

        EXPECT_EQ (processor.getSubdivisionCode(), 6);
    }
}

TEST (ParameterRouting, IgnoresUnknownIdsAndNonFiniteValues)
{
    NebulonAudioProcessor processor (createRecordingModel);
    setParameter (processor, "program", 11.0f);
    recorder (processor, 0).takeCalls();

    processor.parameterChanged ("notAParameter", 3.0f);
    processor.parameterChanged ("feedback", std::numeric_limits<float>::quiet_NaN());
    processor.parameterChanged ("subdivision", 99.0f);

    EXPECT_TRUE (recorder (processor, 0).takeCalls().empty());
    EXPECT_EQ (processor.getSubdivisionCode(), 0); // outside the map: entry 0
}

TEST (ParameterSet, DelayTimeSnapsToWholeMillisecondsFrom32)
{
    NebulonAudioProcessor processor;
    const std::vector<std::pair<float, float>> typedAndStored { { 33.7f, 34.0f }, { 10.0f, 32.0f }, { 5000.0f, 2000.0f }, { 375.0f, 375.0f } };

    for (const auto& [typed, stored] : typedAndStored)
    {
        setParameter (processor, "delayTime", typed);
        EXPECT_EQ (parameterValue (processor, "delayTime"), stored) << typed;
    }
}

TEST (ParameterSet, SkewedControlsSpendHalfTheirTravelOnTheLowEndAndCarryVersionHintOne)
{
    NebulonAudioProcessor processor;
    auto& parameters = processor.getParameters();

    // Half the travel of a 0.5 skew covers a quarter of the range; of a 1/3
    // skew an eighth.
    const std::vector<std::pair<const char*, float>> atHalfTravel {
        { "delayTime", 524.0f }, { "modRate", 2.58f }, { "modRateSimple", 1.34f }, { "modRateFlanger", 0.71f }, { "feedback", 50.0f },
    };
    for (const auto& [id, expected] : atHalfTravel)
        EXPECT_NEAR (parameters.getParameter (id)->convertFrom0to1 (0.5f), expected, 1.0e-4f) << id;

    for (const auto& definition : parameterDefinitions)
    {
        auto* parameter = parameters.getParameter (definition.id);
        ASSERT_NE (parameter, nullptr) << definition.id;
        EXPECT_EQ (parameter->getVersionHint(), 1) << definition.id;
        EXPECT_EQ (parameter->getName (100), definition.name);
    }
}

TEST (ProcessorLayouts, AcceptsMonoToMonoMonoToStereoAndStereoToStereoOnly)
{
    NebulonAudioProcessor processor;
    const auto mono = juce::AudioChannelSet::mono();
    const auto stereo = juce::AudioChannelSet::stereo();
    const auto disabled = juce::AudioChannelSet::disabled();

    struct Case { juce::AudioChannelSet in, out; bool supported; };
    const std::vector<Case> cases {
        { mono, mono, true }, { mono, stereo, true }, { stereo, stereo, true },
        { stereo, mono, false }, { disabled, stereo, false }, { stereo, disabled, false },
        { juce::AudioChannelSet::createLCR(), juce::AudioChannelSet::createLCR(), false },
    };

    for (const auto& c : cases)
    {
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (c.in);
        layout.outputBuses.add (c.out);
        EXPECT_EQ (processor.checkBusesLayoutSupported (layout), c.supported)
            << c.in.getDescription() << " -> " << c.out.getDescription();
    }
}

TEST (ProcessorAudio, PassesAudioThroughBeforeAnyModelExists)
{
    NebulonAudioProcessor processor;
    juce::MidiBuffer midi;

    auto buffer = noiseBlock (2, 256, 1);
    const auto input = buffer;
    processor.processBlock (buffer, midi);

    EXPECT_EQ (processor.getModel (0), nullptr);
    EXPECT_TRUE (buffersEqual (buffer, input, 0, 0));
    EXPECT_TRUE (buffersEqual (buffer, input, 1, 1));
}

TEST (ProcessorAudio, MonoInputIsCopiedToBothOutputsAlsoWhenBypassed)
{
    NebulonAudioProcessor processor;
    setLayout (processor, juce::AudioChannelSet::mono(), juce::AudioChannelSet::stereo());
    juce::MidiBuffer midi;

    auto buffer = noiseBlock (2, 128, 2);
    processor.processBlock (buffer, midi);
    EXPECT_TRUE (buffersEqual (buffer, buffer, 0, 1));

    auto bypassed = noiseBlock (2, 128, 3);
    const auto input = bypassed;
    processor.processBlockBypassed (bypassed, midi);
    EXPECT_TRUE (buffersEqual (bypassed, input, 0, 0));
    EXPECT_TRUE (buffersEqual (bypassed, input, 1, 0));

    juce::AudioBuffer<double> doubleBuffer (2, 64);
    for (int i = 0; i < 64; ++i)
        doubleBuffer.setSample (0, i, std::sin (i * 0.1));
    doubleBuffer.clear (1, 0, 64);
    processor.processBlockBypassed (doubleBuffer, midi);
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ (doubleBuffer.getSample (1, i), doubleBuffer.getSample (0, i));
}

TEST (ProcessorAudio, SurvivesEmptyOddAndOversizedBlocks)
{
    NebulonAudioProcessor processor (createRecordingModel);
    juce::MidiBuffer midi;

    juce::AudioBuffer<float> empty;
    processor.processBlock (empty, midi); // before prepareToPlay, no channels

    processor.prepareToPlay (44100.0, 64);
    ASSERT_NE (processor.getModel (0), nullptr);
    EXPECT_EQ (processor.getModel (0)->getBlockSize(), 64);
    EXPECT_EQ (processor.getModel (0)->getSampleRate(), 44100.0);

    for (int size : { 0, 1, 7, 64, 65, 512, 4096 })
    {
        auto buffer = noiseBlock (2, size, size);
        processor.processBlock (buffer, midi);
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < size; ++i)
                ASSERT_TRUE (std::isfinite (buffer.getSample (c, i))) << size;

        juce::AudioBuffer<double> doubles (2, size);
        doubles.clear();
        processor.processBlock (doubles, midi);
    }
}

TEST (ProcessorModels, CreatedOnProgramChangeBeforePrepareWithDefaultRateAndSize)
{
    NebulonAudioProcessor processor (createRecordingModel);
    setParameter (processor, "program", 4.0f);

    for (int channel = 0; channel < 2; ++channel)
    {
        auto* model = processor.getModel (channel);
        ASSERT_NE (model, nullptr);
        EXPECT_EQ (model->getSampleRate(), 48000.0);
        EXPECT_EQ (model->getBlockSize(), 1024);
        EXPECT_EQ (model->getChannel(), channel);
    }
}

TEST (ProcessorModels, ParameterChangesNeverReachAModelBeingReplaced)
{
    NebulonAudioProcessor processor (createRecordingModel);
    processor.prepareToPlay (48000.0, 32);
    RecordingModel::reachedDeadModel.store (false);

    std::atomic<bool> stop { false };
    std::thread automation ([&] {
        float value = 0.0f;
        while (! stop.load())
        {
            processor.parameterChanged ("feedback", value);
            processor.parameterChanged ("mix", value);
            value = value >= 100.0f ? 0.0f : value + 1.0f;
        }
    });
    std::thread audio ([&] {
        juce::AudioBuffer<float> buffer (2, 32);
        juce::MidiBuffer midi;
        while (! stop.load())
        {
            buffer.clear();
            processor.processBlock (buffer, midi);
        }
    });

    for (int i = 0; i < 300; ++i)
        processor.setAndInitEffect (1 + i % 11);

    stop.store (true);
    automation.join();
    audio.join();
    EXPECT_FALSE (RecordingModel::reachedDeadModel.load());
}
