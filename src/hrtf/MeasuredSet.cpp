#include "MeasuredSet.h"

#include "SpeakerRing.h"

namespace vendrasolith::hrtf
{
namespace
{
constexpr int kRear = 180;
} // namespace

int feedDirection (int feed) noexcept
{
    for (int i = 0; i < SpeakerRing::kNumDirections; ++i)
        if (SpeakerRing::feedOfDirection[(size_t) i] == feed)
            return (int) SpeakerRing::directions[(size_t) i];
    return kRear;
}

bool feedIsHeard (int feed) noexcept
{
    for (const int f : SpeakerRing::feedOfDirection)
        if (f == feed)
            return true;
    return false;
}

const char* feedLabel (int feed) noexcept
{
    static constexpr const char* labels[kNumFeeds] = { "L", "R", "C", "LFE", "Lsr", "Rsr", "Lss", "Rss" };
    return feed >= 0 && feed < kNumFeeds ? labels[feed] : "?";
}
} // namespace vendrasolith::hrtf
