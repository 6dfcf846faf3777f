#include "SlotPanner.h"

#include <algorithm>
#include <cmath>

namespace vendrasolith
{
SlotPanner::SlotPanner (SpeakerRing& ringToUse) : ring (ringToUse) {}

void SlotPanner::setAngleDegrees (float degrees) noexcept
{
    // A non-finite Angle names no direction: keep the images where they are.
    if (! std::isfinite (degrees) || degrees == angle)
        return;

    angle = degrees;
    recomputeImages();
}

void SlotPanner::setWidth (float w) noexcept
{
    if (std::isnan (w) || w == widthValue)
        return;

    widthValue = std::clamp (w, 0.0f, 1.0f);
    recomputeImages();
}

void SlotPanner::setSlotDirections (const std::array<float, kNumSlots>& directions) noexcept
{
    if (directions == slotDirections)
        return;

    slotDirections = directions;
    if (imagesComputed)
        recomputeImages();
    else
        direct = alternate = slotDirections;
}

void SlotPanner::recomputeImages() noexcept
{
    imagesComputed = true;
    for (int i = 0; i < slotCount; ++i)
    {
        const float b = slotDirections[(size_t) i];
        float d = angle - b;
        if (d < -180.0f)
            d += 360.0f;
        if (d > 180.0f)
            d -= 360.0f;

        const float e = d > 0.0f ? d - 360.0f : d + 360.0f;
        alternateWeights[(size_t) i] = std::fabs (d) / 180.0f;
        direct[(size_t) i] = (1.0f - widthValue) * d + b;
        alternate[(size_t) i] = (1.0f - widthValue) * e + b;
    }
}

void SlotPanner::pan (const float* const* slots, FeedMix& mix, int numSamples) noexcept
{
    const float pathGain = panGain / (float) slotCount;

    for (int i = 0; i < slotCount; ++i)
    {
        ring.spread (direct[(size_t) i], slots[i], mix, numSamples, pathGain, 2 * i);
        ring.spread (alternate[(size_t) i], slots[i], mix, numSamples, alternateWeights[(size_t) i] * pathGain, 2 * i + 1);
    }
}
} // namespace vendrasolith
