#include "Glide.h"

#include <algorithm>
#include <cmath>

namespace vendrasolith
{
namespace
{
    using GlideTable = std::array<float, kLongestGlide + 1>;

    constexpr std::array<double, kLongestGlide + 1> makeGlidePowers()
    {
        std::array<double, kLongestGlide + 1> powers {};
        double p = 1.0;
        for (auto& power : powers)
        {
            power = p;
            p *= kGlideKeep;
        }
        return powers;
    }

    constexpr GlideTable makeGlideTable (bool taken)
    {
        GlideTable table {};
        double kept = 1.0;
        for (auto& entry : table)
        {
            entry = (float) (taken ? 1.0 - kept : kept);
            kept *= kGlideKeep;
        }
        return table;
    }

    constexpr double kLandingDistance = 0.5e-6;
    constexpr int kPastTheEnd = kLongestGlide + 1;

    /** The first step in [low, high] for which a monotone predicate holds; it holds at high. */
    template <typename Predicate>
    int firstStep (int low, int high, Predicate holds) noexcept
    {
        while (low < high)
        {
            const int mid = low + (high - low) / 2;
            if (holds (mid))
                high = mid;
            else
                low = mid + 1;
        }
        return low;
    }
} // namespace

// Worked out by the compiler: tables in read-only data need no start-up code.
constexpr std::array<float, kLongestGlide + 1> glideKept = makeGlideTable (false);
constexpr std::array<float, kLongestGlide + 1> glideTaken = makeGlideTable (true);
constexpr std::array<double, kLongestGlide + 1> glidePowers = makeGlidePowers();

GlideRamp::GlideRamp (float current, float t, GlideOrigin& origin, int numSamples, bool squelchTiny) noexcept
    : squelch (squelchTiny)
{
    if (origin.elapsed < 0 || origin.target != t)
        origin = { current, t, 0 };

    numSamples = std::max (numSamples, 0);
    start = origin.start;
    target = t;
    distance = (double) origin.start - (double) t;
    crossesZero = (start < 0.0f && t > 0.0f) || (start > 0.0f && t < 0.0f);
    first = origin.elapsed + 1;
    const int lastStep = first + numSamples - 1;

    // Both searches run only in the block where their step falls, so a glide in
    // progress costs one comparison each per block.
    const double landing = kLandingDistance * std::fabs ((double) target);
    auto landed = [&] (int k) { return k >= kPastTheEnd || std::fabs (distance) * (double) glideKept[(size_t) k] <= landing; };
    landsAt = numSamples > 0 && landed (lastStep) ? firstStep (first, lastStep, landed) : kPastTheEnd;

    quietFrom = kPastTheEnd;
    if (squelch)
    {
        auto quiet = [&] (int k) { return ! (valueAt (k) >= kSmallestKeptGain); };
        if (quiet (1))
            quietFrom = 1; // a rising glide that starts squelched stays at zero; a falling one is below already
        else if (distance > 0.0 && numSamples > 0 && quiet (lastStep))
            quietFrom = firstStep (first, lastStep, quiet);
    }

    origin.elapsed = std::min (origin.elapsed + numSamples, kLongestGlide);
    last = numSamples == 0 ? current : lastStep >= quietFrom ? 0.0f : valueAt (lastStep);
}

float GlideRamp::valueAt (int steps) const noexcept
{
    if (steps >= landsAt || steps >= kPastTheEnd)
        return target;
    if (crossesZero)
        return (float) ((double) target + distance * glidePowers[(size_t) steps]);
    return start * glideKept[(size_t) steps] + target * glideTaken[(size_t) steps];
}

void GlideRamp::fill (int offset, int count, float* gains) const noexcept
{
    const int begin = first + offset;
    const int gliding = std::clamp (std::min ({ landsAt, quietFrom, kPastTheEnd }) - begin, 0, count);
    const int arrived = std::clamp (quietFrom - begin, gliding, count);

    const float s = start, t = target;

    if (gliding > 0 && crossesZero)
    {
        for (int k = 0; k < gliding; ++k)
            gains[k] = valueAt (begin + k);
    }
    else if (gliding > 0)
    {
        const float* kept = glideKept.data() + begin;
        const float* taken = glideTaken.data() + begin;
        for (int k = 0; k < gliding; ++k)
            gains[k] = s * kept[k] + t * taken[k];
    }
    for (int k = gliding; k < arrived; ++k)
        gains[k] = t;
    for (int k = arrived; k < count; ++k)
        gains[k] = 0.0f;
}

namespace
{
    template <bool adding>
    void mixGains (const float* __restrict input, float* __restrict output, int count,
                   float start, float target, const float* kept, const float* taken) noexcept
    {
        for (int k = 0; k < count; ++k)
        {
            const float product = input[k] * (start * kept[k] + target * taken[k]);
            output[k] = adding ? output[k] + product : 0.0f + product;
        }
    }

    template <bool adding>
    void mixGain (const float* __restrict input, float* __restrict output, int count, float gain) noexcept
    {
        for (int k = 0; k < count; ++k)
        {
            const float product = input[k] * gain;
            output[k] = adding ? output[k] + product : 0.0f + product;
        }
    }
} // namespace

void GlideRamp::mix (const float* input, float* output, int numSamples, bool adding) const noexcept
{
    if (crossesZero)
    {
        float gains[kChunk];
        for (int offset = 0; offset < numSamples; offset += kChunk)
        {
            const int count = std::min (kChunk, numSamples - offset);
            fill (offset, count, gains);
            for (int k = 0; k < count; ++k)
            {
                const float product = input[offset + k] * gains[k];
                output[offset + k] = adding ? output[offset + k] + product : 0.0f + product;
            }
        }
        return;
    }

    // Three stretches: gliding, arrived at the target, squelched to zero.
    const int gliding = std::clamp (std::min ({ landsAt, quietFrom, kPastTheEnd }) - first, 0, numSamples);
    const int arrived = std::clamp (quietFrom - first, gliding, numSamples);

    if (gliding > 0)
    {
        const float* kept = glideKept.data() + first;
        const float* taken = glideTaken.data() + first;
        if (adding)
            mixGains<true> (input, output, gliding, start, target, kept, taken);
        else
            mixGains<false> (input, output, gliding, start, target, kept, taken);

        if (gliding == numSamples) // most blocks of a glide
            return;
    }

    if (adding)
        mixGain<true> (input + gliding, output + gliding, arrived - gliding, target);
    else
        mixGain<false> (input + gliding, output + gliding, arrived - gliding, target);

    // Squelched samples add zeros; a first write still has to leave zeros behind.
    if (! adding)
        std::fill (output + arrived, output + numSamples, 0.0f);
}

void glideGains (float current, float target, GlideOrigin& origin, int numSamples, bool squelch, float* gains) noexcept
{
    const GlideRamp ramp (current, target, origin, numSamples, squelch);
    for (int offset = 0; offset < numSamples; offset += GlideRamp::kChunk)
        ramp.fill (offset, std::min (GlideRamp::kChunk, numSamples - offset), gains + offset);
}
} // namespace vendrasolith
