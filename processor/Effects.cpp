#include "processor/Effects.h"

#include "effects/models/AnalogDelay.h"
#include "effects/models/DigitalDelay.h"

const std::array<const char*, 11> effectDisplayNames { {
    "Analog", "Wet Analog", "BBD Analog", "Jet Analog", "The Warden", "Ribbon Drift",
    "Nimbus Delay", "Mod Digital", "Echo-Space", "Multihead Tape", "Digital",
} };

namespace
{
template <typename Model>
std::unique_ptr<AudioEffect> make()
{
    return std::make_unique<Model>();
}

struct ModelEntry
{
    int effect;
    std::unique_ptr<AudioEffect> (*create)();
};

// The models that exist; every other number leaves the slots empty.
constexpr ModelEntry registry[] {
    { Processor::analog, make<AnalogDelay> },
    { Processor::digital, make<DigitalDelay> },
};
} // namespace

std::unique_ptr<AudioEffect> createEffectModel (int effect)
{
    for (const auto& entry : registry)
        if (entry.effect == effect)
            return entry.create();
    return nullptr;
}
