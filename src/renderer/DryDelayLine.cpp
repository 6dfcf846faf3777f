#include "DryDelayLine.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vendrasolith
{
namespace
{
    // The renderer's own floor, so bypassed and processed audio agree on what is silence.
    constexpr float kQuietestInput = 1.0e-20f;

    float admitted (float sample) noexcept
    {
        const float magnitude = std::fabs (sample);
        return magnitude >= kQuietestInput && magnitude <= std::numeric_limits<float>::max() ? sample : 0.0f;
    }
} // namespace

DryDelayLine::DryDelayLine (int delaySamples) : delay (std::max (0, delaySamples))
{
    for (auto& ring : rings)
        ring.assign ((size_t) delay, 0.0f);
}

void DryDelayLine::process (const float* const* inputs, int numInputs, float* const* outputs, int numSamples) noexcept
{
    numInputs = std::clamp (numInputs, 0, kNumOutputs);
    numSamples = std::max (0, numSamples);
    int end = position;

    // Output 1 first: from a single input it reads input 0, which output 0 may overwrite.
    for (int c = kNumOutputs - 1; c >= 0; --c)
    {
        const float* source = numInputs > 0 ? inputs[std::min (c, numInputs - 1)] : nullptr;
        float* destination = outputs[c];

        if (delay == 0)
        {
            for (int k = 0; k < numSamples; ++k)
                destination[k] = source != nullptr ? admitted (source[k]) : 0.0f;
            continue;
        }

        // In runs up to the ring's end, so the inner loop has no wrap test and vectorises.
        float* ring = rings[(size_t) c].data();
        int p = position;
        for (int done = 0; done < numSamples;)
        {
            const int run = std::min (numSamples - done, delay - p);
            float* out = destination + done;
            float* slot = ring + p;
            if (source != nullptr)
            {
                const float* in = source + done;
                for (int k = 0; k < run; ++k)
                {
                    const float incoming = admitted (in[k]);
                    out[k] = slot[k];
                    slot[k] = incoming;
                }
            }
            else
            {
                for (int k = 0; k < run; ++k)
                {
                    out[k] = slot[k];
                    slot[k] = 0.0f;
                }
            }
            done += run;
            p += run;
            if (p == delay)
                p = 0;
        }
        end = p;
    }

    position = end;
}
} // namespace vendrasolith
