#include "SofaReader.h"

#include <mysofa.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace vendrasolith::hrtf
{
namespace
{
constexpr double kPi = 3.14159265358979323846;
constexpr double kLowestRate = 8000.0;
constexpr double kHighestRate = 384000.0;
constexpr unsigned kShortestResponse = 16;
constexpr unsigned kLongestResponse = 65536;

struct HrtfDeleter
{
    void operator() (MYSOFA_HRTF* h) const noexcept { mysofa_free (h); }
};
using HrtfHandle = std::unique_ptr<MYSOFA_HRTF, HrtfDeleter>;

std::string number (double value, const char* format = "%g")
{
    char text[64];
    std::snprintf (text, sizeof (text), format, value);
    return text;
}

std::string attribute (MYSOFA_ATTRIBUTE* attributes, const char* name)
{
    char key[64];
    std::snprintf (key, sizeof (key), "%s", name);
    const char* value = mysofa_getAttribute (attributes, key);
    return value != nullptr ? value : "";
}

std::string attribute (MYSOFA_HRTF& h, const char* name) { return attribute (h.attributes, name); }

std::string describeLoadError (int err)
{
    switch (err)
    {
        case MYSOFA_INVALID_FORMAT: return "is not a SOFA file";
        case MYSOFA_UNSUPPORTED_FORMAT: return "is a SOFA file of a kind that cannot be read";
        case MYSOFA_NO_MEMORY: return "is too large to load";
        case MYSOFA_READ_ERROR: return "could not be read";
        default: return "could not be read as SOFA (error " + std::to_string (err) + ")";
    }
}

void checkListenerView (const MYSOFA_HRTF& h, const std::string& name)
{
    const auto& lv = h.ListenerView;
    if (lv.elements < 3)
        return;
    double x = lv.values[0], y = lv.values[1], z = lv.values[2];
    if (attribute (lv.attributes, "Type") == "spherical")
    {
        // Azimuth and elevation in degrees, then a distance: straight ahead is 0 0 1.
        const double azimuth = lv.values[0] * kPi / 180.0, elevation = lv.values[1] * kPi / 180.0;
        x = std::cos (elevation) * std::cos (azimuth);
        y = std::cos (elevation) * std::sin (azimuth);
        z = std::sin (elevation);
    }
    const double length = std::sqrt (x * x + y * y + z * z);
    if (! (length > 0.0) || x / length < 0.99999)
        throw SofaError (name + ": the listener does not face along +x (azimuth 0); such files are not supported");
}

std::string describeCheckError (int err)
{
    switch (err)
    {
        case MYSOFA_INVALID_RECEIVER_POSITIONS:
            return "does not hold the left ear as receiver 0 and the right ear as receiver 1 (at +y and -y)";
        case MYSOFA_INVALID_DIMENSIONS:
        case MYSOFA_INVALID_DIMENSION_LIST: return "has dimensions that do not fit SimpleFreeFieldHRIR";
        case MYSOFA_INVALID_COORDINATE_TYPE: return "gives positions in coordinates that cannot be read";
        default: return "is not a valid SimpleFreeFieldHRIR file (libmysofa check " + std::to_string (err) + ")";
    }
}

/** Whole-sample broadband delays per receiver (and measurement), or an error. */
std::vector<unsigned> broadbandDelays (const MYSOFA_HRTF& h, const std::string& name)
{
    const auto& dd = h.DataDelay;
    std::vector<unsigned> delays ((size_t) h.M * h.R, 0u);
    if (dd.elements == 0)
        return delays;
    if (dd.elements != h.R && dd.elements != h.M * h.R)
        throw SofaError (name + ": its Data.Delay has " + std::to_string (dd.elements) + " values, which fits no layout");
    for (size_t i = 0; i < delays.size(); ++i)
    {
        const double d = dd.values[dd.elements == h.R ? i % h.R : i];
        if (! std::isfinite (d) || d < 0.0 || d > kLongestResponse || d != std::floor (d))
            throw SofaError (name + ": its broadband delays (Data.Delay) are not whole, non-negative sample counts");
        delays[i] = (unsigned) d;
    }
    return delays;
}

struct Direction
{
    double x, y, z;
};

/** Feed directions run clockwise seen from above, SOFA azimuths counter-clockwise. */
Direction unitFor (double clockwiseDegrees)
{
    const double a = -clockwiseDegrees * kPi / 180.0;
    return { std::cos (a), std::sin (a), 0.0 };
}

FeedMatch nearestMeasurement (const MYSOFA_HRTF& h, double clockwiseDegrees)
{
    const Direction want = unitFor (clockwiseDegrees);
    FeedMatch best;
    best.degreesOff = 1e9;
    double bestDistance = -1.0;
    for (unsigned m = 0; m < h.M; ++m)
    {
        const float* p = h.SourcePosition.values + 3 * m;
        const double x = p[0], y = p[1], z = p[2];
        const double distance = std::sqrt (x * x + y * y + z * z);
        if (! std::isfinite (distance) || distance <= 0.0)
            continue;
        const double dot = x * want.x + y * want.y + z * want.z;
        const double cx = y * want.z - z * want.y, cy = z * want.x - x * want.z, cz = x * want.y - y * want.x;
        const double angle = std::atan2 (std::sqrt (cx * cx + cy * cy + cz * cz), dot) * 180.0 / kPi;
        // Of several distances in one direction, the farthest is the most like a loudspeaker.
        const bool same = std::fabs (angle - best.degreesOff) < 1e-6;
        if ((same && distance > bestDistance) || (! same && angle < best.degreesOff))
        {
            best.measurement = (int) m;
            best.degreesOff = angle;
            bestDistance = distance;
            const double azimuth = -std::atan2 (y, x) * 180.0 / kPi;
            best.azimuth = azimuth < 0.0 ? azimuth + 360.0 : azimuth;
            best.elevation = std::atan2 (z, std::sqrt (x * x + y * y)) * 180.0 / kPi;
        }
    }
    return best;
}
} // namespace

SofaSet readSofaFile (const std::string& path)
{
    const std::string name = "'" + path + "'";

    struct stat info {};
    if (::stat (path.c_str(), &info) != 0)
        throw SofaError ("HRTF file " + name + " does not exist");
    if (S_ISDIR (info.st_mode))
        throw SofaError ("HRTF file " + name + " is a folder, not a SOFA file");

    int err = 0;
    HrtfHandle h (mysofa_load (path.c_str(), &err));
    if (h == nullptr || err != MYSOFA_OK)
        throw SofaError ("HRTF file " + name + " " + describeLoadError (err));

    const std::string convention = attribute (*h, "SOFAConventions");
    if (convention != "SimpleFreeFieldHRIR")
        throw SofaError (name + " holds the SOFA convention '" + convention
                         + "'; only SimpleFreeFieldHRIR (head-related impulse responses) can be used");
    if (const auto type = attribute (*h, "DataType"); type != "FIR")
        throw SofaError (name + " holds data of type '" + type + "'; impulse responses (FIR) are needed");
    if (h->R != 2)
        throw SofaError (name + " has " + std::to_string (h->R) + " receivers; two ears are needed");
    checkListenerView (*h, name);
    if (const int check = mysofa_check (h.get()); check != MYSOFA_OK)
        throw SofaError (name + " " + describeCheckError (check));

    const double rate = h->DataSamplingRate.elements >= 1 ? (double) h->DataSamplingRate.values[0] : 0.0;
    if (! (rate >= kLowestRate && rate <= kHighestRate))
        throw SofaError (name + " gives a sample rate of " + number (rate) + " Hz; from "
                         + number (kLowestRate) + " to " + number (kHighestRate) + " Hz can be used");
    if (h->N < kShortestResponse || h->N > kLongestResponse)
        throw SofaError (name + " holds responses of " + std::to_string (h->N) + " taps; from "
                         + std::to_string (kShortestResponse) + " to " + std::to_string (kLongestResponse) + " can be used");
    if (h->M == 0 || h->DataIR.elements != h->M * h->R * h->N || h->SourcePosition.elements != 3 * h->M)
        throw SofaError (name + " holds no complete set of measurements");
    for (unsigned i = 0; i < h->DataIR.elements; ++i)
        if (! std::isfinite (h->DataIR.values[i]))
            throw SofaError (name + " holds response samples that are not numbers (measurement "
                             + std::to_string (i / (h->R * h->N)) + ")");

    const auto delays = broadbandDelays (*h, name);
    mysofa_tocartesian (h.get());

    SofaSet result;
    MeasuredSet& set = result.set;
    set.sampleRate = rate;
    const unsigned longestDelay = *std::max_element (delays.begin(), delays.end());
    set.length = (int) (h->N + longestDelay);
    set.measurements.reserve ((size_t) h->M * 2);
    for (unsigned m = 0; m < h->M; ++m)
        for (unsigned ear = 0; ear < 2; ++ear)
        {
            const unsigned receiver = ear; // SOFA's receiver 0 is the left ear (checked above)
            const float* source = h->DataIR.values + ((size_t) m * h->R + receiver) * h->N;
            std::vector<double> response ((size_t) set.length, 0.0);
            const unsigned delay = delays[(size_t) m * h->R + receiver];
            std::copy (source, source + h->N, response.begin() + delay);
            set.measurements.push_back (std::move (response));
        }

    for (int f = 0; f < kNumFeeds; ++f)
    {
        const FeedMatch match = nearestMeasurement (*h, feedDirection (f));
        if (feedIsHeard (f) && match.degreesOff > kMaxDegreesOff)
            throw SofaError (name + " has no measurement within " + number (kMaxDegreesOff) + " degrees of the "
                             + std::to_string (feedDirection (f)) + "-degree loudspeaker in the horizontal plane"
                             + (match.degreesOff < 1e9 ? " (the nearest is " + number (match.degreesOff, "%.1f")
                                                             + " degrees away)" : ""));
        if (match.degreesOff >= 1e9)
            throw SofaError (name + " gives no usable source positions");
        result.matches[(size_t) f] = match;
        for (int ear = 0; ear < kNumEars; ++ear)
            set.tableSource[(size_t) (ear * kNumFeeds + f)] = match.measurement * 2 + ear;
    }
    return result;
}
} // namespace vendrasolith::hrtf
