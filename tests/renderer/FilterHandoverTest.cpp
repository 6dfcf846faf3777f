// Responses longer than the embedded table's (tables made for higher sample rates) and the
// hand-over of filters made on another thread: exact convolution at every transform size,
// a crossfade that splits each input sample between the old and the new filters, and
// queued sets taken up in order.
#include "FftConvolver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <atomic>
#include <random>
#include <thread>
#include <vector>

using namespace vendrasolith;

namespace
{
constexpr double kPi = 3.14159265358979323846;
using Stream = std::vector<std::vector<float>>; // [channel][sample]

/** 16 decaying noise responses of `taps` taps, ear-major. */
std::vector<float> randomTable (int taps, unsigned seed)
{
    std::mt19937 rng (seed);
    std::uniform_real_distribution<float> dist (-1.0f, 1.0f);
    std::vector<float> values ((size_t) (HrirSet::kResponses * taps));
    for (int m = 0; m < HrirSet::kResponses; ++m)
        for (int t = 0; t < taps; ++t)
            values[(size_t) (m * taps + t)] = 0.3f * dist (rng) * std::exp (-4.0f * (float) t / (float) taps);
    return values;
}

/** Noise on feeds 1 and 6, silence on the others. */
Stream twoFeeds (size_t length, unsigned seed)
{
    std::mt19937 rng (seed);
    std::uniform_real_distribution<float> dist (-0.5f, 0.5f);
    Stream feeds (kNumFeeds, std::vector<float> (length, 0.0f));
    for (const int f : { 1, 6 })
        for (auto& x : feeds[(size_t) f])
            x = dist (rng);
    return feeds;
}

/** Direct convolution in double of each feed, weighted per sample, with its two responses,
    added into `out` 768 samples late. */
void convolveInto (std::vector<std::vector<double>>& out, const Stream& feeds, const std::vector<double>& weight,
                   const std::vector<float>& table, int taps)
{
    const size_t length = feeds[0].size();
    for (int ear = 0; ear < kNumEars; ++ear)
        for (int feed = 0; feed < kNumFeeds; ++feed)
        {
            const float* h = table.data() + (size_t) ((ear * kNumFeeds + feed) * taps);
            for (size_t n = 0; n < length; ++n)
            {
                const double x = (double) feeds[(size_t) feed][n] * weight[n];
                if (x == 0.0)
                    continue;
                for (int t = 0; t < taps && n + (size_t) (FftConvolver::kDelay + t) < length; ++t)
                    out[(size_t) ear][n + (size_t) (FftConvolver::kDelay + t)] += x * h[t];
            }
        }
}

/** Runs a stream through in calls of the given sizes; `beforeCall` may act between calls. */
template <typename BeforeCall>
Stream run (FftConvolver& conv, const Stream& feeds, const std::vector<int>& callSizes, BeforeCall beforeCall)
{
    const int length = (int) feeds[0].size();
    Stream out (kNumEars, std::vector<float> ((size_t) length, 0.0f));
    for (int position = 0, call = 0; position < length; ++call)
    {
        beforeCall (position);
        const int n = std::min (callSizes[(size_t) call % callSizes.size()], length - position);
        const float* in[kNumFeeds];
        for (int f = 0; f < kNumFeeds; ++f)
            in[f] = feeds[(size_t) f].data() + position;
        float* o[kNumEars] = { out[0].data() + position, out[1].data() + position };
        conv.process (in, o, kNumFeeds, n);
        position += n;
    }
    return out;
}

Stream run (FftConvolver& conv, const Stream& feeds, const std::vector<int>& callSizes)
{
    return run (conv, feeds, callSizes, [] (int) {});
}

/** Largest difference relative to the expected stream's peak. */
double relativeError (const Stream& got, const std::vector<std::vector<double>>& expected)
{
    double peak = 0.0, worst = 0.0;
    for (int ear = 0; ear < kNumEars; ++ear)
        for (size_t n = 0; n < got[0].size(); ++n)
        {
            peak = std::max (peak, std::fabs (expected[(size_t) ear][n]));
            worst = std::max (worst, std::fabs (got[(size_t) ear][n] - expected[(size_t) ear][n]));
        }
    return worst / peak;
}

TEST (LongResponses, ConvolveExactlyAtEveryTransformSizeHoweverTheStreamIsCut)
{
    struct Case
    {
        int taps, transformSize;
    };
    const std::vector<std::vector<int>> cuts { { 1, 767, 8192, 768, 769, 3 }, { 97 }, { 8192 } };
    for (const auto c : { Case { 257, 1024 }, Case { 258, 2048 }, Case { 531, 2048 }, Case { 1281, 2048 },
                          Case { 1282, 4096 }, Case { 3329, 4096 } })
    {
        const auto table = randomTable (c.taps, (unsigned) c.taps);
        constexpr int length = 16000, lastSignal = 9000;
        Stream feeds = twoFeeds (length, 4);
        for (auto& f : feeds)
            std::fill (f.begin() + lastSignal + 1, f.end(), 0.0f);
        std::vector<std::vector<double>> expected (kNumEars, std::vector<double> (length, 0.0));
        convolveInto (expected, feeds, std::vector<double> (length, 1.0), table, c.taps);

        for (const auto& sizes : cuts)
        {
            SCOPED_TRACE (std::to_string (c.taps) + " taps, first call " + std::to_string (sizes[0]));
            auto conv = std::make_unique<FftConvolver> (HrirSet());
            conv->setResponses (table.data(), c.taps);
            EXPECT_EQ (conv->transformSize(), c.transformSize);
            const Stream out = run (*conv, feeds, sizes);

            EXPECT_LT (relativeError (out, expected), 1.0e-6);
            for (int ear = 0; ear < kNumEars; ++ear)
            {
                for (int n = 0; n < FftConvolver::kDelay; ++n)
                    ASSERT_EQ (out[(size_t) ear][(size_t) n], 0.0f);
                // The last hop that held signal writes no further than one transform on.
                for (int n = lastSignal + FftConvolver::kDelay + c.transformSize; n < length; ++n)
                    ASSERT_EQ (out[(size_t) ear][(size_t) n], 0.0f) << "n " << n;
            }
        }
    }
}

TEST (FilterHandover, InSilenceQueuedFiltersTakeOverAtOnce)
{
    const auto table = randomTable (1115, 3);
    const Stream feeds = twoFeeds (12000, 5);

    auto reference = std::make_unique<FftConvolver> (HrirSet());
    reference->setResponses (table.data(), 1115);
    Stream silence (kNumFeeds, std::vector<float> (1000, 0.0f));
    run (*reference, silence, { 1000 });
    const Stream expected = run (*reference, feeds, { 333 });

    auto conv = std::make_unique<FftConvolver> (HrirSet());
    conv->queueFilters (std::make_unique<ConvolutionFilters> (table.data(), 1115, conv->backend()));
    EXPECT_EQ (conv->transformSize(), 1024) << "taken up by the audio thread, not when queued";
    run (*conv, silence, { 1000 });
    EXPECT_EQ (conv->transformSize(), 2048);
    EXPECT_EQ (run (*conv, feeds, { 333 }), expected);
}

// While sound plays, the hop being collected when the filters are taken up and the next
// one are split between old and new filters by complementary raised-cosine weights: the
// output is the sum of the two convolutions of the weighted input, at any pair of sizes.
TEST (FilterHandover, WhileSoundPlaysEachSampleIsSplitBetweenTheOldAndTheNewFilters)
{
    struct Case
    {
        int fromTaps, toTaps;
    };
    for (const auto c : { Case { 256, 1115 }, Case { 1115, 256 }, Case { 256, 3000 }, Case { 3000, 600 }, Case { 256, 256 } })
    {
        SCOPED_TRACE (std::to_string (c.fromTaps) + " -> " + std::to_string (c.toTaps) + " taps");
        const auto before = randomTable (c.fromTaps, 11), after = randomTable (c.toTaps, 12);
        constexpr int length = 14000, queuedAt = 5000; // a call boundary inside the seventh hop
        const Stream feeds = twoFeeds (length, 6);

        auto conv = std::make_unique<FftConvolver> (HrirSet());
        conv->setResponses (before.data(), c.fromTaps);
        const Stream out = run (*conv, feeds, { 1000 }, [&] (int position)
        {
            if (position == queuedAt)
                conv->queueFilters (std::make_unique<ConvolutionFilters> (after.data(), c.toTaps, conv->backend()));
        });

        const int fadeStart = queuedAt / FftConvolver::kHop * FftConvolver::kHop;
        const int fadeLength = FftConvolver::kCrossfadeHops * FftConvolver::kHop;
        std::vector<double> rising (length), falling (length);
        for (int n = 0; n < length; ++n)
        {
            const double p = std::clamp ((n - fadeStart + 0.5) / fadeLength, 0.0, 1.0);
            rising[(size_t) n] = n < fadeStart ? 0.0 : n >= fadeStart + fadeLength ? 1.0 : 0.5 - 0.5 * std::cos (kPi * p);
            falling[(size_t) n] = 1.0 - rising[(size_t) n];
        }
        std::vector<std::vector<double>> expected (kNumEars, std::vector<double> (length, 0.0));
        convolveInto (expected, feeds, falling, before, c.fromTaps);
        convolveInto (expected, feeds, rising, after, c.toTaps);
        EXPECT_LT (relativeError (out, expected), 1.0e-6);
    }
}

/** The two ears' responses of every feed, one impulse after another, after a long silence. */
Stream impulseResponses (FftConvolver& conv, int taps)
{
    run (conv, Stream (kNumFeeds, std::vector<float> ((size_t) (2 * FftConvolver::kLargestFftSize), 0.0f)), { 512 });
    Stream all (kNumEars);
    for (int feed = 0; feed < kNumFeeds; ++feed)
    {
        Stream feeds (kNumFeeds, std::vector<float> ((size_t) (3 * FftConvolver::kLargestFftSize), 0.0f));
        feeds[(size_t) feed][0] = 1.0f;
        const Stream out = run (conv, feeds, { 512 });
        for (int ear = 0; ear < kNumEars; ++ear)
            all[(size_t) ear].insert (all[(size_t) ear].end(), out[(size_t) ear].begin() + FftConvolver::kDelay,
                                      out[(size_t) ear].begin() + FftConvolver::kDelay + taps);
    }
    return all;
}

TEST (FilterHandover, SetsQueuedDuringACrossfadeWaitAndTheLastQueuedWins)
{
    const auto first = randomTable (700, 21), second = randomTable (300, 22), last = randomTable (2000, 23);
    auto conv = std::make_unique<FftConvolver> (HrirSet());
    const Stream sound = twoFeeds (800, 7);

    const auto make = [&] (const std::vector<float>& table, int taps)
    { return std::make_unique<ConvolutionFilters> (table.data(), taps, conv->backend()); };

    run (*conv, sound, { 800 });
    conv->queueFilters (make (first, 700));
    run (*conv, sound, { 100 }); // the crossfade to the first set starts
    EXPECT_EQ (conv->responseTaps(), 700);
    conv->queueFilters (make (second, 300));
    conv->queueFilters (make (last, 2000)); // replaces the second before it was taken up
    run (*conv, sound, { 100 });
    EXPECT_EQ (conv->responseTaps(), 700) << "waits for the crossfade to end";

    Stream silence (kNumFeeds, std::vector<float> (4 * FftConvolver::kLargestFftSize, 0.0f));
    run (*conv, silence, { 64 });
    EXPECT_EQ (conv->responseTaps(), 2000);
    conv->releaseRetiredFilters();

    // The impulses fall elsewhere in a hop than in the reference, which changes the last bits.
    auto reference = std::make_unique<FftConvolver> (HrirSet());
    reference->setResponses (last.data(), 2000);
    const Stream got = impulseResponses (*conv, 2000), expected = impulseResponses (*reference, 2000);
    double worst = 0.0;
    for (int ear = 0; ear < kNumEars; ++ear)
        for (size_t n = 0; n < got[0].size(); ++n)
            worst = std::max (worst, (double) std::fabs (got[(size_t) ear][n] - expected[(size_t) ear][n]));
    EXPECT_LT (worst, 1.0e-7);
}
// The message thread queues sets while the audio thread plays (under the thread sanitizer
// any unsynchronised hand-over fails): whatever it meets, the audio thread keeps playing, and
// the set queued last is the one heard in the end.
TEST (FilterHandover, SetsQueuedFromAnotherThreadWhilePlaying)
{
    const std::vector<std::vector<float>> tables { randomTable (256, 31), randomTable (900, 32), randomTable (1700, 33) };
    const int taps[] = { 256, 900, 1700 };
    auto conv = std::make_unique<FftConvolver> (HrirSet());
    const FftBackend backend = conv->backend();

    std::atomic<bool> done { false };
    std::atomic<int> queued { 0 };
    std::thread messageThread ([&]
    {
        for (int i = 0; ! done.load(); ++i)
        {
            const int which = i % 3;
            conv->queueFilters (std::make_unique<ConvolutionFilters> (tables[(size_t) which].data(), taps[which], backend));
            queued.fetch_add (1);
            std::this_thread::yield();
        }
    });

    const Stream sound = twoFeeds (4096, 8);
    bool finite = true;
    for (int round = 0; round < 400 || queued.load() < 50; ++round)
        for (const auto& ear : run (*conv, sound, { 256, 1000, 77 }))
            finite = finite && std::all_of (ear.begin(), ear.end(), [] (float x) { return std::isfinite (x); });
    done = true;
    messageThread.join();
    EXPECT_TRUE (finite);

    conv->queueFilters (std::make_unique<ConvolutionFilters> (tables[1].data(), 900, backend));
    run (*conv, Stream (kNumFeeds, std::vector<float> (4 * FftConvolver::kLargestFftSize, 0.0f)), { 512 });
    EXPECT_EQ (conv->responseTaps(), 900);
}
} // namespace
