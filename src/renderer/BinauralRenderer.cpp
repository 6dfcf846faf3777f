#include "BinauralRenderer.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vendrasolith
{
namespace
{
    constexpr float kQuietestInput = 1.0e-20f;
} // namespace

BinauralRenderer::BinauralRenderer()
    : fft (std::make_unique<FftConvolver> (HrirSet())),
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
    for (auto& slot : *slotBuffers)
        slot.fill (0.0f);

    channelMap = InputConfiguration::get (value).map;
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
    for (int c = 0; c < numInputs; ++c)
    {
        const float* source = inputs[c] + offset;
        float* slot = slotPointers[(size_t) channelMap[(size_t) c]];
        // NaN, infinities and anything below -400 dBFS enter as silence: nothing downstream
        // can be poisoned, and no product of a tiny input with a filter tap or pan gain can
        // fall into the slow denormal range, without switching on a flush-to-zero mode.
        for (int k = 0; k < numSamples; ++k)
        {
            const float magnitude = std::fabs (source[k]);
            slot[k] = magnitude >= kQuietestInput && magnitude <= std::numeric_limits<float>::max() ? source[k] : 0.0f;
        }
    }

    for (auto* feed : feedPointers)
        std::fill_n (feed, numSamples, 0.0f);

    panner.pan (slotPointers.data(), feedPointers.data(), numSamples);

    float* pieceOutputs[kNumEars] = { outputs[0] + offset, outputs[1] + offset };
    fft->process (feedPointers.data(), pieceOutputs, kNumFeeds, numSamples);
}
} // namespace vendrasolith
