#pragma once

#include "VantorAudioProcessor.h"

#include <juce_audio_processors/juce_audio_processors.h>

/** The plug-in's window. */
class VantorAudioProcessorEditor : public juce::AudioProcessorEditor
{
public:
    explicit VantorAudioProcessorEditor (VantorAudioProcessor&);
    ~VantorAudioProcessorEditor() override;

    void paint (juce::Graphics&) override;

private:
    VantorAudioProcessor& processor;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VantorAudioProcessorEditor)
};
