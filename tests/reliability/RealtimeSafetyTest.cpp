// The audio thread must never allocate, free or lock: a host's real-time thread cannot
// wait for the allocator or for another thread holding a lock.
#include "RealtimeGuard.h"
#include "VantorAudioProcessor.h"

#include "BassBoostStage.h"
#include "BinauralRenderer.h"
#include "OutputGainStage.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <mutex>
#include <ostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace rtguard
{
std::ostream& operator<< (std::ostream& os, const Counts& c)
{
    return os << "new " << c.operatorNew << ", delete " << c.operatorDelete << ", malloc " << c.mallocs
              << ", free " << c.frees << ", locks " << c.locks;
}
} // namespace rtguard

namespace
{
/** The FFT backends this build has: the processor is checked on each. */
std::vector<vendrasolith::FftBackend> availableBackends()
{
    std::vector<vendrasolith::FftBackend> backends;
    for (const auto backend : { vendrasolith::FftBackend::fftw, vendrasolith::FftBackend::kiss })
        if (vendrasolith::isFftBackendAvailable (backend))
            backends.push_back (backend);
    return backends;
}

/** Keeps the optimiser from removing an allocation whose result is never used. */
inline void escape (void* p) { asm volatile ("" : : "g"(p) : "memory"); }

// Without this the main test would pass however much the processor allocated.
TEST (RealtimeGuard, SeesAllocationsFreesAndLocksOfItsThreadOnly)
{
    rtguard::Guard guard;
    {
        auto p = std::make_unique<int> (3);
        escape (p.get());
    }
    void* m = std::malloc (64);
    escape (m);
    std::free (m);
    std::mutex mutex;
    mutex.lock();
    mutex.unlock();

    const auto counts = guard.counts();
    EXPECT_EQ (counts.operatorNew, 1) << counts;
    EXPECT_EQ (counts.operatorDelete, 1) << counts;
    EXPECT_GE (counts.mallocs, 2) << counts;
    EXPECT_GE (counts.frees, 2) << counts;
    if (rtguard::seesLocks())
    {
        EXPECT_EQ (counts.locks, 1) << counts;
    }

    // Another thread's allocations are not this guard's business (starting a thread
    // allocates on this one, so the other thread waits until it has been counted).
    std::atomic<bool> go { false };
    std::thread other ([&go]
    {
        while (! go.load())
            std::this_thread::yield();
        escape (std::make_unique<int> (4).get());
    });
    const auto before = guard.counts();
    go = true;
    other.join();
    EXPECT_EQ (guard.counts().total(), before.total()) << guard.counts();
}

struct Case
{
    int configuration;
    int ins, outs;
    std::vector<int> laterConfigurations; // requested between blocks; too wide ones fall back to mono
    juce::AudioChannelSet declaredInput {}; // a VST3 host's layout; -1 above hands the channels to it
};

class ProcessingAndBypass : public ::testing::TestWithParam<vendrasolith::FftBackend> {};

std::string backendLabel (const ::testing::TestParamInfo<vendrasolith::FftBackend>& info)
{
    return vendrasolith::fftBackendName (info.param);
}

TEST_P (ProcessingAndBypass, NeitherAllocateNorLock)
{
    const auto backend = GetParam();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const Case cases[] = {
        { 0, 1, 2, { 0, 1, 5 } },
        { 1, 2, 2, { 0, 1, 2, 42 } },
        { 2, 6, 6, { 3, 4, 8, 0, 1, 5 } },
        { 3, 6, 2, { 4, 8, 2 } },
        { 4, 6, 6, { 8, 2, 3 } },
        { 8, 6, 2, { 2, 3, 4 } },
        { 5, 8, 8, { 6, 7, 9, 0, 1, 2, -3 } },
        { 6, 8, 2, { 7, 9, 5 } },
        { 7, 8, 8, { 9, 5, 6 } },
        { 9, 8, 2, { 5, 6, 7 } },
        { -1, 8, 2, { 5, -1, 0, -1 }, juce::AudioChannelSet::create7point1() },
        { -1, 8, 8, { -1, 9, -1 }, juce::AudioChannelSet::create7point1SDDS() },
        { -1, 6, 2, { 2, -1, 1, -1 }, juce::AudioChannelSet::create5point1() },
    };
    const int blockSizes[] = { 1, 17, 256, 512, 1000, 4096, 8192, 8193, 20000, 64 };
    const float parameterValues[] = { 0.0f, 0.25f, 0.5f, 1.0f, 0.9f, -1.0f, 2.0f, nan, inf, 0.7f };
    constexpr int maxBlock = 20000;

    for (const auto& c : cases)
    {
        SCOPED_TRACE (std::string (vendrasolith::fftBackendName (backend)) + ", configuration " + std::to_string (c.configuration));

        // Everything a host sets up before the audio starts may allocate.
        const bool declared = ! c.declaredInput.isDisabled();
        if (declared)
            juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_VST3);
        VantorAudioProcessor processor (juce::PluginHostType::UnknownHost, backend);
        juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_Undefined);
        if (declared)
        {
            juce::AudioProcessor::BusesLayout layout;
            layout.inputBuses.add (c.declaredInput);
            layout.outputBuses.add (c.outs == 2 ? juce::AudioChannelSet::stereo() : c.declaredInput);
            ASSERT_TRUE (processor.setBusesLayout (layout));
        }
        else
        {
            processor.setPlayConfigDetails (c.ins, c.outs, 48000.0, 512);
        }
        processor.requestInputConfiguration (c.configuration);
        processor.prepareToPlay (48000.0, 512);
        const int channels = std::max (c.ins, c.outs);
        juce::AudioBuffer<float> source (channels, maxBlock), io (channels, maxBlock);
        std::mt19937 rng (static_cast<unsigned> (c.configuration));
        std::uniform_real_distribution<float> dist (-0.5f, 0.5f);
        for (int ch = 0; ch < channels; ++ch)
            for (int k = 0; k < maxBlock; ++k)
                source.setSample (ch, k, dist (rng));
        juce::MidiBuffer midi;
        auto& parameters = processor.getParameters();

