#pragma once

#include "BassBoostStage.h"
#include "BinauralRenderer.h"
#include "BypassCrossfade.h"
#include "DryDelayLine.h"
#include "OutputGainStage.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

class VantorParameter;

/** The plug-in's audio object: renders the host's input channels binaurally according
    to the chosen input configuration, with Angle, Width and Gain as host parameters.

    Threads: the host's audio thread runs processBlock; parameters, state and the
    editor's requests may arrive on any other thread. Everything they hand over is
    atomic and reaches the audio path at the start of the next block.

    Bypass: while the host calls processBlockBypassed, outputs 0 and 1 carry host inputs 0
    and 1 (a single input on both) late by the reported latency, so a bypassed track keeps
    time with the rest of the mix; further outputs are silent. The whole chain keeps running
    while bypassed, so either switch is a short crossfade between two signals that are both
    there: no gap, no stale audio.

    Declared layouts: where the host says which loudspeaker each input channel is (VST3; in
    LV2 each bundle's metadata designates its input ports, HostFormat),
    and no configuration has been chosen in the options panel or restored with a project,
    the declared layout decides at every prepareToPlay: each channel is heard from the
    loudspeaker of its type (DeclaredLayout), the configuration stays "not chosen" (saved
    as -1, so a project follows its track's layout when it is reopened), and the options
    panel shows the configuration that reads the layout in its order, if one does. A chosen
    or restored configuration wins and reads channels by position, as in every other format;
    in Cubase the declared layout decides at every prepareToPlay, as the channel count does
    there in VST 2.4. */
class VantorAudioProcessor : public juce::AudioProcessor
{
public:
    enum ParameterIndex { angleIndex = 0, widthIndex = 1, gainIndex = 2, numParameters = 3 };

    static constexpr int kLatencySamples = vendrasolith::BinauralRenderer::kLatency + 24;
    static constexpr int kRenderedOutputs = 2;
    static constexpr int kNotChosen = -1;
    /** How long a bypass switch crossfades, at the sample rate given to prepareToPlay. */
    static constexpr double kBypassFadeSeconds = 0.015;

    VantorAudioProcessor();
    /** For hosts detected otherwise, and for tests that stand in for a particular host or
        run the convolver on the other FFT backend. */
    explicit VantorAudioProcessor (juce::PluginHostType::HostType hostType,
                                   vendrasolith::FftBackend fftBackend = vendrasolith::defaultFftBackend());
    ~VantorAudioProcessor() override;

    //==============================================================================
    const juce::String getName() const override { return "Vendrasolith"; }
    void prepareToPlay (double sampleRate, int estimatedSamplesPerBlock) override;
    void releaseResources() override {}
    using AudioProcessor::processBlock;
    using AudioProcessor::processBlockBypassed;
    void processBlock (juce::AudioBuffer<float>&, juce::MidiBuffer&) override;
    void processBlockBypassed (juce::AudioBuffer<float>&, juce::MidiBuffer&) override;
    bool isBusesLayoutSupported (const BusesLayout&) const override;

    const juce::String getInputChannelName (int index) const override { return juce::String (index + 1); }
    const juce::String getOutputChannelName (int index) const override { return juce::String (index + 1); }
    bool isInputChannelStereoPair (int) const override { return true; }
    bool isOutputChannelStereoPair (int) const override { return true; }

    double getTailLengthSeconds() const override { return 0.0; }
    bool acceptsMidi() const override { return true; }
    bool producesMidi() const override { return false; }

    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override { return true; }

    int getNumPrograms() override { return 1; }
    int getCurrentProgram() override { return 0; }
    void setCurrentProgram (int) override {}
    const juce::String getProgramName (int) override { return "Default"; }
    void changeProgramName (int, const juce::String&) override {}

    void getStateInformation (juce::MemoryBlock& destData) override;
    void setStateInformation (const void* data, int sizeInBytes) override;

    //==============================================================================
    /** Stores a parameter value as received and hands it on (clamped where it is used).
        Never notifies the host; indices outside 0…2 are ignored. */
    void setParameter (int index, float value) override;
    float getParameterValue (int index) const noexcept;
    /** The parameter object of an index, for gestures and host notification. */
    juce::AudioProcessorParameter* getParameterObject (int index) const noexcept;

    void requestInputConfiguration (int index) noexcept;
    void applyInputConfiguration() noexcept;
    int getInputConfiguration() const noexcept { return inputConfiguration.load(); }
    /** The configuration the channels are read by: the chosen one, or while none is chosen
        the one that reads the host's declared layout in its order; -1 if there is none. */
    int getConfigurationInUse() const noexcept;
    /** Whether the channels are read by the types the host declared rather than by a configuration. */
    bool readsDeclaredLayout() const noexcept;
    int getActiveInputCount() const noexcept { return activeInputCount.load(); }
    bool isConfigurationPending() const noexcept { return configurationPending.load(); }

