// Loads the freshly built VST3 bundle through the framework's VST3 host, as a VST3 host
// application would, and checks what such a host sees: identity, category, the parameter
// list and its texts, the layouts it can negotiate, where each declared channel is heard,
// latency, bypass, any block size, saved state (carried to our VST 2.4 host and back) and
// the plug-in's window. The host sees this build's bundle and nothing installed on the
// machine (IsolatedPluginHome).
#include "BypassRun.h"
#include "EarCues.h"
#include "HostTestProgram.h"
#include "../vst2/Vst2Host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <vector>

namespace
{
using Set = juce::AudioChannelSet;
using hosttest::cuesOf;
using hosttest::EarCues;
using hosttest::directionOf;
using hosttest::largestDifference;

constexpr double kSampleRate = 48000.0;
constexpr int kBlockSize = 512;
constexpr int kLargestBlock = 8192;
using hosttest::kReportedLatency;
using hosttest::textOf;

const Set fiveOneSide = Set::channelSetWithChannels ({ Set::left, Set::right, Set::centre, Set::LFE,
                                                        Set::leftSurroundSide, Set::rightSurroundSide });
const Set fiveOneRear = Set::channelSetWithChannels ({ Set::left, Set::right, Set::centre, Set::LFE,
                                                        Set::leftSurroundRear, Set::rightSurroundRear });

/** The VST3 format, and the plug-in as its scan of the plug-in folders found it. */
class Vst3Host
{
public:
    Vst3Host()
    {
        auto format = std::make_unique<juce::VST3PluginFormat>();
        vst3 = format.get();
        formats.addFormat (format.release());

        // Isolated, the default folders hold the build's bundle (~/.vst3); against the real
        // home folder the build's own folder is searched too, after what is installed.
        auto searchPath = vst3->getDefaultLocationsToSearch();
        if (! hosttest::isolatedHome().isActive())
            searchPath.add (juce::File (VENDRASOLITH_VST3_SEARCH_DIR));
        found = vst3->searchPathsForPlugins (searchPath, true, false);

        for (const auto& file : found)
        {
            if (! file.endsWith ("Vendrasolith.vst3"))
                continue;
            juce::OwnedArray<juce::PluginDescription> types;
            vst3->findAllTypesForFile (types, file);
            if (! types.isEmpty())
            {
                description = *types.getFirst();
                break;
            }
        }
    }

    /** An instance with the given buses, prepared for blocks up to the given size. */
    std::unique_ptr<juce::AudioPluginInstance> createInstance (const Set& in, const Set& out, int maximumBlock = kBlockSize)
    {
        juce::String error;
        auto instance = formats.createPluginInstance (description, kSampleRate, maximumBlock, error);
        EXPECT_NE (instance, nullptr) << error;
        if (instance == nullptr)
            return nullptr;

        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (in);
        layout.outputBuses.add (out);
        EXPECT_TRUE (instance->setBusesLayout (layout)) << in.getDescription() << " to " << out.getDescription();
        instance->prepareToPlay (kSampleRate, maximumBlock);
        return instance;
    }

    juce::AudioPluginFormatManager formats;
    juce::VST3PluginFormat* vst3 = nullptr;
    juce::StringArray found;
    juce::PluginDescription description;
};

std::unique_ptr<Vst3Host> sharedHost;

Vst3Host& host()
{
    if (sharedHost == nullptr)
        sharedHost = std::make_unique<Vst3Host>();
    return *sharedHost;
}
} // namespace

void vst3test::dropHost()
{
    sharedHost.reset();
}

