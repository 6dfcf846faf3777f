#include "BypassCrossfade.h"

#include <algorithm>

namespace vendrasolith
{
void BypassCrossfade::setFadeLength (int samples) noexcept
{
    samples = std::max (1, samples);
    if (samples == length)
        return;

    // Keep the share already reached, so a new length never makes the mix jump.
    steps = (int) (((long long) steps * samples + length / 2) / length);
    length = samples;
}

void BypassCrossfade::process (float* const* processed, const float* const* dry, int numChannels, int numSamples,
                               bool towardsDry) noexcept
{
    const int target = towardsDry ? length : 0;
    int k = 0;

    for (; k < numSamples && steps != target; ++k)
    {
        steps += towardsDry ? 1 : -1;
        const float wet = (float) (length - steps) / (float) length;
        const float share = (float) steps / (float) length;
        for (int c = 0; c < numChannels; ++c)
            processed[c][k] = wet * processed[c][k] + share * dry[c][k];
    }

    // At rest the chosen signal passes untouched.
    if (steps == length && k < numSamples)
    {
        for (int c = 0; c < numChannels; ++c)
            std::copy (dry[c] + k, dry[c] + numSamples, processed[c] + k);
    }
}
} // namespace vendrasolith
