// One program hosts the built VST3 and LV2 bundles through the framework's own hosts, so
// that the framework is compiled once for both.
#include "HostTestProgram.h"

#include <gtest/gtest.h>

namespace guitest
{
void prepareBareDisplay();
}

namespace
{
const hosttest::IsolatedPluginHome* home = nullptr;
}

const hosttest::IsolatedPluginHome& hosttest::isolatedHome()
{
    return *home;
}

int main (int argc, char** argv)
{
    const hosttest::IsolatedPluginHome isolated;
    home = &isolated;
    guitest::prepareBareDisplay();
    juce::ScopedJuceInitialiser_GUI framework;
    ::testing::InitGoogleTest (&argc, argv);
    const int result = RUN_ALL_TESTS();
    lv2test::dropHost();
    vst3test::dropHost();
    return result;
}
