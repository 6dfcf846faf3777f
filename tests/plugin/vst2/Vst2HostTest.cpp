// Loads the built VST 2.4 plug-in through our own host and checks what hosts see.
#include "Vst2Host.h"

#include <algorithm>
#include <cmath>

using namespace vst2test;

namespace
{
//==============================================================================
class EntryPoints : public testing::TestWithParam<const char*>
{
};

TEST_P (EntryPoints, EffectRecordAndIdentity)
{
    ASSERT_NE (pluginLibrary(), nullptr) << dlerror();
    Instance plugin (GetParam());
    ASSERT_NE (plugin.effect, nullptr);
    const Effect& e = *plugin.effect;

    EXPECT_EQ (e.magic, effectMagic);
    EXPECT_EQ (e.numPrograms, 1);
    EXPECT_EQ (e.numParams, 3);
    EXPECT_EQ (e.numInputs, 8);
    EXPECT_EQ (e.numOutputs, 8);
    EXPECT_EQ (e.flags & (hasEditor | canReplacing | programChunks | isSynth), hasEditor | canReplacing | programChunks);
    EXPECT_EQ (e.uniqueID, 0x5a717674); // "Zqvt"
    EXPECT_EQ (e.version, 110);
    EXPECT_EQ (e.initialDelay, 792);
    EXPECT_NE (e.processReplacing, nullptr);

    EXPECT_EQ (plugin.text (op::getEffectName), "Vendrasolith");
    EXPECT_EQ (plugin.text (op::getProductString), "Vendrasolith");
    EXPECT_EQ (plugin.text (op::getVendorString), "Quillbright");
    EXPECT_EQ (plugin.dispatch (op::getVendorVersion), 110);
    EXPECT_EQ (plugin.dispatch (op::getPlugCategory), 5);
    EXPECT_EQ (plugin.dispatch (op::getVstVersion), 2400);
    EXPECT_EQ (plugin.dispatch (op::getTailSize), 0);
}

TEST_P (EntryPoints, HostWithoutVersionGetsNoPlugin)
{
    const auto entry = entryPoint (GetParam());
    ASSERT_NE (entry, nullptr);
    EXPECT_EQ (entry ([] (Effect*, int32_t, int32_t, intptr_t, void*, float) -> intptr_t { return 0; }), nullptr);
}

INSTANTIATE_TEST_SUITE_P (Vst2, EntryPoints, testing::Values ("VSTPluginMain", "main"),
                          [] (const auto& info) { return std::string (info.param); });

TEST (Vst2Host, CanDoAnswers)
{
    Instance plugin;
    const std::pair<const char*, intptr_t> answers[] = {
        { "receiveVstEvents", 1 },   { "receiveVstMidiEvent", 1 }, { "receiveVstMidiEvents", 1 },
        { "sendVstEvents", -1 },     { "sendVstMidiEvent", -1 },   { "sendVstMidiEvents", -1 },
        { "receiveVstTimeInfo", 1 }, { "conformsToWindowRules", 1 }, { "bypass", 1 },
        { "openCloseAnyThread", -1 },
        // Anything else is "don't know", including what the framework would otherwise claim.
        { "hasCockosExtensions", 0 }, { "supportsViewDpiScaling", 0 }, { "MPE", 0 }, { "offline", 0 }, { "", 0 } };

    for (const auto& [query, answer] : answers)
        EXPECT_EQ (plugin.canDo (query), answer) << query;
}

TEST (Vst2Host, SpeakerArrangements)
{
    using namespace arrangement;
    struct Case { int32_t inType, ins, outType, outs; bool accepted; };
    const Case cases[] = {
        { stereo, 2, stereo, 2, true },         { mono, 1, stereo, 2, true },
        { surround51, 6, stereo, 2, true },     { surround51, 6, surround51, 6, true },
        { cine71, 8, stereo, 2, true },         { music71, 8, stereo, 2, true },
        { cine71, 8, cine71, 8, true },         { music71, 8, music71, 8, true },
        { quad, 4, stereo, 2, false },          { stereo, 2, mono, 1, false },
        { mono, 1, mono, 1, false },            { stereo, 2, surround51, 6, false },
        { surround51, 6, music71, 8, false },   { music71, 8, surround51, 6, false },
        { surround51, 8, stereo, 2, false }, // the type says six channels
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << c.inType << "/" << c.ins << " -> " << c.outType << "/" << c.outs);
        Instance plugin;
        ASSERT_TRUE (plugin.setArrangement (mono, 1, stereo, 2));
        EXPECT_EQ (plugin.setArrangement (c.inType, c.ins, c.outType, c.outs), c.accepted);

        const std::vector<int32_t> expected = c.accepted ? std::vector<int32_t> { c.inType, c.ins, c.outType, c.outs }
                                                         : std::vector<int32_t> { mono, 1, stereo, 2 };
        EXPECT_EQ (plugin.arrangement(), expected);
    }
}

