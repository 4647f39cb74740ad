#pragma once

// Numbering of the values a model receives through AudioEffect::setParam.
// Units are as the model receives them: ms, Hz, dB, or 0..1 for the values
// that the host shows in percent.
namespace ParamIndex
{
enum Index : int
{
    channel = 0,          // 0 or 1: which stereo channel this instance serves
    active = 1,           // 0 = effect off, otherwise on
    dryOn = 2,            // whether dry and bypass paths reach the output
    trails = 3,           // echoes ring out when switched off
    mode = 5,             // model mode (Nimbus, Multihead Tape)
    delayTimeJump = 6,    // ms, set without glide
    delayTime = 7,        // ms, glided
    feedback = 8,         // 0..1
    feedbackSquared = 9,  // 0..1, squared before scaling
    swellOn = 10,
    reverseOn = 11,
    duckOn = 12,
    pingPongOn = 13,
    tone = 21,            // 0..1
    lowCutFreq = 23,      // 0..1 -> 2..300 Hz
    lowCutOn = 24,
    modRate = 27,         // Hz
    modDepth = 28,        // 0..1, squared before scaling
    modFeedback = 29,     // 0..1, flanger regeneration
    lfoPhaseOffset = 33,  // cycles
    lfoPhase = 35,        // cycles
    duckThreshold = 41,   // dB
    swellRise = 43,       // ms
    duckRelease = 44,     // ms
    drive = 46,           // 0..1
    mix = 48,             // 0..1
    dryLevel = 50,        // dB
    wetLevelSquared = 51, // 0..1
    wetLevel = 52,        // dB
    outputLevel = 53      // dB
};
} // namespace ParamIndex
