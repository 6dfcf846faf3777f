#pragma once

#include "HrirSet.h"
#include "RenderLimits.h"

#include <cstddef>
#include <kissfft/kiss_fftr.h>

#include <array>

namespace vendrasolith
{
/** Convolves the eight loudspeaker feeds with their left- and right-ear responses
    and sums them into two outputs, by uniformly partitioned FFT convolution: hops of
    768 new samples, zero-padded to 1024 points. Any call size from 1 to 8192 samples
    is accepted; the output is the exact linear convolution delayed by 768 samples. */
class FftConvolver
{
public:
    static constexpr int kFftSize = 1024;
    static constexpr int kNumBins = kFftSize / 2 + 1;
    static constexpr int kHop = 768;
    static constexpr int kDelay = kHop;
    static constexpr int kRingLength = kMaxBlockSize + kFftSize;

    explicit FftConvolver (const HrirSet& responses);
    ~FftConvolver();

    /** Replaces the 16 filter spectra with those of another table. Not for the audio
        thread's time budget and not concurrent with process(): call it between blocks
        from the thread that processes, or before processing starts. Tails of the old
        responses already in the output rings play out. */
    void setResponses (const HrirSet& responses) noexcept;

    FftConvolver (const FftConvolver&) = delete;
    FftConvolver& operator= (const FftConvolver&) = delete;

    /** Reads feedCount (at most 8) input arrays and overwrites the two outputs with
        numSamples (at most 8192) samples. Every input sample is read before any output
        is written, so the outputs may alias feeds 0 and 1. */
    void process (const float* const* feeds, float* const* outputs, int feedCount, int numSamples) noexcept;

    /** Forward transforms performed so far; a feed whose whole hop is silent needs none. */
    long long forwardTransformCount() const noexcept { return forwardTransforms; }

private:
    using Frame = std::array<float, kFftSize>;
    using Spectrum = std::array<kiss_fft_cpx, kNumBins>;

    void runHop (int feedCount) noexcept;
    void accumulateProducts (int feed, bool overwrite) noexcept;
    void writeHopToRings() noexcept;

    std::array<Frame, kNumFeeds> inputFrames {};
    std::array<Frame, kNumEars> outputFrames {};
    std::array<std::array<float, kRingLength>, kNumEars> rings {};
    Spectrum inputSpectrum {};
    std::array<Spectrum, kNumEars> outputSpectra {};
    kiss_fftr_cfg forwardPlan = nullptr;
    kiss_fftr_cfg inversePlan = nullptr;
    int inputFill = 0;
    int readPosition = 0;
    int writePosition = kHop;
    std::array<Spectrum, kNumEars * kNumFeeds> filterSpectra {};
    std::array<bool, kNumFeeds> feedCarriesSignal {};
    long long forwardTransforms = 0;
};
} // namespace vendrasolith
