#include "BassBoostStage.h"
#include "Glide.h"

#include <cmath>

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

void BassBoostStage::process (float* const* channels, int numSamples) noexcept
{
    const float target = targetGain.load (std::memory_order_relaxed);

    if (target == 0.0f && current == 0.0f)
        return;

    if (std::fabs ((double) current - (double) target) > kSilenceThreshold)
    {
        run<true> (channels, numSamples, target);
    }
    else
    {
        current = target;
        run<false> (channels, numSamples, target);
    }
}

template <bool gliding>
void BassBoostStage::run (float* const* channels, int numSamples, float target) noexcept
{
    for (int k = 0; k < numSamples; ++k)
    {
        if constexpr (gliding)
            current = glideStep (current, target);

        for (int c = 0; c < 2; ++c)
        {
            const float x = channels[c][k];
            float s = (float) ((double) state[(size_t) c] * 0.99 + (double) x * 0.01);

            // One non-finite sample must not poison the filter for good: start it afresh.
            if (std::fabs (s) < kSilenceThreshold || ! std::isfinite (s))
                s = 0.0f;

            state[(size_t) c] = s;
            channels[c][k] = s * current + x;
        }
    }
}
} // namespace vendrasolith
