#pragma once

#include "Glide.h"
#include "RenderLimits.h"

#include <cstddef>
#include <array>
#include <limits>

namespace vendrasolith
{
/** The eight feeds of one block as voices are added into them. A feed no voice has
    reached yet holds stale samples and is written rather than added to, so feeds need
    no clearing, and a feed that stays unreached is known to be silent. */
class FeedMix
{
public:
    /** With alreadyWritten, every feed's samples are kept and voices add to them. */
    FeedMix (float* const* feeds, bool alreadyWritten) noexcept;

    void add (int feed, const float* input, float gain, int numSamples) noexcept;
    void addGliding (int feed, const float* input, const GlideRamp& ramp, int numSamples) noexcept;

    /** The feed's samples, or nullptr if no voice reached it (it is silent). */
    const float* samples (int feed) const noexcept { return isWritten[(size_t) feed] ? feeds[feed] : nullptr; }

private:
    float* const* feeds;
    std::array<bool, kNumFeeds> isWritten {};
};

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

    /** The same into a block's mix. A null input is a silent one: nothing is added, but
        the row's gains move on exactly as they would have. */
    void spread (float direction, const float* input, FeedMix& mix,
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
    std::array<std::array<GlideOrigin, kNumFeeds>, kNumRows> glides {};

    // Each voice keeps the weights of its own last direction: the voices of a block take
    // turns, so the shared one-entry cache of locate would miss every time.
    struct VoiceWeights
    {
        float direction = std::numeric_limits<float>::quiet_NaN(); // equal to no direction
        std::array<float, kNumFeeds> weights {};
    };
    std::array<VoiceWeights, kNumRows> voiceWeights {};
};
} // namespace vendrasolith
