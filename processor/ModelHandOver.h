#pragma once

#include "effects/ParamIndex.h"
#include "processor/ParameterTable.h"

#include <cmath>

// Hands a freshly created model the current parameter values, in the order
// every model expects them: on/off, the delay time without glide, the levels
// and options, the rate (and mode) of the model's own group, the channel for
// the second slot, and the modulation phase last.
//
// `rawValue (id)` reads a parameter in its own units; `send (index, value)`
// delivers one model value.
template <typename RawValue, typename Send>
void handOverParameters (int effect, bool secondChannel, RawValue&& rawValue, Send&& send)
{
    auto percent = [&] (const char* id) { return rawValue (id) / 100.0f; };
    auto onOff = [&] (const char* id) { return rawValue (id) >= 0.5f ? 1.0f : 0.0f; };

    send (ParamIndex::active, onOff ("effectState"));
    send (ParamIndex::delayTimeJump, rawValue ("delayTime"));
    send (ParamIndex::feedback, percent ("feedback"));
    send (ParamIndex::tone, percent ("tone"));
    send (ParamIndex::modDepth, percent ("modDepth"));
    send (ParamIndex::modFeedback, percent ("modFeedback"));
    send (ParamIndex::mix, percent ("mix"));
    send (ParamIndex::outputLevel, rawValue ("outputLevel"));
    send (ParamIndex::trails, onOff ("trails"));

    if (const auto* rate = rateRouteFor (effect))
        send (ParamIndex::modRate, rawValue (rate->id));

    if (const auto* mode = modeRouteFor (effect))
        send (ParamIndex::mode, std::round (rawValue (mode->id)));

    if (secondChannel)
        send (ParamIndex::channel, 1.0f);

    send (ParamIndex::lfoPhase, 0.0f);
}
