#pragma once

#include "RenderLimits.h"

#include <cstddef>
#include <array>

namespace vendrasolith
{
/** The seven loudspeaker directions around the listener and the feeds behind them.
    Directions are degrees, 0 ahead, clockwise seen from above. A direction between
    two loudspeakers is shared by that pair with a linear amplitude law. */
class SpeakerRing
{
public:
    static constexpr int kNumDirections = 7;
    /** One smoothed-gain row per voice: the direct and alternate image of eight slots. */
    static constexpr int kNumRows = 16;

    SpeakerRing();

    /** Returns the eight feed weights for a direction; at most two are non-zero and
        they sum to 1. The pointer stays valid until the next call. */
    const float* locate (float direction) noexcept;

    /** Adds a mono signal arriving from a direction into the feeds, fading every
        feed's gain of this row towards gain × weight. */
    void spread (float direction, const float* input, float* const* feeds,
                 int numSamples, float gain, int row) noexcept;

    /** The pair of feeds chosen by the last lookup (first, second). */
    std::array<int, 2> lastPair() const noexcept { return cachedPair; }

    float smoothedGain (int row, int feed) const noexcept { return gains[(size_t) row][(size_t) feed]; }

    static constexpr std::array<float, kNumDirections> directions { 0.0f, 30.0f, 90.0f, 110.0f, 250.0f, 270.0f, 330.0f };
    static constexpr std::array<int, kNumDirections> feedOfDirection { 2, 1, 7, 5, 4, 6, 0 };

private:
    static float wrapDegrees (float direction) noexcept;

    float cachedDirection = -1000.0f;
    std::array<float, kNumFeeds> cachedWeights {};
    std::array<int, 2> cachedPair { 0, 2 };
    std::array<std::array<float, kNumFeeds>, kNumRows> gains {};
};
} // namespace vendrasolith
