#pragma once

#include <vector>

namespace vendrasolith::hrtf
{
/** Measurements of what a listener hears in a pair of ear signals or responses: the
    interaural time and level differences and the spectrum in third-octave bands. Used
    to check and report tables; nothing here is on the audio path. */

/** Nominal third-octave centres (1 kHz · 10^(n/10)) from lowHz to highHz, inclusive. */
std::vector<double> thirdOctaveCentres (double lowHz, double highHz);

/** Level of a signal in each third-octave band (edges at centre · 2^(±1/6)), in dB: the
    mean power per frequency in the band, so a flat spectrum reads alike in every band.
    From one transform of the whole signal (zero-padded to a power of two). */
std::vector<double> bandLevelsDb (const std::vector<double>& signal, double sampleRate,
                                  const std::vector<double>& centres);

/** Gain of a system in each band, in dB: output band power over input band power. With
    white noise in, this is what a third-octave analyser shows. */
std::vector<double> bandGainsDb (const std::vector<double>& input, const std::vector<double>& output,
                                 double sampleRate, const std::vector<double>& centres);

/** Interaural time difference in seconds: the delay of the right ear behind the left,
    from the peak of their phase-only cross-correlation below 1.5 kHz (the ear judges time
    by the interaural phase of each band, whatever the band's level), to a hundredth of a
    sample. Positive when the sound reaches the left ear first. A filter common to both
    ears leaves it where it is. */
double interauralDelaySeconds (const std::vector<double>& left, const std::vector<double>& right, double sampleRate);

/** Interaural level difference in dB (left over right): the level of the interaural
    transfer function, averaged from 200 Hz to 16 kHz (or 0.45 of the rate) with every
    octave counting alike. A filter common to both ears leaves it where it is, unlike the
    broadband energy ratio, which it tilts. */
double interauralLevelDb (const std::vector<double>& left, const std::vector<double>& right, double sampleRate);

/** Frequency of the largest magnitude of a response between lowHz and highHz (a
    resonance), to about a hertz: from a finely zero-padded transform, refined by a
    parabola through the largest bin and its neighbours in dB. */
double peakFrequencyHz (const std::vector<double>& response, double sampleRate, double lowHz, double highHz);

/** First sample whose magnitude reaches `fraction` of the response's peak. */
int onsetSample (const std::vector<double>& response, double fraction = 0.1);
} // namespace vendrasolith::hrtf
