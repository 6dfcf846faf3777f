// Times the per-block chain the plug-in runs (render, bass boost, output gain) for each
// FFT backend, input layout and block size, and sets it against the bare FFT work of the
// same hops on the same backend, timed in the same run, so the figures say how much the
// chain adds on top of its floor.
//
// Output, one line per case, then the FFTW speed-up for 7.1 at 512-sample blocks:
//   fft=<fftw|kiss> config=<mono|stereo|5.1|7.1> block=<n> ns_per_sample=<x> rtf=<x> floor_ratio=<x>
//   speedup_vs_kiss=<x>
// ns_per_sample is the thread's CPU time per sample frame (time spent preempted by other
// work on a shared machine does not count), rtf how many times faster than real time
// at 48 kHz, floor_ratio the floor's time per sample over the chain's (1.0: no overhead),
// speedup_vs_kiss the KISS FFT chain's time over the FFTW chain's.
//
// Each case is timed in repetitions of floor then chain, back to back; the figures are
// medians over repetitions, which rides out the odd burst of other work on the machine.
// A case whose wall time clearly exceeded its CPU time is flagged on stderr: the CPU
// time is still right, but caches shared with other work make it noisier.
//
// Options: --seconds=<s> (chain time per repetition, default 0.1), --reps=<n> (default 9),
// --fft=<fftw|kiss>, --config=<name> and --block=<n> (run only matching cases, e.g. under a profiler),
// --angle=<0..1> and --width=<0..1> (default 0 and 1, the plug-in's own defaults),
// --bass=<0..3> (default 0, off), --verbose (detail on stderr).

#include "BassBoostStage.h"
#include "BinauralRenderer.h"
#include "FftConvolver.h"
#include "OutputGainStage.h"