TEST (Vst2Host, SurroundSpeakersAndPins)
{
    Instance plugin;
    ASSERT_TRUE (plugin.setArrangement (arrangement::surround51, 6, arrangement::stereo, 2));

    SpeakerArrangement* in = nullptr;
    SpeakerArrangement* out = nullptr;
    ASSERT_NE (plugin.dispatch (op::getSpeakerArrangement, 0, reinterpret_cast<intptr_t> (&in), &out), 0);
    const int32_t surroundSpeakers[] = { 1, 2, 3, 4, 5, 6 }; // L R C Lfe Ls Rs
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ (in->speakers[i].type, surroundSpeakers[i]) << i;
    EXPECT_EQ (out->speakers[0].type, 1);
    EXPECT_EQ (out->speakers[1].type, 2);

    for (int i = 0; i < 6; ++i)
    {
        PinProperties pin {};
        ASSERT_EQ (plugin.dispatch (op::getInputProperties, i, 0, &pin), 1) << i;
        EXPECT_EQ (pin.arrangementType, arrangement::surround51);
        const bool startsPair = i == 0 || i == 4;
        EXPECT_EQ (pin.flags, pinIsActive | pinUseSpeaker | (startsPair ? pinIsStereo : 0)) << i;
    }

    PinProperties pin {};
    ASSERT_EQ (plugin.dispatch (op::getOutputProperties, 0, 0, &pin), 1);
    EXPECT_EQ (pin.arrangementType, arrangement::stereo);
    EXPECT_EQ (pin.flags, pinIsActive | pinUseSpeaker | pinIsStereo);
    EXPECT_EQ (plugin.dispatch (op::getOutputProperties, 2, 0, &pin), 0);
}

TEST (Vst2Host, ParameterNamesAndTexts)
{
    Instance plugin;
    const char* names[] = { "Angle", "Width", "Gain" };
    const char* texts[] = { "0", "1", "0.9" };
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_EQ (plugin.text (op::getParamName, i), names[i]);
        EXPECT_EQ (plugin.text (op::getParamDisplay, i), texts[i]);
    }

    plugin.effect->setParameter (plugin.effect, 0, 1.0f / 3.0f);
    EXPECT_EQ (plugin.effect->getParameter (plugin.effect, 0), 1.0f / 3.0f);
    EXPECT_EQ (plugin.text (op::getParamDisplay, 0), "0.333333");
}

TEST (Vst2Host, ChunkSavesAndRestoresTheStateBlock)
{
    Instance plugin;
    ASSERT_TRUE (plugin.setArrangement (arrangement::stereo, 2, arrangement::stereo, 2));
    plugin.start (512);
    EXPECT_EQ (plugin.chunk(), stateBlock (defaultStereoState));

    const auto restored = stateBlock ("<Root><Angle>0.25</Angle><Width>0.5</Width><Gain>1</Gain>"
                                      "<idxInputConfig>1</idxInputConfig><idxBassBoost>2</idxBassBoost>"
                                      "<idxGUI>3</idxGUI></Root>");
    plugin.setChunk (restored);
    EXPECT_EQ (plugin.effect->getParameter (plugin.effect, 0), 0.25f);
    EXPECT_EQ (plugin.effect->getParameter (plugin.effect, 1), 0.5f);
    EXPECT_EQ (plugin.text (op::getParamDisplay, 2), "1");
    EXPECT_EQ (plugin.chunk(), restored);
}

