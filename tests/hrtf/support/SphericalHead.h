#pragma once

#include "MeasuredSet.h"

#include <array>
#include <vector>

namespace vendrasolith::fixtures
{
/** A rigid spherical head (radius 8.75 cm) heard from a direction: both ears' impulse
    responses, with the interaural time difference of the path round the sphere and a
    head-shadow shelf that lifts the near ear and darkens the far one. Directions in
    SOFA's convention: azimuth counter-clockwise from ahead (90 = left), elevation up. */
std::array<std::vector<double>, 2> sphericalHeadResponses (double sofaAzimuth, double elevation, double sampleRate,
                                                           int taps, double leadSeconds = 0.0007);

/** Time difference the model puts between the ears for a direction in the horizontal
    plane given clockwise (90 = right), in seconds; positive when the left ear hears first. */
double sphericalHeadDelaySeconds (double clockwiseDegrees);

struct GridDirection
{
    double sofaAzimuth, elevation;
};

/** Directions every `step` degrees of azimuth at each of the elevations. */
std::vector<GridDirection> grid (double step, const std::vector<double>& elevations);

/** A whole measured set of the model over a grid, as the SOFA reader would give it. */
hrtf::MeasuredSet sphericalHeadSet (double sampleRate, int taps, double step = 5.0,
                                    const std::vector<double>& elevations = { -30.0, 0.0, 30.0, 60.0 },
                                    double leadSeconds = 0.0007);
} // namespace vendrasolith::fixtures
