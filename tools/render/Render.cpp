// nebulon_render: renders a WAV file offline through the built Nebulon.vst3,
// loaded through JUCE's VST3 hosting exactly as a host loads it.
//
//   nebulon_render in.wav out.wav [id=value ...] [--block N] [--tail S] [--plugin PATH]
//
// Parameters are given by ID in their own units (model number, ms, percent,
// Hz, dB, 0/1 for switches). The file is rendered at its own sample rate and
// written as 32-bit float stereo, followed by a tail in which the echoes ring
// out.

#include "processor/ParameterTable.h"

#include <juce_audio_formats/juce_audio_formats.h>
#include <juce_audio_processors/juce_audio_processors.h>

#include <cmath>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace
{
constexpr int defaultBlockSize = 512;
constexpr double defaultTailSeconds = 4.0;
constexpr int maxBlockSize = 65536;
constexpr double maxTailSeconds = 600.0;

struct ParameterSetting
{
    const ParameterDefinition* definition;
    float value;
};

struct Options
{
    juce::File input;
    juce::File output;
    std::vector<ParameterSetting> settings;
    int blockSize = defaultBlockSize;
    double tailSeconds = defaultTailSeconds;
    juce::String pluginPath = NEBULON_VST3_BUNDLE;
};

void printUsage()
{
    std::cerr << "usage: nebulon_render in.wav out.wav [id=value ...] [--block N] [--tail SECONDS] [--plugin PATH]\n"
                 "\n"
                 "Renders in.wav (mono or stereo) through Nebulon at the file's sample rate and writes\n"
                 "out.wav as 32-bit float stereo, including a tail of "
              << defaultTailSeconds << " s (--tail) in which the echoes ring out.\n"
                 "Blocks of --block samples (default " << defaultBlockSize << ").\n"
                 "\n"
                 "Parameters, by ID in their own units:\n";

    for (const auto& definition : parameterDefinitions)
        std::cerr << "  " << definition.id << " (" << definition.name << "): " << definition.start << " .. " << definition.end << "\n";
}

std::optional<double> parseNumber (const std::string& text)
{
    if (text.empty())
        return std::nullopt;

    char* end = nullptr;
    const double value = std::strtod (text.c_str(), &end);
    if (end != text.c_str() + text.size() || ! std::isfinite (value))
        return std::nullopt;
    return value;
}

const ParameterDefinition* findDefinition (const std::string& id)
{
    for (const auto& definition : parameterDefinitions)
        if (id == definition.id)
            return &definition;
    return nullptr;
}

// Parses the command line; on a bad argument prints why and returns nothing.
std::optional<Options> parseArguments (int argc, char** argv)
{
    std::vector<std::string> positional;
    Options options;

    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];

        if (arg == "--block" || arg == "--tail" || arg == "--plugin")
        {
            if (i + 1 >= argc)
            {
                std::cerr << "error: " << arg << " needs a value\n";
                return std::nullopt;
            }
            const std::string value = argv[++i];

            if (arg == "--plugin")
            {
                options.pluginPath = value;
                continue;
            }

            const auto number = parseNumber (value);
            if (arg == "--block")
            {
                if (! number || *number < 1 || *number > maxBlockSize || *number != (double) (int) *number)
                {
                    std::cerr << "error: --block must be a whole number of samples from 1 to " << maxBlockSize << ", got '" << value << "'\n";
                    return std::nullopt;
                }
                options.blockSize = (int) *number;
            }
            else
            {
                if (! number || *number < 0 || *number > maxTailSeconds)
                {
                    std::cerr << "error: --tail must be seconds from 0 to " << maxTailSeconds << ", got '" << value << "'\n";
                    return std::nullopt;
                }
                options.tailSeconds = *number;
            }
            continue;
        }

        if (arg.size() > 1 && arg[0] == '-' && arg[1] == '-')
        {
            std::cerr << "error: unknown option '" << arg << "'\n";
            return std::nullopt;
        }

        const auto equals = arg.find ('=');
        if (equals == std::string::npos)
        {
            positional.push_back (arg);
            continue;
        }

        const std::string id = arg.substr (0, equals);
        const auto* definition = findDefinition (id);
        if (definition == nullptr)
        {
            std::cerr << "error: unknown parameter '" << id << "'\n";
            return std::nullopt;
        }

        const auto number = parseNumber (arg.substr (equals + 1));
        if (! number || *number < definition->start || *number > definition->end)
        {
            std::cerr << "error: " << id << " takes a number from " << definition->start << " to " << definition->end
                      << ", got '" << arg.substr (equals + 1) << "'\n";
            return std::nullopt;
        }
        options.settings.push_back ({ definition, (float) *number });
    }

    if (positional.size() != 2)
    {
        std::cerr << "error: expected an input and an output file, got " << positional.size() << " file argument(s)\n";
        return std::nullopt;
    }

    options.input = juce::File::getCurrentWorkingDirectory().getChildFile (positional[0]);
    options.output = juce::File::getCurrentWorkingDirectory().getChildFile (positional[1]);
    return options;
}

std::unique_ptr<juce::AudioPluginInstance> loadPlugin (const juce::String& path, double sampleRate, int blockSize)
{
    juce::AudioPluginFormatManager formats;
    formats.addFormat (new juce::VST3PluginFormat());

    juce::VST3PluginFormat vst3;
    juce::OwnedArray<juce::PluginDescription> types;
    vst3.findAllTypesForFile (types, path);
    if (types.isEmpty())
    {
        std::cerr << "error: no VST3 plug-in found at '" << path << "'\n";
        return nullptr;
    }

    juce::String error;
    auto instance = formats.createPluginInstance (*types[0], sampleRate, blockSize, error);
    if (instance == nullptr)
        std::cerr << "error: cannot load '" << path << "': " << error << "\n";
    return instance;
}

