#pragma once

#include "effects/AudioEffect.h"
#include "effects/ToneShelf.h"
#include "effects/blocks/Biquad.h"
#include "effects/blocks/DelayLine.h"
#include "effects/blocks/Lfo.h"
#include "effects/blocks/LoopLimiter.h"

// "Digital": a full-band delay line with a sine-modulated read point, linear
// feedback with nothing in the loop but a limiter that only acts far above
// full scale, and the tone shelf on the output only.
class DigitalDelay final : public AudioEffect
{
public:
    DigitalDelay();

private:
    void prepareModel() override;
    void resetModel() override;
    void releaseModel() override;
    void processModel (double* samples, int numSamples) override;
    void onParam (int index, double value) override;

    static constexpr ToneShelfRule toneRule { 1500.0, 2200.0 };

    Biquad inputHighPass { Biquad::firstOrderHighPass, 20.0 };
    Biquad inputLowPass { Biquad::firstOrderLowPass, 20000.0 };
    Biquad toneShelf = toneRule.makeShelf();
    DelayLine line;
    Lfo lfo { 0, 1.0, 0.5 };
    LoopLimiter limiter;
};
