#include "OptionGUI.h"

#include "VantorAudioProcessor.h"

#include <array>

namespace
{
// Configuration value shown at each list position: the list groups the layouts by
// channel count, while the configuration values keep their own order.
constexpr std::array<int, OptionGUI::numInputConfigItems> configurationAtListIndex { 0, 1, 2, 3, 4, 8, 5, 6, 7, 9 };

/** The translucent box that holds the choices; around it, a click hides the panel. */
const juce::Rectangle<int> boxArea { 190, 30, 310, 105 };

void styleCaption (juce::Label& label, juce::Justification justification)
{
    label.setFont (juce::Font (15.0f, juce::Font::plain));
    label.setJustificationType (justification);
    label.setEditable (false, false, false);
    label.setColour (juce::Label::textColourId, juce::Colour (0xfffcfcfc));
    label.setColour (juce::TextEditor::textColourId, juce::Colour (0xff000000));
    label.setColour (juce::TextEditor::backgroundColourId, juce::Colour (0x00000000));
}

void styleList (juce::ComboBox& box)
{
    box.setEditableText (false);
    box.setJustificationType (juce::Justification::centredLeft);
    box.setTextWhenNothingSelected ({});
    box.setTextWhenNoChoicesAvailable (TRANS ("(no choices)"));
}
} // namespace

int OptionGUI::listIndexForConfiguration (int configuration) noexcept
{
    for (int i = 0; i < numInputConfigItems; ++i)
        if (configurationAtListIndex[(size_t) i] == configuration)
            return i;
    return 0;
}

int OptionGUI::configurationForListIndex (int listIndex) noexcept
{
    return juce::isPositiveAndBelow (listIndex, numInputConfigItems) ? configurationAtListIndex[(size_t) listIndex] : 0;
}

//==============================================================================
OptionGUI::OptionGUI (VantorAudioProcessor* p)
{
    setName ("OptionGUI");

    closeButton = std::make_unique<juce::TextButton> ("closeButton");
    addAndMakeVisible (closeButton.get());
    closeButton->setButtonText ({});
    closeButton->setConnectedEdges (juce::Button::ConnectedOnLeft | juce::Button::ConnectedOnRight
                                    | juce::Button::ConnectedOnTop | juce::Button::ConnectedOnBottom);
    closeButton->addListener (this);
    closeButton->setColour (juce::TextButton::buttonColourId, juce::Colour (0x00ffffff));
    closeButton->setColour (juce::TextButton::buttonOnColourId, juce::Colour (0x00ffffff));
    closeButton->setColour (juce::TextButton::textColourOnId, juce::Colour (0x00000000));
    closeButton->setColour (juce::TextButton::textColourOffId, juce::Colour (0x00000000));

    // Lies in front of the close button over the options box, so clicks that miss the
    // lists and captions there do nothing.
    boxCover = std::make_unique<juce::Label>();
    addAndMakeVisible (boxCover.get());
    styleCaption (*boxCover, juce::Justification::centredLeft);

    combo_InputConfig = std::make_unique<juce::ComboBox> ("presetList");
    addAndMakeVisible (combo_InputConfig.get());
    styleList (*combo_InputConfig);
    combo_InputConfig->addListener (this);

    label_InputConfig = std::make_unique<juce::Label> ("label_InputConfig", TRANS ("Input channel config"));
    addAndMakeVisible (label_InputConfig.get());
    styleCaption (*label_InputConfig, juce::Justification::centredLeft);

    label_BassBoost = std::make_unique<juce::Label> ("label_BassBoost", TRANS ("Bass Boost"));
    addAndMakeVisible (label_BassBoost.get());
    styleCaption (*label_BassBoost, juce::Justification::centred);

    combo_BassBoost = std::make_unique<juce::ComboBox> ("presetList");
    addAndMakeVisible (combo_BassBoost.get());
    styleList (*combo_BassBoost);
    combo_BassBoost->addListener (this);

    label_TrueRate = std::make_unique<juce::Label> ("label_TrueRate", TRANS ("Resample HRTF to session rate"));
    addAndMakeVisible (label_TrueRate.get());
    styleCaption (*label_TrueRate, juce::Justification::centredLeft);

    combo_TrueRate = std::make_unique<juce::ComboBox> ("presetList");
    addAndMakeVisible (combo_TrueRate.get());
    styleList (*combo_TrueRate);
    combo_TrueRate->addListener (this);

    setSize (500, 380);

    closeButton->setLookAndFeel (&transparentButtonLookAndFeel);

    processor = p;

    combo_InputConfig->addItem (TRANS ("Mono"), 1);
    combo_InputConfig->addSeparator();
    combo_InputConfig->addItem (TRANS ("Stereo"), 2);
    combo_InputConfig->addSeparator();
    combo_InputConfig->addItem (TRANS ("L R C LFE Lsr Rs"), 3);
    combo_InputConfig->addItem (TRANS ("L C R Lsr Rsr LFE"), 4);
    combo_InputConfig->addItem (TRANS ("C L R Lsr Rsr LFE"), 5);
    combo_InputConfig->addItem (TRANS ("L R Lsr Rsr C LFE"), 6);
    combo_InputConfig->addSeparator();
    combo_InputConfig->addItem (TRANS ("L R C LFE Lsr Rsr Lss Rss"), 7);
    combo_InputConfig->addItem (TRANS ("L C R Lss Rss Lsr Rsr LFE"), 8);
    combo_InputConfig->addItem (TRANS ("C L R Lss Rss Lsr Rsr LFE"), 9);
    combo_InputConfig->addItem (TRANS ("L R Lsr Rsr C LFE Lss Rss"), 10);

    updateInputConfigChoices();

    combo_BassBoost->addItem (TRANS ("Off"), 1);
    combo_BassBoost->addItem (TRANS ("+3 dB"), 2);
    combo_BassBoost->addItem (TRANS ("+6 dB"), 3);
    combo_BassBoost->addItem (TRANS ("+9 dB"), 4);

    if (processor != nullptr)
    {
        // No announcement: its echo could undo a step a host restores meanwhile.
        const int step = processor->getBassBoostStep();
        if (juce::isPositiveAndBelow (step, combo_BassBoost->getNumItems()))
            combo_BassBoost->setSelectedItemIndex (step, juce::dontSendNotification);
    }

    combo_TrueRate->addItem (TRANS ("Off"), 1);
    combo_TrueRate->addItem (TRANS ("On"), 2);
    updateTrueRateChoice();
}

