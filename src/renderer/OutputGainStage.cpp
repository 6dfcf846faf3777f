#include "OutputGainStage.h"
#include "Glide.h"

#include <algorithm>
#include <cmath>

namespace vendrasolith
{
float OutputGainStage::targetForParameter (float value) noexcept
{
    const float level = value * 100.0f - 90.0f;

    if (! (level > -100.0f))
        return 0.0f;

    return (float) std::min (std::pow (10.0, (double) level * 0.05), kMaxLinearGain);
}

void OutputGainStage::setGainParameter (float value) noexcept
{
    targetGain.store (targetForParameter (value), std::memory_order_relaxed);
}

void OutputGainStage::process (float* const* channels, int numChannels, int numSamples) noexcept
{
    const float target = targetGain.load (std::memory_order_relaxed);

    if (std::fabs ((double) current - (double) target) > kSilenceThreshold)
    {
        const GlideRamp ramp (current, target, glide, numSamples, false);
        float gains[GlideRamp::kChunk];
        for (int offset = 0; offset < numSamples; offset += GlideRamp::kChunk)
        {
            const int count = std::min (GlideRamp::kChunk, numSamples - offset);
            ramp.fill (offset, count, gains);
            for (int c = 0; c < numChannels; ++c)
            {
                float* __restrict samples = channels[c] + offset;
                for (int k = 0; k < count; ++k)
                    samples[k] *= gains[k];
            }
        }
        current = ramp.finalValue();
        return;
    }

    current = target;
    glide.elapsed = -1;
    for (int c = 0; c < numChannels; ++c)
        for (int k = 0; k < numSamples; ++k)
            channels[c][k] *= current;
}
} // namespace vendrasolith
