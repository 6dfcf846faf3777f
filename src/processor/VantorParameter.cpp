#include "VantorParameter.h"
#include "ParameterText.h"
#include "VantorAudioProcessor.h"

VantorParameter::VantorParameter (VantorAudioProcessor& o, int i, juce::String n, float d)
    : AudioProcessorParameterWithID (juce::ParameterID { n, 1 }, n), owner (o), index (i), defaultValue (d)
{
}

float VantorParameter::getValue() const { return owner.getParameterValue (index); }

void VantorParameter::setValue (float newValue) { owner.setParameter (index, newValue); }

juce::String VantorParameter::getText (float value, int maximumStringLength) const
{
    return juce::String (vendrasolith::formatParameterValue (value)).substring (0, juce::jmax (0, maximumStringLength));
}

float VantorParameter::getValueForText (const juce::String& text) const
{
    return vendrasolith::narrowToFloat (vendrasolith::readDecimalNumber (text));
}
