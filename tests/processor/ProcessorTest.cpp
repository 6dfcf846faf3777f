#include "ProcessorFixture.h"

#include <limits>
#include <random>

namespace
{
using H = juce::PluginHostType;

TEST (VantorAudioProcessor, FreshInstanceHasItsDefaultsAndLatency)
{
    HostedProcessor host;
    auto& p = *host.processor;
    EXPECT_EQ (p.getName(), "Vendrasolith");
    EXPECT_EQ (p.getLatencySamples(), 792);
    EXPECT_EQ (p.getInputConfiguration(), VantorAudioProcessor::kNotChosen);
    EXPECT_TRUE (p.isEditorRefreshPending());
    EXPECT_EQ (p.getGuiIndex(), 0);
    EXPECT_EQ (p.getBassBoostStep(), 0);
    EXPECT_EQ (p.getNumPrograms(), 1);
    EXPECT_EQ (p.getCurrentProgram(), 0);
    EXPECT_EQ (p.getProgramName (5), "Default");
    EXPECT_EQ (p.getInputChannelName (0), "1");
    EXPECT_EQ (p.getOutputChannelName (7), "8");
    EXPECT_TRUE (p.acceptsMidi());
    EXPECT_FALSE (p.producesMidi());
    EXPECT_EQ (p.getTailLengthSeconds(), 0.0);
}

TEST (VantorAudioProcessor, ParametersAsHostsSeeThem)
{
    HostedProcessor host;
    auto& p = *host.processor;
    const auto& params = p.getParameters();
    ASSERT_EQ (params.size(), 3);

    const char* names[] = { "Angle", "Width", "Gain" };
    const float defaults[] = { 0.0f, 1.0f, 0.9f };
    const char* texts[] = { "0", "1", "0.9" };
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_EQ (params[i]->getName (100), names[i]);
        EXPECT_EQ (params[i]->getDefaultValue(), defaults[i]);
        EXPECT_EQ (params[i]->getValue(), defaults[i]);
        EXPECT_EQ (params[i]->getCurrentValueAsText(), texts[i]);
        EXPECT_EQ (params[i]->getLabel(), "");
    }
    EXPECT_EQ (params[0]->getName (3), "Ang");

    p.setParameter (0, 1.5f);
    p.setParameter (1, 1.0f / 3.0f);
    EXPECT_EQ (params[0]->getValue(), 1.5f) << "values are stored unclamped";
    EXPECT_EQ (params[0]->getCurrentValueAsText(), "1.5");
    EXPECT_EQ (params[1]->getCurrentValueAsText(), "0.333333");
    EXPECT_EQ (params[1]->getText (1.0e-5f, 100), "1e-05");
}

TEST (VantorAudioProcessor, UnknownParameterIndicesChangeNothing)
{
    HostedProcessor host;
    auto& p = *host.processor;
    p.setEditorRefreshPending (false);
    p.setParameter (3, 0.5f);
    p.setParameter (-1, 0.5f);
    EXPECT_FALSE (p.isEditorRefreshPending());
    EXPECT_EQ (p.getParameterValue (3), 0.0f);
    EXPECT_EQ (p.getParameterObject (3), nullptr);

    p.setParameter (2, 0.9f);
    EXPECT_TRUE (p.isEditorRefreshPending()) << "every known index raises the flag, even unchanged";
}

struct AutoCase
{
    H::HostType host;
    int inputs;
    int expected;
};

TEST (VantorAudioProcessor, AutomaticConfigurationFollowsHostAndChannelCount)
{
    const AutoCase cases[] = {
        { H::UnknownHost, 1, 0 }, { H::UnknownHost, 2, 1 }, { H::UnknownHost, 6, 2 }, { H::UnknownHost, 8, 5 },
        { H::AvidProTools, 2, 1 }, { H::AvidProTools, 6, 3 }, { H::AvidProTools, 8, 6 },
        { H::AppleLogic, 2, 1 }, { H::AppleLogic, 6, 8 }, { H::AppleLogic, 8, 9 }, { H::AppleLogic, 1, 0 },
    };
    for (const auto& c : cases)
    {
        const int outs = c.inputs == 1 ? 2 : c.inputs;
        HostedProcessor host (c.inputs, outs, c.host);
        host.prepare();
        EXPECT_EQ (host.processor->getInputConfiguration(), c.expected) << "host " << (int) c.host << " inputs " << c.inputs;
        EXPECT_EQ (host.processor->getActiveInputCount(), VantorAudioProcessor::channelCountOf (c.expected));
    }
}

