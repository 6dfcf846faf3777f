#include "BypassRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace hosttest
{
namespace
{
float largestDifference (const float* a, const float* b, int from, int to)
{
    float largest = 0.0f;
    for (int k = from; k < to; ++k)
        largest = std::max (largest, std::abs (a[k] - b[k]));
    return largest;
}

float largestStep (const float* s, int from, int to)
{
    float largest = 0.0f;
    for (int k = from + 1; k < to; ++k)
        largest = std::max (largest, std::abs (s[k] - s[k - 1]));
    return largest;
}
} // namespace

void expectBypassKeepsTimeWithoutAClick (const float* out, const float* wet, const float* dry, int part, double sampleRate)
{
    const int crossfadeOver = (int) (0.020 * sampleRate), halfway = (int) (0.010 * sampleRate);

    for (int k = part + crossfadeOver; k < 2 * part; ++k)
        ASSERT_EQ (out[k], dry[k]) << "bypassed, sample " << k;
    for (int k = 2 * part + crossfadeOver; k < 3 * part; ++k)
        ASSERT_EQ (out[k], wet[k]) << "back on, sample " << k;

    for (const int at : { part, 2 * part })
    {
        const float* arriving = at == part ? dry : wet;
        const float* leaving = at == part ? wet : dry;
        EXPECT_GT (largestDifference (out, arriving, at + halfway - 20, at + halfway), 0.01f) << "switch at " << at;
        EXPECT_GT (largestDifference (out, leaving, at + halfway - 20, at + halfway), 0.01f) << "switch at " << at;
        const float ownStep = std::max (largestStep (wet, at - 100, at + crossfadeOver), largestStep (dry, at - 100, at + crossfadeOver));
        EXPECT_LE (largestStep (out, at - 100, at + crossfadeOver), 1.1f * ownStep) << "switch at " << at;
    }
}
} // namespace hosttest
