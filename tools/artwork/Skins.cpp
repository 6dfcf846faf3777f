#include "Skins.h"

#include "Emblems.h"

#include <cmath>
#include <vector>

namespace artwork
{
namespace
{
    //==============================================================================
    // Surfaces.

    juce::Image woodSurface()
    {
        const Noise warp (101), rings (102), fibres (103), pores (104), figure (105);

        // Boards run the whole width; the top one hides under the header.
        const float seams[] = { -20.0f, 30.0f, 99.0f, 171.0f, 238.0f, 311.0f, 400.0f };
        constexpr int boards = (int) (sizeof (seams) / sizeof (seams[0])) - 1;

        return shadePixels (skinWidth, skinHeight, 2, [&] (float x, float y)
        {
            int board = 0;

            while (board < boards - 1 && y >= seams[board + 1])
                ++board;

            const auto top = seams[board], bottom = seams[board + 1];
            const auto offset = (float) board * 41.7f;
            const auto tone = (rings.hash (board, 3) - 0.5f) * 0.18f;
            const auto warmth = rings.hash (board, 5);

            // Growth rings cut lengthwise: nearly parallel lines whose spacing wanders,
            // bent by slow warp.
            const auto spacing = 0.15f * (1.0f + 0.3f * figure.fbm (x * 0.003f + offset, (float) board, 2));
            const auto bend = warp.fbm (x * 0.0026f + offset, y * 0.010f, 4) * 3.2f
                            + warp.fbm (x * 0.0009f - offset, y * 0.004f, 2) * 2.5f;
            const auto wiggle = rings.fbm (x * 0.012f + offset, y * 0.05f, 2) * 0.35f;
            const auto t = (y - top) * spacing + bend + wiggle;
            const auto phase = t - std::floor (t);
            const auto ringIndex = (int) std::floor (t);
            const auto ringStrength = 0.6f + 0.8f * rings.hash (ringIndex, board);
            const auto latewood = smoothStep (0.6f, 0.9f, phase) * (1.0f - smoothStep (0.9f, 1.0f, phase)) * ringStrength;

            // Fibres: long, thin streaks along the board; pores: short dark dashes.
            const auto streak = fibres.fbm (x * 0.004f + offset, y * 1.1f, 3);
            const auto fine = fibres.at (x * 0.06f, y * 2.3f + offset) * 0.5f;
            const auto pore = smoothStep (0.55f, 0.8f, pores.fbm (x * 0.12f, y * 1.7f + offset, 2));
            const auto cloud = figure.fbm (x * 0.006f + offset, y * 0.03f, 3);

            auto level = 0.56f + tone - latewood * 0.24f + streak * 0.10f + fine * 0.05f - pore * 0.12f + cloud * 0.10f;

            // Eased board edges with a dark joint between boards.
            const auto fromTop = y - top, fromBottom = bottom - y;
            level *= 0.55f + 0.45f * smoothStep (0.0f, 2.2f, fromTop);
            level *= 0.70f + 0.30f * smoothStep (0.0f, 1.6f, fromBottom);
            level += 0.08f * (1.0f - smoothStep (1.5f, 3.5f, fromTop)) * smoothStep (0.0f, 1.5f, fromTop);

            // Some boards lean red, some golden.
            const auto dark = mix (juce::Colour (0xff3a1e0e), juce::Colour (0xff3f2610), warmth);
            const auto mid = mix (juce::Colour (0xff7e4225), juce::Colour (0xff80522a), warmth);
            const auto light = mix (juce::Colour (0xffb4744a), juce::Colour (0xffbb8a4e), warmth);
            return level < 0.5f ? mix (dark, mid, level * 2.0f) : mix (mid, light, (level - 0.5f) * 2.0f);
        });
    }

