// Loads the freshly built LV2 bundle through the framework's LV2 host, as an LV2 host
// application would, and checks what such a host sees: identity, parameters, latency,
// rendered audio, bypass, saved state and the plug-in's window. The host sees this build's
// bundle and nothing installed on the machine (IsolatedPluginHome).
#include "HostTestProgram.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

namespace
{
constexpr double kSampleRate = 44100.0;
constexpr int kBlockSize = 512;
// The renderer fades its gains in from silence over a few hundred samples, so the
// impulse comes once they have settled.
constexpr int kImpulseAt = 4 * kBlockSize;
constexpr int kRenderLength = kImpulseAt + 4 * kBlockSize;
constexpr int kReportedLatency = 792;
constexpr int kConvolverDelay = 768;

/** One LV2 world that sees the build's bundle, shared by the tests of a process. */
class Lv2Host
{
public:
    Lv2Host()
    {
        auto format = std::make_unique<juce::LV2PluginFormat>();
        lv2 = format.get();
        formats.addFormat (format.release());

        // The host scanned its default folders when it was made, the isolated home's .lv2
        // among them. Only against the real home folder must it be shown the build's own
        // folder, and then an installed copy found first shadows the build.
        const auto searchPath = hosttest::isolatedHome().isActive() ? juce::FileSearchPath()
                                                         : juce::FileSearchPath (juce::File (VENDRASOLITH_LV2_SEARCH_DIR).getFullPathName());
        foundUris = lv2->searchPathsForPlugins (searchPath, true, false);

        juce::OwnedArray<juce::PluginDescription> types;
        lv2->findAllTypesForFile (types, VENDRASOLITH_LV2_URI);
        if (! types.isEmpty())
            description = *types.getFirst();
    }

    /** A prepared instance with its stereo buses enabled, or nullptr with the host's reason. */
    std::unique_ptr<juce::AudioPluginInstance> createInstance (juce::String& error)
    {
        auto instance = formats.createPluginInstance (description, kSampleRate, kBlockSize, error);
        if (instance == nullptr)
            return nullptr;

        instance->enableAllBuses();
        instance->prepareToPlay (kSampleRate, kBlockSize);
        return instance;
    }

    juce::AudioPluginFormatManager formats;
    juce::LV2PluginFormat* lv2 = nullptr;
    juce::StringArray foundUris;
    juce::PluginDescription description;
};

// Built on first use and dropped before the framework shuts down.
std::unique_ptr<Lv2Host> sharedHost;
} // namespace

void lv2test::dropHost()
{
    sharedHost.reset();
}

namespace
{
Lv2Host& host()
{
    if (sharedHost == nullptr)
        sharedHost = std::make_unique<Lv2Host>();
    return *sharedHost;
}

/** The plug-in's own parameters by name, leaving out the host's bypass control. */
std::map<juce::String, juce::AudioProcessorParameter*> parametersByName (juce::AudioPluginInstance& instance)
{
    std::map<juce::String, juce::AudioProcessorParameter*> result;
    for (auto* parameter : instance.getParameters())
        if (parameter != instance.getBypassParameter())
            result[parameter->getName (64)] = parameter;
    return result;
}

/** Runs the input through the plug-in block by block and returns the stereo output. */
juce::AudioBuffer<float> render (juce::AudioPluginInstance& instance, const juce::AudioBuffer<float>& input)
{
    const int channels = std::max (instance.getTotalNumInputChannels(), instance.getTotalNumOutputChannels());
    juce::AudioBuffer<float> block (channels, kBlockSize), output (2, input.getNumSamples());
    juce::MidiBuffer midi;

    for (int start = 0; start < input.getNumSamples(); start += kBlockSize)
    {
        const int length = std::min (kBlockSize, input.getNumSamples() - start);
        block.setSize (channels, length, false, false, true);
        block.clear();
        for (int c = 0; c < std::min (channels, input.getNumChannels()); ++c)
            block.copyFrom (c, 0, input, c, start, length);

        instance.processBlock (block, midi);

        for (int c = 0; c < 2; ++c)
            output.copyFrom (c, start, block, c, 0, length);
    }
    return output;
}

juce::AudioBuffer<float> stereoImpulse()
{
    juce::AudioBuffer<float> impulse (2, kRenderLength);
    impulse.clear();
    impulse.setSample (0, kImpulseAt, 1.0f);
    impulse.setSample (1, kImpulseAt, 1.0f);
    return impulse;
}

juce::AudioBuffer<float> silence (int length)
{
    juce::AudioBuffer<float> buffer (2, length);
    buffer.clear();
    return buffer;
}

float peakOf (const juce::AudioBuffer<float>& output)
{
    return std::max (output.getMagnitude (0, 0, output.getNumSamples()),
                     output.getMagnitude (1, 0, output.getNumSamples()));
}

/** Samples from the impulse until either ear rises above 1 % of the output's peak. */
int onsetOf (const juce::AudioBuffer<float>& output)
{
    const float threshold = 0.01f * peakOf (output);
    for (int i = 0; i < output.getNumSamples(); ++i)
        if (std::abs (output.getSample (0, i)) > threshold || std::abs (output.getSample (1, i)) > threshold)
            return i - kImpulseAt;
    return -1;
}

float largestDifference (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b)
{
    float largest = 0.0f;
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < a.getNumSamples(); ++i)
            largest = std::max (largest, std::abs (a.getSample (c, i) - b.getSample (c, i)));
    return largest;
}

