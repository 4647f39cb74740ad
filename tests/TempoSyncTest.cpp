#include "ProcessorTestUtils.h"
#include "RecordingModel.h"

#include "effects/ParamIndex.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <optional>

namespace
{
// A host play head that reports a tempo, a position without one, or nothing.
struct TestPlayHead : juce::AudioPlayHead
{
    std::optional<double> bpm;
    bool hasPosition = true;

    juce::Optional<PositionInfo> getPosition() const override
    {
        if (! hasPosition)
            return {};
        PositionInfo info;
        if (bpm.has_value())
            info.setBpm (*bpm);
        return info;
    }
};

enum class Precision
{
    single,
    dual
};

void runBlock (NebulonAudioProcessor& processor, Precision precision = Precision::single)
{
    juce::MidiBuffer midi;
    if (precision == Precision::single)
    {
        juce::AudioBuffer<float> buffer (2, 64);
        buffer.clear();
        processor.processBlock (buffer, midi);
    }
    else
    {
        juce::AudioBuffer<double> buffer (2, 64);
        buffer.clear();
        processor.processBlock (buffer, midi);
    }
}

// A processor with tempo sync on, listening to `head`.
struct SyncedProcessor
{
    explicit SyncedProcessor (std::optional<double> bpm, int subdivision = 0)
    {
        head.bpm = bpm;
        processor.setPlayHead (&head);
        setParameter (processor, "tempoSync", 1.0f);
        setParameter (processor, "subdivision", (float) subdivision);
    }

    TestPlayHead head;
    NebulonAudioProcessor processor { createRecordingModel };
};

// Logs the values a model receives and marks where its process() ran.
class ProcessMarkingModel : public RecordingModel
{
public:
    static constexpr int processMark = -1;

    using RecordingModel::RecordingModel;

    void setParam (int index, float value) override
    {
        log.emplace_back (index, value);
        RecordingModel::setParam (index, value);
    }

    void process (double* samples, int numSamples) override
    {
        log.emplace_back (processMark, (float) numSamples);
        RecordingModel::process (samples, numSamples);
    }

    std::vector<std::pair<int, float>> log;
};

std::unique_ptr<AudioEffect> createProcessMarkingModel (int effect)
{
    return std::make_unique<ProcessMarkingModel> (effect);
}

struct SyncCase
{
    double bpm;
    int subdivision;
    float storedMs;
};

const std::vector<SyncCase> syncCases {
    { 120.0, 0, 500.0f },  // quarter
    { 120.0, 6, 375.0f },  // dotted eighth
    { 120.0, 11, 167.0f }, // eighth triplet, 166.67 snapped to the 1 ms grid
    { 60.0, 4, 2000.0f },  // whole, 4000 clamped
    { 300.0, 12, 33.0f },  // sixteenth triplet, 33.33
    { 400.0, 12, 32.0f },  // sixteenth triplet, 25 clamped
    { 120.0, 9, 2000.0f }, // dotted whole, 3000 clamped
    // Every note value at 100 bpm, where each one is a whole number of ms.
    { 100.0, 0, 600.0f },
    { 100.0, 1, 300.0f },
    { 100.0, 2, 150.0f },
    { 100.0, 3, 1200.0f },
    { 100.0, 4, 2000.0f },
    { 100.0, 5, 900.0f },
    { 100.0, 6, 450.0f },
    { 100.0, 7, 225.0f },
    { 100.0, 8, 1800.0f },
    { 100.0, 9, 2000.0f },
    { 100.0, 10, 400.0f },
    { 100.0, 11, 200.0f },
    { 100.0, 12, 100.0f },
    { 100.0, 13, 800.0f },
    { 100.0, 14, 1600.0f },
};
} // namespace

TEST (TempoSync, WritesTheNoteLengthAtTheHostTempoInEitherPrecision)
{
    for (const auto precision : { Precision::single, Precision::dual })
    {
        for (const auto& row : syncCases)
        {
            SCOPED_TRACE (juce::String (row.bpm) + " bpm, subdivision " + juce::String (row.subdivision)
                          + (precision == Precision::single ? ", single" : ", double"));
            SyncedProcessor synced (row.bpm, row.subdivision);
            runBlock (synced.processor, precision);
            EXPECT_EQ (parameterValue (synced.processor, "delayTime"), row.storedMs);
        }
    }
}

