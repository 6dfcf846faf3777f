#pragma once

#include <functional>
#include <string>
#include <vector>

namespace vendrasolith::cli
{
/** 16 responses of `taps` taps, ear-major, as the renderer takes them. */
struct HeadResponses
{
    std::vector<float> values;
    int taps = 0;
};

/** The table a listener's own SOFA file gives at a sample rate, made by the same
    pipeline as the built-in table (which it reproduces from the set the built-in one
    comes from, at that set's rate). 256 taps, as the built-in table has at every rate;
    with `trueRate`, as many as 256 span at 44.1 kHz (the length the plug-in's rate
    option gives the built-in table), so a high rate cuts no more of the responses than
    44.1 kHz does. Throws RenderError with a one-line message; things worth knowing but
    not fatal (directions some way off, responses cut short) go to `warn`, one line each. */
HeadResponses headResponsesFromSofa (const std::string& path, double sampleRate, bool trueRate,
                                     const std::function<void (const std::string&)>& warn);
} // namespace vendrasolith::cli
