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

namespace
{
bool isCSpace (juce::juce_wchar c) noexcept { return c == ' ' || (c >= 9 && c <= 13); }

/** Where the framework's reader looks for the exponent digits of the number at `p`, the
    way it walks the text: sign, digits with one decimal point, 'e' or 'E', sign. */
juce::CharPointer_UTF8 exponentDigits (juce::CharPointer_UTF8 p) noexcept
{
    if (*p == '-' || *p == '+')
        ++p;

    for (bool point = false;;)
    {
        if (p.isDigit())
            ++p;
        else if (! point && *p == '.')
            ++p, point = true;
        else
            break;
    }

    if (*p != 'e' && *p != 'E')
        return juce::CharPointer_UTF8 ("");
    ++p;
    if (*p == '-' || *p == '+')
        ++p;
    return p;
}
bool hasMantissaDigit (juce::CharPointer_UTF8 p) noexcept
{
    if (*p == '-' || *p == '+')
        ++p;
    if (! p.isDigit() && *p == '.')
        ++p;
    return p.isDigit();
}
} // namespace

double readDecimalNumber (const juce::String& text)
{
    // Read from a copy with zero bytes after the end: the framework's character stepping
    // trusts each sequence to be complete and would step over the end of a cut one.
    std::string bytes (text.toRawUTF8()); // every byte: getNumBytesAsUTF8 counts re-encoded characters
    bytes.append (4, '\0');
    const auto offsetOf = [&bytes] (juce::CharPointer_UTF8 p) { return (size_t) (p.getAddress() - bytes.data()); };
    const auto at = [&bytes] (size_t offset) { return juce::CharPointer_UTF8 (bytes.data() + offset); };

    // The framework's reader, given only what the C locale counts as whitespace: left to
    // itself it skips whatever the process's locale calls a space.
    auto start = at (0);
    while (isCSpace (*start))
        ++start;
    if (*start >= 0x80)
        return 0.0;
    const auto startOffset = offsetOf (start);

    auto point = start;
    if (*point == '-' || *point == '+')
        ++point;
    while (point.isDigit())
        ++point;
    if (*point == ',')
        bytes.replace (offsetOf (point), (size_t) ((point + 1).getAddress() - point.getAddress()), ".");

    // The framework's reader overflows an int on an exponent of ten digits or more; any
    // exponent that long means zero or infinity, and nine nines say the same.
    auto digits = exponentDigits (at (startOffset));
    while (*digits.getAddress() == '0')
        ++digits;
    auto end = digits;
    while (end.isDigit())
        ++end;
    if (end.getAddress() - digits.getAddress() > 9)
        bytes.replace (offsetOf (digits), (size_t) (end.getAddress() - digits.getAddress()), "999999999");

    auto number = at (startOffset);
    const double value = juce::CharacterFunctions::readDoubleValue (number);

    // The framework reads "-0" as +0, so the state of a parameter at -0 would not restore
    // to itself: a negative number that reads as zero keeps its sign.
    if (value == 0.0 && *at (startOffset) == '-' && hasMantissaDigit (at (startOffset)))
        return -0.0;
    return value;
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
