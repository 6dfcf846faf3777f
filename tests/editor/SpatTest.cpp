#include "GuiTestSupport.h"
#include "Spat.h"

#include <cmath>

using guitest::HostRecord;

namespace
{
constexpr float sqrt2 = 1.41421356f;

/** Whether the display covers the ring at a direction (degrees clockwise from up). */
bool ringCoveredAt (const juce::Image& image, float degrees)
{
    const float radians = juce::degreesToRadians (degrees);
    const float radius = 125.0f; // between the ring's inner (120.6) and outer (129) edges
    const int x = juce::roundToInt (150.0f + radius * std::sin (radians));
    const int y = juce::roundToInt (150.0f - radius * std::cos (radians));
    return image.getPixelAt (x, y).getAlpha() > 128;
}

juce::Image renderDisplay (float angle, float width)
{
    Spat spat (nullptr);
    spat.setSize (300, 300);
    const auto point = Spat::pointFor (angle, width);
    spat.posX = point.x;
    spat.posY = point.y;
    return guitest::snapshot (spat);
}

/** A display of its own size in a window of its own. */
struct Window
{
    explicit Window (VantorAudioProcessor& p) : spat (&p)
    {
        spat.setSize (300, 300);
        mouse = std::make_unique<guitest::DesktopMouse> (spat);
    }

    Spat spat;
    std::unique_ptr<guitest::DesktopMouse> mouse;
};
} // namespace

// The arc covers a whole turn down to Width 0.9 and narrows to 0.1 radian at Width 0,
// centred on the Angle direction.
TEST (SpatDisplay, ArcExtentFollowsWidth)
{
    struct Case
    {
        float angle, width;
        std::vector<float> covered, clear;
    };

    // Width 0.5: half-extent 1.7675 rad (101.3 degrees); Width 0: 0.05 rad (2.9 degrees).
    for (const auto& c : { Case { 0.0f, 1.0f, { 0, 90, 179, 180, 270, 359 }, {} },
                           Case { 0.0f, 0.95f, { 0, 120, 180, 240 }, {} },
                           Case { 0.0f, 0.5f, { 0, 60, 97, 263, 300 }, { 106, 180, 254 } },
                           Case { 0.25f, 0.0f, { 90 }, { 84, 96, 0, 180, 270 } },
                           Case { 0.25f, -0.3f, { 90 }, { 84, 96, 270 } } })
    {
        SCOPED_TRACE ("angle " + juce::String (c.angle) + " width " + juce::String (c.width));
        const auto image = renderDisplay (c.angle, c.width);
        for (float d : c.covered)
            EXPECT_TRUE (ringCoveredAt (image, d)) << d;
        for (float d : c.clear)
            EXPECT_FALSE (ringCoveredAt (image, d)) << d;
        // Inside the ring and in the square's corners the display stays transparent.
        EXPECT_EQ (image.getPixelAt (150, 150).getAlpha(), 0);
        EXPECT_EQ (image.getPixelAt (5, 5).getAlpha(), 0);
    }
}

TEST (SpatDisplay, ArcColours)
{
    const auto image = renderDisplay (0.0f, 1.0f);
    // Mid-ring the fill (0xf65ec5da) lies over the translucent stroke.
    const auto fill = juce::Colour (0xf65ec5da);
    const auto expected = juce::Colour (0x5ec5daf6).overlaidWith (fill);
    EXPECT_LE (guitest::colourDistance (image.getPixelAt (150, 25), expected), 6);
}

