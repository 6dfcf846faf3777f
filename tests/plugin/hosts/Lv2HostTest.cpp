// Loads every freshly built LV2 bundle (one plug-in per input layout) through the framework's
// LV2 host, as an LV2 host application would, and checks what such a host sees: identity,
// ports and their loudspeakers, parameters in their units, latency, rendered audio, bypass,
// saved state (carried to our VST 2.4 host and back) and the plug-in's window. The metadata
// is also read with lilv, the library most LV2 hosts read it with. The host sees this build's
// bundles and nothing installed on the machine (IsolatedPluginHome).
#include "BuiltLv2Bundles.h"
#include "BypassRun.h"
#include "EarCues.h"
#include "HostTestProgram.h"
#include "../vst2/Vst2Host.h"

#include <gtest/gtest.h>
#include <lilv/lilv.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <vector>

namespace
{
using Set = juce::AudioChannelSet;
using hosttest::kConvolverDelay;
using hosttest::kReportedLatency;
using hosttest::textOf;

constexpr double kSampleRate = 48000.0;
constexpr int kBlockSize = 512;
// The renderer fades its gains in from silence over a few hundred samples, so the
// impulse comes once they have settled.
constexpr int kImpulseAt = 4 * kBlockSize;
constexpr int kRenderLength = kImpulseAt + 4 * kBlockSize;

/** What each bundle must be, as hosts see it. */
struct Lv2BundleCase
{
    const char* label;
    const char* uri;
    const char* name;
    Set inputs;                              // as the host reads the ports' designations
    std::vector<const char*> designations;   // of the input ports, in port order (port-groups names)
    std::vector<const char*> portNames;
    const char* groupClass;                  // of the input group (port-groups class)
    int configuration;                       // the input configuration of that many channels, read by position…
    std::vector<Set::ChannelType> configurationOrder; // …whose channels are these loudspeakers
};

void PrintTo (const Lv2BundleCase& bundle, std::ostream* out) { *out << bundle.label; }

const Set fiveOneRear = Set::channelSetWithChannels ({ Set::left, Set::right, Set::centre, Set::LFE,
                                                        Set::leftSurroundRear, Set::rightSurroundRear });

// Ports in the order files and most hosts carry the channels (L R C LFE, then the surrounds).
const Lv2BundleCase bundleCases[] = {
    { "Mono", "https://quillbright.example/plugins/vendrasolith-mono", "Vendrasolith Mono", Set::mono(),
      { "center" }, { "Centre" }, "MonoGroup", 0, { Set::centre } },
    { "Stereo", "https://quillbright.example/plugins/vendrasolith", "Vendrasolith", Set::stereo(),
      { "left", "right" }, { "Left", "Right" }, "StereoGroup", 1, { Set::left, Set::right } },
    { "FivePointOne", "https://quillbright.example/plugins/vendrasolith-5.1", "Vendrasolith 5.1", fiveOneRear,
      { "left", "right", "center", "lowFrequencyEffects", "rearLeft", "rearRight" },
      { "Left", "Right", "Centre", "LFE", "Left Surround", "Right Surround" }, "FivePointOneGroup",
      3, { Set::left, Set::centre, Set::right, Set::leftSurroundRear, Set::rightSurroundRear, Set::LFE } }, // L C R Lsr Rsr LFE
    { "SevenPointOne", "https://quillbright.example/plugins/vendrasolith-7.1", "Vendrasolith 7.1", Set::create7point1(),
      { "left", "right", "center", "lowFrequencyEffects", "sideLeft", "sideRight", "rearLeft", "rearRight" },
      { "Left", "Right", "Centre", "LFE", "Left Side", "Right Side", "Left Rear", "Right Rear" }, "SevenPointOneGroup",
      6, { Set::left, Set::centre, Set::right, Set::leftSurroundSide, Set::rightSurroundSide, Set::leftSurroundRear,
           Set::rightSurroundRear, Set::LFE } }, // L C R Lss Rss Lsr Rsr LFE
};

/** Where the build put a bundle (BuiltLv2Bundles.h, from the build's table of bundles). */
const hosttest::BuiltLv2Bundle* builtBundle (const juce::String& uri)
{
    for (const auto& built : hosttest::builtLv2Bundles)
        if (uri == built.uri)
            return &built;
    return nullptr;
}

/** One LV2 world that sees the build's bundles, shared by the tests of a process. */
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
    }

    juce::PluginDescription describe (const juce::String& uri)
    {
        juce::OwnedArray<juce::PluginDescription> types;
        lv2->findAllTypesForFile (types, uri);
        return types.isEmpty() ? juce::PluginDescription() : *types.getFirst();
    }

    /** A prepared instance with its buses enabled, or nullptr with the host's reason. */
    std::unique_ptr<juce::AudioPluginInstance> createInstance (const juce::String& uri, juce::String& error)
    {
        auto instance = formats.createPluginInstance (describe (uri), kSampleRate, kBlockSize, error);
        if (instance == nullptr)
            return nullptr;

        instance->enableAllBuses();
        instance->prepareToPlay (kSampleRate, kBlockSize);
        return instance;
    }

    juce::AudioPluginFormatManager formats;
    juce::LV2PluginFormat* lv2 = nullptr;
    juce::StringArray foundUris;
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

