#include "SpeakerRing.h"
#include "Glide.h"

#include <algorithm>
#include <cmath>

namespace vendrasolith
{
SpeakerRing::SpeakerRing() = default;

float SpeakerRing::wrapDegrees (float a) noexcept
{
    // A non-finite direction has no place on the ring; it is heard from straight ahead
    // rather than leaving the pair of feeds undefined.
    if (! std::isfinite (a))
        return 0.0f;

    // Far-off values are reduced first: stepping by 360 would never reach the range
    // once the step is below the float's resolution.
    if (std::fabs (a) >= 720.0f)
        a = std::fmod (a, 360.0f);

    while (a < 0.0f)
        a += 360.0f;
    while (a >= 360.0f)
        a -= 360.0f;
    return a;
}

const float* SpeakerRing::locate (float direction) noexcept
{
    const float a = wrapDegrees (direction);

    if (a == cachedDirection)
        return cachedWeights.data();

    cachedDirection = a;
    cachedWeights.fill (0.0f);

    constexpr int n = kNumDirections;
    const auto& A = directions;
    const auto& S = feedOfDirection;

    int first = 0, second = 0;
    float fraction = 0.0f;

    if (a >= A[n - 1] || A[0] >= a)
    {
        first = S[n - 1];
        second = S[0];
        const float span = A[0] - A[n - 1] + 360.0f;
        fraction = a >= A[n - 1] ? (a - A[n - 1]) / span
                                 : (a - A[n - 1] + 360.0f) / span;
    }
    else
    {
        int k = 0;
        while (k < n - 2 && ! (A[(size_t) k + 1] >= a))
            ++k;

        first = S[(size_t) k];
        second = S[(size_t) k + 1];
        fraction = (a - A[(size_t) k]) / (A[(size_t) k + 1] - A[(size_t) k]);
    }

    cachedPair = { first, second };
    cachedWeights[(size_t) first] = 1.0f - fraction;
    cachedWeights[(size_t) second] = fraction;
    return cachedWeights.data();
}

void SpeakerRing::spread (float direction, const float* input, float* const* feeds,
                          int numSamples, float gain, int row) noexcept
{
    FeedMix mix (feeds, true);
    spread (direction, input, mix, numSamples, gain, row);
}

void SpeakerRing::spread (float direction, const float* input, FeedMix& mix,
                          int numSamples, float gain, int row) noexcept
{
    auto& rowGains = gains[(size_t) row];
    auto& rowGlides = glides[(size_t) row];

    // A voice with no gain whose gains have all come to rest at zero has nothing to do:
    // every alternate image while Width is 1. Its glides are already over.
    if (gain == 0.0f && std::all_of (rowGains.begin(), rowGains.end(), [] (float g) { return g == 0.0f; }))
        return;

    auto& voice = voiceWeights[(size_t) row];
    if (! (direction == voice.direction))
    {
        const float* located = locate (direction);
        std::copy_n (located, kNumFeeds, voice.weights.begin());
        voice.direction = direction;
    }
    const float* weights = voice.weights.data();

    for (int j = 0; j < kNumFeeds; ++j)
    {
        const float s = rowGains[(size_t) j];
        const float t = gain * weights[j];
        const bool gliding = std::fabs ((double) s - (double) t) > kSilenceThreshold;

        if (! gliding)
            rowGlides[(size_t) j].elapsed = -1;

        if (! (t > kSilenceThreshold || gliding))
            continue;

        if (gliding)
        {
            const GlideRamp ramp (s, t, rowGlides[(size_t) j], numSamples, true);
            // An all-zero ramp or a silent input adds only zeros: leave the feed alone.
            if (input != nullptr && ! ramp.silent())
                mix.addGliding (j, input, ramp, numSamples);
            rowGains[(size_t) j] = ramp.finalValue();
        }
        else if (input != nullptr)
        {
            mix.add (j, input, s, numSamples);
        }
    }
}

FeedMix::FeedMix (float* const* feedsToUse, bool alreadyWritten) noexcept
    : feeds (feedsToUse)
{
    isWritten.fill (alreadyWritten);
}

void FeedMix::add (int j, const float* input, float gain, int numSamples) noexcept
{
    float* __restrict feed = feeds[j];

    if (isWritten[(size_t) j])
    {
        for (int k = 0; k < numSamples; ++k)
            feed[k] += input[k] * gain;
        return;
    }

    // Exactly what adding to a cleared feed gives: 0 + x turns a -0 product into +0.
    for (int k = 0; k < numSamples; ++k)
        feed[k] = 0.0f + input[k] * gain;
    isWritten[(size_t) j] = true;
}

void FeedMix::addGliding (int j, const float* input, const GlideRamp& ramp, int numSamples) noexcept
{
    ramp.mix (input, feeds[j], numSamples, isWritten[(size_t) j]);
    isWritten[(size_t) j] = true;
}
} // namespace vendrasolith
