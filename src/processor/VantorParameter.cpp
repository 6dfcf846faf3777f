#include "VantorParameter.h"
#include "ParameterText.h"
#include "VantorAudioProcessor.h"

VantorParameter::VantorParameter (VantorAudioProcessor& o, int i, juce::String n, float d)
    : owner (o), index (i), name (std::move (n)), defaultValue (d)
{
}

float VantorParameter::getValue() const { return owner.getParameterValue (index); }

void VantorParameter::setValue (float newValue) { owner.setParameter (index, newValue); }

juce::String VantorParameter::getName (int maximumStringLength) const
{
    return name.substring (0, juce::jmax (0, maximumStringLength));
}

juce::String VantorParameter::getText (float value, int maximumStringLength) const
{
    return juce::String (vendrasolith::formatParameterValue (value)).substring (0, juce::jmax (0, maximumStringLength));
}