/** Runs the input through the plug-in block by block and returns the binaural pair. */
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

juce::AudioBuffer<float> impulseIn (int channels, int channel, int length = kRenderLength)
{
    juce::AudioBuffer<float> impulse (channels, length);
    impulse.clear();
    impulse.setSample (channel, kImpulseAt, 1.0f);
    return impulse;
}

juce::AudioBuffer<float> silence (int channels, int length)
{
    juce::AudioBuffer<float> buffer (channels, length);
    buffer.clear();
    return buffer;
}

float peakOf (const juce::AudioBuffer<float>& output)
{
    return std::max (output.getMagnitude (0, 0, output.getNumSamples()),
                     output.getMagnitude (1, 0, output.getNumSamples()));
}

float largestDifference (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b)
{
    float largest = 0.0f;
    for (int c = 0; c < 2; ++c)
        largest = std::max (largest, hosttest::largestDifference (a.getReadPointer (c), b.getReadPointer (c), 0, a.getNumSamples()));
    return largest;
}

//==============================================================================
// The state as the framework's LV2 host saves it (a lilv state) carries the processor's own
// block, base64, as the value of the plug-in's state property.
juce::String stateProperty (const juce::String& uri) { return uri + ":StateString>"; }

juce::Range<int> encodedBlockIn (const juce::String& hostState, const juce::String& uri)
{
    const int property = hostState.indexOf (stateProperty (uri));
    const int open = property < 0 ? -1 : hostState.indexOfChar (property, '"');
    const int close = open < 0 ? -1 : hostState.indexOfChar (open + 1, '"');
    return close < 0 ? juce::Range<int>() : juce::Range<int> (open + 1, close);
}

std::vector<unsigned char> processorBlockIn (juce::AudioPluginInstance& instance, const juce::String& uri)
{
    juce::MemoryBlock hostState;
    instance.getStateInformation (hostState);
    const auto text = hostState.toString();
    const auto encoded = encodedBlockIn (text, uri);
    juce::MemoryBlock block;
    if (encoded.isEmpty() || ! block.fromBase64Encoding (text.substring (encoded.getStart(), encoded.getEnd())))
        return {};
    const auto* bytes = static_cast<const unsigned char*> (block.getData());
    return std::vector<unsigned char> (bytes, bytes + block.getSize());
}

/** Hands the host a saved state of this instance with the processor's block replaced, as
    a project that holds that block would. */
void restoreProcessorBlock (juce::AudioPluginInstance& instance, const juce::String& uri, const std::vector<unsigned char>& block)
{
    juce::MemoryBlock hostState;
    instance.getStateInformation (hostState);
    auto text = hostState.toString();
    const auto encoded = encodedBlockIn (text, uri);
    ASSERT_FALSE (encoded.isEmpty()) << "no processor state in: " << text;
    text = text.replaceSection (encoded.getStart(), encoded.getLength(), juce::MemoryBlock (block.data(), block.size()).toBase64Encoding());
    instance.setStateInformation (text.toRawUTF8(), (int) text.getNumBytesAsUTF8());
}

//==============================================================================
/** The bundle's metadata as a lilv host reads it, in a world that loads that bundle alone. */
class LilvView
{
public:
    explicit LilvView (const hosttest::BuiltLv2Bundle& bundle)
    {
        const auto folder = juce::File (bundle.folder).getFullPathName() + "/";
        LilvNode* bundleUri = lilv_new_file_uri (world, nullptr, folder.toRawUTF8());
        lilv_world_load_bundle (world, bundleUri);
        lilv_node_free (bundleUri);
        plugin = lilv_plugins_get_by_uri (lilv_world_get_all_plugins (world), uri (bundle.uri));
        // Loads what the manifest points to, as hosts do once they use a plug-in.
        if (plugin != nullptr)
            lilv_plugin_get_num_ports (plugin);
    }

