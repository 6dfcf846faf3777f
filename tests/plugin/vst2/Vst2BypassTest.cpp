// Bypass switched through the published opcode while the audio runs, as a host with
// latency compensation does it: the bypassed track must keep time and neither switch click.
#include "BypassRun.h"
#include "Vst2Host.h"

#include <algorithm>
#include <cmath>

using namespace vst2test;
using hosttest::expectBypassKeepsTimeWithoutAClick;

namespace
{
constexpr int kBlock = 256;
// Processed, bypassed, processed again: three parts of equal length.
constexpr int kBypassOn = 16 * kBlock, kBypassOff = 2 * kBypassOn, kLength = 3 * kBypassOn;
constexpr float kSampleRate = 48000.0f;

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
        expectBypassKeepsTimeWithoutAClick (output[(size_t) c].data(), processed[(size_t) c].data(), dry.data(), kBypassOn, kSampleRate);
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
