#include "MessageLoop.h"
#include "ProcessorTestUtils.h"
#include "RecordingModel.h"

#include "processor/EditorSizing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <optional>
#include <set>
#include <stdexcept>
#include <thread>

namespace
{
juce::MemoryBlock save (NebulonAudioProcessor& processor)
{
    juce::MemoryBlock block;
    processor.getStateInformation (block);
    return block;
}

void restore (NebulonAudioProcessor& processor, const juce::MemoryBlock& block)
{
    processor.setStateInformation (block.getData(), (int) block.getSize());
}

// A saved block around `utf8`: magic, length field, the text, a zero byte.
juce::MemoryBlock blockWithBytes (const std::string& utf8, std::optional<juce::uint32> lengthField = std::nullopt,
                                 juce::uint32 magic = 0x21324356)
{
    juce::MemoryOutputStream out;
    out.writeInt ((int) magic);
    out.writeInt ((int) lengthField.value_or ((juce::uint32) utf8.size()));
    out.write (utf8.data(), utf8.size());
    out.writeByte (0);
    return out.getMemoryBlock();
}

juce::MemoryBlock blockWithText (const juce::String& text, std::optional<juce::uint32> lengthField = std::nullopt)
{
    return blockWithBytes (text.toStdString(), lengthField);
}

juce::String xmlText (const juce::MemoryBlock& block)
{
    return juce::String::fromUTF8 (static_cast<const char*> (block.getData()) + 8, (int) block.getSize() - 9);
}

std::vector<float> allValues (NebulonAudioProcessor& processor)
{
    std::vector<float> values;
    for (const auto& definition : parameterDefinitions)
        values.push_back (parameterValue (processor, definition.id));
    return values;
}

const ParameterDefinition& specOf (const juce::String& id)
{
    for (const auto& definition : parameterDefinitions)
        if (id == definition.id)
            return definition;
    throw std::invalid_argument (id.toStdString());
}

// Every parameter is a finite number within its range.
void expectAllInRange (NebulonAudioProcessor& processor)
{
    for (const auto& definition : parameterDefinitions)
    {
        const float value = parameterValue (processor, definition.id);
        EXPECT_TRUE (std::isfinite (value) && value >= definition.start && value <= definition.end) << definition.id << " = " << value;
    }
}

// Moves a handful of parameters away from their defaults.
void setNonDefaults (NebulonAudioProcessor& processor)
{
    setParameter (processor, "delayTime", 750.0f);
    setParameter (processor, "feedback", 70.0f);
    setParameter (processor, "mix", 35.0f);
    setParameter (processor, "outputLevel", -2.5f);
    setParameter (processor, "tempoSync", 1.0f);
    setParameter (processor, "subdivision", 6.0f);
    setParameter (processor, "modRateFlanger", 3.21f);
    setParameter (processor, "trails", 0.0f);
}

// A state block saved by an instance with the given values.
juce::MemoryBlock stateWith (std::initializer_list<std::pair<const char*, float>> values)
{
    NebulonAudioProcessor source (createRecordingModel);
    for (const auto& [id, value] : values)
        setParameter (source, id, value);
    return save (source);
}

// A stand-in for the editor: reports the width stored for its view, the way
// the real editor does.
class SizingEditor : public juce::AudioProcessorEditor, public EditorSizing
{
public:
    SizingEditor (NebulonAudioProcessor& owner, ViewTheme viewTheme)
        : AudioProcessorEditor (owner), processor (owner), theme (viewTheme)
    {
        setBounds (10, 20, 300, 200);
    }

    int getEditorWidth() const override
    {
        const auto sizes = processor.getParameters().state.getChildWithName ("editorSize");
        return sizes.getProperty (theme == ViewTheme::Pedal ? "pedalWidth" : "rackWidth", 800);
    }

    ViewTheme getViewTheme() const override { return theme; }

private:
    NebulonAudioProcessor& processor;
    const ViewTheme theme;
};

struct ProcessorWithSizingEditor : NebulonAudioProcessor
{
    explicit ProcessorWithSizingEditor (ViewTheme viewTheme) : NebulonAudioProcessor (createRecordingModel), theme (viewTheme) {}
    juce::AudioProcessorEditor* createEditor() override { return new SizingEditor (*this, theme); }
    const ViewTheme theme;
};
} // namespace

