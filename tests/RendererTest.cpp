// The command-line renderer, run as a user runs it, on generated files.

#include <juce_audio_formats/juce_audio_formats.h>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace
{
constexpr double rate = 44100.0;

struct Rendered
{
    int exitCode = -1;
    juce::String messages;
};

class Renderer : public testing::Test
{
protected:
    juce::TemporaryFile folderName;
    juce::File folder;

    void SetUp() override
    {
        folder = folderName.getFile();
        ASSERT_TRUE (folder.createDirectory());
    }
    void TearDown() override { folder.deleteRecursively(); }

    juce::File file (const juce::String& name) const { return folder.getChildFile (name); }

    // Plucked tones with silence between them, and one click at 100 ms.
    juce::File writeInput (const juce::String& name, int channels, double seconds = 1.0) const
    {
        const int length = (int) (seconds * rate);
        juce::AudioBuffer<float> audio (channels, length);
        audio.clear();
        for (int c = 0; c < channels; ++c)
        {
            audio.setSample (c, (int) (0.1 * rate), 0.9f);
            for (int i = (int) (0.4 * rate); i < length; ++i)
            {
                const double t = (i - 0.4 * rate) / rate;
                audio.setSample (c, i, (float) (0.5 * std::exp (-8.0 * t) * std::sin (2.0 * M_PI * (220.0 + 110.0 * c) * t)));
            }
        }

        const auto target = file (name);
        juce::WavAudioFormat wav;
        std::unique_ptr<juce::AudioFormatWriter> writer (wav.createWriterFor (target.createOutputStream().release(), rate, (unsigned) channels, 24, {}, 0));
        writer->writeFromAudioSampleBuffer (audio, 0, length);
        return target;
    }

    static Rendered render (const juce::StringArray& arguments)
    {
        juce::StringArray command { NEBULON_RENDER_TOOL };
        command.addArray (arguments);
        juce::ChildProcess process;
        Rendered result;
        if (! process.start (command))
            return result;
        result.messages = process.readAllProcessOutput();
        process.waitForProcessToFinish (60000);
        result.exitCode = (int) process.getExitCode();
        return result;
    }

    static juce::AudioBuffer<float> read (const juce::File& source, double* sampleRate = nullptr)
    {
        juce::AudioFormatManager formats;
        formats.registerBasicFormats();
        std::unique_ptr<juce::AudioFormatReader> reader (formats.createReaderFor (source));
        if (reader == nullptr)
            return {};
        if (sampleRate != nullptr)
            *sampleRate = reader->sampleRate;
        juce::AudioBuffer<float> audio ((int) reader->numChannels, (int) reader->lengthInSamples);
        reader->read (&audio, 0, audio.getNumSamples(), 0, true, true);
        return audio;
    }

    static float largestDifference (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b, int length)
    {
        float worst = 0.0f;
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < length; ++i)
                worst = std::max (worst, std::abs (a.getSample (c, i) - b.getSample (c % b.getNumChannels(), i)));
        return worst;
    }
};
} // namespace

TEST_F (Renderer, RendersStereoWithTheTailAndTheChosenModel)
{
    const auto input = writeInput ("in.wav", 1);
    const auto dry = read (input);

    struct Case
    {
        const char* name;
        juce::StringArray settings;
    };
    const Case cases[] {
        { "digital.wav", { "program=11", "delayTime=200", "feedback=40", "mix=50" } },
        { "analog.wav", { "program=1", "delayTime=200", "feedback=40", "mix=50" } },
    };

    juce::AudioBuffer<float> outputs[2];
    for (int k = 0; k < 2; ++k)
    {
        juce::StringArray arguments { input.getFullPathName(), file (cases[k].name).getFullPathName(), "--tail", "2" };
        arguments.addArray (cases[k].settings);
        const auto result = render (arguments);
        ASSERT_EQ (result.exitCode, 0) << result.messages;

        double outputRate = 0.0;
        outputs[k] = read (file (cases[k].name), &outputRate);
        EXPECT_EQ (outputRate, rate);
        ASSERT_EQ (outputs[k].getNumChannels(), 2);
        ASSERT_EQ (outputs[k].getNumSamples(), dry.getNumSamples() + (int) (2.0 * rate));

        EXPECT_GT (largestDifference (outputs[k], dry, dry.getNumSamples()), 0.05f) << cases[k].name << " is not the input";
        EXPECT_GT (outputs[k].getMagnitude (dry.getNumSamples(), (int) rate), 1e-3f) << cases[k].name << " rings on in the tail";
    }
    EXPECT_GT (largestDifference (outputs[0], outputs[1], outputs[0].getNumSamples()), 0.05f) << "Digital and Analog sound alike";
}

TEST_F (Renderer, ParametersArriveInTheirOwnUnitsAndBlockSizeChangesNothing)
{
    const auto input = writeInput ("in.wav", 2, 0.4);
    const juce::StringArray settings { "program=11", "delayTime=250", "feedback=0", "mix=100", "modDepth=0", "--tail", "0.5" };

    juce::AudioBuffer<float> outputs[2];
    const char* blockSizes[] { "512", "37" };
    for (int k = 0; k < 2; ++k)
    {
        const auto output = file (juce::String ("out") + blockSizes[k] + ".wav");
        juce::StringArray arguments { input.getFullPathName(), output.getFullPathName(), "--block", blockSizes[k] };
        arguments.addArray (settings);
        const auto result = render (arguments);
        ASSERT_EQ (result.exitCode, 0) << result.messages;
        outputs[k] = read (output);
    }

    // The click at 100 ms comes back 250 ms later, the echo's largest sample
    // after the dry click has faded out.
    const int click = (int) (0.1 * rate), echo = click + (int) (0.25 * rate);
    for (int c = 0; c < 2; ++c)
    {
        int loudest = click + 2000;
        for (int i = loudest; i < (int) (0.4 * rate); ++i)
            if (std::abs (outputs[0].getSample (c, i)) > std::abs (outputs[0].getSample (c, loudest)))
                loudest = i;
        EXPECT_EQ (loudest, echo) << "channel " << c;
    }
    EXPECT_EQ (largestDifference (outputs[0], outputs[1], outputs[0].getNumSamples()), 0.0f);
}

TEST_F (Renderer, RefusesBadArgumentsWithAMessage)
{
    const auto input = writeInput ("in.wav", 1, 0.1).getFullPathName();
    const auto output = file ("out.wav").getFullPathName();

    struct Case
    {
        juce::StringArray arguments;
        const char* says;
    };
    const Case cases[] {
        { { input, output, "colour=3" }, "unknown parameter 'colour'" },
        { { input, output, "feedback=150" }, "feedback takes a number from 0 to 100" },
        { { input, output, "delayTime=long" }, "delayTime takes a number" },
        { { input, output, "--block", "0" }, "--block must be" },
        { { input, output, "--tail" }, "--tail needs a value" },
        { { input, output, "--speed", "2" }, "unknown option '--speed'" },
        { { input }, "expected an input and an output file" },
        { { file ("missing.wav").getFullPathName(), output }, "cannot read" },
        { { input, output, "--plugin", file ("none.vst3").getFullPathName() }, "no VST3 plug-in found" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.arguments.joinIntoString (" "));
        const auto result = render (c.arguments);
        EXPECT_NE (result.exitCode, 0);
        EXPECT_TRUE (result.messages.contains (c.says)) << result.messages;
        EXPECT_FALSE (juce::File (output).exists());
    }
}
