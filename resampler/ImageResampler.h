#pragma once

// High-quality rescaling of 8-bit images with interleaved channels.
//
// The resampler is separable: every output pixel is a weighted sum of the
// source pixels under a windowed-sinc kernel, applied along rows and then
// along columns (or the other way round, whichever costs less). When
// shrinking, the kernel is stretched by the reduction factor so that it also
// acts as the anti-aliasing low-pass filter; when enlarging it interpolates.
//
// Buffers are contiguous: pixel (x, y) channel c lives at
// data[(y * width + x) * channels + c]. Plain C++, no framework dependency.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace nebulon
{

enum class ResampleFilter
{
    lanczos3,  // sinc windowed by sinc(x / 3), three lobes each side (default)
    lanczos2,  // two lobes: softer, less ringing at hard edges
};

struct ResampleSettings
{
    // Use the last channel of 2- and 4-channel pixels as alpha.
    static constexpr int autoAlpha = -2;
    // The image has no alpha channel; every channel is filtered alike.
    static constexpr int noAlpha = -1;

    ResampleFilter filter = ResampleFilter::lanczos3;

    // Index of the alpha channel within a pixel, or autoAlpha / noAlpha.
    int alphaChannel = autoAlpha;

    // True when the colour channels are already multiplied by alpha (the
    // usual in-memory format of ARGB images). Filtering is linear in
    // premultiplied space, so such pixels are filtered directly and only
    // clamped to stay valid (no colour above its alpha). Straight-alpha input
    // is premultiplied before filtering and divided back afterwards, so
    // transparent pixels cannot bleed their hidden colour into the result.
    bool premultiplied = true;

    // Threads for large images (bands of output rows; the result is the same
    // for any count). 0 chooses the machine's core count, at most 4; small
    // jobs always run on the calling thread alone.
    int maxThreads = 0;
};

// Whether the resampler may use the processor's wide vector instructions when
// it has them (the default). Switched off, the plain versions run everywhere,
// as on a processor without them; results agree within one level.
void setResamplerVectorInstructionsAllowed (bool allowed);

// Resamples src (srcWidth x srcHeight, `channels` bytes per pixel) into dst
// (dstWidth x dstHeight, same channel layout). dst must hold
// dstWidth * dstHeight * channels bytes. Values are rounded to the nearest
// level (ties to even) and clamped to 0..255. Returns false, writing nothing,
// when a size or the channel count is not positive or a pointer is null.
bool resampleImage (const std::uint8_t* src, int srcWidth, int srcHeight, int channels,
                    std::uint8_t* dst, int dstWidth, int dstHeight,
                    const ResampleSettings& settings = {});

// Convenience form returning a new buffer; empty on invalid arguments.
std::vector<std::uint8_t> resampleImage (const std::uint8_t* src, int srcWidth, int srcHeight, int channels,
                                         int dstWidth, int dstHeight,
                                         const ResampleSettings& settings = {});

// The filter kernel itself, exposed for tests: value at distance x (in
// source pixels of an unscaled kernel) from the sample centre.
double resampleKernel (ResampleFilter filter, double x);

// Radius of the kernel in unscaled source pixels (3 for lanczos3).
int resampleKernelRadius (ResampleFilter filter);

}  // namespace nebulon
