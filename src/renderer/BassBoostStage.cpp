#include "BassBoostStage.h"
#include "Glide.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vendrasolith
{
float BassBoostStage::gainForStep (int s) noexcept
{
    return s >= 0 && s < kNumSteps ? steps[(size_t) s].gain : 0.0f;
}

void BassBoostStage::setStep (int newStep) noexcept
{
    step.store (newStep, std::memory_order_relaxed);
    targetGain.store (gainForStep (newStep), std::memory_order_relaxed);
}

namespace
{
    inline float lowPass (float state, float x) noexcept
    {
        const auto s = (float) ((double) state * 0.99 + (double) x * 0.01);

        // One non-finite sample must not poison the filter for good: start it afresh.
        const float magnitude = std::fabs (s);
        return magnitude >= kSmallestKeptGain && magnitude <= std::numeric_limits<float>::max() ? s : 0.0f;
    }
} // namespace

void BassBoostStage::process (float* const* channels, int numSamples) noexcept
{
    const float target = targetGain.load (std::memory_order_relaxed);

    if (target == 0.0f && current == 0.0f)
        return;

    if (std::fabs ((double) current - (double) target) <= kSilenceThreshold)
    {
        current = target;
        glide.elapsed = -1;
        float gains[GlideRamp::kChunk];
        std::fill_n (gains, GlideRamp::kChunk, target);
        for (int offset = 0; offset < numSamples; offset += GlideRamp::kChunk)
            run (channels, offset, std::min (GlideRamp::kChunk, numSamples - offset), gains);
        return;
    }

    const GlideRamp ramp (current, target, glide, numSamples, false);
    float gains[GlideRamp::kChunk];
    for (int offset = 0; offset < numSamples; offset += GlideRamp::kChunk)
    {
        const int count = std::min (GlideRamp::kChunk, numSamples - offset);
        ramp.fill (offset, count, gains);
        run (channels, offset, count, gains);
    }
    current = ramp.finalValue();
}

void BassBoostStage::run (float* const* channels, int offset, int count, const float* gains) noexcept
{
    // Locals, not members: a store to the channels could alias the members, which would
    // put a store and reload of the state on the filter's critical path every sample.
    float* left = channels[0] + offset;
    float* right = channels[1] + offset;
    float s0 = state[0];
    float s1 = state[1];

    for (int k = 0; k < count; ++k)
    {
        const float x0 = left[k];
        s0 = lowPass (s0, x0);
        left[k] = s0 * gains[k] + x0;

        const float x1 = right[k];
        s1 = lowPass (s1, x1);
        right[k] = s1 * gains[k] + x1;
    }

    state = { s0, s1 };
}
} // namespace vendrasolith
