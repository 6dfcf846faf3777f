#pragma once

#include "RenderLimits.h"

#include <cstddef>
#include <array>

namespace vendrasolith
{
/** Samples a glide can run for before it is taken to have arrived; far more than any
    glide of a gain up to 10^11 needs to come within 10^-6. */
constexpr int kLongestGlide = 2 * kMaxBlockSize;

/** 0.995^k for k = 0…kLongestGlide: the share of its distance a glide has left after k samples. */
extern const std::array<double, kLongestGlide + 1> glidePowers;

/** The smallest float that is not below the silence threshold: a float compared against
    it gives the same answer as the float compared against 1e-6 in double. */
extern const float kSmallestKeptGain;

/** Where the glide a gain is on started, kept from block to block. */
struct GlideOrigin
{
    float start = 0.0f;
    float target = 0.0f;
    int elapsed = -1; // samples since the start; -1 when the gain is not gliding
};

/** One block of a gain glide, new = old·0.995 + target·0.005 per sample in double
    precision, in closed form: k samples into a glide from s towards t the gain is
    t + (s − t)·0.995^k in double, stored as a float. No sample waits for the one before,
    so a block of gains is computed as vectors, and the gains match the recursion in
    double to float rounding.

    A glide is counted from where it started, not from the block's start: the gains
    depend on the block boundaries only where the target changes, so a stream renders
    alike however it is cut. A glide lands on its target once within 0.5·10^-6 of it
    (relative), and a stored gain that has landed needs no more gliding.

    With squelch, a gain below 1e-6 is silence, as in the recursion that sets it to zero:
    a falling glide stays silent from the first such sample on, and a rising glide whose
    first step is squelched restarts from zero at every step, so it never rises. */
class GlideRamp
{
public:
    /** Samples per fill: one chunk of gains stays in the first-level cache. */
    static constexpr int kChunk = 256;

    /** Goes on with the glide in origin if it heads for the same target, otherwise starts
        one from current; origin is updated for the block of numSamples. */
    GlideRamp (float current, float target, GlideOrigin& origin, int numSamples, bool squelch) noexcept;

    /** Gains of samples offset…offset + count − 1 of the block (sample 0 has had one step). */
    void fill (int offset, int count, float* gains) const noexcept;

    /** The gain at the end of the block: the state the next block starts from. */
    float finalValue() const noexcept { return last; }

    /** True when every gain of the block is zero. */
    bool silent() const noexcept { return quietFrom <= first; }

private:
    float valueAt (int steps) const noexcept;

    double target;
    double distance;
    int first;       // steps into the glide at the block's first sample
    int landsAt;     // first step that takes the target
    int quietFrom;   // first step squelched to zero (past the end if none)
    bool squelch;
    float last;
};

/** A glide's gains for samples 0…numSamples − 1 of a block, for tests and tools. */
void glideGains (float current, float target, GlideOrigin& origin, int numSamples, bool squelch, float* gains) noexcept;
} // namespace vendrasolith
