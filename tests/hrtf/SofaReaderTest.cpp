// The SOFA reader on files written here with netCDF, as measurement software writes them.
#include "SofaReader.h"
#include "SofaWriter.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>

using namespace vendrasolith;
using namespace vendrasolith::hrtf;
using namespace vendrasolith::fixtures;

namespace
{
class SofaReader : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/vendrasolith-sofa-XXXXXX";
        ASSERT_NE (::mkdtemp (pattern), nullptr);
        folder = pattern;
    }
    void TearDown() override { std::system (("rm -rf '" + folder + "'").c_str()); }

    std::string path (const std::string& name) const { return folder + "/" + name; }

    std::string folder;
};

/** The SOFA azimuth (counter-clockwise) of a feed's direction. */
double sofaAzimuthOf (int feed) { return std::fmod (360.0 - feedDirection (feed), 360.0); }

TEST_F (SofaReader, TakesEachFeedFromTheMeasurementInItsDirection)
{
    const auto contents = sphericalHeadContents (48000.0, 128);
    writeSofa (path ("head.sofa"), contents);
    const auto sofa = readSofaFile (path ("head.sofa"));

    EXPECT_EQ (sofa.set.sampleRate, 48000.0);
    EXPECT_EQ (sofa.set.length, 128);
    EXPECT_EQ (sofa.set.measurements.size(), 2 * contents.positions.size()) << "every measurement, for the diffuse field";
    for (int f = 0; f < kNumFeeds; ++f)
    {
        const auto& match = sofa.matches[(size_t) f];
        const auto& position = contents.positions[(size_t) match.measurement];
        EXPECT_LT (match.degreesOff, 1e-3) << feedLabel (f);
        EXPECT_NEAR (position.azimuth, sofaAzimuthOf (f), 1e-6) << feedLabel (f);
        EXPECT_EQ (position.elevation, 0.0) << feedLabel (f);
        EXPECT_NEAR (match.azimuth, feedDirection (f), 1e-3) << feedLabel (f) << ": reported clockwise";
        for (int ear = 0; ear < kNumEars; ++ear)
        {
            const auto& response = sofa.set.response (ear * kNumFeeds + f);
            const auto& written = contents.responses[(size_t) match.measurement][(size_t) ear];
            for (size_t t = 0; t < written.size(); ++t)
                ASSERT_EQ (response[t], (double) (float) written[t]) << feedLabel (f) << ", ear " << ear;
        }
    }
}

TEST_F (SofaReader, ListenerViewMayBeGivenInSphericalCoordinates)
{
    // Straight ahead written as azimuth 0, elevation 0, distance 1 reads as the same file.
    auto contents = sphericalHeadContents (44100.0, 64, 10.0, { 0.0 });
    writeSofa (path ("cartesian.sofa"), contents);
    contents.listenerViewType = "spherical";
    contents.listenerView = { 0.0, 0.0, 1.0 };
    writeSofa (path ("spherical.sofa"), contents);

    const auto cartesian = readSofaFile (path ("cartesian.sofa")), spherical = readSofaFile (path ("spherical.sofa"));
    for (int r = 0; r < kNumFeeds * kNumEars; ++r)
        ASSERT_EQ (spherical.set.response (r), cartesian.set.response (r)) << "response " << r;
}

TEST_F (SofaReader, WholeSampleDelaysAreAppliedPerEar)
{
    auto contents = sphericalHeadContents (44100.0, 64, 10.0, { 0.0 });
    writeSofa (path ("plain.sofa"), contents);
    contents.delays = { 0.0, 7.0 };
    writeSofa (path ("delayed.sofa"), contents);

    const auto plain = readSofaFile (path ("plain.sofa")), delayed = readSofaFile (path ("delayed.sofa"));
    ASSERT_EQ (delayed.set.length, 64 + 7);
    for (int f = 0; f < kNumFeeds; ++f)
        for (int t = 0; t < 64; ++t)
        {
            ASSERT_EQ (delayed.set.response (f)[(size_t) t], plain.set.response (f)[(size_t) t]);
            ASSERT_EQ (delayed.set.response (kNumFeeds + f)[(size_t) t + 7], plain.set.response (kNumFeeds + f)[(size_t) t]);
        }
}

