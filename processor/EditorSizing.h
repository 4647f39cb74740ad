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
};
