#include "AaxComponents.h"

#include <juce_core/juce_core.h>

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

using namespace vendrasolith::aax;

TEST (AaxComponents, TypeIdsFollowTheConfigurationOrder)
{
    const char native[][5] = { "jcaa", "jcab", "jcac", "jcad", "jcae", "jcaf" };
    const char audioSuite[][5] = { "jyaa", "jyab", "jyac", "jyad", "jyae", "jyaf" };

    for (size_t i = 0; i < components.size(); ++i)
    {
        SCOPED_TRACE (i);
        EXPECT_EQ (components[i].nativeTypeId, fourCharCode (native[i]));
        EXPECT_EQ (components[i].audioSuiteTypeId, fourCharCode (audioSuite[i]));
    }
    EXPECT_EQ (components[0].nativeTypeId, 0x6a636161u);
    EXPECT_EQ (components[0].audioSuiteTypeId, 0x6a796161u);
}

TEST (AaxComponents, ComponentsFittingAnInputStem)
{
    struct Case { Stem input; std::vector<int> fitting; };
    const Case cases[] = { { Stem::mono, { 1 } }, { Stem::stereo, { 0 } },
                           { Stem::surround51, { 2, 3 } }, { Stem::surround71Dts, { 4, 5 } } };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (stemName (c.input));
        std::vector<int> fitting;
        for (size_t i = 0; i < components.size(); ++i)
            if (components[i].inputStem == c.input)
                fitting.push_back ((int) i);
        EXPECT_EQ (fitting, c.fitting);
    }
}

TEST (AaxComponents, StemsAndNames)
{
    const std::pair<Stem, std::string> expected[] = { { Stem::stereo, "stereo" }, { Stem::mono, "mono" },
                                                      { Stem::surround51, "5.1" }, { Stem::surround71Dts, "7.1 DTS" } };
    for (const auto& [stem, name] : expected)
        EXPECT_EQ (stemName (stem), name);

    for (const auto& component : components)
    {
        EXPECT_EQ (component.inputStem, stemOf (component.inputChannels));
        EXPECT_EQ (component.outputStem, stemOf (component.outputChannels));
    }
    EXPECT_EQ (components[3].outputStem, Stem::surround51);
    EXPECT_EQ (components[5].outputStem, Stem::surround71Dts);
}

// The AAX identity must not drift from what the other formats are built with.
TEST (AaxComponents, AgreeWithThePluginsIdentity)
{
    const short configurations[][2] = { JucePlugin_PreferredChannelConfigurations };
    ASSERT_EQ (std::size (configurations), components.size());
    for (size_t i = 0; i < components.size(); ++i)
    {
        SCOPED_TRACE (i);
        EXPECT_EQ (components[i].inputChannels, configurations[i][0]);
        EXPECT_EQ (components[i].outputChannels, configurations[i][1]);
    }

    EXPECT_EQ (manufacturerId, (std::uint32_t) JucePlugin_ManufacturerCode);
    EXPECT_EQ (manufacturerId, 0x516c6272u); // "Qlbr"
    EXPECT_EQ (productId, (std::uint32_t) JucePlugin_PluginCode);
    EXPECT_EQ (productId, 0x5a717674u); // "Zqvt"
    EXPECT_EQ (packageVersion, (std::uint32_t) JucePlugin_VersionCode);
}

// The framework's AAX client describes the effect from its own build settings: an AAX build
// must ship the identifier and category of the table, which saved sessions rely on.
TEST (AaxComponents, FrameworkIsBuiltWithTheTablesEffectIdentity)
{
    EXPECT_EQ (std::string (JUCE_STRINGIFY (JucePlugin_AAXIdentifier)), "com.Quillbright.ZQV");
    EXPECT_EQ ((std::uint32_t) (JucePlugin_AAXCategory), 0x200u); // sound field
    EXPECT_EQ (std::string (effectIdentifier), "com.Quillbright.ZQV");
    EXPECT_EQ (category, 0x200u);
    EXPECT_EQ ((std::uint32_t) JucePlugin_AAXManufacturerCode, manufacturerId);
    EXPECT_EQ ((std::uint32_t) JucePlugin_AAXProductId, productId);
}
