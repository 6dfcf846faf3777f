#include "GuiTestSupport.h"
#include "OptionGUI.h"
#include "SkinImages.h"
#include "Spat.h"
#include "VantorAudioProcessorEditor.h"
#include "WelcomeGUI.h"

#include <stdexcept>

using guitest::HostRecord;
using guitest::pump;

namespace
{
// Editor points: the knobs' centres, the hotspots.
const juce::Point<int> angleKnob { 104, 118 }, widthKnob { 104, 196 }, gainKnob { 104, 291 };
const juce::Point<int> gear { 470, 16 }, header { 96, 15 }, skinSwitch { 464, 352 };

struct EditorTest : ::testing::Test
{
    void open()
    {
        editor = nullptr; // the processor would hand out its live editor otherwise
        editor = guitest::openEditor (processor);
        ASSERT_NE (editor, nullptr);
        ASSERT_TRUE (guitest::waitForRefresh (processor)); // the first tick
    }

    template <typename ComponentType = juce::Component>
    ComponentType& child (const juce::String& name)
    {
        auto* found = guitest::findNamed<ComponentType> (*editor, name);
        if (found == nullptr)
            throw std::runtime_error (("no child named " + name).toStdString());
        return *found;
    }

    OptionGUI& optionPanel() { return *guitest::findAll<OptionGUI> (*editor).at (0); }
    WelcomeGUI& welcomePanel() { return *guitest::findAll<WelcomeGUI> (*editor).at (0); }

    int pixelsOffSkin (int skinIndex) { return guitest::pixelsDifferingFromSkin (guitest::snapshot (*editor), guitest::skin (skinIndex)); }

    guitest::AnyLayoutProcessor processor;
    guitest::EditorPtr editor;
};
} // namespace

TEST_F (EditorTest, LayoutOfTheWindow)
{
    open();
    EXPECT_EQ (editor->getWidth(), 500);
    EXPECT_EQ (editor->getHeight(), 380);

    struct Expected
    {
        const char* name;
        juce::Rectangle<int> bounds;
    };
    for (const auto& e : { Expected { "sliderAngle", { 74, 87, 60, 77 } }, Expected { "spat", { 183, 54, 300, 300 } },
                           Expected { "sliderWidth", { 74, 165, 60, 77 } }, Expected { "sliderGain", { 69, 255, 70, 87 } },
                           Expected { "engrenage", { 461, 7, 18, 18 } }, Expected { "new button", { 0, 0, 192, 30 } },
                           Expected { "buttonSwitchGUI", { 448, 336, 32, 32 } } })
    {
        auto& c = child (e.name);
        EXPECT_EQ (c.getBounds(), e.bounds) << e.name;
        EXPECT_EQ (c.getParentComponent(), editor.get()) << e.name;
        EXPECT_TRUE (c.isVisible()) << e.name;
    }

    // Both panels cover the window from its origin and start hidden, the welcome panel in front.
    EXPECT_EQ (optionPanel().getBounds(), editor->getLocalBounds());
    EXPECT_EQ (welcomePanel().getBounds(), editor->getLocalBounds());
    EXPECT_FALSE (optionPanel().isVisible());
    EXPECT_FALSE (welcomePanel().isVisible());
    EXPECT_EQ (editor->getIndexOfChildComponent (&welcomePanel()), editor->getNumChildComponents() - 1);
}

// Each skin is drawn 1:1; nothing but the knobs, the gear and the display's arc covers it.
TEST_F (EditorTest, ShowsTheStoredSkinOneToOne)
{
    for (const auto& [stored, shown] : { std::pair { 0, 0 }, std::pair { 1, 1 }, std::pair { 2, 2 }, std::pair { 3, 3 },
                                        std::pair { 4, 4 }, std::pair { 7, 0 }, std::pair { -3, 0 } })
    {
        SCOPED_TRACE (stored);
        EXPECT_EQ (guitest::skin (shown).getBounds(), juce::Rectangle<int> (0, 0, 500, 380));

        processor.setGuiIndex (stored);
        open();
        EXPECT_EQ (pixelsOffSkin (shown), 0);
        EXPECT_GT (pixelsOffSkin (shown == 0 ? 1 : 0), 10000);
        editor = nullptr;
    }
}

