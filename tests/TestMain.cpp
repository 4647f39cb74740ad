#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

// JUCE's message manager and GUI singletons must exist for the processor,
// the hosted bundle and any editor rendering.
int main(int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI juce;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
