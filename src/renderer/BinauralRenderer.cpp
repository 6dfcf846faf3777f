#include "BinauralRenderer.h"
#include "VectorClones.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace vendrasolith
{
namespace
{
/** Copies an input into its slot; whether anything in it sounds. */
VENDRASOLITH_VECTOR_CLONES
bool readInput (const float* source, float* slot, int numSamples) noexcept
{
    // NaN, infinities and anything below -400 dBFS enter as silence: nothing downstream
    // can be poisoned, and no product of a tiny input with a filter tap or pan gain can
    // fall into the slow denormal range, without switching on a flush-to-zero mode.
    // Compared as bit patterns (the order of non-negative floats), so the loop vectorises.
    constexpr std::int32_t quietest = 0x1e3ce508; // 1.0e-20f
    constexpr std::int32_t largest = 0x7f7fffff;  // the largest finite float
    static_assert (sizeof (float) == sizeof (std::int32_t));

    std::int32_t sounding = 0;
    for (int k = 0; k < numSamples; ++k)
    {
        std::int32_t bits;
        std::memcpy (&bits, source + k, sizeof (bits));
        const std::int32_t magnitude = bits & 0x7fffffff;
        const std::int32_t keep = magnitude >= quietest && magnitude <= largest ? -1 : 0;
        bits &= keep;
        sounding |= keep;
        std::memcpy (slot + k, &bits, sizeof (bits));
    }
    return sounding != 0;
}
} // namespace

BinauralRenderer::BinauralRenderer (FftBackend backend)
    : backendInUse (isFftBackendAvailable (backend) ? backend : FftBackend::kiss),
      fft (std::make_unique<FftConvolver> (HrirSet(), backendInUse)),
      slotBuffers (std::make_unique<std::array<Buffer, SlotPanner::kNumSlots>>()),
      feedBuffers (std::make_unique<std::array<Buffer, kNumFeeds>>())
{
    for (size_t i = 0; i < slotPointers.size(); ++i)
        slotPointers[i] = (*slotBuffers)[i].data();
    for (size_t i = 0; i < feedPointers.size(); ++i)
        feedPointers[i] = (*feedBuffers)[i].data();

    setInputConfiguration (0);
}

void BinauralRenderer::setAngle (float normalised) noexcept
{
    if (! std::isnan (normalised))
        angle.store (std::clamp (normalised, 0.0f, 1.0f), std::memory_order_relaxed);
}

void BinauralRenderer::setWidth (float normalised) noexcept
{
    if (! std::isnan (normalised))
        width.store (std::clamp (normalised, 0.0f, 1.0f), std::memory_order_relaxed);
}

void BinauralRenderer::setInputConfiguration (int value) noexcept
{
    setRouting (ChannelRouting::of (value));
}

void BinauralRenderer::setRouting (const ChannelRouting& requested) noexcept
{
    const auto& routing = requested.isValid() ? requested : ChannelRouting::of (InputConfiguration::kFallback);

    for (auto& slot : *slotBuffers)
        slot.fill (0.0f);

    // Channels past the routing's own go to the slots it leaves free, in slot order (as in
    // every configuration's table), so even a caller handing over more channels than the
    // routing reads never has two channels overwrite one slot.
    std::array<bool, SlotPanner::kNumSlots> taken {};
    for (int c = 0; c < routing.channelCount; ++c)
    {
        channelMap[(size_t) c] = routing.slotOfChannel[(size_t) c];
        taken[(size_t) channelMap[(size_t) c]] = true;
    }
    for (int c = routing.channelCount, slot = 0; c < kNumFeeds; ++c, ++slot)
    {
        while (taken[(size_t) slot])
            ++slot;
        channelMap[(size_t) c] = slot;
    }
    panner.setSlotDirections (routing.slotDirections);
    slotHoldsSamples.fill (false);
}

void BinauralRenderer::applyControls() noexcept
{
    // The panner ignores values equal to its own, so a steady control costs nothing.
    panner.setAngleDegrees (360.0f * angle.load (std::memory_order_relaxed));
    panner.setWidth (width.load (std::memory_order_relaxed));
}

void BinauralRenderer::render (const float* const* inputs, float* const* outputs, int numInputs, int numSamples) noexcept
{
    applyControls();
    numInputs = std::clamp (numInputs, 0, kNumFeeds);

    for (int offset = 0; offset < numSamples; offset += kMaxBlockSize)
        renderPiece (inputs, outputs, numInputs, offset, std::min (kMaxBlockSize, numSamples - offset));
}

void BinauralRenderer::renderPiece (const float* const* inputs, float* const* outputs, int numInputs,
                                    int offset, int numSamples) noexcept
{
    // Slots no channel fills this block hold zeros, and so do silent channels: the panner
    // skips their work but lets their gains glide on.
    std::array<const float*, SlotPanner::kNumSlots> sounding {};

    std::array<bool, SlotPanner::kNumSlots> filled {};

    for (int c = 0; c < numInputs; ++c)
    {
        const auto s = (size_t) channelMap[(size_t) c];
        filled[s] = true;
        slotHoldsSamples[s] = readInput (inputs[c] + offset, slotPointers[s], numSamples);
        if (slotHoldsSamples[s])
            sounding[s] = slotPointers[s];
    }

    // A slot left over from a longer call must not play its old block again.
    for (size_t s = 0; s < filled.size(); ++s)
    {
        if (! filled[s] && slotHoldsSamples[s])
        {
            (*slotBuffers)[s].fill (0.0f);
            slotHoldsSamples[s] = false;
        }
    }

    FeedMix mix (feedPointers.data(), false);
    panner.pan (sounding.data(), mix, numSamples);

    // Feeds no voice reached are silent; the convolver skips them.
    std::array<const float*, kNumFeeds> feeds {};
    for (int j = 0; j < kNumFeeds; ++j)
        feeds[(size_t) j] = mix.samples (j);

    float* pieceOutputs[kNumEars] = { outputs[0] + offset, outputs[1] + offset };
    fft->process (feeds.data(), pieceOutputs, kNumFeeds, numSamples);
}
} // namespace vendrasolith