    ~LilvView()
    {
        for (auto* node : nodes)
            lilv_node_free (node);
        lilv_world_free (world);
    }

    LilvNode* uri (const juce::String& text)
    {
        nodes.push_back (lilv_new_uri (world, text.toRawUTF8()));
        return nodes.back();
    }

    /** The one value of a subject's property, as text ("" when there is none). */
    juce::String value (const LilvNode* subject, const juce::String& property)
    {
        LilvNode* found = lilv_world_get (world, subject, uri (property), nullptr);
        const auto text = found == nullptr ? juce::String()
                                           : juce::String::fromUTF8 (lilv_node_is_uri (found) ? lilv_node_as_uri (found) : lilv_node_as_string (found));
        lilv_node_free (found);
        return text;
    }

    bool isA (const LilvNode* subject, const juce::String& type)
    {
        return lilv_world_ask (world, subject, uri (rdf + "type"), uri (type));
    }

    const LilvPort* port (int index) const { return lilv_plugin_get_port_by_index (plugin, (uint32_t) index); }

    juce::String portName (const LilvPort* p) const
    {
        LilvNode* name = lilv_port_get_name (plugin, p);
        const auto text = juce::String::fromUTF8 (lilv_node_as_string (name));
        lilv_node_free (name);
        return text;
    }

    juce::String portValue (const LilvPort* p, const juce::String& property)
    {
        LilvNodes* values = lilv_port_get_value (plugin, p, uri (property));
        juce::String text;
        if (values != nullptr && lilv_nodes_size (values) == 1)
            text = juce::String::fromUTF8 (lilv_node_as_uri (lilv_nodes_get_first (values)));
        lilv_nodes_free (values);
        return text;
    }

    static inline const juce::String rdf = "http://www.w3.org/1999/02/22-rdf-syntax-ns#";
    static inline const juce::String lv2 = "http://lv2plug.in/ns/lv2core#";
    static inline const juce::String pg = "http://lv2plug.in/ns/ext/port-groups#";
    static inline const juce::String units = "http://lv2plug.in/ns/extensions/units#";

    LilvWorld* world = lilv_world_new();
    const LilvPlugin* plugin = nullptr;

private:
    std::vector<LilvNode*> nodes;
};

//==============================================================================
class Lv2Bundle : public ::testing::TestWithParam<Lv2BundleCase>
{
protected:
    void SetUp() override
    {
        built = builtBundle (bundle().uri);
        ASSERT_NE (built, nullptr) << "the build has no bundle for " << bundle().uri;
        ASSERT_TRUE (host().foundUris.contains (bundle().uri))
            << "found only: " << host().foundUris.joinIntoString (", ");
        instance = create();
        ASSERT_NE (instance, nullptr);
        // Whatever the tests below see must come from what was just built.
        const auto notFromTheBuild = hosttest::whyNotFromTheBuild (built->binary);
        ASSERT_TRUE (notFromTheBuild.empty()) << notFromTheBuild;
    }

    const Lv2BundleCase& bundle() const { return GetParam(); }
    int inputs() const { return bundle().inputs.size(); }

    std::unique_ptr<juce::AudioPluginInstance> create()
    {
        juce::String error;
        auto created = host().createInstance (bundle().uri, error);
        EXPECT_NE (created, nullptr) << error;
        return created;
    }

    const hosttest::BuiltLv2Bundle* built = nullptr;
    std::unique_ptr<juce::AudioPluginInstance> instance;
};

std::string labelOf (const ::testing::TestParamInfo<Lv2BundleCase>& info) { return info.param.label; }
} // namespace

INSTANTIATE_TEST_SUITE_P (EveryLayout, Lv2Bundle, ::testing::ValuesIn (bundleCases), labelOf);

