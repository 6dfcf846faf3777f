#pragma once

#include <juce_core/juce_core.h>

#include <string>

namespace vendrasolith
{
/** A parameter value as hosts and the saved state show it: the text the C library's %g
    gives in the C locale, six significant digits (0.9 → "0.9", 1 → "1", 1/3 → "0.333333").
    Always written with '.', whatever locale a host has switched the process to, so
    texts and saved states stay the same on every machine. */
std::string formatParameterValue (float value);

/** A number as a saved state or a host's text field holds it: optional leading
    whitespace, sign, digits, decimal point, exponent, "nan" or "inf"; 0 when there is no
    number. Read the same in every locale. A ',' counts as the decimal point where a '.'
    could stand, because states saved under a comma-decimal locale hold "0,25"; a state
    holds one number per element, so the comma can never be a list separator there.
    "-0" reads as -0, so that every value formatParameterValue writes reads back. */
double readDecimalNumber (const juce::String& text);

/** Narrows to float; magnitudes beyond float's range become infinities. */
float narrowToFloat (double value);
} // namespace vendrasolith
