// Saved state as hosts hand it back: anything from a valid block to the corrupted or
// foreign bytes of an old project. Restoring must never crash or trip a sanitizer, the
// state saved afterwards must restore to itself, and the next block must be finite.
//
// The first byte chooses how the rest is used: most often as the whole block, otherwise
// as the XML text inside a correct header, so the fuzzer reaches the parser without
// having to discover the header first.
#include "FuzzInput.h"
#include "VantorAudioProcessor.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace
{
[[noreturn]] void fail (const char* what)
{
    std::fprintf (stderr, "%s\n", what);
    std::abort();
}

std::vector<std::uint8_t> wrapAsStateBlock (const std::uint8_t* text, std::size_t length)
{
    std::vector<std::uint8_t> block (8 + length + 1, 0);
    const std::uint32_t magic = 0x21324356, size = (std::uint32_t) length;
    for (int i = 0; i < 4; ++i)
    {
        block[(size_t) i] = (std::uint8_t) (magic >> (8 * i));
        block[(size_t) (4 + i)] = (std::uint8_t) (size >> (8 * i));
    }
    std::copy (text, text + length, block.begin() + 8);
    return block;
}

juce::MemoryBlock save (VantorAudioProcessor& p)
{
    juce::MemoryBlock block;
    p.getStateInformation (block);
    return block;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;

    std::vector<std::uint8_t> state;
    if (data[0] % 4 == 0)
        state = wrapAsStateBlock (data + 1, size - 1);
    else
        state.assign (data + 1, data + size);

    VantorAudioProcessor processor (juce::PluginHostType::UnknownHost);
    processor.setPlayConfigDetails (8, 8, 48000.0, 512);
    processor.prepareToPlay (48000.0, 512);
    processor.setStateInformation (state.data(), (int) state.size());

    // Whatever was restored is saved in the plug-in's own form; that form must be a fixed point.
    const auto saved = save (processor);
    VantorAudioProcessor second (juce::PluginHostType::UnknownHost);
    second.setPlayConfigDetails (8, 8, 48000.0, 512);
    second.prepareToPlay (48000.0, 512);
    second.setStateInformation (saved.getData(), (int) saved.getSize());
    if (save (second) != saved)
        fail ("saved state does not restore to itself");

    juce::AudioBuffer<float> buffer (8, 1024);
    for (int c = 0; c < 8; ++c)
        for (int k = 0; k < 1024; ++k)
            buffer.setSample (c, k, 0.5f * std::sin (0.05f * (float) ((c + 1) * k)));
    juce::MidiBuffer midi;
    processor.processBlock (buffer, midi);
    for (int c = 0; c < 2; ++c)
        for (int k = 0; k < 1024; ++k)
            if (! std::isfinite (buffer.getSample (c, k)))
                fail ("non-finite output after a restore");
    for (int c = 2; c < 8; ++c)
        if (buffer.getMagnitude (c, 0, 1024) != 0.0f)
            fail ("extra output not silent after a restore");
    return 0;
}
