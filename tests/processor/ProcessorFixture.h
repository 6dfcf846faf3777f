#pragma once

#include "VantorAudioProcessor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>

/** A processor run the way a host runs it: buses set, prepared, fed blocks. */
struct HostedProcessor
{
    explicit HostedProcessor (int ins = 2, int outs = 2,
                              juce::PluginHostType::HostType host = juce::PluginHostType::UnknownHost)
        : processor (std::make_unique<VantorAudioProcessor> (host))
    {
        setChannels (ins, outs);
    }

    void setChannels (int ins, int outs)
    {
        processor->setPlayConfigDetails (ins, outs, 48000.0, 512);
    }

    void prepare() { processor->prepareToPlay (48000.0, 512); }

    /** Processes the buffer in place in blocks of the given size. */
    void process (juce::AudioBuffer<float>& buffer, int blockSize, bool bypassed = false)
    {
        juce::MidiBuffer midi;
        for (int offset = 0; offset < buffer.getNumSamples(); offset += blockSize)
        {
            const int n = std::min (blockSize, buffer.getNumSamples() - offset);
            juce::AudioBuffer<float> block (buffer.getArrayOfWritePointers(), buffer.getNumChannels(), offset, n);
            if (bypassed)
                processor->processBlockBypassed (block, midi);
            else
                processor->processBlock (block, midi);
        }
    }

    std::unique_ptr<VantorAudioProcessor> processor;
};

inline bool allFinite (const juce::AudioBuffer<float>& buffer)
{
    for (int c = 0; c < buffer.getNumChannels(); ++c)
        for (int k = 0; k < buffer.getNumSamples(); ++k)
            if (! std::isfinite (buffer.getSample (c, k)))
                return false;
    return true;
}

/** Uniform noise at -6 dBFS peak, the same for the same seed. */
inline juce::AudioBuffer<float> noise (int channels, int samples, unsigned seed = 1)
{
    juce::AudioBuffer<float> buffer (channels, samples);
    std::mt19937 rng (seed);
    std::uniform_real_distribution<float> dist (-0.5f, 0.5f);
    for (int c = 0; c < channels; ++c)
        for (int k = 0; k < samples; ++k)
            buffer.setSample (c, k, dist (rng));
    return buffer;
}

/** The document text of the processor's saved state (the block without its header and zero byte). */
inline juce::String stateText (VantorAudioProcessor& p)
{
    juce::MemoryBlock block;
    p.getStateInformation (block);
    return juce::String::fromUTF8 (static_cast<const char*> (block.getData()) + 8, (int) block.getSize() - 9);
}

/** A state block in the saved layout around any document text. */
inline juce::MemoryBlock blockWith (const juce::String& text)
{
    juce::MemoryBlock block;
    juce::MemoryOutputStream out (block, false);
    out.writeInt (0x21324356);
    out.writeInt ((int) text.getNumBytesAsUTF8());
    out.write (text.toRawUTF8(), text.getNumBytesAsUTF8());
    out.writeByte (0);
    return block;
}
