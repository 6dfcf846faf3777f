#include "HeadResponses.h"

#include "CommandLine.h"
#include "ConvolutionFilters.h"
#include "HrirSet.h"

#if VENDRASOLITH_HAVE_SOFA
 #include "HrirPipeline.h"
 #include "SofaReader.h"
#endif

#include <algorithm>
#include <cstdio>

namespace vendrasolith::cli
{
namespace
{
// Directions are used as measured; beyond this the difference is worth a word.
constexpr double kNoticeableDegrees = 1.0;
// The responses are cut to the table's length with a fade; losing more than this share
// of a response's energy (0.2 dB) is worth a word.
constexpr double kNoticeableLoss = 0.05;

std::string format (const char* pattern, double value)
{
    char text[64];
    std::snprintf (text, sizeof (text), pattern, value);
    return text;
}
} // namespace

HeadResponses headResponsesFromSofa (const std::string& path, double sampleRate, bool trueRate,
                                     const std::function<void (const std::string&)>& warn)
{
#if VENDRASOLITH_HAVE_SOFA
    using namespace vendrasolith::hrtf;
    try
    {
        const SofaSet sofa = readSofaFile (path);

        PipelineSettings settings;
        settings.sampleRate = sampleRate;
        settings.taps = trueRate ? std::min (tapsAtRate (HrirSet::kTaps, HrirSet::kSampleRate, sampleRate),
                                             ConvolutionFilters::kLongestResponse)
                                 : HrirSet::kTaps;
        const ResponseTable table = makeResponseTable (sofa.set, settings);

        std::string offDirections;
        for (int f = 0; f < kNumFeeds; ++f)
            if (feedIsHeard (f) && sofa.matches[(size_t) f].degreesOff > kNoticeableDegrees)
                offDirections += (offDirections.empty() ? "" : ", ") + std::to_string (feedDirection (f)) + " by "
                                 + format ("%.1f", sofa.matches[(size_t) f].degreesOff);
        if (! offDirections.empty())
            warn ("HRTF file '" + path + "' has no measurement at some loudspeaker directions; the nearest are used ("
                  + offDirections + " degrees off)");

        if (const double loss = table.worstEnergyOutside(); loss > kNoticeableLoss)
            warn ("the responses of '" + path + "' run longer than " + std::to_string (settings.taps) + " taps at "
                  + format ("%g", sampleRate) + " Hz; they are cut there with a fade, losing up to "
                  + format ("%.1f", 100.0 * loss) + " % of a response's energy");

        return { table.values, table.taps };
    }
    catch (const SofaError& e)
    {
        throw RenderError (e.what());
    }
    catch (const HrtfError& e)
    {
        throw RenderError ("HRTF file '" + path + "' cannot be used: " + e.what());
    }
#else
    (void) sampleRate;
    (void) trueRate;
    (void) warn;
    throw RenderError ("cannot read HRTF file '" + path + "': this build reads no SOFA files (libmysofa was missing)");
#endif
}
} // namespace vendrasolith::cli
