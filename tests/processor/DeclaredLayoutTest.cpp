// Channels read by the loudspeaker types a host declares (VST3), how that combines with a
// chosen or restored configuration, and what such hosts can negotiate and see.
#include "DeclaredLayout.h"
#include "ProcessorFixture.h"
#include "VantorParameter.h"

#include <random>
#include <vector>

namespace
{
using H = juce::PluginHostType;
using Set = juce::AudioChannelSet;
using vendrasolith::ChannelRouting;
using vendrasolith::DeclaredLayout;
using vendrasolith::SlotPanner;

const Set fiveOneSide = Set::channelSetWithChannels ({ Set::left, Set::right, Set::centre, Set::LFE, Set::leftSurroundSide, Set::rightSurroundSide });
const Set fiveOneRear = Set::channelSetWithChannels ({ Set::left, Set::right, Set::centre, Set::LFE, Set::leftSurroundRear, Set::rightSurroundRear });

/** A processor as a format wrapper of the given type creates it. */
std::unique_ptr<VantorAudioProcessor> makeProcessor (juce::AudioProcessor::WrapperType wrapper, H::HostType host = H::UnknownHost)
{
    juce::AudioProcessor::setTypeOfNextNewPlugin (wrapper);
    auto processor = std::make_unique<VantorAudioProcessor> (host);
    juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_Undefined);
    return processor;
}

juce::AudioProcessor::BusesLayout layoutOf (const Set& in, const Set& out)
{
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add (in);
    layout.outputBuses.add (out);
    return layout;
}

/** A VST3 processor whose host has declared the input layout, stereo out, prepared. */
std::unique_ptr<VantorAudioProcessor> vst3On (const Set& input, H::HostType host = H::UnknownHost)
{
    auto processor = makeProcessor (juce::AudioProcessor::wrapperType_VST3, host);
    EXPECT_TRUE (processor->setBusesLayout (layoutOf (input, Set::stereo()))) << input.getDescription();
    processor->prepareToPlay (48000.0, 512);
    return processor;
}

/** The binaural pair the processor makes of the input, in blocks of 512. */
juce::AudioBuffer<float> render (VantorAudioProcessor& processor, const juce::AudioBuffer<float>& input)
{
    const int channels = std::max (2, input.getNumChannels());
    juce::AudioBuffer<float> io (channels, input.getNumSamples());
    io.clear();
    for (int c = 0; c < input.getNumChannels(); ++c)
        io.copyFrom (c, 0, input, c, 0, input.getNumSamples());
    juce::MidiBuffer midi;
    for (int offset = 0; offset < io.getNumSamples(); offset += 512)
    {
        juce::AudioBuffer<float> block (io.getArrayOfWritePointers(), channels, offset, std::min (512, io.getNumSamples() - offset));
        processor.processBlock (block, midi);
    }
    juce::AudioBuffer<float> pair (2, io.getNumSamples());
    for (int c = 0; c < 2; ++c)
        pair.copyFrom (c, 0, io, c, 0, io.getNumSamples());
    return pair;
}

bool sameSamples (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b)
{
    for (int c = 0; c < 2; ++c)
        for (int k = 0; k < a.getNumSamples(); ++k)
            if (a.getSample (c, k) != b.getSample (c, k))
                return false;
    return true;
}
} // namespace

