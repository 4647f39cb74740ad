#pragma once

#include "processor/PluginProcessor.h"

#include <juce_audio_processors/juce_audio_processors.h>

// Sets a parameter the way a host or the editor does, in its own units.
inline void setParameter (NebulonAudioProcessor& processor, const char* id, float value)
{
    auto* parameter = processor.getParameters().getParameter (id);
    parameter->setValueNotifyingHost (parameter->convertTo0to1 (value));
}

inline float parameterValue (NebulonAudioProcessor& processor, const char* id)
{
    return processor.getParameters().getRawParameterValue (id)->load();
}

inline void setLayout (NebulonAudioProcessor& processor, const juce::AudioChannelSet& in, const juce::AudioChannelSet& out)
{
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add (in);
    layout.outputBuses.add (out);
    processor.setBusesLayout (layout);
}
