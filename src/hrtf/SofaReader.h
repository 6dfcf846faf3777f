#pragma once

#include "MeasuredSet.h"

#include <array>
#include <stdexcept>
#include <string>

namespace vendrasolith::hrtf
{
/** A SOFA file that cannot be used; the message is one line and names the file. */
struct SofaError : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

/** Which measurement a feed's direction was given, and how far off it lies. */
struct FeedMatch
{
    int measurement = 0;
    double degreesOff = 0.0; // angle between the feed's direction and the measured one
    double azimuth = 0.0;    // of the measurement: degrees clockwise from ahead, 0 … 360
    double elevation = 0.0;
};

struct SofaSet
{
    MeasuredSet set;
    std::array<FeedMatch, kNumFeeds> matches {};
};

/** Ring directions may be this far from the nearest measured direction; the nearest
    one is taken as it is (no interpolation between measurements). */
constexpr double kMaxDegreesOff = 5.0;

/** Reads a SOFA file of the SimpleFreeFieldHRIR convention: every measurement, for the
    diffuse field, and for each feed the measurement nearest to its direction in the
    horizontal plane. Throws SofaError for a file that is missing, not SOFA, of another
    convention, without two ears, of an absurd sample rate or length, holding samples
    that are not numbers, or without a measurement within kMaxDegreesOff of every ring
    direction. */
SofaSet readSofaFile (const std::string& path);
} // namespace vendrasolith::hrtf
