#pragma once

#include "CueMeasures.h"
#include "HrirPipeline.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace vendrasolith::fixtures
{
/** Feeds at the side, with the ear nearer to their loudspeaker. */
struct LateralFeed
{
    int feed, nearEar;
};
inline constexpr std::array<LateralFeed, 6> kLateralFeeds { { { 0, 0 }, { 1, 1 }, { 4, 0 }, { 5, 1 }, { 6, 0 }, { 7, 1 } } };
inline constexpr int kCentreFeed = 2;

inline std::vector<double> responseOf (const hrtf::ResponseTable& t, int m)
{
    return std::vector<double> (t.response (m), t.response (m) + t.taps);
}

inline std::vector<double> responseOf (const hrtf::ResponseTable& t, int ear, int feed)
{
    return responseOf (t, ear * kNumFeeds + feed);
}

inline double itdMicroseconds (const hrtf::ResponseTable& t, int feed)
{
    return 1e6 * hrtf::interauralDelaySeconds (responseOf (t, 0, feed), responseOf (t, 1, feed), t.sampleRate);
}

inline double ildDb (const hrtf::ResponseTable& t, int feed)
{
    return hrtf::interauralLevelDb (responseOf (t, 0, feed), responseOf (t, 1, feed), t.sampleRate);
}

inline int peakTapOf (const std::vector<double>& x)
{
    return (int) (std::max_element (x.begin(), x.end(), [] (double a, double b) { return std::fabs (a) < std::fabs (b); })
                  - x.begin());
}

inline int earliestPeak (const hrtf::ResponseTable& t)
{
    int earliest = t.taps;
    for (int m = 0; m < hrtf::kNumResponses; ++m)
        earliest = std::min (earliest, peakTapOf (responseOf (t, m)));
    return earliest;
}

/** Band levels in dB relative to their mean over [fromHz, toHz]. */
inline std::vector<double> relativeToMean (const std::vector<double>& db, const std::vector<double>& centres,
                                           double fromHz, double toHz)
{
    double sum = 0.0;
    int count = 0;
    for (size_t i = 0; i < centres.size(); ++i)
        if (centres[i] >= fromHz * 0.99 && centres[i] <= toHz * 1.01)
        {
            sum += db[i];
            ++count;
        }
    std::vector<double> relative;
    for (const double v : db)
        relative.push_back (v - sum / count);
    return relative;
}
} // namespace vendrasolith::fixtures