TEST_P (Lv2Bundle, IsFoundUnderItsUriWithItsInputsAndTheBinauralPair)
{
    const auto description = host().describe (bundle().uri);
    EXPECT_EQ (description.name, bundle().name);
    EXPECT_EQ (description.fileOrIdentifier, bundle().uri);
    EXPECT_EQ (description.pluginFormatName, "LV2");
    EXPECT_EQ (description.numInputChannels, inputs());
    EXPECT_EQ (description.numOutputChannels, 2);
    EXPECT_FALSE (description.isInstrument);

    EXPECT_EQ (instance->getTotalNumInputChannels(), inputs());
    EXPECT_EQ (instance->getTotalNumOutputChannels(), 2);
    // The loudspeakers the host reads from the ports' designations.
    EXPECT_EQ (instance->getChannelLayoutOfBus (true, 0), bundle().inputs)
        << instance->getChannelLayoutOfBus (true, 0).getDescription();
    EXPECT_EQ (instance->getChannelLayoutOfBus (false, 0), Set::stereo());
}

TEST_P (Lv2Bundle, MetadataNamesEachPortsLoudspeakerTheParametersUnitsAndNoPlaceholders)
{
    LilvView view (*built);
    ASSERT_NE (view.plugin, nullptr);
    const LilvNode* plugin = lilv_plugin_get_uri (view.plugin);
    const auto& pg = LilvView::pg;
    const auto& lv2 = LilvView::lv2;

    EXPECT_TRUE (view.isA (plugin, lv2 + "SpatialPlugin"));
    LilvNode* name = lilv_plugin_get_name (view.plugin);
    EXPECT_STREQ (lilv_node_as_string (name), bundle().name);
    lilv_node_free (name);
    LilvNode* author = lilv_plugin_get_author_name (view.plugin);
    ASSERT_NE (author, nullptr);
    EXPECT_STREQ (lilv_node_as_string (author), "Quillbright");
    lilv_node_free (author);
    // No invented address or page.
    EXPECT_EQ (lilv_plugin_get_author_email (view.plugin), nullptr);
    EXPECT_EQ (lilv_plugin_get_author_homepage (view.plugin), nullptr);

    // Audio inputs first, in the order of the table, then the binaural pair.
    ASSERT_GE ((int) lilv_plugin_get_num_ports (view.plugin), inputs() + 2);
    const juce::String group = view.portValue (view.port (0), pg + "group");
    EXPECT_TRUE (view.isA (view.uri (group), pg + "InputGroup"));
    EXPECT_TRUE (view.isA (view.uri (group), pg + bundle().groupClass)) << group;
    for (int c = 0; c < inputs(); ++c)
    {
        SCOPED_TRACE ("input port " + std::to_string (c));
        const auto* port = view.port (c);
        EXPECT_TRUE (lilv_port_is_a (view.plugin, port, view.uri (lv2 + "AudioPort")));
        EXPECT_TRUE (lilv_port_is_a (view.plugin, port, view.uri (lv2 + "InputPort")));
        EXPECT_EQ (view.portName (port), bundle().portNames[(size_t) c]);
        EXPECT_EQ (view.portValue (port, lv2 + "designation"), pg + bundle().designations[(size_t) c]);
        EXPECT_EQ (view.portValue (port, pg + "group"), group);
    }
    for (int c = 0; c < 2; ++c)
    {
        const auto* port = view.port (inputs() + c);
        EXPECT_TRUE (lilv_port_is_a (view.plugin, port, view.uri (lv2 + "OutputPort")));
        EXPECT_EQ (view.portValue (port, lv2 + "designation"), pg + (c == 0 ? "left" : "right"));
    }

    // The latency port has a range that holds what it reports.
    const auto* latency = lilv_plugin_get_port_by_designation (view.plugin, view.uri (lv2 + "OutputPort"), view.uri (lv2 + "latency"));
    ASSERT_NE (latency, nullptr);
    LilvNode *defaultValue = nullptr, *minimum = nullptr, *maximum = nullptr;
    lilv_port_get_range (view.plugin, latency, &defaultValue, &minimum, &maximum);
    ASSERT_TRUE (minimum != nullptr && maximum != nullptr);
    EXPECT_EQ (lilv_node_as_int (minimum), 0);
    EXPECT_GE (lilv_node_as_int (maximum), kReportedLatency);
    for (auto* node : { defaultValue, minimum, maximum })
        lilv_node_free (node);

    // Parameters in the units hosts show and automate them in.
    struct Expected { const char* symbol; const char* unit; float minimum, maximum, byDefault; };
    for (const auto& p : { Expected { "Angle", "degree", 0.0f, 360.0f, 0.0f }, Expected { "Width", "pc", 0.0f, 100.0f, 100.0f },
                           Expected { "Gain", "db", -90.0f, 10.0f, 0.0f } })
    {
        SCOPED_TRACE (p.symbol);
        auto* parameter = view.uri (juce::String (bundle().uri) + ":" + p.symbol);
        EXPECT_TRUE (view.isA (parameter, lv2 + "Parameter"));
        EXPECT_EQ (view.value (parameter, LilvView::units + "unit"), LilvView::units + p.unit);
        EXPECT_EQ (view.value (parameter, lv2 + "minimum").getFloatValue(), p.minimum);
        EXPECT_EQ (view.value (parameter, lv2 + "maximum").getFloatValue(), p.maximum);
        EXPECT_EQ (view.value (parameter, lv2 + "default").getFloatValue(), p.byDefault);
    }
}

