#pragma once

#include "RenderLimits.h"

#include <cstddef>
#include <array>

namespace vendrasolith
{
/** Samples a glide can run for before it is taken to have arrived; far more than any
    glide of a gain up to 10^11 needs to come within 10^-6. */
constexpr int kLongestGlide = 2 * kMaxBlockSize;

/** A glide's gain after k samples, for k = 0…kLongestGlide, is
    start·glideKept[k] + target·glideTaken[k]: glideKept[k] is 0.995^k and glideTaken[k]
    1 − 0.995^k, worked out in double. Two non-negative terms: the sum loses no digits to
    cancellation, so it holds its float precision even where the gain is tiny. */
extern const std::array<float, kLongestGlide + 1> glideKept;
extern const std::array<float, kLongestGlide + 1> glideTaken;
/** 0.995^k in double, for the rare glide between gains of opposite sign, where the two
    terms above would cancel. */
extern const std::array<double, kLongestGlide + 1> glidePowers;

/** The smallest float that is not below the silence threshold: a float compared against
    it gives the same answer as the float compared against 1e-6 in double. */
constexpr float kSmallestKeptGain = 1.00000011e-6f;
static_assert ((double) kSmallestKeptGain >= kSilenceThreshold, "kept gains reach the threshold");
static_assert ((double) (kSmallestKeptGain - 0x1p-43f) < kSilenceThreshold, "and the float below it does not");

/** Where the glide a gain is on started, kept from block to block. */
struct GlideOrigin
{
    float start = 0.0f;
    float target = 0.0f;
    int elapsed = -1; // samples since the start; -1 when the gain is not gliding
};

/** One block of a gain glide, new = old·0.995 + target·0.005 per sample in double
    precision, in closed form: k samples into a glide from s towards t the gain is
    s·0.995^k + t·(1 − 0.995^k). No sample waits for the one before, so a block of gains
    is computed as vectors, and every gain is within a few float roundings of the
    recursion carried in double.

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

    /** Adds input × gain into output over the block, or stores 0 + input × gain when
        adding is false (exactly what adding to zeros gives). */
    void mix (const float* input, float* output, int numSamples, bool adding) const noexcept;

    /** The gain at the end of the block: the state the next block starts from. */
    float finalValue() const noexcept { return last; }

    /** True when every gain of the block is zero. */
    bool silent() const noexcept { return quietFrom <= first; }

private:
    float valueAt (int steps) const noexcept;

    float start;
    float target;
    double distance;
    bool crossesZero;
    int first;       // steps into the glide at the block's first sample
    int landsAt;     // first step that takes the target
    int quietFrom;   // first step squelched to zero (past the end if none)
    bool squelch;
    float last;
};

/** A glide's gains for samples 0…numSamples − 1 of a block, for tests and tools. */
void glideGains (float current, float target, GlideOrigin& origin, int numSamples, bool squelch, float* gains) noexcept;
} // namespace vendrasolith
