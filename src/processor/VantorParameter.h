#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

class VantorAudioProcessor;

/** One of the three automatable controls. It keeps no value of its own: every read and
    write goes through the processor, so hosts see the same value whichever interface
    they use, and a value is stored exactly as received.

    Texts: where the format shows units (HostFormat), a value reads as the editor shows
    it, in whole degrees, percent or decibels ("90°", "50%", "-6dB"), and such a text,
    with or without its unit, reads back as the value; elsewhere it is the normalised
    value as %g writes it, and a text is read as a normalised value.

    Range: where the host holds values in units (HostFormat), the range runs over the
    editor's units (0…360 degrees, 0…100 %, -90…+10 dB) and maps them onto the normalised
    value with the editor's own arithmetic; elsewhere it is 0…1 itself. */
class VantorParameter final : public juce::RangedAudioParameter
{
public:
    /** What the editor shows the value in. */
    enum class Unit { degrees, percent, decibels };

    VantorParameter (VantorAudioProcessor& owner, int index, juce::String name, float defaultValue);

    float getValue() const override;
    void setValue (float newValue) override;
    float getDefaultValue() const override { return defaultValue; }
    juce::String getLabel() const override { return {}; }
    juce::String getText (float value, int maximumStringLength) const override;
    float getValueForText (const juce::String& text) const override;
    const juce::NormalisableRange<float>& getNormalisableRange() const override { return range; }

    Unit getUnit() const noexcept;

private:
    VantorAudioProcessor& owner;
    const int index;
    const float defaultValue;
    const bool showsUnits;
    const juce::NormalisableRange<float> range;
};
