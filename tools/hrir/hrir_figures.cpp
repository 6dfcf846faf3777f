// hrir_figures: prints what the HRIR pipeline does to the sound, for the provenance
// notes: the centre channel's third-octave response with white noise through the
// renderer, as measured and diffuse-field equalised, and per feed the interaural time
// and level differences and onsets of both tables; then the same cues of tables made
// from the set at other sample rates (what the offline renderer's --hrtf does). First,
// without the set: the right side loudspeaker's cues through the renderer at each session
// rate, with the shipped table as it is (the rate option off) and resampled to the rate
// (on).
//
//   hrir_figures [input.sofa]

#include "BinauralRenderer.h"
#include "CueMeasures.h"
#include "HrirPipeline.h"
#include "SofaReader.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

namespace
{
using namespace vendrasolith::hrtf;
using vendrasolith::kNumFeeds;

constexpr const char* kDefaultInput = "/usr/share/libmysofa/MIT_KEMAR_normal_pinna.sofa";
constexpr int kCentreChannel = 2;     // C in the 7.1 order L R C LFE Lsr Rsr Lss Rss
constexpr int kSevenOneLayout = 5;
constexpr int kNoiseLength = 1 << 18;
constexpr int kSettle = 8192;         // lets the panning gains glide in first

ResponseTable tableFor (const MeasuredSet& set, double rate, bool equalised)
{
    PipelineSettings settings;
    settings.sampleRate = rate;
    settings.diffuseFieldEqualisation = equalised;
    return makeResponseTable (set, settings);
}

/** White noise into the centre channel of the renderer; the two ears' outputs. */
std::array<std::vector<double>, 2> renderCentreNoise (const ResponseTable& table, std::vector<double>& noise)
{
    vendrasolith::BinauralRenderer renderer;
    renderer.setResponses (vendrasolith::HrirSet (table.values.data()));
    renderer.setInputConfiguration (kSevenOneLayout);

    std::mt19937 rng (1);
    std::uniform_real_distribution<float> uniform (-0.5f, 0.5f);
    const int total = kSettle + kNoiseLength + 2048;
    std::vector<std::vector<float>> in (8, std::vector<float> ((size_t) total, 0.0f));
    noise.clear();
    for (int k = kSettle; k < kSettle + kNoiseLength; ++k)
    {
        in[kCentreChannel][(size_t) k] = uniform (rng);
        noise.push_back (in[kCentreChannel][(size_t) k]);
    }
    std::vector<float> left ((size_t) total), right ((size_t) total);
    std::vector<const float*> inputs;
    for (auto& c : in)
        inputs.push_back (c.data());
    for (int offset = 0; offset < total; offset += 4096)
    {
        const int n = std::min (4096, total - offset);
        std::vector<const float*> at;
        for (auto* p : inputs)
            at.push_back (p + offset);
        float* outs[2] = { left.data() + offset, right.data() + offset };
        renderer.render (at.data(), outs, 8, n);
    }
    const auto from = (size_t) kSettle + (size_t) vendrasolith::BinauralRenderer::kLatency;
    return { std::vector<double> (left.begin() + (long) from, left.end()),
             std::vector<double> (right.begin() + (long) from, right.end()) };
}

std::vector<double> responseOf (const ResponseTable& t, int m) { return std::vector<double> (t.response (m), t.response (m) + t.taps); }

void printCentreBands (const ResponseTable& measured, const ResponseTable& equalised)
{
    const auto centres = thirdOctaveCentres (25.0, 20000.0);
    std::vector<double> noise;
    const auto before = renderCentreNoise (measured, noise);
    const auto beforeLeft = bandGainsDb (noise, before[0], measured.sampleRate, centres);
    const auto after = renderCentreNoise (equalised, noise);
    const auto afterLeft = bandGainsDb (noise, after[0], equalised.sampleRate, centres);

    const auto meanOver = [&] (const std::vector<double>& db)
    {
        double sum = 0.0;
        int count = 0;
        for (size_t i = 0; i < centres.size(); ++i)
            if (centres[i] >= 99.0 && centres[i] <= 5100.0)
            {
                sum += db[i];
                ++count;
            }
        return sum / count;
    };
    const double meanBefore = meanOver (beforeLeft), meanAfter = meanOver (afterLeft);
    std::printf ("Centre channel, white noise through the renderer, left ear (the right is the same),\n"
                 "third-octave bands in dB relative to their mean over 100 Hz - 5 kHz:\n");
    std::printf ("| band (Hz) | as measured | equalised |\n|---:|---:|---:|\n");
    double worstBefore = 0.0, worstAfter = 0.0;
    for (size_t i = 0; i < centres.size(); ++i)
    {
        std::printf ("| %g | %+.1f | %+.1f |\n", std::round (centres[i] * 100.0) / 100.0, beforeLeft[i] - meanBefore,
                     afterLeft[i] - meanAfter);
        if (centres[i] >= 99.0 && centres[i] <= 5100.0)
        {
            worstBefore = std::max (worstBefore, std::fabs (beforeLeft[i] - meanBefore));
            worstAfter = std::max (worstAfter, std::fabs (afterLeft[i] - meanAfter));
        }
    }
    std::printf ("largest deviation from the mean, 100 Hz - 5 kHz: as measured %.1f dB, equalised %.1f dB\n\n",
                 worstBefore, worstAfter);
}

struct Cues
{
    double itdMicroseconds, ildDb;
    int onsetLeft, onsetRight, peakLeft, peakRight;
};

Cues cuesOf (const ResponseTable& t, int feed)
{
    const auto l = responseOf (t, feed), r = responseOf (t, kNumFeeds + feed);
    const auto peak = [] (const std::vector<double>& x)
    { return (int) (std::max_element (x.begin(), x.end(), [] (double a, double b) { return std::fabs (a) < std::fabs (b); }) - x.begin()); };
    return { 1e6 * interauralDelaySeconds (l, r, t.sampleRate), interauralLevelDb (l, r, t.sampleRate),
             onsetSample (l), onsetSample (r), peak (l), peak (r) };
}

void printCues (const ResponseTable& measured, const ResponseTable& equalised)
{
    std::printf ("Per feed, as measured -> equalised: interaural time difference (right ear behind left,\n"
                 "phase-only cross-correlation below 1.5 kHz), interaural level difference (left over\n"
                 "right, interaural transfer function from 200 Hz to 16 kHz, every octave alike), onsets\n"
                 "(first tap at 10 %% of the peak) and peak taps:\n");
    std::printf ("| feed | dir | ITD us | ILD dB | onset L/R | peak L/R |\n|---|---:|---:|---:|---:|---:|\n");
    for (int f = 0; f < kNumFeeds; ++f)
    {
        const Cues a = cuesOf (measured, f), b = cuesOf (equalised, f);
        std::printf ("| %s | %d | %+.1f -> %+.1f | %+.2f -> %+.2f | %d/%d -> %d/%d | %d/%d -> %d/%d |\n", feedLabel (f),
                     feedDirection (f), a.itdMicroseconds, b.itdMicroseconds, a.ildDb, b.ildDb, a.onsetLeft,
                     a.onsetRight, b.onsetLeft, b.onsetRight, a.peakLeft, a.peakRight, b.peakLeft, b.peakRight);
    }
    std::printf ("\n");
}

/** An impulse into the right side loudspeaker (Rss, 90 degrees) through the renderer. */
std::array<std::vector<double>, 2> rightSideImpulse (double rate, bool trueRate)
{
    using vendrasolith::HrirSet;
    vendrasolith::BinauralRenderer renderer;
    renderer.setInputConfiguration (kSevenOneLayout);
    if (trueRate)
    {
        const HrirSet shipped;
        const auto table = tableForRate (shipped.values(), HrirSet::kTaps, HrirSet::kSampleRate, rate);
        renderer.setResponses (table.values.data(), table.taps);
    }

    const int total = kSettle + 8192;
    std::vector<std::vector<float>> in (8, std::vector<float> ((size_t) total, 0.0f));
    in[7][(size_t) kSettle] = 1.0f;
    std::vector<float> left ((size_t) total), right ((size_t) total);
    for (int offset = 0; offset < total; offset += 512)
    {
        std::vector<const float*> at;
        for (auto& c : in)
            at.push_back (c.data() + offset);
        float* outs[2] = { left.data() + offset, right.data() + offset };
        renderer.render (at.data(), outs, 8, 512);
    }
    const auto from = (long) kSettle + vendrasolith::BinauralRenderer::kLatency;
    return { std::vector<double> (left.begin() + from, left.end()), std::vector<double> (right.begin() + from, right.end()) };
}

void printSessionRates()
{
    const double thirdOctave = std::pow (2.0, 1.0 / 3.0);
    const auto reference = rightSideImpulse (44100.0, false);
    const double resonance = peakFrequencyHz (reference[1], 44100.0, 1500.0, 5500.0);

    std::printf ("Right side loudspeaker (Rss, 90 degrees) through the renderer at each session rate, with the\n"
                 "shipped table as it is (rate option off) and resampled to the rate (on): interaural time\n"
                 "difference (as below) and the near ear's resonance peak (%.0f Hz at 44.1 kHz; followed\n"
                 "within a third of an octave of where it lies: that frequency with the option on, scaled\n"
                 "by the rate over 44.1 kHz with it off):\n", resonance);
    std::printf ("| rate | ITD off us | ITD on us | resonance off Hz | resonance on Hz |\n|---:|---:|---:|---:|---:|\n");
    for (const double rate : { 44100.0, 48000.0, 88200.0, 96000.0, 176400.0, 192000.0 })
    {
        const auto off = rightSideImpulse (rate, false), on = rightSideImpulse (rate, true);
        const double offNear = resonance * rate / 44100.0;
        std::printf ("| %g | %.0f | %.0f | %.0f | %.0f |\n", rate, 1e6 * interauralDelaySeconds (off[0], off[1], rate),
                     1e6 * interauralDelaySeconds (on[0], on[1], rate),
                     peakFrequencyHz (off[1], rate, offNear / thirdOctave, offNear * thirdOctave),
                     peakFrequencyHz (on[1], rate, resonance / thirdOctave, resonance * thirdOctave));
    }
    std::printf ("\n");
}

void printRates (const MeasuredSet& set)
{
    std::printf ("Equalised tables made from the set at other rates (256 taps):\n");
    std::printf ("| rate | shift | ITD 90 us | ITD 30 us | ILD 90 dB | energy outside the taps, worst | onsets L/R at 90 |\n"
                 "|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const double rate : { 44100.0, 48000.0, 88200.0, 96000.0, 192000.0 })
    {
        const auto t = tableFor (set, rate, true);
        const Cues right90 = cuesOf (t, 7), right30 = cuesOf (t, 1);
        std::printf ("| %g | %d | %+.1f | %+.1f | %+.2f | %.2f %% | %d/%d |\n", rate, t.shift, right90.itdMicroseconds,
                     right30.itdMicroseconds, right90.ildDb, 100.0 * t.worstEnergyOutside(), right90.onsetLeft,
                     right90.onsetRight);
    }
}
} // namespace

int main (int argc, char** argv)
{
    printSessionRates();
    try
    {
        const SofaSet sofa = readSofaFile (argc > 1 ? argv[1] : kDefaultInput);
        const auto measured = tableFor (sofa.set, sofa.set.sampleRate, false);
        const auto equalised = tableFor (sofa.set, sofa.set.sampleRate, true);
        printCentreBands (measured, equalised);
        printCues (measured, equalised);
        printRates (sofa.set);
    }
    catch (const std::exception& e)
    {
        std::fprintf (stderr, "hrir_figures: %s\n", e.what());
        return 1;
    }
    return 0;
}
