#include "BinauralRenderer.h"
#include "FftConvolver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace vendrasolith;

namespace
{
using Stream = std::vector<std::vector<float>>; // [channel][sample]

// Largest difference between two streams' channels, in units of full scale (1.0).
double largestDifference (const Stream& a, const Stream& b)
{
    double worst = 0.0;
    for (size_t c = 0; c < a.size(); ++c)
        for (size_t k = 0; k < a[c].size(); ++k)
            worst = std::max (worst, (double) std::fabs (a[c][k] - b[c][k]));
    return worst;
}

double peakOf (const Stream& s)
{
    double peak = 0.0;
    for (const auto& channel : s)
        for (float x : channel)
            peak = std::max (peak, (double) std::fabs (x));
    return peak;
}

Stream convolve (FftBackend backend, const Stream& feeds, int callSize)
{
    auto conv = std::make_unique<FftConvolver> (HrirSet(), backend);
    const int length = (int) feeds[0].size();
    Stream out (2, std::vector<float> ((size_t) length));
    for (int position = 0; position < length; position += callSize)
    {
        const int n = std::min (callSize, length - position);
        const float* in[8];
        for (int f = 0; f < 8; ++f)
            in[f] = feeds[(size_t) f].data() + position;
        float* o[2] = { out[0].data() + position, out[1].data() + position };
        conv->process (in, o, 8, n);
    }
    return out;
}

/** A 7.1 scene as the plug-in meets it: every channel in turn bursts noise, the image is
    turned and narrowed while it plays, the configuration changes once, and the host's
    block size varies. Returns the binaural output. */
Stream renderScene (FftBackend backend)
{
    constexpr int kLength = 60000;
    const int blockSizes[] = { 512, 64, 97, 1000, 8192, 1, 333 };
    auto renderer = std::make_unique<BinauralRenderer> (backend);
    renderer->setPanGain (4.0f);
    renderer->setInputConfiguration (5);

    std::mt19937 rng (99);
    std::uniform_real_distribution<float> dist (-1.0f, 1.0f);
    Stream io (8, std::vector<float> ((size_t) kLength));
    for (int c = 0; c < 8; ++c)
        for (int k = 0; k < kLength; ++k)
            io[(size_t) c][(size_t) k] = (k / 3000) % 8 == c || k % 7919 < 40 ? 0.25f * dist (rng) : 0.0f;

    int block = 0;
    for (int position = 0; position < kLength; ++block)
    {
        const int n = std::min (blockSizes[block % 7], kLength - position);
        renderer->setAngle (0.5f + 0.5f * std::sin (position * 1.0e-4f));
        renderer->setWidth (position < kLength / 2 ? 1.0f - position * 1.0e-5f : 0.4f);
        if (position > 40000 && position - n <= 40000)
            renderer->setInputConfiguration (7);
        float* ptrs[8];
        for (int c = 0; c < 8; ++c)
            ptrs[c] = io[(size_t) c].data() + position;
        renderer->render (ptrs, ptrs, 8, n);
        position += n;
    }
    io.resize (2);
    return io;
}

class BothBackends : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (! isFftBackendAvailable (FftBackend::fftw))
            GTEST_SKIP() << "built without FFTW";
    }
};

TEST_F (BothBackends, AgreeOnImpulsesNoiseAndAScene)
{
    // An impulse on each feed, at the start of a hop and in the middle of one.
    for (int feed = 0; feed < 8; ++feed)
    {
        for (int at : { 0, 500 })
        {
            Stream impulse (8, std::vector<float> (3000, 0.0f));
            impulse[(size_t) feed][(size_t) at] = 1.0f;
            EXPECT_LT (largestDifference (convolve (FftBackend::fftw, impulse, 256), convolve (FftBackend::kiss, impulse, 256)), 1.0e-6)
                << "impulse on feed " << feed << " at " << at;
        }
    }

    // Noise on all eight feeds, at a level that keeps the sum within full scale.
    std::mt19937 rng (5);
    std::uniform_real_distribution<float> dist (-0.12f, 0.12f);
    Stream noise (8, std::vector<float> (20000));
    for (auto& f : noise)
        for (auto& x : f)
            x = dist (rng);
    const Stream noiseOut = convolve (FftBackend::kiss, noise, 777);
    EXPECT_GT (peakOf (noiseOut), 0.3);
    EXPECT_LE (peakOf (noiseOut), 1.0);
    EXPECT_LT (largestDifference (convolve (FftBackend::fftw, noise, 777), noiseOut), 1.0e-6);

    const Stream fast = renderScene (FftBackend::fftw);
    const Stream reference = renderScene (FftBackend::kiss);
    EXPECT_GT (peakOf (reference), 0.1) << "the scene must be audible for the comparison to mean anything";
    EXPECT_LE (peakOf (reference), 1.0);
    EXPECT_LT (largestDifference (fast, reference), 1.0e-6);
}

