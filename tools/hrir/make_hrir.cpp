// make_hrir: builds the 16 x 256-tap HRIR table the renderer embeds, from the
// MIT KEMAR "normal pinna" SOFA file (Gardner & Martin, MIT Media Lab, 1994).
//
//   make_hrir [input.sofa] <output.f32>
//
// Output: 4096 little-endian float32 values, output-major: response m holds
// taps 256*m .. 256*m+255 and belongs to ear m/8 (0 = left) and feed m%8.
// The result depends only on the input file, so a rerun is byte-identical.

#include <mysofa.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr const char* kDefaultInput = "/usr/share/libmysofa/MIT_KEMAR_normal_pinna.sofa";
constexpr int kFeeds = 8;
constexpr int kTaps = 256;
constexpr int kResponses = 2 * kFeeds;
constexpr int kPeakTap = 23;  // earliest main peak; the plug-in's latency assumes it
constexpr int kFadeTaps = 24; // raised-cosine fade at the end of every response
constexpr double kSampleRate = 44100.0;
constexpr double kMaxAngleError = 0.5; // degrees
constexpr double kPi = 3.14159265358979323846;
constexpr int kCentre = 2;

// Bass repair (see repairBass). The measurements still contain the loudspeaker,
// which rolls off below ~150 Hz and sinks into noise below ~60 Hz.
constexpr int kDftSize = 2048;         // zero padding leaves room for the low band's tails
constexpr double kFlatLow = 200.0;     // reference band: loudspeaker flat, head still small
constexpr double kFlatHigh = 400.0;
constexpr double kNoiseBelow = 60.0;   // below: roll-off estimate continued at 24 dB/octave
constexpr double kCrossLow = 150.0;    // synthetic low band up to here, then a raised-cosine
constexpr double kCrossHigh = 400.0;   // crossover to the corrected measurement
constexpr double kUndoFull = 1000.0;   // loudspeaker divided out up to here, fading out so
constexpr double kUndoNone = 2000.0;   // that the upper range (waveform, peaks) stays as measured
constexpr double kOnsetFraction = 0.1; // onset = first tap at 10 % of the peak; seeds the delay fit

struct Feed { const char* label; int direction; };
// Directions clockwise from straight ahead (90 = listener's right). The LFE
// feed is never panned to; it takes the rear position so its slot holds a
// plausible response.
constexpr Feed kFeedTable[kFeeds] = {{"L", 330},   {"R", 30},    {"C", 0},     {"LFE", 180},
                                     {"Lsr", 250}, {"Rsr", 110}, {"Lss", 270}, {"Rss", 90}};

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "make_hrir: %s\n", what);
    std::exit(1);
}

// Index of the measured source position nearest to SOFA azimuth az (degrees,
// counter-clockwise), elevation 0. Positions must be cartesian.
unsigned nearestMeasurement(const MYSOFA_HRTF& h, double az, double& bestAngle) {
    const double want[3] = {std::cos(az * kPi / 180.0), std::sin(az * kPi / 180.0), 0.0};
    unsigned best = 0;
    bestAngle = 1e9;
    for (unsigned m = 0; m < h.M; ++m) {
        const float* p = h.SourcePosition.values + 3 * m;
        const double dot = p[0] * want[0] + p[1] * want[1] + p[2] * want[2];
        const double cx = p[1] * want[2] - p[2] * want[1], cy = p[2] * want[0] - p[0] * want[2],
                     cz = p[0] * want[1] - p[1] * want[0];
        const double angle = std::atan2(std::sqrt(cx * cx + cy * cy + cz * cz), dot) * 180.0 / kPi;
        if (angle < bestAngle) { bestAngle = angle; best = m; }
    }
    if (bestAngle > kMaxAngleError) fail("no measured position within 0.5 degrees of a feed direction");
    return best;
}

int peakTap(const double* x, int n) {
    int k = 0;
    for (int i = 1; i < n; ++i)
        if (std::fabs(x[i]) > std::fabs(x[k])) k = i;
    return k;
}

double energy(const double* x, int n) {
    double e = 0.0;
    for (int i = 0; i < n; ++i) e += x[i] * x[i];
    return e;
}

