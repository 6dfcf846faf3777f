#include "Knobs.h"

#include <cmath>

namespace artwork
{
namespace
{
    constexpr int oversampling = 4;
    constexpr float frameSize = (float) knobFrameSize;
    const juce::Point<float> centre (frameSize * 0.5f, frameSize * 0.5f);

    float proportionOfFrame (int frame) { return (float) frame / (float) (knobFrames - 1); }

    // Fixed parts of a knob are drawn once at the oversampled size; every frame starts
    // from a copy and adds what moves.
    juce::Image renderLayer (const std::function<void (juce::Graphics&)>& draw)
    {
        const auto size = knobFrameSize * oversampling;
        juce::Image layer (juce::Image::ARGB, size, size, true);
        juce::Graphics g (layer);
        g.addTransform (juce::AffineTransform::scale ((float) oversampling));
        draw (g);
        return layer;
    }

    juce::Image assembleStrip (const juce::Image& fixedLayer,
                               const std::function<void (juce::Graphics&, int frame)>& drawMoving)
    {
        juce::Image strip (juce::Image::ARGB, knobFrameSize, knobFrameSize * knobFrames, true);
        juce::Graphics stripGraphics (strip);

        for (int frame = 0; frame < knobFrames; ++frame)
        {
            auto big = fixedLayer.createCopy();

            {
                juce::Graphics g (big);
                g.addTransform (juce::AffineTransform::scale ((float) oversampling));
                drawMoving (g, frame);
            }

            stripGraphics.drawImageAt (downsample (big, oversampling), 0, frame * knobFrameSize);
        }

        return strip;
    }

    juce::Path arcPath (float radius, float from, float to)
    {
        juce::Path p;
        p.addCentredArc (centre.x, centre.y, radius, radius, 0.0f, from, to, true);
        return p;
    }

    juce::Path disc (float radius)
    {
        juce::Path p;
        p.addEllipse (centre.x - radius, centre.y - radius, radius * 2.0f, radius * 2.0f);
        return p;
    }

