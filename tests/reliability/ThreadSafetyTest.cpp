// One instance worked on by three threads at once, as hosts do: the audio thread renders,
// a host thread automates parameters, saves and restores state and requests input
// configurations, and the message thread runs the open editor. Built with the thread
// sanitizer (scripts/test.sh) any data race fails the run; in every build each change
// must be in effect in the first block that starts after it.
#include "VantorAudioProcessor.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <random>
#include <thread>
#include <vector>

namespace guitest
{
void prepareBareDisplay();
}

namespace
{
constexpr double kSampleRate = 48000.0;

/** What the audio thread saw in one block. */
struct Observation
{
    int activeInputs = 0;
    int configuration = 0;
    float rmsLeft = 0.0f, rmsRight = 0.0f; // over the block's last 512 samples
    bool finite = true;
};

/** A processor with 8 inputs and 2 outputs and an audio thread rendering it without
    pause: a steady 3 kHz tone on one chosen input channel. */
class AudioThreadRig
{
public:
    AudioThreadRig (int blockSize, int maxBlocks)
        : processor (juce::PluginHostType::UnknownHost), block (blockSize), observations ((size_t) maxBlocks),
          buffer (8, blockSize)
    {
        processor.setPlayConfigDetails (8, 2, kSampleRate, blockSize);
        processor.requestInputConfiguration (5);
        processor.prepareToPlay (kSampleRate, blockSize);
    }

    ~AudioThreadRig() { stop(); }

    void start()
    {
        thread = std::thread ([this] { run(); });
    }

    void stop()
    {
        stopping = true;
        if (thread.joinable())
            thread.join();
    }

    /** Call right after a change: the index of the first block that starts after it, once
        that block has been rendered, or -1 if the audio thread has stopped. */
    int nextBlockAfterChange()
    {
        const int first = blocksStarted.load();
        while (blocksFinished.load() <= first)
        {
            if (stopping || first >= (int) observations.size())
                return -1;
            std::this_thread::yield();
        }
        return first;
    }

    /** Waits for a few whole blocks, so that glides and fades have settled. */
    void settle (int blocks = 4)
    {
        for (int i = 0; i < blocks; ++i)
            if (nextBlockAfterChange() < 0)
                return;
    }

    /** Valid for blocks up to the last finished one. */
    const Observation& observation (int index) const { return observations[(size_t) index]; }
    int finishedBlocks() const { return blocksFinished.load(); }

    VantorAudioProcessor processor;
    std::atomic<int> toneChannel { 0 };

private:
    void run()
    {
        juce::MidiBuffer midi;
        double phase = 0.0;
        while (! stopping)
        {
            const int index = blocksStarted.fetch_add (1);
            if (index >= (int) observations.size())
                break;

            const int channel = toneChannel.load();
            buffer.clear();
            for (int k = 0; k < block; ++k)
            {
                buffer.setSample (channel, k, 0.25f * (float) std::sin (phase));
                phase = std::fmod (phase + 2.0 * juce::MathConstants<double>::pi * 3000.0 / kSampleRate,
                                   2.0 * juce::MathConstants<double>::pi);
            }

            processor.processBlock (buffer, midi);

            auto& o = observations[(size_t) index];
            o.activeInputs = processor.getActiveInputCount();
            o.configuration = processor.getInputConfiguration();
            const int tail = std::min (512, block);
            o.rmsLeft = buffer.getRMSLevel (0, block - tail, tail);
            o.rmsRight = buffer.getRMSLevel (1, block - tail, tail);
            for (int c = 0; c < 2; ++c)
                for (int k = 0; k < block; ++k)
                    o.finite = o.finite && std::isfinite (buffer.getSample (c, k));

            blocksFinished.store (index + 1);
        }
        stopping = true;
    }

    const int block;
    std::vector<Observation> observations;
    juce::AudioBuffer<float> buffer;
    std::atomic<int> blocksStarted { 0 }, blocksFinished { 0 };
    std::atomic<bool> stopping { false };
    std::thread thread;
};

/** The editor as a host shows it: on the desktop, its timer running on the message thread. */
struct OpenEditor
{
    explicit OpenEditor (juce::AudioProcessor& p) : processor (p), editor (p.createEditorIfNeeded())
    {
        editor->setTopLeftPosition (40, 40);
        editor->addToDesktop (juce::ComponentPeer::windowIsTemporary);
        editor->setVisible (true);
    }

    ~OpenEditor()
    {
        editor->removeFromDesktop();
        processor.editorBeingDeleted (editor.get());
    }

