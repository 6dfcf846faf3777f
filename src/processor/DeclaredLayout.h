#pragma once

#include "ChannelRouting.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <cstdint>
#include <optional>

namespace vendrasolith
{
/** Reading input channels by the loudspeaker types a host declares for them. The framework
    hands the declaration over as an AudioChannelSet, whose channels come in the order of
    its type numbers (so 7.1 arrives as L R C LFE Lss Rss Lsr Rsr, an order none of the ten
    configurations has); each channel goes to the slot of its own loudspeaker:

      left, right, centre, LFE        L, R, C, LFE
      left/right surround side        Lss, Rss (270°, 90°)
      left/right surround             Lsr, Rsr (240°, 120°), where every 5.1 configuration
      left/right surround rear          reads its surrounds
      left/right centre               a slot the layout leaves free, turned to 345° and 15°,
                                        halfway between the front pair and the centre

    Other types (top, wide, centre surround, discrete …) have no loudspeaker here. */
struct DeclaredLayout
{
    /** The routing of a declared layout, or nothing for a discrete layout, one with a type
        that has no loudspeaker here, two channels of one loudspeaker or over eight channels. */
    static std::optional<ChannelRouting> routingFor (const juce::AudioChannelSet& layout) noexcept;

    /** The input configuration that reads a declared layout in its own order, or -1. */
    static int configurationFor (const juce::AudioChannelSet& layout) noexcept;

    /** The declared input layouts hosts can negotiate: mono, stereo, 5.1 with surrounds,
        side or rear surrounds, 7.1 with side and rear surrounds, and 7.1 with left and
        right centre: the channel counts of the plug-in's six channel configurations. */
    static bool isNegotiableInput (const juce::AudioChannelSet& layout);

    /** A readable layout's channel types in one word, so that a layout can cross to the
        audio thread atomically; 0 for one that routingFor does not read. */
    static std::uint64_t pack (const juce::AudioChannelSet& layout) noexcept;
    /** The routing of a packed layout, without allocating: safe on the audio thread. */
    static std::optional<ChannelRouting> routingForPacked (std::uint64_t packed) noexcept;
};
} // namespace vendrasolith
