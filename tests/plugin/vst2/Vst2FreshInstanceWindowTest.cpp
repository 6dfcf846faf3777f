// Hosts that open the window as soon as the plug-in is inserted, before they first resume
// it: the open window must not take the choice of input layout away from the plug-in.
// Run on a display (xvfb-run).
#include "Vst2HostWindow.h"

using namespace vst2test;

namespace guitest
{
void prepareBareDisplay();
}

namespace
{
bool isSilent (const std::vector<float>& channel)
{
    return std::all_of (channel.begin(), channel.end(), [] (float s) { return s == 0.0f; });
}
} // namespace

TEST (Vst2Editor, WindowOpenedBeforeTheFirstResumeLeavesAStereoTrackStereo)
{
    guitest::prepareBareDisplay();

    // Some hosts set the track's arrangement before they open the window, others after.
    for (const bool arrangementFirst : { true, false })
    {
        SCOPED_TRACE (arrangementFirst ? "arrangement set before the window opens" : "arrangement set after the window opens");
        HostFrame frame;
        ASSERT_NE (frame.display, nullptr) << "no X display";

        Instance plugin;
        ASSERT_NE (plugin.effect, nullptr);
        if (arrangementFirst)
            ASSERT_TRUE (plugin.setArrangement (arrangement::stereo, 2, arrangement::stereo, 2));

        ASSERT_EQ (plugin.dispatch (op::editOpen, 0, 0, reinterpret_cast<void*> (frame.window)), 1);
        // Long enough for every message the window queued at opening to be delivered.
        const auto showsSkin = [&] { const auto c = frame.children(); return c.size() == 1 && frame.distinctColours (c[0]) > 50; };
        idleUntil (plugin, 500, showsSkin);
        ASSERT_TRUE (showsSkin()) << "the window never showed";

        if (! arrangementFirst)
            ASSERT_TRUE (plugin.setArrangement (arrangement::stereo, 2, arrangement::stereo, 2));
        plugin.start (256);

        const auto block = plugin.chunk();
        const std::string state (block.begin(), block.end());
        EXPECT_NE (state.find ("<idxInputConfig>1</idxInputConfig>"), std::string::npos) << state;

        // A source on the right input only is heard.
        auto input = noise (2, 8192);
        std::fill (input[0].begin(), input[0].end(), 0.0f);
        const auto output = plugin.process (input, 2, 256);
        EXPECT_FALSE (isSilent (output[0]));
        EXPECT_FALSE (isSilent (output[1]));

        plugin.dispatch (op::editClose);
        idleUntil (plugin, 100, [&] { return frame.children().empty(); });
    }
}
