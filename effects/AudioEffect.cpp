#include "effects/AudioEffect.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace
{
double decibelsToGain (double db) noexcept { return std::pow (10.0, db / 20.0); }
} // namespace

AudioEffect::AudioEffect (const ModelConstants& modelConstants)
    : constants (modelConstants),
      feedback (0.5 * modelConstants.feedbackScale),
      modDepthMs (0.25 * modelConstants.maxModDepthMs)
{
    swell.lookAheadMs = constants.swellLookAheadMs;
}

void AudioEffect::prepare (double newSampleRate, int newBlockSize)
{
    const std::lock_guard<std::mutex> guard (lock);
    prepared = false;

    // A rate the blocks cannot run at leaves the model unprepared: it then
    // passes audio through untouched.
    if (! std::isfinite (newSampleRate) || newSampleRate < 1000.0 || newSampleRate > 1.0e6 || newBlockSize <= 0)
        return;

    sampleRate = newSampleRate;
    blockSize = newBlockSize;

    try
    {
        dryCopy.assign ((size_t) blockSize, 0.0);
        bypassCopy.assign ((size_t) blockSize, 0.0);

        gate.prepare (sampleRate);
        duck.envelope.prepare (sampleRate);
        distortion.prepare (sampleRate);
        pingPongLine.allocate (constants.maxDelayMs, sampleRate);
        reverse.prepare (sampleRate, constants.maxDelayMs);
        swell.prepare (sampleRate);

        prepareModel();
    }
    catch (const std::bad_alloc&)
    {
        return;
    }

    prepared = true;
}

void AudioEffect::resetResources()
{
    const std::lock_guard<std::mutex> guard (lock);
    gate.reset();
    duck.envelope.reset();
    pingPongLine.reset();
    reverse.reset();
    swell.reset();
    resetModel();
}

void AudioEffect::releaseResources()
{
    const std::lock_guard<std::mutex> guard (lock);
    prepared = false;
    std::vector<double>().swap (dryCopy);
    std::vector<double>().swap (bypassCopy);
    pingPongLine.release();
    reverse.release();
    swell.release();
    releaseModel();
}

void AudioEffect::process (double* samples, int numSamples)
{
    const std::unique_lock<std::mutex> guard (lock, std::try_to_lock);

    if (! guard.owns_lock() || samples == nullptr || numSamples <= 0 || ! prepared)
        return;

    // The copies hold blockSize samples: a longer block runs in pieces.
    for (int offset = 0; offset < numSamples; offset += blockSize)
        processChunk (samples + offset, std::min (blockSize, numSamples - offset));
}

void AudioEffect::processChunk (double* samples, int numSamples) noexcept
{
    commonHead (samples, numSamples);

    if (pingPongOn && channel == 1)
        pingPongOffset (samples, numSamples);

    processModel (samples, numSamples);
    commonTail (samples, numSamples);
}

void AudioEffect::commonHead (double* samples, int numSamples) noexcept
{
    for (int i = 0; i < numSamples; ++i)
    {
        // A non-finite input sample would poison the delay memory for good.
        const double x = std::isfinite (samples[i]) ? samples[i] : 0.0;
        dryCopy[(size_t) i] = x;
        bypassCopy[(size_t) i] = x;

        const double ramped = x * inputGain.current;
        inputGain.step();
        samples[i] = gate.process (ramped);
    }
}

void AudioEffect::pingPongOffset (double* samples, int numSamples) noexcept
{
    const double maxDelay = (double) (pingPongLine.size - 1);
    const double halfDelay = std::clamp (delayMs.current * 0.5 * sampleRate / 1000.0, 1.0, std::max (1.0, maxDelay));

    for (int i = 0; i < numSamples; ++i)
    {
        const double delayed = pingPongLine.read (halfDelay);
        pingPongLine.write (samples[i]);
        samples[i] = delayed;
    }
}

void AudioEffect::reverseBlock (double* samples, int numSamples) noexcept
{
    if (reverseOn)
        reverse.process (samples, numSamples, (int) (delayMs.current * sampleRate / 1000.0));
}

void AudioEffect::commonTail (double* samples, int numSamples) noexcept
{
    if (duckOn)
    {
        for (int i = 0; i < numSamples; ++i)
        {
            const double levelDb = duck.envelope.process (dryCopy[(size_t) i]);
            double gainDb = duck.calculateGain (levelDb);
            if (std::abs (gainDb) > duck.rangeDb)
                gainDb = std::copysign (duck.rangeDb, gainDb);
            samples[i] *= decibelsToGain (gainDb) * duck.makeup;
        }
    }

    const double wetTrim = constants.wetTrim;

    for (int i = 0; i < numSamples; ++i)
    {
        const double wet = wetGain.current * wetTrim * samples[i];

        samples[i] = dryOn ? (dryCopy[(size_t) i] * dryGain.current + wet) * levelGain.current * effectGain.current
                                 + bypassCopy[(size_t) i] * bypassGain.current
                           : wet * levelGain.current * effectGain.current;

        wetGain.step();
        dryGain.step();
        levelGain.step();
        effectGain.step();
        bypassGain.step();
    }
}