TEST (State, UntouchedInstanceSavesEveryParameterValueAndNoEditorChildren)
{
    NebulonAudioProcessor processor (createRecordingModel);
    const auto block = save (processor);
    const auto xml = juce::AudioProcessor::getXmlFromBinary (block.getData(), (int) block.getSize());
    ASSERT_NE (xml, nullptr);

    EXPECT_EQ (xml->getTagName(), "Parameters");
    EXPECT_EQ (xml->getNumChildElements(), 17);
    EXPECT_EQ (xml->getChildByName ("editor"), nullptr);
    EXPECT_EQ (xml->getChildByName ("editorSize"), nullptr);

    std::set<juce::String> seen;
    for (auto* child : xml->getChildIterator())
    {
        EXPECT_EQ (child->getTagName(), "PARAM");
        const auto id = child->getStringAttribute ("id");
        seen.insert (id);
        EXPECT_EQ ((float) child->getDoubleAttribute ("value"), parameterValue (processor, specOf (id).id)) << id;
    }
    EXPECT_EQ (seen.size(), 17u);
}

TEST (State, BlockIsMagicLengthSingleLineXmlAndAZeroByte)
{
    NebulonAudioProcessor processor (createRecordingModel);
    setNonDefaults (processor);
    juce::MemoryBlock block;
    block.append ("stale content", 13); // replaced, not appended to
    processor.getStateInformation (block);

    const auto* bytes = static_cast<const juce::uint8*> (block.getData());
    ASSERT_GT (block.getSize(), 9u);
    EXPECT_EQ (std::memcmp (bytes, "VC2!", 4), 0);
    EXPECT_EQ (juce::ByteOrder::littleEndianInt (bytes + 4), (juce::uint32) block.getSize() - 9);
    EXPECT_EQ (bytes[block.getSize() - 1], 0);

    const auto text = xmlText (block);
    EXPECT_TRUE (text.startsWith ("<?xml version=\"1.0\" encoding=\"UTF-8\"?> <Parameters>")) << text;
    EXPECT_FALSE (text.containsAnyOf ("\r\n\t"));
    EXPECT_TRUE (text.endsWith ("</Parameters>"));
}

TEST (State, SaveRestoreSaveIsByteIdenticalAndKeepsEditorChildrenAndUnknownEntries)
{
    NebulonAudioProcessor source (createRecordingModel);
    setNonDefaults (source);
    source.getParameters().state.getOrCreateChildWithName ("editor", nullptr).setProperty (source.themeId, 0, nullptr);
    auto sizes = source.getParameters().state.getOrCreateChildWithName ("editorSize", nullptr);
    sizes.setProperty ("pedalWidth", 1000, nullptr);
    sizes.setProperty ("pedalHeight", 835, nullptr);
    sizes.setProperty ("rackWidth", 1200, nullptr);
    sizes.setProperty ("rackHeight", 267, nullptr);
    source.getParameters().state.appendChild (juce::ValueTree ("futureThing").setProperty ("x", "kept", nullptr), nullptr);
    source.getParameters().state.appendChild (juce::ValueTree ("PARAM").setProperty ("id", "notAParameter", nullptr).setProperty ("value", 3, nullptr), nullptr);
    const auto first = save (source);

    NebulonAudioProcessor target (createRecordingModel);
    restore (target, first);
    EXPECT_EQ (allValues (target), allValues (source));

    const auto second = save (target);
    EXPECT_EQ (second, first) << xmlText (first) << "\n" << xmlText (second);

    const auto& state = target.getParameters().state;
    EXPECT_EQ ((int) state.getChildWithName ("editor")["theme"], 0);
    EXPECT_EQ ((int) state.getChildWithName ("editorSize")["rackHeight"], 267);
    EXPECT_EQ (state.getChildWithName ("futureThing")["x"].toString(), "kept");
}

