#include "effects/models/DigitalDelay.h"

namespace
{
ModelConstants digitalConstants()
{
    ModelConstants c;
    c.feedbackScale = 1.0;
    c.maxModDepthMs = 1.0;
    c.minDelayMs = 1.0;
    c.maxDelayMs = 2000.0;
    c.wetTrim = 1.0; // the wet gain alone scales the wet signal
    return c;
}
} // namespace

DigitalDelay::DigitalDelay() : AudioEffect (digitalConstants()) {}

void DigitalDelay::prepareModel()
{
    for (auto* filter : { &inputHighPass, &inputLowPass, &toneShelf })
        filter->prepare (sampleRate);

    line.allocate (constants.maxDelayMs + constants.maxModDepthMs, sampleRate);
    lfo.prepare (sampleRate);
}

void DigitalDelay::resetModel()
{
    for (auto* filter : { &inputHighPass, &inputLowPass, &toneShelf })
        filter->reset();

    line.reset();
    lfo.reset();
}

void DigitalDelay::releaseModel()
{
    line.release();
}

void DigitalDelay::onParam (int index, double value)
{
    switch (index)
    {
        case ParamIndex::tone:     toneRule.apply (toneShelf, value); break;
        case ParamIndex::modRate:  lfo.setRate (value); break;
        case ParamIndex::lfoPhase: lfo.setPhase (value); break;
        default:                   break;
    }
}

void DigitalDelay::processModel (double* samples, int numSamples)
{
    inputHighPass.process (samples, numSamples);
    inputLowPass.process (samples, numSamples);
    reverseBlock (samples, numSamples);

    for (int i = 0; i < numSamples; ++i)
    {
        const double x = samples[i];
        const double delay = loopDelayMs();
        const double m = lfo.value (lfoPhaseOffset);
        double a = line.read (msToSamples (m * modDepthMs.current + delay));
        lfo.advance();

        if (reverseOn)
            a += x;
        a = swellStage (a);

        double f = feedback.current * a;
        if (! reverseOn)
            f += x;
        // At full feedback the loop gain is exactly one, so a continuous input
        // piles up without end; the limiter holds what the line stores below
        // +18 dBFS and leaves every normal level bit for bit.
        line.write (limiter.process (f));
        glideDelay();

        samples[i] = a;
        feedback.step();
        modDepthMs.step();
    }

    toneShelf.process (samples, numSamples);
}
