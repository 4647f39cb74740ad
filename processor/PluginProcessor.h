#pragma once

#include "processor/Effects.h"
#include "processor/ModelSlot.h"
#include "processor/ParameterTable.h"
#include "processor/PendingStateRestore.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>
#include <mutex>
#include <vector>

class NebulonAudioProcessor : public juce::AudioProcessor,
                              private juce::AudioProcessorValueTreeState::Listener
{
public:
    using ModelFactory = std::unique_ptr<AudioEffect> (*) (int effect);

    // `modelFactory` builds the model of an Effect number; tests substitute
    // their own to watch what the models receive.
    explicit NebulonAudioProcessor (ModelFactory modelFactory = createEffectModel);
    ~NebulonAudioProcessor() override;

    const juce::String getName() const override;
    void prepareToPlay (double sampleRate, int samplesPerBlock) override;
    void releaseResources() override;
    void processBlock (juce::AudioBuffer<float>&, juce::MidiBuffer&) override;
    void processBlock (juce::AudioBuffer<double>&, juce::MidiBuffer&) override;
    void processBlockBypassed (juce::AudioBuffer<float>&, juce::MidiBuffer&) override;
    void processBlockBypassed (juce::AudioBuffer<double>&, juce::MidiBuffer&) override;
    double getTailLengthSeconds() const override;
    bool acceptsMidi() const override;
    bool producesMidi() const override;
    bool isMidiEffect() const override;
    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override;
    int getNumPrograms() override;
    int getCurrentProgram() override;
    void setCurrentProgram (int index) override;
    const juce::String getProgramName (int index) override;
    void changeProgramName (int index, const juce::String& newName) override;
    void getStateInformation (juce::MemoryBlock& destData) override;
    void setStateInformation (const void* data, int sizeInBytes) override;
    bool isBusesLayoutSupported (const BusesLayout& layouts) const override;

    // Replaces the models of both slots with fresh instances of `effect`,
    // prepared and loaded with the current parameter values.
    void setAndInitEffect (int effect);

    // With "Tempo Sync" on, writes the host tempo's note length into "delayTime".
    void hostSync();

    // Applies a saved state; message thread only.
    void setStateInfo (const void* data, int sizeInBytes);

    juce::AudioProcessorValueTreeState& getParameters() noexcept { return parameters; }
    int getSubdivisionCode() const noexcept { return subdivisionCode.load(); }

    // The model that serves `channel` (0 or 1), for inspection on the message
    // thread; null while the slot is empty.
    AudioEffect* getModel (int channel) const noexcept { return slots[(size_t) channel].model.get(); }

    const std::array<juce::String, 11> effectNames;
    const std::array<juce::String, numParameters> parameterIds;
    const juce::String themeId { "theme" };

    // Routes a parameter change to the models (listener of all 17 parameters).
    void parameterChanged (const juce::String& parameterID, float newValue) override;

private:
    void forwardToModels (int index, float value) noexcept;
    float rawValue (const char* id) const noexcept;
    void resizeOpenEditorFromState();

    // Clears output channels without input, copies a mono input to the
    // second output and runs tempo sync; false when the block is empty.
    template <typename Sample>
    bool startBlock (juce::AudioBuffer<Sample>& buffer);
    template <typename Sample>
    void copyMonoToStereo (juce::AudioBuffer<Sample>& buffer) const noexcept;
    template <typename Sample>
    void processChannelsInPlace (juce::AudioBuffer<Sample>& buffer, int offset, int numSamples, int numChannels) noexcept;
    void processSlot (int channel, double* samples, int numSamples) noexcept;
    int numChannelsToProcess (int bufferChannels) const noexcept;

    const ModelFactory createModel;
    std::atomic<int> subdivisionCode { 0 };
    const std::vector<int> subdivisionMap;

public:
    juce::AudioProcessorValueTreeState parameters;

private:
    std::array<ModelSlot, 2> slots;

    // The parameters' live values in the order of parameterIds, looked up once:
    // the framework's lookup by ID builds a string, which the audio thread must not.
    std::array<std::atomic<float>*, numParameters> rawValues {};

    // Double-precision copy of a single-precision block, sized by
    // prepareToPlay; the audio thread only tries its lock.
    juce::AudioBuffer<double> scratch;
    std::mutex scratchLock;
    int preparedBlockSize = 1024; // guarded by scratchLock

    PendingStateRestore pendingRestore { [this] (const void* data, int size) { setStateInfo (data, size); } };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (NebulonAudioProcessor)
};
