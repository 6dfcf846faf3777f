#pragma once

// What a listener notices of an impulse rendered binaurally: which ear hears it first and
// louder, and when. Shared by the host tests of every format.

#include <juce_audio_basics/juce_audio_basics.h>

namespace hosttest
{
constexpr int kConvolverDelay = 768;
constexpr int kReportedLatency = 792;

struct EarCues
{
    int nearOnset = -1;   // samples from the impulse to the first sound at the louder ear
    int lead = 0;         // how much earlier the right ear hears it than the left (ITD, samples)
    double levelDb = 0.0; // right ear over left ear (ILD, broadband energy)
    bool silentBeforeDelay = false;
};

/** The cues of the binaural pair in channels 0 and 1 for an impulse at `impulseAt`. */
EarCues cuesOf (const juce::AudioBuffer<float>& output, int impulseAt, double sampleRate);

/** The loudspeaker direction (degrees, clockwise from ahead) a channel type must be heard from. */
float directionOf (juce::AudioChannelSet::ChannelType type);

/** Checks the cues of a source at a direction: nothing before the convolver's delay, the
    direct sound close to the reported latency, and the near ear louder and first (both
    alike for a source ahead or behind). */
void expectHeardFrom (const EarCues& cues, float degrees);

float largestDifference (const float* a, const float* b, int from, int to);
} // namespace hosttest
