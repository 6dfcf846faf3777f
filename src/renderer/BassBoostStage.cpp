#include "BassBoostStage.h"
#include "Glide.h"

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

namespace
{
    // The smallest float not below the silence threshold: comparing a float against it
    // is the same test as comparing in double, and keeps the select in vector registers.
    const float kSmallestKept = []
    {
        const auto f = (float) kSilenceThreshold;
        return (double) f < kSilenceThreshold ? std::nextafter (f, 1.0f) : f;
    }();

    inline float lowPass (float state, float x) noexcept
    {
        const auto s = (float) ((double) state * 0.99 + (double) x * 0.01);

        // One non-finite sample must not poison the filter for good: start it afresh.
        const float magnitude = std::fabs (s);
        return magnitude >= kSmallestKept && magnitude <= std::numeric_limits<float>::max() ? s : 0.0f;
    }
} // namespace

template <bool gliding>
void BassBoostStage::run (float* const* channels, int numSamples, float target) noexcept
{
    // Locals, not members: a store to the channels could alias the members, which would
    // put a store and reload of the state on the filter's critical path every sample.
    float* left = channels[0];
    float* right = channels[1];
    float s0 = state[0];
    float s1 = state[1];
    float gain = current;

    for (int k = 0; k < numSamples; ++k)
    {
        if constexpr (gliding)
            gain = glideStep (gain, target);

        const float x0 = left[k];
        s0 = lowPass (s0, x0);
        left[k] = s0 * gain + x0;

        const float x1 = right[k];
        s1 = lowPass (s1, x1);
        right[k] = s1 * gain + x1;
    }

    state = { s0, s1 };
    current = gain;
}
} // namespace vendrasolith