/** FNV-1a over the bits of every sample: equal only if every sample is. */
std::uint64_t bitHash (const Stream& s)
{
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (const auto& channel : s)
        for (const float x : channel)
        {
            std::uint32_t bits;
            std::memcpy (&bits, &x, sizeof (bits));
            for (int b = 0; b < 4; ++b)
            {
                hash ^= (bits >> (8 * b)) & 0xffu;
                hash *= 0x100000001b3ull;
            }
        }
    return hash;
}

// The scene through KISS FFT, whose plain C code computes alike on every x86-64 machine
// with the distribution's library (FFTW picks its code by processor, so its last bits may
// differ between machines; a compiler that fuses multiply-adds would change KISS FFT's too).
TEST (FftBackend, TheSceneRendersBitForBitAsItsGoldenRecords)
{
    const std::string path = VENDRASOLITH_RENDERER_GOLDEN "/scene_kiss.txt";
    const std::uint64_t hash = bitHash (renderScene (FftBackend::kiss));

    if (std::getenv ("VENDRASOLITH_REGENERATE_GOLDENS") != nullptr)
    {
        std::ifstream old (path);
        std::string header, line;
        while (std::getline (old, line) && line.rfind ("#", 0) == 0)
            header += line + "\n";
        std::ofstream (path) << header << "kiss " << std::hex << hash << "\n";
        GTEST_SKIP() << "regenerated " << path;
    }

    std::ifstream golden (path);
    ASSERT_TRUE (golden.good()) << path;
    std::string line, name, recorded;
    while (std::getline (golden, line))
        if (line.rfind ("#", 0) != 0)
            std::istringstream (line) >> name >> recorded;
    ASSERT_EQ (name, "kiss") << path;
    EXPECT_EQ (std::strtoull (recorded.c_str(), nullptr, 16), hash) << "scene hash now " << std::hex << hash;
}

TEST (FftBackend, ARendererRunsOnTheBackendItAsksFor)
{
    EXPECT_EQ (BinauralRenderer().convolver().backend(), defaultFftBackend());
    EXPECT_EQ (BinauralRenderer (FftBackend::kiss).convolver().backend(), FftBackend::kiss);

    // A build without FFTW still gives a working renderer when FFTW is asked for.
    const auto expected = isFftBackendAvailable (FftBackend::fftw) ? FftBackend::fftw : FftBackend::kiss;
    EXPECT_EQ (BinauralRenderer (FftBackend::fftw).convolver().backend(), expected);
    EXPECT_EQ (defaultFftBackend(), expected);
}

// Hosts create several instances at once on different threads; every instance must plan
// safely and compute exactly what every other one does, for outputs to be comparable
// sample for sample (block-size independence, bypass, recall).
TEST (FftBackend, InstancesBuiltConcurrentlyRenderIdentically)
{
    constexpr int kThreads = 6;
    constexpr int kRounds = 4;
    constexpr int kLength = 4000;

    std::mt19937 rng (17);
    std::uniform_real_distribution<float> dist (-1.0f, 1.0f);
    std::vector<float> input ((size_t) kLength);
    for (auto& x : input)
        x = dist (rng);

    auto render = [&input] (FftBackend backend)
    {
        auto renderer = std::make_unique<BinauralRenderer> (backend);
        renderer->setPanGain (4.0f);
        renderer->setInputConfiguration (1);
        std::vector<float> left = input, right = input;
        float* ptrs[2] = { left.data(), right.data() };
        renderer->render (ptrs, ptrs, 2, kLength);
        return left;
    };

    std::vector<std::vector<float>> outputs ((size_t) (kThreads * kRounds));
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
    {
        threads.emplace_back ([&, t]
        {
            // Instances come and go while others are being made, so the shared plans are
            // made, shared and released under contention.
            for (int round = 0; round < kRounds; ++round)
                outputs[(size_t) (t * kRounds + round)] = render (t % 3 == 2 ? FftBackend::kiss : defaultFftBackend());
        });
    }
    for (auto& thread : threads)
        thread.join();

    const auto fastReference = render (defaultFftBackend());
    const auto kissReference = render (FftBackend::kiss);
    for (int t = 0; t < kThreads; ++t)
        for (int round = 0; round < kRounds; ++round)
            EXPECT_EQ (outputs[(size_t) (t * kRounds + round)], t % 3 == 2 ? kissReference : fastReference)
                << "thread " << t << " round " << round;
}
} // namespace