    juce::AudioProcessor& processor;
    std::unique_ptr<juce::AudioProcessorEditor> editor;
};

/** Runs the message loop until the worker is done, doing what the editor's panels do now
    and then from this thread: configuration and bass boost requests, and the rate option
    switched on and off (its filters are made here and taken up by the audio thread). */
void runMessageThreadUntil (const std::atomic<bool>& done, VantorAudioProcessor& processor, bool panelRequests)
{
    int round = 0;
    while (! done.load())
    {
        juce::MessageManager::getInstance()->runDispatchLoopUntil (5);
        if (panelRequests && ++round % 4 == 0)
        {
            processor.requestInputConfiguration (round % 10);
            processor.setBassBoostStep (round % 4);
            processor.setTrueRate (round % 16 < 8);
        }
    }
}

/** The first descendant slider with this name. */
juce::Slider* findSlider (juce::Component& root, const juce::String& name)
{
    for (auto* child : root.getChildren())
    {
        if (auto* slider = dynamic_cast<juce::Slider*> (child); slider != nullptr && slider->getName() == name)
            return slider;
        if (auto* found = findSlider (*child, name))
            return found;
    }
    return nullptr;
}

TEST (ThreadSafety, HostAudioAndMessageThreadsTogether)
{
    AudioThreadRig rig (256, 100000);
    auto& processor = rig.processor;
    OpenEditor editor (processor);
    rig.start();

    std::atomic<bool> hostDone { false };
    std::thread host ([&]
    {
        std::mt19937 rng (7);
        std::uniform_real_distribution<float> unit (0.0f, 1.0f);
        auto& parameters = processor.getParameters();
        juce::MemoryBlock saved;
        processor.getStateInformation (saved);

        // Long enough for many editor ticks (50 ms) and many blocks, in any build.
        const auto start = std::chrono::steady_clock::now();
        auto elapsed = [&] { return std::chrono::steady_clock::now() - start; };
        for (int i = 0; (elapsed() < std::chrono::milliseconds (600) || rig.finishedBlocks() < 300)
                        && elapsed() < std::chrono::seconds (30) && rig.finishedBlocks() < 90000; ++i)
        {
            // Automation through both of a host's entry points.
            parameters[i % 3]->setValue (unit (rng));
            parameters[(i + 1) % 3]->setValueNotifyingHost (unit (rng));
            processor.setParameter ((i + 2) % 3, unit (rng));
            processor.requestInputConfiguration ((int) (unit (rng) * 10.0f));
            rig.toneChannel = i % 8;

            if (i % 5 == 0)
                processor.getStateInformation (saved);
            if (i % 7 == 0)
                processor.setStateInformation (saved.getData(), (int) saved.getSize());
            std::this_thread::sleep_for (std::chrono::microseconds (50));
        }

        // Values the knobs show exactly (they move in whole steps).
        parameters[VantorAudioProcessor::angleIndex]->setValue (0.25f);
        parameters[VantorAudioProcessor::widthIndex]->setValue (0.5f);
        parameters[VantorAudioProcessor::gainIndex]->setValue (0.8f);
        hostDone = true;
    });

    runMessageThreadUntil (hostDone, processor, true);
    host.join();
    rig.stop();

    ASSERT_GT (rig.finishedBlocks(), 100) << "the audio thread hardly ran";
    for (int i = 0; i < rig.finishedBlocks(); ++i)
        ASSERT_TRUE (rig.observation (i).finite) << "block " << i;

    // The editor ends up showing the host's last values: no refresh was lost on the way.
    for (int waited = 0; waited < 3000 && processor.isEditorRefreshPending(); waited += 10)
        juce::MessageManager::getInstance()->runDispatchLoopUntil (10);
    ASSERT_FALSE (processor.isEditorRefreshPending());
    auto* angle = findSlider (*editor.editor, "sliderAngle");
    auto* width = findSlider (*editor.editor, "sliderWidth");
    auto* gain = findSlider (*editor.editor, "sliderGain");
    ASSERT_TRUE (angle != nullptr && width != nullptr && gain != nullptr);
    EXPECT_EQ (angle->getValue(), 90.0);
    EXPECT_EQ (width->getValue(), 50.0);
    EXPECT_EQ (gain->getValue(), -10.0);
}

// A change made on the host thread is heard in the first block that starts after it.
TEST (ThreadSafety, EveryChangeTakesEffectByTheNextBlock)
{
    AudioThreadRig rig (2048, 100000);
    auto& processor = rig.processor;
    auto& parameters = processor.getParameters();
    OpenEditor editor (processor);
    rig.start();

    struct Failure
    {
        std::string what;
    };
    std::vector<Failure> failures;
    std::atomic<bool> hostDone { false };

    std::thread host ([&]
    {
        auto check = [&] (bool ok, const std::string& what, int block)
        {
            if (! ok)
            {
                const auto& o = rig.observation (block);
                failures.push_back ({ what + " (block " + std::to_string (block) + ": inputs " + std::to_string (o.activeInputs)
                                      + ", configuration " + std::to_string (o.configuration) + ", rms "
                                      + std::to_string (o.rmsLeft) + " / " + std::to_string (o.rmsRight) + ")" });
            }
        };
        auto level = [&] (int block) { return rig.observation (block).rmsLeft + rig.observation (block).rmsRight; };

        for (int round = 0; round < 3; ++round)
        {
            // Configuration: the tone sits on the seventh input, which only 7.1 layouts read.
            rig.toneChannel = 6;
            processor.requestInputConfiguration (5);
            rig.settle();
            processor.requestInputConfiguration (2);
            int b = rig.nextBlockAfterChange();
            if (b < 0) break;
            check (rig.observation (b).configuration == 2 && rig.observation (b).activeInputs == 6, "5.1 requested", b);
            check (level (b) < 1.0e-3f, "5.1 does not read the seventh input", b);
            processor.requestInputConfiguration (9);
            b = rig.nextBlockAfterChange();
            if (b < 0) break;
            check (rig.observation (b).configuration == 9 && rig.observation (b).activeInputs == 8, "7.1 requested", b);
            check (level (b) > 1.0e-2f, "7.1 reads the seventh input", b);

            // Gain: 0 dB -> -40 dB -> 0 dB moves the level within the next block.
            processor.requestInputConfiguration (5);
            rig.toneChannel = 0;
            parameters[VantorAudioProcessor::gainIndex]->setValue (0.9f);
            rig.settle();
            b = rig.nextBlockAfterChange();
            if (b < 0) break;
            const float loud = level (b);
            parameters[VantorAudioProcessor::gainIndex]->setValue (0.5f);
            b = rig.nextBlockAfterChange();
            if (b < 0) break;
            check (level (b) < 0.1f * loud, "gain lowered", b);
            parameters[VantorAudioProcessor::gainIndex]->setValue (0.9f);
            b = rig.nextBlockAfterChange();
            if (b < 0) break;
            check (level (b) > 0.5f * loud, "gain raised", b);

            // Width and Angle: the front-left input moves to the right (90 degrees) when Width
            // collapses everything onto Angle, and to the left (270 degrees) when Angle turns.
            parameters[VantorAudioProcessor::angleIndex]->setValue (0.25f);
            parameters[VantorAudioProcessor::widthIndex]->setValue (1.0f);
            rig.settle();
            b = rig.nextBlockAfterChange();
            if (b < 0) break;
            check (rig.observation (b).rmsLeft > 1.5f * rig.observation (b).rmsRight, "front left is left", b);
            parameters[VantorAudioProcessor::widthIndex]->setValue (0.0f);
            b = rig.nextBlockAfterChange();
            if (b < 0) break;
            check (rig.observation (b).rmsRight > 1.5f * rig.observation (b).rmsLeft, "width 0 at 90 degrees is right", b);
            parameters[VantorAudioProcessor::angleIndex]->setValue (0.75f);
            b = rig.nextBlockAfterChange();
            if (b < 0) break;
            check (rig.observation (b).rmsLeft > 1.5f * rig.observation (b).rmsRight, "width 0 at 270 degrees is left", b);

            // A restored state is a change like any other.
            juce::MemoryBlock state;
            processor.getStateInformation (state);
            processor.requestInputConfiguration (2);
            processor.setParameter (VantorAudioProcessor::gainIndex, 0.0f);
            rig.settle();
            processor.setStateInformation (state.getData(), (int) state.getSize());
            b = rig.nextBlockAfterChange();
            if (b < 0) break;
            check (rig.observation (b).configuration == 5 && rig.observation (b).activeInputs == 8, "restored configuration", b);
            check (rig.observation (b).rmsLeft > 1.5f * rig.observation (b).rmsRight, "restored angle and width", b);
            check (level (b) > 0.5f * loud, "restored gain", b);
        }
        hostDone = true;
    });

    runMessageThreadUntil (hostDone, processor, false);
    host.join();
    rig.stop();

    for (const auto& f : failures)
        ADD_FAILURE() << f.what;
    EXPECT_GT (rig.finishedBlocks(), 30);
}
} // namespace

int main (int argc, char** argv)
{
    ::testing::InitGoogleTest (&argc, argv);
    guitest::prepareBareDisplay();
    // This thread is the message thread, as in a host.
    juce::ScopedJuceInitialiser_GUI gui;
    return RUN_ALL_TESTS();
}