// The logo cycles the skins 1, 2, 3, 4, 0; the choice lives in the processor, so it
// survives closing the window and a save/restore of the state.
TEST_F (EditorTest, SkinSwitchCyclesAndTheChoiceIsKept)
{
    open();
    {
        guitest::DesktopMouse mouse (*editor);
        for (int expected : { 1, 2, 3, 4, 0, 1, 2, 3 })
        {
            mouse.click (skinSwitch);
            EXPECT_EQ (processor.getGuiIndex(), expected);
            EXPECT_EQ (pixelsOffSkin (expected), 0) << expected;
        }
    }

    editor = nullptr;
    open();
    EXPECT_EQ (pixelsOffSkin (3), 0);

    juce::MemoryBlock state;
    processor.getStateInformation (state);
    editor = nullptr;

    guitest::AnyLayoutProcessor restored;
    restored.setStateInformation (state.getData(), (int) state.getSize());
    EXPECT_EQ (restored.getGuiIndex(), 3);
    auto restoredEditor = guitest::openEditor (restored);
    EXPECT_EQ (guitest::pixelsDifferingFromSkin (guitest::snapshot (*restoredEditor), guitest::skin (3)), 0);
}

TEST_F (EditorTest, SkinSwitchFromAnIndexOutsideTheSkins)
{
    for (const auto& [stored, presses] : { std::pair { -2, std::vector<int> { -1, 0, 1 } },
                                           std::pair { 9, std::vector<int> { 0, 1 } } })
    {
        processor.setGuiIndex (stored);
        open();
        guitest::DesktopMouse mouse (*editor);
        for (int expected : presses)
        {
            mouse.click (skinSwitch);
            EXPECT_EQ (processor.getGuiIndex(), expected);
        }
        EXPECT_EQ (pixelsOffSkin (1), 0);
    }
}

// A knob drag is one gesture on its own parameter, with the host told of every step.
TEST_F (EditorTest, KnobDragsWriteTheirParameterInsideAGesture)
{
    struct Case
    {
        juce::Point<int> knob;
        const char* name;
        int index;
        double (*toParameter) (double);
    };

    open();
    guitest::DesktopMouse mouse (*editor);

    for (const auto& c : { Case { angleKnob, "sliderAngle", 0, [] (double v) { return v / 360.0; } },
                           Case { widthKnob, "sliderWidth", 1, [] (double v) { return v / 100.0; } },
                           Case { gainKnob, "sliderGain", 2, [] (double v) { return (v + 90.0) / 100.0; } } })
    {
        SCOPED_TRACE (c.name);
        auto& knob = child<juce::Slider> (c.name);
        const double before = knob.getValue();
        // Width starts at its maximum, so it is turned down; the others up.
        const int dy = c.index == 1 ? 30 : -30;

        HostRecord host (processor);
        mouse.drag ({ c.knob, c.knob + juce::Point<int> (0, dy / 3), c.knob + juce::Point<int> (0, dy) });

        EXPECT_NE (knob.getValue(), before);
        using K = HostRecord::Kind;
        EXPECT_EQ (host.gestures(), (std::vector<std::pair<K, int>> { { K::begin, c.index }, { K::end, c.index } }));
        ASSERT_GE (host.countChanges(), 1);
        for (size_t i = 1; i + 1 < host.events.size(); ++i)
        {
            EXPECT_EQ (host.events[i].kind, K::change);
            EXPECT_EQ (host.events[i].index, c.index);
        }
        EXPECT_FLOAT_EQ (processor.getParameterValue (c.index), (float) c.toParameter (knob.getValue()));
    }

    // 30 px up on the Angle knob is 30/250 of its travel.
    EXPECT_EQ (child<juce::Slider> ("sliderAngle").getValue(), 43.0);
    EXPECT_FLOAT_EQ (processor.getParameterValue (0), 43.0f / 360.0f);
}

TEST_F (EditorTest, KnobValuesMapToParameters)
{
    struct Case
    {
        const char* name;
        double value;
        int index;
        float parameter;
    };

    open();
    for (const auto& c : { Case { "sliderAngle", 360, 0, 1.0f }, Case { "sliderAngle", 0, 0, 0.0f }, Case { "sliderAngle", 90, 0, 0.25f },
                           Case { "sliderWidth", 37, 1, 0.37f }, Case { "sliderWidth", 100, 1, 1.0f },
                           Case { "sliderGain", -90, 2, 0.0f }, Case { "sliderGain", 10, 2, 1.0f }, Case { "sliderGain", 0, 2, 0.9f } })
    {
        child<juce::Slider> (c.name).setValue (c.value, juce::sendNotificationSync);
        EXPECT_FLOAT_EQ (processor.getParameterValue (c.index), c.parameter) << c.name << " " << c.value;
    }

    auto& gain = child<juce::Slider> ("sliderGain");
    EXPECT_NEAR (gain.valueToProportionOfLength (0.0), std::pow (0.9, 6.5), 1e-9);
    EXPECT_EQ (gain.getTextFromValue (-12.0), "-12dB");
    EXPECT_EQ (child<juce::Slider> ("sliderAngle").getTextFromValue (90.0), juce::String::fromUTF8 ("90\xc2\xb0"));
    EXPECT_EQ (child<juce::Slider> ("sliderWidth").getTextFromValue (37.0), "37%");
}

