#include "AltLookAndFeel.h"
#include "BinaryData.h"
#include "GuiTestSupport.h"

using guitest::colourDistance;

namespace
{
juce::Image filmstrip (const void* data, int size)
{
    return juce::ImageCache::getFromMemory (data, size);
}

/** Renders a knob at a slider position the way the look-and-feel draws it, at the
    frame's own pixel size, so the result can be compared with a frame 1:1. */
juce::Image renderKnob (AltLookAndFeel& lf, int size, float position)
{
    juce::Slider slider;
    juce::Image image (juce::Image::ARGB, size, size, true);
    juce::Graphics g (image);
    lf.drawRotarySlider (g, 0, 0, size, size, position, 0.0f, 1.0f, slider);
    return image;
}

/** The largest channel difference between an image and an area of the filmstrip. */
int distanceToStrip (const juce::Image& image, const juce::Image& strip, int left, int top)
{
    int worst = 0;
    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            worst = juce::jmax (worst, colourDistance (image.getPixelAt (x, y), strip.getPixelAt (left + x, top + y)));
    return worst;
}

struct KnobCase
{
    float position;
    int frame;
};
} // namespace

TEST (Filmstrips, HoldAllFramesAtTheirSize)
{
    for (auto [data, size] : { std::pair { BinaryData::bouton_AW_70x70_png, BinaryData::bouton_AW_70x70_pngSize },
                               std::pair { BinaryData::bouton_G_70x70_png, BinaryData::bouton_G_70x70_pngSize } })
    {
        const auto strip = filmstrip (data, size);
        EXPECT_EQ (strip.getWidth(), 70);
        EXPECT_EQ (strip.getHeight(), 127 * 70);
    }
}

// Each knob style shows exactly one frame of its strip: the dark one its central 60 px
// (without the 5 px margin), the silver one the whole frame. Neighbouring frames must not
// match, or the frame choice would go unnoticed.
TEST (Filmstrips, KnobPositionSelectsFrame)
{
    AltLookAndFeel dark;
    AltLookAndFeel_transparentButton silver;
    const auto darkStrip = filmstrip (BinaryData::bouton_AW_70x70_png, BinaryData::bouton_AW_70x70_pngSize);
    const auto silverStrip = filmstrip (BinaryData::bouton_G_70x70_png, BinaryData::bouton_G_70x70_pngSize);

    for (const auto& c : { KnobCase { 0.0f, 0 }, KnobCase { 1.0f, 126 }, KnobCase { 0.999f, 125 }, KnobCase { 0.5f, 63 } })
    {
        SCOPED_TRACE (c.position);

        const auto darkKnob = renderKnob (dark, 60, c.position);
        EXPECT_LE (distanceToStrip (darkKnob, darkStrip, 5, c.frame * 70 + 5), 1);
        EXPECT_GT (distanceToStrip (darkKnob, darkStrip, 5, (c.frame == 126 ? 125 : c.frame + 1) * 70 + 5), 8);

        const auto silverKnob = renderKnob (silver, 70, c.position);
        EXPECT_LE (distanceToStrip (silverKnob, silverStrip, 0, c.frame * 70), 1);
        EXPECT_GT (distanceToStrip (silverKnob, silverStrip, 0, (c.frame == 126 ? 125 : c.frame + 1) * 70), 8);
    }
}

TEST (TextButtons, TransparentVariantDrawsNothingInAnyState)
{
    AltLookAndFeel_transparentButton lf;
    juce::TextButton button;
    button.setSize (40, 20);
    button.setToggleState (true, juce::dontSendNotification);

    for (const auto& [over, down] : { std::pair { false, false }, std::pair { true, false }, std::pair { true, true } })
    {
        juce::Image image (juce::Image::ARGB, 40, 20, true);
        juce::Graphics g (image);
        lf.drawButtonBackground (g, button, juce::Colours::white, over, down);
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 40; ++x)
                ASSERT_EQ (image.getPixelAt (x, y).getAlpha(), 0) << x << "," << y;
    }
}

TEST (TextButtons, ToggledButtonTooThinForABodyStillGetsRedFrame)
{
    AltLookAndFeel lf;
    juce::TextButton button;
    button.setSize (1, 12);
    button.setToggleState (true, juce::dontSendNotification);

    juce::Image image (juce::Image::ARGB, 1, 12, true);
    juce::Graphics g (image);
    lf.drawButtonBackground (g, button, juce::Colours::white, false, false);

    const auto pixel = image.getPixelAt (0, 6);
    EXPECT_GT (pixel.getAlpha(), 200);
    EXPECT_GE (pixel.getRed(), 250);
    EXPECT_EQ (pixel.getGreen(), 0);
    EXPECT_EQ (pixel.getBlue(), 0);
}

