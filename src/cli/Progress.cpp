#include "Progress.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace vendrasolith::cli
{
namespace
{
double nowSeconds() { return juce::Time::getMillisecondCounterHiRes() * 0.001; }
constexpr int kBarWidth = 30;
constexpr double kRedrawInterval = 0.1;
} // namespace

Progress::Progress (juce::int64 totalFrames, double rate)
    : total (totalFrames), sampleRate (rate), shown (::isatty (STDERR_FILENO) != 0), startSeconds (nowSeconds())
{
}

double Progress::speed (juce::int64 framesDone, double now) const
{
    const double elapsed = now - startSeconds;
    return elapsed > 0.0 ? (double) framesDone / sampleRate / elapsed : 0.0;
}

void Progress::update (juce::int64 framesDone)
{
    if (! shown)
        return;
    const double now = nowSeconds();
    if (now - lastDrawSeconds >= kRedrawInterval)
        draw (framesDone, now);
}

void Progress::draw (juce::int64 framesDone, double now)
{
    lastDrawSeconds = now;
    const double fraction = total > 0 ? std::clamp ((double) framesDone / (double) total, 0.0, 1.0) : 1.0;
    const int filled = (int) (fraction * kBarWidth);
    char bar[kBarWidth + 1];
    for (int i = 0; i < kBarWidth; ++i)
        bar[i] = i < filled ? '#' : '.';
    bar[kBarWidth] = '\0';
    std::fprintf (stderr, "\r[%s] %3d%%  %.1fx real time ", bar, (int) (fraction * 100.0), speed (framesDone, now));
    std::fflush (stderr);
}

double Progress::finish (juce::int64 framesDone)
{
    const double now = nowSeconds();
    if (shown)
    {
        std::fprintf (stderr, "\r%*s\r", kBarWidth + 30, "");
        std::fflush (stderr);
    }
    return speed (framesDone, now);
}
} // namespace vendrasolith::cli