// The window follows the parameters within a tick of the 50 ms timer, also at opening,
// and never echoes a refresh back to the host.
TEST_F (EditorTest, RefreshFollowsHostAutomationWithoutEcho)
{
    processor.getParameterObject (0)->setValue (0.5f);
    processor.getParameterObject (2)->setValue (0.4f);
    processor.setEditorRefreshPending (false);

    HostRecord host (processor);
    open();
    EXPECT_EQ (child<juce::Slider> ("sliderAngle").getValue(), 180.0);
    EXPECT_EQ (child<juce::Slider> ("sliderGain").getValue(), -50.0);

    struct Case
    {
        float angle, width, gain;
        double angleKnob, widthKnob, gainKnob;
    };
    for (const auto& c : { Case { 0.25f, 0.5f, 0.9f, 90, 50, 0 }, Case { 0.125f, -0.3f, 1.0f, 45, 0, 10 },
                           Case { 1.0f, 1.2f, 0.0f, 360, 100, -90 } })
    {
        processor.getParameterObject (0)->setValue (c.angle);
        processor.getParameterObject (1)->setValue (c.width);
        processor.getParameterObject (2)->setValue (c.gain);
        ASSERT_TRUE (guitest::waitForRefresh (processor));

        EXPECT_FALSE (processor.isEditorRefreshPending());
        EXPECT_EQ (child<juce::Slider> ("sliderAngle").getValue(), c.angleKnob);
        EXPECT_EQ (child<juce::Slider> ("sliderWidth").getValue(), c.widthKnob);
        EXPECT_EQ (child<juce::Slider> ("sliderGain").getValue(), c.gainKnob);

        auto& spat = child<Spat> ("spat");
        const auto point = Spat::pointFor (c.angle, c.width);
        EXPECT_NEAR (spat.posX, point.x, 1e-6f);
        EXPECT_NEAR (spat.posY, point.y, 1e-6f);
    }

    EXPECT_TRUE (host.events.empty());
}

// A drag on the display lands, after the next refresh, back where the mouse put it.
TEST_F (EditorTest, DisplayDragRoundTripsThroughTheParameters)
{
    open();
    guitest::DesktopMouse mouse (*editor);
    const juce::Point<int> spatOrigin { 183, 54 };

    for (const auto point : { juce::Point<int> { 60, 240 }, juce::Point<int> { 290, 10 }, juce::Point<int> { 150, 150 } })
    {
        HostRecord host (processor);
        mouse.click (spatOrigin + point);
        ASSERT_TRUE (guitest::waitForRefresh (processor));
        pump (60); // a further tick must not write anything

        auto& spat = child<Spat> ("spat");
        EXPECT_NEAR (spat.posX, (float) point.x / 300.0f, 1e-5f);
        EXPECT_NEAR (spat.posY, (float) point.y / 300.0f, 1e-5f);
        EXPECT_EQ (host.countChanges(), 2); // the click's own writes only
    }
}

// The gear shows the options panel with its list brought up to date; the header strip
// shows the welcome panel. A shown panel lies over its button, so the next click there
// closes it.
TEST_F (EditorTest, GearAndHeaderTogglePanels)
{
    processor.requestInputConfiguration (1);
    open();
    guitest::DesktopMouse mouse (*editor);

    processor.setInputChannels (8);
    processor.requestInputConfiguration (5);

    mouse.click (gear);
    ASSERT_TRUE (optionPanel().isVisible());
    auto* inputList = guitest::findAll<juce::ComboBox> (optionPanel()).at (0);
    EXPECT_EQ (inputList->getSelectedItemIndex(), 6);
    EXPECT_TRUE (inputList->isItemEnabled (10));

    mouse.click (gear);
    EXPECT_FALSE (optionPanel().isVisible());

    mouse.click (header);
    EXPECT_TRUE (welcomePanel().isVisible());
    mouse.click (header);
    EXPECT_FALSE (welcomePanel().isVisible());

    // A shown panel covers the gear, so only the editor's own toggle can hide it again.
    auto& gearButton = child<juce::Button> ("engrenage");
    auto& listener = dynamic_cast<juce::Button::Listener&> (*editor);
    listener.buttonClicked (&gearButton);
    EXPECT_TRUE (optionPanel().isVisible());
    listener.buttonClicked (&gearButton);
    EXPECT_FALSE (optionPanel().isVisible());
}

