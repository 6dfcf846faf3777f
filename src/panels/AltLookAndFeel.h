#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** The plug-in's own style: knobs drawn from pre-rendered filmstrips, flat combo boxes,
    shaded text buttons and the embedded Roboto Regular as the default sans-serif face.

    The editor sets it on itself rather than as the process-wide default, so the
    framework's typeface cache (which only asks the default look-and-feel) never sees
    it; the font hooks below therefore swap the embedded face in themselves. */
class AltLookAndFeel : public juce::LookAndFeel_V3
{
public:
    AltLookAndFeel();
    ~AltLookAndFeel() override;

    juce::Typeface::Ptr getTypefaceForFont (const juce::Font&) override;

    void drawButtonBackground (juce::Graphics&, juce::Button&, const juce::Colour& backgroundColour,
                               bool isMouseOverButton, bool isButtonDown) override;
    juce::Font getTextButtonFont (juce::TextButton&, int buttonHeight) override;

    void drawComboBox (juce::Graphics&, int width, int height, bool isButtonDown,
                       int buttonX, int buttonY, int buttonW, int buttonH, juce::ComboBox&) override;
    juce::Font getComboBoxFont (juce::ComboBox&) override;

    juce::Font getLabelFont (juce::Label&) override;
    juce::Font getPopupMenuFont() override;

    void drawLinearSlider (juce::Graphics&, int x, int y, int width, int height,
                           float sliderPos, float minSliderPos, float maxSliderPos,
                           juce::Slider::SliderStyle, juce::Slider&) override;
    void drawRotarySlider (juce::Graphics&, int x, int y, int width, int height,
                           float sliderPosProportional, float rotaryStartAngle, float rotaryEndAngle,
                           juce::Slider&) override;

    /** The font as the window shows it: the default sans-serif face becomes the embedded
        Roboto Regular (whatever bold or italic flags it asks for); other faces are kept. */
    juce::Font withEmbeddedTypeface (const juce::Font&);

    static constexpr int filmstripFrames = 127;
    static constexpr int filmstripFrameSize = 70;

    /** The filmstrip frame shown for a slider position between 0 and 1. */
    static int frameForPosition (float sliderPosProportional) noexcept;

protected:
    /** Draws frame f of a knob filmstrip into (0, 0, width, height), leaving out an
        inset of the given number of pixels on every side of the frame. */
    static void drawFilmstripFrame (juce::Graphics&, const void* data, int dataSize, int width, int height,
                                    float sliderPosProportional, int inset);

private:
    // Parsed once per look-and-feel on first use: labels ask for their font at every paint.
    juce::Typeface::Ptr embeddedTypeface;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AltLookAndFeel)
};

/** The same style for single components that must not show a button body: invisible
    click areas, and the Gain knob, which uses the silver filmstrip. */
class AltLookAndFeel_transparentButton : public AltLookAndFeel
{
public:
    AltLookAndFeel_transparentButton() = default;
    ~AltLookAndFeel_transparentButton() override;

    void drawButtonBackground (juce::Graphics&, juce::Button&, const juce::Colour& backgroundColour,
                               bool isMouseOverButton, bool isButtonDown) override;
    void drawRotarySlider (juce::Graphics&, int x, int y, int width, int height,
                           float sliderPosProportional, float rotaryStartAngle, float rotaryEndAngle,
                           juce::Slider&) override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AltLookAndFeel_transparentButton)
};