class Lv2Bundle : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (host().foundUris.contains (VENDRASOLITH_LV2_URI))
            << "found only: " << host().foundUris.joinIntoString (", ");
        instance = create();
        ASSERT_NE (instance, nullptr);
        // Whatever the tests below see must come from what was just built.
        const auto notFromTheBuild = hosttest::whyNotFromTheBuild (VENDRASOLITH_LV2_BINARY);
        ASSERT_TRUE (notFromTheBuild.empty()) << notFromTheBuild;
    }

    std::unique_ptr<juce::AudioPluginInstance> create()
    {
        juce::String error;
        auto created = host().createInstance (error);
        EXPECT_NE (created, nullptr) << error;
        return created;
    }

    std::unique_ptr<juce::AudioPluginInstance> instance;
};
} // namespace

TEST_F (Lv2Bundle, IsFoundUnderItsUriWithStereoPorts)
{
    const auto& description = host().description;
    EXPECT_EQ (description.name, "Vendrasolith");
    EXPECT_EQ (description.fileOrIdentifier, VENDRASOLITH_LV2_URI);
    EXPECT_EQ (description.pluginFormatName, "LV2");
    EXPECT_EQ (description.numInputChannels, 2);
    EXPECT_EQ (description.numOutputChannels, 2);
    EXPECT_FALSE (description.isInstrument);

    EXPECT_EQ (instance->getName(), "Vendrasolith");
    EXPECT_EQ (instance->getTotalNumInputChannels(), 2);
    EXPECT_EQ (instance->getTotalNumOutputChannels(), 2);
}

TEST_F (Lv2Bundle, OffersAngleWidthGainWithTheirDefaults)
{
    const auto parameters = parametersByName (*instance);
    juce::StringArray seen;
    for (const auto& entry : parameters)
        seen.add (entry.first);
    ASSERT_EQ (parameters.size(), 3u) << "the host sees: " << seen.joinIntoString (", ");

    const std::map<juce::String, float> defaults { { "Angle", 0.0f }, { "Width", 1.0f }, { "Gain", 0.9f } };
    for (const auto& [name, value] : defaults)
    {
        SCOPED_TRACE (name);
        ASSERT_EQ (parameters.count (name), 1u);
        EXPECT_NEAR (parameters.at (name)->getDefaultValue(), value, 1.0e-6f);
        EXPECT_NEAR (parameters.at (name)->getValue(), value, 1.0e-6f);
    }
}

TEST_F (Lv2Bundle, ReportsItsLatencyThroughTheLatencyPort)
{
    // The host reads the latency port after each run.
    render (*instance, silence (kBlockSize));
    EXPECT_EQ (instance->getLatencySamples(), kReportedLatency);
}

TEST_F (Lv2Bundle, RendersAnImpulseToBothEarsAfterTheConvolverDelay)
{
    const auto output = render (*instance, stereoImpulse());

    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < output.getNumSamples(); ++i)
            ASSERT_TRUE (std::isfinite (output.getSample (c, i))) << "channel " << c << " sample " << i;

    // Nothing audible leaves before the convolver's delay (the transform's rounding noise
    // may); the direct sound follows the responses' own lead-in, close to the reported latency.
    const int onset = onsetOf (output);
    EXPECT_GE (onset, kConvolverDelay);
    EXPECT_LE (onset, kReportedLatency + 8);
    for (int c = 0; c < 2; ++c)
        EXPECT_LT (output.getMagnitude (c, 0, kImpulseAt + kConvolverDelay), 1.0e-4f * peakOf (output)) << "channel " << c;

    // A centred source reaches both ears at a comparable, clearly audible level.
    const float left = output.getMagnitude (0, 0, kRenderLength), right = output.getMagnitude (1, 0, kRenderLength);
    EXPECT_GT (left, 0.05f);
    EXPECT_GT (right, 0.05f);
    EXPECT_NEAR (left / right, 1.0f, 0.25f);
}

