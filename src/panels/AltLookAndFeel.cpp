#include "AltLookAndFeel.h"

#include "BinaryData.h"

#include <cmath>

namespace
{
void drawButtonShape (juce::Graphics& g, const juce::Path& outline, juce::Colour baseColour, float height)
{
    const float brightness = baseColour.getBrightness();
    const float alpha = baseColour.getFloatAlpha();

    g.setGradientFill (juce::ColourGradient::vertical (baseColour.brighter (0.2f), 0.0f,
                                                       baseColour.darker (0.25f), height));
    g.fillPath (outline);

    // A faint highlight just inside the lower edge, then the white rim.
    g.setColour (juce::Colours::white.withAlpha (0.4f * alpha * brightness * brightness));
    g.strokePath (outline, juce::PathStrokeType (1.0f),
                  juce::AffineTransform::translation (0.0f, 1.0f).scaled (1.0f, (height - 1.6f) / height));

    g.setColour (juce::Colour (0xffffffff));
    g.strokePath (outline, juce::PathStrokeType (1.0f));
}

bool isHorizontal (juce::Slider::SliderStyle style) noexcept
{
    return style == juce::Slider::LinearHorizontal || style == juce::Slider::LinearBar
        || style == juce::Slider::TwoValueHorizontal || style == juce::Slider::ThreeValueHorizontal;
}
} // namespace

//==============================================================================
AltLookAndFeel::AltLookAndFeel()
{
    setColour (juce::ComboBox::backgroundColourId, juce::Colours::black);
    setColour (juce::ComboBox::buttonColourId, juce::Colours::black);
    setColour (juce::ComboBox::outlineColourId, juce::Colours::whitesmoke);
    setColour (juce::ComboBox::arrowColourId, juce::Colours::white);
    setColour (juce::ComboBox::textColourId, juce::Colours::white);
    setColour (juce::TextButton::buttonColourId, juce::Colours::white);
    setColour (juce::TextButton::buttonOnColourId, juce::Colours::white);
    setColour (juce::TextButton::textColourOnId, juce::Colours::white);
    setColour (juce::TextButton::textColourOffId, juce::Colours::white);
}

AltLookAndFeel::~AltLookAndFeel() = default;

juce::Typeface::Ptr AltLookAndFeel::getTypefaceForFont (const juce::Font& font)
{
    if (font.getTypefaceName() == juce::Font::getDefaultSansSerifFontName())
    {
        if (embeddedTypeface == nullptr)
            embeddedTypeface = juce::Typeface::createSystemTypefaceFor (BinaryData::RobotoRegular_ttf,
                                                                       (size_t) BinaryData::RobotoRegular_ttfSize);
        return embeddedTypeface;
    }

    return LookAndFeel::getTypefaceForFont (font);
}

juce::Font AltLookAndFeel::withEmbeddedTypeface (const juce::Font& font)
{
    if (font.getTypefaceName() != juce::Font::getDefaultSansSerifFontName())
        return font;

    auto typeface = getTypefaceForFont (font);
    if (typeface == nullptr)
        return font;

    juce::Font result (typeface);
    result.setHeight (font.getHeight());
    result.setHorizontalScale (font.getHorizontalScale());
    result.setExtraKerningFactor (font.getExtraKerningFactor());
    result.setUnderline (font.isUnderlined());
    return result;
}

//==============================================================================
void AltLookAndFeel::drawButtonBackground (juce::Graphics& g, juce::Button& button, const juce::Colour& backgroundColour,
                                           bool isMouseOverButton, bool isButtonDown)
{
    auto baseColour = backgroundColour.withMultipliedSaturation (button.hasKeyboardFocus (true) ? 1.3f : 0.9f)
                                      .withMultipliedAlpha (button.isEnabled() ? 0.9f : 0.5f);

    if (isButtonDown)
        baseColour = baseColour.contrasting (0.2f);
    else if (isMouseOverButton)
        baseColour = baseColour.contrasting (0.1f);

    const float width = (float) button.getWidth() - 1.0f;
    const float height = (float) button.getHeight() - 1.0f;

    if (width > 0.0f && height > 0.0f)
    {
        const bool flatOnLeft = button.isConnectedOnLeft();
        const bool flatOnRight = button.isConnectedOnRight();
        const bool flatOnTop = button.isConnectedOnTop();
        const bool flatOnBottom = button.isConnectedOnBottom();

        juce::Path outline;
        outline.addRoundedRectangle (0.5f, 0.5f, width, height, 4.0f, 4.0f,
                                     ! (flatOnLeft || flatOnTop), ! (flatOnRight || flatOnTop),
                                     ! (flatOnLeft || flatOnBottom), ! (flatOnRight || flatOnBottom));
        drawButtonShape (g, outline, baseColour, height);
    }

    if (button.getToggleState())
    {
        g.setColour (juce::Colours::red.withAlpha (0.9f));
        g.drawRect (juce::Rectangle<float> (0.0f, 0.0f, (float) button.getWidth(), (float) button.getHeight()), 1.0f);
    }
}

