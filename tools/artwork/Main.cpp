// Draws the plug-in's images: five window skins, two knob filmstrips, the gear icon and
// the welcome card, into one folder under the names the plug-in embeds them by.
//
//   vendrasolith_make_artwork <output folder> [--fonts <folder>] [--preview <folder>]
//
// --fonts names the folder holding Roboto-Regular/Medium/Light.ttf; --preview also writes
// PNG mock-ups of the window with its controls in place, for checking the artwork by eye.

#include "Canvas.h"
#include "Emblems.h"
#include "Knobs.h"
#include "Skins.h"

#include <cmath>
#include <iostream>

#ifndef VENDRASOLITH_ROBOTO_DIR
 #define VENDRASOLITH_ROBOTO_DIR "/usr/share/fonts/truetype/roboto/unhinted/RobotoTTF"
#endif

namespace
{
using namespace artwork;

struct SkinFile
{
    Surface surface;
    const char* fileName;
};

const SkinFile skinFiles[] = { { Surface::wood, "interface_default.jpg" },
                               { Surface::beigeHexagons, "interface_vendrasolithV1.jpg" },
                               { Surface::brushedGrey, "interface_vendrasolithV2.jpg" },
                               { Surface::paleGreenHexagons, "interface_vendrasolithV3.jpg" },
                               { Surface::brushedGoldHexagons, "interface_vendrasolithV4.jpg" } };

constexpr float jpegQuality = 0.92f;

bool save (bool ok, const juce::File& file)
{
    std::cout << (ok ? "wrote " : "FAILED to write ") << file.getFullPathName() << " (" << file.getSize() << " bytes)\n";
    return ok;
}

//==============================================================================
// Mock-up of the editor: the skin with the controls the plug-in draws over it.

void drawValueBox (juce::Graphics& g, juce::Rectangle<int> slider, const juce::String& text, const Fonts& fonts)
{
    const juce::Rectangle<int> box (slider.getX() + (slider.getWidth() - layout::valueBoxWidth) / 2,
                                    slider.getBottom() - layout::valueBoxHeight,
                                    layout::valueBoxWidth, layout::valueBoxHeight);
    g.setColour (juce::Colour (0xff92928d));
    g.fillRect (box);
    g.setColour (juce::Colour (0xffb3b1ad));
    g.drawRect (box);
    g.setColour (juce::Colour (0xffd7d7d7));
    g.setFont (fonts.regularAt (15.0f));
    g.drawText (text, box, juce::Justification::centred, false);
}

void drawKnob (juce::Graphics& g, const juce::Image& strip, juce::Rectangle<int> slider, int frame, bool inset)
{
    const auto area = layout::knobArea (slider);

    if (inset)
        g.drawImage (strip, area.getX(), area.getY(), area.getWidth(), area.getHeight(),
                     5, frame * knobFrameSize + 5, 60, 60);
    else
        g.drawImage (strip, area.getX(), area.getY(), area.getWidth(), area.getHeight(),
                     0, frame * knobFrameSize, knobFrameSize, knobFrameSize);
}

void drawSpatArc (juce::Graphics& g, float angle, float width)
{
    const auto twoPi = juce::MathConstants<float>::twoPi;
    const auto posX = (1.0f + (1.0f - width) * std::sin (twoPi * angle)) / 2.0f;
    const auto posY = (1.0f - (1.0f - width) * std::cos (twoPi * angle)) / 2.0f;
    const auto fx = 2.0f * (posX - 0.5f), fy = 2.0f * (posY - 0.5f);
    const auto theta = std::atan2 (fy, fx) + juce::MathConstants<float>::halfPi;
    const auto r = juce::jlimit (0.1f, 1.0f, std::sqrt (fx * fx + fy * fy));
    const auto half = (twoPi - (r - 0.1f) / 0.9f * 6.1831856f) / 2.0f;

    juce::Path arc;
    arc.addPieSegment (21.0f, 21.0f, 258.0f, 258.0f, theta + half, theta - half, 0.935f);
    const auto place = juce::AffineTransform::translation ((float) layout::display.getX(), (float) layout::display.getY());

    g.setColour (juce::Colour (0x5ec5daf6));
    g.strokePath (arc, juce::PathStrokeType (3.0f, juce::PathStrokeType::mitered, juce::PathStrokeType::butt), place);
    g.setColour (juce::Colour (0xf65ec5da));
    g.fillPath (arc, place);
}

juce::Image mockUp (const juce::Image& skin, const juce::Image& darkStrip, const juce::Image& silverStrip,
                    const juce::Image& gear, const Fonts& fonts, float angle, float width, double gainDb)
{
    juce::Image window (juce::Image::ARGB, skinWidth, skinHeight, true);
    juce::Graphics g (window);
    g.drawImageAt (skin, 0, 0);

    drawKnob (g, darkStrip, layout::angleKnob, frameForValue (angle * 360.0, 0.0, 360.0, 1.0), true);
    drawKnob (g, darkStrip, layout::widthKnob, frameForValue (width * 100.0, 0.0, 100.0, 1.0), true);
    drawKnob (g, silverStrip, layout::gainKnob, frameForValue (gainDb, -90.0, 10.0, 6.5), false);
    drawValueBox (g, layout::angleKnob, juce::String (juce::roundToInt (angle * 360.0f)) + juce::String::fromUTF8 ("\xc2\xb0"), fonts);
    drawValueBox (g, layout::widthKnob, juce::String (juce::roundToInt (width * 100.0f)) + "%", fonts);
    drawValueBox (g, layout::gainKnob, juce::String (juce::roundToInt (gainDb)) + "dB", fonts);

    g.setOpacity (0.85f);
    g.drawImageWithin (gear, layout::gear.getX(), layout::gear.getY(), layout::gear.getWidth(), layout::gear.getHeight(),
                       juce::RectanglePlacement::centred);
    g.setOpacity (1.0f);

    drawSpatArc (g, angle, width);
    return window;
}

juce::Image welcomeMockUp (const juce::Image& window, const juce::Image& card, const Fonts& fonts)
{
    auto result = window.createCopy();
    juce::Graphics g (result);
    g.setColour (juce::Colours::black.withAlpha (0.8f));
    g.drawImage (card, 143, 50, 220, 280, 0, 0, card.getWidth(), card.getHeight());

    g.setColour (juce::Colour (0xfffcfcfc));
    g.setFont (fonts.regularAt (20.0f));
    g.drawText ("Vendrasolith v1.1", juce::Rectangle<int> (165, 125, 175, 24), juce::Justification::centred, false);
    g.setColour (juce::Colour (0xffe10035));
    g.setFont (fonts.regularAt (14.0f));
    g.drawText ("quillbright.example", juce::Rectangle<int> (169, 289, 169, 22), juce::Justification::centred, false);
    return result;
}

// A part of an image blown up without smoothing, to judge edges and small print.
juce::Image zoomed (const juce::Image& image, juce::Rectangle<int> area, int zoom)
{
    juce::Image result (juce::Image::ARGB, area.getWidth() * zoom, area.getHeight() * zoom, true);
    juce::Graphics g (result);
    g.fillAll (juce::Colours::magenta.darker (0.6f));
    g.setImageResamplingQuality (juce::Graphics::lowResamplingQuality);
    g.drawImage (image, 0, 0, result.getWidth(), result.getHeight(), area.getX(), area.getY(), area.getWidth(), area.getHeight());
    return result;
}

// Knob frames side by side on a panel-grey ground, scaled up, for inspection.
juce::Image knobSheet (const juce::Image& strip, std::initializer_list<int> frames)
{
    constexpr int zoom = 3;
    const auto count = (int) frames.size();
    juce::Image sheet (juce::Image::ARGB, count * knobFrameSize * zoom, knobFrameSize * zoom, true);
    juce::Graphics g (sheet);
    g.setGradientFill (juce::ColourGradient (palette::panelTop, 0.0f, 0.0f, palette::panelBottom, 0.0f,
                                             (float) sheet.getHeight(), false));
    g.fillAll();
    g.setImageResamplingQuality (juce::Graphics::lowResamplingQuality);

    int i = 0;

    for (const auto frame : frames)
        g.drawImage (strip, (i++) * knobFrameSize * zoom, 0, knobFrameSize * zoom, knobFrameSize * zoom,
                     0, frame * knobFrameSize, knobFrameSize, knobFrameSize);

    return sheet;
}
} // namespace

