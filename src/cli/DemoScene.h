#pragma once

#include "SampleSource.h"

#include <array>
#include <cstdint>

namespace vendrasolith::cli
{
/** The built-in demo: a 7.1 scene (channel order L R C LFE Lsr Rsr Lss Rss) at 48 kHz in
    which a short pink-noise burst, played three times, steps once a second through the
    loudspeakers clockwise from the front left: L, C, R, Rss, Rsr, Lsr, Lss. The LFE stays
    silent. Generated as it is read, the same every time. */
class DemoScene final : public SampleSource
{
public:
    static constexpr double kSampleRate = 48000.0;
    static constexpr int kFramesPerPosition = 48000;
    static constexpr int kNumChannels = 8;
    /** The configuration the scene is written for: "L R C LFE Lsr Rsr Lss Rss". */
    static constexpr int kConfiguration = 5;
    /** The channel sounding in each second of the scene. */
    static constexpr std::array<int, 7> kChannelOrder { 0, 2, 1, 7, 5, 4, 6 };
    static constexpr std::array<const char*, 7> kPositionNames { "L", "C", "R", "Rss", "Rsr", "Lsr", "Lss" };

    double sampleRate() const override { return kSampleRate; }
    juce::int64 lengthInFrames() const override { return (juce::int64) kFramesPerPosition * (juce::int64) kChannelOrder.size(); }
    int numChannels() const override { return kNumChannels; }
    bool readNext (float* const* dest, int numDest, int numFrames) override;

private:
    float nextPink() noexcept;
    static float envelope (int frameInPosition) noexcept;

    juce::int64 position = 0;
    std::uint32_t noiseState = 0x2545f491u;
    float b0 = 0.0f, b1 = 0.0f, b2 = 0.0f;
};
} // namespace vendrasolith::cli