namespace
{
/** Runs the input through the plug-in in blocks as the cuts say and returns every output. */
juce::AudioBuffer<float> render (juce::AudioPluginInstance& instance, const juce::AudioBuffer<float>& input,
                                 const std::vector<int>& blockSizes)
{
    const int ins = instance.getTotalNumInputChannels(), outs = instance.getTotalNumOutputChannels();
    const int channels = std::max (ins, outs), length = input.getNumSamples();
    juce::AudioBuffer<float> block (channels, kLargestBlock), output (outs, length);
    juce::MidiBuffer midi;

    for (int start = 0, cut = 0; start < length; ++cut)
    {
        const int n = std::min (blockSizes[(size_t) cut % blockSizes.size()], length - start);
        block.setSize (channels, n, false, false, true);
        block.clear();
        for (int c = 0; c < std::min (ins, input.getNumChannels()); ++c)
            block.copyFrom (c, 0, input, c, start, n);

        instance.processBlock (block, midi);

        for (int c = 0; c < outs; ++c)
            output.copyFrom (c, start, block, c, 0, n);
        start += n;
    }
    return output;
}

juce::AudioBuffer<float> render (juce::AudioPluginInstance& instance, const juce::AudioBuffer<float>& input)
{
    return render (instance, input, { kBlockSize });
}

juce::AudioBuffer<float> silence (int channels, int length)
{
    juce::AudioBuffer<float> buffer (channels, length);
    buffer.clear();
    return buffer;
}

juce::AudioBuffer<float> noise (int channels, int length, int seed)
{
    juce::AudioBuffer<float> buffer (channels, length);
    juce::Random random (seed);
    for (int c = 0; c < channels; ++c)
        for (int k = 0; k < length; ++k)
            buffer.setSample (c, k, random.nextFloat() - 0.5f);
    return buffer;
}

std::map<juce::String, juce::AudioProcessorParameter*> parametersByName (juce::AudioPluginInstance& instance)
{
    std::map<juce::String, juce::AudioProcessorParameter*> result;
    for (auto* parameter : instance.getParameters())
        result[parameter->getName (64)] = parameter;
    return result;
}

/** The processor's own block at the start of the state the plug-in hands a VST3 host (the
    framework appends its private data after it). */
std::vector<unsigned char> processorBlockIn (juce::AudioPluginInstance& instance)
{
    juce::MemoryBlock hostState;
    instance.getStateInformation (hostState);
    const auto document = juce::AudioProcessor::getXmlFromBinary (hostState.getData(), (int) hostState.getSize());
    if (document == nullptr || document->getChildByName ("IComponent") == nullptr)
        return {};

    juce::MemoryBlock component;
    if (! component.fromBase64Encoding (document->getChildByName ("IComponent")->getAllSubText()) || component.getSize() < 9)
        return {};
    const auto* bytes = static_cast<const unsigned char*> (component.getData());
    const auto length = (size_t) juce::ByteOrder::littleEndianInt (bytes + 4) + 9;
    return std::vector<unsigned char> (bytes, bytes + std::min (length, component.getSize()));
}

/** Hands a VST3 host a plug-in state, as it would load one from a project. */
void restoreProcessorBlock (juce::AudioPluginInstance& instance, const std::vector<unsigned char>& block)
{
    juce::XmlElement document ("VST3PluginState");
    document.createNewChildElement ("IComponent")->addTextElement (juce::MemoryBlock (block.data(), block.size()).toBase64Encoding());
    juce::MemoryBlock hostState;
    juce::AudioProcessor::copyXmlToBinary (document, hostState);
    instance.setStateInformation (hostState.getData(), (int) hostState.getSize());
}

class Vst3Bundle : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (host().description.fileOrIdentifier.isNotEmpty())
            << "no Vendrasolith.vst3 among: " << host().found.joinIntoString (", ");
        instance = host().createInstance (Set::stereo(), Set::stereo());
        ASSERT_NE (instance, nullptr);
        // Whatever the tests below see must come from what was just built.
        const auto notFromTheBuild = hosttest::whyNotFromTheBuild (VENDRASOLITH_VST3_BINARY);
        ASSERT_TRUE (notFromTheBuild.empty()) << notFromTheBuild;
    }

    std::unique_ptr<juce::AudioPluginInstance> instance;
};

} // namespace

//==============================================================================
TEST_F (Vst3Bundle, IsFoundUnderItsIdentityAsASpatialSurroundEffect)
{
    const auto& description = host().description;
    EXPECT_EQ (description.name, "Vendrasolith");
    EXPECT_EQ (description.manufacturerName, "Quillbright");
    EXPECT_EQ (description.pluginFormatName, "VST3");
    EXPECT_EQ (description.version, "1.1.0");
    EXPECT_EQ (description.category, "Fx|Spatial|Surround");
    EXPECT_FALSE (description.isInstrument);

    EXPECT_EQ (instance->getName(), "Vendrasolith");
    EXPECT_EQ (instance->getBus (true, 0)->getName(), "Input");
    EXPECT_EQ (instance->getBus (false, 0)->getName(), "Output");
    EXPECT_TRUE (instance->acceptsMidi());
    EXPECT_FALSE (instance->producesMidi());
}

