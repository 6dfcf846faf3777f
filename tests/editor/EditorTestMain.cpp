#include <juce_gui_basics/juce_gui_basics.h>

#include <gtest/gtest.h>

namespace guitest
{
void prepareBareDisplay();
}

int main (int argc, char** argv)
{
    ::testing::InitGoogleTest (&argc, argv);
    guitest::prepareBareDisplay();
    // The whole run is one message thread, like a host's.
    juce::ScopedJuceInitialiser_GUI gui;
    return RUN_ALL_TESTS();
}
