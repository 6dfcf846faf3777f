#include "FftConvolver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

using vendrasolith::FftConvolver;
using vendrasolith::HrirSet;

namespace
{
using Stream = std::vector<std::vector<float>>; // [channel][sample]

Stream randomFeeds (size_t length, unsigned seed)
{
    std::mt19937 rng (seed);
    std::uniform_real_distribution<float> dist (-1.0f, 1.0f);
    Stream feeds (8, std::vector<float> (length));
    for (auto& f : feeds)
        for (auto& x : f)
            x = dist (rng);
    return feeds;
}

// Direct linear convolution of every feed with its two responses, delayed by the hop.
Stream referenceOutput (const HrirSet& hrir, const Stream& feeds)
{
    const size_t length = feeds[0].size();
    Stream out (2, std::vector<float> (length, 0.0f));
    for (int ear = 0; ear < 2; ++ear)
    {
        std::vector<double> acc (length, 0.0);
        for (int feed = 0; feed < 8; ++feed)
        {
            const float* h = hrir.response (ear, feed);
            for (size_t n = 0; n < length; ++n)
                for (size_t tap = 0; tap < 256 && tap <= n; ++tap)
                    acc[n] += (double) feeds[(size_t) feed][n - tap] * h[tap];
        }
        for (size_t n = FftConvolver::kDelay; n < length; ++n)
            out[(size_t) ear][n] = (float) acc[n - FftConvolver::kDelay];
    }
    return out;
}

// Runs a stream through the convolver in calls of the given sizes, cycling through them.
Stream runInCalls (FftConvolver& conv, const Stream& feeds, const std::vector<int>& callSizes)
{
    const int length = (int) feeds[0].size();
    Stream out (2, std::vector<float> ((size_t) length, 0.0f));
    int position = 0;
    for (size_t call = 0; position < length; ++call)
    {
        const int n = std::min (callSizes[call % callSizes.size()], length - position);
        const float* in[8];
        for (int f = 0; f < 8; ++f)
            in[f] = feeds[(size_t) f].data() + position;
        float* o[2] = { out[0].data() + position, out[1].data() + position };
        conv.process (in, o, 8, n);
        position += n;
    }
    return out;
}

std::vector<int> randomCuts (unsigned seed)
{
    std::mt19937 rng (seed);
    std::uniform_int_distribution<int> dist (1, 8192);
    std::vector<int> sizes (64);
    for (auto& s : sizes)
        s = dist (rng);
    return sizes;
}

struct CutPattern
{
    const char* name;
    std::vector<int> sizes;
};

class ConvolverCuts : public ::testing::TestWithParam<CutPattern>
{
protected:
    static void SetUpTestSuite()
    {
        hrir = std::make_unique<HrirSet>();
        input = std::make_unique<Stream> (randomFeeds (40000, 7));
        expected = std::make_unique<Stream> (referenceOutput (*hrir, *input));
    }

