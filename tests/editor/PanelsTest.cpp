#include "BinaryData.h"
#include "GuiTestSupport.h"
#include "OptionGUI.h"
#include "VantorAudioProcessorEditor.h"
#include "WelcomeGUI.h"

#include <functional>

using guitest::colourDistance;
using guitest::pump;

namespace
{
juce::ComboBox& inputList (OptionGUI& panel) { return *guitest::findAll<juce::ComboBox> (panel).at (0); }
juce::ComboBox& bassList (OptionGUI& panel) { return *guitest::findAll<juce::ComboBox> (panel).at (1); }
juce::ComboBox& rateList (OptionGUI& panel) { return *guitest::findAll<juce::ComboBox> (panel).at (2); }
} // namespace

// The panel fills only the options box (translucent black, a light line on its left and
// bottom edges, three rows of choices); the window shows through everywhere else.
TEST (OptionsPanel, DrawsOnlyTheOptionsBox)
{
    AltLookAndFeel windowLook; // what the editor gives its panels
    OptionGUI panel (nullptr);
    panel.setLookAndFeel (&windowLook);
    ASSERT_EQ (panel.getBounds(), juce::Rectangle<int> (0, 0, 500, 380));
    const auto image = guitest::snapshot (panel);

    const auto box = juce::Colour (0xba000000), line = juce::Colour (0xffb9ac9a), clear = juce::Colour (0x00000000);
    struct Case
    {
        int x, y;
        juce::Colour colour;
    };
    for (const auto& c : { Case { 195, 92, box }, Case { 390, 92, box }, Case { 499, 31, box }, Case { 300, 30, box },
                           Case { 195, 130, box }, Case { 400, 99, box }, Case { 499, 133, box },
                           Case { 190, 30, line }, Case { 190, 120, line }, Case { 300, 134, line }, Case { 499, 134, line },
                           Case { 189, 60, clear }, Case { 300, 135, clear }, Case { 300, 29, clear }, Case { 100, 200, clear },
                           Case { 499, 379, clear } })
    {
        const auto pixel = image.getPixelAt (c.x, c.y);
        if (c.colour.getAlpha() == 0)
            EXPECT_EQ (pixel.getAlpha(), 0) << c.x << "," << c.y;
        else
            EXPECT_LE (colourDistance (pixel, c.colour), 2) << c.x << "," << c.y;
    }

    // The lists: black bodies with a whitesmoke outline.
    EXPECT_LE (colourDistance (image.getPixelAt (203, 74), juce::Colours::whitesmoke), 2);
    EXPECT_LE (colourDistance (image.getPixelAt (406 + 5, 65 + 1), juce::Colours::black), 2);
    EXPECT_LE (colourDistance (image.getPixelAt (406, 110), juce::Colours::whitesmoke), 2);
    EXPECT_LE (colourDistance (image.getPixelAt (406 + 5, 101 + 1), juce::Colours::black), 2);
}