        rtguard::Counts counts;
        size_t step = 0;
        int preparation = 0;
        for (const double sampleRate : { 48000.0, 96000.0, 44100.0, 192000.0 })
        {
            // Hosts prepare again between blocks, off the audio thread; a new rate changes
            // the length of a bypass crossfade that may be under way. The rate option goes
            // on and off with it, so the audio thread takes up new filters while playing
            // and crossfades to them.
            processor.setTrueRate (preparation++ % 2 == 1);
            processor.prepareToPlay (sampleRate, 512);
            rtguard::Guard guard;

            for (int blockSize : blockSizes)
            {
                // What hosts do between blocks on the audio thread: automation through
                // either entry point, bass boost and configuration changes.
                const float value = parameterValues[step % std::size (parameterValues)];
                parameters[(int) (step % 3)]->setValue (value);
                processor.setParameter ((int) ((step + 1) % 3), parameterValues[(step + 3) % std::size (parameterValues)]);
                processor.setBassBoostStep (1 + (int) (step % 3));
                if (step % 2 == 1)
                    processor.requestInputConfiguration (c.laterConfigurations[(step / 2) % c.laterConfigurations.size()]);
                ++step;

                // A view on preallocated memory, as the format wrappers hand it over.
                for (int ch = 0; ch < channels; ++ch)
                    juce::FloatVectorOperations::copy (io.getWritePointer (ch), source.getReadPointer (ch), blockSize);
                juce::AudioBuffer<float> block (io.getArrayOfWritePointers(), channels, blockSize);

                // Bypass toggled while playing: on and off every few blocks, so switches
                // land on every block size, some in the middle of a crossfade.
                if ((step / 3) % 2 == 1)
                    processor.processBlockBypassed (block, midi);
                else
                    processor.processBlock (block, midi);

                for (int ch = 0; ch < std::min (2, c.outs); ++ch)
                    for (int k = 0; k < blockSize; ++k)
                        ASSERT_TRUE (std::isfinite (io.getSample (ch, k))) << "block " << blockSize;
            }

            const auto round = guard.counts();
            counts.operatorNew += round.operatorNew;
            counts.operatorDelete += round.operatorDelete;
            counts.mallocs += round.mallocs;
            counts.frees += round.frees;
            counts.locks += round.locks;
        }

        EXPECT_EQ (counts.total(), 0) << counts;
    }
}

INSTANTIATE_TEST_SUITE_P (RealtimeSafety, ProcessingAndBypass, ::testing::ValuesIn (availableBackends()), backendLabel);

