#pragma once

#include "ChannelRouting.h"
#include "FftConvolver.h"
#include "InputConfiguration.h"
#include "SlotPanner.h"
#include "SpeakerRing.h"

#include <cstddef>
#include <array>
#include <atomic>
#include <memory>

namespace vendrasolith
{
/** Renders a block of host input channels to the binaural pair: channels are read into
    slots by the input configuration, panned by Angle and Width onto the loudspeaker
    feeds and convolved with the head-related responses, 768 samples late.

    Threads: setAngle and setWidth may be called from any thread; they take effect at
    the start of the next render. Everything else belongs to the audio thread. */
class BinauralRenderer
{
public:
    static constexpr int kLatency = FftConvolver::kDelay;

    /** Plans its transforms on the given backend (FFTW where the build has it). */
    explicit BinauralRenderer (FftBackend backend = defaultFftBackend());

    /** The backend the transforms run on (the one asked for, if the build has it); filters
        made for queueResponses should use it. Any thread. */
    FftBackend fftBackend() const noexcept { return backendInUse; }

    /** Normalised Angle, 0…1 for a full turn clockwise. Clamped; a NaN is ignored. */
    void setAngle (float normalised) noexcept;
    /** Normalised Width, 0 (all channels at Angle) … 1 (every channel at its own place). */
    void setWidth (float normalised) noexcept;
    void setPanGain (float gain) noexcept { panner.setPanGain (gain); }

    /** Listens through another table from now on (the embedded one is the default).
        Recomputes the filter spectra: not concurrent with render(), so call it before
        rendering starts or between blocks on the rendering thread. */
    void setResponses (const HrirSet& responses) { fft->setResponses (responses); }
    /** The same for a table of 16 responses of any length (ear-major), such as one made
        for another sample rate; up to ConvolutionFilters::kLongestResponse taps are used. */
    void setResponses (const float* values, int taps) { fft->setResponses (values, taps); }

    /** Hands filters made on another thread to the convolver, which takes them up at the
        start of a later render with a short crossfade (FftConvolver::queueFilters). Never
        from the audio thread, and from one thread at a time. */
    void queueResponses (std::unique_ptr<ConvolutionFilters> filters) noexcept { fft->queueFilters (std::move (filters)); }

    /** Clears the slots and installs the channel map; values outside 0…9 act as 5. */
    void setInputConfiguration (int value) noexcept;
    /** Clears the slots and reads channels as the routing says, with its slot directions.
        A routing that is not valid reads as configuration 5. */
    void setRouting (const ChannelRouting& routing) noexcept;

    /** Reads numInputs channels (those of the current configuration) and overwrites the
        two outputs; a slot no channel fills is silent for the block. In-place use is safe.
        Blocks longer than 8192 samples are rendered in consecutive pieces. Non-finite
        input and samples below -400 dBFS are rendered as silence. */
    void render (const float* const* inputs, float* const* outputs, int numInputs, int numSamples) noexcept;

    float getAngle() const noexcept { return angle.load (std::memory_order_relaxed); }
    float getWidth() const noexcept { return width.load (std::memory_order_relaxed); }
    /** The last block read into a slot (0 L, 1 R, 2 C, 3 Lss, 4 Lsr, 5 LFE, 6 Rsr, 7 Rss). */
    const float* slotSamples (int slot) const noexcept { return slotPointers[(size_t) slot]; }
    const SlotPanner& slotPanner() const noexcept { return panner; }
    const SpeakerRing& speakerRing() const noexcept { return ring; }
    const FftConvolver& convolver() const noexcept { return *fft; }

private:
    void applyControls() noexcept;
    void renderPiece (const float* const* inputs, float* const* outputs, int numInputs, int offset, int numSamples) noexcept;

    const FftBackend backendInUse;
    std::atomic<float> angle { 0.0f };
    std::atomic<float> width { 1.0f };

    std::unique_ptr<FftConvolver> fft;
    SpeakerRing ring;
    SlotPanner panner { ring };

    using Buffer = std::array<float, kMaxBlockSize>;
    std::unique_ptr<std::array<Buffer, SlotPanner::kNumSlots>> slotBuffers;
    std::unique_ptr<std::array<Buffer, kNumFeeds>> feedBuffers;
    std::array<float*, SlotPanner::kNumSlots> slotPointers {};
    std::array<float*, kNumFeeds> feedPointers {};
    std::array<int, kNumFeeds> channelMap {};
    std::array<bool, SlotPanner::kNumSlots> slotHoldsSamples {};
};
} // namespace vendrasolith
