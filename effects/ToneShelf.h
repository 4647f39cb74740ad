#pragma once

#include "effects/blocks/Biquad.h"

// The tone control of the models whose tone filter is a high shelf: below the
// middle of the knob the shelf sits at the model's low corner, from the middle
// up at its high corner, and its gain runs from −12 dB to +12 dB across the
// knob (0 dB at the middle). Each model gives its two corners.
struct ToneShelfRule
{
    double lowHz;
    double highHz;

    // The shelf a model starts with: slope 0.5 at the high corner, flat.
    Biquad makeShelf() const noexcept { return Biquad (Biquad::highShelf, highHz, 0.5, 0.0); }

    // Coefficients are recomputed only for a corner or gain that changed.
    void apply (Biquad& shelf, double tone) const noexcept
    {
        shelf.setFrequency (tone < 0.5 ? lowHz : highHz);
        shelf.setGainDb (tone * 24.0 - 12.0);
    }
};
