#pragma once

#include "InputConfiguration.h"
#include "SlotPanner.h"

#include <array>

namespace vendrasolith
{
/** Where each input channel is heard: the slot it is read into, and the loudspeaker
    direction of every slot. Each of the ten input configurations is a routing that keeps
    the slots' own directions; a routing made from the channel types a host declares may
    give a slot no channel of its own type uses another direction, for a loudspeaker that
    has no slot (left and right centre), so every slot still pans and weighs as before. */
struct ChannelRouting
{
    int channelCount = 0;
    std::array<int, kNumFeeds> slotOfChannel {};
    std::array<float, SlotPanner::kNumSlots> slotDirections = SlotPanner::baseDirections;

    /** The routing of an input configuration (values outside 0…9 act as 5). */
    static ChannelRouting of (int configuration) noexcept;

    /** Up to eight channels, each in a slot of its own, every direction finite. */
    bool isValid() const noexcept;
    /** The input configuration that reads channels exactly this way, or -1 if none does. */
    int matchingConfiguration() const noexcept;

    bool operator== (const ChannelRouting& other) const noexcept;
    bool operator!= (const ChannelRouting& other) const noexcept { return ! (*this == other); }
};
} // namespace vendrasolith
