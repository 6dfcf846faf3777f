// The built-in demo scene, through the plug-in's processor as the offline renderer runs it,
// sounds the same whichever FFT backend the convolver transforms with.
#include "DemoScene.h"
#include "VantorAudioProcessor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace
{
using vendrasolith::FftBackend;

/** The demo's binaural pair, rendered in 512-sample blocks. */
std::vector<std::vector<float>> renderDemo (FftBackend backend)
{
    using vendrasolith::cli::DemoScene;
    constexpr int kBlock = 512;
    VantorAudioProcessor processor (juce::PluginHostType::UnknownHost, backend);
    processor.setPlayConfigDetails (DemoScene::kNumChannels, 2, DemoScene::kSampleRate, kBlock);
    processor.requestInputConfiguration (DemoScene::kConfiguration);
    processor.prepareToPlay (DemoScene::kSampleRate, kBlock);

    DemoScene scene;
    const auto length = (int) scene.lengthInFrames();
    std::vector<std::vector<float>> out (2, std::vector<float> ((size_t) length));
    juce::AudioBuffer<float> buffer (DemoScene::kNumChannels, kBlock);
    juce::MidiBuffer midi;
    for (int position = 0; position < length; position += kBlock)
    {
        const int n = std::min (kBlock, length - position);
        juce::AudioBuffer<float> block (buffer.getArrayOfWritePointers(), DemoScene::kNumChannels, n);
        EXPECT_TRUE (scene.readNext (block.getArrayOfWritePointers(), DemoScene::kNumChannels, n));
        processor.processBlock (block, midi);
        for (int ear = 0; ear < 2; ++ear)
            std::copy (block.getReadPointer (ear), block.getReadPointer (ear) + n, out[(size_t) ear].begin() + position);
    }
    return out;
}
} // namespace

TEST (DemoScene, RendersAlikeOnBothFftBackends)
{
    if (! vendrasolith::isFftBackendAvailable (FftBackend::fftw))
        GTEST_SKIP() << "built without FFTW: there is one backend only";

    const auto fftw = renderDemo (FftBackend::fftw), kiss = renderDemo (FftBackend::kiss);
    float peak = 0.0f, difference = 0.0f;
    for (size_t ear = 0; ear < 2; ++ear)
        for (size_t k = 0; k < kiss[ear].size(); ++k)
        {
            peak = std::max (peak, std::abs (kiss[ear][k]));
            difference = std::max (difference, std::abs (fftw[ear][k] - kiss[ear][k]));
        }
    EXPECT_GT (peak, 0.3f) << "the demo must be heard for the comparison to mean anything";
    EXPECT_LT (difference, 1.0e-6f) << "of full scale";
    // The two libraries round differently: output equal to the bit would mean one ran twice.
    EXPECT_GT (difference, 0.0f);
}
