#include "VantorAudioProcessorEditor.h"

VantorAudioProcessorEditor::VantorAudioProcessorEditor (VantorAudioProcessor& p)
    : AudioProcessorEditor (p), processor (p)
{
    setSize (500, 380);
    processor.setEditorRefreshPending (true);
}

VantorAudioProcessorEditor::~VantorAudioProcessorEditor() = default;

void VantorAudioProcessorEditor::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colour (0xff202428));
    g.setColour (juce::Colours::white);
    g.drawText ("Vendrasolith", getLocalBounds(), juce::Justification::centred);
}