TEST_F (Vst3Bundle, ListsAngleWidthGainAndBypassOnly)
{
    juce::StringArray names;
    for (auto* parameter : instance->getParameters())
        names.add (parameter->getName (64));
    EXPECT_EQ (names.joinIntoString (", "), "Angle, Width, Gain, Bypass");

    ASSERT_NE (instance->getBypassParameter(), nullptr);
    EXPECT_EQ (instance->getBypassParameter()->getName (64), "Bypass");

    const std::map<juce::String, float> defaults { { "Angle", 0.0f }, { "Width", 1.0f }, { "Gain", 0.9f } };
    auto parameters = parametersByName (*instance);
    for (const auto& [name, value] : defaults)
    {
        EXPECT_NEAR (parameters.at (name)->getDefaultValue(), value, 1.0e-6f) << name;
        EXPECT_NEAR (parameters.at (name)->getValue(), value, 1.0e-6f) << name;
        EXPECT_TRUE (parameters.at (name)->isAutomatable()) << name;
    }
}

TEST_F (Vst3Bundle, ShowsParametersInTheEditorsUnitsAndReadsTypedTexts)
{
    auto parameters = parametersByName (*instance);
    struct Shown { const char* name; float value; const char* text; };
    for (const auto& c : { Shown { "Angle", 0.25f, "90\xc2\xb0" }, Shown { "Angle", 1.0f, "360\xc2\xb0" },
                           Shown { "Width", 0.5f, "50%" }, Shown { "Width", 0.0f, "0%" },
                           Shown { "Gain", 0.9f, "0dB" }, Shown { "Gain", 0.84f, "-6dB" }, Shown { "Gain", 0.0f, "-90dB" },
                           Shown { "Gain", 1.0f, "10dB" } })
    {
        EXPECT_EQ (parameters.at (c.name)->getText (c.value, 64), juce::String::fromUTF8 (c.text)) << c.name << " at " << c.value;
        EXPECT_NEAR (parameters.at (c.name)->getValueForText (juce::String::fromUTF8 (c.text)), c.value, 1.0e-6f) << c.name;
    }
    EXPECT_NEAR (parameters.at ("Gain")->getValueForText ("-6 dB"), 0.84f, 1.0e-6f);
    EXPECT_NEAR (parameters.at ("Angle")->getValueForText ("45"), 0.125f, 1.0e-6f);

    // The host automates the same normalised values as a VST 2.4 host: the state holds them.
    parameters.at ("Angle")->setValueNotifyingHost (0.25f);
    parameters.at ("Gain")->setValueNotifyingHost (0.84f);
    render (*instance, silence (2, kBlockSize));
    EXPECT_EQ (parameters.at ("Angle")->getCurrentValueAsText(), juce::String::fromUTF8 ("90\xc2\xb0"));
    const auto state = textOf (processorBlockIn (*instance));
    EXPECT_NE (state.find ("<Angle>0.25</Angle>"), std::string::npos) << state;
    EXPECT_NE (state.find ("<Gain>0.84</Gain>"), std::string::npos) << state;
}

TEST_F (Vst3Bundle, ReportsItsLatency)
{
    render (*instance, silence (2, kBlockSize));
    EXPECT_EQ (instance->getLatencySamples(), kReportedLatency);
}

