#pragma once

#include <juce_graphics/juce_graphics.h>

// Bitmaps are drawn at exactly the pixel size they occupy on screen. A copy
// of that size is made once with the high-quality resampler and kept in the
// framework's process-wide image cache, so repaints at a size already seen
// cost nothing and editors of the same size share one copy.

// Cache key of a key text such as "PedalBackground800": h = h * 101 + c over
// the text's code points c, starting from 0 and wrapping in 64 bits.
juce::int64 resizedImageKey (const juce::String& keyText);

// Returns `source` rescaled to width x height, from the image cache when an
// entry under `key` has that width, else rescaled now and added under `key`.
// Returns an invalid image, and caches nothing, when width or height is not
// positive or the source is invalid.
juce::Image getResizedImage (juce::int64 key, const juce::Image& source, int width, int height);
