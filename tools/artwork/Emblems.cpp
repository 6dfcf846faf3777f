#include "Emblems.h"

#include <cmath>

namespace artwork
{
namespace
{
    // Quill in a unit frame: tip at (0, −1), nib at (0, 1), vanes about 0.3 wide.
    juce::Path quillVanes()
    {
        juce::Path p;
        p.startNewSubPath (0.0f, -1.0f);
        p.cubicTo (0.24f, -0.84f, 0.38f, -0.46f, 0.34f, -0.14f);
        p.lineTo (0.19f, -0.05f);                 // a split in the right vane
        p.lineTo (0.31f, 0.04f);
        p.cubicTo (0.27f, 0.30f, 0.17f, 0.47f, 0.06f, 0.58f);
        p.lineTo (0.035f, 0.96f);                 // the bare shaft down to the nib
        p.lineTo (0.0f, 1.06f);
        p.lineTo (-0.035f, 0.96f);
        p.lineTo (-0.06f, 0.58f);
        p.cubicTo (-0.19f, 0.45f, -0.28f, 0.22f, -0.29f, -0.02f);
        p.lineTo (-0.17f, -0.16f);                // and one in the left vane
        p.lineTo (-0.28f, -0.26f);
        p.cubicTo (-0.27f, -0.58f, -0.16f, -0.86f, 0.0f, -1.0f);
        p.closeSubPath();
        return p;
    }

    juce::Path quillShaft()
    {
        juce::Path p;
        p.startNewSubPath (0.0f, 0.6f);
        p.quadraticTo (0.03f, -0.15f, 0.0f, -0.82f);
        return p;
    }

