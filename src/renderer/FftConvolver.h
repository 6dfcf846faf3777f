#pragma once

#include "HrirSet.h"
#include "RealFft.h"
#include "RenderLimits.h"

#include <cstddef>
#include <array>

namespace vendrasolith
{
/** Convolves the eight loudspeaker feeds with their left- and right-ear responses
    and sums them into two outputs, by uniformly partitioned FFT convolution: hops of
    768 new samples, zero-padded to 1024 points. Any call size from 1 to 8192 samples
    is accepted; the output is the exact linear convolution delayed by 768 samples.
    The transforms run on the backend chosen at construction. */
class FftConvolver
{
public:
    static constexpr int kFftSize = RealFft::kSize;
    static constexpr int kNumBins = RealFft::kNumBins;
    static constexpr int kHop = 768;
    static constexpr int kDelay = kHop;
    static constexpr int kRingLength = kMaxBlockSize + kFftSize;

    explicit FftConvolver (const HrirSet& responses, FftBackend backend = defaultFftBackend());

    /** Replaces the 16 filter spectra with those of another table. Not for the audio
        thread's time budget and not concurrent with process(): call it between blocks
        from the thread that processes, or before processing starts. Tails of the old
        responses already in the output rings play out. */
    void setResponses (const HrirSet& responses) noexcept;

    FftConvolver (const FftConvolver&) = delete;
    FftConvolver& operator= (const FftConvolver&) = delete;

    /** Reads feedCount (at most 8) input arrays and overwrites the two outputs with
        numSamples (at most 8192) samples. A null feed is a silent one. Every input
        sample is read before any output is written, so the outputs may alias feeds 0
        and 1. */
    void process (const float* const* feeds, float* const* outputs, int feedCount, int numSamples) noexcept;

    FftBackend backend() const noexcept { return transforms.backend(); }

    /** Forward transforms performed so far; a feed whose whole hop is silent needs none. */
    long long forwardTransformCount() const noexcept { return forwardTransforms; }

private:
    using Frame = AlignedArray<float, kFftSize>;
    using Spectrum = AlignedArray<Complex, kNumBins>;

    void collect (int feed, const float* source, int count) noexcept;
    void runHop (int feedCount) noexcept;
    void accumulateProducts (int feed, bool overwrite) noexcept;
    void writeHopToRings() noexcept;

    std::array<Frame, kNumFeeds> inputFrames {};
    std::array<Frame, kNumEars> outputFrames {};
    std::array<std::array<float, kRingLength>, kNumEars> rings {};
    Spectrum inputSpectrum {};
    std::array<Spectrum, kNumEars> outputSpectra {};
    RealFft transforms;
    int inputFill = 0;
    int readPosition = 0;
    int writePosition = kHop;
    std::array<Spectrum, kNumEars * kNumFeeds> filterSpectra {};
    // Per feed: a non-zero sample has arrived in the current hop; and the frame beyond
    // the input fill may still hold a previous hop's samples, which a silent stretch
    // must overwrite.
    std::array<bool, kNumFeeds> feedCarriesSignal {};
    std::array<bool, kNumFeeds> frameHoldsOldSamples {};
    long long forwardTransforms = 0;
};
} // namespace vendrasolith
