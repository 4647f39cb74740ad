#include "editor/ResizedImage.h"

#include "resampler/ImageResampler.h"

#include <cstdint>
#include <cstring>
#include <vector>

juce::int64 resizedImageKey (const juce::String& keyText)
{
    // Unsigned arithmetic wraps by definition; the result is the same bit
    // pattern as the signed hash.
    std::uint64_t h = 0;
    for (auto p = keyText.getCharPointer(); ! p.isEmpty();)
        h = h * 101u + (std::uint64_t) p.getAndAdvance();
    return (juce::int64) h;
}

namespace
{

int channelsOf (juce::Image::PixelFormat format)
{
    switch (format)
    {
        case juce::Image::ARGB:          return 4;
        case juce::Image::RGB:           return 3;
        case juce::Image::SingleChannel: return 1;
        case juce::Image::UnknownFormat:
        default:                         return 0;
    }
}

// Copies one row of `count` pixels of `channels` bytes between layouts whose
// pixels are `dstStride` and `srcStride` bytes apart (an image's pixels may
// be padded, e.g. RGB kept in four bytes).
template <int channels>
void copyPixelsFixed (std::uint8_t* dst, int dstStride, const std::uint8_t* src, int srcStride, int count)
{
    for (int x = 0; x < count; ++x, dst += dstStride, src += srcStride)
        for (int c = 0; c < channels; ++c)
            dst[c] = src[c];
}

void copyPixels (std::uint8_t* dst, int dstStride, const std::uint8_t* src, int srcStride, int count, int channels)
{
    if (dstStride == channels && srcStride == channels)
        std::memcpy (dst, src, (std::size_t) count * (std::size_t) channels);
    else if (channels == 4)
        copyPixelsFixed<4> (dst, dstStride, src, srcStride, count);
    else if (channels == 3)
        copyPixelsFixed<3> (dst, dstStride, src, srcStride, count);
    else
        copyPixelsFixed<1> (dst, dstStride, src, srcStride, count);
}

// Copies the image's pixels into one contiguous buffer (rows may be padded in
// the image itself) and back.
std::vector<std::uint8_t> toBuffer (const juce::Image& image, int channels)
{
    const int w = image.getWidth(), h = image.getHeight();
    std::vector<std::uint8_t> buffer ((std::size_t) w * (std::size_t) h * (std::size_t) channels);
    const juce::Image::BitmapData data (image, juce::Image::BitmapData::readOnly);

    for (int y = 0; y < h; ++y)
    {
        auto* out = buffer.data() + (std::size_t) y * (std::size_t) w * (std::size_t) channels;
        const auto* line = data.getLinePointer (y);
        copyPixels (out, channels, line, data.pixelStride, w, channels);
    }
    return buffer;
}

void fromBuffer (const std::vector<std::uint8_t>& buffer, juce::Image::BitmapData& data, int w, int h, int channels)
{
    for (int y = 0; y < h; ++y)
    {
        const auto* in = buffer.data() + (std::size_t) y * (std::size_t) w * (std::size_t) channels;
        copyPixels (data.getLinePointer (y), data.pixelStride, in, channels, w, channels);
    }
}

bool isContiguous (const juce::Image::BitmapData& data, int channels)
{
    return data.pixelStride == channels && data.lineStride == data.width * channels;
}

}  // namespace

juce::Image getResizedImage (juce::int64 key, const juce::Image& source, int width, int height)
{
    if (width <= 0 || height <= 0 || ! source.isValid())
        return {};

    // A hit also marks the entry as used now, which restarts its timeout.
    auto cached = juce::ImageCache::getFromHashCode (key);
    if (cached.isValid() && cached.getWidth() == width)
        return cached;

    const int channels = channelsOf (source.getFormat());
    if (channels == 0)
        return {};

    juce::Image resized (source.getFormat(), width, height, true);

    // ARGB pixels are premultiplied; the alpha byte's position within a pixel
    // depends on the machine's byte order.
    nebulon::ResampleSettings settings;
    settings.alphaChannel = channels == 4 ? (int) juce::PixelARGB::indexA : nebulon::ResampleSettings::noAlpha;
    settings.premultiplied = true;

    // The resampler works on contiguous pixels. Software images usually are
    // (rows not padded, pixels not padded), and then their memory is used in
    // place: copying a 3840 x 3208 background costs more than rescaling it,
    // mostly in page faults of the fresh buffer.
    const juce::Image::BitmapData in (source, juce::Image::BitmapData::readOnly);
    std::vector<std::uint8_t> inCopy;
    const std::uint8_t* src = in.data;
    if (! isContiguous (in, channels))
    {
        inCopy = toBuffer (source, channels);
        src = inCopy.data();
    }

    {
        juce::Image::BitmapData out (resized, juce::Image::BitmapData::writeOnly);
        if (isContiguous (out, channels))
        {
            nebulon::resampleImage (src, source.getWidth(), source.getHeight(), channels, out.data, width, height, settings);
        }
        else
        {
            std::vector<std::uint8_t> outCopy ((std::size_t) width * (std::size_t) height * (std::size_t) channels);
            nebulon::resampleImage (src, source.getWidth(), source.getHeight(), channels, outCopy.data(), width, height,
                                    settings);
            fromBuffer (outCopy, out, width, height, channels);
        }
    }

    juce::ImageCache::addImageToCache (resized, key);
    return resized;
}
