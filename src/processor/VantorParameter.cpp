#include "VantorParameter.h"
#include "HostFormat.h"
#include "ParameterText.h"
#include "VantorAudioProcessor.h"

#include <cmath>
#include <iterator>

namespace
{
/** A parameter as the editor's knob shows it: shown = scale × value + offset, in whole
    steps within the knob's range. */
struct DisplayUnit
{
    float scale, offset, lowest, highest;
    const char* suffix;
    VantorParameter::Unit unit;

    float shown (float value) const noexcept { return juce::jlimit (lowest, highest, scale * value + offset); }
    float valueOf (float shownValue) const noexcept { return juce::jlimit (0.0f, 1.0f, (shownValue - offset) / scale); }
};

const DisplayUnit& displayUnitOf (int index) noexcept
{
    using Unit = VantorParameter::Unit;
    static const DisplayUnit units[] = { { 360.0f, 0.0f, 0.0f, 360.0f, "\xc2\xb0", Unit::degrees },
                                         { 100.0f, 0.0f, 0.0f, 100.0f, "%", Unit::percent },
                                         { 100.0f, -90.0f, -90.0f, 10.0f, "dB", Unit::decibels } };
    return units[juce::jlimit (0, (int) std::size (units) - 1, index)];
}

/** The knob's units over the whole normalised range, converted as the editor converts them
    (shown = scale × value + offset in single precision), so that 90° is 0.25 and 0 dB is 0.9f
    as in every other format. */
juce::NormalisableRange<float> rangeInUnits (const DisplayUnit& unit)
{
    return { unit.offset, unit.offset + unit.scale };
}
} // namespace

VantorParameter::VantorParameter (VantorAudioProcessor& o, int i, juce::String n, float d)
    : RangedAudioParameter (juce::ParameterID { n, 1 }, n), owner (o), index (i), defaultValue (d),
      showsUnits (vendrasolith::HostFormat::showsParameterUnits (o.wrapperType)),
      range (vendrasolith::HostFormat::holdsParameterValuesInUnits (o.wrapperType) ? rangeInUnits (displayUnitOf (i))
                                                                                    : juce::NormalisableRange<float> (0.0f, 1.0f))
{
}

VantorParameter::Unit VantorParameter::getUnit() const noexcept { return displayUnitOf (index).unit; }

float VantorParameter::getValue() const { return owner.getParameterValue (index); }

void VantorParameter::setValue (float newValue) { owner.setParameter (index, newValue); }

juce::String VantorParameter::getText (float value, int maximumStringLength) const
{
    juce::String text;
    if (showsUnits)
    {
        const auto& unit = displayUnitOf (index);
        // A value that is not a number shows as the knob's lowest step rather than as garbage.
        const float shown = std::isnan (value) ? unit.lowest : unit.shown (value);
        text = juce::String (juce::roundToInt (shown)) + juce::String::fromUTF8 (unit.suffix);
    }
    else
    {
        text = vendrasolith::formatParameterValue (value);
    }
    return text.substring (0, juce::jmax (0, maximumStringLength));
}

float VantorParameter::getValueForText (const juce::String& text) const
{
    // The number leads; a unit, if typed, follows it and is read over.
    const float number = vendrasolith::narrowToFloat (vendrasolith::readDecimalNumber (text));
    return showsUnits ? displayUnitOf (index).valueOf (number) : number;
}
