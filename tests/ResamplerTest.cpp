// Quality of the image resampler: aliasing, smoothness, exactness on flat
// images, ringing at edges, alpha handling, rounding bias and channel layout.

#include "resampler/ImageResampler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace
{

using Bytes = std::vector<std::uint8_t>;
using nebulon::ResampleFilter;
using nebulon::ResampleSettings;
using nebulon::resampleImage;
using nebulon::setResamplerVectorInstructionsAllowed;

constexpr double pi = 3.14159265358979323846;

template <typename ValueAt>
Bytes makeImage (int w, int h, int channels, ValueAt&& valueAt)
{
    Bytes b ((std::size_t) w * (std::size_t) h * (std::size_t) channels);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < channels; ++c)
                b[((std::size_t) y * (std::size_t) w + (std::size_t) x) * (std::size_t) channels + (std::size_t) c]
                    = (std::uint8_t) valueAt (x, y, c);
    return b;
}

std::pair<int, int> minMax (const Bytes& b)
{
    const auto [lo, hi] = std::minmax_element (b.begin(), b.end());
    return { *lo, *hi };
}

double mean (const Bytes& b)
{
    double s = 0.0;
    for (auto v : b)
        s += v;
    return s / (double) b.size();
}

ResampleSettings opaque()
{
    ResampleSettings s;
    s.alphaChannel = ResampleSettings::noAlpha;
    return s;
}

TEST (ImageResampler, KernelIsOneAtCentreAndVanishesAtIntegersAndBeyondRadius)
{
    for (auto f : { ResampleFilter::lanczos2, ResampleFilter::lanczos3 })
    {
        const int radius = nebulon::resampleKernelRadius (f);
        EXPECT_DOUBLE_EQ (nebulon::resampleKernel (f, 0.0), 1.0);
        for (int k = 1; k <= radius + 1; ++k)
        {
            EXPECT_NEAR (nebulon::resampleKernel (f, k), 0.0, 1e-12) << k;
            EXPECT_NEAR (nebulon::resampleKernel (f, -k), 0.0, 1e-12) << k;
        }
        EXPECT_EQ (nebulon::resampleKernel (f, radius + 0.5), 0.0);
        EXPECT_LT (nebulon::resampleKernel (f, 1.5), 0.0);  // the first negative lobe
        EXPECT_GT (nebulon::resampleKernel (f, 0.5), 0.5);
    }
}

// Patterns far above the new Nyquist frequency must average out to flat grey
// instead of folding back as moire.
TEST (ImageResampler, FinePatternsReducedFrom3840To800AreFlatGrey)
{
    struct Case { const char* name; int channels; int (*value) (int x, int y); double expected; };
    const Case cases[] = {
        { "one-pixel checkerboard", 3, [] (int x, int y) { return ((x + y) & 1) ? 255 : 0; }, 127.5 },
        { "vertical lines, period 3", 1, [] (int x, int) { return x % 3 == 0 ? 255 : 0; }, 85.0 },
        { "zone plate beyond new Nyquist", 4,
          [] (int x, int y) {
              // Local frequency between 0.2 and 0.5 cycles per pixel; the new
              // Nyquist frequency is 800 / 3840 / 2 = 0.104.
              const double r2 = (double) x * x + (double) y * y;
              return (int) std::lround (127.5 + 127.5 * std::cos (pi * (0.4 * std::sqrt (r2) + 0.3 * r2 / 5000.0)));
          }, 127.5 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto src = makeImage (3840, 3208, c.channels, [&] (int x, int y, int) { return c.value (x, y); });
        const auto out = resampleImage (src.data(), 3840, 3208, c.channels, 800, 668, opaque());
        ASSERT_EQ (out.size(), 800u * 668u * (std::size_t) c.channels);

        // The outermost three output pixels (the kernel's reach) are left
        // out: there the pattern is cut by the image border, which is real
        // content (a line at the edge stays a line at the edge).
        constexpr int border = 3;
        double worst = 0.0;
        for (int y = border; y < 668 - border; ++y)
            for (int x = border; x < 800 - border; ++x)
                for (int ch = 0; ch < c.channels; ++ch)
                    worst = std::max (worst, std::abs (out[((std::size_t) y * 800 + (std::size_t) x) * (std::size_t) c.channels + (std::size_t) ch] - c.expected));
        EXPECT_LE (worst, 2.0);
    }
}

// A smooth ramp (with zero slope at the borders, so edge handling plays no
// part) keeps every value within one level of the ramp at the output pixel
// centre. Enlarging interpolates the source's own rounding (up to half a
// level, passed on with the kernel's gain) on top of the output's rounding,
// hence the slightly wider bound there (measured 1.15).
TEST (ImageResampler, SmoothGradientStaysWithinOneLevel)
{
    struct Case { int sw, sh, dw, dh; double tolerance; };
    const Case cases[] = { { 3840, 400, 800, 100, 1.0 }, { 400, 3208, 120, 668, 1.0 },
                           { 300, 200, 1111, 777, 1.2 }, { 1000, 1000, 517, 1733, 1.2 } };

    auto ramp = [] (double u) { return 127.5 - 127.5 * std::cos (pi * u); };  // u in 0..1

    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << c.sw << "x" << c.sh << " -> " << c.dw << "x" << c.dh);
        // Channel 0 ramps along x, channel 1 along y, channel 2 along both.
        auto value = [&] (double u, double v, int ch) {
            return ch == 0 ? ramp (u) : ch == 1 ? ramp (v) : 0.5 * (ramp (u) + ramp (v));
        };
        const auto src = makeImage (c.sw, c.sh, 3, [&] (int x, int y, int ch) {
            return std::lround (value ((x + 0.5) / c.sw, (y + 0.5) / c.sh, ch));
        });
        const auto out = resampleImage (src.data(), c.sw, c.sh, 3, c.dw, c.dh, opaque());

        double worst = 0.0;
        for (int y = 0; y < c.dh; ++y)
            for (int x = 0; x < c.dw; ++x)
                for (int ch = 0; ch < 3; ++ch)
                {
                    const double expected = value ((x + 0.5) / c.dw, (y + 0.5) / c.dh, ch);
                    worst = std::max (worst, std::abs (out[((std::size_t) y * (std::size_t) c.dw + (std::size_t) x) * 3 + (std::size_t) ch] - expected));
                }
        EXPECT_LE (worst, c.tolerance);
    }
}