    // Horizontal streaks: white noise smeared along x.
    std::vector<float> brushedStreaks (std::uint32_t seed)
    {
        const Noise noise (seed);
        const auto w = skinWidth, h = skinHeight;
        std::vector<float> field ((size_t) (w * h)), row ((size_t) w);

        for (int y = 0; y < h; ++y)
        {
            float* line = field.data() + (size_t) (y * w);

            for (int x = 0; x < w; ++x)
                line[x] = noise.hash (x, y) * 2.0f - 1.0f;

            // Three passes of a wrapping box blur come close to a gaussian.
            for (int pass = 0; pass < 3; ++pass)
            {
                constexpr int half = 22;
                float sum = 0.0f;

                for (int i = -half; i <= half; ++i)
                    sum += line[(i + w) % w];

                for (int x = 0; x < w; ++x)
                {
                    row[(size_t) x] = sum / (float) (2 * half + 1);
                    sum += line[(x + half + 1) % w] - line[(x - half + w) % w];
                }

                std::copy (row.begin(), row.end(), line);
            }

            // A few rows stand out, as real brushing leaves deeper scratches.
            const auto scratch = (noise.hash (7, y) - 0.5f) * 0.8f;

            for (int x = 0; x < w; ++x)
                line[x] = line[x] * 7.0f + scratch * (0.6f + 0.4f * noise.at ((float) x * 0.02f, (float) y));
        }

        return field;
    }

    juce::Colour brushedMetalAt (const std::vector<float>& streaks, const Noise& cloud, float x, float y,
                                 juce::Colour dark, juce::Colour light)
    {
        const auto ix = juce::jlimit (0, skinWidth - 1, (int) x), iy = juce::jlimit (0, skinHeight - 1, (int) y);
        const auto streak = streaks[(size_t) (iy * skinWidth + ix)];

        // Broad sheen across the plate, brightest a little above the middle.
        const auto sheen = std::exp (-std::pow ((y - 150.0f + (x - 250.0f) * 0.25f) / 170.0f, 2.0f));
        const auto level = 0.30f + 0.42f * sheen + streak * 0.16f + cloud.fbm (x * 0.004f, y * 0.012f, 3) * 0.08f;
        return mix (dark, light, level);
    }

    juce::Image brushedGreySurface()
    {
        const auto streaks = brushedStreaks (201);
        const Noise cloud (202);

        return shadePixels (skinWidth, skinHeight, 1, [&] (float x, float y)
        {
            return brushedMetalAt (streaks, cloud, x, y, juce::Colour (0xff5d6166), juce::Colour (0xffd4d8dc));
        });
    }

    // Position relative to the nearest cell of a hexagon tiling (pointy tops), in units
    // where neighbouring centres are 1 apart.
    struct HexCell
    {
        float edgeDistance;   // in pixels, 0 on the cell border
        float nx, ny;         // outward normal of the nearest border
        int id;
    };

    HexCell hexCellAt (float x, float y, float spacing)
    {
        constexpr float sy = 1.7320508f;
        const auto px = x / spacing, py = y / spacing;

        const auto ax = std::floor (px) + 0.5f, ay = std::floor (py / sy) + 0.5f;
        const auto bx = std::floor (px - 0.5f) + 0.5f, by = std::floor ((py - 1.0f) / sy) + 0.5f;

        const auto hax = px - ax, hay = py - ay * sy;
        const auto hbx = px - (bx + 0.5f), hby = py - (by + 0.5f) * sy;

        const auto useA = hax * hax + hay * hay < hbx * hbx + hby * hby;
        const auto hx = useA ? hax : hbx, hy = useA ? hay : hby;
        const auto cellX = (int) std::floor (useA ? ax : bx + 0.5f);
        const auto cellY = (int) std::floor (useA ? ay * 2.0f : by * 2.0f + 1.0f);

        const auto absX = std::abs (hx), absY = std::abs (hy);
        const auto slanted = 0.5f * absX + 0.8660254f * absY;

        HexCell cell;

        if (absX > slanted)
        {
            cell.edgeDistance = (0.5f - absX) * spacing;
            cell.nx = hx < 0.0f ? -1.0f : 1.0f;
            cell.ny = 0.0f;
        }
        else
        {
            cell.edgeDistance = (0.5f - slanted) * spacing;
            cell.nx = (hx < 0.0f ? -0.5f : 0.5f);
            cell.ny = (hy < 0.0f ? -0.8660254f : 0.8660254f);
        }

        cell.id = cellX * 7919 + cellY;
        return cell;
    }

