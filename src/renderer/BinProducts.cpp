#include "BinProducts.h"
#include "VectorClones.h"

namespace vendrasolith
{
// Distinct arrays, but the compiler cannot tell: without restrict it reloads X after every
// store and keeps the loop scalar.
VENDRASOLITH_VECTOR_CLONES
void multiplySpectra (const Complex* __restrict X, const Complex* __restrict H, Complex* __restrict Y, int bins,
                      bool accumulate) noexcept
{
    if (! accumulate)
    {
        for (int k = 0; k < bins; ++k)
        {
            Y[k].re = X[k].re * H[k].re - X[k].im * H[k].im;
            Y[k].im = X[k].re * H[k].im + X[k].im * H[k].re;
        }
    }
    else
    {
        for (int k = 0; k < bins; ++k)
        {
            Y[k].re += X[k].re * H[k].re - X[k].im * H[k].im;
            Y[k].im += X[k].re * H[k].im + X[k].im * H[k].re;
        }
    }
}
} // namespace vendrasolith
