#include "EarCues.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace hosttest
{
namespace
{
using Set = juce::AudioChannelSet;

int onsetIn (const float* samples, int length, float threshold)
{
    for (int k = 0; k < length; ++k)
        if (std::abs (samples[k]) > threshold)
            return k;
    return -1;
}

/** The delay of the right ear behind the left at which the two ears' low frequencies (below
    about 1.5 kHz, where the time difference is heard) match best. Low frequencies, because
    a rear source is panned between the rear pair and the far ear's direct sound is mostly
    low: broadband, the other rear loudspeaker's small, sharp share would win the match. */
int rightEarDelay (const float* left, const float* right, int length, double sampleRate)
{
    const auto lowPassed = [length, sampleRate] (const float* ear)
    {
        const double keep = std::exp (-2.0 * juce::MathConstants<double>::pi * 1500.0 / sampleRate);
        std::vector<double> out ((size_t) length);
        double first = 0.0, second = 0.0;
        for (int k = 0; k < length; ++k)
        {
            first = keep * first + (1.0 - keep) * ear[k];
            second = keep * second + (1.0 - keep) * first;
            out[(size_t) k] = second;
        }
        return out;
    };
    const auto l = lowPassed (left), r = lowPassed (right);

    constexpr int widest = 48; // beyond any head's time difference at 48 kHz
    int best = 0;
    double bestMatch = -1.0e30;
    for (int lag = -widest; lag <= widest; ++lag)
    {
        double match = 0.0;
        for (int k = widest; k < length - widest; ++k)
            match += l[(size_t) k] * r[(size_t) (k + lag)];
        if (match > bestMatch)
        {
            bestMatch = match;
            best = lag;
        }
    }
    return best;
}
} // namespace

EarCues cuesOf (const juce::AudioBuffer<float>& output, int impulseAt, double sampleRate)
{
    const int length = output.getNumSamples() - impulseAt;
    const float* ears[] = { output.getReadPointer (0) + impulseAt, output.getReadPointer (1) + impulseAt };
    const float peak = std::max (output.getMagnitude (0, impulseAt, length), output.getMagnitude (1, impulseAt, length));

    EarCues cues;
    constexpr int window = 512;
    if (length < kConvolverDelay - 64 + window)
    {
        ADD_FAILURE() << "too little output after the impulse to measure it";
        return cues;
    }
    // The direct sound and the responses' first few milliseconds.
    cues.lead = -rightEarDelay (ears[0] + kConvolverDelay - 64, ears[1] + kConvolverDelay - 64, window, sampleRate);
    const double energyLeft = output.getRMSLevel (0, impulseAt, length), energyRight = output.getRMSLevel (1, impulseAt, length);
    cues.levelDb = 20.0 * std::log10 (energyRight / energyLeft);
    cues.nearOnset = onsetIn (cues.levelDb >= 0.0 ? ears[1] : ears[0], length, 0.1f * peak);
    cues.silentBeforeDelay = std::max (output.getMagnitude (0, 0, impulseAt + kConvolverDelay),
                                       output.getMagnitude (1, 0, impulseAt + kConvolverDelay)) < 1.0e-4f * peak;
    return cues;
}

float directionOf (Set::ChannelType type)
{
    const std::pair<Set::ChannelType, float> directions[] = {
        { Set::left, 330.0f },             { Set::right, 30.0f },              { Set::centre, 0.0f },
        { Set::LFE, 180.0f },              { Set::leftCentre, 345.0f },        { Set::rightCentre, 15.0f },
        { Set::leftSurroundSide, 270.0f }, { Set::rightSurroundSide, 90.0f },
        { Set::leftSurround, 240.0f },     { Set::rightSurround, 120.0f },
        { Set::leftSurroundRear, 240.0f }, { Set::rightSurroundRear, 120.0f },
    };
    for (const auto& [t, degrees] : directions)
        if (t == type)
            return degrees;
    ADD_FAILURE() << "no direction for " << Set::getChannelTypeName (type);
    return 0.0f;
}

void expectHeardFrom (const EarCues& cues, float degrees)
{
    // Nothing audible before the convolver's delay; the direct sound follows the responses'
    // own lead-in, close to the reported latency.
    EXPECT_TRUE (cues.silentBeforeDelay);
    EXPECT_GE (cues.nearOnset, kConvolverDelay);
    EXPECT_LE (cues.nearOnset, kReportedLatency + 8);

    const float lateral = std::sin (degrees * juce::MathConstants<float>::pi / 180.0f); // > 0: the right
    if (std::abs (lateral) < 0.1f)
    {
        EXPECT_NEAR (cues.levelDb, 0.0, 1.0) << "a source ahead or behind reaches both ears alike";
        EXPECT_LE (std::abs (cues.lead), 1);
    }
    else
    {
        const double side = lateral > 0.0f ? 1.0 : -1.0;
        EXPECT_GT (cues.levelDb * side, 1.0) << "the near ear is the louder: " << cues.levelDb << " dB";
        EXPECT_GT (cues.lead * side, 0.0) << "the near ear hears it first: " << cues.lead << " samples";
    }
}

float largestDifference (const float* a, const float* b, int from, int to)
{
    float largest = 0.0f;
    for (int k = from; k < to; ++k)
        largest = std::max (largest, std::abs (a[k] - b[k]));
    return largest;
}
} // namespace hosttest
