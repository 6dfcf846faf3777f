#pragma once

#include <array>
#include <vector>

namespace vendrasolith
{
/** The unprocessed signal, late by a fixed number of samples: what a bypassed plug-in must
    play so that it keeps time with a host that compensates its latency. Fed on every block,
    processed or bypassed, so a switch finds it full.

    Two outputs: with two or more inputs they carry inputs 0 and 1; a single input feeds
    both, as a mono source reaches both ears when it is rendered. Samples the renderer
    would not take either (NaN, infinities, anything below -400 dBFS) enter as silence.

    Everything is allocated at construction; process belongs to the audio thread. */
class DryDelayLine
{
public:
    static constexpr int kNumOutputs = 2;

    explicit DryDelayLine (int delaySamples);

    /** Takes numSamples of each of the first two inputs (numInputs 0 is silence) and
        writes what came in delaySamples earlier. Outputs may be the input arrays. */
    void process (const float* const* inputs, int numInputs, float* const* outputs, int numSamples) noexcept;

    int delaySamples() const noexcept { return delay; }

private:
    int delay;
    std::array<std::vector<float>, kNumOutputs> rings;
    int position = 0;
};
} // namespace vendrasolith
