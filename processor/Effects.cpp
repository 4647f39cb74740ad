#include "processor/Effects.h"

const std::array<const char*, 11> effectDisplayNames { {
    "Analog", "Wet Analog", "BBD Analog", "Jet Analog", "The Warden", "Ribbon Drift",
    "Nimbus Delay", "Mod Digital", "Echo-Space", "Multihead Tape", "Digital",
} };

std::unique_ptr<AudioEffect> createEffectModel (int effect)
{
    switch (effect)
    {
        default:
            return nullptr;
    }
}
