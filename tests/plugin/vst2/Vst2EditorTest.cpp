// The editor as a Linux VST 2.4 host opens it: inside the host's frame window, while audio runs.
// Run on a display (xvfb-run).
#include "Vst2HostWindow.h"

using namespace vst2test;

namespace guitest
{
void prepareBareDisplay();
}

TEST (Vst2Editor, OpensInTheHostWindowAndClosesWhileAudioRuns)
{
    // Before the plug-in connects to the display.
    guitest::prepareBareDisplay();
    HostFrame frame;
    ASSERT_NE (frame.display, nullptr) << "no X display";

    Instance plugin;
    ASSERT_NE (plugin.effect, nullptr);
    ASSERT_TRUE (plugin.setArrangement (arrangement::stereo, 2, arrangement::stereo, 2));
    plugin.start (256);
    AudioThread audio (*plugin.effect);

    EditorRect* rect = nullptr;
    ASSERT_NE (plugin.dispatch (op::editGetRect, 0, 0, &rect), 0);
    ASSERT_NE (rect, nullptr);
    EXPECT_EQ (rect->right - rect->left, 500);
    EXPECT_EQ (rect->bottom - rect->top, 380);

    ASSERT_TRUE (frame.children().empty());
    ASSERT_EQ (plugin.dispatch (op::editOpen, 0, 0, reinterpret_cast<void*> (frame.window)), 1);
    // A plain fill has one colour; the skin has many.
    const auto showsSkin = [&] { const auto c = frame.children(); return c.size() == 1 && frame.distinctColours (c[0]) > 50; };
    idleUntil (plugin, 1000, showsSkin);

    const auto children = frame.children();
    ASSERT_EQ (children.size(), 1u);
    const auto view = frame.attributes (children[0]);
    EXPECT_EQ (view.width, 500);
    EXPECT_EQ (view.height, 380);
    EXPECT_EQ (view.map_state, IsViewable);
    EXPECT_TRUE (showsSkin()) << "the window shows no skin";

    const int blocksWhileOpen = audio.blocks;
    plugin.dispatch (op::editClose);
    idleUntil (plugin, 200, [&] { return frame.children().empty(); });
    EXPECT_TRUE (frame.children().empty()) << "the editor's window outlived effEditClose";

    EXPECT_GT (audio.blocks.load(), blocksWhileOpen) << "audio stopped";
    EXPECT_TRUE (audio.finite);
}
