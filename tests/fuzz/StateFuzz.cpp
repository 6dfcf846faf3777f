// Saved state as hosts hand it back: anything from a valid block to the corrupted or
// foreign bytes of an old project. Restoring must never crash, hang or trip a sanitizer,
// the state saved afterwards must restore to itself, and the next block must be finite.
// The plug-in's reader must read the block exactly as the framework's XML parser does,
// wherever that parser comes back at all.
#include "FrameworkStateReading.h"
#include "FuzzInput.h"
#include "ParameterText.h"
#include "StateFuzzInput.h"
#include "StateReader.h"
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

juce::MemoryBlock save (VantorAudioProcessor& p)
{
    juce::MemoryBlock block;
    p.getStateInformation (block);
    return block;
}

bool sameNumber (double a, double b)
{
    return (std::isnan (a) && std::isnan (b)) || (a == b && std::signbit (a) == std::signbit (b));
}

// The framework's parser recurses once per level; deeper blocks would test the stack of
// the fuzzing build, not the reader.
constexpr int maxNestingForTheFrameworkParser = 200;

void compareWithTheFrameworkParser (const std::vector<std::uint8_t>& state)
{
    const auto reading = vendrasolith::readStateBlock (state.data(), (int) state.size());
    if (reading.safeguardTaken || reading.deepestNesting > maxNestingForTheFrameworkParser)
        return;

    const auto expected = frameworkstate::read (state.data(), (int) state.size());
    if (! frameworkstate::sameEntries (reading.entries, expected))
    {
        std::fprintf (stderr, "read %s\nthe framework read %s\n", frameworkstate::describe (reading.entries).c_str(),
                      frameworkstate::describe (expected).c_str());
        fail ("the state reader and the framework's parser disagree");
    }

    if (reading.entries)
        for (const auto& entry : *reading.entries)
            if (! frameworkstate::readsOtherwiseOnPurpose (entry.text) && ! sameNumber (vendrasolith::readDecimalNumber (entry.text), frameworkstate::frameworkNumber (entry.text)))
                fail ("a number reads otherwise than the framework reads it");
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;

    const auto state = fuzz::stateBlockFromFuzzInput (data, size);
    compareWithTheFrameworkParser (state);

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
    if (const auto again = save (second); again != saved)
    {
        const auto text = [] (const juce::MemoryBlock& b) { return std::string (static_cast<const char*> (b.getData()) + 8, b.getSize() - 9); };
        std::fprintf (stderr, "saved    %s\nrestored %s\n", text (saved).c_str(), text (again).c_str());
        fail ("saved state does not restore to itself");
    }

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