TEST_P (Lv2Bundle, OffersAngleWidthGainWithTheirDefaultsInUnits)
{
    const auto parameters = parametersByName (*instance);
    juce::StringArray seen;
    for (const auto& entry : parameters)
        seen.add (entry.first);
    ASSERT_EQ (parameters.size(), 3u) << "the host sees: " << seen.joinIntoString (", ");

    // The host holds each parameter over its declared range; its texts are values in units.
    struct Shown { const char* name; float hostValue; float inUnits; };
    for (const auto& c : { Shown { "Angle", 0.0f, 0.0f }, Shown { "Angle", 0.25f, 90.0f }, Shown { "Angle", 1.0f, 360.0f },
                           Shown { "Width", 1.0f, 100.0f }, Shown { "Width", 0.5f, 50.0f },
                           Shown { "Gain", 0.9f, 0.0f }, Shown { "Gain", 0.84f, -6.0f }, Shown { "Gain", 0.0f, -90.0f },
                           Shown { "Gain", 1.0f, 10.0f } })
    {
        SCOPED_TRACE (juce::String (c.name) + " at " + juce::String (c.hostValue));
        ASSERT_EQ (parameters.count (c.name), 1u);
        EXPECT_NEAR (parameters.at (c.name)->getText (c.hostValue, 64).getFloatValue(), c.inUnits, 1.0e-4f);
    }
    const std::map<juce::String, float> defaults { { "Angle", 0.0f }, { "Width", 1.0f }, { "Gain", 0.9f } };
    for (const auto& [name, value] : defaults)
    {
        EXPECT_NEAR (parameters.at (name)->getDefaultValue(), value, 1.0e-6f) << name;
        EXPECT_NEAR (parameters.at (name)->getValue(), value, 1.0e-6f) << name;
    }
}

TEST_P (Lv2Bundle, ReportsItsLatencyThroughTheLatencyPort)
{
    // The host reads the latency port after each run.
    render (*instance, silence (inputs(), kBlockSize));
    EXPECT_EQ (instance->getLatencySamples(), kReportedLatency);
}

TEST_P (Lv2Bundle, EveryInputIsHeardFromTheLoudspeakerItsPortIsDesignated)
{
    // The host feeds each of its channels to the port designated with that channel's
    // loudspeaker; the plug-in must render it there.
    const auto layout = instance->getChannelLayoutOfBus (true, 0);
    ASSERT_EQ (layout, bundle().inputs);
    for (int channel = 0; channel < layout.size(); ++channel)
    {
        const auto type = layout.getTypeOfChannel (channel);
        SCOPED_TRACE (Set::getChannelTypeName (type));
        auto plugin = create();
        ASSERT_NE (plugin, nullptr);
        const auto output = render (*plugin, impulseIn (inputs(), channel));
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < output.getNumSamples(); ++i)
                ASSERT_TRUE (std::isfinite (output.getSample (c, i))) << "ear " << c << " sample " << i;
        EXPECT_GT (peakOf (output), 0.05f);
        hosttest::expectHeardFrom (hosttest::cuesOf (output, kImpulseAt, kSampleRate), hosttest::directionOf (type));
    }
}

