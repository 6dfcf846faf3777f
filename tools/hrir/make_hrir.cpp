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

    // One shift for all responses keeps interaural delays intact.
    int earliest = n;
    for (const auto& r : raw) earliest = std::min(earliest, peakTap(r.data(), n));
    const int shift = earliest - kPeakTap;
    if (shift < 0 || shift + kTaps > n) fail("cannot place the earliest peak at the target tap");

    std::vector<std::vector<double>> cut(kResponses, std::vector<double>(kTaps));
    std::vector<double> kept(kResponses);
    for (int r = 0; r < kResponses; ++r) {
        for (int t = 0; t < kTaps; ++t) {
            const int k = t - (kTaps - kFadeTaps);
            const double w = k < 0 ? 1.0 : 0.5 * (1.0 + std::cos(kPi * (k + 1) / (kFadeTaps + 1)));
            cut[r][t] = raw[r][shift + t] * w;
        }
        kept[r] = energy(cut[r].data(), kTaps) / energy(raw[r].data() + shift, n - shift);
    }

    // One gain per ear: the centre response of each ear gets unit energy.
    const int centre = 2;
    double gain[2];
    for (int ear = 0; ear < 2; ++ear) gain[ear] = 1.0 / std::sqrt(energy(cut[ear * kFeeds + centre].data(), kTaps));

    std::vector<float> table(kResponses * kTaps);
    for (int r = 0; r < kResponses; ++r)
        for (int t = 0; t < kTaps; ++t) table[r * kTaps + t] = static_cast<float>(cut[r][t] * gain[r / kFeeds]);

    std::printf("shift %d taps, fade %d taps (raised cosine), gains left %.9f right %.9f\n", shift, kFadeTaps,
                gain[0], gain[1]);
    std::printf(" m ear feed      peak tap     value   energy  kept%%   tap sum\n");
    for (int r = 0; r < kResponses; ++r) {
        const float* x = table.data() + r * kTaps;
        double e = 0.0, sum = 0.0;
        int p = 0;
        for (int t = 0; t < kTaps; ++t) {
            e += double(x[t]) * x[t];
            sum += x[t];
            if (std::fabs(x[t]) > std::fabs(x[p])) p = t;
        }
        std::printf("%2d  %c  %d %-3s      %3d   %+.5f  %.6f  %6.3f  %+.5f\n", r, r < kFeeds ? 'L' : 'R', r % kFeeds,
                    kFeedTable[r % kFeeds].label, p, x[p], e, 100.0 * kept[r], sum);
        if (r % kFeeds == centre && std::fabs(e - 1.0) > 1e-6) fail("centre response energy is not 1");
    }

    writeLittleEndian(output, table);
    return 0;
}
