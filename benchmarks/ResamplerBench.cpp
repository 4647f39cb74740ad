// Speed of the image resampler on the editor's real work: the Pedal
// background (3840 x 3208, RGB) reduced to the window size, the Rack
// background, and a knob bitmap; and the whole getResizedImage path.

#include "editor/ArtworkResources.h"
#include "editor/ResizedImage.h"
#include "resampler/ImageResampler.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <map>
#include <vector>

namespace
{

struct Pixels
{
    std::vector<std::uint8_t> data;
    int width = 0, height = 0, channels = 0;
};

Pixels decode (int number)
{
    const auto image = ArtworkResources::loadImage (number);
    const int channels = image.getFormat() == juce::Image::ARGB ? 4 : (image.getFormat() == juce::Image::RGB ? 3 : 1);
    Pixels p { {}, image.getWidth(), image.getHeight(), channels };
    p.data.resize ((size_t) p.width * (size_t) p.height * (size_t) channels);
    const juce::Image::BitmapData bits (image, juce::Image::BitmapData::readOnly);
    for (int y = 0; y < p.height; ++y)
        std::memcpy (p.data.data() + (size_t) y * (size_t) p.width * (size_t) channels, bits.getLinePointer (y),
                     (size_t) p.width * (size_t) channels);
    return p;
}

const Pixels& artwork (int number)
{
    static std::map<int, Pixels> cache;
    auto it = cache.find (number);
    if (it == cache.end())
        it = cache.emplace (number, decode (number)).first;
    return it->second;
}

// Arguments: resource number, target width, target height, thread limit (0:
// the resampler's choice, as the editor uses it).
void resample (benchmark::State& state)
{
    const auto& src = artwork ((int) state.range (0));
    const int w = (int) state.range (1), h = (int) state.range (2);
    nebulon::ResampleSettings settings;
    settings.maxThreads = (int) state.range (3);
    std::vector<std::uint8_t> out ((size_t) w * (size_t) h * (size_t) src.channels);
    for (auto _ : state)
    {
        nebulon::resampleImage (src.data.data(), src.width, src.height, src.channels, out.data(), w, h, settings);
        benchmark::DoNotOptimize (out.data());
    }
    state.counters["source MPixel/s"] = benchmark::Counter ((double) src.width * src.height * 1e-6,
                                                            benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK (resample)->Name ("Resample/PedalBackground_3840x3208_to_800x668")->Args ({ 14, 800, 668, 0 })->Unit (benchmark::kMillisecond)->UseRealTime();
BENCHMARK (resample)->Name ("Resample/PedalBackground_3840x3208_to_800x668_one_thread")->Args ({ 14, 800, 668, 1 })->Unit (benchmark::kMillisecond)->UseRealTime();
BENCHMARK (resample)->Name ("Resample/PedalBackground_3840x3208_to_1600x1336_one_thread")->Args ({ 14, 1600, 1336, 1 })->Unit (benchmark::kMillisecond)->UseRealTime();
BENCHMARK (resample)->Name ("Resample/PedalBackground_3840x3208_to_1600x1336")->Args ({ 14, 1600, 1336, 0 })->Unit (benchmark::kMillisecond)->UseRealTime();
BENCHMARK (resample)->Name ("Resample/PedalBackground_3840x3208_to_1200x1002")->Args ({ 14, 1200, 1002, 0 })->Unit (benchmark::kMillisecond)->UseRealTime();
BENCHMARK (resample)->Name ("Resample/RackBackground_3840x858_to_800x178")->Args ({ 17, 800, 178, 0 })->Unit (benchmark::kMillisecond)->UseRealTime();
BENCHMARK (resample)->Name ("Resample/Knob_725_to_85")->Args ({ 124, 85, 85, 0 })->Unit (benchmark::kMillisecond)->UseRealTime();
BENCHMARK (resample)->Name ("Resample/ModelKnob_940_to_136")->Args ({ 122, 136, 136, 0 })->Unit (benchmark::kMillisecond)->UseRealTime();

// The editor's path with a cache miss every time: copy out, rescale, copy
// back into a new image.
void resizedImageMiss (benchmark::State& state)
{
    static juce::ScopedJuceInitialiser_GUI juce;
    const auto source = ArtworkResources::loadImage (14);
    const int w = (int) state.range (0);
    const int h = w * 3208 / 3840;
    juce::int64 key = 1;
    for (auto _ : state)
    {
        auto image = getResizedImage (key++, source, w, h);
        benchmark::DoNotOptimize (image.getPixelData());
        state.PauseTiming();
        image = {};
        juce::ImageCache::releaseUnusedImages();
        state.ResumeTiming();
    }
}

BENCHMARK (resizedImageMiss)->Name ("GetResizedImage/PedalBackground_miss")->Arg (800)->Arg (1600)->Unit (benchmark::kMillisecond)->UseRealTime();

}  // namespace
