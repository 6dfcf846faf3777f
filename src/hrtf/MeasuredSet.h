#pragma once

#include "RenderLimits.h"

#include <array>
#include <cstddef>
#include <vector>

namespace vendrasolith::hrtf
{
constexpr int kNumResponses = kNumEars * kNumFeeds;

/** Head-related impulse responses as measured, before any processing: every measured
    response of a set (both ears of every source position) and, for each of the
    table's 16 responses (ear-major: ear m / 8, feed m % 8), which of them it is. */
struct MeasuredSet
{
    double sampleRate = 0.0;
    int length = 0; // taps of every measured response
    std::vector<std::vector<double>> measurements;
    std::array<int, kNumResponses> tableSource {};

    const std::vector<double>& response (int m) const { return measurements[(std::size_t) tableSource[(std::size_t) m]]; }
};

/** The direction whose responses feed f of the table holds, in degrees clockwise from
    straight ahead: the ring's loudspeaker for that feed, and the rear (180) for the LFE
    feed, which nothing is panned to. */
int feedDirection (int feed) noexcept;

/** Whether a feed stands for a loudspeaker of the ring (every feed but the LFE). */
bool feedIsHeard (int feed) noexcept;

/** Short labels of the feeds, in table order: L R C LFE Lsr Rsr Lss Rss. */
const char* feedLabel (int feed) noexcept;
} // namespace vendrasolith::hrtf