TEST (VantorAudioProcessor, OnlyCubaseRechoosesAConfigurationOnEveryPrepare)
{
    for (auto hostType : { H::UnknownHost, H::SteinbergNuendo5, H::SteinbergCubase10 })
    {
        HostedProcessor host (2, 2, hostType);
        host.prepare();
        host.processor->requestInputConfiguration (5);
        host.prepare();
        const bool cubase = hostType == H::SteinbergCubase10;
        EXPECT_EQ (host.processor->getInputConfiguration(), cubase ? 1 : 5) << (int) hostType;
    }
}

TEST (VantorAudioProcessor, TooFewHostChannelsFallBackToMono)
{
    HostedProcessor host (2, 2);
    host.prepare();
    host.processor->requestInputConfiguration (5);

    auto buffer = noise (2, 512);
    host.process (buffer, 512);
    EXPECT_EQ (host.processor->getInputConfiguration(), 0);
    EXPECT_EQ (host.processor->getActiveInputCount(), 1);
    EXPECT_FALSE (host.processor->isConfigurationPending());
}

TEST (VantorAudioProcessor, ExtraOutputsAreSilentAndTheBinauralPairIsOnTheFirstTwo)
{
    for (int outs : { 6, 8 })
    {
        HostedProcessor host (outs, outs);
        host.prepare();
        auto buffer = noise (outs, 4096);
        host.process (buffer, 512);
        for (int c = 2; c < outs; ++c)
            EXPECT_EQ (buffer.getMagnitude (c, 0, 4096), 0.0f) << "channel " << c;
        EXPECT_GT (buffer.getMagnitude (0, 768, 4096 - 768), 0.0f);
        EXPECT_GT (buffer.getMagnitude (1, 768, 4096 - 768), 0.0f);
    }
}

TEST (VantorAudioProcessor, AnImpulseArrivesAfterTheReportedLatency)
{
    HostedProcessor host (2, 2);
    host.prepare();
    juce::AudioBuffer<float> buffer (2, 2048);
    buffer.clear();
    buffer.setSample (0, 0, 1.0f);
    buffer.setSample (1, 0, 1.0f);
    host.process (buffer, 256);

    int loudest = 0;
    for (int k = 0; k < 2048; ++k)
        if (std::fabs (buffer.getSample (0, k)) > std::fabs (buffer.getSample (0, loudest)))
            loudest = k;
    EXPECT_EQ (buffer.getMagnitude (0, 0, 768), 0.0f);
    EXPECT_NEAR (loudest, 792, 30) << "the direct sound lands close to the reported latency";
}

TEST (VantorAudioProcessor, OutputIsTheSameWhateverTheHostBlockSize)
{
    auto render = [] (int blockSize)
    {
        HostedProcessor host (8, 8);
        host.prepare();
        host.processor->setParameter (0, 0.2f);
        host.processor->setParameter (1, 0.6f);
        host.processor->setBassBoostStep (2);
        auto buffer = noise (8, 40000, 5);
        // Let every glide settle before the comparison so block starts cannot matter.
        auto warmUp = noise (8, 30000, 6);
        host.process (warmUp, 8192);
        host.process (buffer, blockSize);
        return buffer;
    };

    const auto reference = render (8192);
    for (int blockSize : { 1, 97, 767, 768, 769, 20000 })
    {
        const auto out = render (blockSize);
        for (int c = 0; c < 2; ++c)
            for (int k = 0; k < 40000; ++k)
                ASSERT_EQ (out.getSample (c, k), reference.getSample (c, k)) << "block " << blockSize << " channel " << c << " sample " << k;
    }
}

TEST (VantorAudioProcessor, NoParameterValueOrInputCanMakeTheOutputNonFinite)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float values[] = { nan, inf, -inf, 1.0e30f, -1.0e30f, 8.5f, 1.5f };

    for (float value : values)
    {
        HostedProcessor host (8, 8);
        host.prepare();
        for (int i = 0; i < 3; ++i)
            host.processor->setParameter (i, value);
        host.processor->setBassBoostStep (3);

        auto buffer = noise (8, 4096);
        buffer.setSample (0, 100, nan);
        buffer.setSample (3, 200, inf);
        host.process (buffer, 512);
        EXPECT_TRUE (allFinite (buffer)) << "value " << value;
        EXPECT_TRUE (std::isnan (value) ? std::isnan (host.processor->getParameterValue (2))
                                        : host.processor->getParameterValue (2) == value) << "stored as received";
    }
}
} // namespace
