// The table the plug-in ships, heard the way a user hears it: white noise into the
// centre channel of the renderer, analysed in third-octave bands at the ears.
#include "BinauralRenderer.h"
#include "CueMeasures.h"
#include "HrirPipeline.h"
#include "TableCues.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

using namespace vendrasolith;
using namespace vendrasolith::hrtf;

namespace
{
constexpr double kRate = 44100.0;
constexpr int kSevenOne = 5;     // L R C LFE Lsr Rsr Lss Rss
constexpr int kCentreInput = 2;
constexpr int kSettle = 8192;    // the panning gains glide in first
constexpr int kNoise = 1 << 18;

struct EarSignals
{
    std::vector<double> input;
    std::array<std::vector<double>, kNumEars> ears;
};

EarSignals centreNoiseThroughTheRenderer()
{
    BinauralRenderer renderer;
    renderer.setInputConfiguration (kSevenOne);

    const int total = kSettle + kNoise + 2048;
    std::vector<std::vector<float>> channels (8, std::vector<float> ((size_t) total, 0.0f));
    std::mt19937 rng (2);
    std::uniform_real_distribution<float> uniform (-0.5f, 0.5f);
    EarSignals signals;
    for (int k = kSettle; k < kSettle + kNoise; ++k)
    {
        channels[kCentreInput][(size_t) k] = uniform (rng);
        signals.input.push_back (channels[kCentreInput][(size_t) k]);
    }

    std::array<std::vector<float>, kNumEars> out { std::vector<float> ((size_t) total), std::vector<float> ((size_t) total) };
    for (int offset = 0; offset < total; offset += 4096)
    {
        std::array<const float*, 8> in {};
        for (size_t c = 0; c < 8; ++c)
            in[c] = channels[c].data() + offset;
        float* ears[kNumEars] = { out[0].data() + offset, out[1].data() + offset };
        renderer.render (in.data(), ears, 8, std::min (4096, total - offset));
    }
    for (int ear = 0; ear < kNumEars; ++ear)
        signals.ears[(size_t) ear].assign (out[(size_t) ear].begin() + kSettle + BinauralRenderer::kLatency,
                                           out[(size_t) ear].end());
    return signals;
}

TEST (ShippedTable, CentreChannelSoundsEvenFromTheBassToTheUpperMids)
{
    const auto signals = centreNoiseThroughTheRenderer();
    const auto centres = thirdOctaveCentres (25.0, 5000.0);
    for (int ear = 0; ear < kNumEars; ++ear)
    {
        const auto gains = bandGainsDb (signals.input, signals.ears[(size_t) ear], kRate, centres);
        const auto fromMean = fixtures::relativeToMean (gains, centres, 100.0, 5000.0);
        const auto fromBass = fixtures::relativeToMean (gains, centres, 100.0, 400.0);
        for (size_t i = 0; i < centres.size(); ++i)
        {
            if (centres[i] >= 99.0)
                EXPECT_LT (std::fabs (fromMean[i]), 4.0) << "ear " << ear << ", " << centres[i] << " Hz band";
            else // below 100 Hz the low end continues level: not lost, not lifted twice
                EXPECT_LT (std::fabs (fromBass[i]), 1.5) << "ear " << ear << ", " << centres[i] << " Hz band";
        }
    }
}
TEST (ShippedTable, ResampledToOtherRatesKeepsItsTimesAndLandsOnTheLatencyTap)
{
    // What a session at another rate would hear through the shipped table.
    const HrirSet shipped;
    PipelineSettings same;
    same.sampleRate = kRate;
    const auto reference = resampleTable (shipped.values(), HrirSet::kTaps, kRate, same);
    EXPECT_TRUE (std::equal (reference.values.begin(), reference.values.end(), shipped.values())) << "as it is at its own rate";
    for (const double rate : { 48000.0, 96000.0 })
    {
        PipelineSettings settings;
        settings.sampleRate = rate;
        const auto table = resampleTable (shipped.values(), HrirSet::kTaps, kRate, settings);
        EXPECT_EQ (fixtures::earliestPeak (table), kPeakTap) << rate;
        for (const auto [feed, nearEar] : fixtures::kLateralFeeds)
        {
            const double itd = fixtures::itdMicroseconds (reference, feed);
            EXPECT_NEAR (fixtures::itdMicroseconds (table, feed), itd, 0.03 * std::fabs (itd)) << feedLabel (feed) << " at " << rate;
        }
        double centreEnergy = 0.0;
        for (const double v : fixtures::responseOf (table, 0, fixtures::kCentreFeed))
            centreEnergy += v * v;
        EXPECT_NEAR (centreEnergy, 1.0, 1e-5) << "as loud in noise at " << rate;
    }
}
} // namespace
