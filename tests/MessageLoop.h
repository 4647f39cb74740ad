#pragma once

#include <juce_events/juce_events.h>

#include <functional>

namespace juce
{
// JUCE's Linux message queue; runDispatchLoopUntil is compiled only with
// modal loops, which a plug-in build leaves out.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
} // namespace juce

// Runs the message loop on this (the message) thread until `done` holds or
// `timeoutMs` have passed; true when `done` holds.
inline bool runMessageLoopUntil (const std::function<bool()>& done, int timeoutMs = 5000)
{
    const auto deadline = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;
    while (! done())
    {
        if (juce::Time::getMillisecondCounter() >= deadline)
            return false;
        if (! juce::dispatchNextMessageOnSystemQueue (true))
            juce::Thread::sleep (1);
    }
    return true;
}

// Runs the message loop for `milliseconds`.
inline void runMessageLoopFor (int milliseconds)
{
    runMessageLoopUntil ([] { return false; }, milliseconds);
}