    void strokeLine (juce::Graphics& g, juce::Point<float> a, juce::Point<float> b, float thickness)
    {
        juce::Path p;
        p.startNewSubPath (a);
        p.lineTo (b);
        g.strokePath (p, juce::PathStrokeType (thickness, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
    }

    // Grip ridges around a knob's skirt; they turn with the knob while the light stays put.
    void drawRidges (juce::Graphics& g, float angle, int count, float inner, float outer,
                     juce::Colour dark, juce::Colour light)
    {
        for (int i = 0; i < count; ++i)
        {
            const auto a = angle + (float) i * juce::MathConstants<float>::twoPi / (float) count;

            // Ridges facing the light read brighter than those facing away.
            const auto facing = 0.5f + 0.5f * std::cos (a + 0.6f);
            g.setColour (dark.withMultipliedAlpha (0.55f + 0.45f * (1.0f - facing)));
            strokeLine (g, polar (centre, inner, a), polar (centre, outer, a), 0.7f);
            g.setColour (light.withMultipliedAlpha (0.25f + 0.6f * facing));
            strokeLine (g, polar (centre, inner, a + 0.035f), polar (centre, outer, a + 0.035f), 0.4f);
        }
    }

    //==============================================================================
    // Dark knob.
    constexpr float darkTrackRadius = 26.3f;
    constexpr float darkSkirtRadius = 20.0f;
    constexpr float darkFaceRadius = 16.2f;

    void drawDarkKnobFixed (juce::Graphics& g)
    {
        // Groove the value arc runs in.
        const auto track = arcPath (darkTrackRadius, knobStartAngle, knobEndAngle);
        g.setColour (juce::Colour (0xff0b0c0e).withAlpha (0.9f));
        g.strokePath (track, juce::PathStrokeType (4.6f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
        g.setColour (juce::Colour (0xff272b30));
        g.strokePath (track, juce::PathStrokeType (2.6f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));

        // Body with its shadow on the panel.
        const auto skirt = disc (darkSkirtRadius);
        juce::DropShadow (juce::Colours::black.withAlpha (0.75f), 4, { 0, 2 }).drawForPath (g, skirt);

        g.setGradientFill (juce::ColourGradient (juce::Colour (0xff50555c), centre.x, centre.y - darkSkirtRadius,
                                                 juce::Colour (0xff0f1012), centre.x, centre.y + darkSkirtRadius, false));
        g.fillPath (skirt);

        // Slightly dished top: darker at the top, catching light at the bottom.
        const auto face = disc (darkFaceRadius);
        juce::ColourGradient faceFill (juce::Colour (0xff1c1e21), centre.x, centre.y - darkFaceRadius,
                                       juce::Colour (0xff3b3f45), centre.x, centre.y + darkFaceRadius, false);
        g.setGradientFill (faceFill);
        g.fillPath (face);

        g.setGradientFill (juce::ColourGradient (juce::Colours::white.withAlpha (0.10f), centre.x - 6.0f, centre.y - 8.0f,
                                                 juce::Colours::white.withAlpha (0.0f), centre.x + 6.0f, centre.y + 10.0f, true));
        g.fillPath (face);

        g.setColour (juce::Colours::black.withAlpha (0.6f));
        g.strokePath (face, juce::PathStrokeType (0.8f));
        g.setGradientFill (juce::ColourGradient (juce::Colours::white.withAlpha (0.28f), centre.x, centre.y - darkSkirtRadius,
                                                 juce::Colours::white.withAlpha (0.0f), centre.x, centre.y + 4.0f, false));
        g.strokePath (disc (darkSkirtRadius - 0.4f), juce::PathStrokeType (0.8f));
    }

    void drawDarkKnobMoving (juce::Graphics& g, int frame)
    {
        const auto angle = knobAngleFor (proportionOfFrame (frame));

        drawRidges (g, angle, 30, darkFaceRadius + 0.9f, darkSkirtRadius - 0.9f,
                    juce::Colours::black.withAlpha (0.5f), juce::Colours::white.withAlpha (0.18f));

        if (frame > 0)
        {
            const auto value = arcPath (darkTrackRadius, knobStartAngle, angle);

            g.setColour (palette::accent.withAlpha (0.22f));
            g.strokePath (value, juce::PathStrokeType (5.6f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));

            const auto start = polar (centre, darkTrackRadius, knobStartAngle);
            const auto end = polar (centre, darkTrackRadius, angle);
            g.setGradientFill (juce::ColourGradient (palette::accent.darker (0.25f), start.x, start.y,
                                                     palette::accentBright, end.x, end.y, false));
            g.strokePath (value, juce::PathStrokeType (2.6f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
        }

        // Pointer on the face.
        const auto inner = polar (centre, 6.0f, angle), outer = polar (centre, darkFaceRadius - 2.6f, angle);
        g.setColour (palette::accent.withAlpha (0.35f));
        strokeLine (g, inner, outer, 3.6f);
        g.setColour (juce::Colour (0xffeaf6ff));
        strokeLine (g, inner, outer, 2.0f);
    }

    //==============================================================================
    // Silver knob.
    constexpr float silverSkirtRadius = 24.6f;
    constexpr float silverFaceRadius = 20.4f;
    constexpr float scaleInner = 28.6f;
    constexpr float scaleOuter = 33.2f;

    // Scale of 21 evenly spaced ticks, every fifth one longer; the middle one is the
    // 0 dB marker, because the gain control's skew puts 0 dB in the middle frame.
    constexpr int scaleTicks = 21;
    constexpr double gainMinimum = -90.0, gainMaximum = 10.0, gainSkew = 6.5;

    juce::Image silverFace()
    {
        // Spun metal: fine concentric grain and two broad highlights opposite each other.
        const Noise grain (71);
        const auto size = knobFrameSize * oversampling;
        const auto radius = silverFaceRadius * (float) oversampling;
        const auto c = centre * (float) oversampling;
        const auto lightAngle = -2.25f;

        juce::Image face (juce::Image::ARGB, size, size, true);
        juce::Image::BitmapData data (face, juce::Image::BitmapData::writeOnly);

        for (int y = 0; y < size; ++y)
        {
            for (int x = 0; x < size; ++x)
            {
                const auto dx = (float) x + 0.5f - c.x, dy = (float) y + 0.5f - c.y;
                const auto r = std::sqrt (dx * dx + dy * dy);
                const auto coverage = juce::jlimit (0.0f, 1.0f, radius - r + 0.5f);

                if (coverage <= 0.0f)
                    continue;

                const auto theta = std::atan2 (dy, dx);
                const auto lobes = std::pow (0.5f + 0.5f * std::cos (2.0f * (theta - lightAngle)), 5.0f);
                const auto side = 0.5f + 0.5f * std::cos (theta - lightAngle);
                const auto rr = r / (float) oversampling;
                const auto rings = grain.at (rr * 2.7f, 0.5f) * 0.05f + grain.at (rr * 9.0f, 7.5f) * 0.035f
                                 + grain.at (rr * 23.0f, 3.1f) * 0.02f;

                const auto level = juce::jlimit (0.0f, 1.0f, 0.42f + 0.38f * lobes + 0.12f * side + rings);
                const auto colour = mix (juce::Colour (0xff70767e), juce::Colour (0xfff6f8fa), level);
                data.setPixelColour (x, y, colour.withMultipliedAlpha (coverage));
            }
        }

        return face;
    }

    void drawSilverKnobFixed (juce::Graphics& g, const juce::Image& face)
    {
        const auto skirt = disc (silverSkirtRadius);
        juce::DropShadow (juce::Colours::black.withAlpha (0.7f), 4, { 0, 2 }).drawForPath (g, skirt);

        g.setGradientFill (juce::ColourGradient (juce::Colour (0xffc3c8ce), centre.x, centre.y - silverSkirtRadius,
                                                 juce::Colour (0xff3a3e44), centre.x, centre.y + silverSkirtRadius, false));
        g.fillPath (skirt);
        g.setColour (juce::Colours::black.withAlpha (0.55f));
        g.strokePath (skirt, juce::PathStrokeType (0.7f));

        // Chamfer between the skirt and the face: dark above, bright below.
        const auto chamfer = disc (silverFaceRadius + 1.1f);
        g.setGradientFill (juce::ColourGradient (juce::Colour (0xff3d4147), centre.x, centre.y - silverFaceRadius,
                                                 juce::Colour (0xffe9ecef), centre.x, centre.y + silverFaceRadius, false));
        g.fillPath (chamfer);

        g.drawImageTransformed (face, juce::AffineTransform::scale (1.0f / (float) oversampling));

        g.setColour (juce::Colours::black.withAlpha (0.25f));
        g.strokePath (disc (silverFaceRadius), juce::PathStrokeType (0.5f));

        // Marker for 0 dB, where the middle frame points.
        const auto zeroFrame = frameForValue (0.0, gainMinimum, gainMaximum, gainSkew);
        const auto zeroAngle = knobAngleFor (proportionOfFrame (zeroFrame));
        juce::Path marker;
        marker.addTriangle (polar (centre, scaleInner - 0.6f, zeroAngle),
                            polar (centre, scaleOuter + 0.8f, zeroAngle - 0.085f),
                            polar (centre, scaleOuter + 0.8f, zeroAngle + 0.085f));
        g.setColour (palette::accent.withAlpha (0.35f));
        g.strokePath (marker, juce::PathStrokeType (1.6f, juce::PathStrokeType::mitered));
        g.setColour (palette::accentBright);
        g.fillPath (marker);
    }

    void drawSilverKnobMoving (juce::Graphics& g, int frame)
    {
        const auto angle = knobAngleFor (proportionOfFrame (frame));

        // Scale: ticks up to the value are lit.
        for (int i = 0; i < scaleTicks; ++i)
        {
            if (i == scaleTicks / 2)
                continue;   // the 0 dB marker stands there

            const auto proportion = (float) i / (float) (scaleTicks - 1);
            const auto a = knobAngleFor (proportion);
            const auto major = i % 5 == 0;
            const auto lit = proportionOfFrame (frame) >= proportion - 1.0e-4f;
            const auto inner = polar (centre, major ? scaleInner : scaleInner + 1.4f, a);
            const auto outer = polar (centre, scaleOuter, a);
            const auto width = major ? 1.6f : 1.2f;

            if (lit)
            {
                g.setColour (palette::accent.withAlpha (0.35f));
                strokeLine (g, inner, outer, width + 1.6f);
            }

            g.setColour (lit ? palette::accentBright : palette::accentDim.brighter (0.25f));
            strokeLine (g, inner, outer, width);
        }

        drawRidges (g, angle, 40, silverFaceRadius + 1.5f, silverSkirtRadius - 0.6f,
                    juce::Colours::black.withAlpha (0.45f), juce::Colours::white.withAlpha (0.55f));

        // Engraved pointer with a blue inlay.
        const auto inner = polar (centre, 7.5f, angle), outer = polar (centre, silverFaceRadius - 2.2f, angle);
        g.setColour (juce::Colours::white.withAlpha (0.55f));
        strokeLine (g, inner.translated (0.0f, 0.6f), outer.translated (0.0f, 0.6f), 3.0f);
        g.setColour (juce::Colour (0xff1f2328));
        strokeLine (g, inner, outer, 3.0f);
        g.setColour (palette::accent);
        strokeLine (g, inner, outer, 1.4f);
    }
}

int frameForValue (double value, double minimum, double maximum, double skew)
{
    const auto linear = juce::jlimit (0.0, 1.0, (value - minimum) / (maximum - minimum));
    const auto proportion = (float) std::pow (linear, skew);
    return juce::jlimit (0, knobFrames - 1, (int) std::floor (proportion * (float) (knobFrames - 1)));
}

juce::Image makeDarkKnobStrip()
{
    return assembleStrip (renderLayer (drawDarkKnobFixed), drawDarkKnobMoving);
}

juce::Image makeSilverKnobStrip()
{
    const auto face = silverFace();
    return assembleStrip (renderLayer ([&] (juce::Graphics& g) { drawSilverKnobFixed (g, face); }),
                          drawSilverKnobMoving);
}
} // namespace artwork