TEST (DeclaredLayout, EveryChannelGoesToTheSlotOfItsLoudspeaker)
{
    struct Case
    {
        const char* name;
        Set layout;
        std::vector<int> slots;
        int configuration;
        std::vector<std::pair<int, float>> turnedSlots;
    };
    const Case cases[] = {
        { "mono", Set::mono(), { 2 }, 0, {} },
        { "stereo", Set::stereo(), { 0, 1 }, 1, {} },
        { "5.1", Set::create5point1(), { 0, 1, 2, 5, 4, 6 }, 2, {} },
        { "5.1 rear surrounds", fiveOneRear, { 0, 1, 2, 5, 4, 6 }, 2, {} },
        { "5.1 side surrounds", fiveOneSide, { 0, 1, 2, 5, 3, 7 }, -1, {} },
        // The framework orders 7.1 L R C LFE Lss Rss Lsr Rsr: no configuration reads that order.
        { "7.1", Set::create7point1(), { 0, 1, 2, 5, 3, 7, 4, 6 }, -1, {} },
        // L R C LFE Ls Rs Lc Rc: the centre pair takes the side slots, turned to the front.
        { "7.1 with left and right centre", Set::create7point1SDDS(), { 0, 1, 2, 5, 4, 6, 3, 7 }, -1, { { 3, 345.0f }, { 7, 15.0f } } },
        { "L C R", Set::createLCR(), { 0, 1, 2 }, -1, {} },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto routing = DeclaredLayout::routingFor (c.layout);
        ASSERT_TRUE (routing.has_value());
        EXPECT_TRUE (routing->isValid());
        ASSERT_EQ (routing->channelCount, (int) c.slots.size());
        for (size_t ch = 0; ch < c.slots.size(); ++ch)
            EXPECT_EQ (routing->slotOfChannel[ch], c.slots[ch]) << "channel " << ch << ", " << Set::getAbbreviatedChannelTypeName (c.layout.getTypeOfChannel ((int) ch));

        auto directions = SlotPanner::baseDirections;
        for (auto [slot, degrees] : c.turnedSlots)
            directions[(size_t) slot] = degrees;
        EXPECT_EQ (routing->slotDirections, directions);
        EXPECT_EQ (DeclaredLayout::configurationFor (c.layout), c.configuration);

        // What crosses to the audio thread reads the same.
        EXPECT_EQ (DeclaredLayout::routingForPacked (DeclaredLayout::pack (c.layout)), routing);
    }
}

TEST (DeclaredLayout, LayoutsWithAChannelNoLoudspeakerStandsForAreNotReadByType)
{
    const std::pair<const char*, Set> cases[] = {
        { "discrete 2", Set::discreteChannels (2) },
        { "discrete 6", Set::discreteChannels (6) },
        { "6.1 with a centre surround", Set::create6point1() },
        { "7.1.2 with top channels", Set::create7point1point2() },
        { "surround and rear surround both on the left", Set::channelSetWithChannels ({ Set::left, Set::right, Set::centre, Set::LFE, Set::leftSurround,
                                                                Set::rightSurround, Set::leftSurroundRear, Set::rightSurroundRear }) },
        { "first-order ambisonics", Set::ambisonic (1) },
        { "disabled", Set::disabled() },
    };
    for (const auto& [name, layout] : cases)
    {
        SCOPED_TRACE (name);
        EXPECT_FALSE (DeclaredLayout::routingFor (layout).has_value());
        EXPECT_EQ (DeclaredLayout::pack (layout), 0u);
        EXPECT_EQ (DeclaredLayout::configurationFor (layout), -1);
    }
    EXPECT_FALSE (DeclaredLayout::routingForPacked (0).has_value());
}

