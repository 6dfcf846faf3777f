#pragma once

#include <complex>
#include <vector>

namespace vendrasolith::hrtf
{
using Complex = std::complex<double>;
using Spectrum = std::vector<Complex>;

/** Radix-2 complex FFT in double precision, unscaled. The offline HRIR work runs
    thousands of transforms, and its results must not depend on the machine, so it is
    plain code with one fixed order of operations rather than a tuned library. */
class ComplexFft
{
public:
    /** size must be a power of two. */
    explicit ComplexFft (size_t size);

    size_t size() const noexcept { return n; }

    /** In place; sign -1 forward, +1 inverse (unscaled). */
    void transform (Spectrum& x, int sign) const;

private:
    size_t n;
    std::vector<size_t> bitReversed;
    std::vector<Complex> twiddles; // e^{-2πik/n}, k < n/2
};

/** The smallest power of two not below n. */
size_t nextPowerOfTwo (size_t n);
} // namespace vendrasolith::hrtf
