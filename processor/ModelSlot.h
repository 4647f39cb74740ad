#pragma once

#include "effects/AudioEffect.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

// One channel's model. The audio thread only ever tries `mutex`; replacing,
// preparing and releasing the model wait for it.
//
// Parameter changes reach the model without that lock, from whichever thread
// made them. They go through `forward`, which registers itself in
// `forwardsInFlight` before reading `reachable`; a replacement clears
// `reachable` and waits for the forwards in flight before deleting the old
// model, so a change never reaches a deleted model and the audio thread never
// waits.
struct ModelSlot
{
    std::unique_ptr<AudioEffect> model;
    double sampleRate = 48000.0;
    int blockSize = 1024;
    std::mutex mutex;

    std::atomic<AudioEffect*> reachable { nullptr };
    std::atomic<int> forwardsInFlight { 0 };

    void forward (int index, float value) noexcept
    {
        forwardsInFlight.fetch_add (1);
        if (auto* target = reachable.load())
            target->setParam (index, value);
        forwardsInFlight.fetch_sub (1);
    }

    // Makes the model unreachable for parameter changes and waits until none
    // is still inside it. Call with `mutex` held.
    void withdraw() noexcept
    {
        reachable.store (nullptr);
        while (forwardsInFlight.load() != 0)
            std::this_thread::yield();
    }

    // Call with `mutex` held, once the model is prepared.
    void publish() noexcept { reachable.store (model.get()); }
};