TEST (ImageResampler, FlatImagesStayExactlyFlatInEveryChannelIncludingAlpha)
{
    struct Size { int sw, sh, dw, dh; };
    const Size sizes[] = { { 3840, 858, 800, 178 }, { 7, 5, 3, 2 }, { 3, 2, 1000, 701 },
                           { 1, 1, 5, 9 }, { 725, 725, 85, 85 }, { 640, 480, 641, 100 } };
    const std::uint8_t colour[] = { 201, 37, 255, 240, 0 };  // premultiplied-valid: colour <= alpha where alpha is last

    for (int channels = 1; channels <= 5; ++channels)
        for (const auto& s : sizes)
        {
            SCOPED_TRACE (testing::Message() << channels << " channels, " << s.sw << "x" << s.sh << " -> " << s.dw << "x" << s.dh);
            const auto src = makeImage (s.sw, s.sh, channels, [&] (int, int, int c) {
                // With an alpha channel (2 and 4 channels) the last channel is alpha.
                return (channels == 2 || channels == 4) && c == channels - 1 ? 247 : colour[c] % 248;
            });
            for (bool premultiplied : { true, false })
            {
                ResampleSettings settings;
                settings.premultiplied = premultiplied;
                const auto out = resampleImage (src.data(), s.sw, s.sh, channels, s.dw, s.dh, settings);
                ASSERT_EQ (out.size(), (std::size_t) s.dw * (std::size_t) s.dh * (std::size_t) channels);
                bool exact = true;
                for (std::size_t i = 0; i < out.size(); ++i)
                    exact = exact && out[i] == src[i % (std::size_t) channels];
                EXPECT_TRUE (exact) << (premultiplied ? "premultiplied" : "straight alpha");
            }
        }
}

