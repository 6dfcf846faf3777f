// Soak: a long stretch of generated 7.1 programme (one hour by default) through one
// processor instance at 48 kHz, with new random automation before every block: Angle,
// Width and Gain always, the 7.1 channel order and the bass boost now and then.
// Prints one line:
//   soak audio_s=<x> block=<n> blocks=<n> wall_s=<x> cpu_s=<x> process_cpu_s=<x> realtime_x=<x>
//        p999_block_us=<x> worst_block_us=<x> worst_block_percent=<x> worst_block_at_s=<x>
//        over_budget=<n> output_peak=<x> non_finite=<n>
// wall_s and cpu_s cover the whole run, generating the programme included; process_cpu_s
// is the CPU time spent in processBlock alone and realtime_x the audio it rendered per
// second of it. Block times count the thread's CPU time, so a preempted block is not
// blamed on the plug-in; p999 is the 99.9th percentile, the worst block is also given as
// a share of its real-time budget and by where in the programme it fell, and over_budget
// counts blocks that took longer than the audio they hold. On a virtual machine a vCPU
// descheduled by its host still counts as the thread's time: a worst block far above the
// percentile that falls elsewhere on every run is the machine, not the plug-in.
//
// Then one line on denormal-range input, which must cost no more than ordinary audio:
//   denormal block=<n> normal_us=<x> denormal_us=<x> ratio=<x> tiny_us=<x> tiny_ratio=<x>
// (median CPU time per block; "denormal" is input below the smallest normal float,
// "tiny" is input just above it, whose products inside the chain fall into that range).
//
// Usage: vendrasolith_soak_bench [seconds of audio, default 3600] [block size, default 512]
#include "VantorAudioProcessor.h"

#include "ThreadClock.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

