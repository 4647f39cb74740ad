#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>
#include <cstdint>

// The 17 host parameters, in the order the host lists them.
enum class ParameterKind
{
    integer,
    toggle,
    decimal
};

struct ParameterDefinition
{
    const char* id;
    const char* name;
    ParameterKind kind;
    float start;
    float end;
    float step;
    float skew;
    float defaultValue;
};

inline constexpr int numParameters = 17;

extern const std::array<ParameterDefinition, numParameters> parameterDefinitions;

// Builds the parameters of the table for the processor's value-tree state.
juce::AudioProcessorValueTreeState::ParameterLayout createParameterLayout();

// How a change of one parameter reaches the models.
enum class ParameterAction
{
    rebuildModels,  // "program": replace the models of both slots
    forward,        // send (index, value × scale) to both models
    setSubdivision, // only the code tempo sync uses
    none            // read where it is needed ("tempoSync")
};

// Bit m set: Effect m receives the value. Rates and modes are forwarded only
// to the models that follow them.
using ModelMask = std::uint32_t;
inline constexpr ModelMask modelBit (int effect) { return effect >= 0 && effect < 32 ? ModelMask { 1 } << effect : 0; }
inline constexpr ModelMask allModels = 0xffffffffu;

struct ParameterRoute
{
    const char* id;
    ParameterAction action;
    int index;
    float divisor; // percent values reach the models as 0..1
    ModelMask models;
};

// In the processor's own order of parameter IDs.
extern const std::array<ParameterRoute, numParameters> parameterRoutes;

// The route of an ID, or nullptr for an ID that is not one of the 17.
const ParameterRoute* findParameterRoute (const juce::String& id);

// The rate parameter that model `effect` follows, and its mode parameter
// (nullptr for models without a mode).
const ParameterRoute* rateRouteFor (int effect);
const ParameterRoute* modeRouteFor (int effect);