using Complex = std::complex<double>;
using Spectrum = std::vector<Complex>;

// Plain O(n^2) DFT, unscaled; sign -1 forward, +1 inverse.
Spectrum dft(const Spectrum& x, int sign) {
    const size_t n = x.size();
    Spectrum twiddle(n), y(n);
    for (size_t k = 0; k < n; ++k) twiddle[k] = std::polar(1.0, sign * 2.0 * kPi * double(k) / double(n));
    for (size_t k = 0; k < n; ++k) {
        Complex sum = 0.0;
        for (size_t t = 0, i = 0; t < n; ++t, i = (i + k) % n) sum += x[t] * twiddle[i];
        y[k] = sum;
    }
    return y;
}

// Minimum-phase spectrum with the given magnitude (folded real cepstrum).
Spectrum minimumPhase(const std::vector<double>& magnitude) {
    const size_t n = magnitude.size();
    Spectrum c(n);
    for (size_t k = 0; k < n; ++k) c[k] = std::log(magnitude[k]);
    c = dft(c, +1);
    for (size_t t = 0; t < n; ++t) c[t] *= (t == 0 || t == n / 2 ? 1.0 : t < n / 2 ? 2.0 : 0.0) / double(n);
    c = dft(c, -1);
    for (auto& v : c) v = std::exp(v);
    return c;
}

double binHz(int k) { return std::min(k, kDftSize - k) * kSampleRate / kDftSize; }

// 1 up to `from`, raised-cosine down to 0 at `to`.
double fadeOut(double hz, double from, double to) {
    return hz <= from ? 1.0 : hz >= to ? 0.0 : 0.5 * (1.0 + std::cos(kPi * (hz - from) / (to - from)));
}

double meanMagnitude(const Spectrum& x, double lowHz, double highHz) {
    double sum = 0.0;
    int count = 0;
    for (int k = 0; k <= kDftSize / 2; ++k)
        if (binHz(k) >= lowHz && binHz(k) <= highHz) { sum += std::abs(x[k]); ++count; }
    return sum / count;
}

// Puts back the bass the measuring loudspeaker took away.
// Above the crossover, the loudspeaker's roll-off (estimated from the centre
// response) is divided out as a minimum-phase filter, faded out above 1 kHz;
// this also removes its phase lead, so both bands agree where they overlap
// and the low band's delay can be read off the phase. Below, the measurement
// is useless, but a head is acoustically small there: each response becomes a
// flat gain, the same for both ears of a feed, and a pure delay fitted to the
// response's own corrected phase in the reference band, which keeps the
// low-frequency interaural time difference as measured. Returns kDftSize taps
// per response; anything before tap 0 has wrapped to the end.
std::vector<std::vector<double>> repairBass(const std::vector<std::vector<double>>& raw) {
    std::vector<Spectrum> spectra(kResponses);
    for (int r = 0; r < kResponses; ++r) {
        Spectrum x(kDftSize, 0.0);
        std::copy(raw[r].begin(), raw[r].end(), x.begin());
        spectra[r] = dft(x, -1);
    }

    const Spectrum& centre = spectra[kCentre];
    const double centreLevel = meanMagnitude(centre, kFlatLow, kFlatHigh);
    const int noiseBin = static_cast<int>(std::lround(kNoiseBelow * kDftSize / kSampleRate));
    const double atNoise = std::min(1.0, std::abs(centre[noiseBin]) / centreLevel);
    std::vector<double> rollOff(kDftSize);
    for (int k = 0; k < kDftSize; ++k) {
        const double hz = binHz(k);
        rollOff[k] = hz >= kFlatLow      ? 1.0
                     : hz >= kNoiseBelow ? std::min(1.0, std::abs(centre[k]) / centreLevel)
                                         : std::max(1e-6, atNoise * std::pow(hz / kNoiseBelow, 4));
    }
    const Spectrum loudspeaker = minimumPhase(rollOff);

    std::vector<std::vector<double>> out(kResponses, std::vector<double>(kDftSize));
    for (int r = 0; r < kResponses; ++r) {
        const int f = r % kFeeds;
        const double level = std::sqrt(meanMagnitude(spectra[f], kFlatLow, kFlatHigh) *
                                       meanMagnitude(spectra[kFeeds + f], kFlatLow, kFlatHigh));
        Spectrum corrected(kDftSize);
        for (int k = 0; k < kDftSize; ++k) {
            const double undo = fadeOut(binHz(k), kUndoFull, kUndoNone);
            corrected[k] = spectra[r][k] * (undo / loudspeaker[k] + (1.0 - undo));
        }

        // Delay: start from the onset, then fit the remaining phase (small,
        // so no unwrapping) with a line through the origin.
        const std::vector<double>& x = raw[r];
        const double peak = std::fabs(x[peakTap(x.data(), static_cast<int>(x.size()))]);
        int onset = 0;
        while (std::fabs(x[onset]) < kOnsetFraction * peak) ++onset;
        double num = 0.0, den = 0.0;
        for (int k = 0; k <= kDftSize / 2; ++k) {
            if (binHz(k) < kFlatLow || binHz(k) > kFlatHigh) continue;
            const double w = 2.0 * kPi * k / kDftSize;
            num += w * std::arg(corrected[k] * std::polar(1.0, w * onset));
            den += w * w;
        }
        const double delay = onset - num / den;
        if (std::fabs(delay - onset) > 20.0) fail("low-frequency delay fit is far from the onset");

        Spectrum y(kDftSize);
        for (int k = 0; k < kDftSize; ++k) {
            const double low = fadeOut(binHz(k), kCrossLow, kCrossHigh);
            const int signedK = k <= kDftSize / 2 ? k : k - kDftSize;
            const Complex flat = std::polar(level, -2.0 * kPi * signedK * delay / kDftSize);
            y[k] = (1.0 - low) * corrected[k] + low * flat;
        }
        y = dft(y, +1);
        for (int t = 0; t < kDftSize; ++t) out[r][t] = y[t].real() / kDftSize;
        std::printf("response %2d: low band %.4f, delay %.2f taps (onset %d)\n", r, level, delay, onset);
    }
    return out;
}