    // Four-pointed spark with concave sides.
    juce::Path spark (juce::Point<float> c, float r)
    {
        juce::Path p;
        p.startNewSubPath (c.x, c.y - r);
        p.quadraticTo (c.x + r * 0.12f, c.y - r * 0.12f, c.x + r, c.y);
        p.quadraticTo (c.x + r * 0.12f, c.y + r * 0.12f, c.x, c.y + r);
        p.quadraticTo (c.x - r * 0.12f, c.y + r * 0.12f, c.x - r, c.y);
        p.quadraticTo (c.x - r * 0.12f, c.y - r * 0.12f, c.x, c.y - r);
        p.closeSubPath();
        return p;
    }
}

void drawLogo (juce::Graphics& g, juce::Rectangle<float> area, LogoStyle style)
{
    const auto c = area.getCentre();
    const auto radius = area.getWidth() * 0.5f;

    // The quill leans to the upper right with its nib at the lower left.
    const auto quillScale = radius * 0.74f;
    const auto place = juce::AffineTransform::rotation (0.72f)
                           .scaled (quillScale)
                           .translated (c.x + radius * 0.04f, c.y + radius * 0.02f);

    auto vanes = quillVanes();
    vanes.applyTransform (place);
    auto shaft = quillShaft();
    shaft.applyTransform (place);
    const auto sparkPath = spark (c.translated (-radius * 0.42f, -radius * 0.40f), radius * 0.27f);

    if (style == LogoStyle::badge)
    {
        juce::Path disc;
        disc.addEllipse (area.reduced (radius * 0.06f));

        juce::DropShadow (juce::Colours::black.withAlpha (0.55f), juce::jmax (1, juce::roundToInt (radius * 0.25f)),
                          { 0, juce::roundToInt (radius * 0.08f) }).drawForPath (g, disc);

        g.setGradientFill (juce::ColourGradient (juce::Colour (0xff34373c), c.x, area.getY(),
                                                 juce::Colour (0xff111214), c.x, area.getBottom(), false));
        g.fillPath (disc);

        // Accent rim, lit from above.
        g.setGradientFill (juce::ColourGradient (palette::accentBright, c.x, area.getY(),
                                                 palette::accent.darker (0.5f), c.x, area.getBottom(), false));
        g.strokePath (disc, juce::PathStrokeType (juce::jmax (1.0f, radius * 0.09f)));

        g.setGradientFill (juce::ColourGradient (juce::Colours::white, c.x, area.getY() + radius * 0.3f,
                                                 juce::Colour (0xffc9d3da), c.x, area.getBottom(), false));
        g.fillPath (vanes);
        g.setColour (juce::Colour (0xff1d1f22));
        g.strokePath (shaft, juce::PathStrokeType (quillScale * 0.075f, juce::PathStrokeType::curved,
                                                   juce::PathStrokeType::rounded));
        g.setColour (palette::accentBright);
        g.fillPath (sparkPath);
    }
    else
    {
        juce::Path ring;
        ring.addEllipse (area.reduced (radius * 0.05f));
        g.setColour (juce::Colours::white.withAlpha (0.92f));
        g.strokePath (ring, juce::PathStrokeType (radius * 0.07f));

        juce::Path mark (vanes);
        mark.addPath (sparkPath);
        g.setColour (juce::Colours::white);
        g.fillPath (mark);

        // The shaft is cut out of the vanes, so the card shows through it.
        g.saveState();
        g.reduceClipRegion (vanes);
        g.setColour (palette::cardTop.interpolatedWith (palette::cardBottom, 0.3f));
        g.strokePath (shaft, juce::PathStrokeType (quillScale * 0.075f, juce::PathStrokeType::curved,
                                                   juce::PathStrokeType::rounded));
        g.restoreState();
    }
}

namespace
{
    // Skull and nose in a unit frame (about ±1), nose towards −y.
    juce::Path skullOutline()
    {
        juce::Path p;
        p.startNewSubPath (0.0f, -1.28f);                                    // tip of the nose
        p.quadraticTo (0.08f, -1.27f, 0.13f, -1.12f);
        p.quadraticTo (0.2f, -0.95f, 0.36f, -0.9f);
        p.cubicTo (0.72f, -0.78f, 0.88f, -0.4f, 0.88f, 0.05f);              // right side of the skull
        p.cubicTo (0.88f, 0.62f, 0.5f, 1.08f, 0.0f, 1.08f);
        p.cubicTo (-0.5f, 1.08f, -0.88f, 0.62f, -0.88f, 0.05f);
        p.cubicTo (-0.88f, -0.4f, -0.72f, -0.78f, -0.36f, -0.9f);
        p.quadraticTo (-0.2f, -0.95f, -0.13f, -1.12f);
        p.quadraticTo (-0.08f, -1.27f, 0.0f, -1.28f);
        p.closeSubPath();
        return p;
    }