TEST (State, RestoreReplacesTheWholeTreeAndFillsInWhatIsMissing)
{
    NebulonAudioProcessor processor (createRecordingModel);
    setNonDefaults (processor);
    processor.getParameters().state.getOrCreateChildWithName ("editorSize", nullptr).setProperty ("rackWidth", 999, nullptr);

    restore (processor, blockWithText ("<Parameters><PARAM id=\"mix\" value=\"80\"/><PARAM id=\"feedback\"/></Parameters>"));

    EXPECT_EQ (parameterValue (processor, "mix"), 80.0f);
    EXPECT_EQ (parameterValue (processor, "feedback"), 50.0f);   // child without a value: default
    EXPECT_EQ (parameterValue (processor, "delayTime"), 400.0f); // no child: default
    EXPECT_FALSE (processor.getParameters().state.getChildWithName ("editorSize").isValid());

    const auto block = save (processor);
    const auto xml = juce::AudioProcessor::getXmlFromBinary (block.getData(), (int) block.getSize());
    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->getNumChildElements(), 17);
    for (auto* child : xml->getChildIterator())
        EXPECT_TRUE (child->hasAttribute ("value")) << child->getStringAttribute ("id");
}

TEST (State, RestoredProgramSwitchesBothSlots)
{
    NebulonAudioProcessor processor (createRecordingModel);
    processor.prepareToPlay (48000.0, 256);
    ASSERT_EQ (dynamic_cast<RecordingModel&> (*processor.getModel (0)).effect, 1);

    restore (processor, stateWith ({ { "program", 7.0f }, { "nimbusMode", 2.0f } }));

    EXPECT_EQ (parameterValue (processor, "program"), 7.0f);
    for (int channel = 0; channel < 2; ++channel)
    {
        auto* model = dynamic_cast<RecordingModel*> (processor.getModel (channel));
        ASSERT_NE (model, nullptr);
        EXPECT_EQ (model->effect, 7);
        EXPECT_EQ (model->getChannel(), channel);
    }
}

TEST (State, RootNameIsMatchedWithoutRegardToCase)
{
    for (const auto* root : { "parameters", "PARAMETERS", "Parameters" })
    {
        SCOPED_TRACE (root);
        NebulonAudioProcessor processor (createRecordingModel);
        restore (processor, blockWithText (juce::String ("<") + root + "><PARAM id=\"mix\" value=\"12\"/></" + root + ">"));
        EXPECT_EQ (parameterValue (processor, "mix"), 12.0f);
        EXPECT_TRUE (xmlText (save (processor)).contains ("<Parameters>"));
    }
}

TEST (State, LengthFieldSelectsTheTextUpToTheBytesPresent)
{
    const juce::String text ("<Parameters><PARAM id=\"mix\" value=\"12\"/></Parameters>");
    const auto length = (juce::uint32) text.getNumBytesAsUTF8();

    struct Case
    {
        juce::uint32 lengthField;
        float mix;
    };
    const std::vector<Case> cases {
        { length, 12.0f },
        { length + 1, 12.0f },    // the zero byte ends the text
        { length + 5000, 12.0f }, // beyond the data: only the bytes present
        { 0x7fffffffu, 12.0f },
        { length - 20, 50.0f },   // cut inside an element: not XML, nothing changes
    };

    for (const auto& row : cases)
    {
        SCOPED_TRACE (row.lengthField);
        NebulonAudioProcessor processor (createRecordingModel);
        restore (processor, blockWithText (text, row.lengthField));
        EXPECT_EQ (parameterValue (processor, "mix"), row.mix);
    }
}

