#include "VantorAudioProcessorEditor.h"

#include "BinaryData.h"

namespace
{
constexpr int allEdges = juce::Button::ConnectedOnLeft | juce::Button::ConnectedOnRight
                       | juce::Button::ConnectedOnTop | juce::Button::ConnectedOnBottom;

void setUpKnob (juce::Slider& knob, double minimum, double maximum, bool dark)
{
    knob.setRange (minimum, maximum, 1.0);
    knob.setSliderStyle (juce::Slider::RotaryVerticalDrag);
    knob.setTextBoxStyle (juce::Slider::TextBoxBelow, false, 40, 15);

    knob.setColour (juce::Slider::backgroundColourId, juce::Colour (dark ? 0xff000000 : 0x00000000));
    knob.setColour (juce::Slider::thumbColourId, juce::Colour (dark ? 0xff000000 : 0xffeeeeee));
    if (dark)
        knob.setColour (juce::Slider::trackColourId, juce::Colour (0xff000000));
    knob.setColour (juce::Slider::rotarySliderFillColourId, juce::Colour (0x7ffdfdfd));
    knob.setColour (juce::Slider::rotarySliderOutlineColourId, juce::Colour (0xff797979));
    knob.setColour (juce::Slider::textBoxTextColourId, juce::Colour (0xffd7d7d7));
    knob.setColour (juce::Slider::textBoxBackgroundColourId, juce::Colour (0xff92928d));
    knob.setColour (juce::Slider::textBoxHighlightColourId, juce::Colour (0x3affffff));
    knob.setColour (juce::Slider::textBoxOutlineColourId, juce::Colour (0xffb3b1ad));
}

juce::Image imageFromMemory (const void* data, int size)
{
    return juce::ImageCache::getFromMemory (data, size);
}
} // namespace

//==============================================================================
VantorAudioProcessorEditor::VantorAudioProcessorEditor (VantorAudioProcessor& p)
    : AudioProcessorEditor (p), vantorProcessor (p)
{
    sliderAngle = std::make_unique<juce::Slider> ("sliderAngle");
    addAndMakeVisible (sliderAngle.get());
    setUpKnob (*sliderAngle, 0.0, 360.0, true);
    sliderAngle->addListener (this);

    spat = std::make_unique<Spat> (&vantorProcessor);
    addAndMakeVisible (spat.get());
    spat->setName ("spat");

    sliderWidth = std::make_unique<juce::Slider> ("sliderWidth");
    addAndMakeVisible (sliderWidth.get());
    setUpKnob (*sliderWidth, 0.0, 100.0, false);
    sliderWidth->addListener (this);

    sliderGain = std::make_unique<juce::Slider> ("sliderGain");
    addAndMakeVisible (sliderGain.get());
    setUpKnob (*sliderGain, -90.0, 10.0, false);
    sliderGain->addListener (this);
    // Puts 0 dB at 0.9^6.5 of the travel, where the silver knob's marker is drawn.
    sliderGain->setSkewFactor (6.5);

    engrenage = std::make_unique<juce::ImageButton> ("engrenage");
    addAndMakeVisible (engrenage.get());
    engrenage->setButtonText ("new button");
    engrenage->addListener (this);
    const auto gear = imageFromMemory (BinaryData::engrenage_png, BinaryData::engrenage_pngSize);
    engrenage->setImages (false, true, true,
                          gear, 0.85f, juce::Colour (0x00000000),
                          gear, 1.0f, juce::Colour (0x00000000),
                          gear, 0.5f, juce::Colour (0x00000000), 0.0f);

    headerButton = std::make_unique<juce::TextButton> ("new button");
    addAndMakeVisible (headerButton.get());
    headerButton->setButtonText ({});
    headerButton->setConnectedEdges (allEdges);
    headerButton->addListener (this);
    headerButton->setColour (juce::TextButton::buttonColourId, juce::Colour (0x00bbbbff));
    headerButton->setColour (juce::TextButton::buttonOnColourId, juce::Colour (0x48e8e8e8));

    buttonSwitchGUI = std::make_unique<juce::TextButton> ("buttonSwitchGUI");
    addAndMakeVisible (buttonSwitchGUI.get());
    buttonSwitchGUI->setButtonText ("new button");
    buttonSwitchGUI->setConnectedEdges (allEdges);
    buttonSwitchGUI->addListener (this);
    buttonSwitchGUI->setColour (juce::TextButton::buttonColourId, juce::Colour (0x00bbbbff));
    buttonSwitchGUI->setColour (juce::TextButton::buttonOnColourId, juce::Colour (0x004444ff));
    buttonSwitchGUI->setColour (juce::TextButton::textColourOnId, juce::Colour (0x00000000));
    buttonSwitchGUI->setColour (juce::TextButton::textColourOffId, juce::Colour (0x00000000));

    backgroundImage = skinImageFor (0);
    setSize (500, 380);

    skinIndex = vantorProcessor.getGuiIndex();
    backgroundImage = skinImageFor (skinIndex);

    sliderAngle->setTextValueSuffix (juce::translate (juce::String::fromUTF8 ("\xc2\xb0")));
    sliderWidth->setTextValueSuffix (TRANS ("%"));
    sliderGain->setTextValueSuffix (TRANS ("dB"));

    optionPanel = std::make_unique<OptionGUI> (&vantorProcessor);
    addChildComponent (optionPanel.get());
    welcomePanel = std::make_unique<WelcomeGUI>();
    addChildComponent (welcomePanel.get());

    // The first tick fills the knobs and the display even if nothing changed since.
    vantorProcessor.setEditorRefreshPending (true);
    startTimer (50);

    // Set on the window only, so the children inherit it while the rest of the process
    // keeps its own look-and-feel.
    setLookAndFeel (&altLookAndFeel);
    headerButton->setLookAndFeel (&transparentButtonLookAndFeel);
    sliderGain->setLookAndFeel (&transparentButtonLookAndFeel);
    buttonSwitchGUI->setLookAndFeel (&transparentButtonLookAndFeel);
}