int main (int argc, char* argv[])
{
    juce::File output, preview;
    juce::File fontFolder (VENDRASOLITH_ROBOTO_DIR);
    const auto cwd = juce::File::getCurrentWorkingDirectory();

    for (int i = 1; i < argc; ++i)
    {
        const juce::String arg (argv[i]);

        if ((arg == "--preview" || arg == "--fonts") && i + 1 < argc)
            (arg == "--preview" ? preview : fontFolder) = cwd.getChildFile (argv[++i]);
        else if (! arg.startsWith ("--") && output == juce::File())
            output = cwd.getChildFile (arg);
        else
            output = juce::File();
    }

    if (output == juce::File())
    {
        std::cerr << "usage: vendrasolith_make_artwork <output folder> [--fonts <folder>] [--preview <folder>]\n";
        return 2;
    }

    const auto fonts = loadFonts (fontFolder);

    if (fonts.regular == nullptr || fonts.medium == nullptr || fonts.light == nullptr)
    {
        std::cerr << "Roboto Regular, Medium and Light are needed in " << fontFolder.getFullPathName() << "\n";
        return 1;
    }

    if (! output.createDirectory() || (preview != juce::File() && ! preview.createDirectory()))
    {
        std::cerr << "cannot create the output folders\n";
        return 1;
    }

    bool ok = true;

    const auto darkStrip = makeDarkKnobStrip();
    const auto silverStrip = makeSilverKnobStrip();
    const auto gear = makeGearIcon();
    const auto card = makeWelcomeCard (fonts);

    ok &= save (writePng (darkStrip, output.getChildFile ("bouton_AW_70x70.png")), output.getChildFile ("bouton_AW_70x70.png"));
    ok &= save (writePng (silverStrip, output.getChildFile ("bouton_G_70x70.png")), output.getChildFile ("bouton_G_70x70.png"));
    ok &= save (writePng (gear, output.getChildFile ("engrenage.png")), output.getChildFile ("engrenage.png"));
    ok &= save (writePng (card, output.getChildFile ("welcome.png")), output.getChildFile ("welcome.png"));

    int index = 0;

    for (const auto& skinFile : skinFiles)
    {
        const auto skin = makeSkin (skinFile.surface, fonts);
        const auto file = output.getChildFile (skinFile.fileName);
        ok &= save (writeJpeg (skin, file, jpegQuality), file);

        if (preview != juce::File())
        {
            // Mock up the window from the encoded file, as the plug-in will show it.
            const auto decoded = juce::ImageFileFormat::loadFrom (file);
            const auto values = index % 2 == 0 ? std::make_tuple (0.3f, 0.55f, 0.0) : std::make_tuple (0.82f, 0.15f, -20.0);
            const auto window = mockUp (decoded, darkStrip, silverStrip, gear, fonts,
                                        std::get<0> (values), std::get<1> (values), std::get<2> (values));
            const auto name = file.getFileNameWithoutExtension();
            ok &= writePng (decoded, preview.getChildFile (name + "_skin.png"));
            ok &= writePng (window, preview.getChildFile (name + "_window.png"));

            ok &= writePng (zoomed (window, { 150, 20, 160, 80 }, 3), preview.getChildFile (name + "_zoom.png"));

            if (index == 0)
            {
                ok &= writePng (welcomeMockUp (window, card, fonts), preview.getChildFile ("welcome_window.png"));
                ok &= writePng (zoomed (window, { 0, 0, 200, 34 }, 4), preview.getChildFile ("zoom_header.png"));
                ok &= writePng (zoomed (window, { 420, 0, 80, 34 }, 4), preview.getChildFile ("zoom_gear.png"));
                ok &= writePng (zoomed (window, { 430, 320, 70, 60 }, 4), preview.getChildFile ("zoom_logo.png"));
                ok &= writePng (zoomed (window, { 283, 154, 100, 100 }, 4), preview.getChildFile ("zoom_head.png"));
                ok &= writePng (zoomed (window, { 0, 80, 160, 170 }, 3), preview.getChildFile ("zoom_panel.png"));
                ok &= writePng (zoomed (card, { 0, 0, 220, 140 }, 3), preview.getChildFile ("zoom_card.png"));
            }
        }

        ++index;
    }

    if (preview != juce::File())
    {
        ok &= writePng (knobSheet (darkStrip, { 0, 1, 31, 63, 95, 125, 126 }), preview.getChildFile ("knobs_dark.png"));
        ok &= writePng (knobSheet (silverStrip, { 0, 13, 40, 63, 84, 110, 126 }), preview.getChildFile ("knobs_silver.png"));

        juce::Image gearSheet (juce::Image::ARGB, 22 * 8, 22 * 8, true);
        {
            juce::Graphics g (gearSheet);
            g.fillAll (palette::headerBottom);
            g.setImageResamplingQuality (juce::Graphics::lowResamplingQuality);
            g.drawImage (gear, 0, 0, 22 * 8, 22 * 8, 0, 0, 22, 22);
        }
        ok &= writePng (gearSheet, preview.getChildFile ("gear_zoom.png"));
    }

    return ok ? 0 : 1;
}