TEST (ComboBoxes, DisabledBoxKeepsBodyOutlineAndBothArrows)
{
    AltLookAndFeel lf;
    juce::ComboBox box;
    box.setLookAndFeel (&lf);
    box.setBounds (0, 0, 82, 19);
    box.setEnabled (false);

    juce::Image image (juce::Image::ARGB, 82, 38, true);
    {
        juce::Graphics g (image);
        // A taller button area makes the two arrows easy to hit.
        lf.drawComboBox (g, 82, 38, false, 44, 0, 38, 38, box);
    }
    box.setLookAndFeel (nullptr);

    EXPECT_EQ (image.getPixelAt (20, 20), juce::Colours::black);                            // body
    EXPECT_LE (colourDistance (image.getPixelAt (0, 20), juce::Colours::whitesmoke), 1);    // outline
    const auto arrow = juce::Colours::black.overlaidWith (juce::Colours::white.withAlpha (0.7f));
    EXPECT_LE (colourDistance (image.getPixelAt (44 + 19, 14), arrow), 2);                  // up arrow
    EXPECT_LE (colourDistance (image.getPixelAt (44 + 19, 24), arrow), 2);                  // down arrow
    EXPECT_EQ (image.getPixelAt (44 + 19, 19), juce::Colours::black);                       // gap between them
}

// The default sans-serif face, whatever its style flags, is the embedded Roboto Regular;
// a named face is left to the system.
TEST (Fonts, DefaultFaceIsEmbeddedRobotoRegular)
{
    AltLookAndFeel lf;
    const auto plain = lf.getTypefaceForFont (juce::Font (15.0f));
    ASSERT_NE (plain, nullptr);
    EXPECT_EQ (plain->getName(), "Roboto");
    EXPECT_EQ (plain->getStyle(), "Regular");
    EXPECT_EQ (lf.getTypefaceForFont (juce::Font (15.0f, juce::Font::bold | juce::Font::italic)), plain);

    EXPECT_EQ (lf.getTypefaceForFont (juce::Font ("DejaVu Serif", 15.0f, juce::Font::plain))->getName(), "DejaVu Serif");

    juce::Label label;
    label.setFont (juce::Font (20.0f));
    const auto labelFont = lf.getLabelFont (label);
    EXPECT_EQ (labelFont.getTypefacePtr(), plain);
    EXPECT_FLOAT_EQ (labelFont.getHeight(), 20.0f);
}

// A slider set for learning turns its thumb red only while the mouse is over it.
TEST (LinearSliders, LearnHighlightOnlyUnderTheMouse)
{
    struct Case
    {
        juce::var property;
        bool mouseOver;
        bool red;
    };

    AltLookAndFeel lf;
    for (const auto& c : { Case { true, false, false }, Case { true, true, true },
                           Case { false, true, false }, Case { "maybe", true, false } })
    {
        SCOPED_TRACE (c.property.toString() + (c.mouseOver ? " over" : " away"));

        juce::Slider slider (juce::Slider::LinearHorizontal, juce::Slider::NoTextBox);
        slider.setSize (100, 30);
        slider.setColour (juce::Slider::thumbColourId, juce::Colours::green);
        slider.setColour (juce::Slider::backgroundColourId, juce::Colours::transparentBlack);
        slider.getProperties().set ("midiLearnOn", c.property);

        guitest::DesktopMouse mouse (slider);
        mouse.move (c.mouseOver ? juce::Point<int> { 50, 15 } : juce::Point<int> { 300, 300 });

        juce::Image image (juce::Image::ARGB, 100, 30, true);
        {
            juce::Graphics g (image);
            lf.drawLinearSlider (g, 0, 0, 100, 30, 50.0f, 0.0f, 100.0f, juce::Slider::LinearHorizontal, slider);
        }

        const auto thumb = image.getPixelAt (50, 12);
        EXPECT_EQ (thumb.getRed() > 200 && thumb.getGreen() == 0, c.red);
        EXPECT_EQ (thumb.getGreen() > 60 && thumb.getRed() == 0, ! c.red);
    }
}
