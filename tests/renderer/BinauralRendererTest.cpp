#include "BinauralRenderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <vector>

using namespace vendrasolith;

namespace
{
// A renderer set up as the plug-in runs it, with host-sized channel buffers.
struct RendererFixture
{
    explicit RendererFixture (int configuration, int blockSize = 8192)
        : renderer (std::make_unique<BinauralRenderer>()), channels (8, std::vector<float> ((size_t) blockSize, 0.0f))
    {
        renderer->setPanGain (4.0f);
        renderer->setInputConfiguration (configuration);
    }

    void render (int numInputs, int numSamples)
    {
        float* ptrs[8];
        for (int c = 0; c < 8; ++c)
            ptrs[c] = channels[(size_t) c].data();
        renderer->render (ptrs, ptrs, numInputs, numSamples);
    }

    // Runs silent blocks until every gain glide has settled.
    void settle()
    {
        for (int i = 0; i < 4; ++i)
        {
            for (auto& ch : channels)
                std::fill (ch.begin(), ch.end(), 0.0f);
            render (8, (int) channels[0].size());
        }
    }

    // Total settled gain of a slot on each feed (direct and alternate image).
    std::vector<float> slotFeedGains (int slot) const
    {
        std::vector<float> g (8);
        for (int feed = 0; feed < 8; ++feed)
            g[(size_t) feed] = renderer->speakerRing().smoothedGain (2 * slot, feed)
                             + renderer->speakerRing().smoothedGain (2 * slot + 1, feed);
        return g;
    }

