#pragma once

#include "AltLookAndFeel.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

class VantorAudioProcessor;

/** The options panel: a translucent box at the top right of the window with the input
    channel configuration, the bass boost and the rate option (the head responses resampled
    to the session's rate). A click anywhere around the box hides it. The choices belong to
    the processor; the panel shows them and forwards the user's. */
class OptionGUI : public juce::Component,
                  public juce::Button::Listener,
                  public juce::ComboBox::Listener
{
public:
    explicit OptionGUI (VantorAudioProcessor* processor);
    ~OptionGUI() override;

    /** Enables the configurations the host's channel count allows and shows the
        processor's current one (none while it has not chosen). Requests nothing: only
        the user's own selections reach the processor. */
    void updateInputConfigChoices();

    /** Shows whether the processor's rate option is on; also done each time the panel is
        shown. Requests nothing. */
    void updateTrueRateChoice();

    void paint (juce::Graphics&) override;
    void resized() override;
    void visibilityChanged() override;

    void buttonClicked (juce::Button*) override;
    void comboBoxChanged (juce::ComboBox*) override;

    /** List position (0-based) of each input configuration, and back. */
    static int listIndexForConfiguration (int configuration) noexcept;
    static int configurationForListIndex (int listIndex) noexcept;

    static constexpr int numInputConfigItems = 10;

private:
    VantorAudioProcessor* processor;
    AltLookAndFeel_transparentButton transparentButtonLookAndFeel;
    std::unique_ptr<juce::TextButton> closeButton;
    std::unique_ptr<juce::Label> boxCover;
    std::unique_ptr<juce::ComboBox> combo_InputConfig;
    std::unique_ptr<juce::Label> label_InputConfig;
    std::unique_ptr<juce::Label> label_BassBoost;
    std::unique_ptr<juce::ComboBox> combo_BassBoost;
    std::unique_ptr<juce::Label> label_TrueRate;
    std::unique_ptr<juce::ComboBox> combo_TrueRate;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OptionGUI)
};