TEST (Vst2Host, WithoutArrangementThePluginRunsAs71)
{
    Instance plugin;
    plugin.start (512);
    const auto block = plugin.chunk();
    const std::string text (block.begin(), block.end());
    EXPECT_NE (text.find ("<idxInputConfig>5</idxInputConfig>"), std::string::npos) << text;

    const auto output = plugin.process (noise (8, 2048), 8, 512);
    for (int c = 2; c < 8; ++c)
        EXPECT_TRUE (std::all_of (output[(size_t) c].begin(), output[(size_t) c].end(), [] (float s) { return s == 0.0f; })) << c;
}

TEST (Vst2Host, HostInputBuffersAreLeftAsTheHostWroteThem)
{
    // With more inputs than outputs, the inputs past the outputs reach the plug-in as the
    // host's own arrays: a host may still read them (sends, meters), so nothing writes there.
    for (const float gain : { 1.0f, 0.3f })
    {
        SCOPED_TRACE (gain);
        Instance plugin;
        ASSERT_TRUE (plugin.setArrangement (arrangement::surround51, 6, arrangement::stereo, 2));
        plugin.effect->setParameter (plugin.effect, 2, gain);
        plugin.start (256);
        const auto input = noise (6, 4096);
        auto hostInput = input;
        Instance::Channels output (2, std::vector<float> (256));
        for (int offset = 0; offset < 4096; offset += 256)
        {
            float* ins[6];
            for (int c = 0; c < 6; ++c)
                ins[c] = hostInput[(size_t) c].data() + offset;
            float* outs[] = { output[0].data(), output[1].data() };
            plugin.effect->processReplacing (plugin.effect, ins, outs, 256);
        }
        EXPECT_EQ (hostInput, input);
    }
}

TEST (Vst2Host, ImpulseComesOutAfterTheReportedLatency)
{
    Instance plugin;
    ASSERT_TRUE (plugin.setArrangement (arrangement::stereo, 2, arrangement::stereo, 2));
    plugin.start (512);
    plugin.process (Instance::Channels (2, std::vector<float> (8192)), 2, 512); // gains glide in from silence

    Instance::Channels impulse (2, std::vector<float> (4096));
    impulse[0][0] = impulse[1][0] = 1.0f;
    const auto output = plugin.process (impulse, 2, 512);

    for (const auto& channel : output)
    {
        const auto louder = [] (float a, float b) { return std::abs (a) < std::abs (b); };
        const float peak = std::abs (*std::max_element (channel.begin(), channel.end(), louder));
        ASSERT_GT (peak, 0.01f);
        const auto onset = std::find_if (channel.begin(), channel.end(), [&] (float s) { return std::abs (s) > 0.05f * peak; })
                         - channel.begin();
        // The convolver's 768 samples, then the head's own delay in the measured responses.
        EXPECT_GE (onset, 768);
        EXPECT_LE (onset, plugin.effect->initialDelay + 8);
        // Before that, nothing but the rounding noise of the block transforms.
        EXPECT_TRUE (std::all_of (channel.begin(), channel.begin() + 768, [&] (float s) { return std::abs (s) < 1.0e-6f * peak; }));
    }
}

TEST (Vst2Host, OutputDoesNotDependOnTheBlockSize)
{
    const auto warmUp = noise (2, 30000, 3);
    const auto input = noise (2, 3 * 8192 + 123);
    Instance::Channels reference;

    for (const int blockSize : { 8192, 1, 97, 767, 768, 769 })
    {
        SCOPED_TRACE (blockSize);
        Instance plugin;
        ASSERT_TRUE (plugin.setArrangement (arrangement::stereo, 2, arrangement::stereo, 2));
        plugin.effect->setParameter (plugin.effect, 0, 0.3f);
        plugin.effect->setParameter (plugin.effect, 1, 0.6f);
        plugin.start (8192);
        plugin.process (warmUp, 2, 8192); // gains settle the same way in every run
        const auto output = plugin.process (input, 2, blockSize);

        if (reference.empty())
            reference = output;
        for (size_t c = 0; c < 2; ++c)
        {
            const auto mismatch = std::mismatch (output[c].begin(), output[c].end(), reference[c].begin());
            EXPECT_TRUE (mismatch.first == output[c].end())
                << "channel " << c << " differs from sample " << (mismatch.first - output[c].begin());
        }
    }
}
} // namespace
