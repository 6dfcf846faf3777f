// The pipeline on a modelled (spherical) head, where the truth is known: what the table
// keeps (interaural cues, in seconds at any rate), what it removes (a coloration every
// direction shares) and where it puts the sound (the earliest peak on the latency tap).
#include "HrirPipeline.h"
#include "SphericalHead.h"
#include "TableCues.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace vendrasolith;
using namespace vendrasolith::hrtf;
using namespace vendrasolith::fixtures;

namespace
{
constexpr double kPi = 3.14159265358979323846;

ResponseTable tableOf (const MeasuredSet& set, double rate, bool equalised = true)
{
    PipelineSettings settings;
    settings.sampleRate = rate;
    settings.diffuseFieldEqualisation = equalised;
    return makeResponseTable (set, settings);
}

/** Every measurement through one resonance (a peaking biquad), as an ear canal colours
    every direction alike. */
MeasuredSet coloured (MeasuredSet set, double hz, double db, double q)
{
    const double a = std::pow (10.0, db / 40.0), w = 2.0 * kPi * hz / set.sampleRate, alpha = std::sin (w) / (2.0 * q);
    const double b0 = 1.0 + alpha * a, b1 = -2.0 * std::cos (w), b2 = 1.0 - alpha * a;
    const double a0 = 1.0 + alpha / a, a1 = -2.0 * std::cos (w), a2 = 1.0 - alpha / a;
    set.length *= 2; // room for the resonance to ring
    for (auto& response : set.measurements)
    {
        response.resize ((size_t) set.length, 0.0);
        double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;
        for (auto& v : response)
        {
            const double y = (b0 * v + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2) / a0;
            x2 = x1;
            x1 = v;
            y2 = y1;
            y1 = y;
            v = y;
        }
    }
    return set;
}

TEST (HrirPipeline, EarliestPeakLandsOnTheLatencyTapAtEveryRate)
{
    struct Case
    {
        double setRate, leadSeconds;
    };
    // Onsets near tap 20 (a shift back) and near tap 2 (a shift forward, filled from before time zero).
    for (const auto& c : { Case { 44100, 0.0007 }, Case { 48000, 0.0007 }, Case { 44100, 0.0003 } })
    {
        const auto set = sphericalHeadSet (c.setRate, 256, 10.0, { 0.0, 40.0 }, c.leadSeconds);
        for (const double rate : { 22050.0, 44100.0, 48000.0, 88200.0, 96000.0, 192000.0 })
            EXPECT_EQ (earliestPeak (tableOf (set, rate)), kPeakTap)
                << "set at " << c.setRate << " Hz, lead " << c.leadSeconds << " s, table at " << rate << " Hz";
    }
}

TEST (HrirPipeline, InterauralCuesComeThroughInSecondsAtEveryRate)
{
    const auto set = sphericalHeadSet (44100.0, 256);
    const auto reference = tableOf (set, 44100.0);
    for (const auto [feed, nearEar] : kLateralFeeds)
    {
        const auto& left = set.response (feed);
        const auto& right = set.response (kNumFeeds + feed);
        const double measured = 1e6 * interauralDelaySeconds (left, right, set.sampleRate);
        EXPECT_NEAR (itdMicroseconds (reference, feed), measured, 0.02 * std::fabs (measured)) << feedLabel (feed);
        EXPECT_NEAR (ildDb (reference, feed), interauralLevelDb (left, right, set.sampleRate), 0.3) << feedLabel (feed);
        EXPECT_GT (nearEar == 0 ? ildDb (reference, feed) : -ildDb (reference, feed), 3.0) << feedLabel (feed);
    }

    // A table keeps 23 taps before its earliest peak: less time at higher rates, so a
    // little less of the bass band's lead-in, which the low-frequency cues feel. Keeping
    // the time before the peak instead keeps them at any rate.
    struct Case
    {
        double rate;
        bool keepLeadTime;
        double itdShare, ildDb;
    };
    for (const auto& c : { Case { 22050, false, 0.01, 0.3 }, Case { 48000, false, 0.01, 0.1 },
                           Case { 96000, false, 0.03, 0.2 }, Case { 192000, false, 0.07, 0.5 },
                           Case { 192000, true, 0.005, 0.2 } })
    {
        PipelineSettings settings;
        settings.sampleRate = c.rate;
        if (c.keepLeadTime)
        {
            settings.peakTap = (int) std::lround (kPeakTap * c.rate / 44100.0);
            settings.taps = 1024;
        }
        const auto table = makeResponseTable (set, settings);
        const std::string what = std::string (c.keepLeadTime ? " keeping the lead time" : "") + " at " + std::to_string (c.rate);
        for (const auto [feed, nearEar] : kLateralFeeds)
        {
            const double itd = itdMicroseconds (reference, feed);
            EXPECT_NEAR (itdMicroseconds (table, feed), itd, c.itdShare * std::fabs (itd)) << feedLabel (feed) << what;
            // Level differences above 0.45 of 22.05 kHz are not there to compare.
            if (c.rate > 40000.0)
                EXPECT_NEAR (ildDb (table, feed), ildDb (reference, feed), c.ildDb) << feedLabel (feed) << what;
        }
        EXPECT_EQ (earliestPeak (table), settings.peakTap) << what;
    }
}

TEST (HrirPipeline, EqualisationRemovesAColorationEveryDirectionSharesAndKeepsTheCues)
{
    const auto set = coloured (sphericalHeadSet (44100.0, 256), 2700.0, 15.0, 1.5);
    const auto asMeasured = tableOf (set, 44100.0, false);
    const auto equalised = tableOf (set, 44100.0, true);

    const auto centres = thirdOctaveCentres (100.0, 5000.0);
    for (int ear = 0; ear < kNumEars; ++ear)
    {
        const auto before = relativeToMean (bandLevelsDb (responseOf (asMeasured, ear, kCentreFeed), 44100.0, centres),
                                            centres, 100.0, 5000.0);
        const auto after = relativeToMean (bandLevelsDb (responseOf (equalised, ear, kCentreFeed), 44100.0, centres),
                                           centres, 100.0, 5000.0);
        EXPECT_GT (*std::max_element (before.begin(), before.end()), 8.0) << "the coloration is there to remove";
        for (size_t i = 0; i < centres.size(); ++i)
            EXPECT_LT (std::fabs (after[i]), 2.5) << "ear " << ear << ", band " << centres[i] << " Hz: " << before[i] << " -> " << after[i];
    }

    for (int feed = 0; feed < kNumFeeds; ++feed)
    {
        EXPECT_NEAR (itdMicroseconds (equalised, feed), itdMicroseconds (asMeasured, feed), 5.0) << feedLabel (feed);
        EXPECT_NEAR (ildDb (equalised, feed), ildDb (asMeasured, feed), 0.2) << feedLabel (feed);
    }
}

TEST (HrirPipeline, ResponsesLongerThanTheTableAreFadedAndReported)
{
    // A room's reverberation after every response (kept out of the bass, where it would
    // leave no delay to read): far more than 256 taps hold.
    auto set = sphericalHeadSet (48000.0, 4096, 10.0, { 0.0, 40.0 });
    std::mt19937 rng (11);
    std::normal_distribution<double> normal;
    for (auto& response : set.measurements)
    {
        double previous = 0.0, beforeThat = 0.0;
        for (size_t t = 100; t < response.size(); ++t)
        {
            const double n = normal (rng);
            response[t] += 0.05 * (n - 2.0 * previous + beforeThat) * std::exp (-double (t) / 1000.0);
            beforeThat = previous;
            previous = n;
        }
    }

    const auto table = tableOf (set, 48000.0);
    EXPECT_GT (table.worstEnergyOutside(), 0.05);
    for (int m = 0; m < kNumResponses; ++m)
    {
        const auto r = responseOf (table, m);
        const double peak = std::fabs (r[(size_t) peakTapOf (r)]);
        EXPECT_LT (std::fabs (r.back()), 0.01 * peak) << "response " << m << " ends in its fade";
    }

    EXPECT_LT (tableOf (sphericalHeadSet (48000.0, 256, 10.0, { 0.0, 40.0 }), 48000.0).worstEnergyOutside(), 0.01)
        << "a free-field set fits";
}

TEST (HrirPipeline, UnusableSetsAreRefusedWithAReason)
{
    const auto good = sphericalHeadSet (44100.0, 256, 10.0, { 0.0 });
    ASSERT_NO_THROW (tableOf (good, 44100.0));

    struct Case
    {
        const char* what;
        MeasuredSet set;
        const char* message;
    };
    std::vector<Case> cases;

    auto swapped = good;
    for (int f = 0; f < kNumFeeds; ++f)
        std::swap (swapped.tableSource[(size_t) f], swapped.tableSource[(size_t) (kNumFeeds + f)]);
    cases.push_back ({ "ears swapped", swapped, "are the ears swapped?" });

    auto silentSide = good;
    std::fill (silentSide.measurements[(size_t) silentSide.tableSource[7]].begin(),
               silentSide.measurements[(size_t) silentSide.tableSource[7]].end(), 0.0);
    cases.push_back ({ "a silent response", silentSide, "Rss" });

    auto silentCentre = good;
    for (const int ear : { 0, 1 })
        std::fill (silentCentre.measurements[(size_t) silentCentre.tableSource[(size_t) (ear * kNumFeeds + kCentreFeed)]].begin(),
                   silentCentre.measurements[(size_t) silentCentre.tableSource[(size_t) (ear * kNumFeeds + kCentreFeed)]].end(), 0.0);
    cases.push_back ({ "a silent centre", silentCentre, "silent" });

    cases.push_back ({ "no measurements", MeasuredSet {}, "no responses" });

    for (const auto& c : cases)
    {
        try
        {
            tableOf (c.set, 44100.0);
            ADD_FAILURE() << c.what << " was accepted";
        }
        catch (const HrtfError& e)
        {
            EXPECT_NE (std::string (e.what()).find (c.message), std::string::npos) << c.what << ": " << e.what();
        }
    }
}
} // namespace
