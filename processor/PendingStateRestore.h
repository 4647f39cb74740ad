#pragma once

#include <juce_events/juce_events.h>

#include <functional>
#include <mutex>

// Carries a state block handed over on a host thread to the message thread.
// The bytes are copied before the host's call returns, since the host's data
// is only valid for the duration of that call; the latest block wins. Nothing
// runs after the owner is gone: the pending update is cancelled with it.
class PendingStateRestore : private juce::AsyncUpdater
{
public:
    using Apply = std::function<void (const void* data, int sizeInBytes)>;

    explicit PendingStateRestore (Apply applyOnMessageThread) : apply (std::move (applyOnMessageThread)) {}
    ~PendingStateRestore() override { cancelPendingUpdate(); }

    void post (const void* data, int sizeInBytes)
    {
        {
            const std::lock_guard<std::mutex> guard (lock);
            pending.replaceAll (data, (size_t) juce::jmax (0, sizeInBytes));
            hasPending = true;
        }
        triggerAsyncUpdate();
    }

private:
    void handleAsyncUpdate() override
    {
        juce::MemoryBlock block;
        {
            const std::lock_guard<std::mutex> guard (lock);
            if (! hasPending)
                return;
            block.swapWith (pending);
            hasPending = false;
        }
        apply (block.getData(), (int) block.getSize());
    }

    Apply apply;
    std::mutex lock;
    juce::MemoryBlock pending;
    bool hasPending = false;
};
