#pragma once

// Small marks used on several images: the maker's logo, the listener's head and the gear.

#include "Canvas.h"

namespace artwork
{
enum class LogoStyle
{
    badge,  // dark round badge with a light quill, for the skins' corner
    plain   // white quill in a white ring, for coloured backgrounds
};

// The Quillbright mark: a quill with a spark, fitted into the square `area`.
void drawLogo (juce::Graphics& g, juce::Rectangle<float> area, LogoStyle style);

// A listener's head seen from above, nose up, `size` pixels across the ears.
void drawHeadFromAbove (juce::Graphics& g, juce::Point<float> centre, float size,
                        juce::Colour light, juce::Colour dark);

// 22 × 22 white gear on transparent ground.
juce::Image makeGearIcon();

// 220 × 280 red card for the welcome panel.
juce::Image makeWelcomeCard (const Fonts& fonts);
} // namespace artwork
