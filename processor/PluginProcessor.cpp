#include "processor/PluginProcessor.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <cstring>

namespace
{
std::array<juce::String, 11> makeEffectNames()
{
    std::array<juce::String, 11> names;
    for (size_t i = 0; i < names.size(); ++i)
        names[i] = effectDisplayNames[i];
    return names;
}

std::array<juce::String, numParameters> makeParameterIds()
{
    std::array<juce::String, numParameters> ids;
    for (size_t i = 0; i < ids.size(); ++i)
        ids[i] = parameterRoutes[i].id;
    return ids;
}

std::vector<int> makeSubdivisionMap()
{
    std::vector<int> map (15);
    for (size_t i = 0; i < map.size(); ++i)
        map[i] = (int) i;
    return map;
}
} // namespace

NebulonAudioProcessor::NebulonAudioProcessor (ModelFactory modelFactory)
    : AudioProcessor (BusesProperties()
                          .withInput ("Input", juce::AudioChannelSet::stereo(), true)
                          .withOutput ("Output", juce::AudioChannelSet::stereo(), true)),
      effectNames (makeEffectNames()),
      parameterIds (makeParameterIds()),
      createModel (modelFactory != nullptr ? modelFactory : createEffectModel),
      subdivisionMap (makeSubdivisionMap()),
      parameters (*this, nullptr, "Parameters", createParameterLayout()),
      scratch (2, 1024)
{
    for (size_t i = 0; i < parameterIds.size(); ++i)
        rawValues[i] = parameters.getRawParameterValue (parameterIds[i]);

    for (const auto& id : parameterIds)
        parameters.addParameterListener (id, this);
}

NebulonAudioProcessor::~NebulonAudioProcessor()
{
    // No restore may run on the message thread while the processor goes away.
    pendingRestore.stop();

    for (const auto& id : parameterIds)
        parameters.removeParameterListener (id, this);

    for (int i = (int) slots.size() - 1; i >= 0; --i)
    {
        auto& slot = slots[(size_t) i];
        const std::lock_guard<std::mutex> guard (slot.mutex);
        slot.withdraw();
        slot.model.reset();
    }
}

const juce::String NebulonAudioProcessor::getName() const { return "Nebulon"; }
double NebulonAudioProcessor::getTailLengthSeconds() const { return 0.0; }
bool NebulonAudioProcessor::acceptsMidi() const { return false; }
bool NebulonAudioProcessor::producesMidi() const { return false; }
bool NebulonAudioProcessor::isMidiEffect() const { return false; }
bool NebulonAudioProcessor::hasEditor() const { return true; }
int NebulonAudioProcessor::getNumPrograms() { return 1; }
int NebulonAudioProcessor::getCurrentProgram() { return 0; }
void NebulonAudioProcessor::setCurrentProgram (int) {}
const juce::String NebulonAudioProcessor::getProgramName (int) { return {}; }
void NebulonAudioProcessor::changeProgramName (int, const juce::String&) {}

juce::AudioProcessorEditor* NebulonAudioProcessor::createEditor()
{
    return new juce::GenericAudioProcessorEditor (*this);
}

bool NebulonAudioProcessor::isBusesLayoutSupported (const BusesLayout& layouts) const
{
    const auto input = layouts.getMainInputChannelSet();
    const auto output = layouts.getMainOutputChannelSet();

    if (input.isDisabled() || output.isDisabled())
        return false;

    const auto mono = juce::AudioChannelSet::mono();
    const auto stereo = juce::AudioChannelSet::stereo();

    if (input == mono)
        return output == mono || output == stereo;

    return input == stereo && output == stereo;
}

void NebulonAudioProcessor::prepareToPlay (double sampleRate, int samplesPerBlock)
{
    const int maxBlockSize = juce::jmax (1, samplesPerBlock);

    {
        const std::lock_guard<std::mutex> guard (scratchLock);
        scratch.setSize (2, maxBlockSize, false, false, false);
        preparedBlockSize = maxBlockSize;
    }

    for (auto& slot : slots)
    {
        const std::lock_guard<std::mutex> guard (slot.mutex);
        slot.sampleRate = sampleRate;
        slot.blockSize = maxBlockSize;
        if (slot.model != nullptr)
            slot.model->prepare (sampleRate, maxBlockSize);
    }

    setAndInitEffect (juce::roundToInt (rawValue ("program")));
}

void NebulonAudioProcessor::releaseResources()
{
    for (auto& slot : slots)
    {
        const std::lock_guard<std::mutex> guard (slot.mutex);
        if (slot.model != nullptr)
            slot.model->releaseResources();
    }
}

