#include "Resampler.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace vendrasolith::hrtf;

namespace
{
constexpr double kPi = 3.14159265358979323846;

/** A tone burst under a Gaussian envelope: its spectrum is negligible (below -100 dB)
    outside centre ± 8 kHz, so it is band-limited for every rate below. */
double burst (double seconds, double centreHz)
{
    constexpr double width = 0.0002, at = 0.0015;
    const double t = seconds - at;
    return std::exp (-(t / width) * (t / width)) * std::cos (2.0 * kPi * centreHz * t);
}

TimedResponse sampled (double rate, double centreHz, int origin, int length)
{
    TimedResponse r;
    r.origin = origin;
    for (int k = 0; k < length; ++k)
        r.samples.push_back (burst ((k - origin) / rate, centreHz));
    return r;
}

// The resampled samples are the same continuous signal read at the new rate, with time
// zero where it was: delays in seconds and frequencies in hertz come through.
TEST (Resampler, GivesTheSameSignalAtTheNewRate)
{
    struct Case
    {
        double from, to, centreHz;
    };
    const Case cases[] = { { 44100, 48000, 3000 },  { 48000, 44100, 9000 },  { 44100, 96000, 9000 },
                           { 96000, 44100, 3000 },  { 44100, 192000, 9000 }, { 192000, 48000, 9000 },
                           { 88200, 22050, 1000 }, { 44100, 44100, 9000 } };
    for (const auto& c : cases)
    {
        const auto input = sampled (c.from, c.centreHz, 64, (int) (0.004 * c.from));
        const auto output = Resampler (c.from, c.to).process (input);
        ASSERT_GE (output.origin, 0);

        double worst = 0.0;
        for (size_t j = 0; j < output.samples.size(); ++j)
        {
            const double t = (double (j) - output.origin) / c.to;
            if (t > 0.0005 && t < 0.0025) // well away from where the input was cut off
                worst = std::max (worst, std::fabs (output.samples[j] - burst (t, c.centreHz)));
        }
        EXPECT_LT (worst, 1e-4) << c.from << " -> " << c.to << " Hz, burst at " << c.centreHz;
    }
}

TEST (Resampler, RemovesWhatTheLowerRateCannotHold)
{
    // Bursts above half the new rate must not fold back into the band as aliases.
    struct Case
    {
        double from, to, centreHz;
    };
    for (const auto& c : { Case { 96000, 44100, 32000 }, Case { 48000, 22050, 16000 }, Case { 192000, 48000, 40000 } })
    {
        const auto input = sampled (c.from, c.centreHz, 0, (int) (0.004 * c.from));
        const auto output = Resampler (c.from, c.to).process (input);
        double in = 0.0, out = 0.0;
        for (const double v : input.samples)
            in += v * v / c.from;
        for (const double v : output.samples)
            out += v * v / c.to;
        EXPECT_LT (10.0 * std::log10 (out / in), -90.0) << c.from << " -> " << c.to;
    }
}
} // namespace