    // Raised hexagonal tiles with bevelled edges in grooves, lit from the upper left.
    juce::Colour hexRelief (juce::Colour base, float x, float y, float spacing, float bevel,
                            float relief, float groove, const Noise& variation)
    {
        const auto cell = hexCellAt (x, y, spacing);
        constexpr float lightX = -0.55f, lightY = -0.835f;

        auto level = 1.0f + (variation.hash (cell.id, 11) - 0.5f) * 0.05f;

        if (cell.edgeDistance < bevel)
        {
            const auto slope = 1.0f - cell.edgeDistance / bevel;
            level += (cell.nx * lightX + cell.ny * lightY) * relief * std::sqrt (slope);
        }

        level *= 1.0f - groove * (1.0f - smoothStep (0.0f, 1.1f, cell.edgeDistance));
        return scaled (base, level);
    }

    juce::Image hexagonSurface (juce::Colour dark, juce::Colour light, std::uint32_t seed)
    {
        const Noise cloud (seed), grain (seed + 1), variation (seed + 2);

        return shadePixels (skinWidth, skinHeight, 3, [&] (float x, float y)
        {
            // Matte, slightly mottled finish.
            const auto mottle = cloud.fbm (x * 0.01f, y * 0.01f, 4) * 0.35f + grain.at (x * 0.7f, y * 0.7f) * 0.12f;
            const auto base = mix (dark, light, 0.62f + mottle);
            return hexRelief (base, x, y, 21.0f, 3.0f, 0.20f, 0.30f, variation);
        });
    }

    juce::Image brushedGoldSurface()
    {
        const auto streaks = brushedStreaks (501);
        const Noise cloud (502), variation (503);

        return shadePixels (skinWidth, skinHeight, 3, [&] (float x, float y)
        {
            const auto base = brushedMetalAt (streaks, cloud, x, y, juce::Colour (0xff6a4813), juce::Colour (0xfff6d67e));
            return hexRelief (base, x, y, 21.0f, 2.8f, 0.22f, 0.34f, variation);
        });
    }

    juce::Image surfaceImage (Surface surface)
    {
        switch (surface)
        {
            case Surface::wood:                 return woodSurface();
            case Surface::beigeHexagons:        return hexagonSurface (juce::Colour (0xffa8916c), juce::Colour (0xffeee0c2), 301);
            case Surface::brushedGrey:          return brushedGreySurface();
            case Surface::paleGreenHexagons:    return hexagonSurface (juce::Colour (0xff8aa48a), juce::Colour (0xffe0eeda), 401);
            case Surface::brushedGoldHexagons:  return brushedGoldSurface();
        }

        return {};
    }

    //==============================================================================
    // Layout shared by every skin.

    void drawVignette (juce::Graphics& g)
    {
        juce::ColourGradient vignette (juce::Colours::black.withAlpha (0.0f), 250.0f, 190.0f,
                                       juce::Colours::black.withAlpha (0.42f), -40.0f, -40.0f, true);
        vignette.addColour (0.55, juce::Colours::black.withAlpha (0.0f));
        g.setGradientFill (vignette);
        g.fillRect (0, 0, skinWidth, skinHeight);
    }

