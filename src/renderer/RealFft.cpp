#include "RealFft.h"

#include <kissfft/kiss_fftr.h>

#include <new>

#if VENDRASOLITH_HAVE_FFTW
 #include <fftw3.h>
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
        on a busy machine two plans could differ and round differently, and instances
        that must agree sample for sample would not. Sharing one plan pair makes every
        live instance run the very same algorithm, even if other code in the host
        imports FFTW wisdom between two constructions. */
    struct SharedPlans
    {
        std::mutex lock;
        fftwf_plan forward = nullptr;
        fftwf_plan inverse = nullptr;
        int users = 0;
        bool plannerMadeThreadSafe = false;
    };

    SharedPlans shared;

    // Called with the lock held.
    bool makeSharedPlans() noexcept
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

        // Planned on FFTW's own aligned arrays; the convolver's buffers have the same
        // alignment, which the new-array execute functions require.
        auto* samples = static_cast<float*> (fftwf_malloc (sizeof (float) * RealFft::kSize));
        auto* bins = static_cast<fftwf_complex*> (fftwf_malloc (sizeof (fftwf_complex) * RealFft::kNumBins));

        if (samples != nullptr && bins != nullptr)
        {
            shared.forward = fftwf_plan_dft_r2c_1d (RealFft::kSize, samples, bins, FFTW_ESTIMATE);
            shared.inverse = fftwf_plan_dft_c2r_1d (RealFft::kSize, bins, samples, FFTW_ESTIMATE | FFTW_DESTROY_INPUT);
        }

        fftwf_free (samples);
        fftwf_free (bins);

        if (shared.forward != nullptr && shared.inverse != nullptr)
            return true;

        if (shared.forward != nullptr)
            fftwf_destroy_plan (shared.forward);
        if (shared.inverse != nullptr)
            fftwf_destroy_plan (shared.inverse);
        shared.forward = shared.inverse = nullptr;
        return false;
    }

    bool acquireSharedPlans (fftwf_plan& forward, fftwf_plan& inverse) noexcept
    {
        const std::lock_guard<std::mutex> hold (shared.lock);

        if (shared.users == 0 && ! makeSharedPlans())
            return false;

        ++shared.users;
        forward = shared.forward;
        inverse = shared.inverse;
        return true;
    }

    void releaseSharedPlans() noexcept
    {
        const std::lock_guard<std::mutex> hold (shared.lock);

        if (--shared.users > 0)
            return;

        fftwf_destroy_plan (shared.forward);
        fftwf_destroy_plan (shared.inverse);
        shared.forward = shared.inverse = nullptr;
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

RealFft::RealFft (FftBackend requested)
    : chosen (isFftBackendAvailable (requested) ? requested : FftBackend::kiss)
{
#if VENDRASOLITH_HAVE_FFTW
    if (chosen == FftBackend::fftw)
    {
        if (! acquireSharedPlans (fftwForward, fftwInverse))
            throw std::bad_alloc();
        return;
    }
#endif

    kissForward = kiss_fftr_alloc (kSize, 0, nullptr, nullptr);
    kissInverse = kiss_fftr_alloc (kSize, 1, nullptr, nullptr);

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
        releaseSharedPlans();
#endif
    kiss_fftr_free (kissForward);
    kiss_fftr_free (kissInverse);
}

void RealFft::forward (const float* samples, Complex* bins) noexcept
{
#if VENDRASOLITH_HAVE_FFTW
    if (fftwForward != nullptr)
    {
        // An out-of-place real forward transform leaves its input as it was (FFTW's
        // default for r2c); the convolver's zero padding relies on that.
        fftwf_execute_dft_r2c (fftwForward, const_cast<float*> (samples), reinterpret_cast<fftwf_complex*> (bins));
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
        fftwf_execute_dft_c2r (fftwInverse, reinterpret_cast<fftwf_complex*> (bins), samples);
        return;
    }
#endif
    kiss_fftri (kissInverse, reinterpret_cast<const kiss_fft_cpx*> (bins), samples);
}
} // namespace vendrasolith