TEST_P (Lv2Bundle, EveryPortSoundsExactlyAsTheConfigurationChannelOfItsLoudspeaker)
{
    // A configuration chosen in the window reads the channels by position, in its own order;
    // each designated port must sound exactly as that configuration's channel of the same
    // loudspeaker, so a side and a rear surround, both on the left, cannot be mistaken.
    auto positional = create();
    ASSERT_NE (positional, nullptr);
    const auto chosen = "<Root><idxInputConfig>" + std::to_string (bundle().configuration) + "</idxInputConfig></Root>";
    restoreProcessorBlock (*positional, bundle().uri, vst2test::stateBlock (chosen));

    juce::AudioBuffer<float> input (inputs(), 16 * kBlockSize), reordered (inputs(), input.getNumSamples());
    juce::Random random (11);
    for (int c = 0; c < inputs(); ++c)
        for (int k = 0; k < input.getNumSamples(); ++k)
            input.setSample (c, k, random.nextFloat() - 0.5f);
    const auto& order = bundle().configurationOrder;
    const auto layout = instance->getChannelLayoutOfBus (true, 0);
    for (int c = 0; c < inputs(); ++c)
    {
        const auto position = std::find (order.begin(), order.end(), layout.getTypeOfChannel (c));
        ASSERT_NE (position, order.end()) << Set::getChannelTypeName (layout.getTypeOfChannel (c));
        reordered.copyFrom ((int) std::distance (order.begin(), position), 0, input, c, 0, input.getNumSamples());
    }

    const auto heard = render (*instance, input), expected = render (*positional, reordered);
    EXPECT_LE (largestDifference (heard, expected), 1.0e-6f * peakOf (expected));
}

TEST_P (Lv2Bundle, BypassThroughTheEnabledPortKeepsTimeAndSwitchesWithoutAClick)
{
    // The host drives the plug-in's enabled port through the bypass control it makes of it.
    auto* bypass = instance->getBypassParameter();
    ASSERT_NE (bypass, nullptr) << "the host offers no bypass for the plug-in's enabled port";
    auto reference = create();
    ASSERT_NE (reference, nullptr);

    // Tones on the first two inputs (small steps), noise on the others.
    constexpr int part = 16 * kBlockSize, length = 3 * part;
    juce::AudioBuffer<float> input (inputs(), length), output (2, length), processed (2, length);
    juce::Random random (5);
    for (int c = 0; c < inputs(); ++c)
        for (int k = 0; k < length; ++k)
            input.setSample (c, k, c < 2 ? 0.5f * (float) std::sin (2.0 * juce::MathConstants<double>::pi * (330.0 + 110.0 * c) * k / kSampleRate)
                                         : random.nextFloat() - 0.5f);

    // Processed, bypassed, processed again; the reference is never bypassed.
    for (int p = 0; p < 3; ++p)
    {
        if (p > 0)
            bypass->setValueNotifyingHost (p == 1 ? 1.0f : 0.0f);
        juce::AudioBuffer<float> piece (inputs(), part);
        for (int c = 0; c < inputs(); ++c)
            piece.copyFrom (c, 0, input, c, p * part, part);
        const auto switched = render (*instance, piece), unswitched = render (*reference, piece);
        for (int c = 0; c < 2; ++c)
        {
            output.copyFrom (c, p * part, switched, c, 0, part);
            processed.copyFrom (c, p * part, unswitched, c, 0, part);
        }
    }

    // Bypassed, each ear carries its input (a single input both), late by the reported latency.
    for (int c = 0; c < 2; ++c)
    {
        SCOPED_TRACE ("ear " + std::to_string (c));
        std::vector<float> dry ((size_t) length, 0.0f);
        for (int k = kReportedLatency; k < length; ++k)
            dry[(size_t) k] = input.getSample (std::min (c, inputs() - 1), k - kReportedLatency);
        hosttest::expectBypassKeepsTimeWithoutAClick (output.getReadPointer (c), processed.getReadPointer (c), dry.data(), part, kSampleRate);
    }
}

