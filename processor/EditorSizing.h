#pragma once

#include "editor/ViewTheme.h"

// What the processor needs of an open editor when a restored state resizes it.
class EditorSizing
{
public:
    virtual ~EditorSizing() = default;
    // Width stored for the editor's current view in the current state.
    virtual int getEditorWidth() const = 0;
    virtual ViewTheme getViewTheme() const = 0;

    // Window sizes come from a saved state that may be damaged. A dimension
    // that is not positive takes the view's default; any other is kept
    // within these limits, so a bad state never asks for an empty or a
    // gigantic window (and the artwork rescaled to it).
    static constexpr int minimumDimension = 32;
    static constexpr int maximumDimension = 4096;

    static int usableDimension (int pixels, int fallback) noexcept
    {
        if (pixels <= 0)
            return fallback;
        return pixels < minimumDimension ? minimumDimension : (pixels > maximumDimension ? maximumDimension : pixels);
    }
};
