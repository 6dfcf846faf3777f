#include "DeclaredLayout.h"

#include <algorithm>

namespace vendrasolith
{
namespace
{
using Type = juce::AudioChannelSet::ChannelType;
using Set = juce::AudioChannelSet;

constexpr int kNoSlot = -1;
constexpr float kLeftCentreDegrees = 345.0f, kRightCentreDegrees = 15.0f;

struct Loudspeaker
{
    Type type;
    int slot; // kNoSlot: borrows a slot the layout leaves free
};

constexpr Loudspeaker loudspeakers[] = {
    { Set::left, 0 },              { Set::right, 1 },              { Set::centre, 2 },
    { Set::LFE, 5 },               { Set::leftSurroundSide, 3 },   { Set::rightSurroundSide, 7 },
    { Set::leftSurround, 4 },      { Set::rightSurround, 6 },
    { Set::leftSurroundRear, 4 },  { Set::rightSurroundRear, 6 },
    { Set::leftCentre, kNoSlot },  { Set::rightCentre, kNoSlot },
};

/** The slot of a type's loudspeaker (kNoSlot for left and right centre); nothing for a type
    without a loudspeaker here. */
std::optional<int> slotOf (Type type) noexcept
{
    for (const auto& speaker : loudspeakers)
        if (speaker.type == type)
            return speaker.slot;
    return std::nullopt;
}

std::optional<ChannelRouting> routingForTypes (const std::array<Type, kNumFeeds>& types, int count) noexcept
{
    if (count < 1 || count > kNumFeeds)
        return std::nullopt;

    ChannelRouting routing;
    routing.channelCount = count;
    std::array<bool, SlotPanner::kNumSlots> taken {};

    for (int c = 0; c < count; ++c)
    {
        const auto slot = slotOf (types[(size_t) c]);
        if (! slot.has_value())
            return std::nullopt;
        if (*slot == kNoSlot)
            continue;
        if (taken[(size_t) *slot])
            return std::nullopt;
        taken[(size_t) *slot] = true;
        routing.slotOfChannel[(size_t) c] = *slot;
    }

    // Loudspeakers without a slot of their own take the free slots in slot order.
    for (int c = 0; c < count; ++c)
    {
        if (*slotOf (types[(size_t) c]) != kNoSlot)
            continue;
        const auto free = std::find (taken.begin(), taken.end(), false);
        if (free == taken.end())
            return std::nullopt;
        *free = true;
        const auto slot = (size_t) std::distance (taken.begin(), free);
        routing.slotOfChannel[(size_t) c] = (int) slot;
        routing.slotDirections[slot] = types[(size_t) c] == Set::leftCentre ? kLeftCentreDegrees : kRightCentreDegrees;
    }
    return routing;
}

bool typesOf (const Set& layout, std::array<Type, kNumFeeds>& types, int& count) noexcept
{
    count = layout.size();
    if (layout.isDiscreteLayout() || count < 1 || count > kNumFeeds)
        return false;
    for (int c = 0; c < count; ++c)
        types[(size_t) c] = layout.getTypeOfChannel (c);
    return true;
}
} // namespace

std::optional<ChannelRouting> DeclaredLayout::routingFor (const Set& layout) noexcept
{
    std::array<Type, kNumFeeds> types {};
    int count = 0;
    return typesOf (layout, types, count) ? routingForTypes (types, count) : std::nullopt;
}

int DeclaredLayout::configurationFor (const Set& layout) noexcept
{
    const auto routing = routingFor (layout);
    return routing.has_value() ? routing->matchingConfiguration() : -1;
}

bool DeclaredLayout::isNegotiableInput (const Set& layout)
{
    const Set negotiable[] = {
        Set::mono(),
        Set::stereo(),
        Set::create5point1(),
        Set::channelSetWithChannels ({ Set::left, Set::right, Set::centre, Set::LFE, Set::leftSurroundSide, Set::rightSurroundSide }),
        Set::channelSetWithChannels ({ Set::left, Set::right, Set::centre, Set::LFE, Set::leftSurroundRear, Set::rightSurroundRear }),
        Set::create7point1(),
        Set::create7point1SDDS(),
    };
    return std::find (std::begin (negotiable), std::end (negotiable), layout) != std::end (negotiable);
}

std::uint64_t DeclaredLayout::pack (const Set& layout) noexcept
{
    std::array<Type, kNumFeeds> types {};
    int count = 0;
    if (! typesOf (layout, types, count) || ! routingForTypes (types, count).has_value())
        return 0;

    // One byte per channel; every type that has a loudspeaker here is below 256 and not 0.
    std::uint64_t packed = 0;
    for (int c = 0; c < count; ++c)
        packed |= (std::uint64_t) types[(size_t) c] << (8 * c);
    return packed;
}

std::optional<ChannelRouting> DeclaredLayout::routingForPacked (std::uint64_t packed) noexcept
{
    std::array<Type, kNumFeeds> types {};
    int count = 0;
    while (count < kNumFeeds && ((packed >> (8 * count)) & 0xff) != 0)
    {
        types[(size_t) count] = (Type) ((packed >> (8 * count)) & 0xff);
        ++count;
    }
    return routingForTypes (types, count);
}
} // namespace vendrasolith
