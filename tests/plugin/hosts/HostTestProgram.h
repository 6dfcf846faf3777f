#pragma once

// What the host tests of one program share: the isolated home folder made by main, the
// framework's plug-in window helpers and a look at the screen.

#include "IsolatedPluginHome.h"
#include "../vst2/Vst2Host.h"

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_gui_extra/juce_gui_extra.h>

#include <gtest/gtest.h>

namespace hosttest
{
/** Made by main before anything else runs. */
const IsolatedPluginHome& isolatedHome();

/** The document of a saved state block ("VC2!", its length, the text, a zero byte). */
inline std::string textOf (const std::vector<unsigned char>& block)
{
    return block.size() > 9 ? std::string (block.begin() + 8, block.end() - 1) : std::string();
}

/** The state block the VST 2.4 plug-in saves once it has restored this document. */
inline std::vector<unsigned char> savedByVst2 (const std::string& document)
{
    vst2test::Instance vst2;
    vst2.setChunk (vst2test::stateBlock (document));
    return vst2.chunk();
}

/** Restores a block in the VST 2.4 plug-in, checks that it saves it again unchanged and
    returns the value it then holds for a parameter. */
inline float restoredInVst2 (const std::vector<unsigned char>& block, int parameter)
{
    vst2test::Instance vst2;
    EXPECT_NE (vst2.effect, nullptr);
    if (vst2.effect == nullptr)
        return -1.0f;
    vst2.setChunk (block);
    EXPECT_EQ (vst2.chunk(), block) << "saved again by VST 2.4";
    return vst2.effect->getParameter (vst2.effect, parameter);
}

/** Distinct pixel values on a 10-pixel grid over a window as the screen shows it, child
    windows included (1 for a plain fill, 0 when the window cannot be read). */
int distinctColoursShownIn (unsigned long windowId);

/** Closes an editor as hosts do: the instance lets go of it first. */
struct EditorCloser
{
    juce::AudioPluginInstance* owner;
    void operator() (juce::AudioProcessorEditor* editor) const
    {
        owner->editorBeingDeleted (editor);
        delete editor;
    }
};

/** The framework's hosts hold a plug-in's window in an embedding component of their own on
    the desktop. Now and then (a few runs in a hundred on a busy machine) that component never
    learns the size of the window it holds and stays 1 x 1, clipping the plug-in's window,
    drawn at its full size, to one pixel for good: no wait can cure that. A host's embedding
    follows its editor's size; this one is made to. */
inline void fitHostEmbeddingTo (const juce::Component& editor)
{
    auto& desktop = juce::Desktop::getInstance();
    for (int i = 0; i < desktop.getNumComponents(); ++i)
        if (auto* embedding = dynamic_cast<juce::XEmbedComponent*> (desktop.getComponent (i)))
            if (embedding->getLocalBounds() != editor.getLocalBounds())
                embedding->setSize (editor.getWidth(), editor.getHeight());
}

/** Shows an editor inside a host's window, keeping the audio running between the host's idle
    calls, and checks that it comes up at its size showing its skin. */
template <typename RenderSilence>
void expectEditorShowsItsSkin (juce::AudioProcessorEditor& editor, RenderSilence renderSilence)
{
    juce::DocumentWindow window ("Vendrasolith", juce::Colours::black, 0);
    window.setUsingNativeTitleBar (true);
    window.setContentNonOwned (&editor, true);
    window.setVisible (true);

    auto* peer = window.getPeer();
    ASSERT_NE (peer, nullptr);
    // A plain fill has one colour; the plug-in's skin, shown inside the host's window, many.
    const auto showsSkin = [peer]
    { return distinctColoursShownIn ((unsigned long) (juce::pointer_sized_uint) peer->getNativeHandle()) > 50; };

    // The skin is there within a fraction of a second once the plug-in's window can be seen.
    for (int waited = 0; waited < 20000 && (waited < 500 || ! showsSkin()); waited += 25)
    {
        fitHostEmbeddingTo (editor);
        juce::MessageManager::getInstance()->runDispatchLoopUntil (25);
        renderSilence();
    }

    EXPECT_EQ (window.getContentComponent()->getBounds(), juce::Rectangle<int> (0, 0, 500, 380));
    EXPECT_TRUE (showsSkin()) << "the window shows no skin";
}
} // namespace hosttest

// The shared hosts of each format's tests, let go before the framework shuts down.
namespace lv2test
{
void dropHost();
}
namespace vst3test
{
void dropHost();
}