OptionGUI::~OptionGUI()
{
    // Children go first, in the order they were made, before the look-and-feel they use.
    closeButton = nullptr;
    boxCover = nullptr;
    combo_InputConfig = nullptr;
    label_InputConfig = nullptr;
    label_BassBoost = nullptr;
    combo_BassBoost = nullptr;
    label_TrueRate = nullptr;
    combo_TrueRate = nullptr;
}

//==============================================================================
void OptionGUI::updateInputConfigChoices()
{
    if (processor == nullptr)
        return;

    for (int id = 1; id <= numInputConfigItems; ++id)
        combo_InputConfig->setItemEnabled (id, false);

    // A layout can be chosen only if the host delivers exactly 1, 2, 6 or 8 channels
    // and the layout reads no more of them.
    int lastEnabledId = 0;
    switch (processor->getTotalNumInputChannels())
    {
        case 1: lastEnabledId = 1; break;
        case 2: lastEnabledId = 2; break;
        case 6: lastEnabledId = 6; break;
        case 8: lastEnabledId = 10; break;
        default: break;
    }

    for (int id = 1; id <= lastEnabledId; ++id)
        combo_InputConfig->setItemEnabled (id, true);

    // No announcement: it would arrive later and hand back a value the host may have replaced
    // meanwhile. While the processor has not chosen, nothing is shown, so every item, Mono
    // included, is still a choice the user can make; a layout the host declared shows the
    // configuration that reads it in its order, if one does. A number that is no layout (a
    // damaged project's) shows nothing either: no item names what is then in use.
    const int configuration = processor->getConfigurationInUse();
    const bool namesALayout = juce::isPositiveAndBelow (configuration, numInputConfigItems);
    const int shownId = namesALayout ? combo_InputConfig->getItemId (listIndexForConfiguration (configuration)) : 0;
    combo_InputConfig->setSelectedId (shownId, juce::dontSendNotification);
}

void OptionGUI::updateTrueRateChoice()
{
    // No announcement, as for the other lists: only the user's own selection is forwarded.
    if (processor != nullptr)
        combo_TrueRate->setSelectedId (processor->isTrueRate() ? 2 : 1, juce::dontSendNotification);
}

void OptionGUI::paint (juce::Graphics& g)
{
    g.setColour (juce::Colour (0xba000000));
    g.fillRect (boxArea);

    g.setColour (juce::Colour (0xffb9ac9a));
    g.fillRect (boxArea.withWidth (1));

    g.setColour (juce::Colour (0xffb9ac9a));
    g.fillRect (boxArea.withTop (boxArea.getBottom() - 1));
}

void OptionGUI::resized()
{
    closeButton->setBounds (-24, -24, 540, 420);
    boxCover->setBounds (boxArea);
    combo_InputConfig->setBounds (203, 65, 173, 19);
    label_InputConfig->setBounds (220, 35, 142, 24);
    label_BassBoost->setBounds (410, 35, 74, 24);
    combo_BassBoost->setBounds (406, 65, 82, 19);
    label_TrueRate->setBounds (203, 98, 200, 24);
    combo_TrueRate->setBounds (406, 101, 82, 19);
}

void OptionGUI::visibilityChanged()
{
    // A restored state may have switched the option while the panel was hidden.
    if (isVisible())
        updateTrueRateChoice();
}

void OptionGUI::buttonClicked (juce::Button* button)
{
    if (button == closeButton.get())
        setVisible (false);
}

void OptionGUI::comboBoxChanged (juce::ComboBox* box)
{
    if (processor == nullptr)
        return;

    if (box == combo_InputConfig.get())
        processor->requestInputConfiguration (configurationForListIndex (combo_InputConfig->getSelectedItemIndex()));
    else if (box == combo_BassBoost.get())
        processor->setBassBoostStep (combo_BassBoost->getSelectedItemIndex());
    else if (box == combo_TrueRate.get())
        processor->setTrueRate (combo_TrueRate->getSelectedId() == 2);
}
