#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

class VantorAudioProcessor;

/** One of the three automatable controls. It keeps no value of its own: every read and
    write goes through the processor, so hosts see the same value whichever interface
    they use, and a value is stored exactly as received. */
class VantorParameter final : public juce::AudioProcessorParameterWithID
{
public:
    VantorParameter (VantorAudioProcessor& owner, int index, juce::String name, float defaultValue);

    float getValue() const override;
    void setValue (float newValue) override;
    float getDefaultValue() const override { return defaultValue; }
    juce::String getLabel() const override { return {}; }
    juce::String getText (float value, int maximumStringLength) const override;
    float getValueForText (const juce::String& text) const override;

private:
    VantorAudioProcessor& owner;
    const int index;
    const float defaultValue;
};
