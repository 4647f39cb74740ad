#include "HostedPlugin.h"

#include "processor/ParameterTable.h"

#include <pluginterfaces/base/ipluginbase.h>

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <vector>

namespace
{
juce::AudioBuffer<float> noise (int channels, int samples, int seed)
{
    juce::Random random (seed);
    juce::AudioBuffer<float> buffer (channels, samples);
    for (int c = 0; c < channels; ++c)
        for (int i = 0; i < samples; ++i)
            buffer.setSample (c, i, random.nextFloat() - 0.5f);
    return buffer;
}

bool allFinite (const juce::AudioBuffer<float>& buffer)
{
    for (int c = 0; c < buffer.getNumChannels(); ++c)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            if (! std::isfinite (buffer.getSample (c, i)))
                return false;
    return true;
}
} // namespace

TEST (HostedBundle, DescribesItselfAsTheNebulonDelay)
{
    const auto description = HostedPlugin::describe();
    ASSERT_NE (description, nullptr) << HostedPlugin::bundlePath();

    EXPECT_EQ (description->name, "Nebulon");
    EXPECT_EQ (description->category, "Fx|Delay");
    EXPECT_EQ (description->version, "1.1.1");
    EXPECT_EQ (description->manufacturerName, "Orvane");
    EXPECT_FALSE (description->isInstrument);
    EXPECT_EQ (description->numInputChannels, 2);
    EXPECT_EQ (description->numOutputChannels, 2);
}

TEST (HostedBundle, FactoryInformationNamesVendorAndSdkVersion)
{
    const auto library = juce::File (HostedPlugin::bundlePath()).getChildFile ("Contents/x86_64-linux/Nebulon.so");
    juce::DynamicLibrary module;
    ASSERT_TRUE (module.open (library.getFullPathName())) << library.getFullPathName();

    using ModuleEntry = bool (*) (void*);
    using ModuleExit = bool (*)();
    using GetFactory = Steinberg::IPluginFactory* (*) ();
    auto entry = reinterpret_cast<ModuleEntry> (module.getFunction ("ModuleEntry"));
    auto exit = reinterpret_cast<ModuleExit> (module.getFunction ("ModuleExit"));
    auto getFactory = reinterpret_cast<GetFactory> (module.getFunction ("GetPluginFactory"));
    ASSERT_TRUE (entry != nullptr && exit != nullptr && getFactory != nullptr);
    ASSERT_TRUE (entry (module.getNativeHandle()));

    auto* factory = getFactory();
    ASSERT_NE (factory, nullptr);

    Steinberg::PFactoryInfo factoryInfo;
    ASSERT_EQ (factory->getFactoryInfo (&factoryInfo), Steinberg::kResultOk);
    EXPECT_STREQ (factoryInfo.vendor, "Orvane");
    EXPECT_TRUE (juce::String (factoryInfo.url).contains ("example.com"));
    EXPECT_TRUE (juce::String (factoryInfo.email).contains ("@example.com"));

    Steinberg::IPluginFactory2* factory2 = nullptr;
    ASSERT_EQ (factory->queryInterface (Steinberg::IPluginFactory2::iid, reinterpret_cast<void**> (&factory2)), Steinberg::kResultOk);

    bool foundProcessorClass = false;
    for (Steinberg::int32 i = 0; i < factory2->countClasses(); ++i)
    {
        Steinberg::PClassInfo2 info;
        ASSERT_EQ (factory2->getClassInfo2 (i, &info), Steinberg::kResultOk);
        EXPECT_STREQ (info.sdkVersion, "VST 3.7.12");
        EXPECT_STREQ (info.version, "1.1.1");
        if (juce::String (info.category) == "Audio Module Class")
        {
            foundProcessorClass = true;
            EXPECT_STREQ (info.name, "Nebulon");
            EXPECT_STREQ (info.subCategories, "Fx|Delay");
        }
    }
    EXPECT_TRUE (foundProcessorClass);

    factory2->release();
    factory->release();
    exit();
}

TEST (HostedBundle, ExposesTheSeventeenParametersInOrderWithTheirDefaults)
{
    auto instance = HostedPlugin::load();
    ASSERT_NE (instance, nullptr);

    // Default value texts as a host shows them: decimals as the step needs.
    const std::array<const char*, numParameters> defaultTexts {
        "1", "On", "400", "50", "50", "50", "2.50", "50", "50", "0.0", "Off", "0", "8", "0", "On", "1.34", "0.71",
    };

    const auto& parameters = instance->getParameters();
    ASSERT_GE (parameters.size(), numParameters); // the wrapper adds its own "Bypass" at the end

    for (int i = 0; i < numParameters; ++i)
    {
        auto* parameter = parameters[i];
        SCOPED_TRACE (parameterDefinitions[(size_t) i].id);
        EXPECT_EQ (parameter->getName (100), parameterDefinitions[(size_t) i].name);
        EXPECT_TRUE (parameter->isAutomatable());
        EXPECT_EQ (parameter->getText (parameter->getDefaultValue(), 100), defaultTexts[(size_t) i]);
        EXPECT_NEAR (parameter->getValue(), parameter->getDefaultValue(), 1.0e-6f);
    }
}

