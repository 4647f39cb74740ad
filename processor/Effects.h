#pragma once

#include "effects/AudioEffect.h"

#include <array>
#include <memory>

namespace Processor
{
// The delay models, numbered as the "program" parameter selects them.
enum Effect : int
{
    analog = 1,
    wetAnalog = 2,
    bbdAnalog = 3,
    jetAnalog = 4,
    warden = 5,
    ribbonDrift = 6,
    nimbus = 7,
    modDigital = 8,
    echoSpace = 9,
    multiheadTape = 10,
    digital = 11
};

inline constexpr int firstEffect = analog;
inline constexpr int lastEffect = digital;
} // namespace Processor

// Display names, in Effect order (index 0 is Effect 1).
extern const std::array<const char*, 11> effectDisplayNames;

// A new instance of the model of `effect`, or nothing for a number that has
// no model.
std::unique_ptr<AudioEffect> createEffectModel (int effect);
