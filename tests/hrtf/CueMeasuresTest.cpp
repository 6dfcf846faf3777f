#include "ComplexFft.h"
#include "CueMeasures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace vendrasolith::hrtf;

namespace
{
constexpr double kPi = 3.14159265358979323846;
constexpr double kRate = 48000.0;
constexpr size_t kLength = 1024;

/** A band-limited pulse delayed by `delay` samples, scaled by `gain`, through a
    resonance at 3 kHz of `resonanceDb` (a coloration both ears may share). */
std::vector<double> pulse (double delay, double gain, double resonanceDb)
{
    Spectrum s (kLength);
    for (size_t k = 0; k <= kLength / 2; ++k)
    {
        const double f = double (k) / double (kLength);
        const double hz = f * kRate;
        const double band = f < 0.4 ? 1.0 : 0.5 * (1.0 + std::cos (kPi * (f - 0.4) / 0.1));
        const double octaves = std::log2 (std::max (hz, 1.0) / 3000.0);
        const double colour = std::pow (10.0, resonanceDb * std::exp (-octaves * octaves * 4.0) / 20.0);
        s[k] = gain * band * colour * std::polar (1.0, -2.0 * kPi * f * delay);
        if (k > 0 && k < kLength / 2)
            s[kLength - k] = std::conj (s[k]);
    }
    s[kLength / 2] = s[kLength / 2].real();
    ComplexFft (kLength).transform (s, +1);
    std::vector<double> x;
    for (const auto& v : s)
        x.push_back (v.real() / double (kLength));
    return x;
}

TEST (CueMeasures, InterauralDelayAndLevelAreFoundAndACommonColorationLeavesThem)
{
    struct Case
    {
        double delaySamples, levelDb, resonanceDb;
    };
    const Case cases[] = { { 0.0, 0.0, 0.0 },     { 0.37, 3.0, 0.0 },   { 33.6, 12.0, 0.0 },
                           { -20.25, -8.0, 0.0 }, { 33.6, 12.0, 15.0 }, { -20.25, -8.0, -12.0 } };
    for (const auto& c : cases)
    {
        const auto left = pulse (200.0, 1.0, c.resonanceDb);
        const auto right = pulse (200.0 + c.delaySamples, std::pow (10.0, -c.levelDb / 20.0), c.resonanceDb);
        EXPECT_NEAR (interauralDelaySeconds (left, right, kRate) * 1e6, c.delaySamples / kRate * 1e6, 0.3)
            << "delay " << c.delaySamples << ", resonance " << c.resonanceDb;
        EXPECT_NEAR (interauralLevelDb (left, right, kRate), c.levelDb, 0.01)
            << "level " << c.levelDb << ", resonance " << c.resonanceDb;
    }
}

TEST (CueMeasures, BandGainsOfNoiseThroughAGainAndOnsets)
{
    std::mt19937 rng (5);
    std::uniform_real_distribution<double> uniform (-1.0, 1.0);
    std::vector<double> noise (1 << 15), halved;
    for (auto& v : noise)
        v = uniform (rng);
    for (const double v : noise)
        halved.push_back (0.5 * v);
    for (const double gain : bandGainsDb (noise, halved, kRate, thirdOctaveCentres (100.0, 16000.0)))
        EXPECT_NEAR (gain, 20.0 * std::log10 (0.5), 1e-9);

    EXPECT_EQ (thirdOctaveCentres (100.0, 1000.0).size(), 11u);
    EXPECT_EQ (onsetSample ({ 0.0, 0.01, -0.2, 1.0, 0.5 }), 2);
}
} // namespace
