#pragma once

#include "SpeakerRing.h"

#include <cstddef>
#include <array>

namespace vendrasolith
{
/** Spreads the eight input slots over the ring's feeds. At Width 1 each slot keeps its
    own loudspeaker direction; as Width falls, each slot's direct image travels the short
    way towards Angle and a second, alternate image travels the long way round, weighted
    by how far the slot lies from Angle. At Width 0 both images sit at Angle. */
class SlotPanner
{
public:
    static constexpr int kNumSlots = 8;
    static constexpr std::array<float, kNumSlots> baseDirections { 330.0f, 30.0f, 0.0f, 270.0f, 240.0f, 180.0f, 120.0f, 90.0f };

    explicit SlotPanner (SpeakerRing& ring);

    void setAngleDegrees (float degrees) noexcept;
    void setWidth (float width) noexcept;
    void setPanGain (float gain) noexcept { panGain = gain; }
    /** Gives the slots other loudspeaker directions (the table above by default). The
        images follow at once, as they follow Angle and Width; the gains glide there. */
    void setSlotDirections (const std::array<float, kNumSlots>& directions) noexcept;

    /** Adds every slot's two images into the block's feeds. A null slot is silent: it
        adds nothing, but its images' gains glide on as they would have. */
    void pan (const float* const* slots, FeedMix& mix, int numSamples) noexcept;

    float angleDegrees() const noexcept { return angle; }
    float slotDirection (int slot) const noexcept { return slotDirections[(size_t) slot]; }
    float width() const noexcept { return widthValue; }
    float directDirection (int slot) const noexcept { return direct[(size_t) slot]; }
    float alternateDirection (int slot) const noexcept { return alternate[(size_t) slot]; }
    float alternateWeight (int slot) const noexcept { return alternateWeights[(size_t) slot]; }

private:
    void recomputeImages() noexcept;

    SpeakerRing& ring;
    float panGain = 1.0f;
    int slotCount = kNumSlots;
    float angle = 0.0f;
    float widthValue = 1.0f;
    std::array<float, kNumSlots> slotDirections = baseDirections;
    // Until Angle or Width first changes, the images sit on the slots, without alternates.
    bool imagesComputed = false;
    std::array<float, kNumSlots> direct = baseDirections;
    std::array<float, kNumSlots> alternate = baseDirections;
    std::array<float, kNumSlots> alternateWeights {};
};
} // namespace vendrasolith
