#pragma once

#include "Glide.h"

#include <cstddef>
#include <atomic>

namespace vendrasolith
{
/** The output level: the Gain parameter (0…1 spans −90…+10 dB, not clamped) as a
    linear gain that glides to each new value over about 200 samples.

    Threads: setGainParameter may be called from any thread; process belongs to the audio thread. */
class OutputGainStage
{
public:
    /** Highest linear gain ever applied (+120 dB): a corrupted or absurd parameter value
        must not be able to overflow the output. */
    static constexpr double kMaxLinearGain = 1.0e6;

    /** The linear gain the parameter value asks for: 0 at −100 dB and below or for a NaN. */
    static float targetForParameter (float value) noexcept;

    void setGainParameter (float value) noexcept;
    float getTargetGain() const noexcept { return targetGain.load (std::memory_order_relaxed); }
    float currentGain() const noexcept { return current; }

    /** Multiplies every sample of every channel in place. */
    void process (float* const* channels, int numChannels, int numSamples) noexcept;

private:
    std::atomic<float> targetGain { 1.0f };
    float current = 1.0f;
    GlideOrigin glide;
};
} // namespace vendrasolith
