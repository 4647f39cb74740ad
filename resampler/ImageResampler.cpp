#include "resampler/ImageResampler.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <system_error>
#include <thread>

#if defined(__SSE2__)
 #include <emmintrin.h>
 #define NEBULON_RESAMPLER_SSE2 1
#endif

// The hot loops also exist as AVX2 + FMA versions, chosen at run time when the
// processor has them; the plain versions serve every other machine.
#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
 #include <immintrin.h>
 #define NEBULON_RESAMPLER_AVX2 1
 #define NEBULON_TARGET_AVX2 __attribute__ ((target ("avx2,fma")))
#endif

namespace nebulon
{

namespace
{

constexpr double pi = 3.14159265358979323846;

double sinc (double x)
{
    if (x == 0.0)
        return 1.0;
    x *= pi;
    return std::sin (x) / x;
}

// Filter taps of one axis. Every output sample uses the same number of taps
// (`taps`), starting at source index first[i]; unused taps carry weight 0.
// A uniform count keeps the inner loops free of per-sample bounds.
struct AxisWeights
{
    int taps = 0;
    std::vector<int> first;
    std::vector<float> weights;  // dstSize * taps

    // The same weights in fixed point (fixedOne is 1.0), `pairedTaps` per
    // sample: taps rounded up to an even count, the extra one of weight 0.
    // Each sample's fixed weights sum to exactly fixedOne.
    static constexpr int fixedBits = 14;
    static constexpr int fixedOne = 1 << fixedBits;
    int pairedTaps = 0;
    std::vector<std::int16_t> fixed;  // dstSize * pairedTaps

