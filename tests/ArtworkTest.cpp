// The embedded artwork (every resource number with its format and size) and
// the rescaling cache that the editor draws bitmaps through.

#include "editor/ArtworkResources.h"
#include "editor/ResizedImage.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <set>

namespace
{

using ArtworkResources::Format;

struct Expected
{
    Format format;
    double width, height;
};

void addRange (std::map<int, Expected>& m, int first, int last, Expected e)
{
    for (int i = first; i <= last; ++i)
        m[i] = e;
}

// The resources the editor looks up, by number.
std::map<int, Expected> expectedResources()
{
    std::map<int, Expected> m;
    m[14] = { Format::jpeg, 3840, 3208 };
    m[17] = { Format::jpeg, 3840, 858 };
    m[144] = { Format::svg, 123.4, 36.6 };
    addRange (m, 122, 123, { Format::png, 940, 940 });
    addRange (m, 124, 125, { Format::png, 725, 725 });
    addRange (m, 101, 121, { Format::svg, 46.57349, 49.96114 });
    addRange (m, 19, 45, { Format::png, 512, 512 });
    addRange (m, 126, 141, { Format::png, 512, 512 });
    m[94] = { Format::png, 512, 512 };
    addRange (m, 152, 156, { Format::png, 425, 425 });
    addRange (m, 175, 180, { Format::png, 505, 321 });
    for (int i : { 46, 47, 49, 50, 51, 53, 54, 55, 57, 58, 59, 61 })
        m[i] = { Format::svg, 6.34, 6.49 };
    addRange (m, 88, 91, { Format::svg, 6.34, 6.49 });
    addRange (m, 97, 99, { Format::svg, 6.34, 6.49 });
    m[63] = { Format::svg, 21.04, 11.4 };
    m[66] = { Format::svg, 170.1, 65.2 };
    m[69] = { Format::svg, 498.9, 71.9 };
    addRange (m, 82, 87, { Format::svg, 382.7, 70 });
    for (int i : { 162, 163, 164, 165, 167, 168 })
        m[i] = { Format::svg, 121, 77 };
    addRange (m, 187, 246, { Format::svg, 141.73, 141.73 });
    for (int i : { 92, 93, 95, 96 })
        m[i] = { Format::svg, 14.17, 10.23 };
    return m;
}

TEST (Artwork, EveryResourceExistsAndNoOther)
{
    const auto expected = expectedResources();
    ASSERT_EQ (expected.size(), 181u);

    std::set<int> present;
    for (const auto& r : ArtworkResources::all())
        present.insert (r.number);

    std::set<int> wanted;
    for (const auto& [number, e] : expected)
        wanted.insert (number);

    EXPECT_EQ (present, wanted);
    EXPECT_EQ (ArtworkResources::all().size(), 181u);  // no number twice
}

TEST (Artwork, EveryResourceHasItsFormatAndSize)
{
    int counts[3] = {};
    for (const auto& [number, e] : expectedResources())
    {
        SCOPED_TRACE (number);
        const auto* r = ArtworkResources::find (number);
        ASSERT_NE (r, nullptr);
        ASSERT_EQ (r->format, e.format) << r->fileName;
        ++counts[(int) r->format];

        if (e.format == Format::svg)
        {
            const auto xml = juce::parseXML (juce::String::fromUTF8 (r->data, r->size));
            ASSERT_NE (xml, nullptr);
            ASSERT_TRUE (xml->hasTagName ("svg"));
            const auto box = juce::StringArray::fromTokens (xml->getStringAttribute ("viewBox"), " ,", "");
            ASSERT_EQ (box.size(), 4);
            EXPECT_EQ (box[0].getDoubleValue(), 0.0);
            EXPECT_EQ (box[1].getDoubleValue(), 0.0);
            EXPECT_NEAR (box[2].getDoubleValue(), e.width, 1e-6);
            EXPECT_NEAR (box[3].getDoubleValue(), e.height, 1e-6);

            const auto drawable = ArtworkResources::loadDrawable (number);
            ASSERT_NE (drawable, nullptr);
            EXPECT_FALSE (drawable->getDrawableBounds().isEmpty());
        }
        else
        {
            const auto image = ArtworkResources::loadImage (number);
            ASSERT_TRUE (image.isValid());
            EXPECT_EQ (image.getWidth(), (int) e.width);
            EXPECT_EQ (image.getHeight(), (int) e.height);
            // Backgrounds are opaque photographs; every PNG is drawn over
            // something and needs its transparency.
            EXPECT_EQ (image.hasAlphaChannel(), e.format == Format::png);
        }
    }
    EXPECT_EQ (counts[(int) Format::jpeg], 2);
    EXPECT_EQ (counts[(int) Format::png], 59);
    EXPECT_EQ (counts[(int) Format::svg], 120);
}

TEST (Artwork, LookupsOfTheWrongKindOrUnknownNumbersGiveNothing)
{
    EXPECT_EQ (ArtworkResources::find (0), nullptr);
    EXPECT_EQ (ArtworkResources::find (48), nullptr);  // a gap in the Nimbus numbers
    EXPECT_EQ (ArtworkResources::find (1000), nullptr);
    EXPECT_FALSE (ArtworkResources::loadImage (144).isValid());  // an SVG
    EXPECT_FALSE (ArtworkResources::loadImage (48).isValid());
    EXPECT_EQ (ArtworkResources::loadDrawable (124), nullptr);   // a PNG
    EXPECT_EQ (ArtworkResources::loadDrawable (1000), nullptr);
}

// ---------------------------------------------------------------------------

TEST (ResizedImageKey, FollowsTheHashRule)
{
    struct Case { const char* utf8; juce::int64 expected; };
    // Values computed independently: h = h * 101 + code point, mod 2^64.
    const Case cases[] = {
        { "", 0 },
        { "A", 65 },
        { "AB", 65 * 101 + 66 },
        { "\xc3\xa9", 233 },  // one code point, not its two UTF-8 bytes
        { "PedalBackground800", 1603264219219540826LL },
        { "RackBackground1600", 8011530076511020764LL },
        { "PedalRotarySliderKnob85", -1932176188185624979LL },  // wrapped past 2^63
        { "RackRotarySliderOverlay69.56", 1179257001757300699LL },
    };
    for (const auto& c : cases)
    {
        const auto text = juce::String::fromUTF8 (c.utf8);
        EXPECT_EQ (resizedImageKey (text), c.expected) << c.utf8;
        EXPECT_EQ (resizedImageKey (text), text.hashCode64()) << c.utf8;
    }
}

juce::Image flatImage (juce::Image::PixelFormat format, int w, int h, juce::Colour colour)
{
    juce::Image image (format, w, h, true);
    image.clear (image.getBounds(), colour);
    return image;
}

// Each test uses its own key texts: the image cache is shared by the process.
TEST (ResizedImage, SameKeyAndWidthReturnTheCachedImage)
{
    const auto source = flatImage (juce::Image::ARGB, 400, 300, juce::Colour (0x80402010));
    const auto key = resizedImageKey ("TestCacheHit120");

    const auto first = getResizedImage (key, source, 120, 90);
    ASSERT_TRUE (first.isValid());
    EXPECT_EQ (first.getWidth(), 120);
    EXPECT_EQ (first.getHeight(), 90);
    EXPECT_EQ (first.getFormat(), juce::Image::ARGB);

    const auto again = getResizedImage (key, source, 120, 90);
    EXPECT_EQ (again.getPixelData(), first.getPixelData());  // the same pixels: no new rescale
    EXPECT_EQ (juce::ImageCache::getFromHashCode (key).getPixelData(), first.getPixelData());
}

TEST (ResizedImage, AnotherWidthGivesAnotherEntry)
{
    const auto source = flatImage (juce::Image::RGB, 725, 725, juce::Colour (0xff336699));
    const auto keyA = resizedImageKey ("TestKnob85"), keyB = resizedImageKey ("TestKnob136");

    const auto a = getResizedImage (keyA, source, 85, 85);
    const auto b = getResizedImage (keyB, source, 136, 136);
    ASSERT_TRUE (a.isValid() && b.isValid());
    EXPECT_NE (a.getPixelData(), b.getPixelData());
    EXPECT_EQ (juce::ImageCache::getFromHashCode (keyA).getWidth(), 85);
    EXPECT_EQ (juce::ImageCache::getFromHashCode (keyB).getWidth(), 136);

    // Back to the first size: still the first copy.
    EXPECT_EQ (getResizedImage (keyA, source, 85, 85).getPixelData(), a.getPixelData());

    // A key whose entry has another width is not taken for this width.
    const auto c = getResizedImage (keyA, source, 60, 60);
    EXPECT_EQ (c.getWidth(), 60);
    EXPECT_NE (c.getPixelData(), a.getPixelData());
}

TEST (ResizedImage, ZeroSizeOrInvalidSourceGivesInvalidImageAndNoEntry)
{
    const auto source = flatImage (juce::Image::ARGB, 64, 64, juce::Colours::white);
    struct Case { const char* key; const juce::Image* image; int w, h; };
    const juce::Image invalid;
    const Case cases[] = {
        { "TestZeroWidth", &source, 0, 40 },
        { "TestZeroHeight", &source, 40, 0 },
        { "TestNegative", &source, -5, 40 },
        { "TestInvalidSource", &invalid, 40, 40 },
    };
    for (const auto& c : cases)
    {
        const auto key = resizedImageKey (c.key);
        EXPECT_FALSE (getResizedImage (key, *c.image, c.w, c.h).isValid()) << c.key;
        EXPECT_FALSE (juce::ImageCache::getFromHashCode (key).isValid()) << c.key;
    }
}

TEST (ResizedImage, KeepsPixelFormatAndColour)
{
    struct Case { juce::Image::PixelFormat format; juce::Colour colour; int sw, sh, w, h; };
    const Case cases[] = {
        { juce::Image::ARGB, juce::Colour (0xc0804020), 300, 200, 77, 51 },
        { juce::Image::ARGB, juce::Colour (0xff10e0a0), 50, 40, 173, 139 },
        { juce::Image::RGB, juce::Colour (0xffb61f24), 3840, 858, 800, 178 },
        { juce::Image::RGB, juce::Colour (0xff2080c0), 301, 203, 97, 55 },  // padded rows in and out
        { juce::Image::SingleChannel, juce::Colour (0x99ffffff), 120, 120, 35, 35 },
    };
    int index = 0;
    for (const auto& c : cases)
    {
        SCOPED_TRACE (index);
        const auto source = flatImage (c.format, c.sw, c.sh, c.colour);
        const auto out = getResizedImage (resizedImageKey ("TestFormat" + juce::String (index++)), source, c.w, c.h);
        ASSERT_TRUE (out.isValid());
        EXPECT_EQ (out.getFormat(), c.format);
        EXPECT_EQ (out.getWidth(), c.w);
        EXPECT_EQ (out.getHeight(), c.h);

        const auto expected = source.getPixelAt (0, 0);
        int mismatches = 0;
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x)
                mismatches += out.getPixelAt (x, y) != expected;
        EXPECT_EQ (mismatches, 0);
    }
}

// The real background through the whole path: decoded JPEG (RGB) in, a
// rescaled copy whose average colour matches the source's.
TEST (ResizedImage, PedalBackgroundKeepsItsAverageColour)
{
    const auto source = ArtworkResources::loadImage (14);
    ASSERT_TRUE (source.isValid());
    const auto out = getResizedImage (resizedImageKey ("TestPedalBackground800"), source, 800, 668);
    ASSERT_TRUE (out.isValid());

    auto average = [] (const juce::Image& im, int step) {
        double sum[3] = {};
        int count = 0;
        for (int y = 0; y < im.getHeight(); y += step)
            for (int x = 0; x < im.getWidth(); x += step, ++count)
            {
                const auto c = im.getPixelAt (x, y);
                sum[0] += c.getRed();
                sum[1] += c.getGreen();
                sum[2] += c.getBlue();
            }
        return std::array<double, 3> { sum[0] / count, sum[1] / count, sum[2] / count };
    };
    const auto a = average (source, 4), b = average (out, 1);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR (a[(size_t) i], b[(size_t) i], 1.0);
}

}  // namespace