TEST_F (SofaReader, NearestMeasurementIsTakenWithinFiveDegrees)
{
    // Every 8 degrees: ring directions lie up to 2 degrees from one (the rear, for the
    // LFE feed, 4); positions are stored in single precision.
    writeSofa (path ("coarse.sofa"), sphericalHeadContents (44100.0, 64, 8.0, { 0.0 }));
    const auto sofa = readSofaFile (path ("coarse.sofa"));
    for (int f = 0; f < kNumFeeds; ++f)
    {
        const double off = std::fabs (sofaAzimuthOf (f) - 8.0 * std::round (sofaAzimuthOf (f) / 8.0));
        EXPECT_NEAR (sofa.matches[(size_t) f].degreesOff, off, 1e-4) << feedLabel (f);
        EXPECT_NEAR (std::fabs (sofa.matches[(size_t) f].azimuth - feedDirection (f)), off, 1e-4) << feedLabel (f);
    }
}

TEST_F (SofaReader, UnusableFilesAreRefusedWithOneLine)
{
    const auto good = sphericalHeadContents (44100.0, 64, 10.0, { 0.0 });
    struct Case
    {
        const char* name;
        SofaContents contents;
        const char* message;
    };
    std::vector<Case> cases;
    const auto with = [&] (const char* name, const char* message, auto change)
    {
        SofaContents c = good;
        change (c);
        cases.push_back ({ name, c, message });
    };
    with ("convention.sofa", "holds the SOFA convention 'GeneralFIR'", [] (SofaContents& c) { c.convention = "GeneralFIR"; });
    with ("transfer.sofa", "impulse responses (FIR) are needed", [] (SofaContents& c) { c.dataType = "TF"; });
    with ("one-ear.sofa", "1 receivers; two ears are needed", [] (SofaContents& c) { c.receivers = 1; });
    with ("rate-zero.sofa", "sample rate of 0 Hz", [] (SofaContents& c) { c.sampleRate = 0.0; });
    with ("rate-tiny.sofa", "sample rate of 100 Hz", [] (SofaContents& c) { c.sampleRate = 100.0; });
    with ("rate-huge.sofa", "sample rate of 1e+09 Hz", [] (SofaContents& c) { c.sampleRate = 1e9; });
    with ("rate-nan.sofa", "sample rate of nan Hz",
          [] (SofaContents& c) { c.sampleRate = std::numeric_limits<double>::quiet_NaN(); });
    with ("nan.sofa", "not numbers (measurement 3)",
          [] (SofaContents& c) { c.responses[3][1][10] = std::numeric_limits<double>::quiet_NaN(); });
    with ("infinity.sofa", "not numbers (measurement 0)",
          [] (SofaContents& c) { c.responses[0][0][0] = std::numeric_limits<double>::infinity(); });
    with ("overhead.sofa", "no measurement within 5 degrees of the 330-degree loudspeaker",
          [] (SofaContents& c) { for (auto& p : c.positions) p.elevation = 45.0; });
    with ("front-missing.sofa", "of the 90-degree loudspeaker in the horizontal plane (the nearest is 10.0 degrees away)",
          [] (SofaContents& c)
          {
              for (auto& p : c.positions)
                  if (p.azimuth == 270.0)
                      p.elevation = 10.0;
          });
    with ("fractional-delay.sofa", "not whole, non-negative sample counts", [] (SofaContents& c) { c.delays = { 0.5, 0.0 }; });
    with ("listener-turned.sofa", "does not face along +x", [] (SofaContents& c) { c.listenerView = { 0.0, 1.0, 0.0 }; });
    with ("listener-turned-spherical.sofa", "does not face along +x", [] (SofaContents& c)
          {
              c.listenerViewType = "spherical";
              c.listenerView = { 90.0, 0.0, 1.0 };
          });
    with ("ears-swapped.sofa", "does not hold the left ear as receiver 0",
          [] (SofaContents& c) { c.receiverPositions = { 0.0, -0.09, 0.0, 0.0, 0.09, 0.0 }; });

    for (const auto& c : cases)
        writeSofa (path (c.name), c.contents);
    std::ofstream (path ("text.sofa")) << "this is not a SOFA file\n";
    cases.push_back ({ "text.sofa", {}, "is not a SOFA file" });
    cases.push_back ({ "missing.sofa", {}, "does not exist" });
    cases.push_back ({ "", {}, "is a folder" });

    for (const auto& c : cases)
    {
        try
        {
            readSofaFile (path (c.name));
            ADD_FAILURE() << c.name << " was accepted";
        }
        catch (const SofaError& e)
        {
            const std::string message = e.what();
            EXPECT_NE (message.find (c.message), std::string::npos) << c.name << ": " << message;
            EXPECT_NE (message.find (path (c.name)), std::string::npos) << c.name << ": names the file";
            EXPECT_EQ (message.find ('\n'), std::string::npos) << c.name << ": one line";
        }
    }
}
} // namespace