void AudioEffect::setActive (bool on) noexcept
{
    bypassed = ! on;
    inputGain.setTarget (on ? 1.0 : 0.0);

    if (! trails)
    {
        effectGain.setTarget (on ? 1.0 : 0.0);
        bypassGain.setTarget (on ? 0.0 : 1.0);
    }
}

void AudioEffect::setTrails (bool on) noexcept
{
    trails = on;
    const bool effectAudible = on || ! bypassed;
    effectGain.setTarget (effectAudible ? 1.0 : 0.0);
    bypassGain.setTarget (effectAudible ? 0.0 : 1.0);
}

void AudioEffect::setMix (float value) noexcept
{
    // Below 0.75 the wet rises with the square of the setting under a full
    // dry; above it the dry falls linearly under a full wet.
    const double m = value;
    storedMix = m;

    if (value < 0.75f)
    {
        dryGain.setTarget (1.0);
        wetGain.setTarget ((m / 0.75) * (m / 0.75));
    }
    else
    {
        dryGain.setTarget ((1.0 - m) * 4.0);
        wetGain.setTarget (1.0);
    }
}

void AudioEffect::setParam (int index, float value)
{
    // A non-finite value never reaches the signal path; the last good one stays.
    if (! std::isfinite (value))
        return;

    const double v = value;

    switch (index)
    {
        case ParamIndex::channel:
        {
            const int newChannel = (int) value;
            if (newChannel != 0 && newChannel != 1)
                return;
            channel = newChannel;
            lfoPhaseOffset = newChannel == 1 ? 0.25 : 0.0;
            break;
        }
        case ParamIndex::active:            setActive (value != 0.0f); break;
        case ParamIndex::dryOn:             dryOn = value != 0.0f; break;
        case ParamIndex::trails:            setTrails (value != 0.0f); break;
        case ParamIndex::mode:              break;
        case ParamIndex::delayTimeJump:
            storedDelayMs = std::clamp (v, constants.minDelayMs, constants.maxDelayMs);
            delayMs.jump (storedDelayMs);
            break;
        case ParamIndex::delayTime:
            storedDelayMs = std::clamp (v, constants.minDelayMs, constants.maxDelayMs);
            delayMs.setTarget (storedDelayMs);
            break;
        case ParamIndex::feedback:
            storedFeedback = v;
            feedback.setTarget (v * constants.feedbackScale);
            break;
        case ParamIndex::feedbackSquared:
            storedFeedback = v;
            feedback.setTarget (v * v * constants.feedbackScale);
            break;
        case ParamIndex::swellOn:           swellOn = value != 0.0f; break;
        case ParamIndex::reverseOn:         reverseOn = value != 0.0f; break;
        case ParamIndex::duckOn:            duckOn = value != 0.0f; break;
        case ParamIndex::pingPongOn:        pingPongOn = value != 0.0f; break;
        case ParamIndex::tone:              storedTone = v; break;
        case ParamIndex::lowCutFreq:        break;
        case ParamIndex::lowCutOn:          lowCutOn = value != 0.0f; break;
        case ParamIndex::modRate:
            // Rates are per-model oscillators; a rate at or below zero would stop or reverse them.
            if (value <= 0.0f)
                return;
            break;
        case ParamIndex::modDepth:
            storedModDepth = v;
            modDepthMs.setTarget (v * v * constants.maxModDepthMs);
            break;
        case ParamIndex::modFeedback:       break;
        case ParamIndex::lfoPhaseOffset:    lfoPhaseOffset = v; break;
        case ParamIndex::lfoPhase:          break;
        case ParamIndex::duckThreshold:     duck.thresholdDb = v; break;
        case ParamIndex::swellRise:
            if (value <= 0.0f)
                return;
            swell.setRise (v);
            break;
        case ParamIndex::duckRelease:
            if (value <= 0.0f)
                return;
            duck.envelope.releaseMs = v;
            duck.envelope.calculateCoefficients();
            break;
        case ParamIndex::drive:             distortion.setGain (v * constants.driveScale); break;
        case ParamIndex::mix:               setMix (value); break;
        case ParamIndex::dryLevel:
            dryDb = v;
            dryGain.setTarget (decibelsToGain (v));
            break;
        case ParamIndex::wetLevelSquared:
            wetGain.setTarget ((double) (value * value));
            break;
        case ParamIndex::wetLevel:
            wetDb = v;
            wetGain.setTarget (decibelsToGain (v));
            break;
        case ParamIndex::outputLevel:
            outputDb = v;
            levelGain.setTarget (decibelsToGain (v));
            break;
        default:
            return;
    }

    onParam (index, v);
}

float AudioEffect::getParam (int index) const
{
    switch (index)
    {
        case ParamIndex::active: return bypassed ? 0.0f : 1.0f;
        case ParamIndex::dryOn:  return dryOn ? 1.0f : 0.0f;
        default:                 return -1.0f;
    }
}
