#include "DemoScene.h"

#include <algorithm>
#include <cmath>

namespace vendrasolith::cli
{
namespace
{
constexpr double kBurstStarts[] = { 0.05, 0.30, 0.55 }; // seconds into each position
constexpr double kAttack = 0.004;                        // seconds to rise
constexpr double kDecay = 0.040;                         // seconds per e-fold of the fall
constexpr double kBurstLength = 0.40;                    // below -80 dB by then
constexpr float kLevel = 0.18f;                          // peaks near -5 dBFS after rendering
} // namespace

float DemoScene::nextPink() noexcept
{
    // White noise from a 32-bit xorshift (the same on every platform, unlike the standard
    // library's distributions), shaped to a -3 dB/octave slope by three one-pole sections.
    noiseState ^= noiseState << 13;
    noiseState ^= noiseState >> 17;
    noiseState ^= noiseState << 5;
    const float white = (float) noiseState * (2.0f / 4294967296.0f) - 1.0f;

    b0 = 0.99765f * b0 + white * 0.0990460f;
    b1 = 0.96300f * b1 + white * 0.2965164f;
    b2 = 0.57000f * b2 + white * 1.0526913f;
    return b0 + b1 + b2 + white * 0.1848f;
}

float DemoScene::envelope (int frameInPosition) noexcept
{
    const double t = frameInPosition / kSampleRate;
    for (const double start : kBurstStarts)
    {
        const double u = t - start;
        if (u >= 0.0 && u < kBurstLength)
            return (float) (std::min (1.0, u / kAttack) * std::exp (-u / kDecay));
    }
    return 0.0f;
}

bool DemoScene::readNext (float* const* dest, int numDest, int numFrames)
{
    for (int c = 0; c < numDest; ++c)
        std::fill_n (dest[c], numFrames, 0.0f);

    for (int k = 0; k < numFrames; ++k, ++position)
    {
        const float pink = nextPink(); // runs on through the silences
        if (position >= lengthInFrames())
            continue;

        const auto index = (size_t) (position / kFramesPerPosition);
        const int channel = kChannelOrder[index];
        if (channel < numDest)
            dest[channel][k] = kLevel * pink * envelope ((int) (position % kFramesPerPosition));
    }
    return true;
}
} // namespace vendrasolith::cli
