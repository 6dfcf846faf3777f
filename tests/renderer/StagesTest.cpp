#include "BassBoostStage.h"
#include "OutputGainStage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace vendrasolith;

namespace
{
struct Stereo
{
    explicit Stereo (int n, float value = 0.0f) : left ((size_t) n, value), right ((size_t) n, value) {}
    float* const* data() { ptrs[0] = left.data(); ptrs[1] = right.data(); return ptrs; }
    std::vector<float> left, right;
    float* ptrs[2] {};
};

TEST (BassBoostStage, OffLeavesTheSignalAndItsStateUntouched)
{
    BassBoostStage bass;
    Stereo s (256, 0.7f);
    bass.process (s.data(), 256);
    EXPECT_EQ (s.left, std::vector<float> (256, 0.7f));
    EXPECT_EQ (bass.lowPassState (0), 0.0f);
}

TEST (BassBoostStage, StepGainsFollowTheTable)
{
    const float expected[] = { 0.0f, 1.0f, 2.0f, 4.0f };
    for (int step = 0; step < 4; ++step)
        EXPECT_EQ (BassBoostStage::gainForStep (step), expected[step]);
    EXPECT_EQ (BassBoostStage::gainForStep (4), 0.0f);
    EXPECT_EQ (BassBoostStage::gainForStep (-1), 0.0f);
}

TEST (BassBoostStage, GainGlidesUpAndAConstantSettlesAtOnePlusGain)
{
    BassBoostStage bass;
    bass.setStep (3);
    Stereo s (200, 1.0f);
    bass.process (s.data(), 200);
    EXPECT_NEAR (bass.currentGain() / 4.0f, 1.0 - std::pow (0.995, 200), 1.0e-4);

    for (int block = 0; block < 10; ++block)
    {
        Stereo more (4096, 1.0f);
        bass.process (more.data(), 4096);
        if (block == 9)
            EXPECT_NEAR (more.right.back(), 5.0f, 1.0e-4f);
    }
}

TEST (BassBoostStage, SwitchedOffItGlidesDownThenStopsWorking)
{
    BassBoostStage bass;
    bass.setStep (1);
    for (int i = 0; i < 10; ++i)
    {
        Stereo s (4096, 0.5f);
        bass.process (s.data(), 4096);
    }
    bass.setStep (0);
    for (int i = 0; i < 10; ++i)
    {
        Stereo s (4096, 0.5f);
        bass.process (s.data(), 4096);
    }
    EXPECT_EQ (bass.currentGain(), 0.0f);

    Stereo s (64, 0.5f);
    bass.process (s.data(), 64);
    EXPECT_EQ (s.left, std::vector<float> (64, 0.5f));
}

TEST (BassBoostStage, RecoversFromANonFiniteSample)
{
    BassBoostStage bass;
    bass.setStep (2);
    Stereo s (64, 0.25f);
    s.left[3] = std::numeric_limits<float>::quiet_NaN();
    s.right[5] = std::numeric_limits<float>::infinity();
    bass.process (s.data(), 64);
    EXPECT_TRUE (std::isfinite (bass.lowPassState (0)));
    EXPECT_TRUE (std::isfinite (bass.lowPassState (1)));
    for (int k = 6; k < 64; ++k)
    {
        ASSERT_TRUE (std::isfinite (s.left[(size_t) k])) << k;
        ASSERT_TRUE (std::isfinite (s.right[(size_t) k])) << k;
    }
}

TEST (BassBoostStage, TinyStatesAreSquelchedToZero)
{
    BassBoostStage bass;
    bass.setStep (1);
    Stereo s (4096, 1.0e-6f);
    bass.process (s.data(), 4096);
    EXPECT_EQ (bass.lowPassState (0), 0.0f);
}

struct GainCase
{
    float parameter;
    double linear;
};

class OutputGainTargets : public ::testing::TestWithParam<GainCase> {};

TEST_P (OutputGainTargets, FollowTheDecibelLaw)
{
    const auto [parameter, linear] = GetParam();
    EXPECT_NEAR (OutputGainStage::targetForParameter (parameter), linear, linear * 1.0e-5 + 1.0e-12);
}

INSTANTIATE_TEST_SUITE_P (Values, OutputGainTargets, ::testing::Values (
    GainCase { 0.9f, 1.0 }, GainCase { 1.0f, 3.16227766 }, GainCase { 0.0f, 3.16227766e-5 },
    GainCase { 1.2f, 31.6227766 }, GainCase { -0.1f, 0.0 }, GainCase { -5.0f, 0.0 },
    // Values no host should send still give a finite, bounded gain.
    GainCase { std::numeric_limits<float>::quiet_NaN(), 0.0 },
    GainCase { -std::numeric_limits<float>::infinity(), 0.0 },
    GainCase { std::numeric_limits<float>::infinity(), OutputGainStage::kMaxLinearGain },
    GainCase { 1.0e30f, OutputGainStage::kMaxLinearGain }));

TEST (OutputGainStage, GlidesToANewGainThenAppliesItExactly)
{
    OutputGainStage gain;
    gain.setGainParameter (1.0f);
    Stereo s (200, 1.0f);
    gain.process (s.data(), 2, 200);
    const double expected = 3.16227766 + (1.0 - 3.16227766) * std::pow (0.995, 200);
    EXPECT_NEAR (s.left.back(), expected, 1.0e-3);
    EXPECT_EQ (s.left.back(), s.right.back());

    for (int i = 0; i < 10; ++i)
    {
        Stereo more (4096, 1.0f);
        gain.process (more.data(), 2, 4096);
    }
    Stereo settled (16, 0.5f);
    gain.process (settled.data(), 2, 16);
    EXPECT_EQ (settled.left[0], 0.5f * gain.getTargetGain());
    EXPECT_EQ (gain.currentGain(), gain.getTargetGain());
}
} // namespace
