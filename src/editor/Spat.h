#pragma once

#include "Pad.h"

/** The circular display: an arc on the ring around the listener shows the image that
    Angle and Width give; clicking or dragging sets both at once (direction from the
    centre gives Angle, distance from it gives Width). Straight up is straight ahead. */
class Spat : public Pad
{
public:
    explicit Spat (VantorAudioProcessor* processor);
    ~Spat() override;

    void mouseDown (const juce::MouseEvent&) override;
    void mouseDrag (const juce::MouseEvent&) override;
    void mouseUp (const juce::MouseEvent&) override;
    void paint (juce::Graphics&) override;

    /** Moves the point to the mouse and writes Angle and Width. */
    void updateFromMouse (const juce::MouseEvent&);

    /** The point (posX, posY) standing for an Angle and a Width. */
    static juce::Point<float> pointFor (float angle, float width) noexcept;

private:
    // Rebuilt at every paint; kept as a member so its storage is reused.
    juce::Path arcPath;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Spat)
};
