#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>

/** The entry point every fuzz target defines; libFuzzer or ReplayMain.cpp calls it. */
extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size);

namespace fuzz
{
/** Reads a fuzzer's bytes as a script. Once the bytes run out every read returns zero,
    so any input, including an empty one, is a complete script. */
class Input
{
public:
    Input (const std::uint8_t* d, std::size_t n) noexcept : data (d), size (n) {}

    bool empty() const noexcept { return position >= size; }

    std::uint8_t byte() noexcept { return position < size ? data[position++] : 0; }

    std::uint16_t u16() noexcept { return (std::uint16_t) (byte() | (byte() << 8)); }

    std::uint32_t u32() noexcept { return (std::uint32_t) u16() | ((std::uint32_t) u16() << 16); }

    /** An integer in [low, high]. */
    int range (int low, int high) noexcept
    {
        const auto span = (std::uint32_t) (high - low) + 1u;
        return low + (int) (u32() % span);
    }

    /** Any float bit pattern: NaNs, infinities, denormals and extremes included. */
    float rawFloat() noexcept
    {
        const std::uint32_t bits = u32();
        float f;
        std::memcpy (&f, &bits, sizeof (f));
        return f;
    }

    /** A parameter value: usually a plain one in or near 0…1, often a special one. */
    float parameterValue() noexcept
    {
        static constexpr float specials[] = { 0.0f, 1.0f, 0.5f, -0.0f, -1.0f, 2.0f, 1.0e30f, -1.0e30f,
                                              std::numeric_limits<float>::quiet_NaN(),
                                              std::numeric_limits<float>::infinity(),
                                              -std::numeric_limits<float>::infinity(),
                                              std::numeric_limits<float>::denorm_min(),
                                              std::numeric_limits<float>::max(),
                                              std::numeric_limits<float>::lowest(),
                                              std::numeric_limits<float>::min(), 0.9f };
        switch (byte() % 4)
        {
            case 0: return specials[byte() % std::size (specials)];
            case 1: return rawFloat();
            default: return (float) u16() / 43690.0f - 0.25f; // -0.25 … 1.25
        }
    }

private:
    const std::uint8_t* data;
    std::size_t size;
    std::size_t position = 0;
};

/** Audio of a kind the script chooses: tones, noise, impulses, silence, denormals, and
    bursts of NaN or infinities. Finite samples stay within ±amplitude (at most 10⁴, a signal
    80 dB over full scale); what the plug-in then outputs must be finite. */
class AudioSource
{
public:
    void configure (Input& in) noexcept
    {
        kind = in.byte() % 9;
        amplitude = (float) (in.byte() + 1) / 256.0f * (in.byte() % 8 == 0 ? 10000.0f : 1.0f);
        period = 2 + in.u16() % 2000;
        seed = in.u32() | 1u;
        burstEvery = 1 + in.u16() % 4096;
    }

    float next (int channel) noexcept
    {
        ++counter;
        seed = seed * 1664525u + 1013904223u;
        const float noise = ((float) (seed >> 8) / 8388608.0f - 1.0f) * amplitude;
        const float tone = (float) ((counter + (std::uint32_t) channel * 7u) % (std::uint32_t) period) / (float) period;
        const bool burst = counter % (std::uint32_t) burstEvery < 8;

        switch (kind)
        {
            case 0: return 0.0f;
            case 1: return noise;
            case 2: return (2.0f * tone - 1.0f) * amplitude;
            case 3: return counter % (std::uint32_t) period == 0 ? amplitude : 0.0f;
            case 4: return noise * 1.0e-39f; // denormal range
            case 5: return burst ? std::numeric_limits<float>::quiet_NaN() : noise;
            case 6: return burst ? (channel % 2 == 0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity()) : noise;
            case 7: return burst ? std::numeric_limits<float>::denorm_min() : noise * 1.0e-30f;
            default: return counter % 3 == 0 ? -amplitude : amplitude;
        }
    }

private:
    int kind = 0;
    float amplitude = 0.5f;
    int period = 100;
    std::uint32_t seed = 1;
    int burstEvery = 100;
    std::uint32_t counter = 0;
};
} // namespace fuzz
