#include "processor/EditorSizing.h"
#include "processor/PluginProcessor.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr juce::uint32 stateMagic = 0x21324356;
constexpr int headerSize = 8;

// The XML parser, the value tree and the XML writer all recurse once per level
// of nesting, so a damaged block nested deeply enough would exhaust the stack.
// A saved state holds a few dozen elements; text with more than this many
// '<' (an upper bound on the elements, hence on their nesting) is refused.
constexpr std::ptrdiff_t maximumMarkup = 256;

const juce::Identifier idProperty ("id");
const juce::Identifier valueProperty ("value");

juce::uint32 readLittleEndian (const juce::uint8* bytes) noexcept
{
    return (juce::uint32) bytes[0] | ((juce::uint32) bytes[1] << 8) | ((juce::uint32) bytes[2] << 16) | ((juce::uint32) bytes[3] << 24);
}

// The XML text of a saved block, or nothing when the block is not one.
std::unique_ptr<juce::XmlElement> decodeStateBlock (const void* data, int sizeInBytes)
{
    if (data == nullptr || sizeInBytes <= headerSize)
        return {};

    const auto* bytes = static_cast<const juce::uint8*> (data);
    const auto declaredLength = readLittleEndian (bytes + 4);

    // A length field above 2^31 - 1 would be negative as a signed length.
    if (readLittleEndian (bytes) != stateMagic || declaredLength == 0 || declaredLength > 0x7fffffffu)
        return {};

    // A length field beyond the data parses only the bytes present.
    const auto length = (int) juce::jmin ((juce::int64) declaredLength, (juce::int64) sizeInBytes - headerSize);
    const auto* text = reinterpret_cast<const char*> (bytes + headerSize);

    if (! juce::CharPointer_UTF8::isValidString (text, length) || std::count (text, text + length, '<') > maximumMarkup)
        return {};

    return juce::parseXML (juce::String::fromUTF8 (text, length));
}

// Value trees have no text content; text inside a saved state is dropped.
void removeTextElements (juce::XmlElement& xml)
{
    xml.deleteAllTextElements();
    for (auto* child : xml.getChildIterator())
        removeTextElements (*child);
}

// A decimal number as the state writes it: digits with an optional sign,
// point and exponent. "nan", "inf", empty text and words are not.
bool parseNumber (const juce::String& text, double& number)
{
    const auto trimmed = text.trim();
    if (! trimmed.containsOnly ("0123456789.-+eE") || ! trimmed.containsAnyOf ("0123456789"))
        return false;

    number = trimmed.getDoubleValue();
    return std::isfinite (number);
}

// The framework's parameter state takes a parameter's value from every child
// that carries its ID, and would take "nan" or "inf" as it stands. A value
// that is not a number is removed, so the parameter takes its default; a
// number outside the range is brought into it.
void sanitiseParameterValues (juce::ValueTree& state, juce::AudioProcessorValueTreeState& parameters)
{
    for (auto child : state)
    {
        if (! child.hasProperty (idProperty) || ! child.hasProperty (valueProperty))
            continue;

        auto* parameter = parameters.getParameter (child[idProperty].toString());
        if (parameter == nullptr)
            continue;

        double number = 0.0;
        if (! parseNumber (child[valueProperty].toString(), number))
        {
            child.removeProperty (valueProperty, nullptr);
            continue;
        }

        const auto& range = parameter->getNormalisableRange();
        if (number < (double) range.start || number > (double) range.end)
            child.setProperty (valueProperty, juce::jlimit ((double) range.start, (double) range.end, number), nullptr);
    }
}
} // namespace

void NebulonAudioProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    auto state = parameters.copyState();

    // The parameter state writes a value into its tree only once it changes,
    // so after a restore that left values out some children have none. Every
    // saved parameter carries its value all the same.
    for (auto child : state)
    {
        if (child.hasProperty (valueProperty))
            continue;
        if (auto* value = parameters.getRawParameterValue (child[idProperty].toString()))
            child.setProperty (valueProperty, value->load(), nullptr);
    }

    if (const auto xml = state.createXml())
        copyXmlToBinary (*xml, destData);
}

void NebulonAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    if (juce::MessageManager::existsAndIsCurrentThread())
    {
        // A block still waiting from another thread is older than this one.
        pendingRestore.discard();
        setStateInfo (data, sizeInBytes);
    }
    else
    {
        pendingRestore.post (data, sizeInBytes);
    }
}

void NebulonAudioProcessor::setStateInfo (const void* data, int sizeInBytes)
{
    const auto xml = decodeStateBlock (data, sizeInBytes);

    if (xml != nullptr && xml->getTagName().equalsIgnoreCase (parameters.state.getType().toString()))
    {
        // The root is accepted in any case but always kept as "Parameters".
        xml->setTagName (parameters.state.getType().toString());
        removeTextElements (*xml);

        auto state = juce::ValueTree::fromXml (*xml);
        sanitiseParameterValues (state, parameters);
        parameters.replaceState (state);
    }

    resizeOpenEditorFromState();
}

void NebulonAudioProcessor::resizeOpenEditorFromState()
{
    auto* editor = getActiveEditor();
    auto* sizing = dynamic_cast<EditorSizing*> (editor);
    if (editor == nullptr || sizing == nullptr)
        return;

    const int width = EditorSizing::usableDimension (sizing->getEditorWidth(), 800);
    const auto sizes = parameters.state.getOrCreateChildWithName ("editorSize", nullptr);
    const auto pedal = sizing->getViewTheme() == ViewTheme::Pedal;
    const int height = pedal ? EditorSizing::usableDimension (sizes.getProperty ("pedalHeight", 668), 668)
                             : EditorSizing::usableDimension (sizes.getProperty ("rackHeight", 178), 178);

    editor->setBounds (editor->getX(), editor->getY(), width, height);
}
