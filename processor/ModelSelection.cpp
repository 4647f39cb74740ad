#include "processor/PluginProcessor.h"

#include "effects/ParamIndex.h"
#include "processor/ModelHandOver.h"

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
            handOverParameters (effect, i == 1, [this] (const char* id) { return rawValue (id); },
                                [&slot] (int index, float value) { slot.forward (index, value); });
    }
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