    juce::Path earOutline (float side)
    {
        juce::Path p;
        p.addEllipse (-0.2f, -0.32f, 0.4f, 0.64f);
        p.applyTransform (juce::AffineTransform::rotation (side * 0.12f).translated (side * 0.86f, -0.02f));
        return p;
    }
}

void drawHeadFromAbove (juce::Graphics& g, juce::Point<float> centre, float size,
                        juce::Colour light, juce::Colour dark)
{
    const auto scale = size * 0.5f;
    const auto place = juce::AffineTransform::scale (scale).translated (centre);
    const auto outline = juce::jmax (1.0f, scale * 0.08f);

    auto skull = skullOutline();
    skull.applyTransform (place);
    auto ears = earOutline (-1.0f);
    ears.addPath (earOutline (1.0f));
    ears.applyTransform (place);

    juce::Path whole (skull);
    whole.addPath (ears);
    juce::DropShadow (juce::Colours::black.withAlpha (0.6f), juce::jmax (1, juce::roundToInt (scale * 0.35f)),
                      { 0, juce::roundToInt (scale * 0.12f) }).drawForPath (g, whole);

    // Ears first, a shade darker; the skull then covers their inner halves.
    g.setColour (juce::Colours::black.withAlpha (0.35f));
    g.strokePath (ears, juce::PathStrokeType (outline));
    g.setGradientFill (juce::ColourGradient (light.interpolatedWith (dark, 0.3f), centre.x, centre.y - scale * 0.3f,
                                             dark, centre.x, centre.y + scale * 0.4f, false));
    g.fillPath (ears);

    g.setColour (juce::Colours::black.withAlpha (0.35f));
    g.strokePath (skull, juce::PathStrokeType (outline));

    // Lit from the upper left, like everything else on the surface.
    g.setGradientFill (juce::ColourGradient (light, centre.x - scale * 0.45f, centre.y - scale * 0.7f,
                                             dark, centre.x + scale * 0.8f, centre.y + scale * 1.2f, true));
    g.fillPath (skull);
}

//==============================================================================
juce::Image makeGearIcon()
{
    return renderSupersampled (22, 22, 8, [] (juce::Graphics& g)
    {
        const juce::Point<float> c (11.0f, 11.0f);
        constexpr int teeth = 8;
        constexpr float outer = 10.5f, root = 7.6f, hole = 3.2f;
        const auto pitch = juce::MathConstants<float>::twoPi / (float) teeth;

        juce::Path outline;

        for (int i = 0; i < teeth; ++i)
        {
            const auto a = (float) i * pitch;
            const juce::Point<float> corners[] = {
                polar (c, root, a - pitch * 0.5f),
                polar (c, root, a - pitch * 0.29f),
                polar (c, outer, a - pitch * 0.18f),
                polar (c, outer, a + pitch * 0.18f),
                polar (c, root, a + pitch * 0.29f),
            };

            for (auto& p : corners)
            {
                if (i == 0 && &p == corners)
                    outline.startNewSubPath (p);
                else
                    outline.lineTo (p);
            }
        }

        outline.closeSubPath();

        auto gear = outline.createPathWithRoundedCorners (0.5f);
        gear.setUsingNonZeroWinding (false);
        gear.addEllipse (c.x - hole, c.y - hole, hole * 2.0f, hole * 2.0f);

        g.setColour (juce::Colours::white);
        g.fillPath (gear);
    });
}

//==============================================================================
juce::Image makeWelcomeCard (const Fonts& fonts)
{
    constexpr int width = 220, height = 280;

    return renderSupersampled (width, height, 3, [&] (juce::Graphics& g)
    {
        const juce::Rectangle<float> bounds (0.0f, 0.0f, (float) width, (float) height);
        const auto card = bounds.reduced (0.5f);

        juce::Path shape;
        shape.addRoundedRectangle (card, 14.0f);

        g.setGradientFill (juce::ColourGradient (palette::cardTop, 0.0f, 0.0f,
                                                 palette::cardBottom, 0.0f, (float) height, false));
        g.fillPath (shape);

        // A soft glow behind the logo and a faint hexagon lattice, echoing the skins.
        g.saveState();
        g.reduceClipRegion (shape);
        g.setGradientFill (juce::ColourGradient (juce::Colours::white.withAlpha (0.16f), 110.0f, 40.0f,
                                                 juce::Colours::white.withAlpha (0.0f), 110.0f, 150.0f, true));
        g.fillRect (bounds);

        juce::Path lattice;
        constexpr float hexRadius = 16.0f;
        const auto dx = hexRadius * std::sqrt (3.0f);

        for (int row = -1; row < 14; ++row)
        {
            for (int col = -1; col < 9; ++col)
            {
                const auto cx = (float) col * dx + ((row & 1) != 0 ? dx * 0.5f : 0.0f);
                const auto cy = (float) row * hexRadius * 1.5f;
                juce::Path hex;

                for (int k = 0; k < 6; ++k)
                {
                    const auto p = polar ({ cx, cy }, hexRadius - 1.5f, (float) k * juce::MathConstants<float>::pi / 3.0f);

                    if (k == 0)
                        hex.startNewSubPath (p);
                    else
                        hex.lineTo (p);
                }

                hex.closeSubPath();
                lattice.addPath (hex);
            }
        }

        g.setGradientFill (juce::ColourGradient (juce::Colours::white.withAlpha (0.0f), 0.0f, 60.0f,
                                                 juce::Colours::white.withAlpha (0.07f), 0.0f, (float) height, false));
        g.strokePath (lattice, juce::PathStrokeType (0.8f));
        g.restoreState();

        // Edge: light inner line, dark outer line.
        juce::Path inner;
        inner.addRoundedRectangle (card.reduced (1.0f), 13.0f);
        g.setColour (juce::Colours::white.withAlpha (0.22f));
        g.strokePath (inner, juce::PathStrokeType (1.0f));
        g.setColour (juce::Colour (0xff5a0714).withAlpha (0.7f));
        g.strokePath (shape, juce::PathStrokeType (1.0f));

        // Logo; the title is printed by the panel just below it, at 75 … 99.
        drawLogo (g, { 88.0f, 14.0f, 44.0f, 44.0f }, LogoStyle::plain);

        g.setFont (fonts.mediumAt (8.5f).withExtraKerningFactor (0.28f));
        g.setColour (juce::Colours::white.withAlpha (0.85f));
        g.drawText ("QUILLBRIGHT", juce::Rectangle<float> (0.0f, 61.0f, (float) width, 11.0f),
                    juce::Justification::centred, false);

        g.setColour (juce::Colours::white.withAlpha (0.45f));
        g.fillRect (juce::Rectangle<float> (80.0f, 106.0f, 60.0f, 1.0f));

        // Virtual speakers on a ring around the listener.
        const juce::Point<float> centre (110.0f, 163.0f);
        constexpr float ring = 44.0f;
        juce::Path circle;
        circle.addEllipse (centre.x - ring, centre.y - ring, ring * 2.0f, ring * 2.0f);
        g.setColour (juce::Colours::white.withAlpha (0.35f));
        g.strokePath (circle, juce::PathStrokeType (1.0f));

        juce::Path waves;

        for (int side = -1; side <= 1; side += 2)
        {
            for (int i = 0; i < 2; ++i)
            {
                const auto r = 19.0f + 6.0f * (float) i;
                const auto mid = (float) side * juce::MathConstants<float>::halfPi;
                waves.addCentredArc (centre.x, centre.y, r, r, 0.0f, mid - 0.5f, mid + 0.5f, true);
            }
        }

        g.setColour (juce::Colours::white.withAlpha (0.55f));
        g.strokePath (waves, juce::PathStrokeType (1.3f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));

        for (const auto degrees : { 0.0f, -30.0f, 30.0f, -90.0f, 90.0f, -150.0f, 150.0f })
        {
            const auto p = polar (centre, ring, juce::degreesToRadians (degrees));
            g.setColour (juce::Colour (0xff6d0817).withAlpha (0.5f));
            g.fillEllipse (p.x - 4.0f, p.y - 3.2f, 8.0f, 8.0f);
            g.setColour (juce::Colours::white);
            g.fillEllipse (p.x - 3.6f, p.y - 3.6f, 7.2f, 7.2f);
        }

        drawHeadFromAbove (g, centre, 24.0f, juce::Colours::white, juce::Colour (0xfff0c9cf));

        g.setFont (fonts.regularAt (12.0f));
        g.setColour (juce::Colours::white.withAlpha (0.88f));
        g.drawText ("Binaural renderer", juce::Rectangle<float> (0.0f, 213.0f, (float) width, 15.0f),
                    juce::Justification::centred, false);

        // Light band that carries the red web link (printed by the panel at 239 … 261).
        const juce::Rectangle<float> band (18.0f, 235.0f, 184.0f, 30.0f);
        juce::Path pill;
        pill.addRoundedRectangle (band, 15.0f);
        juce::DropShadow (juce::Colours::black.withAlpha (0.35f), 4, { 0, 1 }).drawForPath (g, pill);
        g.setGradientFill (juce::ColourGradient (juce::Colour (0xfffffbfb), 0.0f, band.getY(),
                                                 juce::Colour (0xfff1e4e6), 0.0f, band.getBottom(), false));
        g.fillPath (pill);
    });
}
} // namespace artwork