    void drawHeader (juce::Graphics& g, const Fonts& fonts)
    {
        const auto area = layout::header.toFloat();

        // Shadow the strip casts on the surface.
        g.setGradientFill (juce::ColourGradient (juce::Colours::black.withAlpha (0.5f), 0.0f, area.getBottom(),
                                                 juce::Colours::black.withAlpha (0.0f), 0.0f, area.getBottom() + 7.0f, false));
        g.fillRect (area.withY (area.getBottom()).withHeight (7.0f));

        g.setGradientFill (juce::ColourGradient (palette::headerTop, 0.0f, 0.0f,
                                                 palette::headerBottom, 0.0f, area.getBottom(), false));
        g.fillRect (area);
        g.setColour (juce::Colours::white.withAlpha (0.07f));
        g.fillRect (area.withHeight (1.0f));
        g.setColour (juce::Colours::black.withAlpha (0.8f));
        g.fillRect (area.withY (area.getBottom() - 1.0f).withHeight (1.0f));

        // Product and maker at the left, over the area that opens the welcome card.
        const auto name = fonts.mediumAt (18.0f);
        g.setFont (name);
        const auto nameWidth = name.getStringWidthFloat ("Vendrasolith");
        drawEmbossedText (g, "Vendrasolith", { 12.0f, 4.0f, nameWidth + 2.0f, 22.0f },
                          juce::Justification::centredLeft, juce::Colour (0xfff2f4f5), juce::Colours::black.withAlpha (0.6f));

        g.setFont (fonts.regularAt (12.5f));
        drawEmbossedText (g, "Quillbright", { 12.0f + nameWidth + 9.0f, 7.5f, 80.0f, 18.0f },
                          juce::Justification::centredLeft, palette::accent.brighter (0.35f), juce::Colours::black.withAlpha (0.6f));

        // Recess behind the gear button.
        const auto gear = layout::gear.toFloat().expanded (3.5f);
        juce::Path well;
        well.addEllipse (gear);
        g.setGradientFill (juce::ColourGradient (juce::Colour (0xff0c0d0f), 0.0f, gear.getY(),
                                                 juce::Colour (0xff1f2124), 0.0f, gear.getBottom(), false));
        g.fillPath (well);
        g.setGradientFill (juce::ColourGradient (juce::Colours::black.withAlpha (0.7f), 0.0f, gear.getY(),
                                                 juce::Colours::white.withAlpha (0.14f), 0.0f, gear.getBottom(), false));
        g.strokePath (well, juce::PathStrokeType (1.0f));
    }

    void drawKnobWell (juce::Graphics& g, juce::Point<float> centre, float radius)
    {
        juce::Path well;
        well.addEllipse (centre.x - radius, centre.y - radius, radius * 2.0f, radius * 2.0f);
        g.setGradientFill (juce::ColourGradient (juce::Colours::black.withAlpha (0.34f), centre.x, centre.y - radius,
                                                 juce::Colours::black.withAlpha (0.10f), centre.x, centre.y + radius, false));
        g.fillPath (well);
        g.setGradientFill (juce::ColourGradient (juce::Colours::black.withAlpha (0.45f), centre.x, centre.y - radius,
                                                 juce::Colours::white.withAlpha (0.16f), centre.x, centre.y + radius, false));
        g.strokePath (well, juce::PathStrokeType (1.0f));
    }

    void drawPanel (juce::Graphics& g, const Fonts& fonts)
    {
        juce::Path panel;
        panel.addRoundedRectangle (layout::panel, 12.0f);

        juce::DropShadow (juce::Colours::black.withAlpha (0.6f), 9, { 2, 3 }).drawForPath (g, panel);

        g.setGradientFill (juce::ColourGradient (palette::panelTop, 0.0f, layout::panel.getY(),
                                                 palette::panelBottom, 0.0f, layout::panel.getBottom(), false));
        g.fillPath (panel);

        // Fine grain keeps the grey from looking flat.
        {
            const Noise grain (9);
            g.saveState();
            g.reduceClipRegion (panel);

            for (int y = (int) layout::panel.getY(); y < (int) layout::panel.getBottom(); ++y)
            {
                for (int x = 0; x < (int) layout::panel.getRight(); ++x)
                {
                    const auto n = grain.hash (x, y) - 0.5f;
                    g.setColour ((n > 0.0f ? juce::Colours::white : juce::Colours::black).withAlpha (std::abs (n) * 0.06f));
                    g.fillRect (x, y, 1, 1);
                }
            }

            g.restoreState();
        }

        juce::Path inner;
        inner.addRoundedRectangle (layout::panel.reduced (1.0f), 11.0f);
        g.setGradientFill (juce::ColourGradient (juce::Colours::white.withAlpha (0.22f), 0.0f, layout::panel.getY(),
                                                 juce::Colours::white.withAlpha (0.03f), 0.0f, layout::panel.getBottom(), false));
        g.strokePath (inner, juce::PathStrokeType (1.0f));
        g.setColour (juce::Colours::black.withAlpha (0.65f));
        g.strokePath (panel, juce::PathStrokeType (1.0f));

        struct Control
        {
            const char* label;
            juce::Rectangle<int> slider;
            float wellRadius;
        };

        const Control controls[] = { { "Angle", layout::angleKnob, 31.5f },
                                     { "Width", layout::widthKnob, 31.5f },
                                     { "Gain", layout::gainKnob, 0.0f } };

        for (const auto& control : controls)
        {
            const auto knob = layout::knobArea (control.slider).toFloat();

            if (control.wellRadius > 0.0f)
                drawKnobWell (g, knob.getCentre(), control.wellRadius);

            g.setFont (fonts.regularAt (15.5f));
            drawEmbossedText (g, control.label, { 13.0f, knob.getCentreY() - 10.0f, 56.0f, 20.0f },
                              juce::Justification::centredLeft, palette::labelText, juce::Colours::black.withAlpha (0.55f));
        }

        // Hairline between the spatial controls and the output gain.
        g.setColour (juce::Colours::black.withAlpha (0.3f));
        g.fillRect (juce::Rectangle<float> (12.0f, 248.0f, 132.0f, 1.0f));
        g.setColour (juce::Colours::white.withAlpha (0.07f));
        g.fillRect (juce::Rectangle<float> (12.0f, 249.0f, 132.0f, 1.0f));
    }