    std::unique_ptr<BinauralRenderer> renderer;
    std::vector<std::vector<float>> channels;
};

TEST (InputConfigurationTable, EveryHostChannelLandsInItsSlot)
{
    const std::vector<std::vector<int>> expectedMaps {
        { 2 }, { 0, 1 }, { 0, 1, 2, 5, 4, 6 }, { 0, 2, 1, 4, 6, 5 }, { 2, 0, 1, 4, 6, 5 },
        { 0, 1, 2, 5, 4, 6, 3, 7 }, { 0, 2, 1, 3, 7, 4, 6, 5 }, { 2, 0, 1, 3, 7, 4, 6, 5 },
        { 0, 1, 4, 6, 2, 5 }, { 0, 1, 4, 6, 2, 5, 3, 7 } };

    for (int value : { 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, -1, 10 })
    {
        const auto& map = expectedMaps[(size_t) (InputConfiguration::isValid (value) ? value : 5)];
        const int count = (int) map.size();
        EXPECT_EQ (InputConfiguration::get (value).channelCount, count);

        RendererFixture f (value, 64);
        for (int c = 0; c < 8; ++c)
            std::fill (f.channels[(size_t) c].begin(), f.channels[(size_t) c].end(), (float) (c + 1));
        f.render (count, 64);

        std::vector<float> expectedSlot (8, 0.0f);
        for (int c = 0; c < count; ++c)
            expectedSlot[(size_t) map[(size_t) c]] = (float) (c + 1);
        for (int slot = 0; slot < 8; ++slot)
            EXPECT_EQ (f.renderer->slotSamples (slot)[10], expectedSlot[(size_t) slot]) << "configuration " << value << " slot " << slot;
    }
    EXPECT_STREQ (InputConfiguration::get (8).label, "L R Lsr Rsr C LFE");
}

TEST (BinauralRenderer, ChangingConfigurationSilencesSlotsItNoLongerReads)
{
    RendererFixture f (5, 64);
    for (auto& ch : f.channels)
        std::fill (ch.begin(), ch.end(), 1.0f);
    f.render (8, 64);
    f.renderer->setInputConfiguration (1);
    f.render (2, 64);
    for (int slot = 2; slot < 8; ++slot)
        EXPECT_EQ (f.renderer->slotSamples (slot)[0], 0.0f) << "slot " << slot;
}

struct ImageCase
{
    float angleDegrees, width;
    int slot;
    float direct, alternate, weight;
};

class PannerImages : public ::testing::TestWithParam<ImageCase> {};

TEST_P (PannerImages, FollowAngleAndWidth)
{
    const auto& c = GetParam();
    SpeakerRing ring;
    SlotPanner panner (ring);
    panner.setAngleDegrees (c.angleDegrees);
    panner.setWidth (c.width);
    EXPECT_NEAR (panner.directDirection (c.slot), c.direct, 1.0e-3f);
    EXPECT_NEAR (panner.alternateDirection (c.slot), c.alternate, 1.0e-3f);
    EXPECT_NEAR (panner.alternateWeight (c.slot), c.weight, 1.0e-5f);
}

INSTANTIATE_TEST_SUITE_P (Table, PannerImages, ::testing::Values (
    // Width 1: images stay at the slot's own direction; the alternate weight grows with distance from Angle.
    ImageCase { 10.0f, 1.0f, 0, 330.0f, 330.0f, 40.0f / 180.0f },
    ImageCase { 10.0f, 1.0f, 5, 180.0f, 180.0f, 170.0f / 180.0f },
    // Width 0: both images of every slot arrive at Angle (90 here), the long way round for the alternate one.
    ImageCase { 90.0f, 0.0f, 0, 450.0f, 90.0f, 120.0f / 180.0f },
    ImageCase { 90.0f, 0.0f, 2, 90.0f, -270.0f, 0.5f },
    ImageCase { 90.0f, 0.0f, 7, 90.0f, 90.0f + 360.0f, 0.0f },
    ImageCase { 90.0f, 0.0f, 5, 90.0f, 450.0f, 0.5f },
    // A slot opposite Angle splits into two equal images a quarter turn either side at Width 0.5.
    ImageCase { 0.0f, 0.5f, 5, 90.0f, 270.0f, 1.0f },
    ImageCase { 180.0f, 0.5f, 2, 90.0f, -90.0f, 1.0f }));

TEST (SlotPanner, RepeatedOrNonFiniteValuesChangeNothing)
{
    SpeakerRing ring;
    SlotPanner panner (ring);
    panner.setAngleDegrees (0.0f);
    panner.setWidth (1.0f);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ (panner.alternateWeight (i), 0.0f) << "unchanged values leave the alternate weights at 0";

    panner.setAngleDegrees (std::numeric_limits<float>::quiet_NaN());
    panner.setWidth (std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ (panner.angleDegrees(), 0.0f);
    EXPECT_EQ (panner.width(), 1.0f);
    for (int i = 0; i < 8; ++i)
        EXPECT_TRUE (std::isfinite (panner.directDirection (i)));
}

TEST (BinauralRenderer, SurroundSlotsReachTheirFeedsRightAfterConstruction)
{
    RendererFixture f (5);
    f.settle();
    struct Expect { int slot; std::vector<std::pair<int, float>> feeds; };
    for (const auto& e : { Expect { 3, { { 6, 0.5f } } },                                   // Lss
                           Expect { 7, { { 7, 0.5f } } },                                   // Rss
                           Expect { 5, { { 5, 0.25f }, { 4, 0.25f } } },                    // LFE at 180
                           Expect { 4, { { 4, 0.5f * 130 / 140 }, { 5, 0.5f * 10 / 140 } } }, // Lsr at 240
                           Expect { 0, { { 0, 0.5f } } },
                           Expect { 1, { { 1, 0.5f } } },
                           Expect { 2, { { 2, 0.5f } } } })
    {
        std::vector<float> expected (8, 0.0f);
        for (auto [feed, gain] : e.feeds)
            expected[(size_t) feed] = gain;
        const auto gains = f.slotFeedGains (e.slot);
        for (int feed = 0; feed < 8; ++feed)
            EXPECT_NEAR (gains[(size_t) feed], expected[(size_t) feed], 3.0e-6f) << "slot " << e.slot << " feed " << feed;
    }
}

TEST (BinauralRenderer, AngleChangedAndRestoredWeighsInTheAlternateImages)
{
    RendererFixture f (5);
    f.renderer->setAngle (0.3f);
    f.settle();
    f.renderer->setAngle (0.0f);
    f.settle();

    const float expectedTotals[8] = { 0.5f * (1 + 30.0f / 180), 0.5f * (1 + 30.0f / 180), 0.5f, 0.75f,
                                      0.5f * (1 + 120.0f / 180), 1.0f, 0.5f * (1 + 120.0f / 180), 0.75f };
    for (int slot = 0; slot < 8; ++slot)
    {
        float total = 0.0f;
        for (float g : f.slotFeedGains (slot))
            total += g;
        EXPECT_NEAR (total, expectedTotals[slot], 1.0e-5f) << "slot " << slot;
    }
}

TEST (BinauralRenderer, WidthZeroGathersEverythingAtAngle)
{
    RendererFixture f (5);
    f.renderer->setAngle (0.25f);
    f.renderer->setWidth (0.0f);
    f.settle();
    for (int slot = 0; slot < 8; ++slot)
    {
        const auto gains = f.slotFeedGains (slot);
        for (int feed = 0; feed < 8; ++feed)
            if (feed != 7)
                EXPECT_NEAR (gains[(size_t) feed], 0.0f, 1.0e-6f) << "slot " << slot << " feed " << feed;
        EXPECT_GT (gains[7], 0.49f);
    }
}

TEST (BinauralRenderer, MonoIsHalfTheInputThroughTheCentrePairOneHopLate)
{
    RendererFixture f (0, 3000);
    std::mt19937 rng (11);
    std::uniform_real_distribution<float> dist (-1.0f, 1.0f);
    std::vector<float> input (3000);
    for (auto& x : input)
        x = dist (rng);

    // Bring the centre gain to 0.5 first, then render the test signal.
    f.settle();
    f.channels[0] = input;
    f.render (1, 3000);

    HrirSet hrir;
    for (int ear = 0; ear < 2; ++ear)
    {
        const float* h = hrir.response (ear, 2);
        for (int n = 768; n < 3000; n += 37)
        {
            double want = 0.0;
            for (int t = 0; t < 256 && t <= n - 768; ++t)
                want += 0.5 * input[(size_t) (n - 768 - t)] * h[t];
            ASSERT_NEAR (f.channels[(size_t) ear][(size_t) n], want, 2.0e-5) << "ear " << ear << " n " << n;
        }
    }
}

TEST (BinauralRenderer, LongBlocksRenderInPiecesWithTheSameResult)
{
    const int length = 20000;
    std::vector<float> input ((size_t) length);
    std::mt19937 rng (4);
    std::uniform_real_distribution<float> dist (-1.0f, 1.0f);
    for (auto& x : input)
        x = dist (rng);

    RendererFixture whole (1, length), pieces (1, length);
    whole.channels[0] = whole.channels[1] = pieces.channels[0] = pieces.channels[1] = input;
    whole.render (2, length);

    for (int offset = 0; offset < length; offset += 1000)
    {
        float* ptrs[2] = { pieces.channels[0].data() + offset, pieces.channels[1].data() + offset };
        pieces.renderer->render (ptrs, ptrs, 2, 1000);
    }
    EXPECT_EQ (whole.channels[0], pieces.channels[0]);
    EXPECT_EQ (whole.channels[1], pieces.channels[1]);
}

TEST (BinauralRenderer, NonFiniteInputAndControlsNeverReachTheOutput)
{
    RendererFixture f (1, 512);
    f.renderer->setAngle (std::numeric_limits<float>::quiet_NaN());
    f.renderer->setWidth (std::numeric_limits<float>::infinity());
    EXPECT_EQ (f.renderer->getAngle(), 0.0f);
    EXPECT_EQ (f.renderer->getWidth(), 1.0f);

    for (int block = 0; block < 8; ++block)
    {
        for (int c = 0; c < 2; ++c)
            for (int k = 0; k < 512; ++k)
                f.channels[(size_t) c][(size_t) k] = k % 7 == 0 ? std::numeric_limits<float>::quiet_NaN()
                                                 : k % 11 == 0 ? -std::numeric_limits<float>::infinity() : 0.25f;
        f.render (2, 512);
        for (int c = 0; c < 2; ++c)
            for (float x : f.channels[(size_t) c])
                ASSERT_TRUE (std::isfinite (x));
    }
}
} // namespace

namespace
{
/** The render chain done the long way from the renderer's own parts: every slot (silent or
    not) and both of its images spread into eight cleared feeds, and all eight feeds
    convolved. The renderer skips silent slots, voices and feeds; it must not sound any
    different for it, now or after later changes. */
class UnskippedRenderer
{
public:
    UnskippedRenderer() : conv (std::make_unique<FftConvolver> (HrirSet())), slots (8, std::vector<float> (8192, 0.0f)), feeds (8, std::vector<float> (8192))
    {
        panner.setPanGain (4.0f);
    }