    /** Listens through another table of head-related responses (the embedded one is the
        default), e.g. one the offline renderer made from a listener's own measurements for
        the rate it renders at: the table is used as it is from then on, and the rate option
        no longer applies. 16 responses of `taps` taps (ear-major, as in HrirSet). Not
        concurrent with processing: call it before prepareToPlay or while the host is not
        processing. */
    void setHeadResponses (const float* values, int taps);

    /** The rate option. Off (the default), the 44.1 kHz table is used as it is at every
        sample rate, so at other rates every interaural delay and spectral feature is
        scaled by 44.1 kHz over the rate. On, the renderer listens through the table
        resampled to the rate prepareToPlay gives, with as many taps as keep its time, so
        delays in microseconds and features in hertz are those of the measurement at any
        rate from kLowestTrueRate to kHighestTrueRate (outside it the table is used as it
        is); the latency stays 792 samples. The filters are made on the calling thread (any
        thread but the audio thread) and the audio thread crossfades to them at the start
        of a block. Saved in the state only while on. */
    void setTrueRate (bool on);
    bool isTrueRate() const noexcept { return trueRate.load(); }
    /** The sample rate of the table last handed to the renderer (44.1 kHz with the option
        off); the audio thread takes it up at the start of its next block. */
    double getResponsesSampleRate() const noexcept { return filtersRate.load(); }

    static constexpr double kLowestTrueRate = 8000.0;
    static constexpr double kHighestTrueRate = 768000.0;

    void setBassBoostStep (int step) noexcept { bassBoost.setStep (step); }
    int getBassBoostStep() const noexcept { return bassBoost.getStep(); }

    int getGuiIndex() const noexcept { return guiIndex.load(); }
    void setGuiIndex (int index) noexcept { guiIndex.store (index); }

    bool isEditorRefreshPending() const noexcept { return editorRefreshPending.load(); }
    void setEditorRefreshPending (bool pending) noexcept { editorRefreshPending.store (pending); }

    juce::PluginHostType::HostType getHostType() const noexcept { return hostType; }

    /** The channel count an input configuration reads (8 for anything unknown). */
    static int channelCountOf (int configuration) noexcept;
    /** The configuration chosen for a fresh instance from the host's input channel count. */
    static int automaticConfiguration (juce::PluginHostType::HostType, int inputChannels) noexcept;

    /** Samples a bypass switch takes to fade: 15 ms at the prepared sample rate. */
    int getBypassFadeLength() const noexcept { return bypassFadeLength.load(); }

private:
    bool isSupportedDeclaredLayout (const BusesLayout&) const;
    /** Gives the renderer the filters the rate option and the prepared rate call for, if
        they are not the ones it has. */
    void followSessionRate();
    double wantedResponsesRate() const noexcept;
    void processChain (juce::AudioBuffer<float>&, bool bypassed) noexcept;
    void processPiece (float* const* channels, int numChannels, int numSamples, bool bypassed) noexcept;

    vendrasolith::BinauralRenderer renderer;
    vendrasolith::OutputGainStage outputGain;
    const juce::PluginHostType::HostType hostType;
    const bool hostDeclaresChannelTypes;
    // The host's declared input layout (DeclaredLayout::pack), 0 when channels are read by count.
    std::atomic<std::uint64_t> declaredInput { 0 };
    std::atomic<int> activeInputCount { 8 };
    int renderedOutputCount = kRenderedOutputs;
    std::array<std::atomic<float>, numParameters> parameterValues {};
    std::atomic<bool> editorRefreshPending { true };
    std::atomic<bool> configurationPending { false };
    std::atomic<int> inputConfiguration { kNotChosen };
    vendrasolith::BassBoostStage bassBoost;
    std::atomic<int> guiIndex { 0 };
    std::array<VantorParameter*, numParameters> parameters {};

    // The latency-matched dry signal and the fade to and from it (audio thread only).
    vendrasolith::DryDelayLine dryDelay { kLatencySamples };
    vendrasolith::BypassCrossfade bypassFade;
    std::array<std::vector<float>, vendrasolith::DryDelayLine::kNumOutputs> dryBlock;
    std::atomic<int> bypassFadeLength { vendrasolith::BypassCrossfade::kDefaultFadeLength };

    // The rate option: the rate the host prepared, and that of the table handed to the
    // renderer. Filters are made under the lock, which only message and host threads take.
    std::atomic<bool> trueRate { false };
    std::atomic<double> preparedRate { 0.0 };
    std::atomic<double> filtersRate { vendrasolith::HrirSet::kSampleRate };
    std::mutex filtersLock;
    bool ownHeadResponses = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VantorAudioProcessor)
};
