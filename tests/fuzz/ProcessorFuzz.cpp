// The processor driven by a script of host actions: channel layout and FFT backend,
// automation with any float value, configuration and bass boost requests, re-preparing (at
// any rate, with the rate option on or off), state round trips and blocks of 1 to 20000
// samples of hostile audio. Nothing may crash or trip a sanitizer, the binaural pair must
// stay finite and extra outputs silent.
#include "FuzzInput.h"
#include "VantorAudioProcessor.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace
{
constexpr int kMaxBlock = 20000;
// Enough actions per input to reach any state; more only slows the search down.
constexpr int kMaxSteps = 24;
constexpr std::array<std::array<int, 2>, 6> layouts { { { 2, 2 }, { 1, 2 }, { 6, 2 }, { 6, 6 }, { 8, 2 }, { 8, 8 } } };

[[noreturn]] void fail (const char* what, int channel, int sample, float value)
{
    std::fprintf (stderr, "%s: channel %d sample %d value %g\n", what, channel, sample, (double) value);
    std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    fuzz::Input in (data, size);
    fuzz::AudioSource source;

    // The first byte picks the layout and, past the layouts, the FFT backend: existing
    // inputs keep their layout.
    const auto first = (size_t) in.byte();
    const auto layout = layouts[first % layouts.size()];
    const int ins = layout[0], outs = layout[1], channels = std::max (ins, outs);
    const auto backend = (first / layouts.size()) % 2 == 0 ? vendrasolith::FftBackend::fftw : vendrasolith::FftBackend::kiss;

    // A fresh instance per input keeps every run reproducible from its bytes alone.
    VantorAudioProcessor processor (juce::PluginHostType::UnknownHost, backend);
    processor.setPlayConfigDetails (ins, outs, 48000.0, 512);
    if (in.byte() % 2 == 0)
        processor.requestInputConfiguration (in.range (-2, 11));
    processor.prepareToPlay (48000.0, 512);

    static juce::AudioBuffer<float> buffer (8, kMaxBlock);
    juce::MidiBuffer midi;
    auto& parameters = processor.getParameters();

    for (int step = 0; step < kMaxSteps && ! in.empty(); ++step)
    {
        switch (in.byte() % 9)
        {
            case 0: processor.setParameter (in.range (-1, 3), in.parameterValue()); break;
            case 1: parameters[in.byte() % 3]->setValueNotifyingHost (in.parameterValue()); break;
            case 2: processor.requestInputConfiguration (in.range (-3, 12)); break;
            case 3: processor.setBassBoostStep (in.range (-1, 4)); break;
            case 4:
            {
                // Re-preparing at rates from the absurd to the usual, the rate option on for
                // some: both come from the block size, so inputs keep their meaning.
                constexpr double rates[] = { 48000.0, 44100.0, 96000.0, 192000.0, 22050.0, 1000.0, 384000.0, 1.0e7 };
                const int blockSize = 1 + in.u16() % kMaxBlock;
                processor.setTrueRate (blockSize % 3 == 0);
                processor.prepareToPlay (rates[blockSize % 8], blockSize);
                break;
            }
            case 5:
            {
                juce::MemoryBlock state;
                processor.getStateInformation (state);
                processor.setStateInformation (state.getData(), (int) state.getSize());
                break;
            }
            default:
            {
                const bool bypassed = in.byte() % 8 == 0;
                // Mostly host-sized blocks; now and then one of up to 20000 samples.
                const int blockSize = in.byte() % 8 == 0 ? 1 + in.u16() % kMaxBlock : 1 + in.u16() % 1024;
                source.configure (in);

                juce::AudioBuffer<float> block (buffer.getArrayOfWritePointers(), channels, blockSize);
                for (int c = 0; c < channels; ++c)
                    for (int k = 0; k < blockSize; ++k)
                        block.setSample (c, k, c < ins ? source.next (c) : source.next (c) * 0.5f);

                if (bypassed)
                    processor.processBlockBypassed (block, midi);
                else
                    processor.processBlock (block, midi);

                for (int c = 0; c < channels; ++c)
                    for (int k = 0; k < blockSize; ++k)
                    {
                        const float v = block.getSample (c, k);
                        if (c >= 2 && c < outs && v != 0.0f)
                            fail ("extra output not silent", c, k, v);
                        if (c < 2 && ! bypassed && ! std::isfinite (v))
                            fail ("non-finite output", c, k, v);
                    }
                break;
            }
        }
    }
    return 0;
}