juce::Font AltLookAndFeel::getTextButtonFont (juce::TextButton&, int)
{
    return withEmbeddedTypeface (juce::Font (14.0f, juce::Font::plain));
}

//==============================================================================
void AltLookAndFeel::drawComboBox (juce::Graphics& g, int width, int height, bool,
                                   int buttonX, int buttonY, int buttonW, int buttonH, juce::ComboBox& box)
{
    g.fillAll (box.findColour (juce::ComboBox::backgroundColourId));

    g.setColour (box.findColour (juce::ComboBox::outlineColourId));
    g.drawRect (juce::Rectangle<float> (0.0f, 0.0f, (float) width, (float) height), 1.0f);

    const auto bx = (float) buttonX, by = (float) buttonY, bw = (float) buttonW, bh = (float) buttonH;
    constexpr float upTip = 0.45f - 0.2f;

    juce::Path arrows;
    arrows.addTriangle (bx + bw * 0.5f, by + bh * upTip,
                        bx + bw * 0.7f, by + bh * 0.45f,
                        bx + bw * 0.3f, by + bh * 0.45f);
    arrows.addTriangle (bx + bw * 0.5f, by + bh * 0.75f,
                        bx + bw * 0.7f, by + bh * 0.55f,
                        bx + bw * 0.3f, by + bh * 0.55f);

    g.setColour (box.findColour (juce::ComboBox::arrowColourId).withMultipliedAlpha (0.7f));
    g.fillPath (arrows);
}

juce::Font AltLookAndFeel::getComboBoxFont (juce::ComboBox&)
{
    return withEmbeddedTypeface (juce::Font (14.0f, juce::Font::plain));
}

juce::Font AltLookAndFeel::getLabelFont (juce::Label& label)
{
    return withEmbeddedTypeface (LookAndFeel_V3::getLabelFont (label));
}

juce::Font AltLookAndFeel::getPopupMenuFont()
{
    return withEmbeddedTypeface (LookAndFeel_V3::getPopupMenuFont());
}

