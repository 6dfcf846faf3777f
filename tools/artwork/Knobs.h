#pragma once

// Knob filmstrips: 127 frames of 70 × 70 stacked vertically, frame k showing the
// proportion k / 126 of the travel.

#include "Canvas.h"

namespace artwork
{
// Dark knob with a blue arc growing from the start of the travel to the value. Only
// the central 60 × 60 of each frame is shown, so everything stays within 30 px of
// the centre.
juce::Image makeDarkKnobStrip();

// Silver knob inside a blue scale marked at the gain control's decibel values, with
// a fixed marker at the top where the middle frame points (0 dB at the knob's skew).
juce::Image makeSilverKnobStrip();

// The frame a knob of range [minimum, maximum] and the given skew factor shows for a value.
int frameForValue (double value, double minimum, double maximum, double skew);
} // namespace artwork
