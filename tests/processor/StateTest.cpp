#include "ProcessorFixture.h"

#include <cstring>
#include <limits>
#include <string>

namespace
{
void restore (VantorAudioProcessor& p, const juce::MemoryBlock& block)
{
    p.setStateInformation (block.getData(), (int) block.getSize());
}

TEST (ProcessorState, BlockIsTheSingleLineDocumentInTheBinaryLayout)
{
    HostedProcessor host (2, 2);
    host.prepare();
    juce::MemoryBlock block;
    host.processor->getStateInformation (block);

    const juce::String expected = "<Root><Angle>0</Angle><Width>1</Width><Gain>0.9</Gain><idxInputConfig>1</idxInputConfig>"
                                  "<idxBassBoost>0</idxBassBoost><idxGUI>0</idxGUI></Root>";
    ASSERT_EQ (block.getSize(), expected.getNumBytesAsUTF8() + 9);
    EXPECT_EQ (std::memcmp (block.getData(), "VC2!", 4), 0);
    EXPECT_EQ (juce::ByteOrder::littleEndianInt (static_cast<const char*> (block.getData()) + 4), expected.getNumBytesAsUTF8());
    EXPECT_EQ (stateText (*host.processor), expected);
    EXPECT_EQ (static_cast<const char*> (block.getData())[block.getSize() - 1], 0);
}

TEST (ProcessorState, StateSavedBeforeTheFirstPrepareHoldsNotChosen)
{
    HostedProcessor host;
    EXPECT_TRUE (stateText (*host.processor).contains ("<idxInputConfig>-1</idxInputConfig>"));
}

TEST (ProcessorState, RoundTripKeepsSixSignificantDigitsAndTheIntegers)
{
    HostedProcessor source;
    source.processor->setParameter (0, 0.123456789f);
    source.processor->setParameter (1, 0.5f);
    source.processor->setParameter (2, 1.2f);
    source.processor->requestInputConfiguration (7);
    source.processor->setBassBoostStep (3);
    source.processor->setGuiIndex (4);
    juce::MemoryBlock block;
    source.processor->getStateInformation (block);

    HostedProcessor target;
    target.processor->setEditorRefreshPending (false);
    restore (*target.processor, block);
    auto& p = *target.processor;
    EXPECT_EQ (p.getParameterValue (0), 0.123457f);
    EXPECT_EQ (p.getParameterValue (1), 0.5f);
    EXPECT_EQ (p.getParameterValue (2), 1.2f);
    EXPECT_EQ (p.getInputConfiguration(), 7);
    EXPECT_TRUE (p.isConfigurationPending());
    EXPECT_EQ (p.getBassBoostStep(), 3);
    EXPECT_EQ (p.getGuiIndex(), 4);
    EXPECT_TRUE (p.isEditorRefreshPending());
}

struct RestoreCase
{
    const char* name;
    const char* document;
    float angle, width, gain;
    int configuration, bass, gui;
};

class TolerantRestore : public ::testing::TestWithParam<RestoreCase> {};

TEST_P (TolerantRestore, AppliesWhatItRecognises)
{
    const auto& c = GetParam();
    HostedProcessor host;
    auto& p = *host.processor;
    p.requestInputConfiguration (1);
    restore (p, blockWith (c.document));
    EXPECT_EQ (p.getParameterValue (0), c.angle);
    EXPECT_EQ (p.getParameterValue (1), c.width);
    EXPECT_EQ (p.getParameterValue (2), c.gain);
    EXPECT_EQ (p.getInputConfiguration(), c.configuration);
    EXPECT_EQ (p.getBassBoostStep(), c.bass);
    EXPECT_EQ (p.getGuiIndex(), c.gui);
}

INSTANTIATE_TEST_SUITE_P (Documents, TolerantRestore, ::testing::Values (
    RestoreCase { "lower_case_gain_only", "<Root><gain>1</gain></Root>", 0.0f, 1.0f, 1.0f, 1, 0, 0 },
    RestoreCase { "any_root_name", "<Preset><ANGLE>0.25</ANGLE><idxGUI>2</idxGUI></Preset>", 0.25f, 1.0f, 0.9f, 1, 0, 2 },
    RestoreCase { "truncated_configuration", "<Root><idxInputConfig>2.9</idxInputConfig></Root>", 0.0f, 1.0f, 0.9f, 2, 0, 0 },
    RestoreCase { "last_repeat_wins", "<Root><Width>0.2</Width><Width>0.4</Width></Root>", 0.0f, 0.4f, 0.9f, 1, 0, 0 },
    RestoreCase { "garbage_reads_as_zero", "<Root><Width>abc</Width><idxBassBoost>x</idxBassBoost></Root>", 0.0f, 0.0f, 0.9f, 1, 0, 0 },
    RestoreCase { "unknown_elements_ignored", "<Root><Colour>7</Colour><idxBassBoost>9</idxBassBoost></Root>", 0.0f, 1.0f, 0.9f, 1, 9, 0 },
    RestoreCase { "out_of_range_kept", "<Root><Angle>-3</Angle><idxInputConfig>42</idxInputConfig><idxGUI>-7</idxGUI></Root>", -3.0f, 1.0f, 0.9f, 42, 0, -7 },
    RestoreCase { "huge_numbers_saturate", "<Root><idxInputConfig>1e300</idxInputConfig><idxGUI>-1e30</idxGUI></Root>", 0.0f, 1.0f, 0.9f, 2147483520, 0, -2147483520 }),
    [] (const auto& testInfo) { return std::string (testInfo.param.name); });

TEST (ProcessorState, BadBlocksChangeNothingAndRaiseNoRefresh)
{
    HostedProcessor host;
    auto& p = *host.processor;
    p.setParameter (2, 0.5f);
    p.setEditorRefreshPending (false);

    auto wrongMagic = blockWith ("<Root><Gain>1</Gain></Root>");
    static_cast<char*> (wrongMagic.getData())[0] = 'X';
    auto zeroLength = blockWith ("<Root><Gain>1</Gain></Root>");
    static_cast<char*> (zeroLength.getData())[4] = 0;
    const char shortBlock[8] = { 'V', 'C', '2', '!', 1, 0, 0, 0 };

    restore (p, wrongMagic);
    restore (p, zeroLength);
    restore (p, blockWith ("this is not a document"));
    p.setStateInformation (shortBlock, 8);

    // Text that is not UTF-8, as in a corrupted project: the framework's parser would read
    // past the end of it, so the whole block is refused, the values it recognises included.
    for (const std::string bad : { "\xff\xff\xff\xff", "\xc3", "\x80", "\xf8\x88\x80\x80" })
    {
        const std::string text = "<Root><Gain>1</Gain><X>" + bad + "</X></Root>";
        juce::MemoryBlock block;
        {
            juce::MemoryOutputStream out (block, false);
            out.writeInt (0x21324356);
            out.writeInt ((int) text.size());
            out.write (text.data(), text.size());
            out.writeByte (0);
        }
        restore (p, block);
    }
    p.setStateInformation (nullptr, 0);

    EXPECT_EQ (p.getParameterValue (2), 0.5f);
    EXPECT_FALSE (p.isEditorRefreshPending());
}

TEST (ProcessorState, RestoringNotChosenLetsTheNextPrepareChooseAgain)
{
    HostedProcessor host (6, 2);
    host.prepare();
    EXPECT_EQ (host.processor->getInputConfiguration(), 2);

    restore (*host.processor, blockWith ("<Root><idxInputConfig>-1</idxInputConfig></Root>"));
    EXPECT_EQ (host.processor->getInputConfiguration(), -1);
    host.processor->requestInputConfiguration (4);
    restore (*host.processor, blockWith ("<Root><idxInputConfig>-1</idxInputConfig></Root>"));
    host.prepare();
    EXPECT_EQ (host.processor->getInputConfiguration(), 2);
}

TEST (ProcessorState, CorruptedValuesNeverReachTheAudio)
{
    HostedProcessor host (2, 2);
    host.prepare();
    restore (*host.processor, blockWith ("<Root><Angle>nan</Angle><Width>-1e300</Width><Gain>1e300</Gain></Root>"));
    juce::AudioBuffer<float> buffer (2, 4096);
    for (int k = 0; k < 4096; ++k)
        buffer.setSample (0, k, k % 64 == 0 ? 1.0f : 0.0f), buffer.setSample (1, k, 0.0f);
    host.process (buffer, 512);
    EXPECT_TRUE (allFinite (buffer));
}
} // namespace