// Where the mouse presses, relative to the display's centre, sets Angle (direction,
// clockwise from up) and Width (1 at the centre, 0 on the inscribed circle, below 0 in
// the corners, stored unlimited).
TEST (SpatDisplay, MousePositionSetsAngleAndWidth)
{
    struct Case
    {
        std::vector<juce::Point<int>> path;
        float angle, width;
    };

    guitest::AnyLayoutProcessor processor;
    Window window (processor);

    for (const auto& c : { Case { { { 150, 0 } }, 0.0f, 0.0f },
                           Case { { { 299, 150 } }, 0.25f, 1.0f - 298.0f / 300.0f },
                           Case { { { 150, 299 } }, 0.5f, 1.0f - 298.0f / 300.0f },
                           Case { { { 0, 150 } }, 0.75f, 0.0f },
                           Case { { { 150, 150 } }, 0.25f, 1.0f },
                           Case { { { 225, 75 } }, 0.125f, 1.0f - sqrt2 / 2.0f },
                           Case { { { 150, 150 }, { 300, 0 } }, 0.125f, 1.0f - sqrt2 },
                           Case { { { 150, 150 }, { 350, -40 } }, 0.125f, 1.0f - sqrt2 },
                           Case { { { 150, 150 }, { 150, 400 } }, 0.5f, 0.0f } })
    {
        SCOPED_TRACE (c.path.back().toString());
        HostRecord host (processor);

        window.mouse->press (c.path.front());
        for (size_t i = 1; i < c.path.size(); ++i)
            window.mouse->dragTo (c.path[i]);
        window.mouse->release (c.path.back());

        EXPECT_NEAR (processor.getParameterValue (0), c.angle, 1e-6f);
        EXPECT_NEAR (processor.getParameterValue (1), c.width, 1e-6f);

        // The host is told of every write; Angle is written before Width.
        // ... change Angle, change Width, end Width, end Angle.
        ASSERT_GE (host.events.size(), 6u);
        const auto* lastWrites = &host.events[host.events.size() - 4];
        EXPECT_EQ (lastWrites[0].kind, HostRecord::change);
        EXPECT_EQ (lastWrites[0].index, 0);
        EXPECT_FLOAT_EQ (lastWrites[0].value, processor.getParameterValue (0));
        EXPECT_EQ (lastWrites[1].kind, HostRecord::change);
        EXPECT_EQ (lastWrites[1].index, 1);
        EXPECT_FLOAT_EQ (lastWrites[1].value, processor.getParameterValue (1));
    }
}

// Both gestures open on the press (Width's first) and close on the release (Width's
// first), with every write between them.
TEST (SpatDisplay, DragIsOneGesturePerParameter)
{
    guitest::AnyLayoutProcessor processor;
    Window window (processor);
    HostRecord host (processor);

    window.mouse->drag ({ { 150, 0 }, { 200, 40 }, { 300, 150 } });

    using K = HostRecord::Kind;
    const std::vector<std::pair<K, int>> expectedGestures { { K::begin, 1 }, { K::begin, 0 }, { K::end, 1 }, { K::end, 0 } };
    EXPECT_EQ (host.gestures(), expectedGestures);

    ASSERT_EQ (host.events.size(), 2u + 3u * 2u + 2u);
    for (size_t i = 2; i < 8; ++i)
    {
        EXPECT_EQ (host.events[i].kind, K::change);
        EXPECT_EQ (host.events[i].index, (int) (i % 2 == 0 ? 0 : 1));
    }
    EXPECT_FLOAT_EQ (host.events[6].value, 0.25f);
    EXPECT_FLOAT_EQ (host.events[7].value, 0.0f);

    // The point stays where the mouse left it.
    EXPECT_FLOAT_EQ (window.spat.posX, 1.0f);
    EXPECT_FLOAT_EQ (window.spat.posY, 0.5f);
}

TEST (SpatDisplay, WithoutProcessorMovesPointOnly)
{
    Spat spat (nullptr);
    spat.setSize (300, 300);
    guitest::DesktopMouse mouse (spat);
    mouse.drag ({ { 60, 240 }, { 30, 270 } });
    EXPECT_FLOAT_EQ (spat.posX, 0.1f);
    EXPECT_FLOAT_EQ (spat.posY, 0.9f);
}

TEST (SpatDisplay, StartsFromTheProcessorsParameters)
{
    guitest::AnyLayoutProcessor processor;
    processor.getParameterObject (0)->setValue (0.75f);
    processor.getParameterObject (1)->setValue (0.5f);
    Spat spat (&processor);
    EXPECT_NEAR (spat.posX, 0.25f, 1e-6f);
    EXPECT_NEAR (spat.posY, 0.5f, 1e-6f);
}