// Enlarging a hard edge: the transition stays about one source pixel wide and
// the ringing of the windowed sinc stays small. Measured at 4x: lanczos3
// overshoots a step by 11.7 % of its height on either side, lanczos2 by 7.8 %.
TEST (ImageResampler, UpscaledEdgeStaysSharpWithSmallOvershoot)
{
    struct Case { ResampleFilter filter; double maxOvershoot; };
    const Case cases[] = { { ResampleFilter::lanczos3, 0.12 }, { ResampleFilter::lanczos2, 0.08 } };
    constexpr int low = 64, high = 192, sw = 64, dw = 256;

    for (const auto& c : cases)
    {
        SCOPED_TRACE (nebulon::resampleKernelRadius (c.filter));
        const auto src = makeImage (sw, 4, 1, [] (int x, int, int) { return x < sw / 2 ? low : high; });
        ResampleSettings settings = opaque();
        settings.filter = c.filter;
        const auto out = resampleImage (src.data(), sw, 4, 1, dw, 4, settings);
        const Bytes row (out.begin(), out.begin() + dw);

        const auto [lo, hi] = minMax (row);
        const double step = high - low;
        EXPECT_LE ((hi - high) / step, c.maxOvershoot);
        EXPECT_LE ((low - lo) / step, c.maxOvershoot);
        EXPECT_GT (hi, high);  // a sinc filter does ring; a box filter would not

        // 10 % to 90 % of the step within 1.25 source pixels (5 output pixels).
        int first90 = dw, last10 = 0;
        for (int x = 0; x < dw; ++x)
        {
            if (row[(std::size_t) x] < low + 0.1 * step)
                last10 = x;
            if (row[(std::size_t) x] > low + 0.9 * step && first90 == dw)
                first90 = x;
        }
        EXPECT_LE (first90 - last10, 5);
        EXPECT_EQ (row[0], low);
        EXPECT_EQ (row[(std::size_t) dw - 1], high);
    }
}

// Sinc ringing must not leave a colour brighter than its alpha; straight
// alpha must not let the hidden colour of transparent pixels bleed in.
TEST (ImageResampler, AlphaHandling)
{
    // Left half opaque red, right half transparent; hidden colour green in the
    // straight-alpha case, black (as premultiplication requires) otherwise.
    struct Case { bool premultiplied; std::uint8_t hiddenGreen; int sw, dw; };
    const Case cases[] = { { true, 0, 400, 83 }, { true, 0, 40, 173 }, { false, 255, 400, 83 }, { false, 255, 40, 173 } };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << (c.premultiplied ? "premultiplied " : "straight ") << c.sw << " -> " << c.dw);
        // Byte order B, G, R, A as in memory on little-endian machines.
        const auto src = makeImage (c.sw, 8, 4, [&] (int x, int, int ch) {
            const bool opaquePixel = x < c.sw / 2;
            if (ch == 3) return opaquePixel ? 255 : 0;
            if (ch == 2) return opaquePixel ? 230 : 0;
            if (ch == 1) return opaquePixel ? 0 : (int) c.hiddenGreen;
            return 0;
        });
        ResampleSettings settings;
        settings.premultiplied = c.premultiplied;
        const auto out = resampleImage (src.data(), c.sw, 8, 4, c.dw, 8, settings);

        int worstExcess = 0, worstGreen = 0, peakRed = 0;
        for (std::size_t i = 0; i < out.size(); i += 4)
        {
            const int a = out[i + 3];
            for (int ch = 0; ch < 3; ++ch)
                if (c.premultiplied)
                    worstExcess = std::max (worstExcess, out[i + (std::size_t) ch] - a);
            if (a > 0)
                worstGreen = std::max (worstGreen, (int) out[i + 1]);
            peakRed = std::max (peakRed, (int) out[i + 2]);
        }
        EXPECT_EQ (worstExcess, 0);
        EXPECT_LE (worstGreen, 1);
        EXPECT_GE (peakRed, 230);
    }
}

// Rounding to nearest keeps the mean of noise; truncation would lose half a
// level on average.
TEST (ImageResampler, RoundingHasNoBias)
{
    std::mt19937 rng (7);
    std::uniform_int_distribution<int> dist (0, 255);
    const auto src = makeImage (1000, 600, 3, [&] (int, int, int) { return dist (rng); });

    struct Size { int w, h; };
    for (const auto& s : { Size { 250, 150 }, Size { 333, 201 }, Size { 1700, 999 } })
    {
        const auto out = resampleImage (src.data(), 1000, 600, 3, s.w, s.h, opaque());
        EXPECT_NEAR (mean (out), mean (src), 0.1) << s.w << "x" << s.h;
    }
}

// Channels are independent: resampling n channels together equals resampling
// each one alone, whatever the internal lane layout (padded or not).
TEST (ImageResampler, ChannelsAreFilteredIndependently)
{
    std::mt19937 rng (11);
    std::uniform_int_distribution<int> dist (0, 255);
    constexpr int sw = 97, sh = 61, dw = 41, dh = 130;

    for (int channels : { 2, 3, 4, 5, 6 })
    {
        SCOPED_TRACE (channels);
        const auto src = makeImage (sw, sh, channels, [&] (int, int, int) { return dist (rng); });
        const auto out = resampleImage (src.data(), sw, sh, channels, dw, dh, opaque());

        int worst = 0;
        for (int c = 0; c < channels; ++c)
        {
            Bytes plane ((std::size_t) sw * sh);
            for (std::size_t i = 0; i < plane.size(); ++i)
                plane[i] = src[i * (std::size_t) channels + (std::size_t) c];
            const auto single = resampleImage (plane.data(), sw, sh, 1, dw, dh, opaque());
            for (std::size_t i = 0; i < single.size(); ++i)
                worst = std::max (worst, std::abs (single[i] - out[i * (std::size_t) channels + (std::size_t) c]));
        }
        // Only the order of float additions may differ between layouts.
        EXPECT_LE (worst, 1);
    }
}