TEST_F (EditorTest, OptionsPanelClosesOnClicksAroundTheBoxOnly)
{
    open();
    guitest::DesktopMouse mouse (*editor);

    struct Case
    {
        juce::Point<int> point;
        bool staysOpen;
    };
    for (const auto& c : { Case { { 195, 92 }, true }, Case { { 495, 33 }, true }, Case { { 250, 47 }, true },
                           Case { { 440, 47 }, true }, Case { { 195, 128 }, true }, Case { { 300, 140 }, false },
                           Case { { 100, 200 }, false }, Case { { 300, 150 }, false },
                           Case { { 185, 60 }, false }, Case { { 2, 2 }, false }, Case { { 104, 118 }, false } })
    {
        mouse.click (gear);
        ASSERT_TRUE (optionPanel().isVisible());
        mouse.click (c.point);
        EXPECT_EQ (optionPanel().isVisible(), c.staysOpen) << c.point.toString();
        if (optionPanel().isVisible())
            mouse.click ({ 100, 200 });
    }
}

TEST_F (EditorTest, WelcomePanelClosesOnClicksAnywhereButTheLink)
{
    open();
    guitest::DesktopMouse mouse (*editor);

    for (const auto point : { juce::Point<int> { 250, 137 }, juce::Point<int> { 250, 220 }, juce::Point<int> { 20, 300 },
                              juce::Point<int> { 470, 16 } })
    {
        mouse.click (header);
        ASSERT_TRUE (welcomePanel().isVisible());
        mouse.click (point);
        EXPECT_FALSE (welcomePanel().isVisible()) << point.toString();
    }

    // The link lies in front of the close area (clicking it would open a browser).
    mouse.click (header);
    auto* link = editor->getComponentAt (253, 300);
    ASSERT_NE (dynamic_cast<juce::HyperlinkButton*> (link), nullptr);
    EXPECT_EQ (dynamic_cast<juce::HyperlinkButton*> (link)->getURL().toString (false), "https://quillbright.example");
}

// The window's look is set on the window itself: the process-wide default is left
// alone, while every text of the window is still set in the embedded Roboto.
TEST_F (EditorTest, LookAndFeelStaysWithTheWindow)
{
    auto& defaultBefore = juce::LookAndFeel::getDefaultLookAndFeel();
    open();

    EXPECT_EQ (&juce::LookAndFeel::getDefaultLookAndFeel(), &defaultBefore);
    EXPECT_EQ (dynamic_cast<AltLookAndFeel*> (&defaultBefore), nullptr);

    auto isTransparentVariant = [] (juce::Component& c)
    { return dynamic_cast<AltLookAndFeel_transparentButton*> (&c.getLookAndFeel()) != nullptr; };
    auto isPlainAlt = [&] (juce::Component& c)
    { return dynamic_cast<AltLookAndFeel*> (&c.getLookAndFeel()) != nullptr && ! isTransparentVariant (c); };

    for (const char* name : { "sliderAngle", "spat", "sliderWidth", "engrenage" })
        EXPECT_TRUE (isPlainAlt (child (name))) << name;
    for (const char* name : { "sliderGain", "new button", "buttonSwitchGUI" })
        EXPECT_TRUE (isTransparentVariant (child (name))) << name;
    for (auto* box : guitest::findAll<juce::ComboBox> (*editor))
        EXPECT_TRUE (isPlainAlt (*box));
    for (auto* panel : { static_cast<juce::Component*> (&optionPanel()), static_cast<juce::Component*> (&welcomePanel()) })
        EXPECT_TRUE (isTransparentVariant (*guitest::findNamed (*panel, "closeButton")));

    const auto labels = guitest::findAll<juce::Label> (*editor);
    EXPECT_GE (labels.size(), 8u); // three value boxes, two lists, boxCover, two captions, title
    for (auto* label : labels)
        EXPECT_EQ (label->getLookAndFeel().getLabelFont (*label).getTypefacePtr()->getName(), "Roboto") << label->getText();

    // A component outside the window keeps the framework's look.
    juce::TextButton outsider;
    EXPECT_EQ (&outsider.getLookAndFeel(), &defaultBefore);
}
