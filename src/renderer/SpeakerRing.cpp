#include "SpeakerRing.h"
#include "Glide.h"

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
    const float* weights = locate (direction);
    auto& rowGains = gains[(size_t) row];

    for (int j = 0; j < kNumFeeds; ++j)
    {
        float s = rowGains[(size_t) j];
        const float t = gain * weights[j];
        const bool gliding = std::fabs ((double) s - (double) t) > kSilenceThreshold;

        if (! (t > kSilenceThreshold || gliding))
            continue;

        float* feed = feeds[j];

        if (gliding)
        {
            for (int k = 0; k < numSamples; ++k)
            {
                s = glideStep (s, t);
                if (s < kSilenceThreshold)
                    s = 0.0f;
                feed[k] += input[k] * s;
            }
        }
        else
        {
            for (int k = 0; k < numSamples; ++k)
                feed[k] += input[k] * s;
        }

        rowGains[(size_t) j] = s;
    }
}
} // namespace vendrasolith
