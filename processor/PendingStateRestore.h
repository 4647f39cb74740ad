#pragma once

#include <juce_events/juce_events.h>

#include <functional>
#include <mutex>

// Carries a state block handed over on a host thread to the message thread.
// The bytes are copied before the host's call returns, since the host's data
// is only valid for the duration of that call; the latest block wins.
//
// stop() ends the hand-over for good: it drops a block still waiting and
// waits for one being applied, so the owner can take itself apart safely
// even when it is destroyed on another thread than the message thread.
class PendingStateRestore : private juce::AsyncUpdater
{
public:
    using Apply = std::function<void (const void* data, int sizeInBytes)>;

    explicit PendingStateRestore (Apply applyOnMessageThread) : apply (std::move (applyOnMessageThread)) {}
    ~PendingStateRestore() override { stop(); }

    void post (const void* data, int sizeInBytes)
    {
        const auto size = data != nullptr && sizeInBytes > 0 ? (size_t) sizeInBytes : 0;
        {
            const std::lock_guard<std::mutex> guard (lock);
            if (stopped)
                return;
            pending.replaceAll (data, size);
            hasPending = true;
        }
        triggerAsyncUpdate();
    }

    // Drops a block still waiting; a restore applied directly is newer.
    void discard()
    {
        const std::lock_guard<std::mutex> guard (lock);
        pending.reset();
        hasPending = false;
    }

    void stop()
    {
        {
            const std::lock_guard<std::mutex> guard (lock);
            stopped = true;
            pending.reset();
            hasPending = false;
        }
        cancelPendingUpdate();
        const std::lock_guard<std::mutex> waitForApply (applying);
    }

private:
    void handleAsyncUpdate() override
    {
        const std::lock_guard<std::mutex> applyGuard (applying);
        juce::MemoryBlock block;
        {
            const std::lock_guard<std::mutex> guard (lock);
            if (stopped || ! hasPending)
                return;
            block.swapWith (pending);
            hasPending = false;
        }
        apply (block.getData(), (int) block.getSize());
    }

    Apply apply;
    std::mutex lock;     // guards pending, hasPending and stopped
    std::mutex applying; // held while a block is applied
    juce::MemoryBlock pending;
    bool hasPending = false;
    bool stopped = false;
};
