// Time-domain blocks: the delay line, the bucket-brigade clock, the LFO, the
// tape modulation, and the reverse and swell options.

#include "effects/blocks/BbdClock.h"
#include "effects/blocks/DelayLine.h"
#include "effects/blocks/Lfo.h"
#include "effects/blocks/Reverse.h"
#include "effects/blocks/Swell.h"
#include "effects/blocks/Tape.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace
{
constexpr double infinity = std::numeric_limits<double>::infinity();

// A line whose sample written k samples ago is 1000 − k (k = 1 is the newest).
DelayLine rampLine (double lengthMs, double sampleRate, int written)
{
    DelayLine line;
    line.allocate (lengthMs, sampleRate);
    for (int i = 0; i < written; ++i)
        line.write (1000.0 - written + i);
    return line;
}
} // namespace

TEST (BlocksDelayLine, SizingRule)
{
    struct Case
    {
        double ms, sampleRate, lengthSamples;
        int size;
    };
    const std::vector<Case> cases {
        { 2005.0, 48000.0, 96240.0, 96242 },
        { 15.0, 44100.0, 661.5, 663 },
        { 100.0, 48000.0, 4800.0, 4802 },
        { 0.0, 48000.0, 0.0, 2 },
    };
    for (const auto& c : cases)
    {
        DelayLine line;
        line.allocate (c.ms, c.sampleRate);
        EXPECT_DOUBLE_EQ (line.lengthSamples, c.lengthSamples) << c.ms << " ms";
        EXPECT_EQ (line.size, c.size) << c.ms << " ms";
        EXPECT_EQ ((int) line.buffer.size(), c.size);
        EXPECT_EQ (line.writeIndex, 0);
    }
}

TEST (BlocksDelayLine, WholeFractionalAndClampedReads)
{
    // 1 ms at 10 kHz: 12 slots. Written 40 times so the index has wrapped.
    const DelayLine line = rampLine (1.0, 10000.0, 40);
    ASSERT_EQ (line.size, 12);

    for (int d = 1; d <= line.size - 1; ++d)
    {
        EXPECT_EQ (line.read (d), 1000.0 - d) << "delay " << d;
        EXPECT_EQ (line.readWhole (d), 1000.0 - d) << "delay " << d;
    }

    struct Case
    {
        double delay, expected;
    };
    const std::vector<Case> cases {
        { 1.5, 998.5 },
        { 3.25, 996.75 },
        { 10.9, 989.1 },
        { 11.0, 989.0 },       // the oldest sample still held
        { 11.7, 989.0 },       // beyond the line: clamped to size − 1
        { 5000.0, 989.0 },
        { 0.0, 988.0 },        // the slot about to be overwritten, written size samples ago
        { -3.0, 988.0 },       // negative: read as 0
        { 0.5, 988.0 + (999.0 - 988.0) * 0.5 },
        { std::nan (""), 988.0 },
    };
    for (const auto& c : cases)
        EXPECT_NEAR (line.read (c.delay), c.expected, 1e-9) << "delay " << c.delay;

    EXPECT_EQ (line.readWhole (-4), 988.0);
    EXPECT_EQ (line.readWhole (400), 989.0);
}

TEST (BlocksDelayLine, ResetReleaseAndUnallocated)
{
    DelayLine line = rampLine (1.0, 10000.0, 5);
    line.reset();
    EXPECT_EQ (line.writeIndex, 0);
    for (int d = 0; d < line.size; ++d)
        EXPECT_EQ (line.read (d), 0.0);

    line.release();
    EXPECT_EQ (line.size, 0);
    EXPECT_TRUE (line.buffer.empty());

    DelayLine empty;
    EXPECT_EQ (empty.read (3.5), 0.0);
    EXPECT_EQ (empty.readWhole (3), 0.0);
    empty.write (1.0); // no effect, no fault
    EXPECT_EQ (empty.writeIndex, 0);
}

TEST (BlocksDelayLine, GlideApproachesTargetAndStops)
{
    Glide delay { 500.0 };
    EXPECT_FALSE (glideDelayTime (delay, 48000.0));
    EXPECT_EQ (delay.current, 500.0);

    delay.setTarget (250.0);
    double previous = delay.current;
    for (int i = 0; i < 12000; ++i)
    {
        ASSERT_TRUE (glideDelayTime (delay, 48000.0));
        ASSERT_LT (delay.current, previous);
        ASSERT_GT (delay.current, 250.0);
        previous = delay.current;
    }
    // One target length of samples covers 1 − (1 − 1/12000)^12000 ≈ 1 − 1/e.
    EXPECT_NEAR ((500.0 - delay.current) / 250.0, 1.0 - std::pow (1.0 - 1.0 / 12000.0, 12000.0), 1e-9);

    // A target below one sample lands at once rather than overshooting.
    delay.setTarget (0.0);
    EXPECT_TRUE (glideDelayTime (delay, 48000.0));
    EXPECT_EQ (delay.current, 0.0);
}

