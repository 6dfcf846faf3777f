#include "BinauralRenderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

using namespace vendrasolith;

namespace
{
struct RoutedRenderer
{
    RoutedRenderer() : renderer (std::make_unique<BinauralRenderer>()), channels (8, std::vector<float> (2048, 0.0f))
    {
        renderer->setPanGain (4.0f);
    }

    void render (int numInputs)
    {
        float* ptrs[8];
        for (int c = 0; c < 8; ++c)
            ptrs[c] = channels[(size_t) c].data();
        renderer->render (ptrs, ptrs, numInputs, (int) channels[0].size());
    }

    /** Silent blocks until every gain glide has settled. */
    void settle()
    {
        for (int i = 0; i < 8; ++i)
        {
            for (auto& channel : channels)
                std::fill (channel.begin(), channel.end(), 0.0f);
            render (8);
        }
    }

    /** Settled gains of a slot's direct and alternate images on each feed, added. */
    std::array<float, 8> slotFeedGains (int slot) const
    {
        std::array<float, 8> gains {};
        for (int feed = 0; feed < 8; ++feed)
            gains[(size_t) feed] = renderer->speakerRing().smoothedGain (2 * slot, feed)
                                 + renderer->speakerRing().smoothedGain (2 * slot + 1, feed);
        return gains;
    }

    std::unique_ptr<BinauralRenderer> renderer;
    std::vector<std::vector<float>> channels;
};

/** 7.1 with left and right centre as a host declares it: L R C LFE Ls Rs Lc Rc, the centre
    pair in the two slots the layout leaves free, turned to 345° and 15°. */
ChannelRouting frontCentreRouting()
{
    ChannelRouting routing;
    routing.channelCount = 8;
    routing.slotOfChannel = { 0, 1, 2, 5, 4, 6, 3, 7 };
    routing.slotDirections[3] = 345.0f;
    routing.slotDirections[7] = 15.0f;
    return routing;
}
} // namespace

TEST (ChannelRouting, EveryConfigurationIsARoutingNoOtherConfigurationShares)
{
    for (int value = 0; value < InputConfiguration::kCount; ++value)
    {
        const auto routing = ChannelRouting::of (value);
        EXPECT_TRUE (routing.isValid()) << value;
        EXPECT_EQ (routing.matchingConfiguration(), value);
        EXPECT_EQ (routing.slotDirections, SlotPanner::baseDirections) << value;
    }
    EXPECT_EQ (ChannelRouting::of (-1), ChannelRouting::of (5));

    // The same slots with a loudspeaker moved, or fewer channels read, are another routing.
    EXPECT_EQ (frontCentreRouting().matchingConfiguration(), -1);
    auto sixOfEight = ChannelRouting::of (5);
    sixOfEight.channelCount = 6;
    EXPECT_EQ (sixOfEight.matchingConfiguration(), 2) << "the first six of L R C LFE Lsr Rsr Lss Rss are L R C LFE Lsr Rs";
}

TEST (ChannelRouting, AnInvalidRoutingIsReadAsTheFallbackConfiguration)
{
    struct Case { const char* what; ChannelRouting routing; };
    auto twoInOneSlot = ChannelRouting::of (1);
    twoInOneSlot.slotOfChannel[1] = 0;
    auto slotPastTheEnd = ChannelRouting::of (1);
    slotPastTheEnd.slotOfChannel[0] = 8;
    auto negativeSlot = ChannelRouting::of (1);
    negativeSlot.slotOfChannel[0] = -1;
    auto nineChannels = ChannelRouting::of (5);
    nineChannels.channelCount = 9;
    auto noDirection = ChannelRouting::of (1);
    noDirection.slotDirections[4] = std::numeric_limits<float>::quiet_NaN();

    for (const auto& c : { Case { "two channels in one slot", twoInOneSlot }, Case { "slot 8", slotPastTheEnd },
                           Case { "slot -1", negativeSlot }, Case { "nine channels", nineChannels },
                           Case { "a direction that is not a number", noDirection } })
    {
        SCOPED_TRACE (c.what);
        EXPECT_FALSE (c.routing.isValid());

        RoutedRenderer f;
        f.renderer->setRouting (c.routing);
        for (int ch = 0; ch < 8; ++ch)
            std::fill (f.channels[(size_t) ch].begin(), f.channels[(size_t) ch].end(), (float) (ch + 1));
        f.render (8);
        const auto& map = InputConfiguration::get (5).map;
        for (int ch = 0; ch < 8; ++ch)
            EXPECT_EQ (f.renderer->slotSamples (map[(size_t) ch])[7], (float) (ch + 1)) << "channel " << ch;
        for (int slot = 0; slot < 8; ++slot)
            EXPECT_EQ (f.renderer->slotPanner().slotDirection (slot), SlotPanner::baseDirections[(size_t) slot]);
    }
}

