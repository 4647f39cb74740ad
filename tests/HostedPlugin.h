#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>

// The built Nebulon.vst3 bundle, loaded through JUCE's VST3 hosting as a host
// would load it.
struct HostedPlugin
{
    static juce::String bundlePath() { return NEBULON_VST3_BUNDLE; }

    static std::unique_ptr<juce::PluginDescription> describe()
    {
        juce::VST3PluginFormat format;
        juce::OwnedArray<juce::PluginDescription> types;
        format.findAllTypesForFile (types, bundlePath());
        if (types.size() != 1)
            return nullptr;
        return std::make_unique<juce::PluginDescription> (*types[0]);
    }

    static std::unique_ptr<juce::AudioPluginInstance> load (double sampleRate = 48000.0, int blockSize = 512)
    {
        juce::AudioPluginFormatManager formats;
        formats.addFormat (new juce::VST3PluginFormat());
        const auto description = describe();
        if (description == nullptr)
            return nullptr;
        juce::String error;
        return formats.createPluginInstance (*description, sampleRate, blockSize, error);
    }

    // The hosted parameter with this name (hosts only see names and 0..1 values).
    static juce::AudioProcessorParameter* parameterNamed (juce::AudioPluginInstance& instance, const juce::String& name)
    {
        for (auto* parameter : instance.getParameters())
            if (parameter->getName (100) == name)
                return parameter;
        return nullptr;
    }
};