TEST (TempoSync, LeavesTheTimeWithoutATempoOrWithSyncOff)
{
    struct Case
    {
        const char* name;
        bool syncOn;
        bool playHead;
        bool position;
        std::optional<double> bpm;
    };

    const std::vector<Case> cases {
        { "sync off", false, true, true, 120.0 },
        { "no play head", true, false, true, 120.0 },
        { "no position", true, true, false, 120.0 },
        { "no tempo", true, true, true, std::nullopt },
    };

    for (const auto& row : cases)
    {
        SCOPED_TRACE (row.name);
        SyncedProcessor synced (row.bpm);
        synced.head.hasPosition = row.position;
        setParameter (synced.processor, "tempoSync", row.syncOn ? 1.0f : 0.0f);
        if (! row.playHead)
            synced.processor.setPlayHead (nullptr);
        setParameter (synced.processor, "delayTime", 777.0f);

        runBlock (synced.processor);
        EXPECT_EQ (parameterValue (synced.processor, "delayTime"), 777.0f);

        // The time stays editable by hand.
        setParameter (synced.processor, "delayTime", 640.0f);
        runBlock (synced.processor);
        EXPECT_EQ (parameterValue (synced.processor, "delayTime"), 640.0f);
    }
}

TEST (TempoSync, NonsenseTempiNeverWriteATimeOutsideTheRange)
{
    constexpr double infinity = std::numeric_limits<double>::infinity();

    struct Case
    {
        double bpm;
        float storedMs; // 777: left as it was
    };

    const std::vector<Case> cases {
        { 0.0, 2000.0f },        // an endless note: the longest time
        { 1.0e-300, 2000.0f },   // overflows single precision
        { infinity, 32.0f },     // a note of no length: the shortest time
        { DBL_MAX, 32.0f },
        { -120.0, 777.0f },      // a negative tempo carries no note length
        { -infinity, 777.0f },
        { std::nan (""), 777.0f },
    };

    for (const auto& row : cases)
    {
        SCOPED_TRACE (row.bpm);
        SyncedProcessor synced (row.bpm);
        synced.processor.prepareToPlay (48000.0, 64);
        setParameter (synced.processor, "delayTime", 777.0f);
        auto& model = dynamic_cast<RecordingModel&> (*synced.processor.getModel (0));
        model.takeCalls();

        for (int block = 0; block < 3; ++block)
            runBlock (synced.processor);

        EXPECT_EQ (parameterValue (synced.processor, "delayTime"), row.storedMs);
        for (const auto& [index, value] : model.takeCalls())
        {
            EXPECT_TRUE (std::isfinite (value)) << "index " << index;
            if (index == ParamIndex::delayTime)
            {
                EXPECT_TRUE (value >= 32.0f && value <= 2000.0f) << value;
            }
        }
    }
}

TEST (TempoSync, HandMovesAndSubdivisionChangesTakeEffectAtTheNextBlock)
{
    SyncedProcessor synced (120.0);
    auto& processor = synced.processor;
    runBlock (processor);
    ASSERT_EQ (parameterValue (processor, "delayTime"), 500.0f);

    setParameter (processor, "delayTime", 900.0f);
    EXPECT_EQ (parameterValue (processor, "delayTime"), 900.0f);
    runBlock (processor);
    EXPECT_EQ (parameterValue (processor, "delayTime"), 500.0f);

    setParameter (processor, "subdivision", 1.0f); // eighth
    EXPECT_EQ (processor.getSubdivisionCode(), 1);
    EXPECT_EQ (parameterValue (processor, "delayTime"), 500.0f);
    runBlock (processor);
    EXPECT_EQ (parameterValue (processor, "delayTime"), 250.0f);

    synced.head.bpm = 90.0; // tempo changes follow block by block
    runBlock (processor);
    EXPECT_EQ (parameterValue (processor, "delayTime"), 333.0f);
}

TEST (TempoSync, TheModelsReceiveTheGlidedTimeBeforeTheyProcessTheBlock)
{
    for (const auto precision : { Precision::single, Precision::dual })
    {
        TestPlayHead head;
        head.bpm = 120.0;
        NebulonAudioProcessor processor (createProcessMarkingModel);
        processor.setPlayHead (&head);
        processor.prepareToPlay (48000.0, 64);
        setParameter (processor, "tempoSync", 1.0f);

        std::array<ProcessMarkingModel*, 2> models {};
        for (int channel = 0; channel < 2; ++channel)
        {
            models[(size_t) channel] = dynamic_cast<ProcessMarkingModel*> (processor.getModel (channel));
            ASSERT_NE (models[(size_t) channel], nullptr);
            models[(size_t) channel]->log.clear();
        }

        runBlock (processor, precision);

        const std::vector<std::pair<int, float>> expected { { ParamIndex::delayTime, 500.0f },
                                                            { ProcessMarkingModel::processMark, 64.0f } };
        for (auto* model : models)
            EXPECT_EQ (model->log, expected);

        // The stored time is written once; later blocks only process.
        for (auto* model : models)
            model->log.clear();
        runBlock (processor, precision);
        for (auto* model : models)
            EXPECT_EQ (model->log, (std::vector<std::pair<int, float>> { { ProcessMarkingModel::processMark, 64.0f } }));
    }
}
