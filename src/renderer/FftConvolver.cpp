#include "FftConvolver.h"
#include "BinProducts.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace vendrasolith
{
namespace
{
    bool anyNonZero (const float* samples, int count) noexcept
    {
        // Silent feeds are scanned whole every hop, so the scan is an OR of the bits, which
        // vectorises, rather than a compare and branch per sample. The sign is masked off
        // at the end: -0 is silent too.
        std::uint32_t any = 0;
        for (int i = 0; i < count; ++i)
        {
            std::uint32_t bits;
            std::memcpy (&bits, samples + i, sizeof (bits));
            any |= bits;
        }
        return (any & 0x7fffffffu) != 0;
    }

    // Ring runs that may pass the end continue at its start.
    template <typename Operation>
    void onRing (float* ring, int start, int count, Operation operation) noexcept
    {
        constexpr int length = FftConvolver::kRingLength;
        const int first = std::min (count, length - start);
        operation (ring + start, 0, first);
        operation (ring, first, count - first);
    }

    void addToRing (float* ring, int start, const float* samples, int count) noexcept
    {
        onRing (ring, start, count, [samples] (float* to, int from, int n)
        {
            for (int k = 0; k < n; ++k)
                to[k] += samples[from + k];
        });
    }

    void copyToRing (float* ring, int start, const float* samples, int count) noexcept
    {
        onRing (ring, start, count, [samples] (float* to, int from, int n) { std::copy_n (samples + from, n, to); });
    }
} // namespace

FftConvolver::FftConvolver (const HrirSet& responses, FftBackend backend)
    : active (std::make_unique<ConvolutionFilters> (responses, backend))
{
    // As if a hop of the same size had been written before: its tail region is zero and is
    // added to, which keeps the first hop's arithmetic that of every later one.
    writtenAhead = active->transformSize() - kHop;

    constexpr double pi = 3.14159265358979323846;
    for (size_t k = 0; k < crossfadeIn.size(); ++k)
        crossfadeIn[k] = (float) (0.5 - 0.5 * std::cos (pi * ((double) k + 0.5) / (double) crossfadeIn.size()));
}

FftConvolver::~FftConvolver()
{
    delete pending.load();
    delete retired.load();
}

void FftConvolver::setResponses (const float* values, int taps)
{
    delete pending.exchange (nullptr);
    releaseRetiredFilters();
    outgoing.reset();
    crossfadeHopsLeft = 0;

    if (ConvolutionFilters::transformSizeFor (std::min (taps, ConvolutionFilters::kLongestResponse)) == active->transformSize())
        active->setResponses (values, taps);
    else
        active = std::make_unique<ConvolutionFilters> (values, taps, active->backend());
}

void FftConvolver::queueFilters (std::unique_ptr<ConvolutionFilters> filters) noexcept
{
    releaseRetiredFilters();
    delete pending.exchange (filters.release(), std::memory_order_acq_rel);
}

void FftConvolver::releaseRetiredFilters() noexcept
{
    delete retired.exchange (nullptr, std::memory_order_acq_rel);
}

void FftConvolver::retireOutgoing() noexcept
{
    // The queueing thread frees it; if it has not collected the previous one yet, try again
    // at the next call.
    ConvolutionFilters* empty = nullptr;
    if (outgoing != nullptr && retired.compare_exchange_strong (empty, outgoing.get(), std::memory_order_acq_rel))
        outgoing.release();
}

bool FftConvolver::holdsSound() const noexcept
{
    if (std::any_of (feedCarriesSignal.begin(), feedCarriesSignal.end(), [] (bool b) { return b; }))
        return true;
    return std::any_of (rings.begin(), rings.end(), [] (const auto& ring) { return anyNonZero (ring.data(), kRingLength); });
}

void FftConvolver::takeUpQueuedFilters() noexcept
{
    if (outgoing == nullptr && pending.load (std::memory_order_relaxed) == nullptr)
        return;

    if (crossfadeHopsLeft == 0)
        retireOutgoing();
    if (outgoing != nullptr)
        return; // a crossfade is still running, or its old filters wait to be handed back

    ConvolutionFilters* next = pending.exchange (nullptr, std::memory_order_acq_rel);
    if (next == nullptr)
        return;

    // The crossfade starts with the hop being collected: none of its samples has been
    // convolved yet.
    outgoing = std::move (active);
    active.reset (next);
    crossfadeHopsLeft = holdsSound() ? kCrossfadeHops : 0;
    if (crossfadeHopsLeft == 0)
        retireOutgoing();
}

void FftConvolver::process (const float* const* feeds, float* const* outputs, int feedCount, int numSamples) noexcept
{
    feedCount = std::clamp (feedCount, 0, kNumFeeds);
    numSamples = std::clamp (numSamples, 0, kMaxBlockSize);
    takeUpQueuedFilters();

    int consumed = 0;
    int remaining = numSamples;
    auto sourceOf = [&] (int i) { return feeds[i] != nullptr ? feeds[i] + consumed : nullptr; };

    while (inputFill + remaining >= kHop)
    {
        const int take = kHop - inputFill;
        for (int i = 0; i < feedCount; ++i)
            collect (i, sourceOf (i), take);

        runHop (feedCount);
        consumed += take;
        remaining -= take;
    }

    for (int i = 0; i < feedCount; ++i)
        collect (i, sourceOf (i), remaining);
    inputFill += remaining;

    for (int j = 0; j < kNumEars; ++j)
    {
        float* ring = rings[(size_t) j].data();
        const int firstRun = std::min (numSamples, kRingLength - readPosition);
        std::copy_n (ring + readPosition, firstRun, outputs[j]);
        std::fill_n (ring + readPosition, firstRun, 0.0f);
        std::copy_n (ring, numSamples - firstRun, outputs[j] + firstRun);
        std::fill_n (ring, numSamples - firstRun, 0.0f);
    }

    readPosition += numSamples;
    if (readPosition >= kRingLength)
        readPosition -= kRingLength;
}

void FftConvolver::collect (int i, const float* source, int count) noexcept
{
    auto& frame = inputFrames[(size_t) i];

    if (source == nullptr)
    {
        // Silence is written once; after that the rest of the hop is zero already.
        if (frameHoldsOldSamples[(size_t) i])
            std::fill (frame.begin() + inputFill, frame.begin() + kHop, 0.0f);
        frameHoldsOldSamples[(size_t) i] = false;
        return;
    }

    std::copy_n (source, count, frame.begin() + inputFill);
    feedCarriesSignal[(size_t) i] = feedCarriesSignal[(size_t) i] || anyNonZero (source, count);
}

void FftConvolver::transformFeed (ConvolutionFilters& filters, const float* frame, int feed, EarSpectra& sums,
                                  bool overwrite) noexcept
{
    filters.fft().forward (frame, inputSpectrum.data());
    ++forwardTransforms;

    for (int j = 0; j < kNumEars; ++j)
        multiplySpectra (inputSpectrum.data(), filters.filter (j * kNumFeeds + feed), sums[(size_t) j].data(),
                         filters.numBins(), ! overwrite);
}

void FftConvolver::runHop (int feedCount) noexcept
{
    const bool crossfading = crossfadeHopsLeft > 0;
    const float* rising = crossfadeIn.data() + (size_t) ((kCrossfadeHops - crossfadeHopsLeft) * kHop);
    bool anyFeed = false;

    for (int i = 0; i < feedCount; ++i)
    {
        // The frame now holds this hop's samples; only non-zero ones need overwriting later.
        frameHoldsOldSamples[(size_t) i] = feedCarriesSignal[(size_t) i];

        // A silent hop transforms to a zero spectrum and adds nothing: skip its work.
        if (! feedCarriesSignal[(size_t) i])
            continue;

        const float* frame = inputFrames[(size_t) i].data();
        if (crossfading)
        {
            // Each sample goes partly through the old filters and partly through the new.
            for (int k = 0; k < kHop; ++k)
                weightedFrame[(size_t) k] = frame[k] * (1.0f - rising[k]);
            transformFeed (*outgoing, weightedFrame.data(), i, outgoingSpectra, ! anyFeed);
            for (int k = 0; k < kHop; ++k)
                weightedFrame[(size_t) k] = frame[k] * rising[k];
            transformFeed (*active, weightedFrame.data(), i, outputSpectra, ! anyFeed);
        }
        else
        {
            transformFeed (*active, frame, i, outputSpectra, ! anyFeed);
        }
        anyFeed = true;
        feedCarriesSignal[(size_t) i] = false;
    }

    if (crossfading)
    {
        writeToRings (*outgoing, outgoingSpectra, anyFeed);
        --crossfadeHopsLeft;
    }
    writeToRings (*active, outputSpectra, anyFeed);

    writePosition += kHop;
    if (writePosition >= kRingLength)
        writePosition -= kRingLength;
    writtenAhead = std::max (0, writtenAhead - kHop);
    inputFill = 0;
}

void FftConvolver::writeToRings (ConvolutionFilters& filters, EarSpectra& sums, bool anyFeed) noexcept
{
    const int size = filters.transformSize();
    const float scale = 1.0f / (float) size;

    for (int j = 0; j < kNumEars; ++j)
    {
        float* frame = outputFrames[(size_t) j].data();
        if (! anyFeed)
        {
            std::fill_n (frame, size, 0.0f);
            continue;
        }

        // The inverse may use the spectrum as scratch: the next hop's first product
        // overwrites it anyway.
        filters.fft().inverse (sums[(size_t) j].data(), frame);
        for (int k = 0; k < size; ++k)
            frame[k] *= scale;
    }

    // The start of the frame overlaps the tails of earlier hops, which sit exactly there;
    // beyond them the ring is empty (every sample read is cleared) and is written.
    const int overlap = std::min (size, writtenAhead);
    for (int j = 0; j < kNumEars; ++j)
    {
        float* ring = rings[(size_t) j].data();
        const float* frame = outputFrames[(size_t) j].data();
        addToRing (ring, writePosition, frame, overlap);
        copyToRing (ring, (writePosition + overlap) % kRingLength, frame + overlap, size - overlap);
    }
    writtenAhead = std::max (writtenAhead, size);
}
} // namespace vendrasolith
