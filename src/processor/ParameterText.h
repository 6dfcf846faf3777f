#pragma once

#include <cstdio>
#include <string>

namespace vendrasolith
{
/** A parameter value as hosts and the saved state show it: the C library's %g with six
    significant digits (0.9 → "0.9", 1 → "1", 1/3 → "0.333333"). */
inline std::string formatParameterValue (float value)
{
    char text[32];
    std::snprintf (text, sizeof (text), "%g", (double) value);
    return text;
}
} // namespace vendrasolith
