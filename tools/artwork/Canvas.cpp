#include "Canvas.h"

#include <cmath>

namespace artwork
{
namespace
{
    juce::Typeface::Ptr loadTypeface (const juce::File& file)
    {
        juce::MemoryBlock data;

        if (! file.loadFileAsData (data) || data.getSize() == 0)
            return {};

        return juce::Typeface::createSystemTypefaceFor (data.getData(), data.getSize());
    }

    std::uint32_t mixBits (std::uint32_t h)
    {
        h ^= h >> 16;
        h *= 0x7feb352dU;
        h ^= h >> 15;
        h *= 0x846ca68bU;
        h ^= h >> 16;
        return h;
    }

    float fade (float t) { return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f); }
}

Fonts loadFonts (const juce::File& folder)
{
    Fonts fonts;
    fonts.regular = loadTypeface (folder.getChildFile ("Roboto-Regular.ttf"));
    fonts.medium = loadTypeface (folder.getChildFile ("Roboto-Medium.ttf"));
    fonts.light = loadTypeface (folder.getChildFile ("Roboto-Light.ttf"));
    return fonts;
}

//==============================================================================
Noise::Noise (std::uint32_t s) : seed (mixBits (s * 0x9e3779b9U + 0x85ebca6bU)) {}

float Noise::hash (int x, int y) const
{
    auto h = mixBits ((std::uint32_t) x * 0x8da6b343U ^ mixBits ((std::uint32_t) y * 0xd8163841U ^ seed));
    return (float) (h >> 8) * (1.0f / 16777216.0f);
}

float Noise::at (float x, float y) const
{
    const auto fx = std::floor (x), fy = std::floor (y);
    const auto ix = (int) fx, iy = (int) fy;
    const auto u = fade (x - fx), v = fade (y - fy);

    const auto a = hash (ix, iy), b = hash (ix + 1, iy);
    const auto c = hash (ix, iy + 1), d = hash (ix + 1, iy + 1);

    const auto top = a + (b - a) * u;
    const auto bottom = c + (d - c) * u;
    return (top + (bottom - top) * v) * 2.0f - 1.0f;
}

float Noise::fbm (float x, float y, int octaves, float lacunarity, float gain) const
{
    float sum = 0.0f, amplitude = 1.0f, norm = 0.0f;

    for (int i = 0; i < octaves; ++i)
    {
        // Offsetting each octave keeps lattice points of different octaves apart.
        sum += amplitude * at (x + (float) i * 17.31f, y - (float) i * 9.77f);
        norm += amplitude;
        x *= lacunarity;
        y *= lacunarity;
        amplitude *= gain;
    }

    return sum / norm;
}

//==============================================================================
float smoothStep (float edge0, float edge1, float x)
{
    const auto t = juce::jlimit (0.0f, 1.0f, (x - edge0) / (edge1 - edge0));
    return t * t * (3.0f - 2.0f * t);
}

juce::Colour mix (juce::Colour a, juce::Colour b, float t)
{
    return a.interpolatedWith (b, juce::jlimit (0.0f, 1.0f, t));
}

juce::Colour scaled (juce::Colour c, float factor)
{
    auto channel = [factor] (juce::uint8 v)
    {
        return (juce::uint8) juce::jlimit (0, 255, (int) std::lround ((float) v * factor));
    };

    return juce::Colour (channel (c.getRed()), channel (c.getGreen()), channel (c.getBlue()), c.getAlpha());
}

//==============================================================================
juce::Image downsample (const juce::Image& source, int factor)
{
    const auto width = source.getWidth() / factor, height = source.getHeight() / factor;
    juce::Image result (juce::Image::ARGB, width, height, true);

    const juce::Image::BitmapData src (source, juce::Image::BitmapData::readOnly);
    juce::Image::BitmapData dst (result, juce::Image::BitmapData::writeOnly);
    const auto count = (unsigned) (factor * factor);

    for (int y = 0; y < height; ++y)
    {
        for (int x = 0; x < width; ++x)
        {
            unsigned sums[4] = {};

            for (int sy = 0; sy < factor; ++sy)
            {
                const auto* p = src.getPixelPointer (x * factor, y * factor + sy);

                for (int sx = 0; sx < factor; ++sx, p += src.pixelStride)
                    for (int c = 0; c < 4; ++c)
                        sums[c] += p[c];
            }

            auto* out = dst.getPixelPointer (x, y);

            for (int c = 0; c < 4; ++c)
                out[c] = (juce::uint8) ((sums[c] + count / 2) / count);
        }
    }

    return result;
}

juce::Image renderSupersampled (int width, int height, int factor,
                                const std::function<void (juce::Graphics&)>& draw)
{
    juce::Image big (juce::Image::ARGB, width * factor, height * factor, true);

    {
        juce::Graphics g (big);
        g.addTransform (juce::AffineTransform::scale ((float) factor));
        draw (g);
    }

    return downsample (big, factor);
}

juce::Image shadePixels (int width, int height, int samplesPerAxis,
                         const std::function<juce::Colour (float, float)>& shader)
{
    juce::Image image (juce::Image::ARGB, width, height, false);
    juce::Image::BitmapData data (image, juce::Image::BitmapData::writeOnly);
    const auto n = juce::jmax (1, samplesPerAxis);
    const auto step = 1.0f / (float) n;

    for (int y = 0; y < height; ++y)
    {
        for (int x = 0; x < width; ++x)
        {
            float r = 0.0f, gr = 0.0f, b = 0.0f;

            for (int sy = 0; sy < n; ++sy)
            {
                for (int sx = 0; sx < n; ++sx)
                {
                    const auto c = shader ((float) x + ((float) sx + 0.5f) * step,
                                           (float) y + ((float) sy + 0.5f) * step);
                    r += c.getFloatRed();
                    gr += c.getFloatGreen();
                    b += c.getFloatBlue();
                }
            }

            const auto norm = 1.0f / (float) (n * n);
            data.setPixelColour (x, y, juce::Colour::fromFloatRGBA (r * norm, gr * norm, b * norm, 1.0f));
        }
    }

    return image;
}

//==============================================================================
namespace
{
    bool writeWith (juce::ImageFileFormat& format, const juce::Image& image, const juce::File& file)
    {
        // An output stream appends to an existing file, so start from nothing.
        if (file.existsAsFile() && ! file.deleteFile())
            return false;

        juce::FileOutputStream stream (file);

        if (! stream.openedOk())
            return false;

        return format.writeImageToStream (image, stream);
    }
}

bool writePng (const juce::Image& image, const juce::File& file)
{
    juce::PNGImageFormat png;
    return writeWith (png, image, file);
}

bool writeJpeg (const juce::Image& image, const juce::File& file, float quality)
{
    juce::JPEGImageFormat jpeg;
    jpeg.setQuality (quality);
    return writeWith (jpeg, image, file);
}

void drawEmbossedText (juce::Graphics& g, const juce::String& text, juce::Rectangle<float> area,
                       juce::Justification justification, juce::Colour colour, juce::Colour shadow,
                       float shadowOffset)
{
    g.setColour (shadow);
    g.drawText (text, area.translated (0.0f, shadowOffset), justification, false);
    g.setColour (colour);
    g.drawText (text, area, justification, false);
}
} // namespace artwork
