#include "CueMeasures.h"

#include "ComplexFft.h"

#include <algorithm>
#include <cmath>

namespace vendrasolith::hrtf
{
namespace
{
constexpr double kPi = 3.14159265358979323846;
constexpr double kTimingBandTop = 1500.0;  // cross-correlation weight falls from 1 at
constexpr double kTimingBandFade = 1000.0; // kTimingBandFade to 0 at kTimingBandTop
constexpr double kLevelBandBottom = 200.0;
constexpr double kLevelBandTop = 16000.0;

Spectrum spectrumOf (const std::vector<double>& x, size_t size)
{
    Spectrum s (size, 0.0);
    std::copy_n (x.begin(), std::min (x.size(), size), s.begin());
    ComplexFft (size).transform (s, -1);
    return s;
}

/** Mean power per bin in each band (the level of a spectrum, smoothed), not the sum,
    so that a flat spectrum reads the same in every band. */
std::vector<double> bandPowers (const Spectrum& s, double sampleRate, const std::vector<double>& centres)
{
    const size_t n = s.size();
    const double edge = std::pow (2.0, 1.0 / 6.0);
    std::vector<double> powers;
    for (const double centre : centres)
    {
        double sum = 0.0;
        int count = 0;
        for (size_t k = 1; k < n / 2; ++k)
        {
            const double hz = double (k) * sampleRate / double (n);
            if (hz >= centre / edge && hz < centre * edge)
            {
                sum += std::norm (s[k]);
                ++count;
            }
        }
        powers.push_back (count > 0 ? sum / count : 0.0);
    }
    return powers;
}

/** Phase-only cross-correlation of the two ears below the timing band's top, at `lag`
    samples: each frequency counts by its interaural phase alone, not by its level. */
double correlationAt (const Spectrum& left, const Spectrum& right, double sampleRate, double lag)
{
    const size_t n = left.size();
    double sum = 0.0;
    for (size_t k = 1; k < n / 2; ++k)
    {
        const double hz = double (k) * sampleRate / double (n);
        if (hz >= kTimingBandTop)
            break;
        const Complex cross = std::conj (left[k]) * right[k];
        if (std::abs (cross) == 0.0)
            continue;
        const double weight = hz <= kTimingBandFade ? 1.0
                                                    : 0.5 * (1.0 + std::cos (kPi * (hz - kTimingBandFade) / (kTimingBandTop - kTimingBandFade)));
        const double w = 2.0 * kPi * double (k) / double (n);
        sum += weight * (cross / std::abs (cross) * std::polar (1.0, w * lag)).real();
    }
    return sum;
}
} // namespace

std::vector<double> thirdOctaveCentres (double lowHz, double highHz)
{
    std::vector<double> centres;
    for (int n = -20; n <= 14; ++n)
    {
        const double centre = 1000.0 * std::pow (10.0, n / 10.0);
        if (centre >= lowHz * 0.999 && centre <= highHz * 1.001)
            centres.push_back (centre);
    }
    return centres;
}

std::vector<double> bandLevelsDb (const std::vector<double>& signal, double sampleRate, const std::vector<double>& centres)
{
    const auto powers = bandPowers (spectrumOf (signal, nextPowerOfTwo (std::max<size_t> (signal.size(), 4096))),
                                    sampleRate, centres);
    std::vector<double> db;
    for (const double p : powers)
        db.push_back (10.0 * std::log10 (std::max (p, 1e-300)));
    return db;
}

std::vector<double> bandGainsDb (const std::vector<double>& input, const std::vector<double>& output,
                                 double sampleRate, const std::vector<double>& centres)
{
    const auto in = bandLevelsDb (input, sampleRate, centres);
    const auto out = bandLevelsDb (output, sampleRate, centres);
    std::vector<double> gains;
    for (size_t i = 0; i < centres.size(); ++i)
        gains.push_back (out[i] - in[i]);
    return gains;
}

double interauralDelaySeconds (const std::vector<double>& left, const std::vector<double>& right, double sampleRate)
{
    // Room for lags of a few milliseconds either way without wrapping round.
    const size_t n = nextPowerOfTwo (std::max (left.size(), right.size()) * 2 + (size_t) (0.01 * sampleRate));
    const Spectrum l = spectrumOf (left, n), r = spectrumOf (right, n);

    const int maxLag = (int) std::ceil (0.0015 * sampleRate); // beyond any head's
    double bestLag = 0.0, best = correlationAt (l, r, sampleRate, 0.0);
    for (int lag = -maxLag; lag <= maxLag; ++lag)
        if (const double c = correlationAt (l, r, sampleRate, lag); c > best)
        {
            best = c;
            bestLag = lag;
        }
    // Refine around the best whole lag, then around the best hundredth.
    for (const double step : { 0.1, 0.01 })
    {
        const double centre = bestLag;
        for (int i = -10; i <= 10; ++i)
            if (const double c = correlationAt (l, r, sampleRate, centre + i * step); c > best)
            {
                best = c;
                bestLag = centre + i * step;
            }
    }
    return bestLag / sampleRate;
}

double interauralLevelDb (const std::vector<double>& left, const std::vector<double>& right, double sampleRate)
{
    const size_t n = nextPowerOfTwo (std::max<size_t> (std::max (left.size(), right.size()), 4096));
    const Spectrum l = spectrumOf (left, n), r = spectrumOf (right, n);
    const double top = std::min (kLevelBandTop, 0.45 * sampleRate);
    double sum = 0.0, weights = 0.0;
    for (size_t k = 1; k < n / 2; ++k)
    {
        const double hz = double (k) * sampleRate / double (n);
        if (hz < kLevelBandBottom || hz > top || std::abs (l[k]) == 0.0 || std::abs (r[k]) == 0.0)
            continue;
        // Weighted by 1/f, so that every octave counts alike.
        sum += 20.0 * std::log10 (std::abs (l[k]) / std::abs (r[k])) / hz;
        weights += 1.0 / hz;
    }
    return weights > 0.0 ? sum / weights : 0.0;
}

double peakFrequencyHz (const std::vector<double>& response, double sampleRate, double lowHz, double highHz)
{
    const size_t n = nextPowerOfTwo (std::max (response.size() * 2, (size_t) std::ceil (sampleRate)));
    const Spectrum s = spectrumOf (response, n);
    const auto binOf = [&] (double hz) { return std::clamp ((size_t) std::lround (hz * double (n) / sampleRate), size_t (1), n / 2 - 1); };

    size_t best = binOf (lowHz);
    for (size_t k = best; k <= binOf (highHz); ++k)
        if (std::abs (s[k]) > std::abs (s[best]))
            best = k;

    const auto db = [&] (size_t k) { return 20.0 * std::log10 (std::max (std::abs (s[k]), 1e-300)); };
    const double a = db (best - 1), b = db (best), c = db (best + 1);
    const double curvature = a - 2.0 * b + c;
    const double offset = curvature < 0.0 ? 0.5 * (a - c) / curvature : 0.0;
    return (double (best) + std::clamp (offset, -0.5, 0.5)) * sampleRate / double (n);
}

int onsetSample (const std::vector<double>& response, double fraction)
{
    double peak = 0.0;
    for (const double v : response)
        peak = std::max (peak, std::fabs (v));
    for (size_t i = 0; i < response.size(); ++i)
        if (std::fabs (response[i]) >= fraction * peak)
            return (int) i;
    return 0;
}
} // namespace vendrasolith::hrtf
