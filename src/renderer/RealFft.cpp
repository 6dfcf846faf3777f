#include "RealFft.h"
#include "VectorClones.h"

#include <kissfft/kiss_fftr.h>

#include <cmath>
#include <new>
#include <stdexcept>

#if VENDRASOLITH_HAVE_FFTW
 #include <fftw3.h>
 #include <array>
 #include <mutex>
#endif

namespace vendrasolith
{
static_assert (sizeof (Complex) == sizeof (kiss_fft_cpx), "bins are handed to KISS FFT as they are");

#if VENDRASOLITH_HAVE_FFTW
static_assert (sizeof (Complex) == sizeof (fftwf_complex), "bins are handed to FFTW as they are");

namespace
{
    /** One forward and one inverse plan for the whole process, shared by every
        convolver. FFTW's planner is not thread-safe and a host may create several
        instances at once, so plans are made and destroyed only under this lock; the
        transforms run on the plans without it.

        FFTW_ESTIMATE rather than FFTW_MEASURE: measuring times candidate algorithms, so
        on a busy machine two plans could differ and round differently, and renders that
        must agree sample for sample (two instances, or two runs of the offline renderer)
        would not. Sharing one plan pair makes every live instance run the very same
        algorithm, even if other code in the host imports FFTW wisdom between two
        constructions.

        The plans are complex transforms of half the size rather than real ones: for
        these sizes FFTW's estimated real-input plans run about half as fast as the
        complex plan it estimates, and the step between the two is short. Each transform
        size has its own pair. */
    struct PlanPair
    {
        fftwf_plan forward = nullptr;
        fftwf_plan inverse = nullptr;
        int users = 0;
    };

    struct SharedPlans
    {
        std::mutex lock;
        std::array<PlanPair, 3> sizes; // 1024, 2048, 4096 points
        bool plannerMadeThreadSafe = false;
    };

    SharedPlans shared;

    PlanPair& plansFor (int size) noexcept
    {
        return shared.sizes[size == RealFft::kSize ? 0 : size == 2 * RealFft::kSize ? 1 : 2];
    }

    // Called with the lock held.
    bool makeSharedPlans (PlanPair& plans, int size) noexcept
    {
 #if VENDRASOLITH_HAVE_FFTW_THREADS
        // Other plug-ins in the same host may plan with the same library at the same
        // time; this makes FFTW serialise all planning in the process, not just ours.
        if (! shared.plannerMadeThreadSafe)
        {
            fftwf_make_planner_thread_safe();
            shared.plannerMadeThreadSafe = true;
        }
 #endif

        // Planned on FFTW's own aligned arrays; the buffers they run on have the same
        // alignment, which the new-array execute functions require.
        const int half = size / 2;
        auto* a = static_cast<fftwf_complex*> (fftwf_malloc (sizeof (fftwf_complex) * half));
        auto* b = static_cast<fftwf_complex*> (fftwf_malloc (sizeof (fftwf_complex) * half));

        if (a != nullptr && b != nullptr)
        {
            // The forward transform must leave its input alone (the convolver's zero
            // padding lives there), which is FFTW's default for complex transforms; the
            // inverse runs on scratch and may use it up.
            plans.forward = fftwf_plan_dft_1d (half, a, b, FFTW_FORWARD, FFTW_ESTIMATE | FFTW_PRESERVE_INPUT);
            plans.inverse = fftwf_plan_dft_1d (half, a, b, FFTW_BACKWARD, FFTW_ESTIMATE | FFTW_DESTROY_INPUT);
        }

        fftwf_free (a);
        fftwf_free (b);

        if (plans.forward != nullptr && plans.inverse != nullptr)
            return true;

        if (plans.forward != nullptr)
            fftwf_destroy_plan (plans.forward);
        if (plans.inverse != nullptr)
            fftwf_destroy_plan (plans.inverse);
        plans.forward = plans.inverse = nullptr;
        return false;
    }

    bool acquireSharedPlans (int size, fftwf_plan& forward, fftwf_plan& inverse) noexcept
    {
        const std::lock_guard<std::mutex> hold (shared.lock);
        auto& plans = plansFor (size);

        if (plans.users == 0 && ! makeSharedPlans (plans, size))
            return false;

        ++plans.users;
        forward = plans.forward;
        inverse = plans.inverse;
        return true;
    }

    void releaseSharedPlans (int size) noexcept
    {
        const std::lock_guard<std::mutex> hold (shared.lock);
        auto& plans = plansFor (size);

        if (--plans.users > 0)
            return;

        fftwf_destroy_plan (plans.forward);
        fftwf_destroy_plan (plans.inverse);
        plans.forward = plans.inverse = nullptr;
    }

    /** The split step after the half-size complex transform Z of the n real samples
        (M = n/2 bins): the n/2 + 1 bins X of the real transform (see RealFft::forward). */
    VENDRASOLITH_VECTOR_CLONES
    void splitIntoRealSpectrum (const Complex* __restrict Z, const Complex* __restrict W, Complex* __restrict X, int M) noexcept
    {
        X[0] = { Z[0].re + Z[0].im, 0.0f };
        X[M] = { Z[0].re - Z[0].im, 0.0f };
        X[M / 2] = { Z[M / 2].re, -Z[M / 2].im };

        for (int k = 1; k < M / 2; ++k)
        {
            const Complex a = Z[k], b = Z[M - k];
            const float eRe = 0.5f * (a.re + b.re), eIm = 0.5f * (a.im - b.im);
            const float oRe = 0.5f * (a.im + b.im), oIm = -0.5f * (a.re - b.re);
            const float tRe = W[k].re * oRe - W[k].im * oIm;
            const float tIm = W[k].re * oIm + W[k].im * oRe;
            X[k] = { eRe + tRe, eIm + tIm };
            X[M - k] = { eRe - tRe, tIm - eIm };
        }
    }