namespace
{
constexpr double kSampleRate = 48000.0;
constexpr int kChannels = 8;

/** Small and fast, so generating the programme costs little next to rendering it. */
struct Random
{
    std::uint32_t state = 0x9e3779b9u;
    std::uint32_t next() noexcept
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    float unit() noexcept { return (float) (next() >> 8) / 16777216.0f; }
    float bipolar() noexcept { return 2.0f * unit() - 1.0f; }
};

/** A rough 7.1 programme: a tone per channel that glides between pitches, noise, and
    passages where single channels or the whole mix fall silent. Each tone is a rotating
    phasor, so generating an hour of it costs little next to rendering it. */
class Programme
{
public:
    void fill (juce::AudioBuffer<float>& buffer, int numSamples, Random& random)
    {
        for (int c = 0; c < kChannels; ++c)
        {
            auto& v = voices[(size_t) c];
            if (random.unit() < 0.01f)
                v.targetStep = 2.0 * juce::MathConstants<double>::pi * (40.0 + 4000.0 * random.unit() * random.unit()) / kSampleRate;
            if (random.unit() < 0.005f)
                v.silent = ! v.silent;

            // The pitch glides from block to block; within a block the phasor turns evenly.
            v.step += 0.2 * (v.targetStep - v.step);
            const double cw = std::cos (v.step), sw = std::sin (v.step);
            const double norm = 1.0 / std::sqrt (v.re * v.re + v.im * v.im);
            v.re *= norm;
            v.im *= norm;

            float* out = buffer.getWritePointer (c);
            const float level = v.silent ? 0.0f : (c == 3 ? 0.5f : 0.2f); // the LFE channel louder
            for (int k = 0; k < numSamples; ++k)
            {
                const double re = v.re * cw - v.im * sw;
                v.im = v.re * sw + v.im * cw;
                v.re = re;
                out[k] = level * ((float) v.im + 0.3f * random.bipolar());
            }
        }
    }

private:
    struct Voice
    {
        double re = 1.0, im = 0.0, step = 0.05, targetStep = 0.05;
        bool silent = false;
    };
    std::array<Voice, kChannels> voices {};
};

void soak (double seconds, int blockSize)
{
    VantorAudioProcessor processor (juce::PluginHostType::UnknownHost);
    processor.setPlayConfigDetails (kChannels, 2, kSampleRate, blockSize);
    processor.requestInputConfiguration (5);
    processor.prepareToPlay (kSampleRate, blockSize);

    juce::AudioBuffer<float> buffer (kChannels, blockSize);
    juce::MidiBuffer midi;
    Random random;
    Programme programme;
    constexpr int sevenOneOrders[] = { 5, 6, 7, 9 };

    const long long blocks = (long long) (seconds * kSampleRate / blockSize);
    double worstBlock = 0.0, processSeconds = 0.0;
    long long worstAt = 0, overBudget = 0;
    const double budget = blockSize / kSampleRate;
    std::vector<float> blockTimes;
    blockTimes.reserve ((size_t) blocks);
    float peak = 0.0f;
    long long nonFinite = 0;

    const auto wallStart = std::chrono::steady_clock::now();
    const double cpuStart = threadSeconds();
    for (long long b = 0; b < blocks; ++b)
    {
        // Automation as a busy host sends it: every block, on the audio thread.
        processor.setParameter (VantorAudioProcessor::angleIndex, random.unit());
        processor.setParameter (VantorAudioProcessor::widthIndex, random.unit());
        processor.setParameter (VantorAudioProcessor::gainIndex, 0.5f + 0.5f * random.unit());
        if (random.unit() < 0.01f)
            processor.requestInputConfiguration (sevenOneOrders[random.next() % 4]);
        if (random.unit() < 0.01f)
            processor.setBassBoostStep ((int) (random.next() % 4));

        programme.fill (buffer, blockSize, random);

        const double start = threadSeconds();
        processor.processBlock (buffer, midi);
        const double took = threadSeconds() - start;
        processSeconds += took;
        blockTimes.push_back ((float) took);
        overBudget += took > budget ? 1 : 0;
        if (took > worstBlock)
        {
            worstBlock = took;
            worstAt = b;
        }

        for (int c = 0; c < 2; ++c)
        {
            const float* out = buffer.getReadPointer (c);
            for (int k = 0; k < blockSize; ++k)
            {
                if (! std::isfinite (out[k]))
                    ++nonFinite;
                else
                    peak = std::max (peak, std::fabs (out[k]));
            }
        }
    }
    const double wall = std::chrono::duration<double> (std::chrono::steady_clock::now() - wallStart).count();
    const double cpu = threadSeconds() - cpuStart;
    const double audioSeconds = (double) blocks * blockSize / kSampleRate;

    const auto p999 = blockTimes.begin() + (long) (blockTimes.size() * 999 / 1000);
    std::nth_element (blockTimes.begin(), p999, blockTimes.end());

    std::printf ("soak audio_s=%.0f block=%d blocks=%lld wall_s=%.1f cpu_s=%.1f process_cpu_s=%.1f realtime_x=%.0f "
                 "p999_block_us=%.0f worst_block_us=%.0f worst_block_percent=%.1f worst_block_at_s=%.1f "
                 "over_budget=%lld output_peak=%.3f non_finite=%lld\n",
                 audioSeconds, blockSize, blocks, wall, cpu, processSeconds, audioSeconds / processSeconds,
                 (double) *p999 * 1.0e6, worstBlock * 1.0e6, 100.0 * worstBlock / budget,
                 (double) worstAt * budget, overBudget, (double) peak, nonFinite);
}

/** Median CPU time of a block whose input samples have random signs and magnitudes in [low, high). */
double medianBlockSeconds (int blockSize, float low, float high)
{
    VantorAudioProcessor processor (juce::PluginHostType::UnknownHost);
    processor.setPlayConfigDetails (kChannels, 2, kSampleRate, blockSize);
    processor.requestInputConfiguration (5);
    processor.prepareToPlay (kSampleRate, blockSize);
    processor.setParameter (VantorAudioProcessor::widthIndex, 0.7f);
    processor.setBassBoostStep (2);

    juce::AudioBuffer<float> source (kChannels, blockSize), buffer (kChannels, blockSize);
    Random random;
    for (int c = 0; c < kChannels; ++c)
        for (int k = 0; k < blockSize; ++k)
            source.setSample (c, k, (random.next() & 1u ? 1.0f : -1.0f) * (low + (high - low) * random.unit()));

    juce::MidiBuffer midi;
    std::vector<double> times;
    for (int b = 0; b < 3000; ++b)
    {
        buffer.makeCopyOf (source, true);
        const double start = threadSeconds();
        processor.processBlock (buffer, midi);
        if (b >= 100) // past the first blocks' warm-up
            times.push_back (threadSeconds() - start);
    }
    std::nth_element (times.begin(), times.begin() + (long) times.size() / 2, times.end());
    return times[times.size() / 2];
}

void denormals (int blockSize)
{
    const float smallest = std::numeric_limits<float>::min();
    const double normal = medianBlockSeconds (blockSize, 0.0f, 0.5f);
    const double denormal = medianBlockSeconds (blockSize, 0.0f, smallest);
    const double tiny = medianBlockSeconds (blockSize, smallest, 2.0f * smallest);
    std::printf ("denormal block=%d normal_us=%.1f denormal_us=%.1f ratio=%.2f tiny_us=%.1f tiny_ratio=%.2f\n",
                 blockSize, normal * 1.0e6, denormal * 1.0e6, denormal / normal, tiny * 1.0e6, tiny / normal);
}
} // namespace

int main (int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof (argv[1]) : 3600.0;
    const int blockSize = argc > 2 ? std::max (1, std::atoi (argv[2])) : 512;
    soak (seconds, blockSize);
    denormals (blockSize);
    return 0;
}
