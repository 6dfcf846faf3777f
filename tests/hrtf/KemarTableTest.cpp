// The table made from the KEMAR measurement the shipped one comes from: what the
// diffuse-field equalisation keeps, and what resampling to other rates keeps.
#include "ComplexFft.h"
#include "HrirPipeline.h"
#include "SofaReader.h"
#include "TableCues.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <memory>

using namespace vendrasolith;
using namespace vendrasolith::hrtf;
using namespace vendrasolith::fixtures;

namespace
{
class KemarTable : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (std::ifstream (VENDRASOLITH_KEMAR_SOFA).good())
            sofa = std::make_unique<SofaSet> (readSofaFile (VENDRASOLITH_KEMAR_SOFA));
    }
    static void TearDownTestSuite() { sofa.reset(); }

    void SetUp() override
    {
        if (sofa == nullptr)
            GTEST_SKIP() << VENDRASOLITH_KEMAR_SOFA << " is not installed";
    }

    static ResponseTable table (double rate, bool equalised = true)
    {
        PipelineSettings settings;
        settings.sampleRate = rate;
        settings.diffuseFieldEqualisation = equalised;
        return makeResponseTable (sofa->set, settings);
    }

    static inline std::unique_ptr<SofaSet> sofa;
};

/** The deepest dip of a response between 5 and 14 kHz: its frequency and its depth
    below the highest level within half an octave of it. */
struct Notch
{
    double hz, depthDb;
};

Notch deepestNotch (const std::vector<double>& response, double rate)
{
    constexpr size_t n = 4096;
    std::vector<double> padded (response);
    padded.resize (n, 0.0);
    std::vector<double> db;
    Spectrum s (padded.begin(), padded.end());
    ComplexFft (n).transform (s, -1);
    for (size_t k = 0; k <= n / 2; ++k)
        db.push_back (20.0 * std::log10 (std::abs (s[k]) + 1e-12));
    const auto hzOf = [&] (size_t k) { return double (k) * rate / double (n); };

    Notch deepest { 0.0, 0.0 };
    for (size_t k = 1; k < n / 2; ++k)
    {
        if (hzOf (k) < 5000.0 || hzOf (k) > 14000.0 || db[k] > db[k - 1] || db[k] > db[k + 1])
            continue;
        double around = db[k];
        for (size_t j = 1; j < n / 2; ++j)
            if (hzOf (j) > hzOf (k) / std::sqrt (std::sqrt (2.0)) && hzOf (j) < hzOf (k) * std::sqrt (std::sqrt (2.0)))
                around = std::max (around, db[j]);
        if (around - db[k] > deepest.depthDb)
            deepest = { hzOf (k), around - db[k] };
    }
    return deepest;
}

TEST_F (KemarTable, EqualisationKeepsInterauralCuesAndOnsets)
{
    const auto asMeasured = table (44100.0, false), equalised = table (44100.0, true);
    for (int feed = 0; feed < kNumFeeds; ++feed)
    {
        EXPECT_NEAR (itdMicroseconds (equalised, feed), itdMicroseconds (asMeasured, feed), 5.0) << feedLabel (feed);
        EXPECT_NEAR (ildDb (equalised, feed), ildDb (asMeasured, feed), 0.2) << feedLabel (feed);
        for (int ear = 0; ear < kNumEars; ++ear)
            EXPECT_NEAR (onsetSample (responseOf (equalised, ear, feed)), onsetSample (responseOf (asMeasured, ear, feed)), 1)
                << feedLabel (feed) << ", ear " << ear;
    }
    // The reported latency (768 + 24) counts on it.
    EXPECT_EQ (earliestPeak (equalised), kPeakTap);
    EXPECT_EQ (equalised.shift, asMeasured.shift);
}

TEST_F (KemarTable, PinnaNotchesAboveFiveKilohertzStay)
{
    const auto asMeasured = table (44100.0, false), equalised = table (44100.0, true);
    for (int m = 0; m < kNumResponses; ++m)
    {
        if (! feedIsHeard (m % kNumFeeds))
            continue;
        const Notch before = deepestNotch (responseOf (asMeasured, m), 44100.0);
        const Notch after = deepestNotch (responseOf (equalised, m), 44100.0);
        ASSERT_GT (before.depthDb, 6.0) << "response " << m;
        EXPECT_NEAR (std::log2 (after.hz / before.hz), 0.0, 1.0 / 24.0) << "response " << m << " at " << before.hz << " Hz";
        // The equaliser is smooth: it may tilt a notch's surroundings, not fill it.
        EXPECT_GT (after.depthDb, 0.75 * before.depthDb) << "response " << m << " at " << before.hz << " Hz";
    }
}

TEST_F (KemarTable, TablesAtOtherRatesKeepTimesAndFrequencies)
{
    constexpr int kRightSide = 7; // Rss, 90 degrees
    const auto reference = table (44100.0);
    // The right ear's main resonance for the 90-degree loudspeaker.
    const auto resonanceHz = [] (const ResponseTable& t)
    {
        std::vector<double> fine;
        for (double hz = 1000.0; hz <= 8000.0; hz *= std::pow (2.0, 1.0 / 48.0))
            fine.push_back (hz);
        // Third-octave levels every 1/48 octave, to find the peak between band centres.
        const auto levels = bandLevelsDb (responseOf (t, 1, kRightSide), t.sampleRate, fine);
        return fine[(size_t) (std::max_element (levels.begin(), levels.end()) - levels.begin())];
    };

    for (const double rate : { 48000.0, 96000.0 })
    {
        const auto resampled = table (rate);
        for (const auto [feed, nearEar] : kLateralFeeds)
            EXPECT_NEAR (itdMicroseconds (resampled, feed), itdMicroseconds (reference, feed),
                         0.02 * std::fabs (itdMicroseconds (reference, feed)))
                << feedLabel (feed) << " at " << rate << " Hz";
        EXPECT_NEAR (std::log2 (resonanceHz (resampled) / resonanceHz (reference)), 0.0, 1.0 / 24.0) << rate << " Hz";
        EXPECT_EQ (earliestPeak (resampled), kPeakTap) << rate << " Hz";
    }
}
} // namespace
