#pragma once

#include "HrirSet.h"
#include "RealFft.h"
#include "RenderLimits.h"

namespace vendrasolith
{
/** The 16 filter spectra of a table of head-related responses (ear-major, like HrirSet),
    for the smallest transform that convolves a whole hop with them in one go: 1024 points
    for up to 257 taps (the embedded table), 2048 for up to 1281 (a table made for 192 kHz),
    4096 for up to 3329. It owns the transforms of its size, so the convolver can run on it
    as it is.

    Making one plans and allocates: do it off the audio thread, then hand it to the
    convolver (FftConvolver::queueFilters), which only reads the spectra and runs the
    transforms. */
class ConvolutionFilters
{
public:
    static constexpr int kLongestResponse = RealFft::kLargestSize - kConvolutionHop + 1;

    /** `values` holds 16 responses of `taps` taps each; taps beyond kLongestResponse are
        left out. */
    ConvolutionFilters (const float* values, int taps, FftBackend backend);
    ConvolutionFilters (const HrirSet& responses, FftBackend backend);

    ConvolutionFilters (const ConvolutionFilters&) = delete;
    ConvolutionFilters& operator= (const ConvolutionFilters&) = delete;

    /** The transform size that holds a hop convolved with `taps` taps. */
    static int transformSizeFor (int taps) noexcept;

    /** Recomputes the spectra from another table whose responses fit this transform size. */
    void setResponses (const float* values, int taps) noexcept;

    int transformSize() const noexcept { return transforms.size(); }
    int numBins() const noexcept { return transforms.numBins(); }
    int taps() const noexcept { return responseTaps; }
    FftBackend backend() const noexcept { return transforms.backend(); }

    /** Spectrum of response m (ear m / 8, feed m % 8), numBins() bins. */
    const Complex* filter (int m) const noexcept { return spectra.data() + (size_t) m * stride; }

    RealFft& fft() noexcept { return transforms; }

private:
    RealFft transforms;
    size_t stride; // bins per spectrum, rounded up so every spectrum starts aligned
    int responseTaps = 0;
    AlignedBuffer<Complex> spectra;
    AlignedBuffer<float> padded; // one response and its zero padding
};
} // namespace vendrasolith
