#pragma once

#include "ConvolutionFilters.h"
#include "HrirSet.h"
#include "RealFft.h"
#include "RenderLimits.h"

#include <cstddef>
#include <array>
#include <atomic>
#include <memory>

namespace vendrasolith
{
/** Convolves the eight loudspeaker feeds with their left- and right-ear responses
    and sums them into two outputs, by uniformly partitioned FFT convolution: hops of
    768 new samples, zero-padded to the transform size of the filters in use (1024 points
    for the embedded 256-tap table; 2048 or 4096 for the longer responses of tables made
    for higher sample rates, so the hop and with it the delay stay the same). Any call size
    from 1 to 8192 samples is accepted; the output is the exact linear convolution delayed
    by 768 samples. The transforms run on the backend chosen at construction.

    Filters made on another thread are handed over with queueFilters and taken up at the
    start of a call, without allocating, freeing or locking there. */
class FftConvolver
{
public:
    static constexpr int kFftSize = RealFft::kSize; // for the embedded table
    static constexpr int kNumBins = RealFft::kNumBins;
    static constexpr int kHop = kConvolutionHop;
    static constexpr int kDelay = kHop;
    static constexpr int kLargestFftSize = RealFft::kLargestSize;
    static constexpr int kLargestNumBins = kLargestFftSize / 2 + 1;
    /** Holds the longest call plus the longest frame, in whole hops. */
    static constexpr int kRingLength = (kMaxBlockSize + kLargestFftSize + kHop - 1) / kHop * kHop;
    /** Hops over which queued filters take over while sound is playing. */
    static constexpr int kCrossfadeHops = 2;

    explicit FftConvolver (const HrirSet& responses, FftBackend backend = defaultFftBackend());
    ~FftConvolver();

    FftConvolver (const FftConvolver&) = delete;
    FftConvolver& operator= (const FftConvolver&) = delete;

    /** Replaces the filters at once with those of another table (16 responses of `taps`
        taps, ear-major); filters queued and not yet taken up are dropped. Responses that
        fit the current transform size are transformed in place; others need new filters,
        which allocates. Not for the audio thread's time budget and not concurrent with
        process(): call it before processing starts or between blocks from the thread that
        processes. Tails of the old responses already in the output rings play out. */
    void setResponses (const float* values, int taps);
    void setResponses (const HrirSet& responses) { setResponses (responses.values(), HrirSet::kTaps); }

    /** Hands over filters made on another thread (one thread at a time; never the audio
        thread, as this frees sets the audio thread is done with). The next process() takes
        them up at its start: while sound is playing, every input sample from the hop being
        collected on is split between the old and the new filters with complementary
        raised-cosine weights over kCrossfadeHops hops, and the old filters' tails play out,
        so the change makes no click; in silence they take over at once. Filters queued
        while a crossfade runs wait for it to end; a set queued before the previous one was
        taken up replaces it. */
    void queueFilters (std::unique_ptr<ConvolutionFilters> filters) noexcept;

    /** Frees the sets the audio thread has finished with (queueFilters does it too). Same
        threads as queueFilters. */
    void releaseRetiredFilters() noexcept;

    /** Reads feedCount (at most 8) input arrays and overwrites the two outputs with
        numSamples (at most 8192) samples. A null feed is a silent one. Every input
        sample is read before any output is written, so the outputs may alias feeds 0
        and 1. */
    void process (const float* const* feeds, float* const* outputs, int feedCount, int numSamples) noexcept;

    FftBackend backend() const noexcept { return active->backend(); }

    /** Transform size and response length of the filters in use (audio thread, or when
        nothing processes). */
    int transformSize() const noexcept { return active->transformSize(); }
    int responseTaps() const noexcept { return active->taps(); }

    /** Forward transforms performed so far; a feed whose whole hop is silent needs none. */
    long long forwardTransformCount() const noexcept { return forwardTransforms; }

private:
    using Frame = AlignedArray<float, kLargestFftSize>;
    using Spectrum = AlignedArray<Complex, kLargestNumBins>;
    using EarSpectra = std::array<Spectrum, kNumEars>;

    void takeUpQueuedFilters() noexcept;
    void retireOutgoing() noexcept;
    bool holdsSound() const noexcept;
    void collect (int feed, const float* source, int count) noexcept;
    void runHop (int feedCount) noexcept;
    void transformFeed (ConvolutionFilters& filters, const float* frame, int feed, EarSpectra& sums, bool overwrite) noexcept;
    void writeToRings (ConvolutionFilters& filters, EarSpectra& sums, bool anyFeed) noexcept;

    std::array<Frame, kNumFeeds> inputFrames {};
    Frame weightedFrame {};
    std::array<Frame, kNumEars> outputFrames {};
    std::array<std::array<float, kRingLength>, kNumEars> rings {};
    Spectrum inputSpectrum {};
    // Sums of the products per ear: of the filters in use, and of the outgoing ones in a crossfade.
    EarSpectra outputSpectra {};
    EarSpectra outgoingSpectra {};
    int inputFill = 0;
    int readPosition = 0;
    int writePosition = kHop;
    // Samples from the write position on that earlier hops have added to; a new frame adds
    // over those and writes the rest.
    int writtenAhead = 0;

    // The filters in use; those fading out (then waiting to be handed back) and the hops
    // of the crossfade still to run; the crossfade's rising weights, one hop after another.
    std::unique_ptr<ConvolutionFilters> active;
    std::unique_ptr<ConvolutionFilters> outgoing;
    int crossfadeHopsLeft = 0;
    std::array<float, kCrossfadeHops * kHop> crossfadeIn {};

    // Hand-over with the other threads: the set queued next, and the set the audio thread
    // is done with, which the queueing thread frees.
    std::atomic<ConvolutionFilters*> pending { nullptr };
    std::atomic<ConvolutionFilters*> retired { nullptr };

    // Per feed: a non-zero sample has arrived in the current hop; and the frame beyond
    // the input fill may still hold a previous hop's samples, which a silent stretch
    // must overwrite.
    std::array<bool, kNumFeeds> feedCarriesSignal {};
    std::array<bool, kNumFeeds> frameHoldsOldSamples {};
    long long forwardTransforms = 0;
};
} // namespace vendrasolith