TEST (ChannelRouting, ARoutingWithFewerChannelsStillGivesEveryExtraChannelASlotOfItsOwn)
{
    // Handed more channels than the routing reads, no two may land in one slot.
    auto routing = frontCentreRouting();
    routing.channelCount = 2;
    routing.slotOfChannel = { 3, 7 };
    RoutedRenderer f;
    f.renderer->setRouting (routing);
    for (int ch = 0; ch < 8; ++ch)
        std::fill (f.channels[(size_t) ch].begin(), f.channels[(size_t) ch].end(), (float) (ch + 1));
    f.render (8);

    std::array<int, 8> channelInSlot {};
    for (int slot = 0; slot < 8; ++slot)
        channelInSlot[(size_t) slot] = (int) f.renderer->slotSamples (slot)[0];
    EXPECT_EQ (channelInSlot[3], 1);
    EXPECT_EQ (channelInSlot[7], 2);
    std::sort (channelInSlot.begin(), channelInSlot.end());
    EXPECT_EQ (channelInSlot, (std::array<int, 8> { 1, 2, 3, 4, 5, 6, 7, 8 }));
}

TEST (BinauralRenderer, ARoutedSlotSoundsFromTheDirectionItIsGiven)
{
    RoutedRenderer f;
    f.renderer->setRouting (frontCentreRouting());
    f.settle();

    // 345° lies halfway between L (feed 0, 330°) and C (feed 2, 0°); 15° between C and R (feed 1).
    const std::array<float, 8> leftCentre { 0.25f, 0, 0.25f, 0, 0, 0, 0, 0 }, rightCentre { 0, 0.25f, 0.25f, 0, 0, 0, 0, 0 };
    for (int feed = 0; feed < 8; ++feed)
    {
        EXPECT_NEAR (f.slotFeedGains (3)[(size_t) feed], leftCentre[(size_t) feed], 3.0e-6f) << "Lc, feed " << feed;
        EXPECT_NEAR (f.slotFeedGains (7)[(size_t) feed], rightCentre[(size_t) feed], 3.0e-6f) << "Rc, feed " << feed;
    }
    // The slots that keep their loudspeakers are unchanged: L on feed 0 alone.
    EXPECT_NEAR (f.slotFeedGains (0)[0], 0.5f, 3.0e-6f);

    // Angle and Width move a turned slot's images from its own direction: Angle 90°, Width 0.5
    // puts Lc's direct image at 345 + 105/2 = 37.5° (between R at 30° and feed 7 at 90°).
    f.renderer->setAngle (0.25f);
    f.renderer->setWidth (0.5f);
    f.settle();
    EXPECT_FLOAT_EQ (std::fmod (f.renderer->slotPanner().directDirection (3), 360.0f), 37.5f);
    EXPECT_FLOAT_EQ (f.renderer->slotPanner().alternateWeight (3), 105.0f / 180.0f);

    // A configuration brings the slots' own directions back: Lss on feed 6 (270°) again.
    f.renderer->setAngle (0.0f);
    f.renderer->setWidth (1.0f);
    f.renderer->setInputConfiguration (5);
    f.settle();
    EXPECT_FLOAT_EQ (f.renderer->slotPanner().slotDirection (3), 270.0f);
    EXPECT_NEAR (f.slotFeedGains (3)[6], 0.5f * (1.0f + 90.0f / 180.0f), 3.0e-6f);
}

TEST (BinauralRenderer, TurningASlotBeforeAnyAngleChangeAddsNoAlternateImage)
{
    RoutedRenderer f;
    f.renderer->setRouting (frontCentreRouting());
    f.settle();
    for (int slot = 0; slot < 8; ++slot)
    {
        EXPECT_EQ (f.renderer->slotPanner().alternateWeight (slot), 0.0f) << slot;
        float total = 0.0f;
        for (float g : f.slotFeedGains (slot))
            total += g;
        EXPECT_NEAR (total, 0.5f, 3.0e-6f) << "slot " << slot;
    }
}