int NebulonAudioProcessor::numChannelsToProcess (int bufferChannels) const noexcept
{
    return juce::jmin (getTotalNumOutputChannels(), bufferChannels, (int) slots.size());
}

template <typename Sample>
void NebulonAudioProcessor::copyMonoToStereo (juce::AudioBuffer<Sample>& buffer) const noexcept
{
    if (getTotalNumInputChannels() == 1 && getTotalNumOutputChannels() == 2 && buffer.getNumChannels() >= 2)
        buffer.copyFrom (1, 0, buffer, 0, 0, buffer.getNumSamples());
}

void NebulonAudioProcessor::processSlot (int channel, double* samples, int numSamples) noexcept
{
    auto& slot = slots[(size_t) channel];
    const std::unique_lock<std::mutex> guard (slot.mutex, std::try_to_lock);

    // A slot being replaced or prepared passes this block unprocessed.
    if (guard.owns_lock() && slot.model != nullptr)
        slot.model->process (samples, numSamples);
}

template <typename Sample>
bool NebulonAudioProcessor::startBlock (juce::AudioBuffer<Sample>& buffer)
{
    const int numSamples = buffer.getNumSamples();
    const int bufferChannels = buffer.getNumChannels();

    if (numSamples <= 0 || bufferChannels <= 0)
        return false;

    for (int channel = getTotalNumInputChannels(); channel < juce::jmin (getTotalNumOutputChannels(), bufferChannels); ++channel)
        buffer.clear (channel, 0, numSamples);

    copyMonoToStereo (buffer);
    hostSync();
    return true;
}

void NebulonAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    const juce::ScopedNoDenormals noDenormals;
    if (! startBlock (buffer))
        return;

    const int numSamples = buffer.getNumSamples();

    const std::unique_lock<std::mutex> guard (scratchLock, std::try_to_lock);
    if (! guard.owns_lock())
        return;

    const int numChannels = numChannelsToProcess (buffer.getNumChannels());
    const bool silent = buffer.hasBeenCleared();

    // A block longer than prepared runs in prepared-size pieces, so neither
    // the scratch buffer nor the models' copies overrun.
    for (int offset = 0; offset < numSamples; offset += preparedBlockSize)
    {
        const int length = juce::jmin (preparedBlockSize, numSamples - offset);

        for (int channel = 0; channel < numChannels; ++channel)
        {
            const float* source = buffer.getReadPointer (channel, offset);
            double* work = scratch.getWritePointer (channel);
            for (int i = 0; i < length; ++i)
                work[i] = silent ? 0.0 : (double) source[i];
        }

        for (int channel = 0; channel < numChannels; ++channel)
            processSlot (channel, scratch.getWritePointer (channel), length);

        for (int channel = 0; channel < numChannels; ++channel)
        {
            const double* work = scratch.getReadPointer (channel);
            float* destination = buffer.getWritePointer (channel, offset);
            for (int i = 0; i < length; ++i)
                destination[i] = (float) work[i];
        }
    }
}

void NebulonAudioProcessor::processBlock (juce::AudioBuffer<double>& buffer, juce::MidiBuffer&)
{
    const juce::ScopedNoDenormals noDenormals;
    if (! startBlock (buffer))
        return;

    // The models run the host buffer in place; each one splits a block longer
    // than it was prepared for.
    const int numChannels = numChannelsToProcess (buffer.getNumChannels());
    for (int channel = 0; channel < numChannels; ++channel)
        processSlot (channel, buffer.getWritePointer (channel), buffer.getNumSamples());
}

void NebulonAudioProcessor::processBlockBypassed (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    const juce::ScopedNoDenormals noDenormals;
    if (buffer.getNumSamples() > 0)
        copyMonoToStereo (buffer);
}

void NebulonAudioProcessor::processBlockBypassed (juce::AudioBuffer<double>& buffer, juce::MidiBuffer&)
{
    const juce::ScopedNoDenormals noDenormals;
    if (buffer.getNumSamples() > 0)
        copyMonoToStereo (buffer);
}

float NebulonAudioProcessor::rawValue (const char* id) const noexcept
{
    for (size_t i = 0; i < parameterRoutes.size(); ++i)
        if (std::strcmp (parameterRoutes[i].id, id) == 0)
            return rawValues[i]->load();
    jassertfalse;
    return 0.0f;
}

juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new NebulonAudioProcessor();
}
