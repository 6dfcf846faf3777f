#include "GuiTestSupport.h"
#include "AltLookAndFeel.h"
#include "VantorAudioProcessorEditor.h"

namespace
{
/** A value box that, when the refresh writes its text, lets a "host" write Gain: a write
    arriving while the editor is part-way through a refresh. */
struct MidRefreshWrite : AltLookAndFeel
{
    juce::Label* createSliderTextBox (juce::Slider& s) override
    {
        struct Box : juce::Label
        {
            void textWasChanged() override
            {
                if (processor != nullptr && *armed)
                {
                    *armed = false;
                    processor->getParameterObject (2)->setValue (0.3f);
                }
            }
            VantorAudioProcessor* processor = nullptr;
            bool* armed = nullptr;
        };
        auto* box = new Box();
        box->processor = processor;
        box->armed = &armed;
        juce::ignoreUnused (s);
        return box;
    }
    VantorAudioProcessor* processor = nullptr;
    bool armed = false;
};
}

TEST (EditorRefresh, HostWriteDuringARefreshIsShownAtTheNextTick)
{
    guitest::AnyLayoutProcessor processor;
    auto editor = guitest::openEditor (processor);
    ASSERT_TRUE (guitest::waitForRefresh (processor));
    auto& angle = *guitest::findNamed<juce::Slider> (*editor, "sliderAngle");
    auto& gain = *guitest::findNamed<juce::Slider> (*editor, "sliderGain");

    MidRefreshWrite look;
    look.processor = &processor;
    angle.setLookAndFeel (&look);
    guitest::pump (100);
    look.armed = true;

    processor.getParameterObject (0)->setValue (0.5f); // refresh changes the Angle text
    guitest::pump (300);
    EXPECT_EQ (angle.getValue(), 180.0);
    EXPECT_EQ (gain.getValue(), -60.0) << "the write that came mid-refresh never showed";
    angle.setLookAndFeel (nullptr);
}