TEST_F (Lv2Bundle, BypassThroughTheEnabledPortKeepsTimeAndSwitchesBack)
{
    // The host drives the plug-in's enabled port through the bypass control it makes of it.
    auto* bypass = instance->getBypassParameter();
    ASSERT_NE (bypass, nullptr) << "the host offers no bypass for the plug-in's enabled port";
    auto reference = create();
    ASSERT_NE (reference, nullptr);

    constexpr int part = 16 * kBlockSize, length = 3 * part;
    constexpr int crossfadeOver = (int) (0.020 * kSampleRate);
    juce::AudioBuffer<float> input (2, length), output (2, length), processed (2, length);
    juce::Random random (5);
    for (int c = 0; c < 2; ++c)
        for (int k = 0; k < length; ++k)
            input.setSample (c, k, random.nextFloat() - 0.5f);

    // Processed, bypassed, processed again; the reference is never bypassed.
    for (int p = 0; p < 3; ++p)
    {
        if (p > 0)
            bypass->setValueNotifyingHost (p == 1 ? 1.0f : 0.0f);
        juce::AudioBuffer<float> piece (2, part);
        for (int c = 0; c < 2; ++c)
            piece.copyFrom (c, 0, input, c, p * part, part);
        const auto switched = render (*instance, piece), unswitched = render (*reference, piece);
        for (int c = 0; c < 2; ++c)
        {
            output.copyFrom (c, p * part, switched, c, 0, part);
            processed.copyFrom (c, p * part, unswitched, c, 0, part);
        }
    }

    for (int c = 0; c < 2; ++c)
    {
        for (int k = part + crossfadeOver; k < 2 * part; ++k)
            ASSERT_EQ (output.getSample (c, k), input.getSample (c, k - kReportedLatency)) << "bypassed, channel " << c << " sample " << k;
        for (int k = 2 * part + crossfadeOver; k < length; ++k)
            ASSERT_EQ (output.getSample (c, k), processed.getSample (c, k)) << "back on, channel " << c << " sample " << k;
    }
}

TEST_F (Lv2Bundle, RestoresAChangedParameterFromSavedState)
{
    constexpr float angle = 0.25f;
    auto* source = parametersByName (*instance)["Angle"];
    ASSERT_NE (source, nullptr);

    // A host-side change reaches the plug-in with the next run.
    source->setValueNotifyingHost (angle);
    render (*instance, silence (kBlockSize));

    juce::MemoryBlock state;
    instance->getStateInformation (state);
    ASSERT_GT (state.getSize(), 0u);

    auto restored = create();
    ASSERT_NE (restored, nullptr);
    restored->setStateInformation (state.getData(), (int) state.getSize());
    const auto restoredOutput = render (*restored, stereoImpulse());

    // The plug-in announces restored values to the host once it runs.
    auto* restoredAngle = parametersByName (*restored)["Angle"];
    ASSERT_NE (restoredAngle, nullptr);
    EXPECT_NEAR (restoredAngle->getValue(), angle, 1.0e-6f);

    // The restored instance renders as one set to that angle directly, not as a default one.
    auto direct = create(), fresh = create();
    ASSERT_TRUE (direct != nullptr && fresh != nullptr);
    parametersByName (*direct)["Angle"]->setValueNotifyingHost (angle);
    const auto directOutput = render (*direct, stereoImpulse());
    const auto defaultOutput = render (*fresh, stereoImpulse());

    EXPECT_GT (largestDifference (directOutput, defaultOutput), 0.1f * peakOf (defaultOutput)) << "the angle has no audible effect";
    EXPECT_LE (largestDifference (restoredOutput, directOutput), 1.0e-6f * peakOf (directOutput));
}

// Run on a display (xvfb-run), apart from the tests above.
using Lv2Editor = Lv2Bundle;

TEST_F (Lv2Editor, OpensAtItsSizeShowsItselfAndClosesCleanly)
{
    ASSERT_TRUE (instance->hasEditor());
    std::unique_ptr<juce::AudioProcessorEditor, hosttest::EditorCloser> editor (instance->createEditorIfNeeded(), { instance.get() });
    ASSERT_NE (editor, nullptr);
    // The host learns the size from the plug-in's window, once that exists.
    EXPECT_EQ (editor->getWidth(), 500);
    EXPECT_EQ (editor->getHeight(), 380);

    {
        juce::DocumentWindow window ("Vendrasolith", juce::Colours::black, 0);
        window.setUsingNativeTitleBar (true);
        window.setContentNonOwned (editor.get(), true);
        window.setVisible (true);

        auto* peer = window.getPeer();
        ASSERT_NE (peer, nullptr);
        // A plain fill has one colour; the plug-in's skin, shown inside the host's window, many.
        const auto showsSkin = [peer]
        { return hosttest::distinctColoursShownIn ((unsigned long) (juce::pointer_sized_uint) peer->getNativeHandle()) > 50; };

        // A moment on screen, the audio running between the host's idle calls; the skin is
        // there within a fraction of a second once the plug-in's window can be seen.
        for (int waited = 0; waited < 20000 && (waited < 500 || ! showsSkin()); waited += 25)
        {
            hosttest::fitHostEmbeddingTo (*editor);
            juce::MessageManager::getInstance()->runDispatchLoopUntil (25);
            render (*instance, silence (kBlockSize));
        }

        EXPECT_EQ (window.getContentComponent()->getBounds(), juce::Rectangle<int> (0, 0, 500, 380));
        EXPECT_TRUE (showsSkin()) << "the window shows no skin";
    }
    editor.reset();

    // The plug-in still renders after its window has gone.
    const auto output = render (*instance, stereoImpulse());
    EXPECT_GT (peakOf (output), 0.05f);
}