void checkLayout(const MYSOFA_HRTF& h) {
    if (h.R != 2 || h.E != 1) fail("expected two receivers and one emitter");
    if (h.DataSamplingRate.elements < 1 || h.DataSamplingRate.values[0] != kSampleRate)
        fail("expected data at 44.1 kHz");
    if (h.N < 2u * kTaps) fail("responses shorter than expected");
    // Receiver 0 must be the left ear: positive y in SOFA's listener frame.
    const float* rp = h.ReceiverPosition.values;
    if (h.ReceiverPosition.elements < 6 || !(rp[1] > 0.0f && rp[4] < 0.0f)) fail("receiver 0 is not the left ear");
    // Listener must face +x so that azimuth 0 is straight ahead.
    const float* lv = h.ListenerView.values;
    if (h.ListenerView.elements >= 3 && !(lv[0] > 0.0f && lv[1] == 0.0f && lv[2] == 0.0f))
        fail("listener does not face azimuth 0");
    for (unsigned i = 0; i < h.DataDelay.elements; ++i)
        if (h.DataDelay.values[i] != 0.0f) fail("non-zero broadband delays are not supported");
}

void writeLittleEndian(const char* path, const std::vector<float>& table) {
    std::vector<unsigned char> bytes(table.size() * 4);
    for (size_t i = 0; i < table.size(); ++i) {
        std::uint32_t u;
        std::memcpy(&u, &table[i], 4);
        for (int b = 0; b < 4; ++b) bytes[4 * i + b] = static_cast<unsigned char>(u >> (8 * b));
    }
    std::FILE* f = std::fopen(path, "wb");
    if (!f) fail("cannot open output file");
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0 || !ok) fail("cannot write output file");
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: make_hrir [input.sofa] <output.f32>\n  default input: %s\n", kDefaultInput);
        return 2;
    }
    const char* input = argc == 3 ? argv[1] : kDefaultInput;
    const char* output = argv[argc - 1];

    int err = 0;
    MYSOFA_HRTF* h = mysofa_load(input, &err);
    if (!h || err != MYSOFA_OK) fail("cannot load SOFA file");
    mysofa_tocartesian(h);
    checkLayout(*h);
    const int n = static_cast<int>(h->N);

    // Raw responses in table order. SOFA azimuths run counter-clockwise.
    std::vector<std::vector<double>> raw(kResponses, std::vector<double>(n));
    for (int f = 0; f < kFeeds; ++f) {
        double off = 0.0;
        const unsigned m = nearestMeasurement(*h, (360 - kFeedTable[f].direction) % 360, off);
        const float* p = h->SourcePosition.values + 3 * m;
        std::printf("feed %d %-3s dir %3d -> SOFA measurement %u at (%.4f, %.4f, %.4f) m, %.2g deg off\n", f,
                    kFeedTable[f].label, kFeedTable[f].direction, m, p[0], p[1], p[2], off);
        for (int ear = 0; ear < 2; ++ear) {
            const float* src = h->DataIR.values + (static_cast<size_t>(m) * h->R + ear) * h->N;
            for (int i = 0; i < n; ++i) raw[ear * kFeeds + f][i] = src[i];
        }
    }
    mysofa_free(h);
    const std::vector<std::vector<double>> full = repairBass(raw);

    // One shift for all responses keeps interaural delays intact.
    int earliest = n;
    for (const auto& r : full) earliest = std::min(earliest, peakTap(r.data(), n));
    const int shift = earliest - kPeakTap;
    if (shift < 0 || shift + kTaps > n) fail("cannot place the earliest peak at the target tap");

    std::vector<std::vector<double>> cut(kResponses, std::vector<double>(kTaps));
    for (int r = 0; r < kResponses; ++r)
        for (int t = 0; t < kTaps; ++t) {
            const int k = t - (kTaps - kFadeTaps);
            const double w = k < 0 ? 1.0 : 0.5 * (1.0 + std::cos(kPi * (k + 1) / (kFadeTaps + 1)));
            cut[r][t] = full[r][shift + t] * w;
        }

    // One gain per ear: the centre response of each ear gets unit energy.
    double gain[2];
    for (int ear = 0; ear < 2; ++ear) gain[ear] = 1.0 / std::sqrt(energy(cut[ear * kFeeds + kCentre].data(), kTaps));

    std::vector<float> table(kResponses * kTaps);
    for (int r = 0; r < kResponses; ++r)
        for (int t = 0; t < kTaps; ++t) table[r * kTaps + t] = static_cast<float>(cut[r][t] * gain[r / kFeeds]);

    std::printf("shift %d taps, fade %d taps (raised cosine), gains left %.9f right %.9f\n", shift, kFadeTaps,
                gain[0], gain[1]);
    std::printf(" m ear feed      peak tap     value   energy  in 220%%   tap sum\n");
    std::vector<double> e(kResponses);
    std::vector<int> p(kResponses);
    for (int r = 0; r < kResponses; ++r) {
        const float* x = table.data() + r * kTaps;
        double e220 = 0.0, sum = 0.0;
        e[r] = 0.0;
        p[r] = 0;
        for (int t = 0; t < kTaps; ++t) {
            e[r] += double(x[t]) * x[t];
            if (t < 220) e220 += double(x[t]) * x[t];
            sum += x[t];
            if (std::fabs(x[t]) > std::fabs(x[p[r]])) p[r] = t;
        }
        std::printf("%2d  %c  %d %-3s      %3d   %+.5f  %.6f  %7.3f  %+.5f\n", r, r < kFeeds ? 'L' : 'R', r % kFeeds,
                    kFeedTable[r % kFeeds].label, p[r], x[p[r]], e[r], 100.0 * e220 / e[r], sum);
        if (r % kFeeds == kCentre && std::fabs(e[r] - 1.0) > 1e-6) fail("centre response energy is not 1");
    }
    // Lateral feeds: the near ear must stay louder and earlier.
    for (int f = 0; f < kFeeds; ++f) {
        const int d = kFeedTable[f].direction;
        if (d % 180 == 0) continue;
        const int near = d < 180 ? kFeeds + f : f, far = d < 180 ? f : kFeeds + f;
        if (!(e[near] > e[far] && p[near] < p[far])) fail("near ear is not louder and earlier than the far ear");
    }

    writeLittleEndian(output, table);
    return 0;
}
