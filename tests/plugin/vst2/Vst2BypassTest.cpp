// Bypass switched through the published opcode while the audio runs, as a host with
// latency compensation does it: the bypassed track must keep time and neither switch click.
#include "Vst2Host.h"

#include <algorithm>
#include <cmath>

using namespace vst2test;

namespace
{
constexpr int kBlock = 256;
constexpr int kBypassOn = 16 * kBlock, kBypassOff = 32 * kBlock, kLength = 48 * kBlock;
constexpr float kSampleRate = 48000.0f;
constexpr int k10ms = 480, k20ms = 960;

/** Tones on the first two channels (small steps, known to the test), noise on the others. */
Instance::Channels testSignal (int channels)
{
    auto signal = noise (channels, kLength, 9);
    for (int c = 0; c < std::min (channels, 2); ++c)
        for (int k = 0; k < kLength; ++k)
            signal[(size_t) c][(size_t) k] = 0.5f * (float) std::sin (2.0 * 3.14159265358979 * (330.0 + 110.0 * c) * k / kSampleRate);
    return signal;
}

Instance::Channels slice (const Instance::Channels& signal, int from, int to)
{
    Instance::Channels part;
    for (const auto& channel : signal)
        part.emplace_back (channel.begin() + from, channel.begin() + to);
    return part;
}

/** Processes the signal in three stretches, switching bypass on and off between them when
    `switching` is set; the stretches are cut the same way either way. */
Instance::Channels play (Instance& plugin, const Instance::Channels& input, int numOutputs, bool switching)
{
    const int cuts[] = { 0, kBypassOn, kBypassOff, kLength };
    Instance::Channels output ((size_t) numOutputs);
    for (int part = 0; part < 3; ++part)
    {
        if (switching && part > 0)
            EXPECT_EQ (plugin.dispatch (op::setBypass, 0, part == 1 ? 1 : 0), 1);
        const auto out = plugin.process (slice (input, cuts[part], cuts[part + 1]), numOutputs, kBlock);
        for (size_t c = 0; c < output.size(); ++c)
            output[c].insert (output[c].end(), out[c].begin(), out[c].end());
    }
    return output;
}

float largestStep (const std::vector<float>& signal, int from, int to)
{
    float largest = 0.0f;
    for (int k = from + 1; k < to; ++k)
        largest = std::max (largest, std::abs (signal[(size_t) k] - signal[(size_t) k - 1]));
    return largest;
}

float largestDifference (const std::vector<float>& a, const std::vector<float>& b, int from, int to)
{
    float largest = 0.0f;
    for (int k = from; k < to; ++k)
        largest = std::max (largest, std::abs (a[(size_t) k] - b[(size_t) k]));
    return largest;
}

struct Layout
{
    int32_t inType, ins, outType, outs;
};

class Vst2Bypass : public testing::TestWithParam<Layout>
{
};

TEST_P (Vst2Bypass, KeepsTimeAndSwitchesWithoutAClick)
{
    const auto layout = GetParam();
    Instance switched, reference;
    for (auto* plugin : { &switched, &reference })
    {
        ASSERT_TRUE (plugin->setArrangement (layout.inType, layout.ins, layout.outType, layout.outs));
        plugin->start (kBlock, kSampleRate);
    }
    ASSERT_EQ (switched.effect->initialDelay, 792);

    const auto input = testSignal (layout.ins);
    const auto output = play (switched, input, layout.outs, true);
    const auto processed = play (reference, input, layout.outs, false);

    for (int c = 0; c < 2; ++c)
    {
        SCOPED_TRACE ("output " + std::to_string (c));
        // A single input reaches both outputs, as it reaches both ears when processed.
        const auto& source = input[(size_t) std::min (c, layout.ins - 1)];
        std::vector<float> dry ((size_t) kLength, 0.0f);
        std::copy (source.begin(), source.end() - 792, dry.begin() + 792);
        const auto& out = output[(size_t) c];

        // Bypassed, once the crossfade is over: the input, late by exactly the reported latency.
        for (int k = kBypassOn + k20ms; k < kBypassOff; ++k)
            ASSERT_EQ (out[(size_t) k], dry[(size_t) k]) << "sample " << k;
        // Back on, once the crossfade is over: what an instance that was never bypassed plays.
        for (int k = kBypassOff + k20ms; k < kLength; ++k)
            ASSERT_EQ (out[(size_t) k], processed[(size_t) c][(size_t) k]) << "sample " << k;

        for (const int at : { kBypassOn, kBypassOff })
        {
            // Neither switch is abrupt: 10 ms on, the fade is still under way…
            const auto& leaving = at == kBypassOn ? processed[(size_t) c] : dry;
            const auto& arriving = at == kBypassOn ? dry : processed[(size_t) c];
            EXPECT_GT (largestDifference (out, arriving, at + k10ms - 20, at + k10ms), 0.01f) << "switch at " << at;
            EXPECT_GT (largestDifference (out, leaving, at + k10ms - 20, at + k10ms), 0.01f) << "switch at " << at;
            // …and no sample steps further than the two signals it moves between do.
            const float ownStep = std::max (largestStep (processed[(size_t) c], at - 100, at + k20ms),
                                            largestStep (dry, at - 100, at + k20ms));
            EXPECT_LE (largestStep (out, at - 100, at + k20ms), 1.1f * ownStep) << "switch at " << at;
        }
    }

    for (int c = 2; c < layout.outs; ++c)
        EXPECT_TRUE (std::all_of (output[(size_t) c].begin(), output[(size_t) c].end(), [] (float s) { return s == 0.0f; }))
            << "output " << c;
}

INSTANTIATE_TEST_SUITE_P (Vst2, Vst2Bypass,
                          testing::Values (Layout { arrangement::stereo, 2, arrangement::stereo, 2 },
                                           Layout { arrangement::mono, 1, arrangement::stereo, 2 },
                                           Layout { arrangement::surround51, 6, arrangement::surround51, 6 }),
                          [] (const auto& info) { return std::to_string (info.param.ins) + "in" + std::to_string (info.param.outs) + "out"; });
} // namespace
