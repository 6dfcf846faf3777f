#pragma once

#include "RealFft.h"

namespace vendrasolith
{
/** The convolver's spectral products, bin by bin: Y = X H, or Y += X H with accumulate.
    The three arrays must not overlap. */
void multiplySpectra (const Complex* X, const Complex* H, Complex* Y, int bins, bool accumulate) noexcept;
} // namespace vendrasolith