TEST_P (Lv2Bundle, RestoresAChangedParameterFromSavedState)
{
    constexpr float angle = 0.25f;
    auto* source = parametersByName (*instance)["Angle"];
    ASSERT_NE (source, nullptr);

    // A host-side change reaches the plug-in with the next run.
    source->setValueNotifyingHost (angle);
    render (*instance, silence (inputs(), kBlockSize));

    juce::MemoryBlock state;
    instance->getStateInformation (state);
    ASSERT_GT (state.getSize(), 0u);

    auto restored = create();
    ASSERT_NE (restored, nullptr);
    restored->setStateInformation (state.getData(), (int) state.getSize());
    const auto restoredOutput = render (*restored, impulseIn (inputs(), 0));

    // The plug-in announces restored values to the host once it runs.
    auto* restoredAngle = parametersByName (*restored)["Angle"];
    ASSERT_NE (restoredAngle, nullptr);
    EXPECT_NEAR (restoredAngle->getValue(), angle, 1.0e-6f);

    // The restored instance renders as one set to that angle directly, not as a default one.
    auto direct = create(), fresh = create();
    ASSERT_TRUE (direct != nullptr && fresh != nullptr);
    parametersByName (*direct)["Angle"]->setValueNotifyingHost (angle);
    const auto directOutput = render (*direct, impulseIn (inputs(), 0));
    const auto defaultOutput = render (*fresh, impulseIn (inputs(), 0));

    EXPECT_GT (largestDifference (directOutput, defaultOutput), 0.1f * peakOf (defaultOutput)) << "the angle has no audible effect";
    EXPECT_LE (largestDifference (restoredOutput, directOutput), 1.0e-6f * peakOf (directOutput));
}

TEST_P (Lv2Bundle, AutomationInUnitsIsTheNormalisedStateEveryFormatSavesAndCrossesToVst2ByteForByte)
{
    // The host automates 90°, 50 % and -6 dB; the plug-in keeps 0.25, 0.5 and 0.84, as a
    // VST 2.4 host would have set them.
    auto parameters = parametersByName (*instance);
    parameters.at ("Angle")->setValueNotifyingHost (0.25f);
    parameters.at ("Width")->setValueNotifyingHost (0.5f);
    parameters.at ("Gain")->setValueNotifyingHost (0.84f);
    render (*instance, silence (inputs(), kBlockSize));
    const auto fromLv2 = processorBlockIn (*instance, bundle().uri);
    ASSERT_GT (fromLv2.size(), 9u);
    EXPECT_EQ (textOf (fromLv2), "<Root><Angle>0.25</Angle><Width>0.5</Width><Gain>0.84</Gain><idxInputConfig>-1</idxInputConfig>"
                                 "<idxBassBoost>0</idxBassBoost><idxGUI>0</idxGUI></Root>");

    // …restores in VST 2.4, which saves it again unchanged…
    EXPECT_FLOAT_EQ (hosttest::restoredInVst2 (fromLv2, 2), 0.84f);

    // …and a state saved by VST 2.4 with every setting away from its default restores here
    // and is saved again unchanged, its values shown to the host in units.
    const auto fromVst2 = hosttest::savedByVst2 ("<Root><Angle>0.123457</Angle><Width>0.3</Width><Gain>0.95</Gain>"
                                                 "<idxInputConfig>0</idxInputConfig><idxBassBoost>2</idxBassBoost>"
                                                 "<idxGUI>4</idxGUI></Root>");
    ASSERT_GT (fromVst2.size(), 9u);
    auto restored = create();
    ASSERT_NE (restored, nullptr);
    restoreProcessorBlock (*restored, bundle().uri, fromVst2);
    render (*restored, silence (inputs(), kBlockSize));
    EXPECT_EQ (processorBlockIn (*restored, bundle().uri), fromVst2);
    EXPECT_NEAR (parametersByName (*restored).at ("Width")->getText (parametersByName (*restored).at ("Width")->getValue(), 64).getFloatValue(),
                 30.0f, 1.0e-4f);
}

// Run on a display (xvfb-run), apart from the tests above.
using Lv2Editor = Lv2Bundle;
INSTANTIATE_TEST_SUITE_P (EveryLayout, Lv2Editor, ::testing::ValuesIn (bundleCases), labelOf);

TEST_P (Lv2Editor, OpensAtItsSizeShowsItselfAndClosesCleanly)
{
    ASSERT_TRUE (instance->hasEditor());
    std::unique_ptr<juce::AudioProcessorEditor, hosttest::EditorCloser> editor (instance->createEditorIfNeeded(), { instance.get() });
    ASSERT_NE (editor, nullptr);
    // The host learns the size from the plug-in's window, once that exists.
    EXPECT_EQ (editor->getWidth(), 500);
    EXPECT_EQ (editor->getHeight(), 380);

    hosttest::expectEditorShowsItsSkin (*editor, [&] { render (*instance, silence (inputs(), kBlockSize)); });
    editor.reset();

    // The plug-in still renders after its window has gone.
    const auto output = render (*instance, impulseIn (inputs(), 0));
    EXPECT_GT (peakOf (output), 0.05f);
}
