#include "WelcomeGUI.h"

#include "BinaryData.h"

WelcomeGUI::WelcomeGUI()
{
    setName ("WelcomeGUI");

    labelTitle = std::make_unique<juce::Label> ("labelTitle", TRANS ("Vendrasolith v1.1"));
    addAndMakeVisible (labelTitle.get());
    labelTitle->setFont (juce::Font (20.0f, juce::Font::plain));
    labelTitle->setJustificationType (juce::Justification::centred);
    labelTitle->setEditable (false, false, false);
    labelTitle->setColour (juce::Label::textColourId, juce::Colour (0xfffcfcfc));
    labelTitle->setColour (juce::TextEditor::textColourId, juce::Colour (0xff000000));
    labelTitle->setColour (juce::TextEditor::backgroundColourId, juce::Colour (0x00000000));

    // In front of the title, so a click on the title hides the panel too.
    closeButton = std::make_unique<juce::TextButton> ("closeButton");
    addAndMakeVisible (closeButton.get());
    closeButton->setButtonText ({});
    closeButton->setConnectedEdges (juce::Button::ConnectedOnLeft | juce::Button::ConnectedOnRight
                                    | juce::Button::ConnectedOnTop | juce::Button::ConnectedOnBottom);
    closeButton->addListener (this);
    closeButton->setColour (juce::TextButton::buttonColourId, juce::Colour (0x00ffffff));
    closeButton->setColour (juce::TextButton::buttonOnColourId, juce::Colour (0x00ffffff));

    hyperlinkButton = std::make_unique<juce::HyperlinkButton> (TRANS (siteLinkText), juce::URL (siteAddress));
    addAndMakeVisible (hyperlinkButton.get());
    hyperlinkButton->setTooltip (TRANS (siteAddress));
    hyperlinkButton->setColour (juce::HyperlinkButton::textColourId, juce::Colour (0xffe10035));

    welcomeImage = juce::ImageCache::getFromMemory (BinaryData::welcome_png, BinaryData::welcome_pngSize);

    setSize (500, 380);

    closeButton->setLookAndFeel (&transparentButtonLookAndFeel);

    // The link keeps its own font rather than asking a look-and-feel, so it is given the
    // embedded face directly.
    hyperlinkButton->setFont (transparentButtonLookAndFeel.withEmbeddedTypeface (juce::Font (14.0f, juce::Font::plain)),
                              true, juce::Justification::horizontallyCentred);
}

WelcomeGUI::~WelcomeGUI()
{
    labelTitle = nullptr;
    closeButton = nullptr;
    hyperlinkButton = nullptr;
}

void WelcomeGUI::paint (juce::Graphics& g)
{
    // The card is drawn at the colour's opacity: 80 %, letting the window show through.
    g.setColour (juce::Colours::black.withAlpha (0.8f));
    g.drawImage (welcomeImage, 143, 50, 220, 280, 0, 0, welcomeImage.getWidth(), welcomeImage.getHeight());
}

void WelcomeGUI::resized()
{
    labelTitle->setBounds (165, 125, 175, 24);
    closeButton->setBounds (0, 0, 500, 380);
    hyperlinkButton->setBounds (169, 289, 169, 22);
}

void WelcomeGUI::buttonClicked (juce::Button* button)
{
    if (button == closeButton.get())
        setVisible (false);
}
