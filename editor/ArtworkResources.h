#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>
#include <vector>

// The artwork compiled into the plug-in, looked up by resource number. Each
// embedded file is named after its number ("014-pedal-background.jpg"), so
// the number is the only link between the catalogue of artwork sets and the
// files.
namespace ArtworkResources
{

enum class Format
{
    jpeg,
    png,
    svg,
};

struct Resource
{
    int number = 0;
    const char* data = nullptr;
    int size = 0;
    Format format = Format::png;
    const char* fileName = nullptr;
};

// Every embedded resource, in ascending order of number.
const std::vector<Resource>& all();

// The resource with this number, or nullptr when there is none.
const Resource* find (int number);

// Decodes a JPEG or PNG resource; an invalid image for an SVG or an unknown
// number.
juce::Image loadImage (int number);

// Parses an SVG resource into a drawable; nullptr for a bitmap or an unknown
// number.
std::unique_ptr<juce::Drawable> loadDrawable (int number);

}  // namespace ArtworkResources