TEST (HostedBundle, AcceptsOnlyMonoAndStereoLayoutsThatDoNotFoldDown)
{
    auto instance = HostedPlugin::load();
    ASSERT_NE (instance, nullptr);

    const auto mono = juce::AudioChannelSet::mono();
    const auto stereo = juce::AudioChannelSet::stereo();
    struct Case { juce::AudioChannelSet in, out; bool supported; };

    for (const auto& c : { Case { mono, mono, true }, Case { mono, stereo, true }, Case { stereo, stereo, true }, Case { stereo, mono, false } })
    {
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (c.in);
        layout.outputBuses.add (c.out);
        EXPECT_EQ (instance->checkBusesLayoutSupported (layout), c.supported)
            << c.in.getDescription() << " -> " << c.out.getDescription();
    }
}

// Blocks up to the size the host announced. (A VST3 host must not exceed it:
// the framework's wrapper copies each block into buffers of that size before
// the processor sees it. The processor's own handling of longer blocks is
// tested directly.)
TEST (HostedBundle, ProcessesAnyBlockSizeAndPassesThroughWhenTheHostBypasses)
{
    auto instance = HostedPlugin::load (48000.0, 4096);
    ASSERT_NE (instance, nullptr);
    instance->prepareToPlay (48000.0, 4096);
    juce::MidiBuffer midi;

    for (int size : { 1, 7, 64, 512, 4096 })
    {
        auto buffer = noise (2, size, size);
        instance->processBlock (buffer, midi);
        EXPECT_TRUE (allFinite (buffer)) << size;
    }

    auto* bypass = instance->getBypassParameter();
    ASSERT_NE (bypass, nullptr);
    bypass->setValueNotifyingHost (1.0f);

    auto buffer = noise (2, 256, 99);
    const auto input = buffer;
    instance->processBlock (buffer, midi);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 256; ++i)
            ASSERT_EQ (buffer.getSample (c, i), input.getSample (c, i));

    instance->releaseResources();
}

namespace
{
// Renders a 50 ms noise burst and then silence through the hosted plug-in,
// in blocks, calling `betweenBlocks` before each block with the time in ms.
template <typename Action>
std::vector<float> renderBurst (juce::AudioPluginInstance& instance, int numBlocks, Action betweenBlocks)
{
    juce::MidiBuffer midi;
    juce::Random random (3);
    std::vector<float> left;
    for (int block = 0; block < numBlocks; ++block)
    {
        betweenBlocks (block * 512 * 1000.0 / 48000.0);
        juce::AudioBuffer<float> buffer (2, 512);
        for (int i = 0; i < 512; ++i)
        {
            const bool inBurst = block * 512 + i < 2400;
            const float x = inBurst ? random.nextFloat() - 0.5f : 0.0f;
            buffer.setSample (0, i, x);
            buffer.setSample (1, i, x);
        }
        instance.processBlock (buffer, midi);
        left.insert (left.end(), buffer.getReadPointer (0), buffer.getReadPointer (0) + 512);
    }
    return left;
}

float peakBetween (const std::vector<float>& signal, double fromMs, double toMs)
{
    float peak = 0.0f;
    for (size_t i = (size_t) (fromMs * 48.0); i < (size_t) (toMs * 48.0) && i < signal.size(); ++i)
        peak = std::max (peak, std::abs (signal[i]));
    return peak;
}

void selectModel (juce::AudioPluginInstance& instance, int effect)
{
    HostedPlugin::parameterNamed (instance, "Program")->setValueNotifyingHost ((float) (effect - 1) / 10.0f);
}
} // namespace

TEST (HostedBundle, ProgramSelectsTheModelAndASwitchCutsTheEchoes)
{
    std::map<int, std::vector<float>> rendered;
    for (int effect : { 1, 11 })
    {
        auto instance = HostedPlugin::load();
        ASSERT_NE (instance, nullptr);
        selectModel (*instance, effect);
        instance->prepareToPlay (48000.0, 512);
        rendered[effect] = renderBurst (*instance, 60, [] (double) {});

        // The default delay is 400 ms: an echo there, silence before it.
        EXPECT_GT (peakBetween (rendered[effect], 400.0, 460.0), 0.05f) << effect;
        EXPECT_LT (peakBetween (rendered[effect], 100.0, 380.0), 1.0e-3f) << effect;
    }
    EXPECT_NE (rendered[1], rendered[11]);

    // Switching models while the echo is still in the line: it never arrives.
    auto instance = HostedPlugin::load();
    ASSERT_NE (instance, nullptr);
    selectModel (*instance, 11);
    instance->prepareToPlay (48000.0, 512);
    const auto switched = renderBurst (*instance, 60, [&] (double ms) {
        if (ms > 200.0 && ms < 215.0)
            selectModel (*instance, 1);
    });
    EXPECT_EQ (peakBetween (switched, 230.0, 640.0), 0.0f);
}
