#pragma once

#include "AltLookAndFeel.h"
#include "OptionGUI.h"
#include "Spat.h"
#include "VantorAudioProcessor.h"
#include "WelcomeGUI.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>

/** The plug-in's window: a skin image with the Angle, Width and Gain knobs, the spatial
    display, invisible hotspots for the options, welcome and skin switch, and the two
    panels. It does not listen to the processor: a 50 ms timer polls the processor's
    refresh flag and pulls the parameter values when it is set. */
class VantorAudioProcessorEditor : public juce::AudioProcessorEditor,
                                   public juce::Timer,
                                   public juce::Slider::Listener,
                                   public juce::Button::Listener
{
public:
    explicit VantorAudioProcessorEditor (VantorAudioProcessor&);
    ~VantorAudioProcessorEditor() override;

    void paint (juce::Graphics&) override;
    void resized() override;

    void timerCallback() override;

    void sliderValueChanged (juce::Slider*) override;
    void sliderDragStarted (juce::Slider*) override;
    void sliderDragEnded (juce::Slider*) override;

    void buttonClicked (juce::Button*) override;

    /** The skin for an index: 1 to 4 the alternatives, anything else the default. */
    static juce::Image skinImageFor (int index);

    static constexpr int numSkins = 5;

private:
    /** The parameter index a knob edits, or -1 for any other slider. */
    int parameterIndexOf (const juce::Slider*) const noexcept;

    VantorAudioProcessor& vantorProcessor;

    std::unique_ptr<OptionGUI> optionPanel;
    std::unique_ptr<WelcomeGUI> welcomePanel;
    int skinIndex = 0;
    AltLookAndFeel altLookAndFeel;
    AltLookAndFeel_transparentButton transparentButtonLookAndFeel;
    std::unique_ptr<juce::Slider> sliderAngle;
    std::unique_ptr<Spat> spat;
    std::unique_ptr<juce::Slider> sliderWidth;
    std::unique_ptr<juce::Slider> sliderGain;
    std::unique_ptr<juce::ImageButton> engrenage;
    std::unique_ptr<juce::TextButton> headerButton;
    std::unique_ptr<juce::TextButton> buttonSwitchGUI;
    juce::Image backgroundImage;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VantorAudioProcessorEditor)
};
