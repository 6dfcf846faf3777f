#pragma once

namespace vendrasolith
{
/** Moves between the processed signal and the dry one when bypass is switched, so that
    neither switch clicks or leaves a gap. The fade is linear and the two weights always sum
    to one; a switch in the middle of a fade turns it back from where it stands.

    Sample j (from 0) after a switch towards the dry signal carries it at weight
    min (1, (j + 1) / fadeLength); the way back mirrors that. At rest the chosen signal
    passes exactly as it is.

    Belongs to the audio thread; nothing is allocated. */
class BypassCrossfade
{
public:
    static constexpr int kDefaultFadeLength = 720; // 15 ms at 48 kHz

    /** Samples a whole fade takes, at least 1. A fade under way keeps the share it has. */
    void setFadeLength (int samples) noexcept;
    int getFadeLength() const noexcept { return length; }

    /** Overwrites the first numChannels of processed with the mix, moving one step per
        sample towards the dry signal when towardsDry is set and back otherwise. */
    void process (float* const* processed, const float* const* dry, int numChannels, int numSamples,
                  bool towardsDry) noexcept;

    /** 0 while fully processed, 1 while fully dry. */
    double dryShare() const noexcept { return (double) steps / (double) length; }

private:
    int length = kDefaultFadeLength;
    int steps = 0; // 0 … length: how far the fade has gone towards the dry signal
};
} // namespace vendrasolith