TEST (State, RejectedBlocksLeaveTheStateUnchanged)
{
    const juce::String goodText ("<Parameters><PARAM id=\"mix\" value=\"12\"/></Parameters>");
    const auto good = blockWithText (goodText);

    auto repeated = [] (const char* piece, int times) {
        std::string text;
        for (int i = 0; i < times; ++i)
            text += piece;
        return text;
    };

    auto withBytes = [] (const juce::MemoryBlock& block, std::initializer_list<std::pair<size_t, juce::uint8>> changes) {
        auto copy = block;
        for (const auto& [offset, byte] : changes)
            copy[offset] = (char) byte;
        return copy;
    };

    struct Case
    {
        const char* name;
        juce::MemoryBlock block;
    };
    const std::vector<Case> cases {
        { "empty", {} },
        { "shorter than its header", juce::MemoryBlock (good.getData(), 5) },
        { "header only", juce::MemoryBlock (good.getData(), 8) },
        { "wrong magic", blockWithBytes (goodText.toStdString(), std::nullopt, 0x21324357) },
        { "zero length", blockWithText (goodText, 0u) },
        { "negative length", blockWithText (goodText, 0x80000000u) },
        { "all-ones length", blockWithText (goodText, 0xffffffffu) },
        { "invalid UTF-8", withBytes (good, { { 8 + 30, 0xff } }) },
        { "truncated UTF-8 sequence", blockWithBytes (goodText.toStdString() + "\xc3") },
        { "not XML", blockWithText ("mix=12") },
        { "unclosed XML", blockWithText ("<Parameters><PARAM id=\"mix\" value=\"12\"/>") },
        { "another root", blockWithText ("<Settings><PARAM id=\"mix\" value=\"12\"/></Settings>") },
        { "nested deeper than the stack allows", blockWithBytes ("<Parameters>" + repeated ("<a>", 200000) + "</Parameters>") },
        { "more elements than any state", blockWithBytes ("<Parameters>" + repeated ("<PARAM id=\"mix\" value=\"12\"/>", 300) + "</Parameters>") },
        { "control bytes instead of XML", withBytes (good, { { 8, 0x01 }, { 9, 0x00 } }) },
    };

    for (const auto& row : cases)
    {
        SCOPED_TRACE (row.name);
        NebulonAudioProcessor processor (createRecordingModel);
        setNonDefaults (processor);
        const auto before = save (processor);

        processor.setStateInformation (row.block.getData(), (int) row.block.getSize());

        EXPECT_EQ (save (processor), before);
    }

    NebulonAudioProcessor processor (createRecordingModel);
    const auto before = save (processor);
    processor.setStateInformation (nullptr, 100);
    EXPECT_EQ (save (processor), before);
}

TEST (State, StoredValuesAreBroughtIntoRangeAndNonNumbersTakeTheDefault)
{
    struct Case
    {
        const char* id;
        const char* stored;
        float expected;
    };
    const std::vector<Case> cases {
        { "delayTime", "5000", 2000.0f },
        { "delayTime", "-3", 32.0f },
        { "delayTime", "nan", 400.0f },
        { "delayTime", "NaN", 400.0f },
        { "delayTime", "inf", 400.0f },
        { "delayTime", "-inf", 400.0f },
        { "delayTime", "1e39", 2000.0f }, // beyond single precision
        { "delayTime", "", 400.0f },
        { "delayTime", "   ", 400.0f },
        { "delayTime", "fast", 400.0f },
        { "delayTime", "0x20", 400.0f },
        { "delayTime", "e", 400.0f },
        { "delayTime", " 640 ", 640.0f },
        { "mix", "100.4", 100.0f },
        { "outputLevel", "-1e30", -6.0f },
        { "program", "12", 11.0f },
        { "program", "0", 1.0f },
        { "program", "nan", 1.0f },
        { "subdivision", "99", 14.0f },
        { "effectState", "7", 1.0f },
        { "tempoSync", "-1", 0.0f },
        { "modRateFlanger", "inf", 0.71f }, // the default snapped to its 0.01 grid
    };

    for (const auto& row : cases)
    {
        SCOPED_TRACE (std::string (row.id) + " = \"" + row.stored + "\"");
        NebulonAudioProcessor processor (createRecordingModel);
        setNonDefaults (processor);
        setParameter (processor, "program", 5.0f);
        setParameter (processor, "delayTime", 900.0f);

        restore (processor, blockWithText (juce::String ("<Parameters><PARAM id=\"") + row.id + "\" value=\"" + row.stored + "\"/></Parameters>"));

        EXPECT_NEAR (parameterValue (processor, row.id), row.expected, 1.0e-4f);
        expectAllInRange (processor);
    }
}