TEST (BlocksBbdClock, TransparentWhenClockReachesSampleRate)
{
    std::mt19937 rng (3);
    std::uniform_real_distribution<double> noise (-1.0, 1.0);

    for (double sampleRate : { 48000.0, 44100.0 })
    {
        BbdClock clock;
        clock.prepare (sampleRate);
        EXPECT_EQ (clock.step, 1.0);
        for (int i = 0; i < 1000; ++i)
        {
            const double x = noise (rng);
            ASSERT_EQ (clock.process (x), x) << "sample " << i << " at " << sampleRate;
        }
    }
}

TEST (BlocksBbdClock, LowerClockHoldsSteppedOutput)
{
    // Clock at a quarter of the rate: a tick lands exactly on every fourth
    // sample and the output holds that input for four samples.
    BbdClock clock;
    clock.prepare (48000.0);
    clock.setClock (12000.0);
    EXPECT_EQ (clock.step, 0.25);

    std::vector<double> input, output;
    for (int i = 0; i < 40; ++i)
    {
        input.push_back (std::sin (0.37 * i) + 0.1 * i);
        output.push_back (clock.process (input.back()));
    }
    for (int i = 0; i < 40; ++i)
    {
        const int lastTick = ((i + 1) / 4) * 4 - 1;
        const double expected = lastTick < 0 ? 0.0 : input[(size_t) lastTick];
        EXPECT_NEAR (output[(size_t) i], expected, 1e-12) << "sample " << i;
    }
}

TEST (BlocksBbdClock, TicksBetweenSamplesInterpolateACubicExactly)
{
    // Four-point Lagrange interpolation reproduces any cubic, so with a cubic
    // input the held value is the cubic at the tick's position.
    auto cubic = [] (double t) { return 0.002 * t * t * t - 0.03 * t * t + 0.5 * t - 1.0; };

    // Clock rates whose step is a short binary fraction, so the phase
    // accumulates exactly and the expected tick times are exact too.
    for (double clockHz : { 18000.0, 30000.0, 7500.0 })
    {
        SCOPED_TRACE ("clock " + std::to_string (clockHz));
        BbdClock clock;
        clock.prepare (48000.0);
        clock.setClock (clockHz);

        // Tick k falls at k / step − 1 samples; it is taken during the first
        // sample at or after that time, and needs three earlier inputs.
        int ticks = 0, tickSample = -1;
        double held = 0.0;
        for (int n = 0; n < 200; ++n)
        {
            const double y = clock.process (cubic (n));
            const double nextTick = (ticks + 1) / clock.step - 1.0;
            if (nextTick <= n)
            {
                ++ticks;
                tickSample = n;
                held = cubic (nextTick);
            }
            if (tickSample >= 3)
            {
                ASSERT_NEAR (y, held, 1e-9) << "sample " << n;
            }
        }
        EXPECT_GT (ticks, 20);
    }
}

TEST (BlocksLfo, ShapesAtCharacteristicPhases)
{
    struct Case
    {
        int shape;
        double skew, phase, expected;
    };
    const std::vector<Case> cases {
        { 0, 0.5, 0.0, 0.0 },    { 0, 0.5, 0.25, 1.0 },  { 0, 0.5, 0.75, -1.0 },
        { 1, 0.5, 0.0, -1.0 },   { 1, 0.5, 0.25, 0.0 },  { 1, 0.5, 0.5, 1.0 },   { 1, 0.5, 0.875, -0.5 },
        { 1, 0.25, 0.125, 0.0 }, { 1, 0.25, 0.25, 1.0 }, { 1, 0.25, 0.625, 0.0 },
        { 2, 0.375, 0.25, 1.0 }, { 2, 0.375, 0.375, -1.0 }, { 2, 0.375, 0.875, -1.0 },
        { 3, 0.5, 0.0, -1.0 },   { 3, 0.5, 0.5, 0.0 },   { 3, 0.5, 0.75, 0.5 },
        { 4, 0.5, 0.0, 1.0 },    { 4, 0.5, 0.25, 0.5 },  { 4, 0.5, 0.5, 0.0 },
        { 5, 0.5, 0.0625, 1.0 }, { 5, 0.5, 0.25, 0.0 },  { 5, 0.5, 0.5, -1.0 },
        { 5, 0.5, 0.6875, -0.5 }, { 5, 0.5, 0.75, 0.0 }, { 5, 0.5, 0.9375, 1.0 },
        { 6, 0.5, 0.25, 1.0 },   { 17, 0.5, 0.75, -1.0 }, // other codes are sines
    };

    for (const auto& c : cases)
    {
        Lfo lfo (c.shape, 1.0, c.skew);
        lfo.setPhase (c.phase);
        EXPECT_NEAR (lfo.value (0.0), c.expected, 1e-12) << "shape " << c.shape << " at " << c.phase;

        // The same point reached through a phase and an offset that both wrap
        // (binary fractions, so the sum is exact).
        lfo.setPhase (c.phase + 0.625);
        EXPECT_NEAR (lfo.value (2.375), c.expected, 1e-12) << "shape " << c.shape << " via offset";
    }
}

