// Times the plug-in's processBlock at 48 kHz as a host would call it, and reports the
// memory one instance takes. Prints one line per case:
//   config=<mono|stereo|5.1|7.1> buffer=<64|512> cpu_percent=<x> worst_block_percent=<x>
// cpu_percent is the average share of one core; worst_block_percent is the slowest
// block's time as a share of its real-time budget (buffer / 48000 s). Both count the
// thread's CPU time, so a loaded machine does not inflate them; the cost of reading that
// clock (a system call, comparable to a whole 64-sample block) is measured first and
// taken off every block's time, and printed on stderr. Each case runs several
// times: cpu_percent is the median run, worst_block_percent the worst block of the
// quietest run, since a stray interrupt in one run says nothing about the plug-in.
//
// Then 7.1 at 64-sample buffers twice more, with the bass boost on: steady, and with
// Angle, Width, Gain and the bass boost step all changing before every block, as under
// dense host automation:
//   config=7.1 buffer=64 automation=<steady|every_block> cpu_percent=<x> worst_block_percent=<x>
//   automation_ratio=<x>
// automation_ratio is the automated case's cpu_percent over the steady one's.
#include "VantorAudioProcessor.h"

#include <malloc.h>
#include "ThreadClock.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

namespace
{
struct Layout
{
    const char* name;
    int channels;
};

constexpr double kSampleRate = 48000.0;
// Many short runs rather than a few long ones: the quietest of them shows the plug-in's own
// worst block, which is the same in every run, without the machine's stray interrupts.
constexpr double kSecondsPerRun = 1.0;
constexpr int kRunsPerCase = 30;
// Automated parameters sweep at the same speed whatever the length of a run.
constexpr double kSweepSeconds = 4.0;


/** What an empty interval between two reads of the thread clock measures: the part of
    the reads themselves that falls inside it (median of many). */
double clockOverhead()
{
    std::vector<double> empty (2001);
    for (auto& e : empty)
    {
        const double start = threadSeconds();
        e = threadSeconds() - start;
    }
    std::nth_element (empty.begin(), empty.begin() + (long) empty.size() / 2, empty.end());
    return empty[empty.size() / 2];
}

double overhead = 0.0;

struct RunResult
{
    double cpuShare, worstShare;
};

enum class Automation { occasionalGain, steady, everyBlock };

RunResult runOnce (const Layout& layout, int bufferSize, Automation automation)
{
    auto processor = std::make_unique<VantorAudioProcessor>();
    const int outs = layout.channels == 1 ? 2 : layout.channels;
    processor->setPlayConfigDetails (layout.channels, outs, kSampleRate, bufferSize);
    processor->prepareToPlay (kSampleRate, bufferSize);
    processor->setParameter (VantorAudioProcessor::angleIndex, 0.1f);
    processor->setParameter (VantorAudioProcessor::widthIndex, 0.8f);
    if (automation != Automation::occasionalGain)
        processor->setBassBoostStep (2);

    juce::AudioBuffer<float> buffer (std::max (layout.channels, outs), bufferSize);
    juce::MidiBuffer midi;
    std::mt19937 rng (1);
    std::uniform_real_distribution<float> dist (-0.5f, 0.5f);

    const int blocks = (int) (kSecondsPerRun * kSampleRate / bufferSize);
    double total = 0.0, worst = 0.0;

    for (int b = 0; b < blocks; ++b)
    {
        for (int c = 0; c < buffer.getNumChannels(); ++c)
            for (int k = 0; k < bufferSize; ++k)
                buffer.setSample (c, k, dist (rng));

        // Automation now and then, as a host would send it between blocks.
        if (automation == Automation::occasionalGain && b % 50 == 0)
            processor->setParameter (VantorAudioProcessor::gainIndex, 0.85f + 0.1f * dist (rng));

        // Dense automation: slow sweeps of Angle, Width and Gain, a new bass step each block.
        if (automation == Automation::everyBlock)
        {
            const float phase = (float) (b * bufferSize / (kSweepSeconds * kSampleRate));
            processor->setParameter (VantorAudioProcessor::angleIndex, phase);
            processor->setParameter (VantorAudioProcessor::widthIndex, 0.5f + 0.4f * std::sin (40.0f * phase));
            processor->setParameter (VantorAudioProcessor::gainIndex, 0.85f + 0.05f * std::cos (25.0f * phase));
            processor->setBassBoostStep (1 + b % 3);
        }

        const double start = threadSeconds();
        processor->processBlock (buffer, midi);
        const double seconds = std::max (threadSeconds() - start - overhead, 0.0);
        total += seconds;
        worst = std::max (worst, seconds);
    }

    const double budget = bufferSize / kSampleRate;
    return { total / (blocks * budget), worst / budget };
}

RunResult runCase (const Layout& layout, int bufferSize, Automation automation)
{
    std::vector<double> cpuShares;
    double quietestWorst = 1.0e9;
    for (int run = 0; run < kRunsPerCase; ++run)
    {
        const auto result = runOnce (layout, bufferSize, automation);
        cpuShares.push_back (result.cpuShare);
        quietestWorst = std::min (quietestWorst, result.worstShare);
    }
    std::sort (cpuShares.begin(), cpuShares.end());
    return { cpuShares[cpuShares.size() / 2], quietestWorst };
}

void print (const Layout& layout, int bufferSize, const char* automation, const RunResult& result)
{
    std::printf ("config=%s buffer=%d%s%s cpu_percent=%.3f worst_block_percent=%.2f\n", layout.name, bufferSize,
                 automation != nullptr ? " automation=" : "", automation != nullptr ? automation : "",
                 100.0 * result.cpuShare, 100.0 * result.worstShare);
    std::fflush (stdout);
}

void reportMemory()
{
    const auto before = mallinfo2().uordblks;
    auto processor = std::make_unique<VantorAudioProcessor>();
    const auto after = mallinfo2().uordblks;
    std::printf ("memory_per_instance_bytes=%zu\n", (size_t) (after - before) + sizeof (VantorAudioProcessor));
}
} // namespace

int main()
{
    juce::ScopedJuceInitialiser_GUI framework;
    overhead = clockOverhead();
    std::fprintf (stderr, "thread clock read: %.0f ns, taken off every block\n", overhead * 1.0e9);
    const Layout layouts[] = { { "mono", 1 }, { "stereo", 2 }, { "5.1", 6 }, { "7.1", 8 } };
    for (int bufferSize : { 64, 512 })
        for (const auto& layout : layouts)
            print (layout, bufferSize, nullptr, runCase (layout, bufferSize, Automation::occasionalGain));

    const auto& surround = layouts[3];
    const auto steady = runCase (surround, 64, Automation::steady);
    print (surround, 64, "steady", steady);
    const auto automated = runCase (surround, 64, Automation::everyBlock);
    print (surround, 64, "every_block", automated);
    std::printf ("automation_ratio=%.2f\n", automated.cpuShare / steady.cpuShare);

    reportMemory();
    return 0;
}