VantorAudioProcessorEditor::~VantorAudioProcessorEditor()
{
    optionPanel = nullptr;
    welcomePanel = nullptr;

    sliderAngle = nullptr;
    spat = nullptr;
    sliderWidth = nullptr;
    sliderGain = nullptr;
    engrenage = nullptr;
    headerButton = nullptr;
    buttonSwitchGUI = nullptr;

    // No component may refer to the look-and-feel objects once they are gone.
    setLookAndFeel (nullptr);
}

//==============================================================================
juce::Image VantorAudioProcessorEditor::skinImageFor (int index)
{
    switch (index)
    {
        case 1: return imageFromMemory (BinaryData::interface_vendrasolithV1_jpg, BinaryData::interface_vendrasolithV1_jpgSize);
        case 2: return imageFromMemory (BinaryData::interface_vendrasolithV2_jpg, BinaryData::interface_vendrasolithV2_jpgSize);
        case 3: return imageFromMemory (BinaryData::interface_vendrasolithV3_jpg, BinaryData::interface_vendrasolithV3_jpgSize);
        case 4: return imageFromMemory (BinaryData::interface_vendrasolithV4_jpg, BinaryData::interface_vendrasolithV4_jpgSize);
        default: return imageFromMemory (BinaryData::interface_default_jpg, BinaryData::interface_default_jpgSize);
    }
}

void VantorAudioProcessorEditor::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colour (0xff000000));
    g.setColour (juce::Colour (0xff000000));
    g.drawImage (backgroundImage, 0, 0, 500, 380, 0, 0, backgroundImage.getWidth(), backgroundImage.getHeight(), false);
}

void VantorAudioProcessorEditor::resized()
{
    sliderAngle->setBounds (74, 87, 60, 77);
    spat->setBounds (183, 54, 300, 300);
    sliderWidth->setBounds (74, 165, 60, 77);
    sliderGain->setBounds (69, 255, 70, 87);
    engrenage->setBounds (461, 7, 18, 18);
    headerButton->setBounds (0, 0, 192, 30);
    buttonSwitchGUI->setBounds (448, 336, 32, 32);
}

//==============================================================================
void VantorAudioProcessorEditor::timerCallback()
{
    if (! vantorProcessor.isEditorRefreshPending())
        return;

    // Cleared before the values are read: a value the host writes meanwhile sets the flag
    // again and is picked up at the next tick instead of being lost.
    vantorProcessor.setEditorRefreshPending (false);

    const float angle = vantorProcessor.getParameterValue (VantorAudioProcessor::angleIndex);
    const float width = vantorProcessor.getParameterValue (VantorAudioProcessor::widthIndex);
    const float gain = vantorProcessor.getParameterValue (VantorAudioProcessor::gainIndex);

    const auto point = Spat::pointFor (angle, width);
    spat->posX = point.x;
    spat->posY = point.y;
    spat->repaint();

    // Without notification, so a refresh never echoes a value back to the host.
    sliderAngle->setValue (360.0 * angle, juce::dontSendNotification);
    sliderWidth->setValue (100.0 * width, juce::dontSendNotification);
    sliderGain->setValue (100.0 * gain - 90.0, juce::dontSendNotification);
}

int VantorAudioProcessorEditor::parameterIndexOf (const juce::Slider* slider) const noexcept
{
    if (slider == sliderAngle.get()) return VantorAudioProcessor::angleIndex;
    if (slider == sliderWidth.get()) return VantorAudioProcessor::widthIndex;
    if (slider == sliderGain.get())  return VantorAudioProcessor::gainIndex;
    return -1;
}

void VantorAudioProcessorEditor::sliderValueChanged (juce::Slider* slider)
{
    const int index = parameterIndexOf (slider);
    auto* parameter = vantorProcessor.getParameterObject (index);
    if (parameter == nullptr)
        return;

    const double value = slider->getValue();
    const double normalised = index == VantorAudioProcessor::angleIndex ? value / 360.0
                            : index == VantorAudioProcessor::widthIndex ? value / 100.0
                                                                        : (value + 90.0) / 100.0;
    parameter->setValueNotifyingHost ((float) normalised);
}

void VantorAudioProcessorEditor::sliderDragStarted (juce::Slider* slider)
{
    if (auto* parameter = vantorProcessor.getParameterObject (parameterIndexOf (slider)))
        parameter->beginChangeGesture();
}

void VantorAudioProcessorEditor::sliderDragEnded (juce::Slider* slider)
{
    if (auto* parameter = vantorProcessor.getParameterObject (parameterIndexOf (slider)))
        parameter->endChangeGesture();
}

void VantorAudioProcessorEditor::buttonClicked (juce::Button* button)
{
    if (button == engrenage.get())
    {
        if (! optionPanel->isVisible())
        {
            optionPanel->setVisible (true);
            optionPanel->updateInputConfigChoices();
        }
        else
        {
            optionPanel->setVisible (false);
        }
    }
    else if (button == headerButton.get())
    {
        welcomePanel->setVisible (! welcomePanel->isVisible());
    }
    else if (button == buttonSwitchGUI.get())
    {
        skinIndex = skinIndex >= numSkins - 1 ? 0 : skinIndex + 1;

        vantorProcessor.setGuiIndex (skinIndex);
        backgroundImage = skinImageFor (skinIndex);
        repaint();
    }
}
