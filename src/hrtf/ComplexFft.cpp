#include "ComplexFft.h"

#include <stdexcept>

namespace vendrasolith::hrtf
{
namespace
{
constexpr double kPi = 3.14159265358979323846;
} // namespace

size_t nextPowerOfTwo (size_t n)
{
    size_t p = 1;
    while (p < n)
        p *= 2;
    return p;
}

ComplexFft::ComplexFft (size_t size) : n (size), bitReversed (size), twiddles (size / 2)
{
    if (n < 2 || (n & (n - 1)) != 0)
        throw std::invalid_argument ("FFT size must be a power of two");

    int bits = 0;
    while ((size_t (1) << bits) < n)
        ++bits;
    for (size_t i = 0; i < n; ++i)
    {
        size_t r = 0;
        for (int b = 0; b < bits; ++b)
            r |= ((i >> b) & 1u) << (bits - 1 - b);
        bitReversed[i] = r;
    }
    // Each twiddle from its own angle, so no error accumulates along the table.
    for (size_t k = 0; k < n / 2; ++k)
        twiddles[k] = std::polar (1.0, -2.0 * kPi * double (k) / double (n));
}

void ComplexFft::transform (Spectrum& x, int sign) const
{
    if (x.size() != n)
        throw std::invalid_argument ("FFT input of the wrong size");

    for (size_t i = 0; i < n; ++i)
        if (i < bitReversed[i])
            std::swap (x[i], x[bitReversed[i]]);

    for (size_t half = 1; half < n; half *= 2)
    {
        const size_t stride = n / (2 * half);
        for (size_t start = 0; start < n; start += 2 * half)
            for (size_t k = 0; k < half; ++k)
            {
                const Complex w = sign < 0 ? twiddles[k * stride] : std::conj (twiddles[k * stride]);
                const Complex a = x[start + k];
                const Complex b = x[start + k + half] * w;
                x[start + k] = a + b;
                x[start + k + half] = a - b;
            }
    }
}
} // namespace vendrasolith::hrtf