    const float* of (int i) const { return weights.data() + (std::size_t) i * (std::size_t) taps; }
    const std::int16_t* fixedOf (int i) const { return fixed.data() + (std::size_t) i * (std::size_t) pairedTaps; }
};

// Rounds each sample's weights to fixed point, then moves the rounding
// residue onto its largest weight so that the sum stays exactly one: flat
// areas stay exactly flat. The error per tap is at most 2^-15 of a weight,
// well below a hundredth of a level on 8-bit values.
void makeFixedWeights (AxisWeights& a, int dstSize)
{
    a.pairedTaps = (a.taps + 1) & ~1;
    a.fixed.assign ((std::size_t) dstSize * (std::size_t) a.pairedTaps, 0);

    for (int i = 0; i < dstSize; ++i)
    {
        const float* w = a.of (i);
        std::int16_t* q = a.fixed.data() + (std::size_t) i * (std::size_t) a.pairedTaps;
        int sum = 0, largest = 0;
        for (int k = 0; k < a.taps; ++k)
        {
            q[k] = (std::int16_t) std::lrint (w[k] * (float) AxisWeights::fixedOne);
            sum += q[k];
            if (std::abs (w[k]) > std::abs (w[largest]))
                largest = k;
        }
        q[largest] = (std::int16_t) (q[largest] + AxisWeights::fixedOne - sum);
    }
}

// The kernel at x0, x0 + step, ... (count values). The sines of the sinc and
// of its window advance by rotation instead of one library call each: the
// tables of a large image need hundreds of thousands of values, and the
// recurrence drifts by well under 1e-12 over one sample's taps.
void kernelValues (ResampleFilter filter, double x0, double step, int count, std::vector<double>& out)
{
    const double a = resampleKernelRadius (filter);
    out.resize ((std::size_t) std::max (0, count));
    double s1 = std::sin (pi * x0), c1 = std::cos (pi * x0);
    double s2 = std::sin (pi * x0 / a), c2 = std::cos (pi * x0 / a);
    const double ds1 = std::sin (pi * step), dc1 = std::cos (pi * step);
    const double ds2 = std::sin (pi * step / a), dc2 = std::cos (pi * step / a);

    for (int n = 0; n < count; ++n)
    {
        const double x = x0 + n * step;
        double v = 0.0;
        if (std::abs (x) < 1.0e-9)
            v = 1.0;
        else if (std::abs (x) < a)
            v = (s1 / (pi * x)) * (s2 * a / (pi * x));
        out[(std::size_t) n] = v;

        const double t1 = s1 * dc1 + c1 * ds1;
        c1 = c1 * dc1 - s1 * ds1;
        s1 = t1;
        const double t2 = s2 * dc2 + c2 * ds2;
        c2 = c2 * dc2 - s2 * ds2;
        s2 = t2;
    }
}

AxisWeights makeAxisWeights (int srcSize, int dstSize, ResampleFilter filter)
{
    const double scale = (double) srcSize / (double) dstSize;
    const double stretch = std::max (1.0, scale);
    const double radius = resampleKernelRadius (filter) * stretch;

    // Per output sample: the source indices and their weights. Taps beyond
    // the border are mirrored back into the image (about the border itself),
    // which continues textures and gradients more naturally than repeating
    // the edge pixel.
    auto mirror = [srcSize] (int j) {
        if (j < 0)
            j = -j - 1;
        if (j >= srcSize)
            j = 2 * srcSize - j - 1;
        return std::clamp (j, 0, srcSize - 1);
    };

    struct Tap { int index; double weight; };
    std::vector<std::vector<Tap>> all ((std::size_t) dstSize);
    std::vector<double> dense, values;
    int taps = 1;

    for (int i = 0; i < dstSize; ++i)
    {
        // Output sample i covers [i, i + 1) in its own pixels; its centre in
        // source pixel units, where source pixel j is centred at j + 0.5.
        const double centre = (i + 0.5) * scale;
        const int lo = (int) std::floor (centre - radius - 0.5);
        const int hi = (int) std::ceil (centre + radius - 0.5);

        kernelValues (filter, (lo + 0.5 - centre) / stretch, 1.0 / stretch, hi - lo + 1, values);

        int minIndex = srcSize, maxIndex = -1;
        for (int j = lo; j <= hi; ++j)
        {
            if (std::abs (values[(std::size_t) (j - lo)]) < 1.0e-9)
                continue;
            minIndex = std::min (minIndex, mirror (j));
            maxIndex = std::max (maxIndex, mirror (j));
        }

        auto& list = all[(std::size_t) i];
        double sum = 0.0;

        if (maxIndex >= minIndex)
        {
            dense.assign ((std::size_t) (maxIndex - minIndex + 1), 0.0);
            for (int j = lo; j <= hi; ++j)
            {
                const double w = values[(std::size_t) (j - lo)];
                if (std::abs (w) < 1.0e-9)
                    continue;
                dense[(std::size_t) (mirror (j) - minIndex)] += w;
                sum += w;
            }
            for (std::size_t k = 0; k < dense.size(); ++k)
                list.push_back ({ minIndex + (int) k, dense[k] });
        }

        if (list.empty() || std::abs (sum) < 1.0e-12)
        {
            list.assign (1, Tap { std::clamp ((int) centre, 0, srcSize - 1), 1.0 });
            sum = 1.0;
        }

        for (auto& t : list)
            t.weight /= sum;

        taps = std::max (taps, list.back().index - list.front().index + 1);
    }

    AxisWeights a;
    a.taps = taps;
    a.first.resize ((std::size_t) dstSize);
    a.weights.assign ((std::size_t) dstSize * (std::size_t) taps, 0.0f);

    for (int i = 0; i < dstSize; ++i)
    {
        const auto& list = all[(std::size_t) i];
        const int first = std::min (list.front().index, srcSize - taps);
        a.first[(std::size_t) i] = first;
        float* w = a.weights.data() + (std::size_t) i * (std::size_t) taps;
        for (const auto& t : list)
            w[t.index - first] += (float) t.weight;
    }

    makeFixedWeights (a, dstSize);
    return a;
}

// ---------------------------------------------------------------------------
// Inner loops. Rows inside the resampler hold `lanes` floats per pixel: four
// for images of up to four channels (unused lanes are zero), so one SIMD
// register holds one pixel, and the channel count itself otherwise.

// dst[x] = sum_k w[k] * rows[k][x] over n values.
void verticalFloat (const float* const* rows, const float* w, int taps, float* dst, int n)
{
    constexpr int block = 512;
    for (int x0 = 0; x0 < n; x0 += block)
    {
        const int len = std::min (block, n - x0);
        float* out = dst + x0;
        {
            const float w0 = w[0];
            const float* r = rows[0] + x0;
            for (int x = 0; x < len; ++x)
                out[x] = w0 * r[x];
        }
        for (int k = 1; k < taps; ++k)
        {
            const float wk = w[k];
            const float* r = rows[k] + x0;
            for (int x = 0; x < len; ++x)
                out[x] += wk * r[x];
        }
    }
}

// The vertical pass over 8-bit rows in fixed point: exact integer sums of
// value x weight, scaled to floats once at the end. `taps` is even (the
// paired count); rows[taps - 1] may repeat a row, its weight being 0.
// Computes values begin .. n - 1.
void verticalBytesFixed (const std::uint8_t* const* rows, const std::int16_t* w, int taps, float* dst, int n, int begin = 0)
{
    constexpr int block = 512;
    constexpr float scale = 1.0f / (float) AxisWeights::fixedOne;
    std::int32_t sum[block];
    for (int x0 = begin; x0 < n; x0 += block)
    {
        const int len = std::min (block, n - x0);
        std::fill (sum, sum + len, 0);
        for (int k = 0; k < taps; ++k)
        {
            const std::int32_t wk = w[k];
            const std::uint8_t* r = rows[k] + x0;
            for (int x = 0; x < len; ++x)
                sum[x] += wk * (std::int32_t) r[x];
        }
        for (int x = 0; x < len; ++x)
            dst[x0 + x] = (float) sum[x] * scale;
    }
}

// Horizontal filter over a row of four-lane pixels.
void horizontal4 (const float* src, const AxisWeights& wx, float* dst, int dstWidth)
{
    const int taps = wx.taps;
#if NEBULON_RESAMPLER_SSE2
    int i = 0;
    // Two output pixels at once: independent accumulator chains hide the
    // latency of the additions.
    for (; i + 1 < dstWidth; i += 2)
    {
        const float* s0 = src + 4 * wx.first[(std::size_t) i];
        const float* s1 = src + 4 * wx.first[(std::size_t) i + 1];
        const float* w0 = wx.of (i);
        const float* w1 = wx.of (i + 1);
        __m128 a0 = _mm_setzero_ps(), b0 = _mm_setzero_ps();
        __m128 a1 = _mm_setzero_ps(), b1 = _mm_setzero_ps();
        int k = 0;
        for (; k + 1 < taps; k += 2)
        {
            a0 = _mm_add_ps (a0, _mm_mul_ps (_mm_set1_ps (w0[k]), _mm_loadu_ps (s0 + 4 * k)));
            b0 = _mm_add_ps (b0, _mm_mul_ps (_mm_set1_ps (w0[k + 1]), _mm_loadu_ps (s0 + 4 * k + 4)));
            a1 = _mm_add_ps (a1, _mm_mul_ps (_mm_set1_ps (w1[k]), _mm_loadu_ps (s1 + 4 * k)));
            b1 = _mm_add_ps (b1, _mm_mul_ps (_mm_set1_ps (w1[k + 1]), _mm_loadu_ps (s1 + 4 * k + 4)));
        }
        if (k < taps)
        {
            a0 = _mm_add_ps (a0, _mm_mul_ps (_mm_set1_ps (w0[k]), _mm_loadu_ps (s0 + 4 * k)));
            a1 = _mm_add_ps (a1, _mm_mul_ps (_mm_set1_ps (w1[k]), _mm_loadu_ps (s1 + 4 * k)));
        }
        _mm_storeu_ps (dst + 4 * i, _mm_add_ps (a0, b0));
        _mm_storeu_ps (dst + 4 * i + 4, _mm_add_ps (a1, b1));
    }
    for (; i < dstWidth; ++i)
    {
        const float* s = src + 4 * wx.first[(std::size_t) i];
        const float* w = wx.of (i);
        __m128 a = _mm_setzero_ps();
        for (int k = 0; k < taps; ++k)
            a = _mm_add_ps (a, _mm_mul_ps (_mm_set1_ps (w[k]), _mm_loadu_ps (s + 4 * k)));
        _mm_storeu_ps (dst + 4 * i, a);
    }
#else
    for (int i = 0; i < dstWidth; ++i)
    {
        const float* s = src + 4 * wx.first[(std::size_t) i];
        const float* w = wx.of (i);
        float a[4] = { 0, 0, 0, 0 };
        for (int k = 0; k < taps; ++k)
            for (int c = 0; c < 4; ++c)
                a[c] += w[k] * s[4 * k + c];
        std::memcpy (dst + 4 * i, a, sizeof (a));
    }
#endif
}

// Horizontal filter for any lane count.
void horizontalGeneric (const float* src, int lanes, const AxisWeights& wx, float* dst, int dstWidth)
{
    const int taps = wx.taps;
    for (int i = 0; i < dstWidth; ++i)
    {
        const float* s = src + (std::size_t) lanes * (std::size_t) wx.first[(std::size_t) i];
        const float* w = wx.of (i);
        float* out = dst + (std::size_t) lanes * (std::size_t) i;
        for (int c = 0; c < lanes; ++c)
        {
            float a = 0.0f;
            for (int k = 0; k < taps; ++k)
                a += w[k] * s[(std::size_t) k * (std::size_t) lanes + (std::size_t) c];
            out[c] = a;
        }
    }
}

std::atomic<bool> vectorInstructionsAllowed { true };

#if NEBULON_RESAMPLER_AVX2
bool hasAvx2()
{
    static const bool has = __builtin_cpu_supports ("avx2") && __builtin_cpu_supports ("fma");
    return has && vectorInstructionsAllowed.load (std::memory_order_relaxed);
}

// Vertical passes with the accumulators of 32 values held in registers over
// all taps, so each tap costs one load, one conversion and one FMA per 8.
NEBULON_TARGET_AVX2
void verticalFloatAvx2 (const float* const* rows, const float* w, int taps, float* dst, int n)
{
    int x = 0;
    for (; x + 32 <= n; x += 32)
    {
        __m256 a0 = _mm256_setzero_ps(), a1 = _mm256_setzero_ps(), a2 = _mm256_setzero_ps(), a3 = _mm256_setzero_ps();
        for (int k = 0; k < taps; ++k)
        {
            const __m256 wk = _mm256_broadcast_ss (w + k);
            const float* r = rows[k] + x;
            a0 = _mm256_fmadd_ps (wk, _mm256_loadu_ps (r), a0);
            a1 = _mm256_fmadd_ps (wk, _mm256_loadu_ps (r + 8), a1);
            a2 = _mm256_fmadd_ps (wk, _mm256_loadu_ps (r + 16), a2);
            a3 = _mm256_fmadd_ps (wk, _mm256_loadu_ps (r + 24), a3);
        }
        _mm256_storeu_ps (dst + x, a0);
        _mm256_storeu_ps (dst + x + 8, a1);
        _mm256_storeu_ps (dst + x + 16, a2);
        _mm256_storeu_ps (dst + x + 24, a3);
    }
    for (; x < n; ++x)
    {
        float a = 0.0f;
        for (int k = 0; k < taps; ++k)
            a += w[k] * rows[k][x];
        dst[x] = a;
    }
}

// Fixed-point vertical pass, two rows per multiply-add: the bytes of rows k
// and k + 1 are interleaved and widened to 16 bits, so each 32-bit lane
// holds the pair (r_k[x], r_k+1[x]), and vpmaddwd with the weight pair gives
// w_k r_k[x] + w_k+1 r_k+1[x] exactly: 16 products per instruction, against
// 8 per FMA on converted floats.
NEBULON_TARGET_AVX2
inline __m256i pairProducts (__m128i interleaved, __m256i weightPair)
{
    return _mm256_madd_epi16 (_mm256_cvtepu8_epi16 (interleaved), weightPair);
}

NEBULON_TARGET_AVX2
void verticalBytesFixedAvx2 (const std::uint8_t* const* rows, const std::int16_t* w, int taps, float* dst, int n)
{
    const __m256 scale = _mm256_set1_ps (1.0f / (float) AxisWeights::fixedOne);
    int x = 0;
    for (; x + 32 <= n; x += 32)
    {
        __m256i a0 = _mm256_setzero_si256(), a1 = _mm256_setzero_si256(), a2 = _mm256_setzero_si256(), a3 = _mm256_setzero_si256();
        for (int k = 0; k < taps; k += 2)
        {
            const __m256i wk = _mm256_set1_epi32 ((std::int32_t) (std::uint16_t) w[k] | ((std::int32_t) w[k + 1] * 65536));
            const auto* r0 = reinterpret_cast<const __m128i*> (rows[k] + x);
            const auto* r1 = reinterpret_cast<const __m128i*> (rows[k + 1] + x);
            const __m128i p0 = _mm_loadu_si128 (r0), q0 = _mm_loadu_si128 (r1);
            const __m128i p1 = _mm_loadu_si128 (r0 + 1), q1 = _mm_loadu_si128 (r1 + 1);
            a0 = _mm256_add_epi32 (a0, pairProducts (_mm_unpacklo_epi8 (p0, q0), wk));
            a1 = _mm256_add_epi32 (a1, pairProducts (_mm_unpackhi_epi8 (p0, q0), wk));
            a2 = _mm256_add_epi32 (a2, pairProducts (_mm_unpacklo_epi8 (p1, q1), wk));
            a3 = _mm256_add_epi32 (a3, pairProducts (_mm_unpackhi_epi8 (p1, q1), wk));
        }
        _mm256_storeu_ps (dst + x, _mm256_mul_ps (_mm256_cvtepi32_ps (a0), scale));
        _mm256_storeu_ps (dst + x + 8, _mm256_mul_ps (_mm256_cvtepi32_ps (a1), scale));
        _mm256_storeu_ps (dst + x + 16, _mm256_mul_ps (_mm256_cvtepi32_ps (a2), scale));
        _mm256_storeu_ps (dst + x + 24, _mm256_mul_ps (_mm256_cvtepi32_ps (a3), scale));
    }
    // The rest with the same integer arithmetic: every value is exactly the
    // same sum wherever it falls relative to the blocks.
    verticalBytesFixed (rows, w, taps, dst, n, x);
}

// Horizontal pass over pixels `Stride` floats apart, two taps per 256-bit
// register: the pixel pair (k, k + 1) is multiplied by (w[k] x 4,
// w[k + 1] x 4), the weight vectors being spread from one 128-bit load of
// four weights. Output pixels have four lanes. With Stride 3 (RGB straight
// from the vertical pass, saving a copy into four-lane pixels) each load
// takes the next pixel's first value as a fourth lane; that lane of the
// output is meaningless and never stored, and the row needs one readable
// float past its end.
template <int Stride>
NEBULON_TARGET_AVX2
inline __m256 loadPixelPair (const float* p)
{
    if constexpr (Stride == 4)
        return _mm256_loadu_ps (p);
    else
        return _mm256_loadu2_m128 (p + Stride, p);
}

template <int Stride>
NEBULON_TARGET_AVX2
void horizontalAvx2 (const float* src, const AxisWeights& wx, float* dst, int dstWidth)
{
    const int taps = wx.taps;
    const __m256i spread01 = _mm256_setr_epi32 (0, 0, 0, 0, 1, 1, 1, 1);
    const __m256i spread23 = _mm256_setr_epi32 (2, 2, 2, 2, 3, 3, 3, 3);

    for (int i = 0; i < dstWidth; ++i)
    {
        const float* s = src + Stride * wx.first[(std::size_t) i];
        const float* w = wx.of (i);
        __m256 a = _mm256_setzero_ps(), b = _mm256_setzero_ps();
        int k = 0;
        for (; k + 4 <= taps; k += 4)
        {
            const __m256 w4 = _mm256_broadcast_ps (reinterpret_cast<const __m128*> (w + k));
            a = _mm256_fmadd_ps (_mm256_permutevar_ps (w4, spread01), loadPixelPair<Stride> (s + Stride * k), a);
            b = _mm256_fmadd_ps (_mm256_permutevar_ps (w4, spread23), loadPixelPair<Stride> (s + Stride * k + 2 * Stride), b);
        }
        a = _mm256_add_ps (a, b);
        __m128 r = _mm_add_ps (_mm256_castps256_ps128 (a), _mm256_extractf128_ps (a, 1));
        for (; k < taps; ++k)
            r = _mm_fmadd_ps (_mm_set1_ps (w[k]), _mm_loadu_ps (s + Stride * k), r);
        _mm_storeu_ps (dst + 4 * i, r);
    }
}
#endif

// True when the horizontal pass can read three-float pixels directly.
bool readsThreeFloatPixels()
{
#if NEBULON_RESAMPLER_AVX2
    return hasAvx2();
#else
    return false;
#endif
}

void verticalF (const float* const* rows, const float* w, int taps, float* dst, int n)
{
#if NEBULON_RESAMPLER_AVX2
    if (hasAvx2())
        return verticalFloatAvx2 (rows, w, taps, dst, n);
#endif
    verticalFloat (rows, w, taps, dst, n);
}

void verticalB (const std::uint8_t* const* rows, const std::int16_t* w, int taps, float* dst, int n)
{
#if NEBULON_RESAMPLER_AVX2
    if (hasAvx2())
        return verticalBytesFixedAvx2 (rows, w, taps, dst, n);
#endif
    verticalBytesFixed (rows, w, taps, dst, n);
}

void horizontal (const float* src, int lanes, const AxisWeights& wx, float* dst, int dstWidth)
{
    if (lanes != 4)
        return horizontalGeneric (src, lanes, wx, dst, dstWidth);
#if NEBULON_RESAMPLER_AVX2
    if (hasAvx2())
        return horizontalAvx2<4> (src, wx, dst, dstWidth);
#endif
    horizontal4 (src, wx, dst, dstWidth);
}

// Horizontal pass over three-float pixels into four-lane ones (see
// horizontalAvx2); only where readsThreeFloatPixels().
void horizontalFromThree (const float* src, const AxisWeights& wx, float* dst, int dstWidth)
{
#if NEBULON_RESAMPLER_AVX2
    horizontalAvx2<3> (src, wx, dst, dstWidth);
#else
    (void) src, (void) wx, (void) dst, (void) dstWidth;
#endif
}

inline std::uint8_t toByte (float v)
{
    // Round to nearest, ties to even (the default rounding mode): no bias
    // towards either side. Then clamp to 0..255.
#if NEBULON_RESAMPLER_SSE2
    const int r = _mm_cvtss_si32 (_mm_set_ss (v));
#else
    const long r = std::lrint (v);
#endif
    return (std::uint8_t) (r < 0 ? 0 : (r > 255 ? 255 : r));
}

// Everything a resampling run needs besides the buffers.
struct Job
{
    const std::uint8_t* src;
    int srcWidth, srcHeight, channels;
    std::uint8_t* dst;
    int dstWidth, dstHeight;
    int lanes;
    int alpha;           // alpha channel index or -1
    bool straightAlpha;  // input colours are not premultiplied
    AxisWeights wx, wy;
};

// Source row -> `lanes` floats per pixel, premultiplying straight alpha.
void expandRow (const Job& job, const std::uint8_t* in, float* out)
{
    const int c = job.channels, lanes = job.lanes, w = job.srcWidth;

    if (c == lanes && ! job.straightAlpha)
    {
        const int n = w * c;
        for (int x = 0; x < n; ++x)
            out[x] = (float) in[x];
        return;
    }

    for (int x = 0; x < w; ++x)
    {
        const std::uint8_t* p = in + (std::size_t) x * (std::size_t) c;
        float* q = out + (std::size_t) x * (std::size_t) lanes;
        const float scale = job.straightAlpha ? (float) p[job.alpha] / 255.0f : 1.0f;
        for (int k = 0; k < c; ++k)
            q[k] = k == job.alpha ? (float) p[k] : (float) p[k] * scale;
        for (int k = c; k < lanes; ++k)
            q[k] = 0.0f;
    }
}

#if NEBULON_RESAMPLER_SSE2
// Four-lane pixels -> C bytes each. Conversion in the default rounding mode
// (nearest, ties to even); the two packs saturate to 0..255. C is a constant
// so that the copy of C bytes is a plain store, not a library call.
template <int C>
void storeFourLanes (const float* in, std::uint8_t* out, int width)
{
    for (int x = 0; x < width; ++x)
    {
        __m128i v = _mm_cvtps_epi32 (_mm_loadu_ps (in + 4 * x));
        v = _mm_packs_epi32 (v, v);
        v = _mm_packus_epi16 (v, v);
        const int bits = _mm_cvtsi128_si32 (v);
        std::memcpy (out + (std::size_t) x * C, &bits, C);
    }
}
#endif

// Filtered row (`lanes` floats per pixel) -> output bytes.
void storeRow (const Job& job, const float* in, std::uint8_t* out)
{
    const int c = job.channels, lanes = job.lanes, w = job.dstWidth;

#if NEBULON_RESAMPLER_SSE2
    if (lanes == 4)
    {
        switch (c)
        {
            case 1: storeFourLanes<1> (in, out, w); break;
            case 2: storeFourLanes<2> (in, out, w); break;
            case 3: storeFourLanes<3> (in, out, w); break;
            default: storeFourLanes<4> (in, out, w); break;
        }
    }
    else
#endif
    {
        for (int x = 0; x < w; ++x)
        {
            const float* p = in + (std::size_t) x * (std::size_t) lanes;
            std::uint8_t* q = out + (std::size_t) x * (std::size_t) c;
            for (int k = 0; k < c; ++k)
                q[k] = toByte (p[k]);
        }
    }

    if (job.alpha < 0)
        return;

    for (int x = 0; x < w; ++x)
    {
        std::uint8_t* q = out + (std::size_t) x * (std::size_t) c;
        const std::uint8_t a = q[job.alpha];

        if (job.straightAlpha)
        {
            // Back from premultiplied: divide by the filtered alpha, taken
            // from the unrounded value so that faint pixels keep their hue.
            const float af = in[(std::size_t) x * (std::size_t) lanes + (std::size_t) job.alpha];
            for (int k = 0; k < c; ++k)
                if (k != job.alpha)
                    q[k] = (a == 0 || af <= 0.0f) ? 0 : toByte (in[(std::size_t) x * (std::size_t) lanes + (std::size_t) k] * 255.0f / af);
        }
        else
        {
            // Ringing can push a colour above its alpha, which is not a valid
            // premultiplied pixel and would brighten when composited.
            for (int k = 0; k < c; ++k)
                if (k != job.alpha && q[k] > a)
                    q[k] = a;
        }
    }
}

// Rows first: each source row is filtered horizontally once, into a ring of
// the rows that the current output row needs, then the ring is combined
// vertically. Used when the horizontal pass is the cheaper one to run on
// full-height data, and whenever alpha has to be premultiplied first.
void runRowsFirst (const Job& job, int yBegin, int yEnd)
{
    const int lanes = job.lanes;
    const std::size_t rowValues = (std::size_t) job.dstWidth * (std::size_t) lanes;
    const int ringSize = job.wy.taps;

    std::vector<float> ring ((std::size_t) ringSize * rowValues);
    std::vector<int> ringRow ((std::size_t) ringSize, -1);
    std::vector<float> expanded ((std::size_t) job.srcWidth * (std::size_t) lanes);
    std::vector<float> out (rowValues);
    std::vector<const float*> rows ((std::size_t) ringSize);
    const std::size_t srcStride = (std::size_t) job.srcWidth * (std::size_t) job.channels;
    const std::size_t dstStride = (std::size_t) job.dstWidth * (std::size_t) job.channels;

    for (int y = yBegin; y < yEnd; ++y)
    {
        const int first = job.wy.first[(std::size_t) y];
        for (int k = 0; k < ringSize; ++k)
        {
            const int r = first + k;
            const int slot = r % ringSize;
            float* slotData = ring.data() + (std::size_t) slot * rowValues;
            if (ringRow[(std::size_t) slot] != r)
            {
                expandRow (job, job.src + (std::size_t) r * srcStride, expanded.data());
                horizontal (expanded.data(), lanes, job.wx, slotData, job.dstWidth);
                ringRow[(std::size_t) slot] = r;
            }
            rows[(std::size_t) k] = slotData;
        }

        verticalF (rows.data(), job.wy.of (y), ringSize, out.data(), (int) rowValues);
        storeRow (job, out.data(), job.dst + (std::size_t) y * dstStride);
    }
}

// Pixels of C floats -> four floats each, the unused lanes zero. The channel
// count is a constant here so that the copy compiles to a few moves per pixel
// rather than a loop.
template <int C>
void padPixels (const float* in, float* out, int width)
{
    for (int x = 0; x < width; ++x)
    {
        const float* p = in + (std::size_t) x * C;
        float* q = out + (std::size_t) x * 4;
        for (int k = 0; k < 4; ++k)
            q[k] = k < C ? p[k] : 0.0f;
    }
}

void padToFourLanes (const float* in, int channels, float* out, int width)
{
    switch (channels)
    {
        case 1: return padPixels<1> (in, out, width);
        case 2: return padPixels<2> (in, out, width);
        default: return padPixels<3> (in, out, width);
    }
}

// Columns first: each output row is a weighted sum of source rows, straight
// from the 8-bit data, then filtered horizontally.
void runColumnsFirst (const Job& job, int yBegin, int yEnd)
{
    const int lanes = job.lanes, c = job.channels;
    const std::size_t srcStride = (std::size_t) job.srcWidth * (std::size_t) c;
    const std::size_t dstStride = (std::size_t) job.dstWidth * (std::size_t) c;

    // RGB rows go straight to the horizontal pass where it can read them
    // (one float of slack at the end), others are padded to four lanes.
    const bool fromThree = c == 3 && lanes == 4 && readsThreeFloatPixels();
    std::vector<float> column (srcStride + 1);
    std::vector<float> padded (lanes == c || fromThree ? 0 : (std::size_t) job.srcWidth * (std::size_t) lanes);
    std::vector<float> out ((std::size_t) job.dstWidth * (std::size_t) lanes);
    const int taps = job.wy.pairedTaps;
    std::vector<const std::uint8_t*> rows ((std::size_t) taps);

    for (int y = yBegin; y < yEnd; ++y)
    {
        // The padding tap (weight 0) reads the last real row again.
        const int first = job.wy.first[(std::size_t) y];
        for (int k = 0; k < taps; ++k)
            rows[(std::size_t) k] = job.src + (std::size_t) (first + std::min (k, job.wy.taps - 1)) * srcStride;

        verticalB (rows.data(), job.wy.fixedOf (y), taps, column.data(), (int) srcStride);

        if (fromThree)
        {
            horizontalFromThree (column.data(), job.wx, out.data(), job.dstWidth);
        }
        else
        {
            const float* line = column.data();
            if (lanes != c)
            {
                padToFourLanes (column.data(), c, padded.data(), job.srcWidth);
                line = padded.data();
            }
            horizontal (line, lanes, job.wx, out.data(), job.dstWidth);
        }
        storeRow (job, out.data(), job.dst + (std::size_t) y * dstStride);
    }
}

#if NEBULON_RESAMPLER_AVX2
// ---------------------------------------------------------------------------
// Columns first in groups of eight output rows (AVX2 machines).
//
// A horizontal weight applies alike to every row, so the horizontal pass runs
// on eight rows at once: after the vertical pass the eight rows are
// transposed, value by value, into vectors of eight (one value of each
// row), and each tap is then one broadcast weight times one such vector per
// channel, with no shuffling of channels. Every row's arithmetic is the same
// whichever group and lane it falls in, so bands and thread counts do not
// change the result.

constexpr int groupRows = 8;

// Transposes an 8 x 8 block of floats.
NEBULON_TARGET_AVX2
inline void transpose8x8 (const float* src, std::size_t srcStride, float* dst, std::size_t dstStride)
{
    __m256 r[8], t[8];
    for (int k = 0; k < 8; ++k)
        r[k] = _mm256_loadu_ps (src + (std::size_t) k * srcStride);
    for (int k = 0; k < 8; k += 2)
    {
        t[k] = _mm256_unpacklo_ps (r[k], r[k + 1]);
        t[k + 1] = _mm256_unpackhi_ps (r[k], r[k + 1]);
    }
    for (int k = 0; k < 8; k += 4)
    {
        r[k] = _mm256_shuffle_ps (t[k], t[k + 2], 0x44);
        r[k + 1] = _mm256_shuffle_ps (t[k], t[k + 2], 0xee);
        r[k + 2] = _mm256_shuffle_ps (t[k + 1], t[k + 3], 0x44);
        r[k + 3] = _mm256_shuffle_ps (t[k + 1], t[k + 3], 0xee);
    }
    for (int k = 0; k < 4; ++k)
    {
        _mm256_storeu_ps (dst + (std::size_t) k * dstStride, _mm256_permute2f128_ps (r[k], r[k + 4], 0x20));
        _mm256_storeu_ps (dst + (std::size_t) (k + 4) * dstStride, _mm256_permute2f128_ps (r[k], r[k + 4], 0x31));
    }
}

// rows: 8 rows of n floats, `stride` apart -> out[v * 8 + j] = rows[j][v].
NEBULON_TARGET_AVX2
void interleaveRows (const float* rows, std::size_t stride, int n, float* out)
{
    int v = 0;
    for (; v + 8 <= n; v += 8)
        transpose8x8 (rows + v, stride, out + (std::size_t) v * groupRows, groupRows);
    for (; v < n; ++v)
        for (int j = 0; j < groupRows; ++j)
            out[(std::size_t) v * groupRows + (std::size_t) j] = rows[(std::size_t) j * stride + (std::size_t) v];
}

// The inverse: in[v * 8 + j] -> rows[j][v].
NEBULON_TARGET_AVX2
void deinterleaveRows (const float* in, int n, float* rows, std::size_t stride)
{
    int v = 0;
    for (; v + 8 <= n; v += 8)
        transpose8x8 (in + (std::size_t) v * groupRows, groupRows, rows + v, stride);
    for (; v < n; ++v)
        for (int j = 0; j < groupRows; ++j)
            rows[(std::size_t) j * stride + (std::size_t) v] = in[(std::size_t) v * groupRows + (std::size_t) j];
}

// Horizontal pass over interleaved rows: src holds pixels of C channels,
// each channel a vector of the eight rows. Even and odd taps go to separate
// accumulators to shorten the chains of dependent additions.
template <int C>
NEBULON_TARGET_AVX2
void horizontalGroupFixed (const float* src, const AxisWeights& wx, float* dst, int dstWidth)
{
    const int taps = wx.taps;
    for (int i = 0; i < dstWidth; ++i)
    {
        const float* s = src + (std::size_t) wx.first[(std::size_t) i] * C * groupRows;
        const float* w = wx.of (i);
        __m256 even[C], odd[C];
        for (int c = 0; c < C; ++c)
            even[c] = odd[c] = _mm256_setzero_ps();
        int k = 0;
        for (; k + 2 <= taps; k += 2)
        {
            const __m256 w0 = _mm256_broadcast_ss (w + k), w1 = _mm256_broadcast_ss (w + k + 1);
            const float* p = s + (std::size_t) k * C * groupRows;
            for (int c = 0; c < C; ++c)
            {
                even[c] = _mm256_fmadd_ps (w0, _mm256_loadu_ps (p + c * groupRows), even[c]);
                odd[c] = _mm256_fmadd_ps (w1, _mm256_loadu_ps (p + (C + c) * groupRows), odd[c]);
            }
        }
        if (k < taps)
        {
            const __m256 w0 = _mm256_broadcast_ss (w + k);
            const float* p = s + (std::size_t) k * C * groupRows;
            for (int c = 0; c < C; ++c)
                even[c] = _mm256_fmadd_ps (w0, _mm256_loadu_ps (p + c * groupRows), even[c]);
        }
        for (int c = 0; c < C; ++c)
            _mm256_storeu_ps (dst + ((std::size_t) i * C + (std::size_t) c) * groupRows, _mm256_add_ps (even[c], odd[c]));
    }
}

// Any channel count: one channel at a time.
NEBULON_TARGET_AVX2
void horizontalGroupAny (const float* src, int channels, const AxisWeights& wx, float* dst, int dstWidth)
{
    const int taps = wx.taps;
    const std::size_t pixel = (std::size_t) channels * groupRows;
    for (int i = 0; i < dstWidth; ++i)
    {
        const float* s = src + (std::size_t) wx.first[(std::size_t) i] * pixel;
        const float* w = wx.of (i);
        for (int c = 0; c < channels; ++c)
        {
            __m256 a = _mm256_setzero_ps();
            for (int k = 0; k < taps; ++k)
                a = _mm256_fmadd_ps (_mm256_broadcast_ss (w + k), _mm256_loadu_ps (s + (std::size_t) k * pixel + (std::size_t) c * groupRows), a);
            _mm256_storeu_ps (dst + ((std::size_t) i * (std::size_t) channels + (std::size_t) c) * groupRows, a);
        }
    }
}

void horizontalGroup (const float* src, int channels, const AxisWeights& wx, float* dst, int dstWidth)
{
    switch (channels)
    {
        case 1: return horizontalGroupFixed<1> (src, wx, dst, dstWidth);
        case 2: return horizontalGroupFixed<2> (src, wx, dst, dstWidth);
        case 3: return horizontalGroupFixed<3> (src, wx, dst, dstWidth);
        case 4: return horizontalGroupFixed<4> (src, wx, dst, dstWidth);
        default: return horizontalGroupAny (src, channels, wx, dst, dstWidth);
    }
}

// n floats -> bytes, rounded to nearest (ties to even) and saturated to
// 0..255 by the packs; 32 at a time, the rest one by one.
NEBULON_TARGET_AVX2
void floatsToBytes (const float* in, std::uint8_t* out, int n)
{
    const __m256i order = _mm256_setr_epi32 (0, 4, 1, 5, 2, 6, 3, 7);
    int x = 0;
    for (; x + 32 <= n; x += 32)
    {
        const __m256i a = _mm256_cvtps_epi32 (_mm256_loadu_ps (in + x));
        const __m256i b = _mm256_cvtps_epi32 (_mm256_loadu_ps (in + x + 8));
        const __m256i c = _mm256_cvtps_epi32 (_mm256_loadu_ps (in + x + 16));
        const __m256i d = _mm256_cvtps_epi32 (_mm256_loadu_ps (in + x + 24));
        // The packs work within 128-bit halves; the permutation puts the
        // four-byte groups back in order.
        const __m256i bytes = _mm256_packus_epi16 (_mm256_packs_epi32 (a, b), _mm256_packs_epi32 (c, d));
        _mm256_storeu_si256 (reinterpret_cast<__m256i*> (out + x), _mm256_permutevar8x32_epi32 (bytes, order));
    }
    for (; x < n; ++x)
        out[x] = toByte (in[x]);
}

// Premultiplied pixels: ringing can push a colour above its alpha, which is
// not a valid premultiplied pixel and would brighten when composited.
void clampToAlpha (const Job& job, std::uint8_t* row)
{
    const int c = job.channels;
    for (int x = 0; x < job.dstWidth; ++x)
    {
        std::uint8_t* q = row + (std::size_t) x * (std::size_t) c;
        const std::uint8_t a = q[job.alpha];
        for (int k = 0; k < c; ++k)
            if (k != job.alpha && q[k] > a)
                q[k] = a;
    }
}

void runColumnsFirstGrouped (const Job& job, int yBegin, int yEnd)
{
    const int c = job.channels;
    const int srcValues = job.srcWidth * c, dstValues = job.dstWidth * c;
    const std::size_t columnStride = (std::size_t) srcValues + 8;
    const int taps = job.wy.pairedTaps;

    std::vector<float> columns (columnStride * groupRows);
    std::vector<float> interleaved ((std::size_t) srcValues * groupRows);
    std::vector<float> filtered ((std::size_t) dstValues * groupRows);
    std::vector<float> rowsOut ((std::size_t) dstValues * groupRows);
    std::vector<const std::uint8_t*> rows ((std::size_t) taps);
    const std::size_t srcStride = (std::size_t) srcValues, dstStride = (std::size_t) dstValues;

    for (int y0 = yBegin; y0 < yEnd; y0 += groupRows)
    {
        // A last, partial group repeats its last row in the unused lanes.
        const int count = std::min (groupRows, yEnd - y0);
        for (int j = 0; j < groupRows; ++j)
        {
            const int y = y0 + std::min (j, count - 1);
            const int first = job.wy.first[(std::size_t) y];
            // The padding tap (weight 0) reads the last real row again.
            for (int k = 0; k < taps; ++k)
                rows[(std::size_t) k] = job.src + (std::size_t) (first + std::min (k, job.wy.taps - 1)) * srcStride;
            verticalB (rows.data(), job.wy.fixedOf (y), taps, columns.data() + (std::size_t) j * columnStride, srcValues);
        }

        interleaveRows (columns.data(), columnStride, srcValues, interleaved.data());
        horizontalGroup (interleaved.data(), c, job.wx, filtered.data(), job.dstWidth);
        deinterleaveRows (filtered.data(), dstValues, rowsOut.data(), dstStride);

        for (int j = 0; j < count; ++j)
        {
            std::uint8_t* out = job.dst + (std::size_t) (y0 + j) * dstStride;
            floatsToBytes (rowsOut.data() + (std::size_t) j * dstStride, out, dstValues);
            if (job.alpha >= 0)
                clampToAlpha (job, out);
        }
    }
}
#endif

// Columns first, by the fastest means the machine has.
void runColumnsFirstBest (const Job& job, int yBegin, int yEnd)
{
#if NEBULON_RESAMPLER_AVX2
    if (hasAvx2())
        return runColumnsFirstGrouped (job, yBegin, yEnd);
#endif
    runColumnsFirst (job, yBegin, yEnd);
}

}  // namespace

double resampleKernel (ResampleFilter filter, double x)
{
    const double a = resampleKernelRadius (filter);
    x = std::abs (x);
    if (x >= a)
        return 0.0;
    return sinc (x) * sinc (x / a);
}

int resampleKernelRadius (ResampleFilter filter)
{
    return filter == ResampleFilter::lanczos2 ? 2 : 3;
}

bool resampleImage (const std::uint8_t* src, int srcWidth, int srcHeight, int channels,
                    std::uint8_t* dst, int dstWidth, int dstHeight,
                    const ResampleSettings& settings)
{
    if (src == nullptr || dst == nullptr || srcWidth <= 0 || srcHeight <= 0 || channels <= 0
        || dstWidth <= 0 || dstHeight <= 0)
        return false;

    int alpha = settings.alphaChannel;
    if (alpha == ResampleSettings::autoAlpha)
        alpha = (channels == 2 || channels == 4) ? channels - 1 : -1;
    if (alpha >= channels)
        alpha = -1;

    if (srcWidth == dstWidth && srcHeight == dstHeight)
    {
        std::memcpy (dst, src, (std::size_t) srcWidth * (std::size_t) srcHeight * (std::size_t) channels);
        return true;
    }

    Job job { src, srcWidth, srcHeight, channels, dst, dstWidth, dstHeight,
              channels <= 4 ? 4 : channels, alpha < 0 ? -1 : alpha,
              alpha >= 0 && ! settings.premultiplied, {}, {} };
    job.wx = makeAxisWeights (srcWidth, dstWidth, settings.filter);
    job.wy = makeAxisWeights (srcHeight, dstHeight, settings.filter);

    // Work of the two orders in multiply-adds; the vertical pass over 8-bit
    // rows touches only the real channels, the horizontal one all lanes.
    const double lanes = job.lanes;
    const double horizontalOut = (double) dstWidth * job.wx.taps * lanes;
    const double rowsFirst = (double) srcHeight * horizontalOut
                           + (double) dstHeight * dstWidth * lanes * job.wy.taps;
    const double columnsFirst = (double) dstHeight * srcWidth * channels * job.wy.taps
                              + (double) dstHeight * horizontalOut;

    const bool byRows = job.straightAlpha || rowsFirst < columnsFirst;
    const double work = std::min (rowsFirst, columnsFirst);

    // Large jobs are split into bands of output rows, one per thread. Every
    // output row depends only on the source, so the result does not depend
    // on the split.
    int threads = settings.maxThreads > 0 ? settings.maxThreads
                                          : (int) std::min (4u, std::max (1u, std::thread::hardware_concurrency()));
    if (work < 2.0e7)
        threads = 1;
    threads = std::max (1, std::min (threads, dstHeight / 16));

    auto runBand = [&job, byRows] (int yBegin, int yEnd) {
        if (byRows)
            runRowsFirst (job, yBegin, yEnd);
        else
            runColumnsFirstBest (job, yBegin, yEnd);
    };

    std::vector<std::thread> helpers;
    for (int t = 1; t < threads; ++t)
    {
        try
        {
            helpers.emplace_back (runBand, dstHeight * t / threads, dstHeight * (t + 1) / threads);
        }
        catch (const std::system_error&)
        {
            // No thread to be had: this thread does the band itself.
            runBand (dstHeight * t / threads, dstHeight * (t + 1) / threads);
        }
    }
    runBand (0, dstHeight / threads);
    for (auto& h : helpers)
        h.join();

    return true;
}

std::vector<std::uint8_t> resampleImage (const std::uint8_t* src, int srcWidth, int srcHeight, int channels,
                                         int dstWidth, int dstHeight, const ResampleSettings& settings)
{
    if (dstWidth <= 0 || dstHeight <= 0 || channels <= 0)
        return {};

    std::vector<std::uint8_t> out ((std::size_t) dstWidth * (std::size_t) dstHeight * (std::size_t) channels);
    if (! resampleImage (src, srcWidth, srcHeight, channels, out.data(), dstWidth, dstHeight, settings))
        return {};
    return out;
}

void setResamplerVectorInstructionsAllowed (bool allowed)
{
    vectorInstructionsAllowed.store (allowed);
}

}  // namespace nebulon