TEST_F (Vst3Bundle, NegotiatesTheSixConfigurationsAsSurroundLayoutsAndRefusesEveryOther)
{
    struct Case { const char* name; Set in, out; bool accepted; const char* inputChannels; };
    const Case cases[] = {
        { "mono to stereo", Set::mono(), Set::stereo(), true, "C" },
        { "stereo", Set::stereo(), Set::stereo(), true, "L R" },
        { "5.1 to stereo", Set::create5point1(), Set::stereo(), true, "L R C Lfe Ls Rs" },
        { "5.1 side to stereo", fiveOneSide, Set::stereo(), true, "L R C Lfe Lss Rss" },
        { "5.1 rear to stereo", fiveOneRear, Set::stereo(), true, "L R C Lfe Lrs Rrs" },
        { "5.1 to 5.1", Set::create5point1(), Set::create5point1(), true, "L R C Lfe Ls Rs" },
        { "7.1 to stereo", Set::create7point1(), Set::stereo(), true, "L R C Lfe Lss Rss Lrs Rrs" },
        { "7.1 with centres to stereo", Set::create7point1SDDS(), Set::stereo(), true, "L R C Lfe Ls Rs Lc Rc" },
        { "7.1 to 7.1", Set::create7point1(), Set::create7point1(), true, "L R C Lfe Lss Rss Lrs Rrs" },
        { "7.1 with centres to 7.1 with centres", Set::create7point1SDDS(), Set::create7point1SDDS(), true, "L R C Lfe Ls Rs Lc Rc" },
        // Outputs past the binaural pair are silent, so equal counts may be laid out otherwise.
        { "5.1 side to 5.1", fiveOneSide, Set::create5point1(), true, "L R C Lfe Lss Rss" },
        { "5.1 to 5.1 rear", Set::create5point1(), fiveOneRear, true, "L R C Lfe Ls Rs" },
        { "7.1 to 7.1 with centres", Set::create7point1(), Set::create7point1SDDS(), true, "L R C Lfe Lss Rss Lrs Rrs" },
        { "5.0 to stereo", Set::create5point0(), Set::stereo(), false, "" },
        { "7.0 to stereo", Set::create7point0(), Set::stereo(), false, "" },
        { "6.1 to stereo", Set::create6point1(), Set::stereo(), false, "" },
        { "quadraphonic to stereo", Set::quadraphonic(), Set::stereo(), false, "" },
        { "6.0 music to stereo", Set::create6point0Music(), Set::stereo(), false, "" },
        { "7.1.2 to stereo", Set::create7point1point2(), Set::stereo(), false, "" },
        { "stereo to mono", Set::stereo(), Set::mono(), false, "" },
        { "mono to mono", Set::mono(), Set::mono(), false, "" },
        { "stereo to 5.1", Set::stereo(), Set::create5point1(), false, "" },
        { "5.1 to 7.1", Set::create5point1(), Set::create7point1(), false, "" },
        { "7.1 to 5.1", Set::create7point1(), Set::create5point1(), false, "" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        instance->releaseResources();
        juce::AudioProcessor::BusesLayout stereo, requested;
        stereo.inputBuses.add (Set::stereo());
        stereo.outputBuses.add (Set::stereo());
        ASSERT_TRUE (instance->setBusesLayout (stereo));
        requested.inputBuses.add (c.in);
        requested.outputBuses.add (c.out);

        EXPECT_EQ (instance->setBusesLayout (requested), c.accepted);
        const auto& kept = c.accepted ? requested : stereo;
        EXPECT_EQ (instance->getChannelLayoutOfBus (true, 0), kept.getMainInputChannelSet());
        EXPECT_EQ (instance->getChannelLayoutOfBus (false, 0), kept.getMainOutputChannelSet());
        if (! c.accepted)
            continue;

        // What the host lists for the plug-in's input channels, after it has started.
        instance->prepareToPlay (kSampleRate, kBlockSize);
        juce::StringArray listed;
        for (auto type : instance->getChannelLayoutOfBus (true, 0).getChannelTypes())
            listed.add (Set::getAbbreviatedChannelTypeName (type));
        EXPECT_EQ (listed.joinIntoString (" "), c.inputChannels);
        EXPECT_EQ (instance->getTotalNumInputChannels(), c.in.size());

        // The binaural pair comes out of the first two outputs; any further ones are silent.
        const auto out = render (*instance, noise (std::max (c.in.size(), c.out.size()), 4 * kBlockSize, 7));
        EXPECT_GT (out.getMagnitude (0, 0, out.getNumSamples()), 0.0f);
        for (int channel = 2; channel < c.out.size(); ++channel)
            EXPECT_EQ (out.getMagnitude (channel, 0, out.getNumSamples()), 0.0f) << "output " << channel;
    }
}

TEST_F (Vst3Bundle, EveryDeclaredChannelIsHeardFromItsLoudspeaker)
{
    // The gains fade in from silence over a few hundred samples; the impulse comes once they
    // have settled, and the previous channel's sound has died away.
    constexpr int impulseAt = 8 * kBlockSize, length = impulseAt + 4 * kBlockSize;
    std::map<Set::ChannelType, std::vector<std::pair<juce::String, juce::AudioBuffer<float>>>> heardAs;

    for (const auto& layout : { Set::mono(), Set::stereo(), Set::create5point1(), fiveOneSide, fiveOneRear,
                                Set::create7point1(), Set::create7point1SDDS() })
    {
        auto plugin = host().createInstance (layout, Set::stereo());
        ASSERT_NE (plugin, nullptr);
        std::map<Set::ChannelType, EarCues> heard;

        for (int channel = 0; channel < layout.size(); ++channel)
        {
            const auto type = layout.getTypeOfChannel (channel);
            SCOPED_TRACE (layout.getDescription() + ", " + Set::getChannelTypeName (type));
            auto input = silence (layout.size(), length);
            input.setSample (channel, impulseAt, 1.0f);
            const auto output = render (*plugin, input);
            const auto cues = cuesOf (output, impulseAt, kSampleRate);
            heard[type] = cues;
            heardAs[type].emplace_back (layout.getDescription(), output);
            hosttest::expectHeardFrom (cues, directionOf (type));
        }

        // A front centre channel is heard nearer the middle than the front pair.
        if (layout == Set::create7point1SDDS())
        {
            EXPECT_GT (std::abs (heard.at (Set::left).lead), std::abs (heard.at (Set::leftCentre).lead));
            EXPECT_GT (std::abs (heard.at (Set::right).lead), std::abs (heard.at (Set::rightCentre).lead));
        }
    }

    // Whatever a layout's order, one loudspeaker sounds the same in every layout that has it
    // (7.1 arrives as L R C LFE Lss Rss Lrs Rrs, the sides first); a side and a rear surround differ.
    for (const auto& [type, outputs] : heardAs)
    {
        for (const auto& [layout, output] : outputs)
        {
            const auto& [firstLayout, first] = outputs.front();
            const float peak = first.getMagnitude (0, first.getNumSamples());
            for (int c = 0; c < 2; ++c)
                EXPECT_LE (largestDifference (output.getReadPointer (c), first.getReadPointer (c), 0, first.getNumSamples()), 1.0e-6f * peak)
                    << Set::getChannelTypeName (type) << " in " << layout << " and in " << firstLayout;
        }
    }
    const auto& side = heardAs.at (Set::leftSurroundSide).front().second;
    const auto& rear = heardAs.at (Set::leftSurroundRear).front().second;
    EXPECT_GT (largestDifference (side.getReadPointer (0), rear.getReadPointer (0), 0, side.getNumSamples()), 0.05f * side.getMagnitude (0, side.getNumSamples()));
}

TEST_F (Vst3Bundle, SevenOneArrivingSidesFirstSoundsAsTheConfigurationOfItsLoudspeakers)
{
    // The framework hands 7.1 over as L R C LFE Lss Rss Lrs Rrs; configuration 5 reads
    // L R C LFE Lsr Rsr Lss Rss by position. Each declared channel must sound exactly as the
    // configuration's channel of the same loudspeaker.
    const int positionInConfiguration[] = { 0, 1, 2, 3, 6, 7, 4, 5 };
    auto declared = host().createInstance (Set::create7point1(), Set::stereo());
    auto positional = host().createInstance (Set::create7point1(), Set::stereo());
    ASSERT_TRUE (declared != nullptr && positional != nullptr);
    restoreProcessorBlock (*positional, vst2test::stateBlock ("<Root><idxInputConfig>5</idxInputConfig></Root>"));

    const auto input = noise (8, 16 * kBlockSize, 11);
    juce::AudioBuffer<float> reordered (8, input.getNumSamples());
    for (int c = 0; c < 8; ++c)
        reordered.copyFrom (positionInConfiguration[c], 0, input, c, 0, input.getNumSamples());

    const auto heard = render (*declared, input), expected = render (*positional, reordered);
    for (int c = 0; c < 2; ++c)
        EXPECT_LE (largestDifference (heard.getReadPointer (c), expected.getReadPointer (c), 0, input.getNumSamples()),
                   1.0e-6f * expected.getMagnitude (c, 0, input.getNumSamples())) << "ear " << c;
}

TEST_F (Vst3Bundle, AnyBlockSizeGivesTheSameOutput)
{
    // Every gain glides in from silence and settles within a block's start, so the glides
    // run their course before the comparison, as in any session after its first second.
    const auto warmUp = noise (8, 30000, 2), input = noise (8, 24000, 3);
    auto reference = host().createInstance (Set::create7point1(), Set::stereo(), kLargestBlock);
    ASSERT_NE (reference, nullptr);
    render (*reference, warmUp, { kLargestBlock });
    const auto expected = render (*reference, input, { kBlockSize });

    const std::vector<std::vector<int>> cuts { { 1 }, { 97 }, { 767 }, { 768 }, { 769 }, { 8192 },
                                               { 5, 3000, 1, 8192, 700, 64, 2 } };
    for (const auto& sizes : cuts)
    {
        SCOPED_TRACE ("blocks of " + std::to_string (sizes.front()) + (sizes.size() > 1 ? " and others" : ""));
        auto plugin = host().createInstance (Set::create7point1(), Set::stereo(), kLargestBlock);
        ASSERT_NE (plugin, nullptr);
        render (*plugin, warmUp, { kLargestBlock });
        const auto output = render (*plugin, input, sizes);
        for (int c = 0; c < 2; ++c)
            for (int k = 0; k < input.getNumSamples(); ++k)
                ASSERT_EQ (output.getSample (c, k), expected.getSample (c, k)) << "channel " << c << " sample " << k;
    }

    // From a fresh instance the gains glide in from silence; a glide that ends inside a block
    // settles on its target where the next block starts, which moves the gain by at most 1e-6.
    auto fineCut = host().createInstance (Set::create7point1(), Set::stereo(), kLargestBlock);
    auto coarseCut = host().createInstance (Set::create7point1(), Set::stereo(), kLargestBlock);
    ASSERT_TRUE (fineCut != nullptr && coarseCut != nullptr);
    const auto fine = render (*fineCut, warmUp, { 1 }), coarse = render (*coarseCut, warmUp, { kLargestBlock });
    for (int c = 0; c < 2; ++c)
        EXPECT_LE (largestDifference (fine.getReadPointer (c), coarse.getReadPointer (c), 0, warmUp.getNumSamples()),
                   1.0e-5f * coarse.getMagnitude (c, 0, warmUp.getNumSamples())) << "fresh instances, ear " << c;
}

TEST_F (Vst3Bundle, BypassKeepsTimeAndSwitchesWithoutAClick)
{
    constexpr int part = 16 * kBlockSize, length = 3 * part;

    for (const auto& layout : { Set::stereo(), Set::create5point1() })
    {
        SCOPED_TRACE (layout.getDescription());
        auto switched = host().createInstance (layout, layout), reference = host().createInstance (layout, layout);
        ASSERT_TRUE (switched != nullptr && reference != nullptr);
        auto* bypass = switched->getBypassParameter();
        ASSERT_NE (bypass, nullptr);

        // Tones on the first two channels (small steps), noise on the others.
        auto input = noise (layout.size(), length, 5);
        for (int c = 0; c < 2; ++c)
            for (int k = 0; k < length; ++k)
                input.setSample (c, k, 0.5f * (float) std::sin (2.0 * juce::MathConstants<double>::pi * (330.0 + 110.0 * c) * k / kSampleRate));

        juce::AudioBuffer<float> output (layout.size(), length), processed (layout.size(), length);
        for (int p = 0; p < 3; ++p)
        {
            if (p > 0)
                bypass->setValueNotifyingHost (p == 1 ? 1.0f : 0.0f);
            juce::AudioBuffer<float> piece (layout.size(), part);
            for (int c = 0; c < layout.size(); ++c)
                piece.copyFrom (c, 0, input, c, p * part, part);
            const auto out = render (*switched, piece), unswitched = render (*reference, piece);
            for (int c = 0; c < layout.size(); ++c)
            {
                output.copyFrom (c, p * part, out, c, 0, part);
                processed.copyFrom (c, p * part, unswitched, c, 0, part);
            }
        }

        for (int c = 0; c < 2; ++c)
        {
            SCOPED_TRACE ("output " + std::to_string (c));
            std::vector<float> dry ((size_t) length, 0.0f);
            for (int k = kReportedLatency; k < length; ++k)
                dry[(size_t) k] = input.getSample (c, k - kReportedLatency);
            hosttest::expectBypassKeepsTimeWithoutAClick (output.getReadPointer (c), processed.getReadPointer (c), dry.data(), part, kSampleRate);
        }
        for (int c = 2; c < layout.size(); ++c)
            EXPECT_EQ (output.getMagnitude (c, 0, length), 0.0f) << "output " << c;
    }
}

TEST_F (Vst3Bundle, StateCrossesToVst2AndBackByteForByte)
{
    // Saved by the VST3 plug-in after a host's automation…
    auto parameters = parametersByName (*instance);
    parameters.at ("Angle")->setValueNotifyingHost (0.25f);
    parameters.at ("Width")->setValueNotifyingHost (0.5f);
    parameters.at ("Gain")->setValueNotifyingHost (0.84f);
    render (*instance, silence (2, kBlockSize));
    const auto fromVst3 = processorBlockIn (*instance);
    ASSERT_GT (fromVst3.size(), 9u);
    EXPECT_EQ (textOf (fromVst3), "<Root><Angle>0.25</Angle><Width>0.5</Width><Gain>0.84</Gain><idxInputConfig>-1</idxInputConfig>"
                                  "<idxBassBoost>0</idxBassBoost><idxGUI>0</idxGUI></Root>");

    // …restores in VST 2.4, which saves it again unchanged.
    EXPECT_FLOAT_EQ (hosttest::restoredInVst2 (fromVst3, 0), 0.25f);

    // Saved by VST 2.4 with every setting away from its default, restored in VST3. (A VST3
    // host holds parameters within 0…1, as VST 2.4 hosts do.)
    const auto fromVst2 = hosttest::savedByVst2 ("<Root><Angle>0.123457</Angle><Width>0.3</Width><Gain>0.95</Gain>"
                                                 "<idxInputConfig>3</idxInputConfig><idxBassBoost>2</idxBassBoost>"
                                                 "<idxGUI>4</idxGUI></Root>");
    ASSERT_GT (fromVst2.size(), 9u);
    auto restored = host().createInstance (Set::create5point1(), Set::stereo());
    ASSERT_NE (restored, nullptr);
    restoreProcessorBlock (*restored, fromVst2);
    EXPECT_EQ (processorBlockIn (*restored), fromVst2);
    EXPECT_NEAR (parametersByName (*restored).at ("Width")->getValue(), 0.3f, 1.0e-6f);

    // A restored configuration is the one the plug-in then reads by: configuration 3 reads
    // L C R Lsr Rsr LFE by position, so the host's channel 1 (R) sounds as the centre.
    auto positional = host().createInstance (Set::create5point1(), Set::stereo());
    ASSERT_NE (positional, nullptr);
    restoreProcessorBlock (*positional, vst2test::stateBlock ("<Root><idxInputConfig>3</idxInputConfig></Root>"));
    juce::AudioBuffer<float> rightOnly (6, 10 * kBlockSize);
    rightOnly.clear();
    rightOnly.setSample (1, 6 * kBlockSize, 1.0f);
    const auto cues = cuesOf (render (*positional, rightOnly), 6 * kBlockSize, kSampleRate);
    EXPECT_NEAR (cues.levelDb, 0.0, 1.0);
    EXPECT_LE (std::abs (cues.lead), 1);
}

//==============================================================================
// Run on a display (xvfb-run), apart from the tests above.
using Vst3Editor = Vst3Bundle;

TEST_F (Vst3Editor, OpensAtItsSizeShowsItselfAndClosesWhileTheAudioRuns)
{
    ASSERT_TRUE (instance->hasEditor());
    std::unique_ptr<juce::AudioProcessorEditor, hosttest::EditorCloser> editor (instance->createEditorIfNeeded(), { instance.get() });
    ASSERT_NE (editor, nullptr);
    EXPECT_EQ (editor->getWidth(), 500);
    EXPECT_EQ (editor->getHeight(), 380);

    hosttest::expectEditorShowsItsSkin (*editor, [&] { render (*instance, silence (2, kBlockSize)); });
    editor.reset();

    // The plug-in still renders after its window has gone.
    auto input = silence (2, 4 * kBlockSize);
    input.setSample (0, kBlockSize, 1.0f);
    EXPECT_GT (render (*instance, input).getMagnitude (0, 0, 4 * kBlockSize), 0.05f);
}
