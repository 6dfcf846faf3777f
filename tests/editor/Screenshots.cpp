// Pictures of the window for a person to look at: every skin, and each panel shown.
#include "GuiTestSupport.h"
#include "OptionGUI.h"
#include "VantorAudioProcessorEditor.h"
#include "WelcomeGUI.h"

namespace
{
void save (const juce::Image& image, const juce::String& name)
{
    const auto folder = juce::File (VENDRASOLITH_SCREENSHOT_DIR);
    ASSERT_TRUE (folder.createDirectory());
    const auto file = folder.getChildFile (name + ".png");
    file.deleteFile();
    juce::FileOutputStream out (file);
    ASSERT_TRUE (out.openedOk());
    ASSERT_TRUE (juce::PNGImageFormat().writeImageToStream (image, out));
}
} // namespace

TEST (Screenshots, WriteEditorPictures)
{
    guitest::AnyLayoutProcessor processor (8);
    processor.requestInputConfiguration (5);
    processor.setBassBoostStep (1);
    processor.setTrueRate (true);
    // A narrowed image towards the front right, so the display's arc shows.
    processor.getParameterObject (0)->setValue (0.1f);
    processor.getParameterObject (1)->setValue (0.45f);
    processor.getParameterObject (2)->setValue (0.85f);

    for (int skinIndex = 0; skinIndex < VantorAudioProcessorEditor::numSkins; ++skinIndex)
    {
        processor.setGuiIndex (skinIndex);
        auto editor = guitest::openEditor (processor);
        ASSERT_TRUE (guitest::waitForRefresh (processor));
        save (guitest::snapshot (*editor), "editor_skin" + juce::String (skinIndex));

        if (skinIndex == 0)
        {
            auto* options = guitest::findAll<OptionGUI> (*editor).at (0);
            options->setVisible (true);
            options->updateInputConfigChoices();
            guitest::pump (60);
            save (guitest::snapshot (*editor), "editor_options");
            options->setVisible (false);

            guitest::findAll<WelcomeGUI> (*editor).at (0)->setVisible (true);
            save (guitest::snapshot (*editor), "editor_welcome");
        }
    }
}
