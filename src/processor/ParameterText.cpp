#include "ParameterText.h"

#include <charconv>
#include <limits>

namespace vendrasolith
{
std::string formatParameterValue (float value)
{
    // to_chars is specified as printf in the C locale, so this is exactly %g's text.
    char text[32];
    const auto result = std::to_chars (text, text + sizeof (text), (double) value, std::chars_format::general, 6);
    return std::string (text, result.ptr);
}

double readDecimalNumber (const juce::String& text)
{
    // The framework's reader, given only what the C locale counts as whitespace: left to
    // itself it skips whatever the process's locale calls a space.
    auto start = text.getCharPointer();
    while (*start == ' ' || (*start >= 9 && *start <= 13))
        ++start;
    if (*start >= 0x80)
        return 0.0;

    auto point = start;
    if (*point == '-' || *point == '+')
        ++point;
    while (point.isDigit())
        ++point;

    if (*point != ',')
        return juce::CharacterFunctions::readDoubleValue (start);

    const auto withPoint = juce::String (start, point) + "." + juce::String (point + 1);
    auto p = withPoint.getCharPointer();
    return juce::CharacterFunctions::readDoubleValue (p);
}

float narrowToFloat (double value)
{
    if (value > (double) std::numeric_limits<float>::max())
        return std::numeric_limits<float>::infinity();
    if (value < -(double) std::numeric_limits<float>::max())
        return -std::numeric_limits<float>::infinity();
    return (float) value;
}
} // namespace vendrasolith
