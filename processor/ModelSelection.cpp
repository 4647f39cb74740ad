#include "processor/PluginProcessor.h"

#include "effects/ParamIndex.h"

#include <cmath>

void NebulonAudioProcessor::setAndInitEffect (int effect)
{
    for (size_t i = 0; i < slots.size(); ++i)
    {
        auto& slot = slots[i];
        {
            const std::lock_guard<std::mutex> guard (slot.mutex);

            if (slot.model != nullptr)
                slot.model->releaseResources();

            auto fresh = createModel (effect);

            slot.withdraw();
            slot.model.swap (fresh);
            fresh.reset(); // the old model

            if (slot.model != nullptr)
            {
                slot.model->prepare (slot.sampleRate, slot.blockSize);
                slot.publish();
            }
        }

        if (slot.model != nullptr)
            handOverParameters (slot, effect, i == 1);
    }
}

void NebulonAudioProcessor::handOverParameters (ModelSlot& slot, int effect, bool isSecondChannel)
{
    auto percent = [this] (const char* id) { return rawValue (id) / 100.0f; };
    auto onOff = [this] (const char* id) { return rawValue (id) >= 0.5f ? 1.0f : 0.0f; };

    slot.forward (ParamIndex::active, onOff ("effectState"));
    slot.forward (ParamIndex::delayTimeJump, rawValue ("delayTime"));
    slot.forward (ParamIndex::feedback, percent ("feedback"));
    slot.forward (ParamIndex::tone, percent ("tone"));
    slot.forward (ParamIndex::modDepth, percent ("modDepth"));
    slot.forward (ParamIndex::modFeedback, percent ("modFeedback"));
    slot.forward (ParamIndex::mix, percent ("mix"));
    slot.forward (ParamIndex::outputLevel, rawValue ("outputLevel"));
    slot.forward (ParamIndex::trails, onOff ("trails"));

    if (const auto* rate = rateRouteFor (effect))
        slot.forward (ParamIndex::modRate, rawValue (rate->id));

    if (const auto* mode = modeRouteFor (effect))
        slot.forward (ParamIndex::mode, (float) juce::roundToInt (rawValue (mode->id)));

    if (isSecondChannel)
        slot.forward (ParamIndex::channel, 1.0f);

    slot.forward (ParamIndex::lfoPhase, 0.0f);
}

void NebulonAudioProcessor::forwardToModels (int index, float value) noexcept
{
    for (auto& slot : slots)
        slot.forward (index, value);
}

void NebulonAudioProcessor::parameterChanged (const juce::String& parameterID, float newValue)
{
    const auto* route = findParameterRoute (parameterID);
    if (route == nullptr || ! std::isfinite (newValue))
        return;

    const int currentEffect = juce::roundToInt (rawValue ("program"));

    switch (route->action)
    {
        case ParameterAction::rebuildModels:
            setAndInitEffect ((int) newValue);
            break;

        case ParameterAction::forward:
            if ((route->models & modelBit (currentEffect)) != 0)
                forwardToModels (route->index, newValue / route->divisor);
            break;

        case ParameterAction::setSubdivision:
        {
            const int i = (int) newValue;
            const bool inMap = i >= 0 && i < (int) subdivisionMap.size();
            subdivisionCode.store (subdivisionMap[inMap ? (size_t) i : 0]);
            break;
        }

        case ParameterAction::none:
            break;
    }
}
