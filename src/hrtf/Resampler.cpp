#include "Resampler.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <stdexcept>

namespace vendrasolith::hrtf
{
namespace
{
constexpr double kPi = 3.14159265358979323846;
// The kernel spans this many zero crossings of the lower rate on each side; with the
// window below, that puts the transition band between 0.42 and 0.5 of the lower rate.
constexpr double kZeroCrossings = 48.0;
constexpr double kKaiserBeta = 10.0; // about 100 dB stop-band attenuation
constexpr double kCutoff = 0.46;     // of the lower rate
constexpr long long kMostPhases = 4096;

// Modified Bessel function of the first kind, order 0, by its power series (converges
// quickly for the arguments a Kaiser window needs).
double besselI0 (double x) noexcept
{
    double sum = 1.0, term = 1.0;
    const double quarterSquare = 0.25 * x * x;
    for (int k = 1; k < 200 && term > 1.0e-17 * sum; ++k)
    {
        term *= quarterSquare / (double (k) * double (k));
        sum += term;
    }
    return sum;
}
} // namespace

Resampler::Resampler (double fromRate, double toRate) : from (fromRate), to (toRate)
{
    if (! (from > 0.0) || ! (to > 0.0) || ! std::isfinite (from) || ! std::isfinite (to))
        throw std::invalid_argument ("sample rates must be positive");
    const double ratio = std::min (1.0, to / from); // lower rate over input rate
    cutoff = kCutoff * ratio;
    halfWidth = kZeroCrossings / ratio;

    if (from == std::floor (from) && to == std::floor (to) && from < 1e9 && to < 1e9)
    {
        const auto f = (long long) from, t = (long long) to;
        const long long common = std::gcd (f, t);
        if (t / common <= kMostPhases)
        {
            step = f / common;
            phases = t / common;
            reach = (int) std::ceil (halfWidth) + 1;
            const int span = 2 * reach + 1;
            phaseKernels.resize ((size_t) (phases * span));
            for (long long r = 0; r < phases; ++r)
                for (int d = -reach; d <= reach; ++d)
                    phaseKernels[(size_t) (r * span + d + reach)] = kernel (double (r) / double (phases) + d);
        }
    }
}

double Resampler::kernel (double x) const noexcept
{
    if (std::fabs (x) >= halfWidth)
        return 0.0;
    const double r = x / halfWidth;
    const double window = besselI0 (kKaiserBeta * std::sqrt (1.0 - r * r)) / besselI0 (kKaiserBeta);
    const double t = 2.0 * cutoff * x;
    const double sinc = t == 0.0 ? 1.0 : std::sin (kPi * t) / (kPi * t);
    return 2.0 * cutoff * sinc * window;
}

TimedResponse Resampler::process (const TimedResponse& input) const
{
    const double spacing = from / to; // input samples per output sample
    const auto count = (long) input.samples.size();
    const long originOut = (long) std::ceil (input.origin / spacing);
    const long lengthOut = originOut + (long) std::ceil ((double (count - input.origin) + halfWidth) / spacing);

    TimedResponse output;
    output.origin = (int) originOut;
    output.samples.assign ((size_t) lengthOut, 0.0);
    if (phases > 0)
    {
        const int span = 2 * reach + 1;
        for (long j = 0; j < lengthOut; ++j)
        {
            // Position input.origin + (j - originOut) * step / phases, as whole samples and a phase.
            const long long numerator = (long long) input.origin * phases + (long long) (j - originOut) * step;
            const long long whole = numerator >= 0 ? numerator / phases : -((-numerator + phases - 1) / phases);
            const long long phase = numerator - whole * phases;
            const double* weights = phaseKernels.data() + phase * span;
            double sum = 0.0;
            for (int d = -reach; d <= reach; ++d)
            {
                const long long k = whole - d; // kernel argument: position - k = phase / phases + d
                if (k >= 0 && k < count)
                    sum += input.samples[(size_t) k] * weights[d + reach];
            }
            output.samples[(size_t) j] = sum;
        }
        return output;
    }

    for (long j = 0; j < lengthOut; ++j)
    {
        // Positions are reckoned from time zero, so that sample lands exactly on time zero.
        const double position = input.origin + double (j - originOut) * spacing;
        const long first = std::max (0L, (long) std::ceil (position - halfWidth));
        const long last = std::min (count - 1, (long) std::floor (position + halfWidth));
        double sum = 0.0;
        for (long k = first; k <= last; ++k)
            sum += input.samples[(size_t) k] * kernel (position - double (k));
        output.samples[(size_t) j] = sum;
    }
    return output;
}
} // namespace vendrasolith::hrtf
