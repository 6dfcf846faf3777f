// After garbage on the input, the plug-in must sound normal again at once: a host that
// briefly feeds NaN, infinities or absurd levels must not be left with a dead or
// poisoned track.
#include "VantorAudioProcessor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace
{
constexpr int kLength = 12000;
constexpr int kBurstStart = 3000, kBurstEnd = 3301; // the last bad sample is kBurstEnd - 1
constexpr int kBlock = 512;
// A bad sample reaches the output through one hop of the convolver at most: its frame
// ends 1791 samples after the sample.
constexpr int kRecoveryLimit = 1792;

/** Renders tones (a different one per channel) with the burst window filled with a value. */
juce::AudioBuffer<float> render (int configuration, int ins, int bassStep, float burstValue)
{
    VantorAudioProcessor processor (juce::PluginHostType::UnknownHost);
    processor.setPlayConfigDetails (ins, 2, 48000.0, kBlock);
    processor.requestInputConfiguration (configuration);
    processor.prepareToPlay (48000.0, kBlock);
    processor.setBassBoostStep (bassStep);

    const int channels = std::max (ins, 2);
    juce::AudioBuffer<float> buffer (channels, kLength);
    for (int c = 0; c < channels; ++c)
        for (int k = 0; k < kLength; ++k)
            buffer.setSample (c, k, c < ins ? 0.3f * std::sin (0.01f * (float) (c + 1) * (float) k) : 0.0f);
    for (int c = 0; c < ins; ++c)
        for (int k = kBurstStart; k < kBurstEnd; ++k)
            buffer.setSample (c, k, burstValue);

    juce::MidiBuffer midi;
    for (int offset = 0; offset < kLength; offset += kBlock)
    {
        juce::AudioBuffer<float> block (buffer.getArrayOfWritePointers(), channels, offset, std::min (kBlock, kLength - offset));
        processor.processBlock (block, midi);
    }
    return buffer;
}

struct Layout
{
    int configuration, ins;
};
constexpr Layout layouts[] = { { 0, 1 }, { 1, 2 }, { 2, 6 }, { 8, 6 }, { 5, 8 }, { 9, 8 } };

// Non-finite and denormal samples are rendered exactly as silence would be.
TEST (Recovery, NonFiniteAndDenormalBurstsSoundExactlyLikeSilence)
{
    const float values[] = { std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                             -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::denorm_min(),
                             -1.0e-40f };
    for (const auto& layout : layouts)
    {
        const auto reference = render (layout.configuration, layout.ins, 2, 0.0f);
        for (float value : values)
        {
            SCOPED_TRACE ("configuration " + std::to_string (layout.configuration) + ", burst of " + std::to_string (value));
            const auto out = render (layout.configuration, layout.ins, 2, value);
            for (int c = 0; c < 2; ++c)
                for (int k = 0; k < kLength; ++k)
                    ASSERT_EQ (out.getSample (c, k), reference.getSample (c, k)) << "channel " << c << " sample " << k;
        }
    }
}

// Finite but absurd levels may overflow inside the convolution; the damage must end
// within one convolution frame of the last such sample, and the signal must come back.
TEST (Recovery, OverflowingBurstsLeaveNoTraceAfterOneFrame)
{
    const float values[] = { std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(), 1.0e37f };
    const int firstClean = kBurstEnd - 1 + kRecoveryLimit;

    for (const auto& layout : layouts)
    {
        for (int bassStep : { 0, 3 })
        {
            const auto reference = render (layout.configuration, layout.ins, bassStep, 0.0f);
            const float peak = reference.getMagnitude (0, 0, kLength);
            for (float value : values)
            {
                SCOPED_TRACE ("configuration " + std::to_string (layout.configuration) + ", bass step "
                              + std::to_string (bassStep) + ", burst of " + std::to_string (value));
                const auto out = render (layout.configuration, layout.ins, bassStep, value);
                for (int c = 0; c < 2; ++c)
                {
                    for (int k = 0; k < kBurstStart; ++k)
                        ASSERT_EQ (out.getSample (c, k), reference.getSample (c, k)) << "channel " << c << " sample " << k;

                    for (int k = firstClean; k < kLength; ++k)
                    {
                        ASSERT_TRUE (std::isfinite (out.getSample (c, k))) << "channel " << c << " sample " << k;
                        // The bass boost's low-pass remembers the burst a little longer (it
                        // restarts from silence after a non-finite value, a step in proportion
                        // to the bass it held); the rest is exact.
                        if (bassStep == 0)
                            ASSERT_EQ (out.getSample (c, k), reference.getSample (c, k)) << "channel " << c << " sample " << k;
                        else
                            ASSERT_NEAR (out.getSample (c, k), reference.getSample (c, k), 0.15f * peak) << "channel " << c << " sample " << k;
                    }
                }
            }
        }
    }
}
} // namespace