    static inline std::unique_ptr<HrirSet> hrir;
    static inline std::unique_ptr<Stream> input;
    static inline std::unique_ptr<Stream> expected;
};

TEST_P (ConvolverCuts, EqualsDirectConvolutionDelayedByTheHop)
{
    auto conv = std::make_unique<FftConvolver> (*hrir);
    const Stream out = runInCalls (*conv, *input, GetParam().sizes);

    for (int ear = 0; ear < 2; ++ear)
    {
        double peak = 0.0, worst = 0.0;
        for (size_t n = 0; n < out[0].size(); ++n)
        {
            peak = std::max (peak, (double) std::fabs ((*expected)[(size_t) ear][n]));
            worst = std::max (worst, (double) std::fabs (out[(size_t) ear][n] - (*expected)[(size_t) ear][n]));
        }
        EXPECT_LT (worst / peak, 1.0e-6) << "ear " << ear;
        for (int n = 0; n < FftConvolver::kDelay; ++n)
            ASSERT_EQ (out[(size_t) ear][(size_t) n], 0.0f) << "the first hop of output is silence";
    }
}

INSTANTIATE_TEST_SUITE_P (Calls, ConvolverCuts, ::testing::Values (
    CutPattern { "single", { 1 } },
    CutPattern { "hop_minus_one", { 767 } },
    CutPattern { "hop", { 768 } },
    CutPattern { "hop_plus_one", { 769 } },
    CutPattern { "longest", { 8192 } },
    CutPattern { "mixture", { 1, 767, 8192, 768, 769, 3, 8191 } },
    CutPattern { "random_a", randomCuts (1) },
    CutPattern { "random_b", randomCuts (2) }),
    [] (const auto& info) { return std::string (info.param.name); });

TEST (FftConvolver, ImpulseOnAFeedPlaysItsTwoResponsesAfterTheHop)
{
    HrirSet hrir;
    for (int feed = 0; feed < 8; ++feed)
    {
        auto conv = std::make_unique<FftConvolver> (hrir);
        Stream in (8, std::vector<float> (2048, 0.0f));
        in[(size_t) feed][0] = 1.0f;
        const Stream out = runInCalls (*conv, in, { 512 });

        for (int ear = 0; ear < 2; ++ear)
        {
            const float* h = hrir.response (ear, feed);
            for (int n = 0; n < 2048; ++n)
            {
                const float want = n >= 768 && n < 768 + 256 ? h[n - 768] : 0.0f;
                ASSERT_NEAR (out[(size_t) ear][(size_t) n], want, 1.0e-6f) << "feed " << feed << " ear " << ear << " n " << n;
            }
        }
    }
}

TEST (FftConvolver, SilenceInGivesExactSilenceOutAfterTheTail)
{
    HrirSet hrir;
    for (int lastSignal : { 0, 767, 768, 5000 })
    {
        auto conv = std::make_unique<FftConvolver> (hrir);
        Stream in = randomFeeds (12000, 3);
        for (auto& f : in)
            std::fill (f.begin() + lastSignal + 1, f.end(), 0.0f);
        const Stream out = runInCalls (*conv, in, { 97 });
        for (int ear = 0; ear < 2; ++ear)
            for (size_t n = (size_t) lastSignal + 1792; n < out[0].size(); ++n)
                ASSERT_EQ (out[(size_t) ear][n], 0.0f) << "last signal " << lastSignal << " n " << n;
    }
}

TEST (FftConvolver, ShortCallsRunNoTransformAndSilentFeedsAreSkipped)
{
    HrirSet hrir;
    auto conv = std::make_unique<FftConvolver> (hrir);
    Stream in = randomFeeds (768, 5);
    for (int f = 2; f < 8; ++f)
        std::fill (in[(size_t) f].begin(), in[(size_t) f].end(), 0.0f);

    runInCalls (*conv, Stream (8, std::vector<float> (767, 0.5f)), { 767 });
    EXPECT_EQ (conv->forwardTransformCount(), 0);

    // Completing the hop transforms every feed that carried signal in it: all eight here.
    runInCalls (*conv, Stream (8, std::vector<float> (1, 0.0f)), { 1 });
    EXPECT_EQ (conv->forwardTransformCount(), 8);

    // Only the two feeds with signal in the next hop are transformed.
    runInCalls (*conv, in, { 768 });
    EXPECT_EQ (conv->forwardTransformCount(), 10);
}

TEST (FftConvolver, OversizedCallsAreClampedAndNeverOverrun)
{
    HrirSet hrir;
    auto conv = std::make_unique<FftConvolver> (hrir);
    const int oversized = 20000;
    Stream in = randomFeeds ((size_t) oversized, 9);
    std::vector<std::vector<float>> out (2, std::vector<float> ((size_t) oversized, 42.0f));
    const float* i[8];
    for (int f = 0; f < 8; ++f)
        i[f] = in[(size_t) f].data();
    float* o[2] = { out[0].data(), out[1].data() };

    conv->process (i, o, 12, oversized);
    EXPECT_EQ (out[0][8192], 42.0f) << "nothing past 8192 samples is written";
    EXPECT_NE (out[0][8191], 42.0f);

    // The stream went on from sample 8192 as though only 8192 samples had been passed.
    auto reference = std::make_unique<FftConvolver> (hrir);
    Stream firstPart (8);
    for (int f = 0; f < 8; ++f)
        firstPart[(size_t) f].assign (in[(size_t) f].begin(), in[(size_t) f].begin() + 8192);
    const Stream expected = runInCalls (*reference, firstPart, { 8192 });
    EXPECT_EQ (std::vector<float> (out[1].begin(), out[1].begin() + 8192), expected[1]);

    conv->process (i, o, 0, 16); // no feeds: returns, output is just the ring
}
} // namespace
