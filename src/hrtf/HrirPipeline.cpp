#include "HrirPipeline.h"

#include "ComplexFft.h"
#include "ConvolutionFilters.h"

#include <algorithm>
#include <cmath>

namespace vendrasolith::hrtf
{
namespace
{
constexpr double kPi = 3.14159265358979323846;
constexpr int kCentre = 2;
constexpr double kReferenceRate = 44100.0;

// Bass repair. The measurements still contain the loudspeaker, which rolls off below
// ~150 Hz and sinks into noise below ~60 Hz.
constexpr double kFlatLow = 200.0;     // reference band: loudspeaker flat, head still small
constexpr double kFlatHigh = 400.0;
constexpr double kNoiseBelow = 60.0;   // below: roll-off estimate continued at 24 dB/octave
constexpr double kCrossLow = 150.0;    // synthetic low band up to here, then a raised-cosine
constexpr double kCrossHigh = 400.0;   // crossover to the corrected measurement
constexpr double kUndoFull = 1000.0;   // loudspeaker divided out up to here, fading out so
constexpr double kUndoNone = 2000.0;   // that the upper range (waveform, peaks) stays as measured
constexpr double kOnsetFraction = 0.1; // onset = first tap at 10 % of the peak; seeds the delay fit
constexpr double kMaxDelayFromOnset = 20.0 / kReferenceRate; // seconds

// Diffuse-field equalisation.
constexpr double kSmoothingOctaves = 1.0 / 3.0; // the average is smoothed before it is inverted
constexpr double kHoldBelowLow = kFlatLow;      // below: the reference band's level (the loudspeaker's
constexpr double kHoldBelowHigh = kFlatHigh;    // roll-off is the bass repair's to undo, not ours)
constexpr double kHoldAboveLow = 14000.0;       // above: held at the level reached here, so the
constexpr double kHoldAboveHigh = 18000.0;      // measurement's own top-end roll-off is not boosted

// Time zero of the processed responses sits this far into their time line: the bass
// repair's low band starts a little before the measurement does.
constexpr double kLeadFraction = 0.25;

struct Frame
{
    size_t size;
    double rate;
    double binHz (size_t k) const noexcept { return double (std::min (k, size - k)) * rate / double (size); }
};

/** 1 up to `from`, raised-cosine down to 0 at `to`. */
double fadeOut (double hz, double from, double to) noexcept
{
    return hz <= from ? 1.0 : hz >= to ? 0.0 : 0.5 * (1.0 + std::cos (kPi * (hz - from) / (to - from)));
}

int loudestTap (const std::vector<double>& x, size_t from, size_t count) noexcept
{
    size_t k = from;
    for (size_t i = from; i < std::min (x.size(), from + count); ++i)
        if (std::fabs (x[i]) > std::fabs (x[k]))
            k = i;
    return (int) k;
}

Spectrum transformOf (const std::vector<double>& x, const ComplexFft& fft)
{
    Spectrum s (fft.size(), 0.0);
    std::copy_n (x.begin(), std::min (x.size(), s.size()), s.begin());
    fft.transform (s, -1);
    return s;
}

/** Minimum-phase spectrum with the given magnitude (folded real cepstrum). */
Spectrum minimumPhase (const std::vector<double>& magnitude, const ComplexFft& fft)
{
    const size_t n = magnitude.size();
    Spectrum c (n);
    for (size_t k = 0; k < n; ++k)
        c[k] = std::log (magnitude[k]);
    fft.transform (c, +1);
    for (size_t t = 0; t < n; ++t)
        c[t] *= (t == 0 || t == n / 2 ? 1.0 : t < n / 2 ? 2.0 : 0.0) / double (n);
    fft.transform (c, -1);
    for (auto& v : c)
        v = std::exp (v);
    return c;
}

double meanMagnitude (const Spectrum& x, const Frame& frame, double lowHz, double highHz)
{
    double sum = 0.0;
    int count = 0;
    for (size_t k = 0; k <= frame.size / 2; ++k)
        if (frame.binHz (k) >= lowHz && frame.binHz (k) <= highHz)
        {
            sum += std::abs (x[k]);
            ++count;
        }
    return sum / count;
}

/** The transform size for a set: room for the low band's tails at any rate. */
size_t frameSizeFor (const MeasuredSet& set)
{
    const auto forRate = (size_t) std::ceil (2048.0 * set.sampleRate / kReferenceRate);
    return nextPowerOfTwo (std::max ({ forRate, (size_t) set.length * 4, size_t (2048) }));
}

// Puts back the bass the measuring loudspeaker took away.
// Above the crossover, the loudspeaker's roll-off (estimated from the centre response)
// is divided out as a minimum-phase filter, faded out above 1 kHz; this also removes its
// phase lead, so both bands agree where they overlap and the low band's delay can be read
// off the phase. Below, the measurement is useless, but a head is acoustically small
// there: each response becomes a flat gain, the same for both ears of a feed, and a pure
// delay fitted to the response's own corrected phase in the reference band, which keeps
// the low-frequency interaural time difference as measured.
std::vector<Spectrum> repairBass (const MeasuredSet& set, const ComplexFft& fft, const Frame& frame,
                                  std::array<ResponseNotes, kNumResponses>& notes)
{
    const size_t n = frame.size;
    std::vector<Spectrum> spectra;
    for (int r = 0; r < kNumResponses; ++r)
        spectra.push_back (transformOf (set.response (r), fft));

    const Spectrum& centre = spectra[kCentre];
    const double centreLevel = meanMagnitude (centre, frame, kFlatLow, kFlatHigh);
    if (! (centreLevel > 0.0))
        throw HrtfError ("the centre response is silent in the bass");
    const auto noiseBin = (size_t) std::lround (kNoiseBelow * double (n) / frame.rate);
    const double atNoise = std::min (1.0, std::abs (centre[noiseBin]) / centreLevel);
    std::vector<double> rollOff (n);
    for (size_t k = 0; k < n; ++k)
    {
        const double hz = frame.binHz (k);
        rollOff[k] = hz >= kFlatLow      ? 1.0
                     : hz >= kNoiseBelow ? std::min (1.0, std::abs (centre[k]) / centreLevel)
                                         : std::max (1e-6, atNoise * std::pow (hz / kNoiseBelow, 4));
    }
    const Spectrum loudspeaker = minimumPhase (rollOff, fft);

    std::vector<Spectrum> out;
    for (int r = 0; r < kNumResponses; ++r)
    {
        const int f = r % kNumFeeds;
        const double level = std::sqrt (meanMagnitude (spectra[(size_t) f], frame, kFlatLow, kFlatHigh)
                                        * meanMagnitude (spectra[(size_t) (kNumFeeds + f)], frame, kFlatLow, kFlatHigh));
        if (! (level > 0.0))
            throw HrtfError (std::string ("the responses of feed ") + feedLabel (f) + " are silent in the bass");
        Spectrum corrected (n);
        for (size_t k = 0; k < n; ++k)
        {
            const double undo = fadeOut (frame.binHz (k), kUndoFull, kUndoNone);
            corrected[k] = spectra[(size_t) r][k] * (undo / loudspeaker[k] + (1.0 - undo));
        }

        // Delay: start from the onset, then fit the remaining phase (small, so no
        // unwrapping) with a line through the origin.
        const std::vector<double>& x = set.response (r);
        const double peak = std::fabs (x[(size_t) loudestTap (x, 0, x.size())]);
        int onset = 0;
        while (std::fabs (x[(size_t) onset]) < kOnsetFraction * peak)
            ++onset;
        double num = 0.0, den = 0.0;
        for (size_t k = 0; k <= n / 2; ++k)
        {
            if (frame.binHz (k) < kFlatLow || frame.binHz (k) > kFlatHigh)
                continue;
            const double w = 2.0 * kPi * double (k) / double (n);
            num += w * std::arg (corrected[k] * std::polar (1.0, w * onset));
            den += w * w;
        }
        const double delay = onset - num / den;
        if (std::fabs (delay - onset) > kMaxDelayFromOnset * frame.rate)
            throw HrtfError (std::string ("the low-frequency delay of feed ") + feedLabel (f)
                             + " does not fit its onset: the bass of the measurement is unusable");

        Spectrum y (n);
        for (size_t k = 0; k < n; ++k)
        {
            const double low = fadeOut (frame.binHz (k), kCrossLow, kCrossHigh);
            const double signedK = k <= n / 2 ? double (k) : double (k) - double (n);
            const Complex flat = std::polar (level, -2.0 * kPi * signedK * delay / double (n));
            y[k] = (1.0 - low) * corrected[k] + low * flat;
        }
        out.push_back (std::move (y));
        notes[(size_t) r].lowBandGain = level;
        notes[(size_t) r].lowBandDelay = delay;
        notes[(size_t) r].onset = onset;
    }
    return out;
}

/** Power average over every measurement, smoothed in fractional octaves. Bins 0 … n/2. */
std::vector<double> diffuseFieldPower (const MeasuredSet& set, const ComplexFft& fft, const Frame& frame)
{
    const size_t half = frame.size / 2;
    std::vector<double> power (half + 1, 0.0);
    for (const auto& measurement : set.measurements)
    {
        const Spectrum s = transformOf (measurement, fft);
        for (size_t k = 0; k <= half; ++k)
            power[k] += std::norm (s[k]);
    }
    for (auto& p : power)
        p /= double (set.measurements.size());

    std::vector<double> prefix (half + 2, 0.0);
    for (size_t k = 0; k <= half; ++k)
        prefix[k + 1] = prefix[k] + power[k];
    std::vector<double> smoothed (half + 1);
    const double edge = std::pow (2.0, kSmoothingOctaves / 2.0);
    for (size_t k = 0; k <= half; ++k)
    {
        const auto low = (size_t) std::max (0.0, std::ceil (double (k) / edge));
        const auto high = std::min (half, (size_t) std::floor (double (k) * edge));
        smoothed[k] = high > low ? (prefix[high + 1] - prefix[low]) / double (high + 1 - low) : power[k];
    }
    return smoothed;
}

/** The diffuse-field magnitude as a natural logarithm per bin 0 … n/2, held at both band
    edges, relative to the reference band. */
std::vector<double> regularisedDiffuseField (const MeasuredSet& set, const ComplexFft& fft, const Frame& frame)
{
    const auto power = diffuseFieldPower (set, fft, frame);
    const size_t half = frame.size / 2;
    std::vector<double> level (half + 1);
    for (size_t k = 0; k <= half; ++k)
        level[k] = 0.5 * std::log (std::max (power[k], 1e-30));

    double lowSum = 0.0;
    int lowCount = 0;
    for (size_t k = 0; k <= half; ++k)
        if (frame.binHz (k) >= kFlatLow && frame.binHz (k) <= kFlatHigh)
        {
            lowSum += level[k];
            ++lowCount;
        }
    if (lowCount == 0)
        throw HrtfError ("the responses are too short to measure their bass");
    const double lowHold = lowSum / lowCount;

    size_t highBin = half;
    while (highBin > 0 && frame.binHz (highBin) > kHoldAboveLow)
        --highBin;
    const double highHold = level[highBin];

    for (size_t k = 0; k <= half; ++k)
    {
        const double hz = frame.binHz (k);
        const double belowWeight = fadeOut (hz, kHoldBelowLow, kHoldBelowHigh);
        const double aboveWeight = 1.0 - fadeOut (hz, kHoldAboveLow, kHoldAboveHigh);
        const double held = belowWeight * lowHold + aboveWeight * highHold;
        level[k] = held + (1.0 - belowWeight - aboveWeight) * level[k] - lowHold;
    }
    return level;
}

/** The minimum-phase filter that removes the diffuse-field response, full spectrum. */
Spectrum diffuseFieldInverse (const MeasuredSet& set, const ComplexFft& fft, const Frame& frame)
{
    const auto level = regularisedDiffuseField (set, fft, frame);
    std::vector<double> magnitude (frame.size);
    for (size_t k = 0; k < frame.size; ++k)
        magnitude[k] = std::exp (-level[std::min (k, frame.size - k)]);
    return minimumPhase (magnitude, fft);
}

TimedResponse timeLineOf (Spectrum spectrum, const ComplexFft& fft)
{
    const size_t n = spectrum.size();
    fft.transform (spectrum, +1);
    TimedResponse timed;
    timed.origin = (int) (double (n) * kLeadFraction);
    timed.samples.resize (n);
    // What lies before time zero has wrapped round to the end of the transform.
    for (size_t i = 0; i < n; ++i)
        timed.samples[i] = spectrum[(i + n - (size_t) timed.origin) % n].real() / double (n);
    return timed;
}

double energy (const float* x, int n) noexcept
{
    double e = 0.0;
    for (int i = 0; i < n; ++i)
        e += double (x[i]) * x[i];
    return e;
}
} // namespace

double ResponseTable::worstEnergyOutside() const noexcept
{
    double worst = 0.0;
    for (int m = 0; m < kNumResponses; ++m)
        if (feedIsHeard (m % kNumFeeds))
            worst = std::max (worst, notes[(size_t) m].energyOutside);
    return worst;
}

ResponseTable finishTable (const std::array<TimedResponse, kNumResponses>& responses, double sampleRate, int taps,
                           int peakSearch, int peakTap)
{
    if (peakTap < 0 || taps <= peakTap + kFadeTaps)
        throw HrtfError ("too few taps for a table");

    // One shift for all responses keeps interaural delays intact.
    int earliest = peakSearch;
    for (const auto& r : responses)
        earliest = std::min (earliest, loudestTap (r.samples, (size_t) r.origin, (size_t) peakSearch) - r.origin);
    const int shift = earliest - peakTap;

    ResponseTable table;
    table.sampleRate = sampleRate;
    table.taps = taps;
    table.shift = shift;
    table.values.assign ((size_t) (kNumResponses * taps), 0.0f);

    std::vector<std::vector<double>> cut ((size_t) kNumResponses, std::vector<double> ((size_t) taps));
    for (int r = 0; r < kNumResponses; ++r)
    {
        const auto& x = responses[(size_t) r].samples;
        const long first = responses[(size_t) r].origin + shift;
        double kept = 0.0, total = 0.0;
        for (const double v : x)
            total += v * v;
        for (int t = 0; t < taps; ++t)
        {
            const long i = first + t;
            const double v = i >= 0 && i < (long) x.size() ? x[(size_t) i] : 0.0;
            kept += v * v;
            const int k = t - (taps - kFadeTaps);
            const double w = k < 0 ? 1.0 : 0.5 * (1.0 + std::cos (kPi * (k + 1) / (kFadeTaps + 1)));
            cut[(size_t) r][(size_t) t] = v * w;
        }
        if (! (total > 0.0))
            throw HrtfError (std::string ("the ") + (r < kNumFeeds ? "left" : "right") + "-ear response of feed "
                             + feedLabel (r % kNumFeeds) + " is silent");
        table.notes[(size_t) r].energyOutside = std::max (0.0, 1.0 - kept / total);
    }

    // One gain per ear: the centre response of each ear gets unit energy.
    for (int ear = 0; ear < kNumEars; ++ear)
    {
        double e = 0.0;
        for (const double v : cut[(size_t) (ear * kNumFeeds + kCentre)])
            e += v * v;
        if (! (e > 0.0))
            throw HrtfError ("the centre response falls outside the kept taps");
        table.gains[(size_t) ear] = 1.0 / std::sqrt (e);
    }
    for (int r = 0; r < kNumResponses; ++r)
        for (int t = 0; t < taps; ++t)
            table.values[(size_t) (r * taps + t)] = (float) (cut[(size_t) r][(size_t) t] * table.gains[(size_t) (r / kNumFeeds)]);

    for (int r = 0; r < kNumResponses; ++r)
        for (int t = 0; t < taps; ++t)
            if (! std::isfinite (table.values[(size_t) (r * taps + t)]))
                throw HrtfError ("the processed responses are not finite");
    for (int ear = 0; ear < kNumEars; ++ear)
        if (std::fabs (energy (table.response (ear * kNumFeeds + kCentre), taps) - 1.0) > 1e-6)
            throw HrtfError ("centre response energy is not 1");

    // Lateral feeds: the near ear must stay louder and earlier.
    for (int f = 0; f < kNumFeeds; ++f)
    {
        const int d = feedDirection (f);
        if (d % 180 == 0)
            continue;
        const int nearEar = d < 180 ? 1 : 0;
        const float* nearResponse = table.response (nearEar * kNumFeeds + f);
        const float* farResponse = table.response ((1 - nearEar) * kNumFeeds + f);
        std::vector<double> n (nearResponse, nearResponse + taps), fr (farResponse, farResponse + taps);
        if (! (energy (nearResponse, taps) > energy (farResponse, taps) && loudestTap (n, 0, (size_t) taps) < loudestTap (fr, 0, (size_t) taps)))
            throw HrtfError (std::string ("the near ear of feed ") + feedLabel (f) + " (" + std::to_string (d)
                             + " degrees) is not louder and earlier than the far ear: are the ears swapped?");
    }
    return table;
}

ResponseTable makeResponseTable (const MeasuredSet& set, const PipelineSettings& settings)
{
    if (! (set.sampleRate > 0.0) || set.length <= 0 || set.measurements.empty())
        throw HrtfError ("the set holds no responses");

    const Frame frame { frameSizeFor (set), set.sampleRate };
    const ComplexFft fft (frame.size);

    std::array<ResponseNotes, kNumResponses> notes {};
    auto spectra = repairBass (set, fft, frame, notes);
    if (settings.diffuseFieldEqualisation)
    {
        const Spectrum inverse = diffuseFieldInverse (set, fft, frame);
        for (auto& s : spectra)
            for (size_t k = 0; k < frame.size; ++k)
                s[k] *= inverse[k];
    }

    std::array<TimedResponse, kNumResponses> timed;
    for (int r = 0; r < kNumResponses; ++r)
        timed[(size_t) r] = timeLineOf (std::move (spectra[(size_t) r]), fft);

    int peakSearch = set.length;
    if (settings.sampleRate != set.sampleRate)
    {
        const Resampler resampler (set.sampleRate, settings.sampleRate);
        for (auto& t : timed)
            t = resampler.process (t);
        peakSearch = (int) std::ceil (set.length * settings.sampleRate / set.sampleRate);
    }

    auto table = finishTable (timed, settings.sampleRate, settings.taps, peakSearch, settings.peakTap);
    for (int r = 0; r < kNumResponses; ++r)
    {
        const double outside = table.notes[(size_t) r].energyOutside;
        table.notes[(size_t) r] = notes[(size_t) r];
        table.notes[(size_t) r].energyOutside = outside;
    }
    return table;
}

ResponseTable resampleTable (const float* values, int taps, double fromRate, const PipelineSettings& settings)
{
    if (settings.sampleRate == fromRate && settings.taps == taps)
    {
        ResponseTable table;
        table.sampleRate = fromRate;
        table.taps = taps;
        table.values.assign (values, values + (size_t) (kNumResponses * taps));
        table.gains = { 1.0, 1.0 };
        return table;
    }

    const Resampler resampler (fromRate, settings.sampleRate);
    std::array<TimedResponse, kNumResponses> timed;
    for (int r = 0; r < kNumResponses; ++r)
    {
        TimedResponse response;
        response.samples.assign (values + (size_t) (r * taps), values + (size_t) ((r + 1) * taps));
        timed[(size_t) r] = resampler.process (response);
    }
    const int peakSearch = (int) std::ceil (taps * settings.sampleRate / fromRate);
    return finishTable (timed, settings.sampleRate, settings.taps, peakSearch, settings.peakTap);
}

int tapsAtRate (int taps, double fromRate, double toRate, int peakTap) noexcept
{
    return peakTap + (int) std::ceil ((double) (taps - peakTap) * toRate / fromRate);
}

ResponseTable tableForRate (const float* values, int taps, double fromRate, double toRate)
{
    if (! (toRate > 0.0) || ! std::isfinite (toRate))
        throw HrtfError ("no table for a sample rate of " + std::to_string (toRate) + " Hz");
    PipelineSettings settings;
    settings.sampleRate = toRate;
    settings.taps = std::min (tapsAtRate (taps, fromRate, toRate), ConvolutionFilters::kLongestResponse);
    return resampleTable (values, taps, fromRate, settings);
}

std::vector<double> diffuseFieldDb (const MeasuredSet& set, const std::vector<double>& hz)
{
    const Frame frame { frameSizeFor (set), set.sampleRate };
    const ComplexFft fft (frame.size);
    const auto level = regularisedDiffuseField (set, fft, frame);
    std::vector<double> result;
    for (const double f : hz)
    {
        const auto k = (size_t) std::clamp (std::lround (f * double (frame.size) / frame.rate), 0L, (long) frame.size / 2);
        result.push_back (20.0 / std::log (10.0) * level[k]);
    }
    return result;
}
} // namespace vendrasolith::hrtf
