// make_hrir: builds the 16 x 256-tap HRIR table the renderer embeds, from the
// MIT KEMAR "normal pinna" SOFA file (Gardner & Martin, MIT Media Lab, 1994).
//
//   make_hrir [--as-measured] [input.sofa] <output.f32>
//
// Output: 4096 little-endian float32 values, output-major: response m holds
// taps 256*m .. 256*m+255 and belongs to ear m/8 (0 = left) and feed m%8.
// --as-measured leaves out the diffuse-field equalisation (for comparison only).
// The result depends only on the input file, so a rerun is byte-identical.

#include "HrirPipeline.h"
#include "SofaReader.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace
{
using namespace vendrasolith::hrtf;
using vendrasolith::kNumFeeds;

constexpr const char* kDefaultInput = "/usr/share/libmysofa/MIT_KEMAR_normal_pinna.sofa";
constexpr double kSampleRate = 44100.0;
constexpr int kTaps = 256;

[[noreturn]] void fail (const std::string& what)
{
    std::fprintf (stderr, "make_hrir: %s\n", what.c_str());
    std::exit (1);
}

void writeLittleEndian (const char* path, const std::vector<float>& table)
{
    std::vector<unsigned char> bytes (table.size() * 4);
    for (size_t i = 0; i < table.size(); ++i)
    {
        std::uint32_t u;
        std::memcpy (&u, &table[i], 4);
        for (int b = 0; b < 4; ++b)
            bytes[4 * i + (size_t) b] = static_cast<unsigned char> (u >> (8 * b));
    }
    std::FILE* f = std::fopen (path, "wb");
    if (! f)
        fail ("cannot open output file");
    const bool ok = std::fwrite (bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose (f) != 0 || ! ok)
        fail ("cannot write output file");
}

void printReport (const SofaSet& sofa, const ResponseTable& table, bool equalised)
{
    for (int f = 0; f < kNumFeeds; ++f)
    {
        const auto& m = sofa.matches[(size_t) f];
        std::printf ("feed %d %-3s dir %3d -> measurement %d at azimuth %.2f, elevation %.2f, %.2g deg off\n", f,
                     feedLabel (f), feedDirection (f), m.measurement, m.azimuth, m.elevation, m.degreesOff);
    }
    for (int r = 0; r < kNumResponses; ++r)
    {
        const auto& n = table.notes[(size_t) r];
        std::printf ("response %2d: low band %.4f, delay %.2f taps (onset %d)\n", r, n.lowBandGain, n.lowBandDelay, n.onset);
    }
    if (equalised)
    {
        const std::vector<double> hz { 50, 100, 200, 500, 1000, 2000, 2500, 3000, 4000, 5000, 8000, 10000, 16000, 20000 };
        const auto db = diffuseFieldDb (sofa.set, hz);
        std::printf ("diffuse field (removed), dB:");
        for (size_t i = 0; i < hz.size(); ++i)
            std::printf (" %g Hz %+.1f%s", hz[i], db[i], i + 1 < hz.size() ? "," : "\n");
    }
    std::printf ("shift %d taps, fade %d taps (raised cosine), gains left %.9f right %.9f\n", table.shift, kFadeTaps,
                 table.gains[0], table.gains[1]);
    std::printf (" m ear feed      peak tap     value   energy  in 220%%   tap sum  outside%%\n");
    for (int r = 0; r < kNumResponses; ++r)
    {
        const float* x = table.response (r);
        double e = 0.0, e220 = 0.0, sum = 0.0;
        int p = 0;
        for (int t = 0; t < table.taps; ++t)
        {
            e += double (x[t]) * x[t];
            if (t < 220)
                e220 += double (x[t]) * x[t];
            sum += x[t];
            if (std::fabs (x[t]) > std::fabs (x[p]))
                p = t;
        }
        std::printf ("%2d  %c  %d %-3s      %3d   %+.5f  %.6f  %7.3f  %+.5f  %7.3f\n", r, r < kNumFeeds ? 'L' : 'R',
                     r % kNumFeeds, feedLabel (r % kNumFeeds), p, x[p], e, 100.0 * e220 / e, sum,
                     100.0 * table.notes[(size_t) r].energyOutside);
    }
}
} // namespace

int main (int argc, char** argv)
{
    std::vector<std::string> arguments (argv + 1, argv + argc);
    bool equalised = true;
    if (! arguments.empty() && arguments.front() == "--as-measured")
    {
        equalised = false;
        arguments.erase (arguments.begin());
    }
    if (arguments.empty() || arguments.size() > 2)
    {
        std::fprintf (stderr, "usage: make_hrir [--as-measured] [input.sofa] <output.f32>\n  default input: %s\n",
                      kDefaultInput);
        return 2;
    }
    const std::string input = arguments.size() == 2 ? arguments[0] : kDefaultInput;
    const std::string output = arguments.back();

    try
    {
        const SofaSet sofa = readSofaFile (input);
        if (sofa.set.sampleRate != kSampleRate)
            fail ("expected data at 44.1 kHz");

        PipelineSettings settings;
        settings.sampleRate = kSampleRate;
        settings.taps = kTaps;
        settings.diffuseFieldEqualisation = equalised;
        const ResponseTable table = makeResponseTable (sofa.set, settings);
        printReport (sofa, table, equalised);
        writeLittleEndian (output.c_str(), table.values);
    }
    catch (const std::exception& e)
    {
        fail (e.what());
    }
    return 0;
}
