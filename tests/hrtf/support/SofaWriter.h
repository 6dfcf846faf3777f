#pragma once

#include <array>
#include <string>
#include <vector>

namespace vendrasolith::fixtures
{
/** What a SOFA file written by the tests holds. The defaults make a valid
    SimpleFreeFieldHRIR file; tests change one thing to make a bad one. */
struct SofaContents
{
    std::string convention = "SimpleFreeFieldHRIR";
    std::string dataType = "FIR";
    double sampleRate = 44100.0;
    int taps = 256;
    int receivers = 2;
    /** SOFA's spherical positions: azimuth counter-clockwise (90 = left), elevation, metres. */
    struct Position
    {
        double azimuth, elevation, distance;
    };
    std::vector<Position> positions;
    /** Per measurement, `receivers` responses of `taps` samples. */
    std::vector<std::vector<std::vector<double>>> responses;
    /** Receiver positions, x y z each; SOFA puts the left ear (receiver 0) at +y. */
    std::vector<double> receiverPositions { 0.0, 0.09, 0.0, 0.0, -0.09, 0.0 };
    std::array<double, 3> listenerView { 1.0, 0.0, 0.0 };
    /** "cartesian" (x y z) or "spherical" (azimuth, elevation, distance; ahead is 0 0 1). */
    std::string listenerViewType = "cartesian";
    /** Broadband delays per receiver, in samples; empty for none. */
    std::vector<double> delays;
};

/** A spherical head (see SphericalHead.h) over a grid of directions. */
SofaContents sphericalHeadContents (double sampleRate = 44100.0, int taps = 256, double step = 5.0,
                                    const std::vector<double>& elevations = { -30.0, 0.0, 30.0, 60.0 });

/** Writes a netCDF-4 (HDF5) file as SOFA files are; throws std::runtime_error. */
void writeSofa (const std::string& path, const SofaContents& contents);
} // namespace vendrasolith::fixtures
