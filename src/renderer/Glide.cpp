#include "Glide.h"

#include <algorithm>
#include <cmath>

namespace vendrasolith
{
namespace
{
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

    float smallestKept()
    {
        const auto f = (float) kSilenceThreshold;
        return (double) f < kSilenceThreshold ? std::nextafter (f, 1.0f) : f;
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

// Worked out by the compiler: a table in read-only data needs no start-up code.
constexpr std::array<double, kLongestGlide + 1> glidePowers = makeGlidePowers();

const float kSmallestKeptGain = smallestKept();

GlideRamp::GlideRamp (float current, float t, GlideOrigin& origin, int numSamples, bool squelchTiny) noexcept
    : squelch (squelchTiny)
{
    if (origin.elapsed < 0 || origin.target != t)
        origin = { current, t, 0 };

    numSamples = std::max (numSamples, 0);
    target = (double) t;
    distance = (double) origin.start - target;
    first = origin.elapsed + 1;
    const int lastStep = first + numSamples - 1;

    // Both searches run only in the block where their step falls, so a glide in
    // progress costs one comparison each per block.
    const double landing = kLandingDistance * std::fabs (target);
    auto landed = [&] (int k) { return k >= kPastTheEnd || std::fabs (distance) * glidePowers[(size_t) k] <= landing; };
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
    return steps >= landsAt || steps >= kPastTheEnd ? (float) target
                                                    : (float) (target + distance * glidePowers[(size_t) steps]);
}

void GlideRamp::fill (int offset, int count, float* gains) const noexcept
{
    const int begin = first + offset;
    const int gliding = std::clamp (std::min ({ landsAt, quietFrom, kPastTheEnd }) - begin, 0, count);
    const int arrived = std::clamp (quietFrom - begin, gliding, count);

    const double t = target, d = distance;

    for (int k = 0; k < gliding; ++k)
        gains[k] = (float) (t + d * glidePowers[(size_t) (begin + k)]);
    for (int k = gliding; k < arrived; ++k)
        gains[k] = (float) t;
    for (int k = arrived; k < count; ++k)
        gains[k] = 0.0f;
}

void glideGains (float current, float target, GlideOrigin& origin, int numSamples, bool squelch, float* gains) noexcept
{
    const GlideRamp ramp (current, target, origin, numSamples, squelch);
    for (int offset = 0; offset < numSamples; offset += GlideRamp::kChunk)
        ramp.fill (offset, std::min (GlideRamp::kChunk, numSamples - offset), gains + offset);
}
} // namespace vendrasolith
