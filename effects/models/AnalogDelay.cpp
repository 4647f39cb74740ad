#include "effects/models/AnalogDelay.h"

namespace
{
ModelConstants analogConstants()
{
    ModelConstants c;
    c.feedbackScale = 0.9;
    c.maxModDepthMs = 5.0;
    c.minDelayMs = 5.0;
    c.maxDelayMs = 2000.0;
    c.wetTrim = 1.3963683610559376; // +2.9 dB make-up of the wet path
    return c;
}
} // namespace

// The modulation is the shared tape transport as constructed: drift 0.24 Hz,
// vibrato at the modulation rate (4 Hz until set), a bump every 1/0.17 s.
AnalogDelay::AnalogDelay() : AudioEffect (analogConstants()) {}

float AnalogDelay::getParam (int index) const
{
    if (index == ParamIndex::trails)
        return trails ? 1.0f : 0.0f;
    return AudioEffect::getParam (index);
}

void AnalogDelay::prepareModel()
{
    for (auto* filter : { &emphasis, &antiAliasB, &reconA, &reconB, &reconC, &deEmphasis, &toneShelf })
        filter->prepare (sampleRate);
    for (auto* filter : { &dcBlockA, &dcBlockB, &inputLowPass, &antiAliasA, &wetLowPass, &wetHighPass, &lowCut })
        filter->prepare (sampleRate);

    clock.prepare (sampleRate);
    line.allocate (constants.maxDelayMs + constants.maxModDepthMs, sampleRate);
    modulation.prepare (sampleRate);
}

void AnalogDelay::resetModel()
{
    for (auto* filter : { &emphasis, &antiAliasB, &reconA, &reconB, &reconC, &deEmphasis, &toneShelf })
        filter->reset();
    for (auto* filter : { &dcBlockA, &dcBlockB, &inputLowPass, &antiAliasA, &wetLowPass, &wetHighPass, &lowCut })
        filter->reset();

    clock.reset();
    line.reset();
    modulation.reset();
}

void AnalogDelay::releaseModel()
{
    line.release();
}

void AnalogDelay::onParam (int index, double value)
{
    switch (index)
    {
        case ParamIndex::tone:       toneRule.apply (toneShelf, value); break;
        case ParamIndex::lowCutFreq: lowCut.setFrequency (value * 298.0 + 2.0); break;
        case ParamIndex::modRate:    modulation.setRate (value); break;
        case ParamIndex::lfoPhase:   modulation.setPhase (value); break;
        default:                     break;
    }
}

void AnalogDelay::processModel (double* samples, int numSamples)
{
    for (int i = 0; i < numSamples; ++i)
    {
        double x = samples[i];
        x = dcBlockA.highPass (x);
        x = dcBlockB.highPass (x);
        x = inputLowPass.lowPass (x);
        samples[i] = emphasis.process (x);
    }

    reverseBlock (samples, numSamples);

    for (int i = 0; i < numSamples; ++i)
    {
        const double x = samples[i];
        const double delay = loopDelayMs();
        const double m = modulation.getLFO (lfoPhaseOffset);
        const double read = line.read (msToSamples (m * modDepthMs.current + delay));
        modulation.advance();

        double v = reverseOn ? read + x : read;
        v = clock.process (v);
        v = swellStage (v);
        if (lowCutOn)
            v = lowCut.highPass (v);
        v = wetLowPass.lowPass (v);
        v = reconA.process (v);
        v = reconB.process (v);
        v = reconC.process (v);
        const double wet = wetHighPass.highPass (v);

        double f = feedback.current * wet;
        if (! reverseOn)
            f += x;
        f = antiAliasA.lowPass (f);
        f = antiAliasB.process (f);
        // Near full feedback the loop gains up to 1.09 around 1.4 kHz; the
        // limiter holds what the line stores below +18 dBFS and leaves
        // anything up to +12 dBFS untouched.
        line.write (limiter.process (f));

        if (glideDelay())
            clock.setClock (clockHzForDelay (delayMs.current));

        samples[i] = wet;
        feedback.step();
        modDepthMs.step();
    }

    deEmphasis.process (samples, numSamples);
    toneShelf.process (samples, numSamples);
}
