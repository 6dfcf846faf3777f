#include "SpeakerRing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using vendrasolith::SpeakerRing;

namespace
{
struct LocateCase
{
    float direction;
    std::vector<std::pair<int, float>> expectedWeights; // every other feed must be 0
};

class LocateTest : public ::testing::TestWithParam<LocateCase> {};

TEST_P (LocateTest, GivesThePairAndWeightsOfTheSegment)
{
    SpeakerRing ring;
    const auto& c = GetParam();
    const float* w = ring.locate (c.direction);

    float expected[8] = {};
    for (auto [feed, weight] : c.expectedWeights)
        expected[feed] = weight;

    float sum = 0.0f;
    for (int feed = 0; feed < 8; ++feed)
    {
        EXPECT_NEAR (w[feed], expected[feed], 1.0e-6f) << "feed " << feed;
        sum += w[feed];
    }
    EXPECT_NEAR (sum, 1.0f, 1.0e-6f);
    EXPECT_EQ (w[3], 0.0f) << "the LFE feed is never on the ring";
}

const float inf = std::numeric_limits<float>::infinity();
const float nan = std::numeric_limits<float>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P (Directions, LocateTest, ::testing::Values (
    LocateCase { 0.0f, { { 2, 1.0f } } },
    LocateCase { 360.0f, { { 2, 1.0f } } },
    LocateCase { -360.0f, { { 2, 1.0f } } },
    LocateCase { 15.0f, { { 2, 0.5f }, { 1, 0.5f } } },
    LocateCase { 345.0f, { { 0, 0.5f }, { 2, 0.5f } } },
    LocateCase { 330.0f, { { 0, 1.0f } } },
    LocateCase { 30.0f, { { 1, 1.0f } } },
    LocateCase { 90.0f, { { 7, 1.0f } } },
    LocateCase { 100.0f, { { 7, 0.5f }, { 5, 0.5f } } },
    LocateCase { 180.0f, { { 5, 0.5f }, { 4, 0.5f } } },
    LocateCase { 240.0f, { { 4, 130.0f / 140.0f }, { 5, 10.0f / 140.0f } } },
    LocateCase { 260.0f, { { 4, 0.5f }, { 6, 0.5f } } },
    LocateCase { 300.0f, { { 6, 0.5f }, { 0, 0.5f } } },
    LocateCase { -90.0f, { { 6, 1.0f } } },
    LocateCase { 450.0f, { { 7, 1.0f } } },
    // Directions that name no place fall back to straight ahead, and far-off ones wrap.
    LocateCase { nan, { { 2, 1.0f } } },
    LocateCase { inf, { { 2, 1.0f } } },
    LocateCase { -inf, { { 2, 1.0f } } },
    LocateCase { 3600.0f + 90.0f, { { 7, 1.0f } } }));

TEST (SpeakerRing, FarOffDirectionsReturnInsteadOfLoopingForever)
{
    SpeakerRing ring;
    const float* w = ring.locate (1.0e30f);
    float sum = 0.0f;
    for (int feed = 0; feed < 8; ++feed)
        sum += w[feed];
    EXPECT_NEAR (sum, 1.0f, 1.0e-6f);
}

TEST (SpeakerRing, CachedLookupRepeatsAndANewLookupClearsTheOldPair)
{
    SpeakerRing ring;
    const float* w = ring.locate (15.0f);
    const std::vector<float> first (w, w + 8);
    w = ring.locate (15.0f);
    EXPECT_EQ (std::vector<float> (w, w + 8), first);

    w = ring.locate (100.0f);
    EXPECT_EQ (w[2], 0.0f);
    EXPECT_EQ (w[1], 0.0f);
    EXPECT_FLOAT_EQ (w[7] + w[5], 1.0f);
}

TEST (SpeakerRing, SpreadGlidesTowardsItsTargetAndFadesBetweenPairs)
{
    SpeakerRing ring;
    std::vector<float> ones (200, 1.0f);
    std::vector<std::vector<float>> feedData (8, std::vector<float> (200, 0.0f));
    float* feeds[8];
    for (int j = 0; j < 8; ++j)
        feeds[j] = feedData[(size_t) j].data();

    ring.spread (0.0f, ones.data(), feeds, 200, 0.5f, 0);

    // One-pole glide towards 0.5: about 63 % of the way after 200 samples.
    const double expected = 0.5 * (1.0 - std::pow (0.995, 200));
    EXPECT_NEAR (ring.smoothedGain (0, 2), expected, 1.0e-4);
    EXPECT_NEAR (ring.smoothedGain (0, 2) / 0.5, 0.63, 0.01);
    EXPECT_FLOAT_EQ (feedData[2][199], ring.smoothedGain (0, 2));
    for (int j = 0; j < 8; ++j)
        if (j != 2)
            EXPECT_EQ (feedData[(size_t) j][199], 0.0f);

    // Moving the voice fades it out of feed 2 and into feed 7; other rows are untouched.
    for (auto& f : feedData)
        std::fill (f.begin(), f.end(), 0.0f);
    ring.spread (90.0f, ones.data(), feeds, 200, 0.5f, 0);
    EXPECT_LT (ring.smoothedGain (0, 2), expected);
    EXPECT_GT (ring.smoothedGain (0, 7), 0.0f);
    EXPECT_EQ (ring.smoothedGain (1, 7), 0.0f);
}

TEST (SpeakerRing, SettledGainIsUsedUnchangedAndSilentTargetsAreSkipped)
{
    SpeakerRing ring;
    std::vector<float> ones (8192, 1.0f);
    std::vector<std::vector<float>> feedData (8, std::vector<float> (8192, 0.0f));
    float* feeds[8];
    for (int j = 0; j < 8; ++j)
        feeds[j] = feedData[(size_t) j].data();

    for (int i = 0; i < 3; ++i)
        ring.spread (30.0f, ones.data(), feeds, 8192, 0.5f, 3);

    const float settled = ring.smoothedGain (3, 1);
    EXPECT_EQ (settled, 0.5f) << "a finished glide lands exactly on its target";

    for (auto& f : feedData)
        std::fill (f.begin(), f.end(), 0.0f);
    ring.spread (30.0f, ones.data(), feeds, 16, 0.5f, 3);
    EXPECT_EQ (ring.smoothedGain (3, 1), settled);
    EXPECT_EQ (feedData[1][15], settled);
    for (int j = 0; j < 8; ++j)
        if (j != 1)
            EXPECT_EQ (feedData[(size_t) j][0], 0.0f);
}
} // namespace
