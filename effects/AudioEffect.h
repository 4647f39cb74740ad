#pragma once

#include "effects/ParamIndex.h"
#include "effects/blocks/DelayLine.h"
#include "effects/blocks/Distortion.h"
#include "effects/blocks/Dynamics.h"
#include "effects/blocks/Glide.h"
#include "effects/blocks/InputGate.h"
#include "effects/blocks/Reverse.h"
#include "effects/blocks/Swell.h"

#include <mutex>
#include <vector>

// The constants that tell one model's shared behaviour from another's.
struct ModelConstants
{
    double feedbackScale = 1.0;     // feedback gain at full "Feedback"
    double maxModDepthMs = 1.0;     // modulation depth at full "Mod Depth"
    double minDelayMs = 1.0;        // delay time clamp
    double maxDelayMs = 2000.0;     // delay time clamp; also sizes the ping-pong and reverse buffers
    double wetTrim = 1.0;           // make-up gain of the wet path
    double driveScale = 48.0;       // dB of distortion gain at full drive
    double swellLookAheadMs = 15.0; // the swell reads the loop this much earlier
};

// A delay model: processes one mono channel in place, in double precision.
//
// Everything all models share lives here: buffers for the dry and bypass
// copies, the parameter glides, on/off and trails, the mix law, the input
// ramp and gate at the head of every block, the ping-pong offset, and the
// ducking and output stage at its tail. A model supplies its constants,
// its own blocks and the body between head and tail.
//
// process() only ever tries the model's lock; prepare(), resetResources()
// and releaseResources() wait for it. setParam() takes no lock: it writes
// plain targets that the next processed sample picks up.
class AudioEffect
{
public:
    explicit AudioEffect (const ModelConstants& modelConstants);
    virtual ~AudioEffect() = default;

    AudioEffect (const AudioEffect&) = delete;
    AudioEffect& operator= (const AudioEffect&) = delete;

    virtual void prepare (double newSampleRate, int newBlockSize);
    virtual void resetResources();
    virtual void releaseResources();
    virtual void process (double* samples, int numSamples);
    virtual void setParam (int index, float value);
    virtual float getParam (int index) const;

    bool isPrepared() const noexcept { return prepared; }
    double getSampleRate() const noexcept { return sampleRate; }
    int getBlockSize() const noexcept { return blockSize; }
    int getChannel() const noexcept { return channel; }

protected:
    // Called with the lock held, after the shared blocks are prepared and
    // sampleRate and blockSize are set: size the model's lines, compute its
    // coefficients, clear its states.
    virtual void prepareModel() = 0;
    // Called with the lock held: zero the model's states and lines.
    virtual void resetModel() = 0;
    // Called with the lock held: free the model's buffers.
    virtual void releaseModel() = 0;
    // The model's signal path, between the common head and tail.
    virtual void processModel (double* samples, int numSamples) = 0;
    // Called after the shared handling of every accepted setParam, so a
    // model reacts to the indices it has its own rules for.
    virtual void onParam (int index, double value) { (void) index; (void) value; }

    // --- helpers for model bodies -------------------------------------
    double msToSamples (double ms) const noexcept { return ms * sampleRate / 1000.0; }

    // Delay of the main read in ms: the swell reads the loop earlier so the
    // echo lands on time after its look-ahead.
    double loopDelayMs() const noexcept
    {
        return swellOn ? delayMs.current - constants.swellLookAheadMs : delayMs.current;
    }

    // Reverse playback of the block, when switched on, with segments of the
    // current delay time.
    void reverseBlock (double* samples, int numSamples) noexcept;

    // The swell stage inside the loop, when switched on.
    double swellStage (double v) noexcept { return swellOn ? swell.process (v) : v; }

    // One sample of the delay-time glide; true when the time moved.
    bool glideDelay() noexcept { return glideDelayTime (delayMs, sampleRate); }

    const ModelConstants constants;

    bool prepared = false;
    double sampleRate = 48000.0;
    int blockSize = 32;
    int channel = 0;

    std::vector<double> dryCopy;
    std::vector<double> bypassCopy;

    Glide bypassGain { 0.0 };
    Glide inputGain { 1.0 };
    Glide effectGain { 1.0 };
    Glide dryGain { 1.0 };
    Glide wetGain { 1.0 };
    Glide levelGain { 1.0 };
    Glide delayMs { 250.0 };
    Glide feedback;
    Glide modDepthMs;

    bool bypassed = false;

    // Raw values as last received.
    double storedDelayMs = 250.0;
    double storedFeedback = 0.5;
    double storedModDepth = 0.5;
    double lfoPhaseOffset = 0.0;
    double storedTone = 0.5;
    double storedMix = 0.75;
    double dryDb = 0.0;
    double wetDb = 0.0;
    double outputDb = 0.0;

    bool dryOn = true;
    bool duckOn = false;
    bool lowCutOn = false;
    bool pingPongOn = false;
    bool reverseOn = false;
    bool swellOn = false;
    bool trails = false;

    Distortion distortion;
    Dynamics duck = Dynamics::ducking();
    InputGate gate;
    DelayLine pingPongLine;
    Reverse reverse;
    Swell swell;

private:
    void processChunk (double* samples, int numSamples) noexcept;
    void commonHead (double* samples, int numSamples) noexcept;
    void pingPongOffset (double* samples, int numSamples) noexcept;
    void commonTail (double* samples, int numSamples) noexcept;
    void setActive (bool on) noexcept;
    void setTrails (bool on) noexcept;
    void setMix (float value) noexcept;

    mutable std::mutex lock;
};