    void setInputConfiguration (int value)
    {
        for (auto& s : slots)
            std::fill (s.begin(), s.end(), 0.0f);
        map = InputConfiguration::get (value).map;
    }

    void render (const float* const* inputs, float* const* outputs, int numInputs, int numSamples, float angle, float width)
    {
        panner.setAngleDegrees (360.0f * angle);
        panner.setWidth (width);
        for (int c = 0; c < numInputs; ++c)
            std::copy_n (inputs[c], numSamples, slots[(size_t) map[(size_t) c]].begin());

        float* f[8];
        for (int j = 0; j < 8; ++j)
        {
            std::fill_n (feeds[(size_t) j].begin(), numSamples, 0.0f);
            f[j] = feeds[(size_t) j].data();
        }
        for (int i = 0; i < 8; ++i)
        {
            ring.spread (panner.directDirection (i), slots[(size_t) i].data(), f, numSamples, 0.5f, 2 * i);
            ring.spread (panner.alternateDirection (i), slots[(size_t) i].data(), f, numSamples, panner.alternateWeight (i) * 0.5f, 2 * i + 1);
        }
        const float* in[8];
        for (int j = 0; j < 8; ++j)
            in[j] = f[j];
        conv->process (in, outputs, 8, numSamples);
    }

private:
    std::unique_ptr<FftConvolver> conv;
    SpeakerRing ring;
    SlotPanner panner { ring };
    std::vector<std::vector<float>> slots, feeds;
    std::array<int, 8> map = InputConfiguration::get (0).map;
};

TEST (BinauralRenderer, SkippingSilenceChangesNoSample)
{
    std::mt19937 rng (21);
    std::uniform_real_distribution<float> dist (-0.5f, 0.5f);
    const int configurations[] = { 0, 5, 1, 2, 0, 9, 5 };
    const int blockSizes[] = { 512, 64, 1, 97, 4000, 8192, 768, 300 };

    auto renderer = std::make_unique<BinauralRenderer>();
    renderer->setPanGain (4.0f);
    UnskippedRenderer reference;
    std::vector<std::vector<float>> in (8, std::vector<float> (8192)), fast (2, std::vector<float> (8192)), slow = fast;
    float angle = 0.0f, width = 1.0f;
    int step = 0;

    for (int configuration : configurations)
    {
        renderer->setInputConfiguration (configuration);
        reference.setInputConfiguration (configuration);
        const int channels = InputConfiguration::get (configuration).channelCount;

        for (int block = 0; block < 30; ++block, ++step)
        {
            // Angle and Width now and then, so skipped voices glide to new places meanwhile.
            if (step % 7 == 3)
                angle = dist (rng) + 0.5f;
            if (step % 11 == 5)
                width = dist (rng) + 0.5f;
            renderer->setAngle (angle);
            renderer->setWidth (width);

            // Channels fall silent and come back in turns, for whole blocks or part of one.
            const int n = blockSizes[step % 8];
            for (int c = 0; c < 8; ++c)
                for (int k = 0; k < n; ++k)
                    in[(size_t) c][(size_t) k] = (step / 4 + c) % 3 == 0 || (c == 1 && k > n / 2) ? 0.0f : dist (rng);

            const float* inputs[8];
            for (int c = 0; c < 8; ++c)
                inputs[c] = in[(size_t) c].data();
            float* fastOut[2] = { fast[0].data(), fast[1].data() };
            float* slowOut[2] = { slow[0].data(), slow[1].data() };
            renderer->render (inputs, fastOut, channels, n);
            reference.render (inputs, slowOut, channels, n, angle, width);

            for (int ear = 0; ear < 2; ++ear)
                for (int k = 0; k < n; ++k)
                    ASSERT_EQ (fast[(size_t) ear][(size_t) k], slow[(size_t) ear][(size_t) k])
                        << "configuration " << configuration << " block " << block << " ear " << ear << " sample " << k;
        }
    }
}

TEST (BinauralRenderer, ASlotNotFilledInABlockIsSilentRatherThanReplayed)
{
    // Eight channels, then a call with only the first two: the other six slots must not
    // play their previous block again.
    RendererFixture full (5, 512), partial (5, 512);
    std::mt19937 rng (6);
    std::uniform_real_distribution<float> dist (-0.5f, 0.5f);
    for (int block = 0; block < 4; ++block)
    {
        for (int c = 0; c < 8; ++c)
            for (int k = 0; k < 512; ++k)
                full.channels[(size_t) c][(size_t) k] = partial.channels[(size_t) c][(size_t) k] = block < 2 || c < 2 ? dist (rng) : 0.0f;
        full.render (8, 512);
        partial.render (block < 2 ? 8 : 2, 512);
        EXPECT_EQ (partial.channels[0], full.channels[0]) << "block " << block;
        EXPECT_EQ (partial.channels[1], full.channels[1]) << "block " << block;
    }
    EXPECT_EQ (partial.renderer->slotSamples (7)[0], 0.0f);
}
} // namespace