TEST (DeclaredLayout, HostsThatDeclareLayoutsNegotiateTheSixConfigurationsInSurroundTerms)
{
    struct Case { const char* name; Set in, out; bool declared, byCount; };
    const Case cases[] = {
        { "mono to stereo", Set::mono(), Set::stereo(), true, true },
        { "stereo", Set::stereo(), Set::stereo(), true, true },
        { "5.1 to stereo", Set::create5point1(), Set::stereo(), true, true },
        { "5.1 side to stereo", fiveOneSide, Set::stereo(), true, true },
        { "5.1 rear to stereo", fiveOneRear, Set::stereo(), true, true },
        { "5.1 to 5.1", Set::create5point1(), Set::create5point1(), true, true },
        { "5.1 side to 5.1", fiveOneSide, Set::create5point1(), true, true },
        { "7.1 to stereo", Set::create7point1(), Set::stereo(), true, true },
        { "7.1 with centres to stereo", Set::create7point1SDDS(), Set::stereo(), true, true },
        { "7.1 to 7.1", Set::create7point1(), Set::create7point1(), true, true },
        { "7.1 with centres to 7.1", Set::create7point1SDDS(), Set::create7point1(), true, true },
        // Counts of none of the six configurations.
        { "5.0 to stereo", Set::create5point0(), Set::stereo(), false, false },
        { "7.0 to stereo", Set::create7point0(), Set::stereo(), false, false },
        { "6.1 to stereo", Set::create6point1(), Set::stereo(), false, false },
        { "quadraphonic to stereo", Set::quadraphonic(), Set::stereo(), false, false },
        { "stereo to mono", Set::stereo(), Set::mono(), false, false },
        { "mono to mono", Set::mono(), Set::mono(), false, false },
        { "stereo to 5.1", Set::stereo(), Set::create5point1(), false, false },
        { "5.1 to 7.1", Set::create5point1(), Set::create7point1(), false, false },
        // The right counts, but channels that are not a 5.1 or 7.1 of the plug-in's.
        { "6 discrete to stereo", Set::discreteChannels (6), Set::stereo(), false, true },
        { "6.0 music to stereo", Set::create6point0Music(), Set::stereo(), false, true },
        { "7.1 with top channels as 8", Set::channelSetWithChannels ({ Set::left, Set::right, Set::centre, Set::LFE, Set::leftSurround, Set::rightSurround,
                                               Set::topFrontLeft, Set::topFrontRight }), Set::stereo(), false, true },
        { "stereo to 2 discrete", Set::stereo(), Set::discreteChannels (2), false, true },
        { "5.1 to 6.0 music", Set::create5point1(), Set::create6point0Music(), false, true },
    };

    const auto vst3 = makeProcessor (juce::AudioProcessor::wrapperType_VST3);
    const auto vst2 = makeProcessor (juce::AudioProcessor::wrapperType_VST);
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        EXPECT_EQ (vst3->checkBusesLayoutSupported (layoutOf (c.in, c.out)), c.declared) << "VST3";
        EXPECT_EQ (vst2->checkBusesLayoutSupported (layoutOf (c.in, c.out)), c.byCount) << "VST 2.4: by channel count alone";
    }
}

TEST (DeclaredLayout, WhileNothingIsChosenTheDeclaredLayoutDecidesAtEveryPrepare)
{
    auto processor = vst3On (Set::create5point1());
    auto& p = *processor;
    EXPECT_TRUE (p.readsDeclaredLayout());
    EXPECT_EQ (p.getInputConfiguration(), VantorAudioProcessor::kNotChosen);
    EXPECT_EQ (p.getConfigurationInUse(), 2) << "the options panel shows the configuration with the host's order";
    EXPECT_EQ (p.getActiveInputCount(), 6);
    EXPECT_TRUE (stateText (p).contains ("<idxInputConfig>-1</idxInputConfig>")) << "a reopened project follows its track";

    // The track changes its layout: the host stops, sets the buses and prepares again.
    const std::pair<Set, int> changes[] = { { Set::create7point1(), -1 }, { Set::mono(), 0 }, { Set::create7point1SDDS(), -1 } };
    for (const auto& [layout, inUse] : changes)
    {
        SCOPED_TRACE (layout.getDescription());
        p.releaseResources();
        ASSERT_TRUE (p.setBusesLayout (layoutOf (layout, Set::stereo())));
        p.prepareToPlay (48000.0, 512);
        EXPECT_TRUE (p.readsDeclaredLayout());
        EXPECT_EQ (p.getConfigurationInUse(), inUse);
        EXPECT_EQ (p.getActiveInputCount(), layout.size());
    }
}