TEST (BlocksLfo, WrapRateAndPhase)
{
    struct Case
    {
        double in, expected;
    };
    const std::vector<Case> cases {
        { 0.25, 0.25 }, { 1.25, 0.25 }, { -0.25, 0.75 }, { 3.0, 0.0 }, { -2.0, 0.0 },
        { -1e-20, 0.0 }, { infinity, 0.0 }, { -infinity, 0.0 }, { std::nan (""), 0.0 },
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ (Lfo::wrap (c.in), c.expected) << "wrap of " << c.in;

    Lfo lfo (0, 2.0, 0.5);
    lfo.prepare (1000.0);
    EXPECT_DOUBLE_EQ (lfo.increment, 0.002);
    for (int i = 0; i < 125; ++i)
        lfo.advance();
    EXPECT_NEAR (lfo.phase, 0.25, 1e-12);
    EXPECT_NEAR (lfo.value (0.0), 1.0, 1e-9);

    // The same rate again leaves the increment alone; a new one recomputes it.
    lfo.increment = 0.5;
    lfo.setRate (2.0);
    EXPECT_EQ (lfo.increment, 0.5);
    lfo.setRate (4.0);
    EXPECT_DOUBLE_EQ (lfo.increment, 0.004);

    // prepare recomputes from the stored rate and restarts the phase.
    lfo.prepare (2000.0);
    EXPECT_DOUBLE_EQ (lfo.increment, 0.002);
    EXPECT_EQ (lfo.phase, 0.0);

    // A non-finite increment cannot leave the phase at NaN.
    lfo.increment = std::nan ("");
    lfo.advance();
    EXPECT_EQ (lfo.phase, 0.0);
}

TEST (BlocksTape, ZeroAmplitudesGiveZero)
{
    Tape tape;
    tape.amplitudeA = tape.amplitudeB = tape.cycleAmplitude = 0.0;
    tape.prepare (48000.0);
    tape.setPhase (0.3);
    for (int i = 0; i < 5000; ++i)
    {
        for (double offset : { 0.0, 0.25, 0.8 })
            ASSERT_EQ (tape.getLFO (offset), 0.0);
        tape.advance();
    }
}

TEST (BlocksTape, CycleEnvelopeDecaysAndRestartsEveryPeriod)
{
    // A 100-sample period and a smoothing corner so high that the one-pole
    // passes the envelope straight through.
    Tape tape;
    tape.amplitudeA = tape.amplitudeB = 0.0;
    tape.cycleAmplitude = 1.0;
    tape.cycleRateHz = 480.0;
    tape.cycleSmoothHz = 1.0e6;
    tape.prepare (48000.0);
    ASSERT_EQ (tape.period, 100);
    ASSERT_EQ (tape.cycleCoef, 1.0);

    for (int n = 0; n < 350; ++n)
    {
        tape.advance();
        const int sinceRestart = n % 100;
        ASSERT_NEAR (tape.getLFO (0.0), std::pow (0.99, sinceRestart / 64.0), 1e-12) << "sample " << n;
    }

    // With the real corner the value is the one-pole of that envelope.
    Tape smoothed;
    smoothed.prepare (48000.0);
    EXPECT_EQ (smoothed.period, (int) (48000.0 / 0.17));
    const double coef = 1.0 - std::exp (-2.0 * M_PI * 4.7 / 48000.0);
    EXPECT_DOUBLE_EQ (smoothed.cycleCoef, coef);
    double expected = 0.0;
    for (int n = 0; n < 1000; ++n)
    {
        smoothed.advance();
        expected += (std::pow (0.99, n / 64.0) - expected) * coef;
    }
    EXPECT_NEAR (smoothed.cycleValue, expected, 1e-12);
}

TEST (BlocksTape, OscillatorsWeightedAndDriven)
{
    Tape tape;
    tape.prepare (48000.0);
    tape.setRate (6.0);
    EXPECT_DOUBLE_EQ (tape.lfoB.increment, 6.0 / 48000.0);
    EXPECT_DOUBLE_EQ (tape.lfoA.increment, 0.24 / 48000.0);
    tape.setPhase (1.1);
    EXPECT_NEAR (tape.lfoA.phase, 0.1, 1e-12);
    EXPECT_NEAR (tape.lfoB.phase, 0.1, 1e-12);

    for (int n = 0; n < 3000; ++n)
        tape.advance();

    const double offset = 0.25;
    const double expected = 0.625 * std::sin (2.0 * M_PI * (0.1 + 3000 * 0.24 / 48000.0 + offset))
                          + 0.045 * std::sin (2.0 * M_PI * (0.1 + 3000 * 6.0 / 48000.0 + offset))
                          + 0.5 * tape.cycleValue;
    EXPECT_NEAR (tape.getLFO (offset), expected, 1e-9);
}

namespace
{
// Reverse at 1 kHz: 10-sample fades, segments of 50 samples.
constexpr double reverseRate = 1000.0;
constexpr int segment = 50;
constexpr int fade = 10;

double edgeFade (int readIndex)
{
    if (readIndex < fade)
        return (double) readIndex / fade;
    if (readIndex > segment - fade)
        return (double) (segment - readIndex) / fade;
    return 1.0;
}
} // namespace

TEST (BlocksReverse, PlaysEachSegmentBackwardsOneSegmentLater)
{
    Reverse reverse;
    reverse.prepare (reverseRate, 200.0);
    ASSERT_EQ (reverse.bufferSize, 200);
    ASSERT_EQ (reverse.fadeLength, fade);
    EXPECT_DOUBLE_EQ (reverse.onsetThreshold, 2.4);
    reverse.onsetThreshold = infinity; // a ramp, no onsets

    std::vector<double> samples (5 * segment);
    for (size_t n = 0; n < samples.size(); ++n)
        samples[n] = 1.0 + (double) n;
    const std::vector<double> input = samples;

    // Blocks that do not line up with the segments.
    for (size_t start = 0; start < samples.size(); start += 33)
        reverse.process (samples.data() + start, (int) std::min<size_t> (33, samples.size() - start), segment);

    for (int n = 0; n < segment; ++n)
        EXPECT_EQ (samples[(size_t) n], 0.0) << "first segment is silent, sample " << n;

    for (int n = segment; n < (int) samples.size(); ++n)
    {
        const int k = n / segment, j = n % segment;
        // Odd segments play backwards (read index falls), even ones forwards.
        const int readIndex = (k % 2 == 1) ? segment - 1 - j : j;
        const double reversed = input[(size_t) ((k - 1) * segment + segment - 1 - j)];
        EXPECT_NEAR (samples[(size_t) n], edgeFade (readIndex) * reversed, 1e-12) << "sample " << n;
    }
}

TEST (BlocksReverse, OnsetRestartsTheRecording)
{
    // At 500 Hz the onset threshold is 4.8 dB per sample: a step out of
    // silence is one onset, and the level's further rise is not.
    Reverse reverse;
    reverse.prepare (500.0, 400.0);
    std::vector<double> samples (200, 0.0);
    for (size_t n = 30; n < samples.size(); ++n)
        samples[n] = 1.0;
    reverse.process (samples.data(), (int) samples.size(), segment);

    // The step at sample 30 restarted the first segment, so playback starts
    // at sample 80, backwards from the newest sample with the edge fade.
    for (int n = 0; n < 80; ++n)
        ASSERT_EQ (samples[(size_t) n], 0.0) << "sample " << n;
    EXPECT_NEAR (samples[80], 1.0 / reverse.fadeLength, 1e-12);
}

TEST (BlocksReverse, AbsurdLengthsStayInsideTheBuffer)
{
    Reverse reverse;
    reverse.prepare (1000.0, 100.0);
    std::vector<double> samples (64);
    for (int length : { 0, -7, 1, 100, 101, 1 << 30, 3, 64 })
    {
        for (int block = 0; block < 10; ++block)
        {
            for (size_t n = 0; n < samples.size(); ++n)
                samples[n] = std::sin (0.1 * (double) n);
            reverse.process (samples.data(), (int) samples.size(), length);
            ASSERT_GE (reverse.writeIndex, 0);
            ASSERT_LT (reverse.writeIndex, reverse.bufferSize);
            ASSERT_GE (reverse.readIndex, -1);
            ASSERT_LT (reverse.readIndex, reverse.bufferSize);
            for (double y : samples)
                ASSERT_TRUE (std::isfinite (y)) << "length " << length;
        }
    }

    // Without a buffer nothing is touched.
    Reverse unprepared;
    samples.assign (8, 0.5);
    unprepared.process (samples.data(), 8, 4);
    for (double y : samples)
        EXPECT_EQ (y, 0.5);
}

namespace
{
// A swell whose follower already sits on a steady input of 0.05, so that
// input brings no onset.
Swell settledSwell()
{
    Swell swell;
    swell.prepare (48000.0);
    swell.env.state = 0.05 * 0.05;
    swell.previousDb = 20.0 * std::log10 (0.05);
    return swell;
}
} // namespace

TEST (BlocksSwell, SilentUntilOnsetThenRises)
{
    {
        Swell swell;
        swell.prepare (48000.0);
        for (int i = 0; i < 2000; ++i)
            ASSERT_EQ (swell.process (0.0), 0.0);
        EXPECT_EQ (swell.state, Swell::idle);
    }

    Swell swell = settledSwell();
    EXPECT_DOUBLE_EQ (swell.onsetThreshold, 1575.0 / 48000.0);
    for (int i = 0; i < 5000; ++i)
        ASSERT_EQ (swell.process (0.05), 0.0) << "no onset yet, sample " << i;
    ASSERT_EQ (swell.state, Swell::idle);

    // A jump to 1.0 is an onset, and stays one for as long as the level
    // climbs faster than the threshold: the gain, already 0, falls through
    // each time. Then it rises as 1 − riseCoef^k. The output is the input
    // delayed by the look-ahead (720 samples at 48 kHz) times the squared gain.
    const int lookAhead = 720;
    const double rise = std::exp (-1.0 / (100.0 * 48.0));
    int lastOnset = -1;
    for (int k = 0; k < 3 * lookAhead; ++k)
    {
        const double y = swell.process (1.0);
        if (swell.gain == 0.0)
        {
            ASSERT_EQ (lastOnset, k - 1) << "onsets are contiguous";
            lastOnset = k;
        }
        const double gain = 1.0 - std::pow (rise, k - lastOnset);
        const double delayed = k < lookAhead ? 0.05 : 1.0;
        ASSERT_NEAR (y, gain * gain * delayed, 1e-12) << "sample " << k;
    }
    EXPECT_GE (lastOnset, 0);
    EXPECT_LT (lastOnset, 500);
    EXPECT_EQ (swell.state, Swell::rising);

    // The rise ends at unity; the next onset pulls the gain down by fallCoef
    // per sample.
    for (int i = 0; i < 48000 && swell.state != Swell::idle; ++i)
        swell.process (1.0);
    EXPECT_EQ (swell.state, Swell::idle);
    EXPECT_EQ (swell.gain, 1.0);
    swell.previousDb = -100.0;
    swell.process (1.0);
    EXPECT_EQ (swell.state, Swell::falling);
    EXPECT_DOUBLE_EQ (swell.gain, swell.fallCoef);
    EXPECT_DOUBLE_EQ (swell.fallCoef, std::exp (-1.0 / (5.0 * 48.0)));
}
TEST (BlocksSwell, LookAheadDelay)
{
    struct Case
    {
        double lookAheadMs;
        int delay;
    };
    const std::vector<Case> cases {
        { 15.0, 720 },
        { 0.05, 2 },
        { 0.03, 1 }, // below two samples: one
        { 0.0, 1 },
        { 500.0, 4802 }, // beyond the 100 ms line: its whole size
    };

    for (const auto& c : cases)
    {
        Swell swell;
        swell.lookAheadMs = c.lookAheadMs;
        swell.prepare (48000.0);
        swell.onsetThreshold = infinity;
        swell.gain = 1.0;

        int arrival = -1;
        for (int n = 0; n < 6000 && arrival < 0; ++n)
            if (swell.process (n == 0 ? 1.0 : 0.0) != 0.0)
                arrival = n;
        EXPECT_EQ (arrival, c.delay) << c.lookAheadMs << " ms";
    }

    Swell swell;
    swell.prepare (48000.0);
    swell.setRise (250.0);
    EXPECT_DOUBLE_EQ (swell.riseCoef, std::exp (-1.0 / (250.0 * 48.0)));
}
