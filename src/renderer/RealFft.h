#pragma once

#include <cstddef>
#include <array>
#include <memory>
#include <new>

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

/** Heap storage aligned for the transforms, zeroed at construction; for buffers whose size
    is known only at run time. */
template <typename T>
class AlignedBuffer
{
public:
    AlignedBuffer() = default;
    explicit AlignedBuffer (std::size_t count);

    T* data() noexcept { return items.get(); }
    const T* data() const noexcept { return items.get(); }
    std::size_t size() const noexcept { return count; }
    T& operator[] (std::size_t i) noexcept { return items[i]; }
    const T& operator[] (std::size_t i) const noexcept { return items[i]; }

private:
    struct Release
    {
        void operator() (T* p) const noexcept;
    };
    std::unique_ptr<T[], Release> items;
    std::size_t count = 0;
};

/** The convolver's real transform pair, unnormalised (a forward and an inverse transform in
    a row scale by the size): 1024 points for the 256-tap table, 2048 or 4096 for the longer
    responses of tables made for higher sample rates. Everything is planned at construction;
    forward and inverse neither allocate nor lock. Every buffer handed to them must be
    aligned to kAlignment bytes: FFTW's plans are made for aligned arrays. */
class RealFft
{
public:
    static constexpr int kSize = 1024;
    static constexpr int kNumBins = kSize / 2 + 1;
    static constexpr int kLargestSize = 4096;
    static constexpr std::size_t kAlignment = 64;

    /** Sizes the transforms come in: powers of two from kSize to kLargestSize. */
    static bool isSupportedSize (int size) noexcept;

    /** An unavailable backend falls back to KISS FFT; backend() tells which one runs. An
        unsupported size is a programming error (std::invalid_argument). */
    explicit RealFft (FftBackend requested, int size = kSize);
    ~RealFft();

    RealFft (const RealFft&) = delete;
    RealFft& operator= (const RealFft&) = delete;

    FftBackend backend() const noexcept { return chosen; }
    int size() const noexcept { return n; }
    int numBins() const noexcept { return n / 2 + 1; }

    /** size() samples in, numBins() bins out. The input is left as it was. */
    void forward (const float* samples, Complex* bins) noexcept;

    /** numBins() bins in, size() samples out. The bins are used as scratch and left
        undefined, which spares FFTW a copy. */
    void inverse (Complex* bins, float* samples) noexcept;

private:
    FftBackend chosen;
    int n;
    kiss_fftr_state* kissForward = nullptr;
    kiss_fftr_state* kissInverse = nullptr;
    // The process's shared FFTW plans for this size while this instance holds them: complex
    // transforms of half the size, with the split into real-input bins done here (see RealFft.cpp).
    fftwf_plan_s* fftwForward = nullptr;
    fftwf_plan_s* fftwInverse = nullptr;
    AlignedBuffer<Complex> scratch; // n / 2 bins
    AlignedBuffer<Complex> twiddles; // e^(-2πik/n), k = 0…n/4 − 1
};

/** Aligned storage for transform input and output. */
template <typename T, std::size_t N>
struct alignas (RealFft::kAlignment) AlignedArray : std::array<T, N> {};

template <typename T>
AlignedBuffer<T>::AlignedBuffer (std::size_t size)
    : items (static_cast<T*> (::operator new[] (size * sizeof (T), std::align_val_t { RealFft::kAlignment }))),
      count (size)
{
    for (std::size_t i = 0; i < size; ++i)
        new (items.get() + i) T {};
}

template <typename T>
void AlignedBuffer<T>::Release::operator() (T* p) const noexcept
{
    ::operator delete[] (p, std::align_val_t { RealFft::kAlignment });
}
} // namespace vendrasolith
