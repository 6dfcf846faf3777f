#pragma once

#include "MeasuredSet.h"
#include "Resampler.h"

#include <array>
#include <stdexcept>
#include <string>
#include <vector>

namespace vendrasolith::hrtf
{
/** A measured set that cannot be made into a table; the message is one line. */
struct HrtfError : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

/** The earliest main peak (largest magnitude) of a table lands on this tap; the
    plug-in's reported latency (768 + 24) assumes it. */
constexpr int kPeakTap = 23;
/** Raised-cosine fade over the last taps of every response. */
constexpr int kFadeTaps = 24;

struct PipelineSettings
{
    double sampleRate = 44100.0; // of the table made
    int taps = 256;
    /** Remove the diffuse-field response (on for the shipped table); off gives the table
        as measured, for comparison. */
    bool diffuseFieldEqualisation = true;
    /** Where the earliest peak lands. In taps, so at higher rates the table keeps less
        time before it, and less of the bass band's lead-in: low-frequency time differences
        come out a little long (3 % at 96 kHz, 6 % at 192 kHz on a spherical head). Keeping
        the time instead (23 taps at 44.1 kHz, scaled with the rate) keeps them, at the
        price of a latency that grows with the rate. */
    int peakTap = kPeakTap;
};

/** What the pipeline found for one response. */
struct ResponseNotes
{
    double lowBandGain = 0.0;   // flat low band, on the measurement's scale
    double lowBandDelay = 0.0;  // its delay, in taps of the measurement
    int onset = 0;              // first tap at 10 % of the peak, in taps of the measurement
    double energyOutside = 0.0; // share of the response's energy outside the kept taps
};

/** 16 responses of `taps` taps at `sampleRate`, ear-major, ready for the renderer. */
struct ResponseTable
{
    double sampleRate = 0.0;
    int taps = 0;
    std::vector<float> values;
    int shift = 0; // taps between time zero of the processed responses and tap 0
    std::array<double, kNumEars> gains {};
    std::array<ResponseNotes, kNumResponses> notes {};

    const float* response (int m) const noexcept { return values.data() + (size_t) m * (size_t) taps; }
    /** The largest energyOutside among the responses a listener hears (LFE excluded). */
    double worstEnergyOutside() const noexcept;
};

/** The whole pipeline: bass repair and, if asked, diffuse-field equalisation at the
    measurement's rate; then band-limited resampling to the table's rate, one common
    shift that puts the earliest peak on kPeakTap, the kept taps with their fade, and one
    gain per ear that gives each ear's centre response unit energy. Deterministic: the
    same set and settings always give the same bits. Throws HrtfError. */
ResponseTable makeResponseTable (const MeasuredSet& set, const PipelineSettings& settings);

/** The last stage on its own: shift (earliest peak to `peakTap`), cut with fade,
    normalise, check. The responses are at `sampleRate`; the earliest peak is looked for
    within `peakSearch` samples of time zero. Throws HrtfError. */
ResponseTable finishTable (const std::array<TimedResponse, kNumResponses>& responses, double sampleRate,
                           int taps, int peakSearch, int peakTap = kPeakTap);

/** A finished table (16 responses of `taps` taps, ear-major, at `fromRate`, such as the
    embedded one) at another rate and length: band-limited resampling, then finishTable
    (earliest peak to settings.peakTap, fade, unit-energy centre). The settings' rate and
    taps say what to make; its equalisation switch is not used (the table has had its
    processing). At the same rate and length the table comes back as it is. */
ResponseTable resampleTable (const float* values, int taps, double fromRate, const PipelineSettings& settings);

/** Taps a table of `taps` taps at `fromRate` needs at `toRate` to keep all of its time after
    the earliest peak, which stays on `peakTap` (so the latency in samples stays the same):
    256 taps at 44.1 kHz become 277 at 48 kHz, 531 at 96 kHz and 1038 at 192 kHz. */
int tapsAtRate (int taps, double fromRate, double toRate, int peakTap = kPeakTap) noexcept;

/** A finished table (such as the embedded one) for a session at another rate: resampleTable
    with tapsAtRate taps, at most as many as the convolver takes (longer responses lose the
    end of their tail, with the fade). At its own rate the table comes back as it is.
    Throws HrtfError (a rate too low to hold a table). */
ResponseTable tableForRate (const float* values, int taps, double fromRate, double toRate);

/** Diffuse-field response of a set (power average over every measurement, both ears),
    as a magnitude in dB at `hz`, regularised at the band edges as the equaliser uses it
    and relative to its level in the low reference band. For reports and tests. */
std::vector<double> diffuseFieldDb (const MeasuredSet& set, const std::vector<double>& hz);
} // namespace vendrasolith::hrtf
