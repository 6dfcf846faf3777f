#pragma once

// The five 500 × 380 window backgrounds. They share one layout, which the editor's
// controls are placed on, and differ only in the surface texture.

#include "Canvas.h"

namespace artwork
{
enum class Surface
{
    wood,
    beigeHexagons,
    brushedGrey,
    paleGreenHexagons,
    brushedGoldHexagons
};

constexpr int skinWidth = 500;
constexpr int skinHeight = 380;

juce::Image makeSkin (Surface surface, const Fonts& fonts);

// Where the editor puts things; the skin is drawn to fit them.
namespace layout
{
    const juce::Rectangle<int> header { 0, 0, 500, 30 };
    const juce::Rectangle<int> headerButton { 0, 0, 192, 30 };
    const juce::Rectangle<int> gear { 461, 7, 18, 18 };
    const juce::Rectangle<float> panel { -14.0f, 75.0f, 171.0f, 280.0f };   // left edge runs off the window
    const juce::Rectangle<int> angleKnob { 74, 87, 60, 77 };
    const juce::Rectangle<int> widthKnob { 74, 165, 60, 77 };
    const juce::Rectangle<int> gainKnob { 69, 255, 70, 87 };
    constexpr int valueBoxHeight = 15;
    constexpr int valueBoxWidth = 40;
    const juce::Point<float> displayCentre { 333.0f, 204.0f };
    const juce::Rectangle<int> display { 183, 54, 300, 300 };
    constexpr float arcOuterRadius = 129.0f;
    constexpr float arcInnerRadius = 120.6f;
    const juce::Rectangle<int> logoButton { 448, 336, 32, 32 };

    // The knob image fills the slider's area above its value box.
    inline juce::Rectangle<int> knobArea (juce::Rectangle<int> slider)
    {
        return slider.withTrimmedBottom (valueBoxHeight);
    }
}
} // namespace artwork
