#pragma once

#include "HeadResponses.h"
#include "OutputFile.h"
#include "SampleSource.h"

#include <optional>

namespace vendrasolith::cli
{
struct RenderSettings
{
    int configuration = 1;
    double angleDegrees = 0.0;
    double widthPercent = 100.0;
    double gainDecibels = 0.0;
    int bassStep = 0;
    int blockSize = 4096;
    bool keepTail = false;
    bool trueRate = false;                      // the plug-in's rate option
    std::optional<HeadResponses> headResponses; // none: the built-in table
};

struct RenderSummary
{
    juce::int64 outputFrames = 0;
    juce::int64 nonFiniteInput = 0;  // rendered as silence, as the plug-in does
    juce::int64 nonFiniteOutput = 0; // written as silence
    juce::int64 clipped = 0;         // beyond full scale in an integer format
    float peak = 0.0f;
    double speed = 0.0;              // multiple of real time
};

/** Streams the source through the plug-in's processor into the output, time-aligned with
    the input: the processor's latency is dropped from the start and its pipeline flushed
    at the end. Throws RenderError. */
RenderSummary renderOffline (SampleSource& source, OutputFile& output, const RenderSettings& settings, bool integerOutput);
} // namespace vendrasolith::cli