TEST (State, EveryChildNamingAParameterIsCheckedWhateverItsType)
{
    // The framework takes a parameter's value from any child carrying its ID.
    NebulonAudioProcessor processor (createRecordingModel);
    restore (processor, blockWithText ("<Parameters><PARAM id=\"mix\" value=\"20\"/><editor id=\"mix\" value=\"nan\"/>"
                                       "<PARAM id=\"feedback\" value=\"inf\"/>text<PARAM id=\"feedback\" value=\"1e9\"/></Parameters>"));
    expectAllInRange (processor);
    EXPECT_EQ (parameterValue (processor, "mix"), 50.0f);
    EXPECT_EQ (parameterValue (processor, "feedback"), 100.0f);
}

TEST (State, RandomAndMutatedBlocksKeepEveryParameterInRange)
{
    NebulonAudioProcessor source (createRecordingModel);
    setNonDefaults (source);
    const auto valid = save (source);
    const auto validText = xmlText (valid);

    const juce::StringArray tokens { "nan", "inf", "-inf", "", "1e40", "-1e40", "abc", "12", "-7", "3.5e2", juce::String::fromUTF8 ("\xc3\xa9"),
                                     "1e-45", "99999999999", "--1", ".", "0x7f", "\"", "<", "&amp;" };

    NebulonAudioProcessor processor (createRecordingModel);
    juce::Random random (20240517);

    for (int round = 0; round < 3000; ++round)
    {
        juce::MemoryBlock block;
        switch (round % 4)
        {
            case 0: // noise behind a valid or random header
            {
                block.setSize ((size_t) random.nextInt (200));
                random.fillBitsRandomly (block.getData(), block.getSize());
                if (block.getSize() >= 8 && random.nextBool())
                    std::memcpy (block.getData(), "VC2!", 4);
                break;
            }
            case 1: // a valid block with a few bytes changed
            {
                block = valid;
                for (int flips = 1 + random.nextInt (4); --flips >= 0;)
                    block[(size_t) random.nextInt ((int) block.getSize())] = (char) random.nextInt (256);
                break;
            }
            case 2: // a valid block cut short or with another length field
            {
                block = valid;
                block.setSize ((size_t) random.nextInt ((int) valid.getSize() + 1));
                if (block.getSize() >= 8 && random.nextBool())
                {
                    const int lengthField = random.nextInt();
                    block.copyFrom (&lengthField, 4, 4);
                }
                break;
            }
            default: // valid XML with values replaced by odd text
            {
                auto text = validText;
                for (int edits = 1 + random.nextInt (5); --edits >= 0;)
                {
                    const auto occurrences = text.length() / 40;
                    auto start = text.indexOf (random.nextInt (juce::jmax (1, occurrences)) * 40, "value=\"");
                    if (start < 0)
                        continue;
                    start += 7;
                    const auto end = text.indexOf (start, "\"");
                    text = text.substring (0, start) + tokens[random.nextInt (tokens.size())] + text.substring (end);
                }
                block = blockWithText (text);
                break;
            }
        }

        processor.setStateInformation (block.getData(), (int) block.getSize());

        const auto values = allValues (processor);
        for (size_t i = 0; i < values.size(); ++i)
            if (! (std::isfinite (values[i]) && values[i] >= parameterDefinitions[i].start && values[i] <= parameterDefinitions[i].end))
                FAIL() << "round " << round << ": " << parameterDefinitions[i].id << " = " << values[i];
    }

    // Still a working state afterwards.
    restore (processor, valid);
    EXPECT_EQ (save (processor), valid);
}