TEST (OptionsPanel, CaptionsAndListTexts)
{
    OptionGUI panel (nullptr);
    EXPECT_EQ (guitest::findNamed<juce::Label> (panel, "label_InputConfig")->getText(), "Input channel config");
    EXPECT_EQ (guitest::findNamed<juce::Label> (panel, "label_BassBoost")->getText(), "Bass Boost");
    EXPECT_EQ (inputList (panel).getName(), "presetList");
    EXPECT_EQ (bassList (panel).getName(), "presetList");

    const juce::StringArray bass { "Off", "+3 dB", "+6 dB", "+9 dB" };
    ASSERT_EQ (bassList (panel).getNumItems(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ (bassList (panel).getItemText (i), bass[i]);
}

// Only the configurations the host's channel count allows can be chosen, and only when
// the host delivers exactly 1, 2, 6 or 8 channels.
TEST (OptionsPanel, InputListFollowsTheHostsChannelCount)
{
    for (const auto& [channels, enabledItems] : { std::pair { 1, 1 }, std::pair { 2, 2 }, std::pair { 3, 0 }, std::pair { 4, 0 },
                                                 std::pair { 6, 6 }, std::pair { 7, 0 }, std::pair { 8, 10 }, std::pair { 10, 0 } })
    {
        guitest::AnyLayoutProcessor processor (channels);
        ASSERT_EQ (processor.getTotalNumInputChannels(), channels);
        OptionGUI panel (&processor);
        for (int id = 1; id <= 10; ++id)
            EXPECT_EQ (inputList (panel).isItemEnabled (id), id <= enabledItems) << channels << " channels, item " << id;
    }
}

// List positions group the layouts by channel count; the configuration values keep their
// own order. Both directions go through the same table.
TEST (OptionsPanel, ListPositionsMapToConfigurations)
{
    struct Case
    {
        int listIndex;
        const char* text;
        int configuration;
    };
    const Case table[] = { { 0, "Mono", 0 },
                           { 1, "Stereo", 1 },
                           { 2, "L R C LFE Lsr Rs", 2 },
                           { 3, "L C R Lsr Rsr LFE", 3 },
                           { 4, "C L R Lsr Rsr LFE", 4 },
                           { 5, "L R Lsr Rsr C LFE", 8 },
                           { 6, "L R C LFE Lsr Rsr Lss Rss", 5 },
                           { 7, "L C R Lss Rss Lsr Rsr LFE", 6 },
                           { 8, "C L R Lss Rss Lsr Rsr LFE", 7 },
                           { 9, "L R Lsr Rsr C LFE Lss Rss", 9 } };

    guitest::AnyLayoutProcessor processor (8);
    OptionGUI panel (&processor);
    auto& list = inputList (panel);
    ASSERT_EQ (list.getNumItems(), 10);

    for (const auto& c : table)
    {
        SCOPED_TRACE (c.text);
        EXPECT_EQ (list.getItemText (c.listIndex), c.text);
        EXPECT_EQ (list.getItemId (c.listIndex), c.listIndex + 1);

        const int elsewhere = c.listIndex == 0 ? 9 : 0;
        list.setSelectedItemIndex (elsewhere, juce::dontSendNotification);
        list.setSelectedItemIndex (c.listIndex, juce::sendNotificationSync);
        EXPECT_EQ (processor.getInputConfiguration(), c.configuration);

        list.setSelectedItemIndex (elsewhere, juce::dontSendNotification);
        panel.updateInputConfigChoices();
        EXPECT_EQ (list.getSelectedItemIndex(), c.listIndex);
    }

    // Values no item stands for (a damaged project's, read as 7.1) and a configuration not
    // chosen yet show none: the list names no layout that is not in use.
    for (const auto& [configuration, shown] : { std::pair { 10, -1 }, std::pair { 42, -1 }, std::pair { -1, -1 } })
    {
        processor.requestInputConfiguration (configuration);
        panel.updateInputConfigChoices();
        EXPECT_EQ (list.getSelectedItemIndex(), shown) << configuration;
    }
}

// A layout chosen earlier stays shown when the host now delivers fewer channels.
TEST (OptionsPanel, ShowsAConfigurationTheHostNoLongerAllows)
{
    guitest::AnyLayoutProcessor processor (6);
    processor.requestInputConfiguration (8);
    OptionGUI panel (&processor);
    processor.setInputChannels (2);
    panel.updateInputConfigChoices();
    EXPECT_EQ (inputList (panel).getSelectedItemIndex(), 5);
    EXPECT_FALSE (inputList (panel).isItemEnabled (6));
}

// The lists show what the processor holds and never hand it back: the announcement of a
// selection made in code arrives later on the message thread, and would undo whatever a
// host set in between (a fresh instance would be locked to Mono before its first prepare).
TEST (OptionsPanel, ShowingTheProcessorsChoicesRequestsNothing)
{
    struct Case
    {
        const char* what;
        int channels, configuration, step;
        std::function<void (VantorAudioProcessor&, OptionGUI&)> hostMeanwhile;
        int expectedConfiguration, expectedStep;
        const char* inputText;
    };
    const Case cases[] = {
        { "fresh instance", 2, VantorAudioProcessor::kNotChosen, 0, {}, VantorAudioProcessor::kNotChosen, 0, "" },
        { "layout restored while the panel is built", 8, 1, 0,
          [] (auto& p, auto&) { p.requestInputConfiguration (5); }, 5, 0, "Stereo" },
        { "bass step restored while the panel is built", 2, 1, 2,
          [] (auto& p, auto&) { p.setBassBoostStep (3); }, 1, 3, "Stereo" },
        { "panel reopened, then a layout restored", 6, 8, 0,
          [] (auto& p, auto& panel)
          {
              p.requestInputConfiguration (2);
              panel.updateInputConfigChoices();
              p.requestInputConfiguration (3);
          },
          3, 0, "L R C LFE Lsr Rs" },
        // A damaged project's number that is no layout: the channels are read as 7.1, which
        // the list cannot name, so it names none rather than one that is not in use.
        { "no layout's number restored", 8, 42, 0, {}, 42, 0, "" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        guitest::AnyLayoutProcessor processor (c.channels);
        if (c.configuration != VantorAudioProcessor::kNotChosen)
            processor.requestInputConfiguration (c.configuration);
        processor.setBassBoostStep (c.step);

        OptionGUI panel (&processor);
        if (c.hostMeanwhile)
            c.hostMeanwhile (processor, panel);
        pump (50);

        EXPECT_EQ (processor.getInputConfiguration(), c.expectedConfiguration);
        EXPECT_EQ (processor.getBassBoostStep(), c.expectedStep);
        EXPECT_EQ (inputList (panel).getText(), c.inputText);
    }
}

// Before the first prepare nothing is chosen and nothing is shown, so every item, Mono
// too, is a choice the user can make; the processor then keeps it.
TEST (OptionsPanel, UsersChoiceBeforeTheFirstPrepareIsKept)
{
    for (const int listIndex : { 0, 1 })
    {
        guitest::AnyLayoutProcessor processor (2);
        OptionGUI panel (&processor);
        ASSERT_EQ (inputList (panel).getSelectedItemIndex(), -1);

        inputList (panel).setSelectedItemIndex (listIndex); // as the list's menu does
        pump (50);
        EXPECT_EQ (processor.getInputConfiguration(), listIndex);

        processor.prepareToPlay (48000.0, 512);
        EXPECT_EQ (processor.getInputConfiguration(), listIndex) << "the user's choice stands";
    }
}

// Where a VST3 host declares the layout and nothing is chosen, the list shows the layout that
// reads the host's channels in their order, or nothing where none does; picking one makes it
// the user's choice, which the next prepare keeps.
TEST (OptionsPanel, ADeclaredLayoutShowsTheConfigurationThatReadsItsOrder)
{
    using Set = juce::AudioChannelSet;
    const std::pair<Set, const char*> cases[] = { { Set::create5point1(), "L R C LFE Lsr Rs" }, { Set::stereo(), "Stereo" },
                                                  { Set::create7point1(), "" } };
    for (const auto& [layout, shown] : cases)
    {
        SCOPED_TRACE (layout.getDescription());
        juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_VST3);
        VantorAudioProcessor processor (juce::PluginHostType::UnknownHost);
        juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_Undefined);
        juce::AudioProcessor::BusesLayout buses;
        buses.inputBuses.add (layout);
        buses.outputBuses.add (Set::stereo());
        ASSERT_TRUE (processor.setBusesLayout (buses));
        processor.prepareToPlay (48000.0, 512);

        OptionGUI panel (&processor);
        pump (50);
        EXPECT_EQ (inputList (panel).getText(), shown);
        EXPECT_EQ (processor.getInputConfiguration(), VantorAudioProcessor::kNotChosen) << "showing it chose nothing";

        inputList (panel).setSelectedItemIndex (0); // Mono, as the list's menu does
        pump (50);
        processor.prepareToPlay (48000.0, 512);
        EXPECT_EQ (processor.getInputConfiguration(), 0);
        EXPECT_FALSE (processor.readsDeclaredLayout());
    }
}

TEST (OptionsPanel, BassBoostShowsAndForwardsTheStep)
{
    guitest::AnyLayoutProcessor processor;
    processor.setBassBoostStep (2);
    OptionGUI panel (&processor);
    auto& list = bassList (panel);
    EXPECT_EQ (list.getText(), "+6 dB");
    pump (50);
    EXPECT_EQ (processor.getBassBoostStep(), 2);

    list.setSelectedItemIndex (3, juce::sendNotificationSync);
    EXPECT_EQ (processor.getBassBoostStep(), 3);
    list.setSelectedItemIndex (0, juce::sendNotificationSync);
    EXPECT_EQ (processor.getBassBoostStep(), 0);

    processor.setBassBoostStep (7);
    OptionGUI outOfRange (&processor);
    EXPECT_EQ (bassList (outOfRange).getSelectedItemIndex(), -1);
}

// The rate option: shown as the processor holds it (also after a restore while the panel
// was hidden), forwarded only when the user chooses.
TEST (OptionsPanel, RateListShowsAndForwardsTheOption)
{
    guitest::AnyLayoutProcessor processor;
    processor.setTrueRate (true);
    OptionGUI panel (&processor);
    auto& list = rateList (panel);
    EXPECT_EQ (guitest::findNamed<juce::Label> (panel, "label_TrueRate")->getText(), "Resample HRTF to session rate");
    EXPECT_EQ (list.getName(), "presetList");
    ASSERT_EQ (list.getNumItems(), 2);
    EXPECT_EQ (list.getItemText (0), "Off");
    EXPECT_EQ (list.getItemText (1), "On");
    EXPECT_EQ (list.getText(), "On");
    pump (50);
    EXPECT_TRUE (processor.isTrueRate());

    list.setSelectedItemIndex (0, juce::sendNotificationSync);
    EXPECT_FALSE (processor.isTrueRate());
    list.setSelectedItemIndex (1, juce::sendNotificationSync);
    EXPECT_TRUE (processor.isTrueRate());

    panel.setVisible (false);
    processor.setTrueRate (false);
    panel.setVisible (true);
    EXPECT_EQ (list.getText(), "Off");
    pump (50);
    EXPECT_FALSE (processor.isTrueRate());
}

// Every text the panel shows goes through the framework's translation.
TEST (OptionsPanel, TextsAreTranslated)
{
    juce::LocalisedStrings::setCurrentMappings (new juce::LocalisedStrings ("language: Test\n"
                                                                            "\"Resample HRTF to session rate\" = \"HRTF-Abtastrate folgen\"\n"
                                                                            "\"Off\" = \"Aus\"\n"
                                                                            "\"On\" = \"Ein\"\n"
                                                                            "\"Bass Boost\" = \"Bassanhebung\"\n",
                                                                            false));
    {
        OptionGUI panel (nullptr);
        EXPECT_EQ (guitest::findNamed<juce::Label> (panel, "label_TrueRate")->getText(), "HRTF-Abtastrate folgen");
        EXPECT_EQ (guitest::findNamed<juce::Label> (panel, "label_BassBoost")->getText(), "Bassanhebung");
        EXPECT_EQ (rateList (panel).getItemText (0), "Aus");
        EXPECT_EQ (rateList (panel).getItemText (1), "Ein");
        EXPECT_EQ (bassList (panel).getItemText (0), "Aus");
    }
    juce::LocalisedStrings::setCurrentMappings (nullptr);
}

TEST (WelcomePanel, TitleAndLink)
{
    WelcomeGUI panel;
    EXPECT_EQ (panel.getBounds(), juce::Rectangle<int> (0, 0, 500, 380));
    EXPECT_EQ (guitest::findNamed<juce::Label> (panel, "labelTitle")->getText(), "Vendrasolith v1.1");

    auto links = guitest::findAll<juce::HyperlinkButton> (panel);
    ASSERT_EQ (links.size(), 1u);
    EXPECT_EQ (links[0]->getName(), "quillbright.example");
    EXPECT_EQ (links[0]->getButtonText(), "quillbright.example");
    EXPECT_EQ (links[0]->getURL().toString (false), "https://quillbright.example");
    EXPECT_EQ (links[0]->getTooltip(), "https://quillbright.example");
    EXPECT_EQ (links[0]->getBounds(), juce::Rectangle<int> (169, 289, 169, 22));
}

// Over the window, the card shows at 80 % and lets the window through at 20 %; nothing
// else of the window changes.
TEST (WelcomePanel, CardCoversTheWindowAtEightyPercent)
{
    guitest::AnyLayoutProcessor processor;
    auto editor = guitest::openEditor (processor);
    ASSERT_TRUE (guitest::waitForRefresh (processor));
    const auto behind = guitest::snapshot (*editor);

    auto* panel = guitest::findAll<WelcomeGUI> (*editor).at (0);
    panel->setVisible (true);
    const auto shown = guitest::snapshot (*editor);

    const auto card = juce::ImageCache::getFromMemory (BinaryData::welcome_png, BinaryData::welcome_pngSize);
    ASSERT_EQ (card.getBounds(), juce::Rectangle<int> (0, 0, 220, 280));

    const juce::Rectangle<int> cardArea (143, 50, 220, 280), title (165, 125, 175, 24), link (169, 289, 169, 22);
    int worst = 0, cardPixelsChecked = 0;
    for (int y = 0; y < 380; ++y)
        for (int x = 0; x < 500; ++x)
        {
            if (title.contains (x, y) || link.contains (x, y))
                continue;

            auto expected = behind.getPixelAt (x, y);
            if (cardArea.contains (x, y))
            {
                const auto cardPixel = card.getPixelAt (x - 143, y - 50);
                expected = expected.overlaidWith (cardPixel.withMultipliedAlpha (0.8f));
                ++cardPixelsChecked;
            }
            worst = juce::jmax (worst, colourDistance (shown.getPixelAt (x, y), expected));
        }

    EXPECT_LE (worst, 3);
    EXPECT_GT (cardPixelsChecked, 50000);
    // The card really does change what is seen.
    EXPECT_GT (colourDistance (shown.getPixelAt (253, 200), behind.getPixelAt (253, 200)), 20);
}
