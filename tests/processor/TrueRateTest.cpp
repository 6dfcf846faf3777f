// The rate option heard through the processor: what a listener notices at other sample
// rates (the side loudspeaker's interaural delay and its near ear's resonance), what stays
// as it was with the option off, switching while playing, and the saved state.
#include "ProcessorFixture.h"

#include "CueMeasures.h"
#include "HrirPipeline.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace
{
constexpr int kSevenOne = 5;        // L R C LFE Lsr Rsr Lss Rss
constexpr int kRightSideInput = 7;  // Rss, the loudspeaker at 90 degrees
constexpr int kSettle = 8192;       // the panning gains glide in first
// The near ear's resonance is looked for here at 44.1 kHz, and then within a third of an
// octave of where it was found.
constexpr double kResonanceLowHz = 1500.0, kResonanceHighHz = 5500.0;
const double kThirdOctave = std::pow (2.0, 1.0 / 3.0);
constexpr double kRates[] = { 44100.0, 48000.0, 88200.0, 96000.0, 176400.0, 192000.0 };

/** A 7.1 processor prepared at a rate, with the option as given, after its glides. */
std::unique_ptr<VantorAudioProcessor> preparedProcessor (double rate, bool trueRate, int blockSize = 512)
{
    auto processor = std::make_unique<VantorAudioProcessor> (juce::PluginHostType::UnknownHost);
    processor->setPlayConfigDetails (8, 2, rate, blockSize);
    processor->requestInputConfiguration (kSevenOne);
    processor->setTrueRate (trueRate);
    processor->prepareToPlay (rate, blockSize);
    juce::AudioBuffer<float> silence (8, kSettle);
    silence.clear();
    juce::MidiBuffer midi;
    processor->processBlock (silence, midi);
    return processor;
}

struct Ears
{
    std::vector<double> left, right;
};

/** An impulse into the right side loudspeaker; the two ears from the convolver's delay on. */
Ears sideImpulse (double rate, bool trueRate)
{
    auto processor = preparedProcessor (rate, trueRate);
    juce::AudioBuffer<float> buffer (8, 8192);
    buffer.clear();
    buffer.setSample (kRightSideInput, 0, 1.0f);
    juce::MidiBuffer midi;
    processor->processBlock (buffer, midi);

    Ears ears;
    for (int k = vendrasolith::BinauralRenderer::kLatency; k < buffer.getNumSamples(); ++k)
    {
        ears.left.push_back (buffer.getSample (0, k));
        ears.right.push_back (buffer.getSample (1, k));
    }
    return ears;
}

struct SideCues
{
    double itdMicroseconds, resonanceHz;
};

SideCues cuesOf (const Ears& ears, double rate, double resonanceLowHz, double resonanceHighHz)
{
    using namespace vendrasolith::hrtf;
    return { 1e6 * std::fabs (interauralDelaySeconds (ears.left, ears.right, rate)),
             peakFrequencyHz (ears.right, rate, resonanceLowHz, resonanceHighHz) };
}

double relativeError (double value, double reference) { return std::fabs (value - reference) / reference; }

TEST (TrueRate, SideLoudspeakerKeepsItsDelayAndResonanceAtEveryRate)
{
    const SideCues reference = cuesOf (sideImpulse (44100.0, false), 44100.0, kResonanceLowHz, kResonanceHighHz);
    ASSERT_GT (reference.itdMicroseconds, 600.0) << "a loudspeaker at the side is heard far earlier by the near ear";
    ASSERT_GT (reference.resonanceHz, 2000.0);
    ASSERT_LT (reference.resonanceHz, 3000.0);
    const auto cuesAt = [&] (double rate, bool on, double resonanceNearHz)
    { return cuesOf (sideImpulse (rate, on), rate, resonanceNearHz / kThirdOctave, resonanceNearHz * kThirdOctave); };

    for (const double rate : kRates)
    {
        SCOPED_TRACE (std::to_string ((int) rate) + " Hz");
        const SideCues on = cuesAt (rate, true, reference.resonanceHz);
        EXPECT_LT (relativeError (on.itdMicroseconds, reference.itdMicroseconds), 0.05) << on.itdMicroseconds << " us";
        EXPECT_LT (relativeError (on.resonanceHz, reference.resonanceHz), 0.05) << on.resonanceHz << " Hz";
    }

    // Without the option the table plays faster at higher rates: delays shorter, and the
    // resonance higher by the ratio of the rates.
    for (const double rate : { 48000.0, 96000.0 })
    {
        SCOPED_TRACE (std::to_string ((int) rate) + " Hz");
        const double faster = rate / 44100.0;
        const SideCues off = cuesAt (rate, false, reference.resonanceHz * faster);
        EXPECT_LT (off.itdMicroseconds, 0.95 * reference.itdMicroseconds);
        EXPECT_LT (relativeError (off.resonanceHz, reference.resonanceHz * faster), 0.05) << off.resonanceHz << " Hz";
    }
}

// The reported latency points at the earliest direct sound of any loudspeaker.
TEST (TrueRate, LatencyStaysWhateverTheRateAndTheOption)
{
    for (const double rate : kRates)
        for (const bool on : { false, true })
        {
            auto processor = preparedProcessor (rate, on);
            EXPECT_EQ (processor->getLatencySamples(), VantorAudioProcessor::kLatencySamples) << rate << " Hz, option " << on;

            int earliest = std::numeric_limits<int>::max();
            for (int input = 0; input < 8; ++input)
            {
                juce::AudioBuffer<float> buffer (8, 4096);
                buffer.clear();
                buffer.setSample (input, 0, 1.0f);
                juce::MidiBuffer midi;
                processor->processBlock (buffer, midi);
                for (int ear = 0; ear < 2; ++ear)
                {
                    const auto* x = buffer.getReadPointer (ear);
                    earliest = std::min (earliest, (int) (std::max_element (x, x + 4096, [] (float a, float b) { return std::fabs (a) < std::fabs (b); }) - x));
                }
            }
            EXPECT_EQ (earliest + 1, VantorAudioProcessor::kLatencySamples) << rate << " Hz, option " << on;
        }
}

/** Noise on every channel of a 7.1 input, with the image turned and narrowed on the way. */
juce::AudioBuffer<float> renderScene (VantorAudioProcessor& processor, int length, unsigned seed = 3)
{
    juce::AudioBuffer<float> buffer (8, length);
    juce::Random random ((juce::int64) seed);
    for (int c = 0; c < 8; ++c)
        for (int k = 0; k < length; ++k)
            buffer.setSample (c, k, 0.1f * (random.nextFloat() - 0.5f));
    juce::MidiBuffer midi;
    for (int offset = 0; offset < length; offset += 700)
    {
        processor.setParameter (0, (float) offset / (float) length);
        juce::AudioBuffer<float> all (buffer.getArrayOfWritePointers(), 8, offset, std::min (700, length - offset));
        processor.processBlock (all, midi);
    }
    return buffer;
}

bool sameBits (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b, int from, int to)
{
    for (int c = 0; c < 2; ++c)
        if (std::memcmp (a.getReadPointer (c, from), b.getReadPointer (c, from), sizeof (float) * (size_t) (to - from)) != 0)
            return false;
    return true;
}

TEST (TrueRate, OffRendersBitForBitAsTheTableAlwaysHasAtEveryRate)
{
    constexpr int kLength = 30000;
    auto fresh = preparedProcessor (44100.0, false);
    const auto reference = renderScene (*fresh, kLength);

    for (const double rate : kRates)
    {
        SCOPED_TRACE (std::to_string ((int) rate) + " Hz");
        auto off = preparedProcessor (rate, false);
        EXPECT_TRUE (sameBits (renderScene (*off, kLength), reference, 0, kLength));

        // Switched on and off again before playing: the table it returns to is the same one.
        auto toggled = preparedProcessor (rate, false);
        toggled->setTrueRate (true);
        toggled->setTrueRate (false);
        EXPECT_TRUE (sameBits (renderScene (*toggled, kLength), reference, 0, kLength));
        EXPECT_EQ (toggled->getResponsesSampleRate(), 44100.0);
    }
}

/** A low tone on the side loudspeaker, rendered in blocks, with the option switched at the
    given block starts. */
juce::AudioBuffer<float> sideTone (double rate, bool startOn, const std::vector<int>& switchesAt, int length)
{
    auto processor = preparedProcessor (rate, startOn);
    juce::AudioBuffer<float> buffer (8, length);
    buffer.clear();
    for (int k = 0; k < length; ++k)
        buffer.setSample (kRightSideInput, k, 0.5f * (float) std::sin (2.0 * juce::MathConstants<double>::pi * 300.0 * k / rate));

    juce::MidiBuffer midi;
    bool on = startOn;
    size_t next = 0;
    for (int offset = 0; offset < length; offset += 480)
    {
        if (next < switchesAt.size() && offset >= switchesAt[next])
        {
            on = ! on;
            processor->setTrueRate (on);
            ++next;
        }
        juce::AudioBuffer<float> block (buffer.getArrayOfWritePointers(), 8, offset, std::min (480, length - offset));
        processor->processBlock (block, midi);
    }
    return buffer;
}

/** Largest second difference (what a click is made of) of the two ears between two samples. */
double largestSecondDifference (const juce::AudioBuffer<float>& b, int from, int to)
{
    double largest = 0.0;
    for (int c = 0; c < 2; ++c)
        for (int k = std::max (from, 2); k < to; ++k)
            largest = std::max (largest, std::fabs ((double) b.getSample (c, k) - 2.0 * b.getSample (c, k - 1) + b.getSample (c, k - 2)));
    return largest;
}

TEST (TrueRate, SwitchingWhilePlayingFadesWithoutAClickAndThenPlaysExactlyTheOtherTable)
{
    // At 96 kHz the two tables' far-ear delays differ by half a millisecond: switched at
    // once, the tone's far ear would jump.
    constexpr double rate = 96000.0;
    constexpr int length = 96000, switchOn = 24000, switchOff = 60000;
    const auto switched = sideTone (rate, false, { switchOn, switchOff }, length);
    const auto off = sideTone (rate, false, {}, length);
    const auto on = sideTone (rate, true, {}, length);
    ASSERT_TRUE (allFinite (switched));

    // The steady tone's own second differences, through either table, set the bar.
    const double steady = std::max (largestSecondDifference (off, 10000, length), largestSecondDifference (on, 10000, length));
    for (const int at : { switchOn, switchOff })
        EXPECT_LT (largestSecondDifference (switched, at - 2000, at + 8000), 1.25 * steady) << "switch at " << at;

    // Once the crossfade and the old tails are over, nothing of the other table is left.
    constexpr int settled = 8192;
    EXPECT_TRUE (sameBits (switched, off, 0, switchOn));
    EXPECT_TRUE (sameBits (switched, on, switchOn + settled, switchOff));
    EXPECT_TRUE (sameBits (switched, off, switchOff + settled, length));
}

//==============================================================================
void restoreText (VantorAudioProcessor& p, const juce::String& text)
{
    const auto block = blockWith (text);
    p.setStateInformation (block.getData(), (int) block.getSize());
}

const juce::String kTodaysDocument = "<Root><Angle>0</Angle><Width>1</Width><Gain>0.9</Gain><idxInputConfig>1</idxInputConfig>"
                                     "<idxBassBoost>0</idxBassBoost><idxGUI>0</idxGUI></Root>";

TEST (TrueRateState, WrittenOnlyWhileOnSoTodaysStatesStayByteIdentical)
{
    HostedProcessor host (2, 2);
    host.prepare();
    EXPECT_EQ (stateText (*host.processor), kTodaysDocument);

    host.processor->setTrueRate (true);
    EXPECT_EQ (stateText (*host.processor), kTodaysDocument.replace ("</Root>", "<trueRate>1</trueRate></Root>"));

    host.processor->setTrueRate (false);
    EXPECT_EQ (stateText (*host.processor), kTodaysDocument);
}

TEST (TrueRateState, RoundTripAndWhatARestoreReads)
{
    HostedProcessor source;
    source.processor->setTrueRate (true);
    juce::MemoryBlock saved;
    source.processor->getStateInformation (saved);
    HostedProcessor target;
    target.processor->setStateInformation (saved.getData(), (int) saved.getSize());
    EXPECT_TRUE (target.processor->isTrueRate());

    // The element stands for on; a state without it was saved with the option off, so
    // restoring it switches the option off (as a host's undo or preset change expects).
    struct Case
    {
        const char* elements;
        bool on;
    };
    for (const auto& c : { Case { "<trueRate>1</trueRate>", true }, Case { "<TRUERATE>1</TRUERATE>", true },
                           Case { "<truerate>2.9</truerate>", true }, Case { "<trueRate>0</trueRate>", false },
                           Case { "<trueRate>yes</trueRate>", false }, Case { "<trueRate/>", false },
                           Case { "", false }, Case { "<trueRate>1</trueRate><trueRate>0</trueRate>", false } })
    {
        for (const bool before : { false, true })
        {
            HostedProcessor host;
            host.processor->setTrueRate (before);
            restoreText (*host.processor, juce::String ("<Root><Gain>0.5</Gain>") + c.elements + "</Root>");
            EXPECT_EQ (host.processor->isTrueRate(), c.on) << c.elements << ", on before: " << before;
        }
    }

    // A block that is no state changes nothing.
    HostedProcessor host;
    host.processor->setTrueRate (true);
    const char garbage[] = "VC2?not a state at all";
    host.processor->setStateInformation (garbage, (int) sizeof (garbage));
    EXPECT_TRUE (host.processor->isTrueRate());
}
} // namespace
