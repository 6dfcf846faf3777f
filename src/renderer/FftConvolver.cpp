#include "FftConvolver.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

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

FftConvolver::FftConvolver (const HrirSet& responses)
{
    forwardPlan = kiss_fftr_alloc (kFftSize, 0, nullptr, nullptr);
    inversePlan = kiss_fftr_alloc (kFftSize, 1, nullptr, nullptr);

    if (forwardPlan == nullptr || inversePlan == nullptr)
    {
        kiss_fftr_free (forwardPlan);
        kiss_fftr_free (inversePlan);
        throw std::bad_alloc();
    }

    setResponses (responses);
}

void FftConvolver::setResponses (const HrirSet& responses) noexcept
{
    Frame padded {};
    for (int m = 0; m < HrirSet::kResponses; ++m)
    {
        std::copy_n (responses.response (m), HrirSet::kTaps, padded.begin());
        kiss_fftr (forwardPlan, padded.data(), filterSpectra[(size_t) m].data());
    }
}

FftConvolver::~FftConvolver()
{
    kiss_fftr_free (forwardPlan);
    kiss_fftr_free (inversePlan);
}

void FftConvolver::process (const float* const* feeds, float* const* outputs, int feedCount, int numSamples) noexcept
{
    feedCount = std::clamp (feedCount, 0, kNumFeeds);
    numSamples = std::clamp (numSamples, 0, kMaxBlockSize);

    int consumed = 0;
    int remaining = numSamples;

    while (inputFill + remaining >= kHop)
    {
        const int take = kHop - inputFill;
        for (int i = 0; i < feedCount; ++i)
        {
            const float* source = feeds[i] + consumed;
            std::copy_n (source, take, inputFrames[(size_t) i].begin() + inputFill);
            feedCarriesSignal[(size_t) i] = feedCarriesSignal[(size_t) i] || anyNonZero (source, take);
        }

        runHop (feedCount);
        consumed += take;
        remaining -= take;
    }

    for (int i = 0; i < feedCount; ++i)
    {
        const float* source = feeds[i] + consumed;
        std::copy_n (source, remaining, inputFrames[(size_t) i].begin() + inputFill);
        feedCarriesSignal[(size_t) i] = feedCarriesSignal[(size_t) i] || anyNonZero (source, remaining);
    }
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

void FftConvolver::accumulateProducts (int feed, bool overwrite) noexcept
{
    // Distinct arrays, but the compiler cannot tell: without restrict it reloads X after
    // every store and keeps the loop scalar.
    const kiss_fft_cpx* __restrict X = inputSpectrum.data();

    for (int j = 0; j < kNumEars; ++j)
    {
        const kiss_fft_cpx* __restrict H = filterSpectra[(size_t) (j * kNumFeeds + feed)].data();
        kiss_fft_cpx* __restrict Y = outputSpectra[(size_t) j].data();

        if (overwrite)
        {
            for (int k = 0; k < kNumBins; ++k)
            {
                Y[k].r = X[k].r * H[k].r - X[k].i * H[k].i;
                Y[k].i = X[k].r * H[k].i + X[k].i * H[k].r;
            }
        }
        else
        {
            for (int k = 0; k < kNumBins; ++k)
            {
                Y[k].r += X[k].r * H[k].r - X[k].i * H[k].i;
                Y[k].i += X[k].r * H[k].i + X[k].i * H[k].r;
            }
        }
    }
}

void FftConvolver::runHop (int feedCount) noexcept
{
    bool anyFeed = false;

    for (int i = 0; i < feedCount; ++i)
    {
        // A silent hop transforms to a zero spectrum and adds nothing: skip its work.
        if (! feedCarriesSignal[(size_t) i])
            continue;

        kiss_fftr (forwardPlan, inputFrames[(size_t) i].data(), inputSpectrum.data());
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

        kiss_fftri (inversePlan, outputSpectra[(size_t) j].data(), frame.data());
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
