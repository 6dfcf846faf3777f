#include "VantorAudioProcessor.h"
#include "DeclaredLayout.h"
#include "HostFormat.h"
#include "VantorAudioProcessorEditor.h"
#include "VantorParameter.h"

#include "HrirPipeline.h"

#include <algorithm>
#include <cmath>

namespace
{
struct ParameterInfo
{
    const char* name;
    float defaultValue;
};
constexpr std::array<ParameterInfo, VantorAudioProcessor::numParameters> parameterInfo { {
    { "Angle", 0.0f }, { "Width", 1.0f }, { "Gain", 0.9f } } };

/** The channel pairs hosts may run the plug-in with, in the order they are offered. */
constexpr std::array<std::array<int, 2>, 6> channelPairs { { { 2, 2 }, { 1, 2 }, { 6, 2 }, { 6, 6 }, { 8, 2 }, { 8, 8 } } };

bool isCubase (juce::PluginHostType::HostType type) noexcept
{
    using H = juce::PluginHostType;
    constexpr H::HostType cubases[] = { H::SteinbergCubase4, H::SteinbergCubase5, H::SteinbergCubase5Bridged,
                                        H::SteinbergCubase6, H::SteinbergCubase7, H::SteinbergCubase8,
                                        H::SteinbergCubase8_5, H::SteinbergCubase9, H::SteinbergCubase9_5,
                                        H::SteinbergCubase10, H::SteinbergCubase10_5, H::SteinbergCubaseGeneric };
    return std::find (std::begin (cubases), std::end (cubases), type) != std::end (cubases);
}

bool isProTools (juce::PluginHostType::HostType type) noexcept
{
    using H = juce::PluginHostType;
    return type == H::AvidProTools;
}

bool isLogic (juce::PluginHostType::HostType type) noexcept
{
    using H = juce::PluginHostType;
    return type == H::AppleLogic;
}
} // namespace

//==============================================================================
VantorAudioProcessor::VantorAudioProcessor() : VantorAudioProcessor (juce::PluginHostType().type) {}

VantorAudioProcessor::VantorAudioProcessor (juce::PluginHostType::HostType detectedHost, vendrasolith::FftBackend fftBackend)
    : AudioProcessor (BusesProperties().withInput ("Input", juce::AudioChannelSet::stereo(), true)
                                       .withOutput ("Output", juce::AudioChannelSet::stereo(), true)),
      renderer (fftBackend),
      hostType (detectedHost),
      hostDeclaresChannelTypes (vendrasolith::HostFormat::declaresChannelTypes (wrapperType))
{
    setLatencySamples (kLatencySamples);

    for (int i = 0; i < numParameters; ++i)
    {
        auto parameter = std::make_unique<VantorParameter> (*this, i, parameterInfo[(size_t) i].name,
                                                            parameterInfo[(size_t) i].defaultValue);
        parameters[(size_t) i] = parameter.get();
        addParameter (parameter.release());
    }

    for (int i = 0; i < numParameters; ++i)
        parameters[(size_t) i]->setValueNotifyingHost (parameterInfo[(size_t) i].defaultValue);

    inputConfiguration = kNotChosen;
    renderedOutputCount = kRenderedOutputs;
    renderer.setPanGain (4.0f);
    editorRefreshPending = true;
    guiIndex = 0;

    for (auto& channel : dryBlock)
        channel.assign ((size_t) vendrasolith::kMaxBlockSize, 0.0f);
}

VantorAudioProcessor::~VantorAudioProcessor() = default;

//==============================================================================
int VantorAudioProcessor::channelCountOf (int configuration) noexcept
{
    switch (configuration)
    {
        case 0: return 1;
        case 1: return 2;
        case 2: case 3: case 4: case 8: return 6;
        default: return 8;
    }
}

int VantorAudioProcessor::automaticConfiguration (juce::PluginHostType::HostType type, int inputChannels) noexcept
{
    const bool proTools = isProTools (type), logic = isLogic (type);
    switch (inputChannels)
    {
        case 2: return 1;
        case 6: return proTools ? 3 : logic ? 8 : 2;
        case 8: return proTools ? 6 : logic ? 9 : 5;
        default: return 0;
    }
}

