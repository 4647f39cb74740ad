#include "processor/ParameterTable.h"

#include "effects/ParamIndex.h"

#include <cstring>

const std::array<ParameterDefinition, numParameters> parameterDefinitions { {
    { "program",        "Program",              ParameterKind::integer, 1.0f,   11.0f,   1.0f,    1.0f,         1.0f },
    { "effectState",    "Effect State",         ParameterKind::toggle,  0.0f,   1.0f,    1.0f,    1.0f,         1.0f },
    { "delayTime",      "Delay Time",           ParameterKind::decimal, 32.0f,  2000.0f, 1.0f,    0.5f,         400.0f },
    { "feedback",       "Feedback",             ParameterKind::decimal, 0.0f,   100.0f,  1.0f,    1.0f,         50.0f },
    { "tone",           "Tone",                 ParameterKind::decimal, 0.0f,   100.0f,  1.0f,    1.0f,         50.0f },
    { "modDepth",       "Mod Depth",            ParameterKind::decimal, 0.0f,   100.0f,  1.0f,    1.0f,         50.0f },
    { "modRate",        "Mod Rate",             ParameterKind::decimal, 0.1f,   10.0f,   0.01f,   0.5f,         2.5f },
    { "modFeedback",    "Regen",                ParameterKind::decimal, 0.0f,   100.0f,  1.0f,    1.0f,         50.0f },
    { "mix",            "Mix",                  ParameterKind::decimal, 0.0f,   100.0f,  1.0f,    1.0f,         50.0f },
    { "outputLevel",    "Level (Output)",       ParameterKind::decimal, -6.0f,  6.0f,    0.1f,    1.0f,         0.0f },
    { "tempoSync",      "Tempo Sync",           ParameterKind::toggle,  0.0f,   1.0f,    1.0f,    1.0f,         0.0f },
    { "subdivision",    "Subdivision",          ParameterKind::integer, 0.0f,   14.0f,   1.0f,    1.0f,         0.0f },
    { "multiheadMode",  "Mode (Tape)",          ParameterKind::integer, 0.0f,   15.0f,   1.0f,    1.0f,         8.0f },
    { "nimbusMode",     "Mode (Nimbus)",        ParameterKind::integer, 0.0f,   3.0f,    1.0f,    1.0f,         0.0f },
    { "trails",         "Trails",               ParameterKind::toggle,  0.0f,   1.0f,    1.0f,    1.0f,         1.0f },
    { "modRateSimple",  "Mod Rate (BBD, DIGI)", ParameterKind::decimal, 0.1f,   10.0f,   0.01f,   0.33333334f,  1.3375f },
    { "modRateFlanger", "Mod Rate (JET, MOD)",  ParameterKind::decimal, 0.1f,   5.0f,    0.01f,   0.33333334f,  0.7125f },
} };

namespace
{
constexpr ModelMask modRateModels = modelBit (1) | modelBit (2) | modelBit (5) | modelBit (6) | modelBit (7) | modelBit (9) | modelBit (10);
constexpr ModelMask modRateSimpleModels = modelBit (3) | modelBit (11);
constexpr ModelMask modRateFlangerModels = modelBit (4) | modelBit (8);
} // namespace

const std::array<ParameterRoute, numParameters> parameterRoutes { {
    { "program",        ParameterAction::rebuildModels,  -1,                         1.0f,   allModels },
    { "effectState",    ParameterAction::forward,        ParamIndex::active,         1.0f,   allModels },
    { "delayTime",      ParameterAction::forward,        ParamIndex::delayTime,      1.0f,   allModels },
    { "feedback",       ParameterAction::forward,        ParamIndex::feedback,       100.0f, allModels },
    { "tone",           ParameterAction::forward,        ParamIndex::tone,           100.0f, allModels },
    { "modDepth",       ParameterAction::forward,        ParamIndex::modDepth,       100.0f, allModels },
    { "modRate",        ParameterAction::forward,        ParamIndex::modRate,        1.0f,   modRateModels },
    { "modRateSimple",  ParameterAction::forward,        ParamIndex::modRate,        1.0f,   modRateSimpleModels },
    { "modRateFlanger", ParameterAction::forward,        ParamIndex::modRate,        1.0f,   modRateFlangerModels },
    { "modFeedback",    ParameterAction::forward,        ParamIndex::modFeedback,    100.0f, allModels },
    { "mix",            ParameterAction::forward,        ParamIndex::mix,            100.0f, allModels },
    { "outputLevel",    ParameterAction::forward,        ParamIndex::outputLevel,    1.0f,   allModels },
    { "tempoSync",      ParameterAction::none,           -1,                         1.0f,   allModels },
    { "subdivision",    ParameterAction::setSubdivision, -1,                         1.0f,   allModels },
    { "multiheadMode",  ParameterAction::forward,        ParamIndex::mode,           1.0f,   modelBit (10) },
    { "nimbusMode",     ParameterAction::forward,        ParamIndex::mode,           1.0f,   modelBit (7) },
    { "trails",         ParameterAction::forward,        ParamIndex::trails,         1.0f,   allModels },
} };

juce::AudioProcessorValueTreeState::ParameterLayout createParameterLayout()
{
    juce::AudioProcessorValueTreeState::ParameterLayout layout;

    for (const auto& definition : parameterDefinitions)
    {
        const juce::ParameterID id { definition.id, 1 };

        switch (definition.kind)
        {
            case ParameterKind::integer:
                layout.add (std::make_unique<juce::AudioParameterInt> (id, definition.name, (int) definition.start, (int) definition.end, (int) definition.defaultValue));
                break;
            case ParameterKind::toggle:
                layout.add (std::make_unique<juce::AudioParameterBool> (id, definition.name, definition.defaultValue >= 0.5f));
                break;
            case ParameterKind::decimal:
                layout.add (std::make_unique<juce::AudioParameterFloat> (
                    id, definition.name, juce::NormalisableRange<float> (definition.start, definition.end, definition.step, definition.skew), definition.defaultValue));
                break;
        }
    }

    return layout;
}

const ParameterRoute* findParameterRoute (const juce::String& id)
{
    for (const auto& route : parameterRoutes)
        if (id == route.id)
            return &route;
    return nullptr;
}

namespace
{
const ParameterRoute* findForwardRoute (int index, int effect)
{
    for (const auto& route : parameterRoutes)
        if (route.action == ParameterAction::forward && route.index == index && route.models != allModels
            && (route.models & modelBit (effect)) != 0)
            return &route;
    return nullptr;
}
} // namespace

const ParameterRoute* rateRouteFor (int effect) { return findForwardRoute (ParamIndex::modRate, effect); }
const ParameterRoute* modeRouteFor (int effect) { return findForwardRoute (ParamIndex::mode, effect); }
