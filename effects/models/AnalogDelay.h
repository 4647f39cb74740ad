#pragma once

#include "effects/AudioEffect.h"
#include "effects/ToneShelf.h"
#include "effects/blocks/BbdClock.h"
#include "effects/blocks/Biquad.h"
#include "effects/blocks/DelayLine.h"
#include "effects/blocks/LoopLimiter.h"
#include "effects/blocks/OnePole.h"
#include "effects/blocks/Tape.h"

// "Analog": a bucket-brigade delay. The input is pre-emphasised by a high
// shelf and band-limited before it enters the line; the line is read back
// through a clocked sample-and-hold whose clock falls as the delay grows,
// smoothed by three resonant reconstruction low-passes, de-emphasised and
// shaped by the tone shelf. A slow drift, a vibrato at the modulation rate
// and a periodic bump move the read point.
class AnalogDelay final : public AudioEffect
{
public:
    AnalogDelay();

    float getParam (int index) const override;

private:
    // Clock of the sample-and-hold at a delay time: 12741.2 Hz at 0 ms down
    // to 5800 Hz at 2000 ms.
    static double clockHzForDelay (double delayMs) noexcept { return 12741.2 - 6941.2 * delayMs / 2000.0; }

    void prepareModel() override;
    void resetModel() override;
    void releaseModel() override;
    void processModel (double* samples, int numSamples) override;
    void onParam (int index, double value) override;

    static constexpr ToneShelfRule toneRule { 1200.0, 1800.0 };

    Biquad emphasis { Biquad::highShelf, 979.0, 0.5, 15.112 };
    Biquad antiAliasB { Biquad::lowPass, 2600.0, 0.8 };
    Biquad reconA { Biquad::lowPass, 1945.0, 1.68 };
    Biquad reconB { Biquad::lowPass, 4400.0, 2.75 };
    Biquad reconC { Biquad::lowPass, 1700.0, 0.7071 };
    Biquad deEmphasis { Biquad::highShelf, 984.0, 0.5, -15.112 };
    Biquad toneShelf = toneRule.makeShelf();
    OnePole dcBlockA { 8.175 };
    OnePole dcBlockB { 3.079 };
    OnePole inputLowPass { 20000.0 };
    OnePole antiAliasA { 2340.0 };
    OnePole wetLowPass { 7234.0 };
    OnePole wetHighPass { 82.0 };
    OnePole lowCut { 150.0 };
    BbdClock clock;
    LoopLimiter limiter;
    DelayLine line;
    Tape modulation;
};