TEST (State, RestoreResizesAnOpenEditorFromTheRestoredSizes)
{
    struct Case
    {
        const char* name;
        ViewTheme view;
        const char* sizes; // the "editorSize" child, or empty for none
        int width;
        int height;
    };
    const std::vector<Case> cases {
        { "pedal", ViewTheme::Pedal, "<editorSize pedalWidth=\"1000\" pedalHeight=\"835\" rackWidth=\"1200\" rackHeight=\"267\"/>", 1000, 835 },
        { "rack", ViewTheme::Rack, "<editorSize pedalWidth=\"1000\" pedalHeight=\"835\" rackWidth=\"1200\" rackHeight=\"267\"/>", 1200, 267 },
        { "pedal, no sizes", ViewTheme::Pedal, "", 800, 668 },
        { "rack, no sizes", ViewTheme::Rack, "", 800, 178 },
        { "damaged sizes", ViewTheme::Pedal, "<editorSize pedalWidth=\"-5\" pedalHeight=\"big\"/>", 800, 668 },
        { "gigantic sizes", ViewTheme::Rack, "<editorSize rackWidth=\"2000000000\" rackHeight=\"3\"/>", 4096, 32 },
    };

    for (const auto& row : cases)
    {
        SCOPED_TRACE (row.name);
        ProcessorWithSizingEditor processor (row.view);
        std::unique_ptr<juce::AudioProcessorEditor> editor (processor.createEditorIfNeeded());
        ASSERT_EQ (processor.getActiveEditor(), editor.get());

        restore (processor, blockWithText (juce::String ("<Parameters><editor theme=\"0\"/>") + row.sizes + "</Parameters>"));

        EXPECT_EQ (editor->getBounds(), juce::Rectangle<int> (10, 20, row.width, row.height));
        EXPECT_TRUE (processor.getParameters().state.getChildWithName ("editorSize").isValid());
    }

    // A rejected block still sizes the editor from the current state.
    ProcessorWithSizingEditor processor (ViewTheme::Rack);
    std::unique_ptr<juce::AudioProcessorEditor> editor (processor.createEditorIfNeeded());
    processor.setStateInformation ("garbage", 7);
    EXPECT_EQ (editor->getBounds(), juce::Rectangle<int> (10, 20, 800, 178));
}

TEST (State, RestoreFromAnotherThreadWaitsForTheMessageThreadAndUsesItsOwnCopy)
{
    NebulonAudioProcessor processor (createRecordingModel);
    const auto block = stateWith ({ { "mix", 12.0f }, { "delayTime", 1234.0f } });

    std::thread host ([&] {
        std::vector<char> hostData ((const char*) block.getData(), (const char*) block.getData() + block.getSize());
        processor.setStateInformation (hostData.data(), (int) hostData.size());
        std::fill (hostData.begin(), hostData.end(), 0); // the host's data is gone after the call
    });
    host.join();

    EXPECT_EQ (parameterValue (processor, "mix"), 50.0f);
    EXPECT_TRUE (runMessageLoopUntil ([&] { return parameterValue (processor, "mix") == 12.0f; }));
    EXPECT_EQ (parameterValue (processor, "mix"), 12.0f);
    EXPECT_EQ (parameterValue (processor, "delayTime"), 1234.0f);
}

TEST (State, ALaterRestoreOnTheMessageThreadIsNotUndoneByAnOlderPendingOne)
{
    NebulonAudioProcessor processor (createRecordingModel);
    const auto older = stateWith ({ { "mix", 12.0f } });
    const auto newer = stateWith ({ { "mix", 88.0f } });

    std::thread host ([&] { restore (processor, older); });
    host.join();
    restore (processor, newer);
    runMessageLoopFor (50);

    EXPECT_EQ (parameterValue (processor, "mix"), 88.0f);
}

TEST (State, PendingRestoreAppliesOnlyTheLatestCopyAndNothingAfterStop)
{
    std::vector<std::string> applied;
    PendingStateRestore pending ([&] (const void* data, int size) {
        applied.emplace_back (data != nullptr ? std::string (static_cast<const char*> (data), (size_t) size) : std::string());
    });

    auto postFromHost = [&] (const char* data, int size) { std::thread ([&] { pending.post (data, size); }).join(); };

    postFromHost ("first", 5);
    postFromHost ("second", 6);
    EXPECT_TRUE (applied.empty());
    runMessageLoopFor (50);
    EXPECT_EQ (applied, std::vector<std::string> { "second" });

    postFromHost (nullptr, 40); // no data: an empty block, never a read through null
    runMessageLoopFor (50);
    EXPECT_EQ (applied, (std::vector<std::string> { "second", "" }));

    postFromHost ("dropped", 7);
    pending.discard();
    postFromHost ("stopped", 7);
    pending.stop();
    postFromHost ("after stop", 10);
    runMessageLoopFor (50);
    EXPECT_EQ (applied.size(), 2u);
}
