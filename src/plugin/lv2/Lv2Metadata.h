#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

namespace vendrasolith
{
/** Which of the LV2 plug-ins a bundle holds. */
struct Lv2BundleIdentity
{
    juce::String uri;            // the plug-in's URI; the framework's client derives every other URI from it
    juce::String name;           // e.g. "Vendrasolith 5.1"
    juce::String binaryFileName; // the library next to the metadata
};

/** The metadata of one LV2 bundle (manifest.ttl, dsp.ttl, ui.ttl), read off a processor made
    as the framework's LV2 client makes it, so that hosts are told what the binary does: its
    ports (audio inputs named and designated by the loudspeakers of the processor's input
    layout, the binaural pair, then the client's atom, latency, free-wheeling and enabled ports,
    at the indices the client connects them by), its parameters with their ranges and units,
    its latency, and its window. */
struct Lv2Metadata
{
    static juce::String manifest (const juce::AudioProcessor&, const Lv2BundleIdentity&);
    static juce::String plugin (const juce::AudioProcessor&, const Lv2BundleIdentity&);
    static juce::String window (const Lv2BundleIdentity&);

    /** Writes the three files into the bundle's folder. */
    static juce::Result write (const juce::AudioProcessor&, const Lv2BundleIdentity&, const juce::File& folder);
};
} // namespace vendrasolith
