#pragma once

#include <cstddef>
#include <array>

struct kiss_fftr_state;
struct fftwf_plan_s;

namespace vendrasolith
{
/** The libraries the convolver can transform with. Both give the same result to within
    float rounding; FFTW is several times faster, KISS FFT is the plain reference. */
enum class FftBackend
{
    fftw,
    kiss
};

/** FFTW where the build has it, otherwise KISS FFT. */
FftBackend defaultFftBackend() noexcept;
bool isFftBackendAvailable (FftBackend backend) noexcept;
/** "fftw" or "kiss", as the benchmarks print it. */
const char* fftBackendName (FftBackend backend) noexcept;

/** A complex bin: real part first, the layout both libraries use. */
struct Complex
{
    float re;
    float im;
};

/** The 1024-point real transform pair of the convolver, unnormalised (a forward and an
    inverse transform in a row scale by 1024). Everything is planned at construction;
    forward and inverse neither allocate nor lock. Every buffer handed to them must be
    aligned to kAlignment bytes: FFTW's plans are made for aligned arrays. */
class RealFft
{
public:
    static constexpr int kSize = 1024;
    static constexpr int kNumBins = kSize / 2 + 1;
    static constexpr std::size_t kAlignment = 64;

    /** An unavailable backend falls back to KISS FFT; backend() tells which one runs. */
    explicit RealFft (FftBackend requested);
    ~RealFft();

    RealFft (const RealFft&) = delete;
    RealFft& operator= (const RealFft&) = delete;

    FftBackend backend() const noexcept { return chosen; }

    /** kSize samples in, kNumBins bins out. The input is left as it was. */
    void forward (const float* samples, Complex* bins) noexcept;

    /** kNumBins bins in, kSize samples out. The bins are used as scratch and left
        undefined, which spares FFTW a copy. */
    void inverse (Complex* bins, float* samples) noexcept;

private:
    FftBackend chosen;
    kiss_fftr_state* kissForward = nullptr;
    kiss_fftr_state* kissInverse = nullptr;
    // The process's shared FFTW plans while this instance holds them: complex transforms
    // of half the size, with the split into real-input bins done here (see RealFft.cpp).
    fftwf_plan_s* fftwForward = nullptr;
    fftwf_plan_s* fftwInverse = nullptr;
    static constexpr int kHalf = kSize / 2;
    struct alignas (kAlignment) HalfSpectrum { std::array<Complex, kHalf> bins; };
    HalfSpectrum scratch {};
    std::array<Complex, kHalf / 2> twiddles {}; // e^(-2πik/kSize), k = 0…kHalf/2 − 1
};

/** Aligned storage for transform input and output. */
template <typename T, std::size_t N>
struct alignas (RealFft::kAlignment) AlignedArray : std::array<T, N> {};
} // namespace vendrasolith