TEST (DeclaredLayout, SurroundInTheFrameworksOrderSoundsAsTheConfigurationOfThoseLoudspeakers)
{
    // Each case: a declared layout, the configuration that reads the same loudspeakers, and
    // for each of that configuration's channels the declared channel that carries its signal.
    struct Case { const char* name; Set layout; int configuration; std::vector<int> declaredChannelOf; };
    const Case cases[] = {
        { "7.1 as L R C LFE Lss Rss Lsr Rsr", Set::create7point1(), 5, { 0, 1, 2, 3, 6, 7, 4, 5 } },
        { "5.1", Set::create5point1(), 2, { 0, 1, 2, 3, 4, 5 } },
        { "stereo", Set::stereo(), 1, { 0, 1 } },
        { "mono", Set::mono(), 0, { 0 } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const int channels = c.layout.size();
        const auto declaredInput = noise (channels, 4096, 7);
        juce::AudioBuffer<float> byPosition (channels, 4096);
        for (int ch = 0; ch < channels; ++ch)
            byPosition.copyFrom (ch, 0, declaredInput, c.declaredChannelOf[(size_t) ch], 0, 4096);

        auto declared = vst3On (c.layout);
        HostedProcessor reference (channels, 2);
        reference.processor->requestInputConfiguration (c.configuration);
        reference.prepare();

        EXPECT_TRUE (sameSamples (render (*declared, declaredInput), render (*reference.processor, byPosition)));
    }
}

TEST (DeclaredLayout, AChosenOrRestoredConfigurationWinsAndReadsChannelsByPosition)
{
    const auto input = noise (8, 4096, 3);
    HostedProcessor byPosition (8, 2);
    byPosition.processor->requestInputConfiguration (5);
    byPosition.prepare();
    const auto positional = render (*byPosition.processor, input);

    // Chosen in the options panel while playing: it stays, also through the next prepare.
    {
        auto chosen = vst3On (Set::create7point1());
        chosen->requestInputConfiguration (5);
        chosen->prepareToPlay (48000.0, 512);
        EXPECT_FALSE (chosen->readsDeclaredLayout());
        EXPECT_EQ (chosen->getConfigurationInUse(), 5);
        EXPECT_TRUE (sameSamples (render (*chosen, input), positional));
    }

    // Restored with the project before the first prepare.
    {
        HostedProcessor saver (8, 2);
        saver.processor->requestInputConfiguration (5);
        juce::MemoryBlock saved;
        saver.processor->getStateInformation (saved);

        auto restored = makeProcessor (juce::AudioProcessor::wrapperType_VST3);
        ASSERT_TRUE (restored->setBusesLayout (layoutOf (Set::create7point1(), Set::stereo())));
        restored->setStateInformation (saved.getData(), (int) saved.getSize());
        restored->prepareToPlay (48000.0, 512);
        EXPECT_EQ (restored->getInputConfiguration(), 5);
        EXPECT_TRUE (sameSamples (render (*restored, input), positional));
    }

    // A restored "not chosen" hands the channels back to the declared layout from the next block.
    {
        auto following = vst3On (Set::create7point1());
        const auto declared = render (*following, input);
        EXPECT_FALSE (sameSamples (declared, positional)) << "the side and rear pairs sound from the same places";

        auto reverted = vst3On (Set::create7point1());
        reverted->requestInputConfiguration (5);
        render (*reverted, input);
        juce::MemoryBlock notChosen;
        following->getStateInformation (notChosen);
        reverted->setStateInformation (notChosen.getData(), (int) notChosen.getSize());
        EXPECT_TRUE (reverted->readsDeclaredLayout());

        // Once the positional reading's tails and the fresh instance's fade-in are over,
        // both sound the same.
        auto fresh = vst3On (Set::create7point1());
        const auto later = noise (8, 8192, 99);
        const auto revertedOutput = render (*reverted, later), freshOutput = render (*fresh, later);
        float largest = 0.0f;
        for (int c = 0; c < 2; ++c)
            for (int k = 6144; k < 8192; ++k)
                largest = std::max (largest, std::abs (revertedOutput.getSample (c, k) - freshOutput.getSample (c, k)));
        EXPECT_LT (largest, 1.0e-6f);
        EXPECT_EQ (reverted->getActiveInputCount(), 8);
    }
}

TEST (DeclaredLayout, InCubaseTheDeclaredLayoutDecidesAtEveryPrepareWhateverWasChosen)
{
    auto processor = vst3On (Set::create7point1(), H::SteinbergCubase10);
    processor->requestInputConfiguration (6);
    render (*processor, noise (8, 512, 1));
    EXPECT_EQ (processor->getInputConfiguration(), 6);
    processor->prepareToPlay (48000.0, 512);
    EXPECT_EQ (processor->getInputConfiguration(), VantorAudioProcessor::kNotChosen);
    EXPECT_TRUE (processor->readsDeclaredLayout());
}

TEST (DeclaredLayout, AnLv2BundlesPortsAreReadByTheLoudspeakersTheyAreDesignated)
{
    // Each LV2 bundle's binary has the input layout its ports are designated with, set as the
    // framework's client sets it; 7.1 comes sides first, which no configuration reads.
    for (const int inputs : { 1, 2, 6, 8 })
    {
        SCOPED_TRACE (inputs);
        auto lv2 = makeProcessor (juce::AudioProcessor::wrapperType_LV2);
        lv2->setPlayConfigDetails (inputs, 2, 48000.0, 512);
        ASSERT_EQ (lv2->getTotalNumInputChannels(), inputs);
        lv2->prepareToPlay (48000.0, 512);
        EXPECT_TRUE (lv2->readsDeclaredLayout());
        EXPECT_EQ (lv2->getInputConfiguration(), VantorAudioProcessor::kNotChosen);

        auto vst3 = vst3On (juce::AudioChannelSet::canonicalChannelSet (inputs));
        const auto input = noise (inputs, 4096, 3);
        const auto heard = render (*lv2, input), expected = render (*vst3, input);
        for (int c = 0; c < 2; ++c)
            for (int k = 0; k < input.getNumSamples(); ++k)
                ASSERT_EQ (heard.getSample (c, k), expected.getSample (c, k)) << "ear " << c << " sample " << k;
    }
}

TEST (DeclaredLayout, OtherFormatsKeepChoosingByChannelCount)
{
    // VST 2.4 hosts declare 7.1 too; the projects made with them rely on configuration 5.
    for (const auto wrapper : { juce::AudioProcessor::wrapperType_VST, juce::AudioProcessor::wrapperType_Standalone,
                                juce::AudioProcessor::wrapperType_Undefined })
    {
        auto processor = makeProcessor (wrapper);
        ASSERT_TRUE (processor->setBusesLayout (layoutOf (Set::create7point1(), Set::stereo())));
        processor->prepareToPlay (48000.0, 512);
        EXPECT_FALSE (processor->readsDeclaredLayout()) << (int) wrapper;
        EXPECT_EQ (processor->getInputConfiguration(), 5) << (int) wrapper;
    }
}

TEST (ParameterTexts, Vst3HostsSeeTheEditorsUnitsAndReadTheirTextsBack)
{
    const auto vst3 = makeProcessor (juce::AudioProcessor::wrapperType_VST3);
    const auto& parameters = vst3->getParameters();

    struct Shown { int index; float value; const char* text; };
    for (const auto& c : { Shown { 0, 0.0f, "0\xc2\xb0" }, Shown { 0, 0.25f, "90\xc2\xb0" }, Shown { 0, 1.0f, "360\xc2\xb0" },
                           Shown { 0, 1.5f, "360\xc2\xb0" }, Shown { 1, 0.5f, "50%" }, Shown { 1, 1.0f / 3.0f, "33%" },
                           Shown { 1, -0.2f, "0%" }, Shown { 2, 0.9f, "0dB" }, Shown { 2, 0.84f, "-6dB" },
                           Shown { 2, 1.0f, "10dB" }, Shown { 2, 0.0f, "-90dB" }, Shown { 2, 1.2f, "10dB" },
                           Shown { 2, std::numeric_limits<float>::quiet_NaN(), "-90dB" } })
        EXPECT_EQ (parameters[c.index]->getText (c.value, 100), juce::String::fromUTF8 (c.text)) << c.index << " at " << c.value;

    struct Typed { int index; const char* text; float value; };
    for (const auto& c : { Typed { 0, "90\xc2\xb0", 0.25f }, Typed { 0, "90", 0.25f }, Typed { 0, " 180 \xc2\xb0", 0.5f },
                           Typed { 0, "-30", 0.0f }, Typed { 0, "400", 1.0f }, Typed { 1, "50 %", 0.5f },
                           Typed { 2, "-6dB", 0.84f }, Typed { 2, "-6 dB", 0.84f }, Typed { 2, "+10dB", 1.0f },
                           Typed { 2, "20 dB", 1.0f }, Typed { 2, "-120", 0.0f } })
        EXPECT_NEAR (parameters[c.index]->getValueForText (juce::String::fromUTF8 (c.text)), c.value, 1.0e-6f) << c.index << " from " << c.text;

    // Every step a knob shows reads back as itself.
    for (int index = 0; index < 3; ++index)
    {
        auto* parameter = parameters[index];
        for (int step = 0; step <= 360; ++step)
        {
            const auto text = parameter->getText ((float) step / 360.0f, 100);
            EXPECT_EQ (parameter->getText (parameter->getValueForText (text), 100), text) << index;
        }
        EXPECT_EQ (parameter->getLabel(), "") << "the unit is in the text, so no host shows it twice";
    }

    // Values stay what they are: the texts are only their presentation.
    parameters[2]->setValue (0.84f);
    EXPECT_EQ (vst3->getParameterValue (2), 0.84f);
    const auto vst2 = makeProcessor (juce::AudioProcessor::wrapperType_VST);
    EXPECT_EQ (vst2->getParameters()[2]->getText (0.84f, 100), "0.84");
    EXPECT_EQ (vst2->getParameters()[2]->getValueForText ("0.84"), 0.84f);
}

TEST (ParameterRanges, Lv2HostsHoldValuesInUnitsThatMapOntoTheNormalisedValuesOfEveryFormat)
{
    const auto lv2 = makeProcessor (juce::AudioProcessor::wrapperType_LV2);
    const auto vst2 = makeProcessor (juce::AudioProcessor::wrapperType_VST);
    const auto ranged = [] (VantorAudioProcessor& processor, int index)
    { return dynamic_cast<juce::RangedAudioParameter*> (processor.getParameters()[index]); };

    struct Range { int index; float lowest, highest; VantorParameter::Unit unit; };
    for (const auto& r : { Range { 0, 0.0f, 360.0f, VantorParameter::Unit::degrees }, Range { 1, 0.0f, 100.0f, VantorParameter::Unit::percent },
                           Range { 2, -90.0f, 10.0f, VantorParameter::Unit::decibels } })
    {
        auto* parameter = ranged (*lv2, r.index);
        ASSERT_NE (parameter, nullptr);
        EXPECT_EQ (parameter->getNormalisableRange().start, r.lowest) << r.index;
        EXPECT_EQ (parameter->getNormalisableRange().end, r.highest) << r.index;
        EXPECT_EQ (dynamic_cast<VantorParameter*> (parameter)->getUnit(), r.unit) << r.index;
        // Elsewhere the host's value is the normalised value itself.
        EXPECT_EQ (ranged (*vst2, r.index)->getNormalisableRange().start, 0.0f);
        EXPECT_EQ (ranged (*vst2, r.index)->getNormalisableRange().end, 1.0f);
    }

    // What an LV2 host sends, in units, is stored as exactly the value a VST 2.4 host sets,
    // and what the plug-in reports back is the value in units again.
    struct Mapped { int index; float inUnits, normalised; };
    for (const auto& m : { Mapped { 0, 0.0f, 0.0f }, Mapped { 0, 90.0f, 0.25f }, Mapped { 0, 45.0f, 0.125f }, Mapped { 0, 360.0f, 1.0f },
                           Mapped { 1, 50.0f, 0.5f }, Mapped { 1, 100.0f, 1.0f }, Mapped { 1, 0.0f, 0.0f },
                           Mapped { 2, 0.0f, 0.9f }, Mapped { 2, -6.0f, 0.84f }, Mapped { 2, -90.0f, 0.0f }, Mapped { 2, 10.0f, 1.0f },
                           Mapped { 2, -40.0f, 0.5f } })
    {
        SCOPED_TRACE (std::to_string (m.index) + " at " + std::to_string (m.inUnits));
        auto* parameter = ranged (*lv2, m.index);
        EXPECT_EQ (parameter->convertTo0to1 (m.inUnits), m.normalised);
        EXPECT_EQ (parameter->convertFrom0to1 (m.normalised), m.inUnits);
        parameter->setValueNotifyingHost (parameter->convertTo0to1 (m.inUnits));
        EXPECT_EQ (lv2->getParameterValue (m.index), m.normalised);
    }
    // Hosts keep within the declared range; beyond it the value is the range's end.
    EXPECT_EQ (ranged (*lv2, 0)->convertTo0to1 (400.0f), 1.0f);
    EXPECT_EQ (ranged (*lv2, 2)->convertTo0to1 (-120.0f), 0.0f);
}
