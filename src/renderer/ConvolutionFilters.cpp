#include "ConvolutionFilters.h"

#include <algorithm>

namespace vendrasolith
{
namespace
{
constexpr size_t kBinsPerAlignment = RealFft::kAlignment / sizeof (Complex);
}

int ConvolutionFilters::transformSizeFor (int taps) noexcept
{
    int size = RealFft::kSize;
    while (size < RealFft::kLargestSize && kConvolutionHop + taps - 1 > size)
        size *= 2;
    return size;
}

ConvolutionFilters::ConvolutionFilters (const float* values, int taps, FftBackend backend)
    : transforms (backend, transformSizeFor (std::min (taps, kLongestResponse))),
      stride ((transforms.numBins() + kBinsPerAlignment - 1) / kBinsPerAlignment * kBinsPerAlignment),
      spectra ((size_t) HrirSet::kResponses * stride),
      padded ((size_t) transforms.size())
{
    setResponses (values, taps);
}

ConvolutionFilters::ConvolutionFilters (const HrirSet& responses, FftBackend backend)
    : ConvolutionFilters (responses.values(), HrirSet::kTaps, backend)
{
}

void ConvolutionFilters::setResponses (const float* values, int taps) noexcept
{
    // No scaling: the convolver's inverse transform divides by the size once.
    responseTaps = std::clamp (taps, 0, transforms.size() - kConvolutionHop + 1);
    for (int m = 0; m < HrirSet::kResponses; ++m)
    {
        std::copy_n (values + (size_t) m * (size_t) taps, responseTaps, padded.data());
        std::fill (padded.data() + responseTaps, padded.data() + padded.size(), 0.0f);
        transforms.forward (padded.data(), spectra.data() + (size_t) m * stride);
    }
}
} // namespace vendrasolith
