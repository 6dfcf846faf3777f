// What the rate option costs: the renderer on a 7.1 input in 512-sample blocks at each
// session rate, through the embedded table as it is (option off) and through the table
// resampled to the rate (option on, longer responses on a larger transform), and the time
// the message thread spends making the filters when the option or the rate changes.
//
// Output, one line per rate and option, then one per rate for the filters:
//   rate=<Hz> option=<off|on> taps=<n> transform=<n> ns_per_sample=<x> core_percent=<x>
//   rate=<Hz> make_filters_ms=<x>
// ns_per_sample is the thread's CPU time per sample frame (median over repetitions),
// core_percent the share of one core that rendering in real time at that rate takes.
//
// Options: --seconds=<s> per repetition (default 0.2), --reps=<n> (default 7).

#include "BinauralRenderer.h"
#include "HrirPipeline.h"
#include "ThreadClock.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace
{
using namespace vendrasolith;

constexpr int kBlock = 512;
constexpr int kSevenOne = 5;

double median (std::vector<double> v)
{
    std::sort (v.begin(), v.end());
    return v[v.size() / 2];
}

std::unique_ptr<ConvolutionFilters> filtersFor (double rate, bool on, FftBackend backend)
{
    const HrirSet embedded;
    if (! on || rate == HrirSet::kSampleRate)
        return std::make_unique<ConvolutionFilters> (embedded, backend);
    const auto table = hrtf::tableForRate (embedded.values(), HrirSet::kTaps, HrirSet::kSampleRate, rate);
    return std::make_unique<ConvolutionFilters> (table.values.data(), table.taps, backend);
}

double nsPerSample (double rate, bool on, double seconds, int repetitions, int& taps, int& transform)
{
    auto renderer = std::make_unique<BinauralRenderer>();
    renderer->setPanGain (4.0f);
    renderer->setInputConfiguration (kSevenOne);
    renderer->queueResponses (filtersFor (rate, on, renderer->fftBackend()));

    std::mt19937 rng (5);
    std::uniform_real_distribution<float> dist (-0.5f, 0.5f);
    std::vector<std::vector<float>> input (8, std::vector<float> (kBlock)), io = input;
    for (auto& channel : input)
        for (auto& x : channel)
            x = dist (rng);
    std::vector<float*> channels;
    for (auto& channel : io)
        channels.push_back (channel.data());

    const auto block = [&]
    {
        for (size_t c = 0; c < io.size(); ++c)
            std::copy (input[c].begin(), input[c].end(), io[c].begin());
        renderer->render (channels.data(), channels.data(), 8, kBlock);
    };
    for (int i = 0; i < 200; ++i) // glides settle, filters taken up, caches warm
        block();
    taps = renderer->convolver().responseTaps();
    transform = renderer->convolver().transformSize();

    std::vector<double> runs;
    for (int r = 0; r < repetitions; ++r)
    {
        long long samples = 0;
        const double start = threadSeconds();
        while (threadSeconds() - start < seconds)
        {
            block();
            samples += kBlock;
        }
        runs.push_back ((threadSeconds() - start) * 1.0e9 / (double) samples);
    }
    return median (runs);
}
} // namespace

int main (int argc, char** argv)
{
    double seconds = 0.2;
    int repetitions = 7;
    for (int i = 1; i < argc; ++i)
    {
        if (std::strncmp (argv[i], "--seconds=", 10) == 0)
            seconds = std::max (0.01, std::atof (argv[i] + 10));
        else if (std::strncmp (argv[i], "--reps=", 7) == 0)
            repetitions = std::max (1, std::atoi (argv[i] + 7));
        else
        {
            std::fprintf (stderr, "usage: %s [--seconds=S] [--reps=N]\n", argv[0]);
            return 2;
        }
    }

    const double rates[] = { 44100.0, 48000.0, 88200.0, 96000.0, 176400.0, 192000.0 };
    for (const double rate : rates)
        for (const bool on : { false, true })
        {
            int taps = 0, transform = 0;
            const double ns = nsPerSample (rate, on, seconds, repetitions, taps, transform);
            std::printf ("rate=%g option=%s taps=%d transform=%d ns_per_sample=%.2f core_percent=%.2f\n", rate,
                         on ? "on" : "off", taps, transform, ns, ns * rate * 1.0e-7);
            std::fflush (stdout);
        }

    for (const double rate : rates)
    {
        std::vector<double> runs;
        for (int r = 0; r < repetitions; ++r)
        {
            const double start = threadSeconds();
            const auto filters = filtersFor (rate, true, defaultFftBackend());
            runs.push_back ((threadSeconds() - start) * 1.0e3);
        }
        std::printf ("rate=%g make_filters_ms=%.2f\n", rate, median (runs));
    }
    return 0;
}
