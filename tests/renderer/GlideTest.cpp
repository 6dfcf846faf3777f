#include "BassBoostStage.h"
#include "Glide.h"
#include "OutputGainStage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

using namespace vendrasolith;

namespace
{
struct GlideCase
{
    float start, target;
};

class GlideAgainstRecursion : public ::testing::TestWithParam<GlideCase> {};

// The block's gains against new = old·0.995 + target·0.005 carried per sample in double,
// with the squelch (a gain below 1e-6 becomes 0) where the speaker ring uses it.
TEST_P (GlideAgainstRecursion, StaysWithinAMillionthOfIt)
{
    const auto [start, target] = GetParam();
    constexpr int n = kMaxBlockSize;

    for (const bool squelch : { true, false })
    {
        std::vector<float> gains ((size_t) n);
        GlideOrigin origin;
        glideGains (start, target, origin, n, squelch, gains.data());

        double s = start;
        for (int k = 0; k < n; ++k)
        {
            s = s * kGlideKeep + (double) target * kGlideTake;
            if (squelch && s < kSilenceThreshold)
                s = 0.0;
            const float g = gains[(size_t) k];
            if (s == 0.0)
                ASSERT_EQ (g, 0.0f) << "squelch " << squelch << " sample " << k;
            else
                ASSERT_LE (std::fabs (g - s), 1.0e-6 * std::fabs (s)) << "squelch " << squelch << " sample " << k << " recursion " << s;
        }
    }
}

INSTANTIATE_TEST_SUITE_P (Pairs, GlideAgainstRecursion, ::testing::Values (
    GlideCase { 0.0f, 0.5f }, GlideCase { 0.5f, 0.0f },          // a voice fading in and out
    GlideCase { 0.5f, 0.25f }, GlideCase { 0.25f, 0.2500050f },  // small steps, above and near the settle distance
    GlideCase { 0.5f, 5.0e-7f }, GlideCase { 3.0e-6f, 0.0f },    // falling through the squelch threshold
    GlideCase { 0.0f, 1.0e-5f }, GlideCase { 0.0f, 1.9e-4f },    // rising from zero: squelched at the first step
    GlideCase { 0.0f, 2.1e-4f }, GlideCase { 0.0357f, 1.0e-4f }, // ... or not; a tiny target
    GlideCase { 0.0f, 4.0f }, GlideCase { 1.0f, 1.0e6f },        // bass boost, largest output gain
    GlideCase { 1.0e6f, 3.16e-5f }, GlideCase { 0.5f, -0.5f })); // to the quietest gain; a negative target

// A glide is counted from where it began, so however a stream is cut into blocks, every
// gain comes out the same.
TEST (Glide, GainsDoNotDependOnWhereBlocksStart)
{
    std::mt19937 rng (8);
    std::uniform_int_distribution<int> cut (1, 700);

    for (const auto& [start, target] : { GlideCase { 0.0f, 0.5f }, GlideCase { 0.5f, 1.0e-5f }, GlideCase { 2.0f, 0.0f } })
    {
        constexpr int n = 6000;
        std::vector<float> whole ((size_t) n), pieces ((size_t) n);
        GlideOrigin origin;
        glideGains (start, target, origin, n, true, whole.data());

        GlideOrigin pieceOrigin;
        float current = start;
        for (int done = 0; done < n;)
        {
            const int count = std::min (cut (rng), n - done);
            glideGains (current, target, pieceOrigin, count, true, pieces.data() + done);
            done += count;
            current = pieces[(size_t) done - 1];
        }
        EXPECT_EQ (pieces, whole) << start << " -> " << target;
    }
}

// The same through the two stages while their gains glide (they settle at block starts).
TEST (Glide, StagesGlideAlikeWhateverTheBlockSize)
{
    constexpr int n = 12000;
    std::mt19937 rng (2);
    std::uniform_real_distribution<float> dist (-1.0f, 1.0f);
    std::vector<float> input ((size_t) n);
    for (auto& x : input)
        x = dist (rng);

    auto run = [&input] (int blockSize)
    {
        BassBoostStage bass;
        OutputGainStage gain;
        bass.setStep (3);
        gain.setGainParameter (1.0f);
        std::vector<float> left = input, right = input;
        for (int offset = 0; offset < n; offset += blockSize)
        {
            const int count = std::min (blockSize, n - offset);
            float* channels[2] = { left.data() + offset, right.data() + offset };
            bass.process (channels, count);
            gain.process (channels, 2, count);
        }
        return left;
    };

    const auto reference = run (8192);
    for (int blockSize : { 1, 97, 768, 4000 })
        EXPECT_EQ (run (blockSize), reference) << "block " << blockSize;
}
} // namespace