// Large images are cut into bands of rows for several threads; the bands
// must join without a seam, in either pass order.
TEST (ImageResampler, ResultDoesNotDependOnTheNumberOfThreads)
{
    std::mt19937 rng (3);
    std::uniform_int_distribution<int> dist (0, 255);
    struct Case { int channels; bool premultiplied; int dw, dh; };
    const Case cases[] = { { 3, true, 800, 668 }, { 4, false, 700, 701 }, { 4, true, 1700, 1501 } };
    const auto src3 = makeImage (1600, 1400, 3, [&] (int, int, int) { return dist (rng); });
    const auto src4 = makeImage (1600, 1400, 4, [&] (int, int, int c) { return c == 3 ? 255 : dist (rng); });

    for (const auto& c : cases)
    {
        const auto& src = c.channels == 3 ? src3 : src4;
        ResampleSettings settings;
        settings.premultiplied = c.premultiplied;
        settings.maxThreads = 1;
        const auto single = resampleImage (src.data(), 1600, 1400, c.channels, c.dw, c.dh, settings);
        for (int threads : { 2, 3, 4 })
        {
            settings.maxThreads = threads;
            EXPECT_EQ (resampleImage (src.data(), 1600, 1400, c.channels, c.dw, c.dh, settings), single)
                << c.channels << " channels, " << threads << " threads";
        }
    }
}

// The separable filter written out plainly in double precision: weights from
// the public kernel, taps beyond a border mirrored about it, each sample's
// weights normalised to sum one; columns first, then rows, rounded at the end.
Bytes referenceResample (const Bytes& src, int sw, int sh, int channels, int dw, int dh, ResampleFilter filter)
{
    struct Taps { std::vector<int> index; std::vector<double> weight; };
    auto axis = [filter] (int srcSize, int dstSize) {
        const double scale = (double) srcSize / dstSize, stretch = std::max (1.0, scale);
        const double radius = nebulon::resampleKernelRadius (filter) * stretch;
        std::vector<Taps> all ((std::size_t) dstSize);
        for (int i = 0; i < dstSize; ++i)
        {
            const double centre = (i + 0.5) * scale;
            double sum = 0.0;
            for (int j = (int) std::floor (centre - radius - 1); j <= (int) std::ceil (centre + radius + 1); ++j)
            {
                const double w = nebulon::resampleKernel (filter, (j + 0.5 - centre) / stretch);
                if (w == 0.0)
                    continue;
                int m = j < 0 ? -j - 1 : j;
                m = m >= srcSize ? 2 * srcSize - m - 1 : m;
                all[(std::size_t) i].index.push_back (std::clamp (m, 0, srcSize - 1));
                all[(std::size_t) i].weight.push_back (w);
                sum += w;
            }
            for (auto& w : all[(std::size_t) i].weight)
                w /= sum;
        }
        return all;
    };
    const auto wx = axis (sw, dw), wy = axis (sh, dh);

    std::vector<double> column ((std::size_t) dh * (std::size_t) sw * (std::size_t) channels, 0.0);
    for (int y = 0; y < dh; ++y)
        for (std::size_t k = 0; k < wy[(std::size_t) y].index.size(); ++k)
            for (int v = 0; v < sw * channels; ++v)
                column[((std::size_t) y * (std::size_t) sw) * (std::size_t) channels + (std::size_t) v]
                    += wy[(std::size_t) y].weight[k] * src[(std::size_t) wy[(std::size_t) y].index[k] * (std::size_t) sw * (std::size_t) channels + (std::size_t) v];

    Bytes out ((std::size_t) dw * (std::size_t) dh * (std::size_t) channels);
    for (int y = 0; y < dh; ++y)
        for (int x = 0; x < dw; ++x)
            for (int c = 0; c < channels; ++c)
            {
                double a = 0.0;
                for (std::size_t k = 0; k < wx[(std::size_t) x].index.size(); ++k)
                    a += wx[(std::size_t) x].weight[k]
                         * column[((std::size_t) y * (std::size_t) sw + (std::size_t) wx[(std::size_t) x].index[k]) * (std::size_t) channels + (std::size_t) c];
                out[((std::size_t) y * (std::size_t) dw + (std::size_t) x) * (std::size_t) channels + (std::size_t) c]
                    = (std::uint8_t) std::clamp (std::lround (a), 0L, 255L);
            }
    return out;
}

