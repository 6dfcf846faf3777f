#pragma once

#include "HrirSet.h"

#include <functional>
#include <string>

namespace vendrasolith::cli
{
/** The table a listener's own SOFA file gives at a sample rate, made by the same
    pipeline as the built-in table (which it reproduces from the set the built-in one
    comes from, at that set's rate). Throws RenderError with a one-line message; things
    worth knowing but not fatal (directions some way off, responses cut short) go to
    `warn`, one line each. */
HrirSet headResponsesFromSofa (const std::string& path, double sampleRate,
                               const std::function<void (const std::string&)>& warn);
} // namespace vendrasolith::cli
