// Bypass as a host drives it: processBlockBypassed instead of processBlock, switched
// between blocks while the audio runs.
#include "ProcessorFixture.h"

#include <algorithm>
#include <limits>
#include <random>
#include <vector>

namespace
{
constexpr int kLatency = 792;

/** A 440 Hz tone, a quarter turn apart on the two channels: its steps are small and known. */
juce::AudioBuffer<float> tone (int samples)
{
    juce::AudioBuffer<float> buffer (2, samples);
    for (int k = 0; k < samples; ++k)
        for (int c = 0; c < 2; ++c)
            buffer.setSample (c, k, 0.5f * (float) std::sin (juce::MathConstants<double>::twoPi * 440.0 * k / 48000.0 + c * juce::MathConstants<double>::halfPi));
    return buffer;
}

std::unique_ptr<HostedProcessor> prepared (int ins, int outs, double sampleRate = 48000.0)
{
    auto host = std::make_unique<HostedProcessor> (ins, outs);
    host->processor->setPlayConfigDetails (ins, outs, sampleRate, 512);
    host->processor->prepareToPlay (sampleRate, 512);
    return host;
}

/** Samples at which the host flips bypass; the run starts processed. */
using Switches = std::vector<int>;

/** Runs a copy of the input through the processor in blocks of blockSize (random lengths
    for 0), always cut at the switches. Without obeyBypass the same cuts are made but every
    block is processed: the reference a switched run is compared with. */
juce::AudioBuffer<float> run (VantorAudioProcessor& processor, const juce::AudioBuffer<float>& input,
                              const Switches& switches, int blockSize, bool obeyBypass = true)
{
    auto buffer = input;
    juce::MidiBuffer midi;
    std::mt19937 rng (11);
    std::uniform_int_distribution<int> randomLength (1, 3000);
    bool bypassed = false;
    size_t next = 0;

    for (int offset = 0; offset < buffer.getNumSamples();)
    {
        for (; next < switches.size() && switches[next] <= offset; ++next)
            bypassed = ! bypassed;

        int n = std::min (blockSize > 0 ? blockSize : randomLength (rng), buffer.getNumSamples() - offset);
        if (next < switches.size())
            n = std::min (n, switches[next] - offset);

        juce::AudioBuffer<float> block (buffer.getArrayOfWritePointers(), buffer.getNumChannels(), offset, n);
        if (bypassed && obeyBypass)
            processor.processBlockBypassed (block, midi);
        else
            processor.processBlock (block, midi);
        offset += n;
    }
    return buffer;
}

/** Host input `channel` as the bypassed output must carry it at sample k. */
float delayedInput (const juce::AudioBuffer<float>& input, int channel, int k)
{
    return k >= kLatency ? input.getSample (channel, k - kLatency) : 0.0f;
}

/** The dry signal's weight at every sample: one step of 1 / fadeLength per sample towards
    the side the last switch chose. */
std::vector<double> dryWeights (const Switches& switches, int length, int fadeLength)
{
    std::vector<double> weights ((size_t) length);
    int steps = 0;
    bool towardsDry = false;
    for (int k = 0; k < length; ++k)
    {
        towardsDry ^= std::count (switches.begin(), switches.end(), k) % 2 == 1;
        steps = std::clamp (steps + (towardsDry ? 1 : -1), 0, fadeLength);
        weights[(size_t) k] = (double) steps / fadeLength;
    }
    return weights;
}

float largestStep (const juce::AudioBuffer<float>& buffer, int channel, int from, int to)
{
    float largest = 0.0f;
    for (int k = from + 1; k < to; ++k)
        largest = std::max (largest, std::abs (buffer.getSample (channel, k) - buffer.getSample (channel, k - 1)));
    return largest;
}

struct Layout
{
    int ins, outs;
    int chosen = -1; // a layout picked in the list, or none
};

TEST (Bypass, OutputsZeroAndOneCarryTheInputLateByTheReportedLatency)
{
    // A single channel read reaches both ears when rendered, so it reaches both outputs
    // bypassed: a mono track, and Mono picked on a stereo track (a mono source on a host
    // that feeds the first input only).
    const Layout layouts[] = { { 2, 2 }, { 1, 2 }, { 2, 2, 0 }, { 6, 6 }, { 8, 2 }, { 8, 8 } };
    constexpr int length = 12000, switchAt = 4000;

    for (const auto& layout : layouts)
    {
        SCOPED_TRACE (std::to_string (layout.ins) + " in, " + std::to_string (layout.outs) + " out, layout " + std::to_string (layout.chosen));
        auto host = prepared (layout.ins, layout.outs);
        if (layout.chosen >= 0)
            host->processor->requestInputConfiguration (layout.chosen);
        // The buffer's channels beyond the inputs hold whatever the host left there.
        const auto input = noise (std::max (layout.ins, layout.outs), length, 3);
        const auto output = run (*host->processor, input, { switchAt }, 512);
        const int settled = switchAt + host->processor->getBypassFadeLength();
        const bool readsOneChannel = layout.ins == 1 || layout.chosen == 0;

        for (int c = 0; c < 2; ++c)
        {
            const int source = readsOneChannel ? 0 : c;
            for (int k = settled; k < length; ++k)
                ASSERT_EQ (output.getSample (c, k), delayedInput (input, source, k)) << "channel " << c << " sample " << k;
        }
        for (int c = 2; c < layout.outs; ++c)
            EXPECT_EQ (output.getMagnitude (c, 0, length), 0.0f) << "channel " << c;
    }
}

struct FadeCase
{
    double sampleRate;
    Switches switches;
};

TEST (Bypass, EverySwitchCrossfadesBetweenTheProcessedAndTheDelayedDrySignal)
{
    // On and off again; on, back in the middle of the fade, on again.
    const FadeCase cases[] = { { 48000.0, { 3000, 6000 } }, { 44100.0, { 3000, 6000 } },
                               { 96000.0, { 3000, 7000 } }, { 48000.0, { 3000, 3240, 3300, 7000 } } };
    constexpr int length = 12000;

    for (const auto& c : cases)
    {
        SCOPED_TRACE (std::to_string (c.sampleRate) + " Hz, " + std::to_string (c.switches.size()) + " switches");
        auto switched = prepared (2, 2, c.sampleRate), reference = prepared (2, 2, c.sampleRate);
        const int fadeLength = switched->processor->getBypassFadeLength();
        EXPECT_GE (fadeLength, 0.010 * c.sampleRate);
        EXPECT_LE (fadeLength, 0.020 * c.sampleRate);

        const auto input = noise (2, length, 5);
        const auto output = run (*switched->processor, input, c.switches, 256);
        const auto processed = run (*reference->processor, input, c.switches, 256, false);
        const auto weights = dryWeights (c.switches, length, fadeLength);

        for (int ch = 0; ch < 2; ++ch)
            for (int k = 0; k < length; ++k)
            {
                const double w = weights[(size_t) k], dry = delayedInput (input, ch, k);
                const double expected = (1.0 - w) * processed.getSample (ch, k) + w * dry;
                // At rest the chosen signal passes exactly: no gap, no leftovers after switching back.
                if (w == 0.0 || w == 1.0)
                    ASSERT_EQ (output.getSample (ch, k), (float) expected) << "channel " << ch << " sample " << k;
                else
                    ASSERT_NEAR (output.getSample (ch, k), expected, 1.0e-6) << "channel " << ch << " sample " << k;
            }
    }
}

TEST (Bypass, NoSwitchStepsFurtherThanTheSignalsItFadesBetween)
{
    const Switches patterns[] = { { 4000, 8000 }, { 4000, 4300, 4400 } };
    constexpr int length = 12000;
    const auto input = tone (length);

    for (const auto& switches : patterns)
    {
        auto switched = prepared (2, 2), reference = prepared (2, 2);
        const auto output = run (*switched->processor, input, switches, 512);
        const auto processed = run (*reference->processor, input, switches, 512, false);
        juce::AudioBuffer<float> dry (2, length);
        for (int c = 0; c < 2; ++c)
            for (int k = 0; k < length; ++k)
                dry.setSample (c, k, delayedInput (input, c, k));

        const int fadeLength = switched->processor->getBypassFadeLength();
        for (const int at : switches)
            for (int c = 0; c < 2; ++c)
            {
                const int from = at - 100, to = std::min (length, at + fadeLength + 100);
                const float ownStep = std::max (largestStep (processed, c, from, to), largestStep (dry, c, from, to));
                EXPECT_LE (largestStep (output, c, from, to), 1.1f * ownStep) << "switch at " << at << ", channel " << c;
            }
    }
}

TEST (Bypass, TheSwitchedOutputIsTheSameWhateverTheHostBlockSize)
{
    const auto warmUp = noise (2, 30000, 6);
    const auto input = noise (2, 20000, 7);
    const Switches switches { 1000, 5000, 5300, 5500, 9001 };

    auto render = [&] (int blockSize)
    {
        auto host = prepared (2, 2);
        // Let the renderer's glides settle the same way in every run.
        run (*host->processor, warmUp, {}, 8192);
        return run (*host->processor, input, switches, blockSize);
    };

    const auto reference = render (8192);
    for (const int blockSize : { 1, 97, 767, 768, 769, 20000, 0 })
    {
        const auto output = render (blockSize);
        for (int c = 0; c < 2; ++c)
            for (int k = 0; k < input.getNumSamples(); ++k)
                ASSERT_EQ (output.getSample (c, k), reference.getSample (c, k))
                    << "block " << blockSize << " channel " << c << " sample " << k;
    }
}

TEST (Bypass, InputsThatAreNotNumbersComeOutAsSilence)
{
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    auto input = noise (2, 6000, 8);
    const std::pair<int, float> poisoned[] = { { 1000, nan }, { 1500, inf }, { 2000, -inf }, { 2500, 1.0e-30f } };
    for (const auto& [k, value] : poisoned)
        input.setSample (0, k, value);

    // Bypassed from the first block, then toggled while the poisoned samples come out.
    auto host = prepared (2, 2);
    const auto output = run (*host->processor, input, { 0, 2100, 2400 }, 64);
    EXPECT_TRUE (allFinite (output));
    for (const auto& [k, value] : poisoned)
    {
        if (k + kLatency < 2100)
        {
            EXPECT_EQ (output.getSample (0, k + kLatency), 0.0f) << "input " << value;
        }
    }
}
} // namespace