bool VantorAudioProcessor::isBusesLayoutSupported (const BusesLayout& layouts) const
{
    const int ins = layouts.getMainInputChannels(), outs = layouts.getMainOutputChannels();
    const bool offered = std::any_of (channelPairs.begin(), channelPairs.end(),
                                      [=] (const auto& pair) { return pair[0] == ins && pair[1] == outs; });
    return offered && (! hostDeclaresChannelTypes || isSupportedDeclaredLayout (layouts));
}

bool VantorAudioProcessor::isSupportedDeclaredLayout (const BusesLayout& layouts) const
{
    // Outputs past the binaural pair are silent, so a host that wants as many outputs as
    // inputs may lay them out as it likes; two outputs must be the stereo pair.
    const auto in = layouts.getMainInputChannelSet(), out = layouts.getMainOutputChannelSet();
    using vendrasolith::DeclaredLayout;
    return DeclaredLayout::isNegotiableInput (in)
        && (out == juce::AudioChannelSet::stereo()
            || (out.size() == in.size() && DeclaredLayout::isNegotiableInput (out)));
}

void VantorAudioProcessor::prepareToPlay (double sampleRate, int)
{
    const auto declared = hostDeclaresChannelTypes ? vendrasolith::DeclaredLayout::pack (getChannelLayoutOfBus (true, 0))
                                                   : std::uint64_t { 0 };
    declaredInput.store (declared);

    if (inputConfiguration.load() == kNotChosen || isCubase (hostType))
    {
        requestInputConfiguration (declared != 0 ? kNotChosen : automaticConfiguration (hostType, getTotalNumInputChannels()));
        applyInputConfiguration();
    }

    setLatencySamples (kLatencySamples);

    if (sampleRate > 0.0)
        bypassFadeLength.store (std::clamp ((int) std::lround (sampleRate * kBypassFadeSeconds), 1, vendrasolith::kMaxBlockSize));

    if (sampleRate > 0.0 && std::isfinite (sampleRate))
        preparedRate.store (sampleRate);
    followSessionRate();
}

//==============================================================================
void VantorAudioProcessor::setTrueRate (bool on)
{
    if (trueRate.exchange (on) != on)
        followSessionRate();
}

double VantorAudioProcessor::wantedResponsesRate() const noexcept
{
    const double rate = preparedRate.load();
    return trueRate.load() && rate >= kLowestTrueRate && rate <= kHighestTrueRate ? rate : vendrasolith::HrirSet::kSampleRate;
}

void VantorAudioProcessor::followSessionRate()
{
    // Nothing to make, nothing to lock: this is all a prepare at an unchanged rate does, which
    // keeps it cheap on a format that prepares on the audio thread when the block size changes.
    if (wantedResponsesRate() == filtersRate.load())
        return;

    const std::lock_guard<std::mutex> hold (filtersLock);
    const double rate = wantedResponsesRate(); // again: another thread may have made them meanwhile
    if (ownHeadResponses || rate == filtersRate.load())
        return;

    using vendrasolith::ConvolutionFilters;
    using vendrasolith::HrirSet;
    try
    {
        const HrirSet embedded;
        std::unique_ptr<ConvolutionFilters> filters;
        if (rate == HrirSet::kSampleRate)
        {
            filters = std::make_unique<ConvolutionFilters> (embedded, renderer.fftBackend());
        }
        else
        {
            const auto table = vendrasolith::hrtf::tableForRate (embedded.values(), HrirSet::kTaps, HrirSet::kSampleRate, rate);
            filters = std::make_unique<ConvolutionFilters> (table.values.data(), table.taps, renderer.fftBackend());
        }
        renderer.queueResponses (std::move (filters));
        filtersRate.store (rate);
    }
    catch (const std::exception&)
    {
        // Out of memory, or a rate no table can be made for: the renderer keeps what it has.
    }
}

void VantorAudioProcessor::setHeadResponses (const float* values, int taps)
{
    const std::lock_guard<std::mutex> hold (filtersLock);
    ownHeadResponses = true;
    renderer.setResponses (values, taps);
}

void VantorAudioProcessor::requestInputConfiguration (int index) noexcept
{
    if (inputConfiguration.exchange (index) != index)
        configurationPending.store (true);
}

