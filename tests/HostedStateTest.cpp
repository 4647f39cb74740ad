#include "HostedPlugin.h"
#include "MessageLoop.h"

#include <gtest/gtest.h>

#include <thread>

namespace
{
// Parameters set through the host, by name, in their own units.
const std::vector<std::pair<const char*, const char*>> hostSettings {
    { "Program", "7" },
    { "Delay Time", "750" },
    { "Feedback", "70" },
    { "Mix", "35" },
    { "Level (Output)", "-2.5" },
    { "Subdivision", "6" },
    { "Mode (Nimbus)", "2" },
    { "Mod Rate (JET, MOD)", "3.21" },
};

std::vector<float> hostValues (juce::AudioPluginInstance& instance)
{
    std::vector<float> values;
    for (auto* parameter : instance.getParameters())
        values.push_back (parameter->getValue());
    return values;
}

bool valuesMatch (const std::vector<float>& a, const std::vector<float>& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::abs (a[i] - b[i]) > 1.0e-6f)
            return false;
    return true;
}

// The plug-in applies a restore on its own message thread; the host's loop
// runs while waiting for it.
bool waitForValues (juce::AudioPluginInstance& instance, const std::vector<float>& expected)
{
    return runMessageLoopUntil ([&] { return valuesMatch (hostValues (instance), expected); });
}

// An instance with the settings above made through the host, and its state.
struct SavedHostedState
{
    SavedHostedState()
    {
        source = HostedPlugin::load();
        if (source == nullptr)
            return;

        for (const auto& [name, text] : hostSettings)
            if (auto* parameter = HostedPlugin::parameterNamed (*source, name))
                parameter->setValueNotifyingHost (parameter->getValueForText (text));
        if (auto* sync = HostedPlugin::parameterNamed (*source, "Tempo Sync"))
            sync->setValueNotifyingHost (1.0f);
        if (auto* trails = HostedPlugin::parameterNamed (*source, "Trails"))
            trails->setValueNotifyingHost (0.0f);

        values = hostValues (*source);
        source->getStateInformation (block);
    }

    std::unique_ptr<juce::AudioPluginInstance> source;
    std::vector<float> values;
    juce::MemoryBlock block;
};

void expectSettings (juce::AudioPluginInstance& instance)
{
    for (const auto& [name, text] : hostSettings)
    {
        auto* parameter = HostedPlugin::parameterNamed (instance, name);
        ASSERT_NE (parameter, nullptr) << name;
        EXPECT_EQ (parameter->getValue(), parameter->getValueForText (text)) << name;
    }
    EXPECT_EQ (HostedPlugin::parameterNamed (instance, "Tempo Sync")->getValue(), 1.0f);
    EXPECT_EQ (HostedPlugin::parameterNamed (instance, "Trails")->getValue(), 0.0f);
}
} // namespace

TEST (HostedState, ValuesSetThroughTheHostSurviveSaveAndLoadIntoAFreshInstance)
{
    SavedHostedState saved;
    ASSERT_NE (saved.source, nullptr) << HostedPlugin::bundlePath();
    expectSettings (*saved.source);

    auto fresh = HostedPlugin::load();
    ASSERT_NE (fresh, nullptr);
    ASSERT_FALSE (valuesMatch (hostValues (*fresh), saved.values));

    fresh->setStateInformation (saved.block.getData(), (int) saved.block.getSize());

    EXPECT_TRUE (waitForValues (*fresh, saved.values));
    expectSettings (*fresh);
}

TEST (HostedState, ARestoreFromAnotherThreadIsAppliedOnceTheMessageThreadRuns)
{
    SavedHostedState saved;
    ASSERT_NE (saved.source, nullptr) << HostedPlugin::bundlePath();

    auto fresh = HostedPlugin::load();
    ASSERT_NE (fresh, nullptr);

    std::atomic<bool> returned { false };
    std::thread host ([&] {
        auto copy = saved.block;
        fresh->setStateInformation (copy.getData(), (int) copy.getSize());
        copy.fillWith (0);
        returned = true;
    });

    // The host's own wrapper needs the message thread to hand the state over.
    EXPECT_TRUE (runMessageLoopUntil ([&] { return returned.load(); }));
    host.join();

    EXPECT_TRUE (waitForValues (*fresh, saved.values));
    expectSettings (*fresh);
}
