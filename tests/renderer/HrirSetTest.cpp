#include "FftConvolver.h"
#include "HrirSet.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using vendrasolith::HrirSet;

namespace
{
double energy (const float* h, int taps = HrirSet::kTaps)
{
    double e = 0.0;
    for (int t = 0; t < taps; ++t)
        e += (double) h[t] * h[t];
    return e;
}

int peakTap (const float* h)
{
    int best = 0;
    for (int t = 1; t < HrirSet::kTaps; ++t)
        if (std::fabs (h[t]) > std::fabs (h[best]))
            best = t;
    return best;
}

constexpr int left = 0, right = 1;

TEST (HrirSet, TableHoldsSixteenResponsesEarMajor)
{
    HrirSet set;
    EXPECT_EQ (set.response (1, 0), set.values() + 8 * 256);
    EXPECT_EQ (set.response (0, 5), set.values() + 5 * 256);
    for (int m = 0; m < 16; ++m)
    {
        EXPECT_GT (energy (set.response (m)), 0.0) << "response " << m;
        for (int t = 0; t < 256; ++t)
            ASSERT_TRUE (std::isfinite (set.response (m)[t]));
    }
}

TEST (HrirSet, CentreResponsesHaveUnitEnergy)
{
    HrirSet set;
    EXPECT_NEAR (energy (set.response (left, 2)), 1.0, 1.0e-5);
    EXPECT_NEAR (energy (set.response (right, 2)), 1.0, 1.0e-5);
}

TEST (HrirSet, NearEarIsLouderAndEarlierForEveryLateralFeed)
{
    HrirSet set;
    struct Lateral { int feed; int nearEar; };
    for (auto [feed, nearEar] : { Lateral { 0, left }, Lateral { 1, right }, Lateral { 4, left },
                                  Lateral { 5, right }, Lateral { 6, left }, Lateral { 7, right } })
    {
        const float* nearResponse = set.response (nearEar, feed);
        const float* farResponse = set.response (1 - nearEar, feed);
        const double levelDifferenceDb = 10.0 * std::log10 (energy (nearResponse) / energy (farResponse));
        EXPECT_GT (levelDifferenceDb, 6.0) << "feed " << feed;
        EXPECT_LT (peakTap (nearResponse) + 8, peakTap (farResponse)) << "feed " << feed;
    }
}

TEST (HrirSet, EarliestNearEarPeakMatchesTheReportedLatency)
{
    // The plug-in reports 768 + 24 samples: the direct sound of the nearest speaker arrives there.
    HrirSet set;
    int earliest = HrirSet::kTaps;
    for (int m = 0; m < 16; ++m)
        earliest = std::min (earliest, peakTap (set.response (m)));
    EXPECT_GE (earliest, 22);
    EXPECT_LE (earliest, 24);
}

TEST (HrirSet, EveryResponseEndsWellInsideItsTaps)
{
    HrirSet set;
    for (int m = 0; m < 16; ++m)
    {
        const float* h = set.response (m);
        EXPECT_GE (energy (h, 220) / energy (h), 0.99) << "response " << m;
        EXPECT_LT (std::fabs (h[255]), 1.0e-3f) << "response " << m << " is faded out";
    }
}
} // namespace

namespace
{
using vendrasolith::FftConvolver;

TEST (HrirSet, ATableFromElsewhereIsWhatTheConvolverPlaysOnceInstalled)
{
    // A table unlike the embedded one: response m is a pair of clicks at taps m and 100 + 2m.
    std::vector<float> values ((size_t) HrirSet::kValues, 0.0f);
    for (int m = 0; m < HrirSet::kResponses; ++m)
    {
        values[(size_t) (m * HrirSet::kTaps + m)] = 0.5f;
        values[(size_t) (m * HrirSet::kTaps + 100 + 2 * m)] = -0.25f;
    }
    const HrirSet own (values.data());
    EXPECT_EQ (own.response (1, 3)[11], 0.5f);

    FftConvolver convolver { HrirSet() };
    convolver.setResponses (own);
    for (int feed = 0; feed < vendrasolith::kNumFeeds; ++feed)
    {
        // One impulse on one feed, then silence until the response has played.
        std::vector<std::vector<float>> feeds (vendrasolith::kNumFeeds, std::vector<float> (2048, 0.0f));
        feeds[(size_t) feed][0] = 1.0f;
        std::vector<const float*> in;
        for (auto& f : feeds)
            in.push_back (f.data());
        std::vector<float> left (2048), right (2048);
        float* out[2] = { left.data(), right.data() };
        convolver.process (in.data(), out, vendrasolith::kNumFeeds, 2048);

        for (int ear = 0; ear < 2; ++ear)
        {
            const float* expected = own.response (ear, feed);
            const auto& got = ear == 0 ? left : right;
            for (int t = 0; t < HrirSet::kTaps; ++t)
                ASSERT_NEAR (got[(size_t) (FftConvolver::kDelay + t)], expected[t], 1e-6f)
                    << "feed " << feed << ", ear " << ear << ", tap " << t;
        }
    }
}
} // namespace
