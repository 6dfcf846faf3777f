#pragma once

#include "Glide.h"

#include <cstddef>
#include <array>
#include <atomic>

namespace vendrasolith
{
/** Adds a low-passed copy of each ear's signal to itself. The one-pole low-pass
    (y = 0.99·y + 0.01·x) needs no sample rate; the boost gain comes in four steps
    and glides to a new step over about 200 samples.

    Threads: setStep may be called from any thread; process belongs to the audio thread. */
class BassBoostStage
{
public:
    static constexpr int kNumSteps = 4;

    struct Step
    {
        const char* label;
        float gain;
    };
    static constexpr std::array<Step, kNumSteps> steps { { { "Off", 0.0f }, { "+3 dB", 1.0f }, { "+6 dB", 2.0f }, { "+9 dB", 4.0f } } };

    /** Any step outside 0…3 is stored but boosts nothing. */
    static float gainForStep (int step) noexcept;

    void setStep (int step) noexcept;
    int getStep() const noexcept { return step.load (std::memory_order_relaxed); }

    /** Processes channels 0 and 1 in place. */
    void process (float* const* channels, int numSamples) noexcept;

    float lowPassState (int channel) const noexcept { return state[(size_t) channel]; }
    float currentGain() const noexcept { return current; }

private:
    void run (float* const* channels, int offset, int count, const float* gains) noexcept;

    std::array<float, 2> state {};
    std::atomic<float> targetGain { 0.0f };
    float current = 0.0f;
    GlideOrigin glide;
    std::atomic<int> step { 0 };
};
} // namespace vendrasolith
