#include "FftConvolver.h"

#include <algorithm>
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
} // namespace

FftConvolver::FftConvolver (const HrirSet& responses, FftBackend backend)
    : transforms (backend)
{
    setResponses (responses);
}

void FftConvolver::setResponses (const HrirSet& responses) noexcept
{
    Frame padded {};
    for (int m = 0; m < HrirSet::kResponses; ++m)
    {
        std::copy_n (responses.response (m), HrirSet::kTaps, padded.begin());
        transforms.forward (padded.data(), filterSpectra[(size_t) m].data());
    }
}

void FftConvolver::process (const float* const* feeds, float* const* outputs, int feedCount, int numSamples) noexcept
{
    feedCount = std::clamp (feedCount, 0, kNumFeeds);
    numSamples = std::clamp (numSamples, 0, kMaxBlockSize);

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

void FftConvolver::accumulateProducts (int feed, bool overwrite) noexcept
{
    // Distinct arrays, but the compiler cannot tell: without restrict it reloads X after
    // every store and keeps the loop scalar.
    const Complex* __restrict X = inputSpectrum.data();

    for (int j = 0; j < kNumEars; ++j)
    {
        const Complex* __restrict H = filterSpectra[(size_t) (j * kNumFeeds + feed)].data();
        Complex* __restrict Y = outputSpectra[(size_t) j].data();

        if (overwrite)
        {
            for (int k = 0; k < kNumBins; ++k)
            {
                Y[k].re = X[k].re * H[k].re - X[k].im * H[k].im;
                Y[k].im = X[k].re * H[k].im + X[k].im * H[k].re;
            }
        }
        else
        {
            for (int k = 0; k < kNumBins; ++k)
            {
                Y[k].re += X[k].re * H[k].re - X[k].im * H[k].im;
                Y[k].im += X[k].re * H[k].im + X[k].im * H[k].re;
            }
        }
    }
}

void FftConvolver::runHop (int feedCount) noexcept
{
    bool anyFeed = false;

    for (int i = 0; i < feedCount; ++i)
    {
        // The frame now holds this hop's samples; only non-zero ones need overwriting later.
        frameHoldsOldSamples[(size_t) i] = feedCarriesSignal[(size_t) i];

        // A silent hop transforms to a zero spectrum and adds nothing: skip its work.
        if (! feedCarriesSignal[(size_t) i])
            continue;

        transforms.forward (inputFrames[(size_t) i].data(), inputSpectrum.data());
        ++forwardTransforms;
        accumulateProducts (i, ! anyFeed);
        anyFeed = true;
        feedCarriesSignal[(size_t) i] = false;
    }

    constexpr float scale = 1.0f / (float) kFftSize;
    for (int j = 0; j < kNumEars; ++j)
    {
        auto& frame = outputFrames[(size_t) j];
        if (! anyFeed)
        {
            frame.fill (0.0f);
            continue;
        }

        // The inverse may use the spectrum as scratch: the next hop's first product
        // overwrites it anyway.
        transforms.inverse (outputSpectra[(size_t) j].data(), frame.data());
        for (auto& sample : frame)
            sample *= scale;
    }

    writeHopToRings();
    inputFill = 0;
}

void FftConvolver::writeHopToRings() noexcept
{
    constexpr int tail = kFftSize - kHop;

    // The first 256 samples overlap the previous hop's tail, which sits exactly here.
    for (int j = 0; j < kNumEars; ++j)
    {
        float* ring = rings[(size_t) j].data() + writePosition;
        const float* frame = outputFrames[(size_t) j].data();
        for (int k = 0; k < tail; ++k)
            ring[k] += frame[k];
    }

    writePosition += tail;
    if (writePosition >= kRingLength)
        writePosition -= kRingLength;

    for (int j = 0; j < kNumEars; ++j)
    {
        float* ring = rings[(size_t) j].data();
        const float* frame = outputFrames[(size_t) j].data() + tail;
        const int firstRun = std::min (kHop, kRingLength - writePosition);
        std::copy_n (frame, firstRun, ring + writePosition);
        std::copy_n (frame + firstRun, kHop - firstRun, ring);
    }

    writePosition += kFftSize - 2 * tail;
    if (writePosition >= kRingLength)
        writePosition -= kRingLength;
}
} // namespace vendrasolith
