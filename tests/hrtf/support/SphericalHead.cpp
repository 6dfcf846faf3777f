#include "SphericalHead.h"

#include "ComplexFft.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace vendrasolith::fixtures
{
namespace
{
constexpr double kPi = 3.14159265358979323846;
constexpr double kRadius = 0.0875;
constexpr double kSpeedOfSound = 343.0;
constexpr size_t kModelSize = 8192;

/** Angle between the source and the ear (on the y axis, left positive), in radians. */
double angleFromEar (double sofaAzimuth, double elevation, int ear)
{
    const double az = sofaAzimuth * kPi / 180.0, el = elevation * kPi / 180.0;
    const double y = std::cos (el) * std::sin (az);
    return std::acos (std::clamp (ear == 0 ? y : -y, -1.0, 1.0));
}

/** Woodworth's path: straight to the ear it faces, round the sphere to the other. */
double pathDelay (double gamma)
{
    return gamma <= kPi / 2.0 ? -kRadius / kSpeedOfSound * std::cos (gamma)
                              : kRadius / kSpeedOfSound * (gamma - kPi / 2.0);
}
} // namespace

std::array<std::vector<double>, 2> sphericalHeadResponses (double sofaAzimuth, double elevation, double sampleRate,
                                                           int taps, double leadSeconds)
{
    std::array<std::vector<double>, 2> ears;
    const hrtf::ComplexFft fft (kModelSize);
    const double w0 = kSpeedOfSound / kRadius;
    for (int ear = 0; ear < 2; ++ear)
    {
        const double gamma = angleFromEar (sofaAzimuth, elevation, ear);
        const double alpha = 1.05 + 0.95 * std::cos (gamma * 180.0 / 150.0);
        const double delay = (leadSeconds + pathDelay (gamma)) * sampleRate;
        hrtf::Spectrum h (kModelSize);
        for (size_t k = 0; k <= kModelSize / 2; ++k)
        {
            const double f = double (k) / double (kModelSize); // cycles per sample
            const double w = 2.0 * kPi * f * sampleRate;
            // Band-limited, so the fractional delay rings little.
            const double band = f < 0.4 ? 1.0 : 0.5 * (1.0 + std::cos (kPi * (f - 0.4) / 0.1));
            const hrtf::Complex shadow = hrtf::Complex (1.0, alpha * w / (2.0 * w0)) / hrtf::Complex (1.0, w / (2.0 * w0));
            h[k] = band * shadow * std::polar (1.0, -2.0 * kPi * f * delay);
            if (k > 0 && k < kModelSize / 2)
                h[kModelSize - k] = std::conj (h[k]);
        }
        h[kModelSize / 2] = h[kModelSize / 2].real();
        fft.transform (h, +1);
        ears[(size_t) ear].resize ((size_t) taps);
        for (int t = 0; t < taps; ++t)
            ears[(size_t) ear][(size_t) t] = h[(size_t) t].real() / double (kModelSize);
    }
    return ears;
}

double sphericalHeadDelaySeconds (double clockwiseDegrees)
{
    const double sofaAzimuth = -clockwiseDegrees;
    return pathDelay (angleFromEar (sofaAzimuth, 0.0, 1)) - pathDelay (angleFromEar (sofaAzimuth, 0.0, 0));
}

std::vector<GridDirection> grid (double step, const std::vector<double>& elevations)
{
    std::vector<GridDirection> directions;
    for (const double elevation : elevations)
        for (double azimuth = 0.0; azimuth < 360.0 - 1e-9; azimuth += step)
            directions.push_back ({ azimuth, elevation });
    return directions;
}

hrtf::MeasuredSet sphericalHeadSet (double sampleRate, int taps, double step, const std::vector<double>& elevations,
                                    double leadSeconds)
{
    hrtf::MeasuredSet set;
    set.sampleRate = sampleRate;
    set.length = taps;
    const auto directions = grid (step, elevations);
    for (const auto& d : directions)
        for (auto& ear : sphericalHeadResponses (d.sofaAzimuth, d.elevation, sampleRate, taps, leadSeconds))
            set.measurements.push_back (std::move (ear));

    for (int f = 0; f < kNumFeeds; ++f)
    {
        const double wanted = std::fmod (360.0 - hrtf::feedDirection (f), 360.0);
        size_t found = directions.size();
        for (size_t i = 0; i < directions.size(); ++i)
            if (directions[i].elevation == 0.0 && std::fabs (directions[i].sofaAzimuth - wanted) < 1e-9)
                found = i;
        if (found == directions.size())
            throw std::invalid_argument ("the grid misses a feed direction");
        for (int ear = 0; ear < kNumEars; ++ear)
            set.tableSource[(size_t) (ear * kNumFeeds + f)] = (int) found * 2 + ear;
    }
    return set;
}
} // namespace vendrasolith::fixtures