#include "RealFft.h"
#include "BinProducts.h"
#include "ThreadClock.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace
{
using namespace vendrasolith;
using Clock = std::chrono::steady_clock;

constexpr double kSampleRate = 48000.0;
constexpr int kBufferChannels = 8;

struct Options
{
    double chainSeconds = 0.1;
    int repetitions = 9;
    const char* fft = nullptr;
    const char* config = nullptr;
    int block = 0;
    float angle = 0.0f;
    float width = 1.0f;
    int bass = 0;
    bool verbose = false;
};

struct Layout
{
    const char* name;
    int configuration;
    int channels;
};

constexpr std::array<Layout, 4> layouts { { { "mono", 0, 1 }, { "stereo", 1, 2 }, { "5.1", 2, 6 }, { "7.1", 5, 8 } } };
constexpr std::array<int, 3> blockSizes { 64, 512, 8192 };

std::vector<float> noise (std::mt19937& rng, size_t count)
{
    std::uniform_real_distribution<float> dist (-1.0f, 1.0f);
    std::vector<float> v (count);
    for (auto& x : v)
        x = dist (rng);
    return v;
}

/** The irreducible work of one 768-sample hop of the convolver: every feed forward
    transformed, its spectrum multiplied into both ears, both ears transformed back. */
class FftFloor
{
public:
    static constexpr int kSize = FftConvolver::kFftSize;
    static constexpr int kBins = FftConvolver::kNumBins;

    FftFloor (FftBackend backend, std::mt19937& rng)
        : fft (backend), frames (std::make_unique<std::array<AlignedArray<float, kSize>, kNumFeeds>>()),
          spectra (std::make_unique<Spectra>())
    {
        const auto samples = noise (rng, (size_t) (kNumFeeds * kSize));
        for (size_t f = 0; f < frames->size(); ++f)
            std::copy_n (samples.begin() + (long) (f * kSize), kSize, (*frames)[f].begin());

        const auto values = noise (rng, spectra->filters.size() * kBins * 2);
        size_t v = 0;
        for (auto& filter : spectra->filters)
            for (auto& bin : filter)
            {
                bin = { values[v] * 0.01f, values[v + 1] * 0.01f };
                v += 2;
            }
    }

    void hop() noexcept
    {
        for (int feed = 0; feed < kNumFeeds; ++feed)
        {
            fft.forward ((*frames)[(size_t) feed].data(), spectra->input.data());

            // The convolver's own products: the floor is the work no convolver can skip.
            for (int ear = 0; ear < kNumEars; ++ear)
                multiplySpectra (spectra->input.data(), spectra->filters[(size_t) (ear * kNumFeeds + feed)].data(),
                                 spectra->output[(size_t) ear].data(), kBins, feed != 0);
        }

        for (int ear = 0; ear < kNumEars; ++ear)
            fft.inverse (spectra->output[(size_t) ear].data(), spectra->outputFrames[(size_t) ear].data());
    }

    float probe() const noexcept { return spectra->outputFrames[0][0] + spectra->outputFrames[1][0]; }

private:
    using Spectrum = AlignedArray<Complex, kBins>;
    struct Spectra
    {
        Spectrum input;
        std::array<Spectrum, kNumEars * kNumFeeds> filters;
        std::array<Spectrum, kNumEars> output;
        std::array<AlignedArray<float, kSize>, kNumEars> outputFrames;
    };

    RealFft fft;
    std::unique_ptr<std::array<AlignedArray<float, kSize>, kNumFeeds>> frames;
    std::unique_ptr<Spectra> spectra;
};

/** The plug-in's per-block chain, in place on an eight-channel buffer of noise. */
class Chain
{
public:
    Chain (FftBackend backend, const Layout& layout, int blockSize, const Options& options, std::mt19937& rng)
        : numInputs (layout.channels),
          block (blockSize),
          renderer (std::make_unique<BinauralRenderer> (backend))
    {
        renderer->setPanGain (4.0f);
        renderer->setInputConfiguration (layout.configuration);
        // Off-default Angle and Width (--angle, --width) put every slot's alternate image to work.
        renderer->setAngle (options.angle);
        renderer->setWidth (options.width);
        bass.setStep (options.bass);
        gain.setGainParameter (0.9f); // 0 dB

        for (int c = 0; c < kBufferChannels; ++c)
        {
            buffer[(size_t) c] = noise (rng, (size_t) block);
            channels[(size_t) c] = buffer[(size_t) c].data();
        }
        // The chain overwrites channels 0 and 1; each block starts from fresh input there.
        fresh[0] = buffer[0];
        fresh[1] = buffer[1];
    }

    void processBlock() noexcept
    {
        std::memcpy (channels[0], fresh[0].data(), sizeof (float) * (size_t) block);
        std::memcpy (channels[1], fresh[1].data(), sizeof (float) * (size_t) block);

        renderer->render (channels.data(), channels.data(), numInputs, block);
        bass.process (channels.data(), block);
        gain.process (channels.data(), kNumEars, block);
    }

    long long forwardTransforms() const noexcept { return renderer->convolver().forwardTransformCount(); }

    bool outputIsFinite() const noexcept
    {
        for (int c = 0; c < kNumEars; ++c)
            for (int k = 0; k < block; ++k)
                if (! std::isfinite (channels[(size_t) c][(size_t) k]))
                    return false;
        return true;
    }

private:
    int numInputs;
    int block;
    std::unique_ptr<BinauralRenderer> renderer;
    BassBoostStage bass;
    OutputGainStage gain;
    std::array<std::vector<float>, kBufferChannels> buffer;
    std::array<std::vector<float>, 2> fresh;
    std::array<float*, kBufferChannels> channels {};
};

struct Timing
{
    double nsPerSample;
    double wallOverCpu;
};

/** Repeats step until at least `seconds` of wall time have passed; reports CPU time. */
template <typename Step>
Timing measure (Step&& step, int samplesPerStep, double seconds)
{
    const auto limit = std::chrono::duration<double> (seconds);
    long long samples = 0;
    const double cpuStart = threadSeconds();
    const auto start = Clock::now();
    auto now = start;

    do
    {
        step();
        samples += samplesPerStep;
        now = Clock::now();
    } while (now - start < limit);

    const double cpu = threadSeconds() - cpuStart;
    const double wall = std::chrono::duration<double> (now - start).count();
    return { cpu * 1.0e9 / (double) samples, cpu > 0.0 ? wall / cpu : 1.0 };
}

double median (std::vector<double> v)
{
    std::sort (v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

Options parseOptions (int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i)
    {
        const char* a = argv[i];
        if (std::strncmp (a, "--seconds=", 10) == 0)
            o.chainSeconds = std::atof (a + 10);
        else if (std::strncmp (a, "--reps=", 7) == 0)
            o.repetitions = std::atoi (a + 7);
        else if (std::strncmp (a, "--fft=", 6) == 0)
            o.fft = a + 6;
        else if (std::strncmp (a, "--config=", 9) == 0)
            o.config = a + 9;
        else if (std::strncmp (a, "--block=", 8) == 0)
            o.block = std::atoi (a + 8);
        else if (std::strncmp (a, "--angle=", 8) == 0)
            o.angle = (float) std::atof (a + 8);
        else if (std::strncmp (a, "--width=", 8) == 0)
            o.width = (float) std::atof (a + 8);
        else if (std::strncmp (a, "--bass=", 7) == 0)
            o.bass = std::atoi (a + 7);
        else if (std::strcmp (a, "--verbose") == 0)
            o.verbose = true;
        else
        {
            std::fprintf (stderr, "usage: %s [--seconds=S] [--reps=N] [--fft=NAME] [--config=NAME] [--block=N] "
                                  "[--angle=A] [--width=W] [--bass=STEP] [--verbose]\n", argv[0]);
            std::exit (2);
        }
    }
    o.chainSeconds = std::max (o.chainSeconds, 0.001);
    o.repetitions = std::max (o.repetitions, 1);
    return o;
}
} // namespace

int main (int argc, char** argv)
{
    const Options options = parseOptions (argc, argv);
    std::mt19937 rng (20240611u);
    float sink = 0.0f;
    // ns_per_sample of 7.1 at 512-sample blocks, per backend, for the speed-up line.
    std::array<double, 2> surround512 {};

    for (const auto backend : { FftBackend::fftw, FftBackend::kiss })
    {
        const char* fftName = fftBackendName (backend);
        if (! isFftBackendAvailable (backend))
        {
            std::fprintf (stderr, "fft=%s: not in this build\n", fftName);
            continue;
        }
        if (options.fft != nullptr && std::strcmp (options.fft, fftName) != 0)
            continue;

        FftFloor fftFloor (backend, rng);

        for (const auto& layout : layouts)
        {
            for (const int blockSize : blockSizes)
            {
                if ((options.config != nullptr && std::strcmp (options.config, layout.name) != 0)
                    || (options.block != 0 && options.block != blockSize))
                    continue;

                Chain chain (backend, layout, blockSize, options, rng);

                // Let the gain glides settle and the caches warm before timing.
                measure ([&] { chain.processBlock(); }, blockSize, 0.02);
                for (int done = 0; done < 4 * FftConvolver::kHop; done += blockSize)
                    chain.processBlock();

                if (! chain.outputIsFinite())
                {
                    std::fprintf (stderr, "fft=%s config=%s block=%d: non-finite output\n", fftName, layout.name, blockSize);
                    return 1;
                }

                std::vector<double> chainNs, floorNs, ratios, busy;
                const long long transformsBefore = chain.forwardTransforms();
                long long chainSamples = 0;

                for (int r = 0; r < options.repetitions; ++r)
                {
                    // Floor and chain back to back, so clock drift hits both alike.
                    const auto f = measure ([&] { fftFloor.hop(); sink += fftFloor.probe(); },
                                            FftConvolver::kHop, 0.5 * options.chainSeconds);
                    const auto c = measure ([&] { chain.processBlock(); chainSamples += blockSize; },
                                            blockSize, options.chainSeconds);
                    floorNs.push_back (f.nsPerSample);
                    chainNs.push_back (c.nsPerSample);
                    ratios.push_back (f.nsPerSample / c.nsPerSample);
                    busy.push_back (c.wallOverCpu);
                }

                const double ns = median (chainNs);
                const double rtf = 1.0e9 / (kSampleRate * ns);
                std::printf ("fft=%s config=%s block=%d ns_per_sample=%.2f rtf=%.1f floor_ratio=%.3f\n",
                             fftName, layout.name, blockSize, ns, rtf, median (ratios));
                std::fflush (stdout);
                if (std::strcmp (layout.name, "7.1") == 0 && blockSize == 512)
                    surround512[backend == FftBackend::fftw ? 0 : 1] = ns;

                if (median (busy) > 1.05)
                    std::fprintf (stderr, "note: fft=%s config=%s block=%d shared the CPU (wall/CPU time %.2f); rerun on a quiet machine\n",
                                  fftName, layout.name, blockSize, median (busy));

                if (options.verbose)
                {
                    const double hops = (double) chainSamples / FftConvolver::kHop;
                    std::fprintf (stderr, "  floor %.2f ns/sample (%.2f us/hop), chain %.2f..%.2f ns/sample, "
                                          "%.2f forward transforms per hop\n",
                                  median (floorNs), median (floorNs) * FftConvolver::kHop / 1000.0,
                                  *std::min_element (chainNs.begin(), chainNs.end()),
                                  *std::max_element (chainNs.begin(), chainNs.end()),
                                  (double) (chain.forwardTransforms() - transformsBefore) / hops);
                }
            }
        }
    }

    if (surround512[0] > 0.0 && surround512[1] > 0.0)
        std::printf ("speedup_vs_kiss=%.2f\n", surround512[1] / surround512[0]);

    // Keeps the floor's results observable.
    if (! std::isfinite (sink))
        std::fprintf (stderr, "floor produced a non-finite value\n");
    return 0;
}
