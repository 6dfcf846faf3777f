#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class VantorAudioProcessor;

/** A component holding a point, in fractions of its own width and height, that stands
    for some of the processor's parameters. The editor writes the point directly at each
    refresh; a derived class draws and edits it. */
class Pad : public juce::Component
{
public:
    explicit Pad (VantorAudioProcessor* processor);
    ~Pad() override;

    void resized() override;

    /** 0 at the left edge, 1 at the right; values beyond are allowed and limited by users. */
    float posX = 0.0f;
    /** 0 at the top edge, 1 at the bottom. */
    float posY = 0.0f;
    /** May be null: the pad then edits only its point. */
    VantorAudioProcessor* const processor;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Pad)
};
