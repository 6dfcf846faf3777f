#include "ComplexFft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <stdexcept>

using namespace vendrasolith::hrtf;

namespace
{
constexpr double kPi = 3.14159265358979323846;

Spectrum directTransform (const Spectrum& x, int sign)
{
    const size_t n = x.size();
    Spectrum y (n);
    for (size_t k = 0; k < n; ++k)
        for (size_t t = 0; t < n; ++t)
            y[k] += x[t] * std::polar (1.0, sign * 2.0 * kPi * double ((k * t) % n) / double (n));
    return y;
}

TEST (ComplexFft, MatchesTheDefinitionAndInvertsForEverySize)
{
    std::mt19937 rng (3);
    std::normal_distribution<double> normal;
    for (const size_t n : { 2u, 4u, 8u, 64u, 512u })
    {
        Spectrum x (n);
        for (auto& v : x)
            v = Complex (normal (rng), normal (rng));
        const ComplexFft fft (n);

        for (const int sign : { -1, +1 })
        {
            Spectrum y = x;
            fft.transform (y, sign);
            const Spectrum expected = directTransform (x, sign);
            for (size_t k = 0; k < n; ++k)
                ASSERT_LT (std::abs (y[k] - expected[k]), 1e-9 * double (n)) << "size " << n << ", bin " << k;
        }

        Spectrum roundTrip = x;
        fft.transform (roundTrip, -1);
        fft.transform (roundTrip, +1);
        for (size_t t = 0; t < n; ++t)
            ASSERT_LT (std::abs (roundTrip[t] / double (n) - x[t]), 1e-12) << "size " << n;
    }
}

TEST (ComplexFft, RefusesSizesThatAreNotPowersOfTwo)
{
    for (const size_t n : { 0u, 1u, 3u, 48u, 1000u })
        EXPECT_THROW (ComplexFft { n }, std::invalid_argument) << n;
    EXPECT_EQ (nextPowerOfTwo (1000), 1024u);
    EXPECT_EQ (nextPowerOfTwo (1024), 1024u);
}
} // namespace
