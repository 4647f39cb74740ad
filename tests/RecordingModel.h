#pragma once

#include "effects/AudioEffect.h"

#include <atomic>
#include <mutex>
#include <utility>
#include <vector>

// A model that records every value it receives and which channel it serves,
// and otherwise behaves as the shared base (its body adds nothing). It marks
// itself dead in its destructor, so a value that reaches a deleted model is
// caught.
class RecordingModel : public AudioEffect
{
public:
    static constexpr unsigned aliveMark = 0xA11FEu;

    explicit RecordingModel (int effectNumber) : AudioEffect (ModelConstants {}), effect (effectNumber) {}
    ~RecordingModel() override { mark.store (0); }

    void setParam (int index, float value) override
    {
        if (mark.load() != aliveMark)
            reachedDeadModel.store (true);
        {
            const std::lock_guard<std::mutex> guard (callsLock);
            calls.emplace_back (index, value);
        }
        AudioEffect::setParam (index, value);
    }

    std::vector<std::pair<int, float>> takeCalls()
    {
        const std::lock_guard<std::mutex> guard (callsLock);
        return std::exchange (calls, {});
    }

    const int effect;
    static inline std::atomic<bool> reachedDeadModel { false };

protected:
    void prepareModel() override {}
    void resetModel() override {}
    void releaseModel() override {}
    void processModel (double*, int) override {}

private:
    std::atomic<unsigned> mark { aliveMark };
    std::mutex callsLock;
    std::vector<std::pair<int, float>> calls;
};

inline std::unique_ptr<AudioEffect> createRecordingModel (int effect)
{
    if (effect < 1 || effect > 11)
        return nullptr;
    return std::make_unique<RecordingModel> (effect);
}