// The options panel switches the rate option on the message thread while the audio thread
// plays: the filters are made there, and the audio thread only takes them up.
class RateOptionSwitch : public ::testing::TestWithParam<vendrasolith::FftBackend> {};

TEST_P (RateOptionSwitch, WhilePlayingNeitherAllocatesNorLocks)
{
    constexpr int blockSize = 512;
    VantorAudioProcessor processor (juce::PluginHostType::UnknownHost, GetParam());
    processor.setPlayConfigDetails (8, 2, 96000.0, blockSize);
    processor.requestInputConfiguration (5);
    processor.prepareToPlay (96000.0, blockSize);

    juce::AudioBuffer<float> source (8, blockSize), io (8, blockSize);
    std::mt19937 rng (11);
    std::uniform_real_distribution<float> dist (-0.5f, 0.5f);
    for (int ch = 0; ch < 8; ++ch)
        for (int k = 0; k < blockSize; ++k)
            source.setSample (ch, k, dist (rng));
    juce::MidiBuffer midi;

    std::atomic<int> switches { 0 };
    std::atomic<bool> done { false };
    std::thread messageThread ([&]
    {
        for (bool on = true; ! done.load(); on = ! on)
        {
            processor.setTrueRate (on);
            switches.fetch_add (1);
            std::this_thread::sleep_for (std::chrono::milliseconds (2));
        }
    });

    rtguard::Counts counts;
    bool finite = true;
    {
        rtguard::Guard guard;
        for (int block = 0; (block < 300 || switches.load() < 20) && block < 200000; ++block)
        {
            for (int ch = 0; ch < 8; ++ch)
                juce::FloatVectorOperations::copy (io.getWritePointer (ch), source.getReadPointer (ch), blockSize);
            processor.processBlock (io, midi);
            for (int ch = 0; ch < 2; ++ch)
                for (int k = 0; k < blockSize; ++k)
                    finite = finite && std::isfinite (io.getSample (ch, k));
        }
        counts = guard.counts();
    }
    done = true;
    messageThread.join();

    EXPECT_GE (switches.load(), 20) << "the option hardly changed while playing";
    EXPECT_TRUE (finite);
    EXPECT_EQ (counts.total(), 0) << counts;
}

INSTANTIATE_TEST_SUITE_P (RealtimeSafety, RateOptionSwitch, ::testing::ValuesIn (availableBackends()), backendLabel);

// The bare render chain on each backend, with controls changing, channels falling silent
// and any block size.
TEST (RealtimeSafety, RenderChainNeitherAllocatesNorLocksOnEitherBackend)
{
    for (const auto backend : availableBackends())
    {
        SCOPED_TRACE (vendrasolith::fftBackendName (backend));

        auto renderer = std::make_unique<vendrasolith::BinauralRenderer> (backend);
        vendrasolith::BassBoostStage bass;
        vendrasolith::OutputGainStage gain;
        renderer->setPanGain (4.0f);
        constexpr int maxBlock = 20000;
        std::vector<std::vector<float>> audio (8, std::vector<float> (maxBlock));
        std::array<float*, 8> channels {};
        for (size_t c = 0; c < audio.size(); ++c)
            channels[c] = audio[c].data();
        std::mt19937 rng (3);
        std::uniform_real_distribution<float> dist (-0.5f, 0.5f);

        rtguard::Guard guard;
        int step = 0;
        for (int blockSize : { 1, 64, 767, 768, 769, 512, 8192, 20000, 97 })
        {
            for (int repeat = 0; repeat < 3; ++repeat, ++step)
            {
                renderer->setInputConfiguration (step % 10);
                renderer->setAngle (dist (rng) + 0.5f);
                renderer->setWidth (dist (rng) + 0.5f);
                bass.setStep (step % 4);
                gain.setGainParameter (0.8f + 0.2f * dist (rng));
                for (size_t c = 0; c < audio.size(); ++c)
                    for (int k = 0; k < blockSize; ++k)
                        audio[c][(size_t) k] = (c + (size_t) step) % 3 == 0 ? 0.0f : dist (rng);

                renderer->render (channels.data(), channels.data(), 8, blockSize);
                bass.process (channels.data(), blockSize);
                gain.process (channels.data(), 2, blockSize);
            }
        }
        const auto counts = guard.counts();
        EXPECT_EQ (counts.total(), 0) << counts;
    }
}
} // namespace
