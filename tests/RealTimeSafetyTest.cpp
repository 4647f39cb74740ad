#include "AudioThreadWatch.h"
#include "ProcessorTestUtils.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace
{
struct FixedTempo : juce::AudioPlayHead
{
    juce::Optional<PositionInfo> getPosition() const override
    {
        PositionInfo info;
        info.setBpm (bpm);
        return info;
    }
    double bpm = 120.0;
};
} // namespace

// Every model, driven as a host would: automation of every parameter but
// "Program" arrives on the audio thread between blocks, tempo sync rewrites
// the delay time from a changing tempo, and another thread keeps replacing
// the models so that their locks are contended.
TEST (RealTimeSafety, AudioThreadNeitherAllocatesNorWaitsWhileParametersMove)
{
    for (int effect = Processor::firstEffect; effect <= Processor::lastEffect; ++effect)
    {
        SCOPED_TRACE (effect);
        NebulonAudioProcessor processor;
        FixedTempo tempo;
        processor.setPlayHead (&tempo);
        processor.prepareToPlay (48000.0, 256);
        setParameter (processor, "program", (float) effect);
        setParameter (processor, "tempoSync", 1.0f);

        juce::AudioBuffer<float> buffer (2, 256);
        juce::MidiBuffer midi;
        juce::Random random (effect);
        std::vector<juce::RangedAudioParameter*> automated;
        for (const auto& definition : parameterDefinitions)
            if (juce::String (definition.id) != "program")
                automated.push_back (processor.getParameters().getParameter (definition.id));

        std::atomic<bool> stop { false };
        std::thread replacer ([&] {
            while (! stop.load())
                processor.setAndInitEffect (effect);
        });

        std::size_t allocations = 0, lockWaits = 0;
        {
            const AudioThreadWatch watch;
            for (int block = 0; block < 200; ++block)
            {
                for (auto* parameter : automated)
                    parameter->setValueNotifyingHost (random.nextFloat());

                tempo.bpm = 60.0 + block;
                for (int i = 0; i < 256; ++i)
                    buffer.setSample (0, i, random.nextFloat() - 0.5f), buffer.setSample (1, i, random.nextFloat() - 0.5f);
                processor.processBlock (buffer, midi);
            }
            allocations = watch.allocations();
            lockWaits = watch.lockWaits();
        }
        stop.store (true);
        replacer.join();

        EXPECT_EQ (allocations, 0u);
        EXPECT_EQ (lockWaits, 0u);
        processor.setPlayHead (nullptr);
    }
}

// The watch itself must see what it is meant to catch.
TEST (RealTimeSafety, WatchCountsAllocationsAndLocksThatWait)
{
    std::mutex mutex;
    std::atomic<bool> locked { false }, release { false };
    std::thread holder ([&] {
        mutex.lock();
        locked.store (true);
        while (! release.load())
            std::this_thread::yield();
        std::this_thread::sleep_for (std::chrono::milliseconds (20));
        mutex.unlock();
    });
    while (! locked.load())
        std::this_thread::yield();

    std::size_t allocations = 0, waitsBeforeContention = 0, waits = 0;
    bool tryLockFailed = false;
    {
        const AudioThreadWatch watch;
        auto* allocated = new int (3);
        asm volatile ("" : : "g"(allocated) : "memory"); // keep the allocation from being elided
        delete allocated;
        tryLockFailed = ! mutex.try_lock();
        std::mutex uncontended;
        uncontended.lock();
        uncontended.unlock();
        waitsBeforeContention = watch.lockWaits();

        release.store (true);
        mutex.lock(); // waits for the holder
        mutex.unlock();
        allocations = watch.allocations();
        waits = watch.lockWaits();
    }
    holder.join();

    EXPECT_TRUE (tryLockFailed);
    EXPECT_EQ (allocations, 1u);
    EXPECT_EQ (waitsBeforeContention, 0u);
    EXPECT_EQ (waits, 1u);
}