void VantorAudioProcessor::applyInputConfiguration() noexcept
{
    // Clear the flag before reading, so a request arriving meanwhile is applied next block.
    configurationPending.store (false);
    const int configuration = inputConfiguration.load();

    if (configuration == kNotChosen)
    {
        if (const auto routing = vendrasolith::DeclaredLayout::routingForPacked (declaredInput.load()))
        {
            activeInputCount.store (routing->channelCount);
            renderer.setRouting (*routing);
            return;
        }
    }

    activeInputCount.store (channelCountOf (configuration));
    renderer.setInputConfiguration (configuration);
}

bool VantorAudioProcessor::readsDeclaredLayout() const noexcept
{
    return inputConfiguration.load() == kNotChosen && declaredInput.load() != 0;
}

int VantorAudioProcessor::getConfigurationInUse() const noexcept
{
    const int configuration = inputConfiguration.load();
    if (configuration != kNotChosen)
        return configuration;
    const auto routing = vendrasolith::DeclaredLayout::routingForPacked (declaredInput.load());
    return routing.has_value() ? routing->matchingConfiguration() : kNotChosen;
}

//==============================================================================
void VantorAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    processChain (buffer, false);
}

void VantorAudioProcessor::processBlockBypassed (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    // Which of the two the framework calls is the switch: every format delivers bypass this way.
    processChain (buffer, true);
}

void VantorAudioProcessor::processChain (juce::AudioBuffer<float>& buffer, bool bypassed) noexcept
{
    if (configurationPending.load())
        applyInputConfiguration();

    if (activeInputCount.load() > getTotalNumInputChannels())
    {
        requestInputConfiguration (0);
        applyInputConfiguration();
    }

    bypassFade.setFadeLength (bypassFadeLength.load());

    const int numSamples = buffer.getNumSamples();
    const int numChannels = buffer.getNumChannels();
    float* const* channels = buffer.getArrayOfWritePointers();

    for (int offset = 0; offset < numSamples; offset += vendrasolith::kMaxBlockSize)
    {
        const int pieceLength = std::min (vendrasolith::kMaxBlockSize, numSamples - offset);
        std::array<float*, 8> piece {};
        for (int c = 0; c < std::min (numChannels, 8); ++c)
            piece[(size_t) c] = channels[c] + offset;
        processPiece (piece.data(), std::min (numChannels, 8), pieceLength, bypassed);
    }

    for (int c = renderedOutputCount; c < getTotalNumOutputChannels() && c < numChannels; ++c)
        buffer.clear (c, 0, numSamples);
}

void VantorAudioProcessor::processPiece (float* const* channels, int numChannels, int numSamples, bool bypassed) noexcept
{
    // The dry signal is taken before the renderer overwrites the buffer in place. It follows
    // the layout in use: where one channel is read (Mono, or the fall-back to it), that
    // channel alone reaches both ears, bypassed as rendered.
    const int readChannels = activeInputCount.load();
    const int dryInputs = readChannels == 1 ? 1 : std::min (getTotalNumInputChannels(), numChannels);
    float* dry[] = { dryBlock[0].data(), dryBlock[1].data() };
    dryDelay.process (channels, dryInputs, dry, numSamples);

    renderer.render (channels, channels, readChannels, numSamples);
    bassBoost.process (channels, numSamples);
    // Only output channels: past them the buffer may hold the host's own input arrays.
    outputGain.process (channels, std::min (numChannels, getTotalNumOutputChannels()), numSamples);

    bypassFade.process (channels, dry, std::min (renderedOutputCount, numChannels), numSamples, bypassed);
}

//==============================================================================
void VantorAudioProcessor::setParameter (int index, float value)
{
    if (! juce::isPositiveAndBelow (index, (int) numParameters))
        return;

    parameterValues[(size_t) index].store (value);

    switch (index)
    {
        case angleIndex: renderer.setAngle (value); break;
        case widthIndex: renderer.setWidth (value); break;
        case gainIndex:  outputGain.setGainParameter (value); break;
        default: break;
    }

    editorRefreshPending = true;
}

float VantorAudioProcessor::getParameterValue (int index) const noexcept
{
    return juce::isPositiveAndBelow (index, (int) numParameters) ? parameterValues[(size_t) index].load() : 0.0f;
}

juce::AudioProcessorParameter* VantorAudioProcessor::getParameterObject (int index) const noexcept
{
    return juce::isPositiveAndBelow (index, (int) numParameters) ? parameters[(size_t) index] : nullptr;
}

juce::AudioProcessorEditor* VantorAudioProcessor::createEditor()
{
    return new VantorAudioProcessorEditor (*this);
}