//==============================================================================
void AltLookAndFeel::drawLinearSlider (juce::Graphics& g, int x, int y, int width, int height,
                                       float sliderPos, float minSliderPos, float maxSliderPos,
                                       juce::Slider::SliderStyle style, juce::Slider& slider)
{
    g.fillAll (slider.findColour (juce::Slider::backgroundColourId));

    if (style == juce::Slider::LinearBar)
    {
        const juce::Rectangle<int> bar (x, y, (int) sliderPos - x, height);
        g.setColour (slider.findColour (juce::Slider::thumbColourId));
        g.fillRect (bar);
        g.setColour (slider.findColour (juce::Slider::textBoxTextColourId).withMultipliedAlpha (0.5f));
        g.drawRect (bar.toFloat(), 1.0f);
        return;
    }

    g.setColour (slider.findColour (juce::Slider::trackColourId).withMultipliedAlpha (slider.isEnabled() ? 1.0f : 0.3f));

    if (isHorizontal (style))
        g.fillRect (x, y + juce::roundToInt ((float) height * 0.6f), width, juce::roundToInt ((float) height * 0.2f));
    else
        g.fillRect (x + juce::roundToInt ((float) width * 0.5f) - 2, y, 2, height);

    const float thumbAlpha = ! slider.isEnabled() ? 0.35f : (slider.isMouseOverOrDragging() ? 1.0f : 0.7f);
    const bool highlighted = slider.isMouseOverOrDragging()
                          && static_cast<bool> (slider.getProperties().getWithDefault ("midiLearnOn", false));

    const auto fill = highlighted ? juce::Colours::red.withAlpha (0.9f)
                                  : slider.findColour (juce::Slider::thumbColourId).withAlpha (thumbAlpha);
    const auto outline = juce::Colours::black.withAlpha (thumbAlpha);

    auto drawTriangle = [&] (float x1, float y1, float x2, float y2, float x3, float y3)
    {
        juce::Path p;
        p.addTriangle (x1, y1, x2, y2, x3, y3);
        g.setColour (fill);
        g.fillPath (p);
        g.setColour (outline);
        g.strokePath (p, juce::PathStrokeType (0.3f));
    };

    const float fx = (float) x, fy = (float) y, fw = (float) width, fh = (float) height;
    const float cx = fx + 0.5f * fw;

    if (style == juce::Slider::TwoValueVertical || style == juce::Slider::ThreeValueVertical)
    {
        const float tip = cx + juce::jmin (4.0f, 0.3f * fw), back = cx - juce::jmin (8.0f, 0.4f * fw);
        drawTriangle (tip, minSliderPos, back, minSliderPos - 7.0f, back, minSliderPos);
        drawTriangle (tip, maxSliderPos, back, maxSliderPos, back, maxSliderPos + 7.0f);
    }
    else if (style == juce::Slider::TwoValueHorizontal || style == juce::Slider::ThreeValueHorizontal)
    {
        const float tip = fy + 0.6f * fh - juce::jmin (4.0f, 0.3f * fh), base = fy + 0.9f * fh;
        drawTriangle (minSliderPos, tip, minSliderPos - 7.0f, base, minSliderPos, base);
        drawTriangle (maxSliderPos, tip, maxSliderPos, base, maxSliderPos + 7.0f, base);
    }

    if (style == juce::Slider::LinearHorizontal || style == juce::Slider::ThreeValueHorizontal)
    {
        drawTriangle (sliderPos, fy + 0.9f * fh, sliderPos - 7.0f, fy + 0.2f * fh, sliderPos + 7.0f, fy + 0.2f * fh);
    }
    else if (style == juce::Slider::LinearVertical || style == juce::Slider::ThreeValueVertical)
    {
        const float back = cx + juce::jmin (8.0f, 0.4f * fw) + 2.0f;
        drawTriangle (cx - juce::jmin (4.0f, 0.3f * fw) + 6.0f, sliderPos, back, sliderPos - 5.0f, back, sliderPos + 5.0f);
    }
}

int AltLookAndFeel::frameForPosition (float sliderPosProportional) noexcept
{
    const float scaled = sliderPosProportional * (float) (filmstripFrames - 1);
    if (! std::isfinite (scaled))
        return 0;
    return juce::jlimit (0, filmstripFrames - 1, (int) std::floor (scaled));
}

void AltLookAndFeel::drawFilmstripFrame (juce::Graphics& g, const void* data, int dataSize, int width, int height,
                                         float sliderPosProportional, int inset)
{
    const auto strip = juce::ImageCache::getFromMemory (data, dataSize);
    if (! strip.isValid())
        return;

    const int top = frameForPosition (sliderPosProportional) * filmstripFrameSize;
    g.drawImage (strip, 0, 0, width, height,
                 inset, top + inset, filmstripFrameSize - 2 * inset, filmstripFrameSize - 2 * inset);
}

void AltLookAndFeel::drawRotarySlider (juce::Graphics& g, int, int, int width, int height,
                                       float sliderPosProportional, float, float, juce::Slider&)
{
    drawFilmstripFrame (g, BinaryData::bouton_AW_70x70_png, BinaryData::bouton_AW_70x70_pngSize,
                        width, height, sliderPosProportional, 5);
}

//==============================================================================
AltLookAndFeel_transparentButton::~AltLookAndFeel_transparentButton() = default;

void AltLookAndFeel_transparentButton::drawButtonBackground (juce::Graphics&, juce::Button&, const juce::Colour&, bool, bool)
{
}

void AltLookAndFeel_transparentButton::drawRotarySlider (juce::Graphics& g, int, int, int width, int height,
                                                         float sliderPosProportional, float, float, juce::Slider&)
{
    drawFilmstripFrame (g, BinaryData::bouton_G_70x70_png, BinaryData::bouton_G_70x70_pngSize,
                        width, height, sliderPosProportional, 0);
}
