#include "ChannelRouting.h"

#include <cmath>

namespace vendrasolith
{
ChannelRouting ChannelRouting::of (int configuration) noexcept
{
    const auto& table = InputConfiguration::get (configuration);
    ChannelRouting routing;
    routing.channelCount = table.channelCount;
    routing.slotOfChannel = table.map;
    return routing;
}

bool ChannelRouting::isValid() const noexcept
{
    if (channelCount < 0 || channelCount > kNumFeeds)
        return false;

    std::array<bool, SlotPanner::kNumSlots> taken {};
    for (int c = 0; c < channelCount; ++c)
    {
        const int slot = slotOfChannel[(size_t) c];
        if (slot < 0 || slot >= SlotPanner::kNumSlots || taken[(size_t) slot])
            return false;
        taken[(size_t) slot] = true;
    }

    for (const float direction : slotDirections)
        if (! std::isfinite (direction))
            return false;
    return true;
}

bool ChannelRouting::operator== (const ChannelRouting& other) const noexcept
{
    if (channelCount != other.channelCount || slotDirections != other.slotDirections)
        return false;
    for (int c = 0; c < channelCount; ++c)
        if (slotOfChannel[(size_t) c] != other.slotOfChannel[(size_t) c])
            return false;
    return true;
}

int ChannelRouting::matchingConfiguration() const noexcept
{
    for (int value = 0; value < InputConfiguration::kCount; ++value)
        if (*this == of (value))
            return value;
    return -1;
}
} // namespace vendrasolith