// The fast paths (fixed-point vertical sums, rows filtered in groups of
// eight, SIMD blocks with scalar remainders) agree with the plain double
// computation to within one level, on every channel count and on sizes that
// leave partial blocks and groups, single rows and columns.
TEST (ImageResampler, AgreesWithPlainDoublePrecisionFilter)
{
    struct Case { int sw, sh, dw, dh; ResampleFilter filter; };
    const Case cases[] = {
        { 97, 61, 41, 130, ResampleFilter::lanczos3 }, { 333, 257, 100, 77, ResampleFilter::lanczos3 },
        { 640, 203, 123, 37, ResampleFilter::lanczos2 }, { 1, 50, 1, 17, ResampleFilter::lanczos3 },
        { 50, 1, 17, 1, ResampleFilter::lanczos3 }, { 200, 300, 613, 9, ResampleFilter::lanczos3 },
        { 45, 38, 90, 151, ResampleFilter::lanczos2 }, { 1283, 96, 211, 15, ResampleFilter::lanczos3 },
    };
    std::mt19937 rng (5);
    std::uniform_int_distribution<int> noise (-40, 40);

    // Both the vector paths (where the processor has them) and the plain ones.
    for (const bool vectorInstructions : { true, false })
    for (int channels = 1; channels <= 5; ++channels)
        for (const auto& c : cases)
        {
            SCOPED_TRACE (testing::Message() << (vectorInstructions ? "vector, " : "plain, ") << channels << " channels, " << c.sw
                                             << "x" << c.sh << " -> " << c.dw << "x" << c.dh);
            setResamplerVectorInstructionsAllowed (vectorInstructions);
            // Smooth waves with noise on top: both low and high frequencies.
            const auto src = makeImage (c.sw, c.sh, channels, [&] (int x, int y, int ch) {
                const double v = 128.0 + 80.0 * std::sin (0.05 * x + ch) * std::cos (0.07 * y - ch) + noise (rng);
                return std::clamp ((int) v, 0, 255);
            });
            ResampleSettings settings = opaque();
            settings.filter = c.filter;
            const auto out = resampleImage (src.data(), c.sw, c.sh, channels, c.dw, c.dh, settings);
            const auto expected = referenceResample (src, c.sw, c.sh, channels, c.dw, c.dh, c.filter);
            ASSERT_EQ (out.size(), expected.size());

            int worst = 0;
            std::size_t differing = 0;
            for (std::size_t i = 0; i < out.size(); ++i)
            {
                worst = std::max (worst, std::abs (out[i] - expected[i]));
                differing += out[i] != expected[i];
            }
            EXPECT_LE (worst, 1);
            // Off by one only where the exact value lies close to a rounding
            // boundary: a small share of the values.
            EXPECT_LE ((double) differing, 0.02 * (double) out.size());
        }
    setResamplerVectorInstructionsAllowed (true);
}

TEST (ImageResampler, InvalidArgumentsWriteNothing)
{
    Bytes src (16, 9), dst (16, 3);
    struct Case { const std::uint8_t* s; int sw, sh, ch; std::uint8_t* d; int dw, dh; };
    const Case cases[] = {
        { nullptr, 2, 2, 4, dst.data(), 2, 2 }, { src.data(), 2, 2, 4, nullptr, 2, 2 },
        { src.data(), 0, 2, 4, dst.data(), 2, 2 }, { src.data(), 2, -1, 4, dst.data(), 2, 2 },
        { src.data(), 2, 2, 0, dst.data(), 2, 2 }, { src.data(), 2, 2, 4, dst.data(), 0, 2 },
        { src.data(), 2, 2, 4, dst.data(), 2, 0 },
    };
    for (const auto& c : cases)
        EXPECT_FALSE (resampleImage (c.s, c.sw, c.sh, c.ch, c.d, c.dw, c.dh));
    EXPECT_EQ (dst, Bytes (16, 3));
    EXPECT_TRUE (resampleImage (src.data(), 2, 2, 4, 0, 2).empty());
}

}  // namespace