// The hosted parameter of a table entry: hosts see parameters by name only.
juce::AudioProcessorParameter* hostedParameter (juce::AudioPluginInstance& plugin, const ParameterDefinition& definition)
{
    for (auto* parameter : plugin.getParameters())
        if (parameter->getName (100) == definition.name)
            return parameter;
    return nullptr;
}

// Hosted parameters only take 0..1: the value goes through the range the
// plug-in built for the parameter.
float normalised (const ParameterDefinition& definition, float value)
{
    const juce::NormalisableRange<float> range (definition.start, definition.end, definition.step, definition.skew);
    return range.convertTo0to1 (range.snapToLegalValue (value));
}

// Sets the parameters before the plug-in is prepared, so that preparing
// builds the chosen model with every value in place (no glide from the
// defaults at the start of the file). "program" goes last, after the values
// the new model is handed.
bool applySettings (juce::AudioPluginInstance& plugin, const std::vector<ParameterSetting>& settings)
{
    for (int pass = 0; pass < 2; ++pass)
    {
        for (const auto& setting : settings)
        {
            const bool isProgram = juce::String (setting.definition->id) == "program";
            if (isProgram != (pass == 1))
                continue;

            auto* parameter = hostedParameter (plugin, *setting.definition);
            if (parameter == nullptr)
            {
                std::cerr << "error: the plug-in has no parameter named '" << setting.definition->name << "'\n";
                return false;
            }
            parameter->setValueNotifyingHost (normalised (*setting.definition, setting.value));
        }
    }
    return true;
}

int render (const Options& options)
{
    juce::AudioFormatManager formats;
    formats.registerBasicFormats();

    std::unique_ptr<juce::AudioFormatReader> reader (formats.createReaderFor (options.input));
    if (reader == nullptr)
    {
        std::cerr << "error: cannot read '" << options.input.getFullPathName() << "' as an audio file\n";
        return 1;
    }
    if (reader->numChannels < 1 || reader->numChannels > 2)
    {
        std::cerr << "error: '" << options.input.getFullPathName() << "' has " << (int) reader->numChannels
                  << " channels; only mono and stereo are supported\n";
        return 1;
    }
    if (reader->lengthInSamples > std::numeric_limits<int>::max() / 2)
    {
        std::cerr << "error: '" << options.input.getFullPathName() << "' is too long\n";
        return 1;
    }

    const double sampleRate = reader->sampleRate;
    const int inputLength = (int) reader->lengthInSamples;
    const int totalLength = inputLength + (int) std::ceil (options.tailSeconds * sampleRate);
    const int blockSize = options.blockSize;

    juce::AudioBuffer<float> audio (2, totalLength);
    audio.clear();
    reader->read (&audio, 0, inputLength, 0, true, true);
    if (reader->numChannels == 1)
        audio.copyFrom (1, 0, audio, 0, 0, inputLength);

    auto plugin = loadPlugin (options.pluginPath, sampleRate, blockSize);
    if (plugin == nullptr)
        return 1;

    const juce::AudioChannelSet stereo = juce::AudioChannelSet::stereo();
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add (stereo);
    layout.outputBuses.add (stereo);
    if (! plugin->setBusesLayout (layout))
    {
        std::cerr << "error: the plug-in does not accept a stereo layout\n";
        return 1;
    }

    if (! applySettings (*plugin, options.settings))
        return 1;

    plugin->setNonRealtime (true);
    plugin->prepareToPlay (sampleRate, blockSize);

    juce::MidiBuffer midi;
    for (int start = 0; start < totalLength; start += blockSize)
    {
        const int length = std::min (blockSize, totalLength - start);
        juce::AudioBuffer<float> block (audio.getArrayOfWritePointers(), 2, start, length);
        plugin->processBlock (block, midi);
    }

    plugin->releaseResources();
    plugin.reset();

    options.output.deleteFile();
    std::unique_ptr<juce::OutputStream> stream (options.output.createOutputStream());
    if (stream == nullptr)
    {
        std::cerr << "error: cannot write '" << options.output.getFullPathName() << "'\n";
        return 1;
    }

    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatWriter> writer (wav.createWriterFor (stream.get(), sampleRate, 2, 32, {}, 0));
    if (writer == nullptr)
    {
        std::cerr << "error: cannot write a WAV file at " << sampleRate << " Hz\n";
        return 1;
    }
    stream.release(); // the writer owns it now

    if (! writer->writeFromAudioSampleBuffer (audio, 0, totalLength))
    {
        std::cerr << "error: writing '" << options.output.getFullPathName() << "' failed\n";
        return 1;
    }
    return 0;
}
} // namespace

int main (int argc, char** argv)
{
    const juce::ScopedJuceInitialiser_GUI juce;

    for (int i = 1; i < argc; ++i)
    {
        if (std::string (argv[i]) == "--help" || std::string (argv[i]) == "-h")
        {
            printUsage();
            return 0;
        }
    }

    const auto options = parseArguments (argc, argv);
    if (! options)
    {
        printUsage();
        return 2;
    }

    return render (*options);
}
