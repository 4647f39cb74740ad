#include "processor/EditorSizing.h"
#include "processor/PluginProcessor.h"

#include <cmath>

namespace
{
constexpr juce::uint32 stateMagic = 0x21324356;
constexpr int headerSize = 8;

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

    if (readLittleEndian (bytes) != stateMagic || declaredLength == 0 || declaredLength > 0x7fffffffu)
        return {};

    // A length field beyond the data parses only the bytes present.
    const auto length = (int) juce::jmin ((juce::int64) declaredLength, (juce::int64) sizeInBytes - headerSize);
    const auto* text = reinterpret_cast<const char*> (bytes + headerSize);

    if (! juce::CharPointer_UTF8::isValidString (text, length))
        return {};

    return juce::parseXML (juce::String::fromUTF8 (text, length));
}

bool isNumber (const juce::String& text)
{
    const auto trimmed = text.trim();
    return trimmed.isNotEmpty() && trimmed.containsOnly ("0123456789.-+eE") && std::isfinite (trimmed.getDoubleValue());
}

// Values that are not finite numbers take the parameter's default, and
// numbers outside the range are brought into it, before the framework's
// parameter state sees them.
void sanitiseParameterValues (juce::ValueTree& state, juce::AudioProcessorValueTreeState& parameters)
{
    static const juce::Identifier paramType ("PARAM"), idProperty ("id"), valueProperty ("value");

    for (auto child : state)
    {
        if (! child.hasType (paramType) || ! child.hasProperty (valueProperty))
            continue;

        auto* parameter = parameters.getParameter (child[idProperty].toString());
        if (parameter == nullptr)
            continue;

        const auto& range = parameter->getNormalisableRange();
        const auto text = child[valueProperty].toString();
        const float value = isNumber (text) ? juce::jlimit (range.start, range.end, (float) text.getDoubleValue())
                                            : range.convertFrom0to1 (parameter->getDefaultValue());

        if (! isNumber (text) || (double) value != text.getDoubleValue())
            child.setProperty (valueProperty, value, nullptr);
    }
}
} // namespace

void NebulonAudioProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    const auto state = parameters.copyState();
    if (const auto xml = state.createXml())
        copyXmlToBinary (*xml, destData);
}

void NebulonAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    if (juce::MessageManager::existsAndIsCurrentThread())
        setStateInfo (data, sizeInBytes);
    else
        pendingRestore.post (data, sizeInBytes);
}

void NebulonAudioProcessor::setStateInfo (const void* data, int sizeInBytes)
{
    if (const auto xml = decodeStateBlock (data, sizeInBytes))
    {
        if (xml->getTagName().equalsIgnoreCase (parameters.state.getType().toString()))
        {
            // The root is accepted in any case but always kept as "Parameters".
            auto restored = juce::ValueTree::fromXml (*xml);
            juce::ValueTree state (parameters.state.getType());
            state.copyPropertiesAndChildrenFrom (restored, nullptr);
            sanitiseParameterValues (state, parameters);
            parameters.replaceState (state);
        }
    }

    resizeOpenEditorFromState();
}

void NebulonAudioProcessor::resizeOpenEditorFromState()
{
    auto* editor = getActiveEditor();
    auto* sizing = dynamic_cast<EditorSizing*> (editor);
    if (editor == nullptr || sizing == nullptr)
        return;

    const int width = sizing->getEditorWidth();
    auto sizes = parameters.state.getOrCreateChildWithName ("editorSize", nullptr);
    const int height = sizing->getViewTheme() == ViewTheme::Pedal ? (int) sizes.getProperty ("pedalHeight", 668)
                                                                    : (int) sizes.getProperty ("rackHeight", 178);
    editor->setBounds (editor->getX(), editor->getY(), width, height);
}
