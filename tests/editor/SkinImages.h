#pragma once

#include "BinaryData.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <cmath>

namespace guitest
{
/** The skin image of an index 0 to 4, decoded from the embedded data. */
inline juce::Image skin (int index)
{
    switch (index)
    {
        case 1: return juce::ImageCache::getFromMemory (BinaryData::interface_vendrasolithV1_jpg, BinaryData::interface_vendrasolithV1_jpgSize);
        case 2: return juce::ImageCache::getFromMemory (BinaryData::interface_vendrasolithV2_jpg, BinaryData::interface_vendrasolithV2_jpgSize);
        case 3: return juce::ImageCache::getFromMemory (BinaryData::interface_vendrasolithV3_jpg, BinaryData::interface_vendrasolithV3_jpgSize);
        case 4: return juce::ImageCache::getFromMemory (BinaryData::interface_vendrasolithV4_jpg, BinaryData::interface_vendrasolithV4_jpgSize);
        default: return juce::ImageCache::getFromMemory (BinaryData::interface_default_jpg, BinaryData::interface_default_jpgSize);
    }
}

/** Whether the editor's own controls may draw over an editor pixel: the knobs, the gear
    and the display's ring (the display draws nothing else). */
inline bool underControls (int x, int y)
{
    const juce::Rectangle<int> controls[] = { { 74, 87, 60, 77 }, { 74, 165, 60, 77 }, { 69, 255, 70, 87 }, { 461, 7, 18, 18 } };
    for (const auto& r : controls)
        if (r.contains (x, y))
            return true;

    const float distance = std::hypot ((float) x + 0.5f - 333.0f, (float) y + 0.5f - 204.0f);
    return distance > 117.0f && distance < 132.0f;
}

/** How many editor pixels away from the controls differ from a skin drawn 1:1. */
inline int pixelsDifferingFromSkin (const juce::Image& shot, const juce::Image& skinImage)
{
    const juce::Image::BitmapData a (shot, juce::Image::BitmapData::readOnly);
    const juce::Image::BitmapData b (skinImage, juce::Image::BitmapData::readOnly);
    int differing = 0;
    for (int y = 0; y < 380; ++y)
        for (int x = 0; x < 500; ++x)
            if (! underControls (x, y) && a.getPixelColour (x, y) != b.getPixelColour (x, y))
                ++differing;
    return differing;
}
} // namespace guitest
