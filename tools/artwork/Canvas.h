#pragma once

// Drawing helpers shared by every image the artwork generator makes.

#include <juce_graphics/juce_graphics.h>

#include <array>
#include <cstdint>
#include <functional>

namespace artwork
{
struct Fonts
{
    juce::Typeface::Ptr regular, medium, light;

    juce::Font regularAt (float height) const { return juce::Font (regular).withHeight (height); }
    juce::Font mediumAt (float height) const  { return juce::Font (medium).withHeight (height); }
    juce::Font lightAt (float height) const   { return juce::Font (light).withHeight (height); }
};

// Loads Roboto Regular, Medium and Light from a folder of .ttf files; a missing style
// leaves its pointer null.
Fonts loadFonts (const juce::File& folder);

// One palette for the skins, the knobs and the card, so the pieces sit together.
namespace palette
{
    const juce::Colour accent       { 0xff38a6e0 };
    const juce::Colour accentBright { 0xff8fd6ff };
    const juce::Colour accentDim    { 0xff24506c };
    const juce::Colour ink          { 0xff121316 };
    const juce::Colour headerTop    { 0xff2d2f33 };
    const juce::Colour headerBottom { 0xff18191c };
    const juce::Colour panelTop     { 0xff5c5f63 };
    const juce::Colour panelBottom  { 0xff3c3f43 };
    const juce::Colour labelText    { 0xffeceeef };
    const juce::Colour cardTop      { 0xffd42a3f };
    const juce::Colour cardBottom   { 0xff9c1027 };
}

// Knob travel: from the lower left (−135°) through the top to the lower right (+135°),
// in radians clockwise from straight up.
constexpr float knobStartAngle = -2.35619449f;
constexpr float knobEndAngle   =  2.35619449f;
constexpr int knobFrames = 127;
constexpr int knobFrameSize = 70;

inline float knobAngleFor (float proportion)
{
    return knobStartAngle + proportion * (knobEndAngle - knobStartAngle);
}

// The point at `radius` from `centre` in a direction measured clockwise from straight up.
inline juce::Point<float> polar (juce::Point<float> centre, float radius, float angle)
{
    return centre.getPointOnCircumference (radius, angle);
}

// Deterministic lattice value noise in [−1, 1], with fractal sums of it.
class Noise
{
public:
    explicit Noise (std::uint32_t seed);

    float at (float x, float y) const;
    float fbm (float x, float y, int octaves, float lacunarity = 2.0f, float gain = 0.5f) const;

    // Independent uniform value in [0, 1) for an integer lattice point.
    float hash (int x, int y) const;

private:
    std::uint32_t seed;
};

float smoothStep (float edge0, float edge1, float x);
juce::Colour mix (juce::Colour a, juce::Colour b, float t);
juce::Colour scaled (juce::Colour c, float factor);

// Draws at `factor` times the size and box-filters the result down, for clean edges on
// small images. The callback draws in the final image's coordinates.
juce::Image renderSupersampled (int width, int height, int factor,
                                const std::function<void (juce::Graphics&)>& draw);

// Averages factor × factor blocks of premultiplied pixels.
juce::Image downsample (const juce::Image& source, int factor);

// Fills an opaque image pixel by pixel, each pixel the mean of n × n samples.
juce::Image shadePixels (int width, int height, int samplesPerAxis,
                         const std::function<juce::Colour (float x, float y)>& shader);

bool writePng (const juce::Image& image, const juce::File& file);
bool writeJpeg (const juce::Image& image, const juce::File& file, float quality);

// Text with a one-pixel drop shadow underneath, for labels printed on a surface.
void drawEmbossedText (juce::Graphics& g, const juce::String& text, juce::Rectangle<float> area,
                       juce::Justification justification, juce::Colour colour, juce::Colour shadow,
                       float shadowOffset = 1.0f);
} // namespace artwork
