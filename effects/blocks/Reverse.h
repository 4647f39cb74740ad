#pragma once

#include "Envelope.h"

#include <algorithm>
#include <vector>

// Plays the input back in reversed segments of a given length, with one
// buffer: passes alternate between writing the buffer forwards and
// backwards, and each pass reads, in its own direction, what the previous
// pass wrote in the other, so every segment comes out reversed one segment
// later. Edge fades of 10 ms remove the clicks at segment boundaries. An onset
// in the input (a level rise faster than onsetThreshold dB per sample)
// restarts the recording at the start of the current pass.
struct Reverse
{
    Envelope env { 100.0, 100.0, 0, 1, 0 };
    double onsetThreshold = 0.05;
    double previousDb = 0.0;
    int backwards = 0;
    std::vector<double> buffer;
    int bufferSize = 0;
    int readIndex = 0;
    int writeIndex = 0;
    int fadeLength = 480;
    bool playing = false;

    Reverse() = default;

    // Allocates: call from prepare only.
    void prepare (double sampleRate, double maxDelayMs)
    {
        const double samples = maxDelayMs * sampleRate / 1000.0;
        bufferSize = samples > 0.0 ? (int) samples : 0;
        buffer.assign ((size_t) bufferSize, 0.0);
        fadeLength = std::max (1, (int) (10.0 * sampleRate / 1000.0));
        onsetThreshold = 2400.0 / sampleRate;
        env.prepare (sampleRate);
        clearState();
    }

    void release()
    {
        std::vector<double>().swap (buffer);
        bufferSize = 0;
        clearState();
    }

    void reset() noexcept
    {
        std::fill (buffer.begin(), buffer.end(), 0.0);
        env.reset();
        clearState();
    }

    // length: segment length in samples, held within [1, bufferSize].
    void process (double* samples, int numSamples, int length) noexcept
    {
        if (samples == nullptr || bufferSize <= 0)
            return;

        const int L = std::min (std::max (length, 1), bufferSize);
        double* const b = buffer.data();

        for (int i = 0; i < numSamples; ++i)
        {
            const double x = samples[i];

            const double levelDb = env.process (x);
            if (levelDb - previousDb > onsetThreshold)
                writeIndex = backwards ? L - 1 : 0;
            previousDb = levelDb;

            double g = 1.0;
            if (readIndex < fadeLength)
                g = (double) readIndex / (double) fadeLength;
            else if (readIndex > L - fadeLength)
                g = (double) (L - readIndex) / (double) fadeLength;

            if (backwards)
            {
                if (playing)
                {
                    g *= b[readIndex];
                    if (--readIndex < 0)
                        playing = false;
                }
                else
                {
                    g = 0.0;
                }

                b[writeIndex] = x;
                if (--writeIndex < 0)
                {
                    backwards = 0;
                    playing = true;
                    readIndex = writeIndex = 0;
                }
            }
            else
            {
                if (playing)
                {
                    g *= b[readIndex];
                    if (++readIndex >= L)
                        playing = false;
                }
                else
                {
                    g = 0.0;
                }

                b[writeIndex] = x;
                if (++writeIndex >= L)
                {
                    backwards = 1;
                    playing = true;
                    readIndex = writeIndex = L - 1;
                }
            }

            samples[i] = g;
        }
    }

private:
    void clearState() noexcept
    {
        backwards = 0;
        playing = false;
        readIndex = 0;
        writeIndex = 0;
        previousDb = 0.0;
    }
};