    /** The same step backwards: the half-size spectrum whose inverse transform gives n
        times the real samples of the bins X. */
    VENDRASOLITH_VECTOR_CLONES
    void joinIntoHalfSizeSpectrum (const Complex* __restrict X, const Complex* __restrict W, Complex* __restrict Z, int M) noexcept
    {
        Z[0] = { X[0].re + X[M].re, X[0].re - X[M].re };
        Z[M / 2] = { 2.0f * X[M / 2].re, -2.0f * X[M / 2].im };

        for (int k = 1; k < M / 2; ++k)
        {
            const Complex a = X[k], b = X[M - k];
            // S = X[k] + X*[M-k], D = X[k] - X*[M-k], U = W^-k D.
            const float sRe = a.re + b.re, sIm = a.im - b.im;
            const float dRe = a.re - b.re, dIm = a.im + b.im;
            const float uRe = W[k].re * dRe + W[k].im * dIm;
            const float uIm = W[k].re * dIm - W[k].im * dRe;
            Z[k] = { sRe - uIm, sIm + uRe };
            Z[M - k] = { sRe + uIm, uRe - sIm };
        }
    }
} // namespace
#endif

FftBackend defaultFftBackend() noexcept
{
    return isFftBackendAvailable (FftBackend::fftw) ? FftBackend::fftw : FftBackend::kiss;
}

bool isFftBackendAvailable (FftBackend backend) noexcept
{
#if VENDRASOLITH_HAVE_FFTW
    return backend == FftBackend::fftw || backend == FftBackend::kiss;
#else
    return backend == FftBackend::kiss;
#endif
}

const char* fftBackendName (FftBackend backend) noexcept
{
    return backend == FftBackend::fftw ? "fftw" : "kiss";
}

bool RealFft::isSupportedSize (int size) noexcept
{
    return size == kSize || size == 2 * kSize || size == kLargestSize;
}

RealFft::RealFft (FftBackend requested, int size)
    : chosen (isFftBackendAvailable (requested) ? requested : FftBackend::kiss), n (size)
{
    if (! isSupportedSize (size))
        throw std::invalid_argument ("unsupported transform size");

#if VENDRASOLITH_HAVE_FFTW
    if (chosen == FftBackend::fftw)
    {
        scratch = AlignedBuffer<Complex> ((size_t) n / 2);
        twiddles = AlignedBuffer<Complex> ((size_t) n / 4);
        for (size_t k = 0; k < twiddles.size(); ++k)
        {
            const double phase = -2.0 * 3.14159265358979323846 * (double) k / n;
            twiddles[k] = { (float) std::cos (phase), (float) std::sin (phase) };
        }
        if (acquireSharedPlans (n, fftwForward, fftwInverse))
            return;
        // FFTW could not plan (it only fails when out of memory): the reference backend
        // gives the same result, so the plug-in still loads and sounds the same.
        chosen = FftBackend::kiss;
        scratch = {};
        twiddles = {};
    }
#endif

    kissForward = kiss_fftr_alloc (n, 0, nullptr, nullptr);
    kissInverse = kiss_fftr_alloc (n, 1, nullptr, nullptr);

    if (kissForward == nullptr || kissInverse == nullptr)
    {
        kiss_fftr_free (kissForward);
        kiss_fftr_free (kissInverse);
        throw std::bad_alloc();
    }
}

RealFft::~RealFft()
{
#if VENDRASOLITH_HAVE_FFTW
    if (fftwForward != nullptr)
        releaseSharedPlans (n);
#endif
    kiss_fftr_free (kissForward);
    kiss_fftr_free (kissInverse);
}

/* The FFTW backend transforms the n real samples as M = n/2 complex ones (even samples
   the real parts, odd ones the imaginary parts), Z = DFT_M(z), and splits the result:
   with E and O the spectra of the even and odd samples and W = e^(-2πi/n),
       E[k] = (Z[k] + Z*[M-k]) / 2,   O[k] = -i (Z[k] - Z*[M-k]) / 2,
       X[k] = E[k] + W^k O[k],        X[M-k] = conj (E[k] - W^k O[k]).
   The inverse runs the same steps backwards: Z'[k] = (X[k] + X*[M-k]) + i W^-k (X[k] - X*[M-k])
   transformed back gives n times the samples, as an unnormalised real inverse does. */
void RealFft::forward (const float* samples, Complex* bins) noexcept
{
#if VENDRASOLITH_HAVE_FFTW
    if (fftwForward != nullptr)
    {
        fftwf_execute_dft (fftwForward, reinterpret_cast<fftwf_complex*> (const_cast<float*> (samples)),
                           reinterpret_cast<fftwf_complex*> (scratch.data()));

        splitIntoRealSpectrum (scratch.data(), twiddles.data(), bins, n / 2);
        return;
    }
#endif
    kiss_fftr (kissForward, samples, reinterpret_cast<kiss_fft_cpx*> (bins));
}

void RealFft::inverse (Complex* bins, float* samples) noexcept
{
#if VENDRASOLITH_HAVE_FFTW
    if (fftwInverse != nullptr)
    {
        joinIntoHalfSizeSpectrum (bins, twiddles.data(), scratch.data(), n / 2);

        fftwf_execute_dft (fftwInverse, reinterpret_cast<fftwf_complex*> (scratch.data()), reinterpret_cast<fftwf_complex*> (samples));
        return;
    }
#endif
    kiss_fftri (kissInverse, reinterpret_cast<const kiss_fft_cpx*> (bins), samples);
}
} // namespace vendrasolith
