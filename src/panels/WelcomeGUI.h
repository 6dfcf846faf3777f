#pragma once

#include "AltLookAndFeel.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

/** The welcome panel: the product card with its name, version and a link to the maker's
    site over the middle of the window. A click anywhere but on the link hides it. */
class WelcomeGUI : public juce::Component,
                   public juce::Button::Listener
{
public:
    WelcomeGUI();
    ~WelcomeGUI() override;

    void paint (juce::Graphics&) override;
    void resized() override;

    void buttonClicked (juce::Button*) override;

    static constexpr const char* siteAddress = "https://quillbright.example";
    static constexpr const char* siteLinkText = "quillbright.example";

private:
    AltLookAndFeel_transparentButton transparentButtonLookAndFeel;
    std::unique_ptr<juce::Label> labelTitle;
    std::unique_ptr<juce::TextButton> closeButton;
    std::unique_ptr<juce::HyperlinkButton> hyperlinkButton;
    juce::Image welcomeImage;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (WelcomeGUI)
};
