#include "processor/PluginProcessor.h"

#include <cfloat>
#include <cmath>

namespace
{
// Note lengths in beats, by subdivision code. Code 0 (a quarter) and any code
// without an entry count one beat.
constexpr std::array<double, 15> beatsPerSubdivision {
    1.0,           // 0 quarter
    0.5,           // 1 eighth
    0.25,          // 2 sixteenth
    2.0,           // 3 half
    4.0,           // 4 whole
    1.5,           // 5 dotted quarter
    0.75,          // 6 dotted eighth
    0.375,         // 7 dotted sixteenth
    3.0,           // 8 dotted half
    6.0,           // 9 dotted whole
    2.0 / 3.0,     // 10 quarter triplet
    1.0 / 3.0,     // 11 eighth triplet
    1.0 / 6.0,     // 12 sixteenth triplet
    4.0 / 3.0,     // 13 half triplet
    8.0 / 3.0,     // 14 whole triplet
};

double subdivisionBeats (int code) noexcept
{
    return code >= 0 && code < (int) beatsPerSubdivision.size() ? beatsPerSubdivision[(size_t) code] : 1.0;
}

// Equal within one single-precision epsilon of the larger magnitude, or the
// smallest normal float; non-finite values only compare equal exactly.
bool nearlyEqual (float a, float b) noexcept
{
    if (! std::isfinite (a) || ! std::isfinite (b))
        return a == b;

    const float difference = std::abs (a - b);
    return difference <= FLT_MIN || difference <= FLT_EPSILON * std::max (std::abs (a), std::abs (b));
}
} // namespace

void NebulonAudioProcessor::hostSync()
{
    if (rawValue ("tempoSync") < 0.5f)
        return;

    auto* hostPlayHead = getPlayHead();
    if (hostPlayHead == nullptr)
        return;

    const auto position = hostPlayHead->getPosition();
    if (! position.hasValue())
        return;

    const auto bpm = position->getBpm();

    // A negative or undefined tempo carries no note length; a tempo of 0 gives
    // an endless note, which the parameter's range turns into its longest time.
    if (! bpm.hasValue() || std::isnan (*bpm) || *bpm < 0.0)
        return;

    const auto milliseconds = (float) (60000.0 / *bpm * subdivisionBeats (subdivisionCode.load()));

    if (nearlyEqual (milliseconds, rawValue ("delayTime")))
        return;

    if (auto* delayTime = parameters.getParameter ("delayTime"))
        delayTime->setValueNotifyingHost (delayTime->convertTo0to1 (milliseconds));
}