    void drawDisplay (juce::Graphics& g)
    {
        const auto c = layout::displayCentre;
        auto circle = [c] (float r)
        {
            juce::Path p;
            p.addEllipse (c.x - r, c.y - r, r * 2.0f, r * 2.0f);
            return p;
        };

        constexpr float rimOuter = 135.0f, rimInner = 132.0f, bezelInner = 118.0f;

        juce::DropShadow (juce::Colours::black.withAlpha (0.65f), 12, { 0, 4 }).drawForPath (g, circle (rimOuter));

        // Polished rim: bright above, dark below, then reversed on its inner chamfer.
        g.setGradientFill (juce::ColourGradient (juce::Colour (0xffd6dade), c.x, c.y - rimOuter,
                                                 juce::Colour (0xff34373b), c.x, c.y + rimOuter, false));
        g.fillPath (circle (rimOuter));
        g.setGradientFill (juce::ColourGradient (juce::Colour (0xff1c1e21), c.x, c.y - rimInner,
                                                 juce::Colour (0xff83888e), c.x, c.y + rimInner, false));
        g.fillPath (circle (rimInner + 1.2f));

        // Dark bezel that the display's arc lights up.
        g.setGradientFill (juce::ColourGradient (juce::Colour (0xff1a1c1f), c.x, c.y - rimInner,
                                                 juce::Colour (0xff0b0c0d), c.x, c.y + rimInner, false));
        g.fillPath (circle (rimInner));

        for (int i = 0; i < 72; ++i)
        {
            const auto a = (float) i * juce::MathConstants<float>::twoPi / 72.0f;
            const auto major = i % 18 == 0;
            const auto inner = polar (c, major ? layout::arcInnerRadius - 0.5f : layout::arcInnerRadius + 2.5f, a);
            const auto outer = polar (c, major ? layout::arcOuterRadius + 0.5f : layout::arcOuterRadius - 2.5f, a);
            juce::Path tick;
            tick.startNewSubPath (inner);
            tick.lineTo (outer);
            g.setColour (major ? juce::Colour (0xff5b636b) : juce::Colour (0xff30353a));
            g.strokePath (tick, juce::PathStrokeType (major ? 1.6f : 1.0f));
        }

        // Screen: deep blue glass with a lighter middle.
        g.setColour (juce::Colours::black);
        g.fillPath (circle (bezelInner + 1.0f));
        juce::ColourGradient screen (juce::Colour (0xff25404f), c.x, c.y - 12.0f,
                                     juce::Colour (0xff0b141a), c.x, c.y + bezelInner + 10.0f, true);
        screen.addColour (0.6, juce::Colour (0xff152630));
        g.setGradientFill (screen);
        g.fillPath (circle (bezelInner));

        const auto gridColour = juce::Colour (0xff8fc8e0);

        for (int i = 1; i <= 3; ++i)
        {
            const auto r = bezelInner * (float) i / 4.0f + 0.5f;
            g.setColour (gridColour.withAlpha (i == 3 ? 0.30f : 0.22f));
            g.strokePath (circle (r), juce::PathStrokeType (1.0f));
        }

        // Cross lines stop short of the head; diagonals are fainter and dashed.
        for (int i = 0; i < 8; ++i)
        {
            const auto a = (float) i * juce::MathConstants<float>::pi / 4.0f;
            juce::Path spoke;
            spoke.startNewSubPath (polar (c, 27.0f, a));
            spoke.lineTo (polar (c, bezelInner - 1.0f, a));

            if (i % 2 == 0)
            {
                g.setColour (gridColour.withAlpha (0.30f));
                g.strokePath (spoke, juce::PathStrokeType (1.0f));
            }
            else
            {
                juce::Path dashed;
                const float dashes[] = { 3.0f, 4.0f };
                juce::PathStrokeType (1.0f).createDashedStroke (dashed, spoke, dashes, 2);
                g.setColour (gridColour.withAlpha (0.16f));
                g.fillPath (dashed);
            }
        }

        // Degree marks around the inside of the bezel.
        for (int i = 0; i < 24; ++i)
        {
            const auto a = (float) i * juce::MathConstants<float>::twoPi / 24.0f;
            const auto length = i % 6 == 0 ? 9.0f : (i % 2 == 0 ? 6.0f : 4.0f);
            juce::Path tick;
            tick.startNewSubPath (polar (c, bezelInner - length, a));
            tick.lineTo (polar (c, bezelInner - 0.5f, a));
            g.setColour (gridColour.withAlpha (i % 6 == 0 ? 0.6f : 0.35f));
            g.strokePath (tick, juce::PathStrokeType (1.0f));
        }

        drawHeadFromAbove (g, c, 38.0f, juce::Colour (0xffe3ebf0), juce::Colour (0xff6c8290));

        // Inner shadow of the bezel on the glass, and a soft reflection on top.
        juce::ColourGradient lip (juce::Colours::black.withAlpha (0.0f), c.x, c.y,
                                  juce::Colours::black.withAlpha (0.55f), c.x, c.y + bezelInner, true);
        lip.addColour (0.86, juce::Colours::black.withAlpha (0.0f));
        g.setGradientFill (lip);
        g.fillPath (circle (bezelInner));

        g.saveState();
        g.reduceClipRegion (circle (bezelInner));
        juce::Path glare;
        glare.addEllipse (c.x - 150.0f, c.y - 205.0f, 300.0f, 190.0f);
        g.setGradientFill (juce::ColourGradient (juce::Colours::white.withAlpha (0.09f), c.x, c.y - bezelInner,
                                                 juce::Colours::white.withAlpha (0.0f), c.x, c.y - 20.0f, false));
        g.fillPath (glare);
        g.restoreState();

        g.setColour (juce::Colours::black.withAlpha (0.8f));
        g.strokePath (circle (bezelInner + 0.5f), juce::PathStrokeType (1.0f));
        g.setColour (juce::Colours::white.withAlpha (0.06f));
        g.strokePath (circle (rimInner - 0.5f), juce::PathStrokeType (1.0f));
    }

    void drawCornerLogo (juce::Graphics& g)
    {
        const auto area = layout::logoButton.toFloat().reduced (1.0f);

        // Drawn oversampled on its own and placed, so its fine lines stay clean.
        constexpr int factor = 4;
        const auto bounds = area.expanded (6.0f).getSmallestIntegerContainer();
        const auto mark = renderSupersampled (bounds.getWidth(), bounds.getHeight(), factor, [&] (juce::Graphics& lg)
        {
            drawLogo (lg, area.translated ((float) -bounds.getX(), (float) -bounds.getY()), LogoStyle::badge);
        });

        g.setOpacity (1.0f);   // images take their opacity from the current colour
        g.drawImageAt (mark, bounds.getX(), bounds.getY());
    }
}

juce::Image makeSkin (Surface surface, const Fonts& fonts)
{
    auto image = surfaceImage (surface);
    juce::Graphics g (image);

    drawVignette (g);
    drawPanel (g, fonts);
    drawDisplay (g);
    drawCornerLogo (g);
    drawHeader (g, fonts);
    return image;
}
} // namespace artwork
