#include "editor/ArtworkResources.h"

#include "NebulonArtwork.h"

#include <algorithm>

namespace ArtworkResources
{

namespace
{

std::vector<Resource> scanResources()
{
    std::vector<Resource> list;

    for (int i = 0; i < NebulonArtwork::namedResourceListSize; ++i)
    {
        const juce::String fileName (NebulonArtwork::originalFilenames[i]);
        if (! juce::CharacterFunctions::isDigit (fileName[0]))
            continue;

        Resource r;
        r.number = fileName.getIntValue();
        r.fileName = NebulonArtwork::originalFilenames[i];
        r.data = NebulonArtwork::getNamedResource (NebulonArtwork::namedResourceList[i], r.size);

        const auto extension = fileName.fromLastOccurrenceOf (".", false, false).toLowerCase();
        if (extension == "jpg" || extension == "jpeg")
            r.format = Format::jpeg;
        else if (extension == "png")
            r.format = Format::png;
        else if (extension == "svg")
            r.format = Format::svg;
        else
            continue;

        if (r.data != nullptr)
            list.push_back (r);
    }

    std::sort (list.begin(), list.end(), [] (const Resource& a, const Resource& b) { return a.number < b.number; });
    return list;
}

}  // namespace

const std::vector<Resource>& all()
{
    static const std::vector<Resource> resources = scanResources();
    return resources;
}

const Resource* find (int number)
{
    const auto& list = all();
    const auto it = std::lower_bound (list.begin(), list.end(), number,
                                      [] (const Resource& r, int n) { return r.number < n; });
    return it != list.end() && it->number == number ? &*it : nullptr;
}

juce::Image loadImage (int number)
{
    const auto* r = find (number);
    if (r == nullptr || r->format == Format::svg)
        return {};
    return juce::ImageFileFormat::loadFrom (r->data, (size_t) r->size);
}

std::unique_ptr<juce::Drawable> loadDrawable (int number)
{
    const auto* r = find (number);
    if (r == nullptr || r->format != Format::svg)
        return nullptr;
    if (auto xml = juce::parseXML (juce::String::fromUTF8 (r->data, r->size)))
        return juce::Drawable::createFromSVG (*xml);
    return nullptr;
}

}  // namespace ArtworkResources
