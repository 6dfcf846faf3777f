#pragma once

#include "RenderLimits.h"

#include <cstddef>
#include <array>

namespace vendrasolith
{
/** The head-related impulse responses the renderer listens through: 16 responses of
    256 taps, ear-major (response m belongs to ear m / 8 and feed m % 8). The values
    are compiled into the library from assets/hrir/hrir_kemar.f32 (little-endian floats). */
class HrirSet
{
public:
    static constexpr int kTaps = 256;
    static constexpr int kResponses = kNumEars * kNumFeeds;
    static constexpr int kValues = kTaps * kResponses;
    /** The rate the embedded table was made for. */
    static constexpr double kSampleRate = 44100.0;

    /** Decodes the embedded table. */
    HrirSet();
    /** A table of the same layout made elsewhere (kValues floats), e.g. from a listener's own measurements. */
    explicit HrirSet (const float* values) noexcept;

    const float* values() const noexcept { return table.data(); }
    const float* response (int m) const noexcept { return table.data() + kTaps * m; }
    const float* response (int ear, int feed) const noexcept { return response (ear * kNumFeeds + feed); }

private:
    std::array<float, kValues> table {};
};
} // namespace vendrasolith
