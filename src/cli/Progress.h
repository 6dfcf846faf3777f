#pragma once

#include <juce_core/juce_core.h>

#include <string>

namespace vendrasolith::cli
{
/** A one-line progress bar with the speed as a multiple of real time, drawn on stderr
    only when stderr is a terminal; silent otherwise, so logs and pipes stay clean. */
class Progress
{
public:
    Progress (juce::int64 totalFrames, double sampleRate);

    void update (juce::int64 framesDone);
    /** Clears the bar; returns the average speed as a multiple of real time. */
    double finish (juce::int64 framesDone);
    bool isShown() const noexcept { return shown; }

private:
    void draw (juce::int64 framesDone, double now);
    double speed (juce::int64 framesDone, double now) const;

    const juce::int64 total;
    const double sampleRate;
    const bool shown;
    const double startSeconds;
    double lastDrawSeconds = -1.0;
};
} // namespace vendrasolith::cli
