#include "OfflineRender.h"

#include "Progress.h"
#include "VantorAudioProcessor.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace vendrasolith::cli
{
namespace
{
// A fresh processor starts its panning gains at zero and its output and bass gains at
// their own defaults, and glides every one of them to the chosen settings with a time
// constant of about 200 samples (within a millionth after about 3000). Rendering this much
// silence first lets every glide finish, so the file's first sample already plays at full
// level. The silence always runs in blocks of the same size, so where each glide comes to
// rest (which depends on the block boundaries) is the same whatever --block says, and the
// render of a file does not depend on its block size. Silence in gives exact zeros out,
// so nothing of it reaches the file.
constexpr int kSettleFrames = 8192;
constexpr int kSettleBlock = 512;

bool isSilentFrame (const float* left, const float* right, int k) noexcept
{
    return left[k] == 0.0f && right[k] == 0.0f;
}

class Emitter
{
public:
    Emitter (OutputFile& out, juce::int64 inputFrames, bool integer, int blockSize)
        : output (out), inputLength (inputFrames), integerOutput (integer), zeros ((size_t) blockSize, 0.0f)
    {
    }

    /** Takes frames whose output position starts at `position`. Frames within the input's
        length are written as they are; frames of the tail are held back while silent, so the
        tail ends with its last sound. */
    void take (float* left, float* right, int numFrames, juce::int64 position, RenderSummary& summary)
    {
        sanitise (left, numFrames, summary);
        sanitise (right, numFrames, summary);

        const int body = (int) std::clamp<juce::int64> (inputLength - position, 0, numFrames);
        if (body > 0)
            writeNow (left, right, body);

        for (int k = body; k < numFrames;)
        {
            if (isSilentFrame (left, right, k))
            {
                ++heldSilence;
                ++k;
                continue;
            }
            int end = k;
            while (end < numFrames && ! isSilentFrame (left, right, end))
                ++end;
            releaseSilence();
            writeNow (left + k, right + k, end - k);
            k = end;
        }
    }

    juce::int64 framesWritten() const noexcept { return written; }

private:
    void sanitise (float* samples, int numFrames, RenderSummary& summary) noexcept
    {
        for (int k = 0; k < numFrames; ++k)
        {
            float& x = samples[k];
            if (! std::isfinite (x))
            {
                x = 0.0f;
                ++summary.nonFiniteOutput;
                continue;
            }
            const float magnitude = std::fabs (x);
            summary.peak = std::max (summary.peak, magnitude);
            if (integerOutput && magnitude > 1.0f)
                ++summary.clipped;
        }
    }

    void writeNow (const float* left, const float* right, int numFrames)
    {
        output.write (left, right, numFrames);
        written += numFrames;
    }

    void releaseSilence()
    {
        while (heldSilence > 0)
        {
            const int n = (int) std::min<juce::int64> (heldSilence, (juce::int64) zeros.size());
            writeNow (zeros.data(), zeros.data(), n);
            heldSilence -= n;
        }
    }

    OutputFile& output;
    const juce::int64 inputLength;
    const bool integerOutput;
    std::vector<float> zeros;
    juce::int64 heldSilence = 0;
    juce::int64 written = 0;
};

juce::int64 countNonFinite (const float* const* channels, int numChannels, int numFrames) noexcept
{
    juce::int64 count = 0;
    for (int c = 0; c < numChannels; ++c)
        for (int k = 0; k < numFrames; ++k)
            count += std::isfinite (channels[c][k]) ? 0 : 1;
    return count;
}
} // namespace

RenderSummary renderOffline (SampleSource& source, OutputFile& output, const RenderSettings& settings, bool integerOutput)
{
    const double rate = source.sampleRate();
    const int blockSize = settings.blockSize;
    const int inputs = VantorAudioProcessor::channelCountOf (settings.configuration);

    auto processor = std::make_unique<VantorAudioProcessor> (juce::PluginHostType::UnknownHost);
    processor->setPlayConfigDetails (inputs, VantorAudioProcessor::kRenderedOutputs, rate, blockSize);
    if (processor->getTotalNumInputChannels() != inputs)
        throw RenderError ("the processor does not accept " + std::to_string (inputs) + " input channels");

    // The same values the editor's knobs and option lists hand the processor.
    const auto setParameter = [&] (int index, double value)
    {
        processor->getParameterObject (index)->setValueNotifyingHost ((float) value);
    };
    setParameter (VantorAudioProcessor::angleIndex, settings.angleDegrees / 360.0);
    setParameter (VantorAudioProcessor::widthIndex, settings.widthPercent / 100.0);
    setParameter (VantorAudioProcessor::gainIndex, (settings.gainDecibels + 90.0) / 100.0);
    processor->setBassBoostStep (settings.bassStep);
    // A listener's own table is made for the input's rate already (see HeadResponses.h).
    if (settings.headResponses)
        processor->setHeadResponses (settings.headResponses->values.data(), settings.headResponses->taps);
    else
        processor->setTrueRate (settings.trueRate);
    processor->requestInputConfiguration (settings.configuration);
    processor->prepareToPlay (rate, blockSize);

    const int bufferChannels = std::max (inputs, VantorAudioProcessor::kRenderedOutputs);
    juce::AudioBuffer<float> io (bufferChannels, std::max (blockSize, kSettleBlock));
    float* const* channels = io.getArrayOfWritePointers();
    juce::MidiBuffer midi;

    const auto process = [&] (int numFrames)
    {
        juce::AudioBuffer<float> block (channels, bufferChannels, 0, numFrames);
        processor->processBlock (block, midi);
    };
    const auto clear = [&] (int numFrames)
    {
        for (int c = 0; c < bufferChannels; ++c)
            juce::FloatVectorOperations::clear (channels[c], numFrames);
    };

    for (int done = 0; done < kSettleFrames; done += kSettleBlock)
    {
        clear (kSettleBlock);
        process (kSettleBlock);
    }

    const juce::int64 inputLength = source.lengthInFrames();
    // The tail is the responses' ring-out and the bass boost's decay: well under a second.
    const juce::int64 tailLimit = settings.keepTail ? std::max<juce::int64> ((juce::int64) std::ceil (rate), 4096) : 0;
    const juce::int64 outputLimit = inputLength + tailLimit;
    juce::int64 latencyLeft = processor->getLatencySamples();
    juce::int64 framesRead = 0, position = 0;

    RenderSummary summary;
    Emitter emitter (output, inputLength, integerOutput, blockSize);
    Progress progress (inputLength, rate);

    while (position < outputLimit)
    {
        clear (blockSize);
        const int fromInput = (int) std::clamp<juce::int64> (inputLength - framesRead, 0, blockSize);
        if (fromInput > 0)
        {
            if (! source.readNext (channels, inputs, fromInput))
                throw RenderError ("reading the input failed at frame " + std::to_string (framesRead));
            summary.nonFiniteInput += countNonFinite (channels, inputs, fromInput);
            framesRead += fromInput;
        }

        process (blockSize);

        const int skip = (int) std::min<juce::int64> (latencyLeft, blockSize);
        latencyLeft -= skip;
        const int count = (int) std::min<juce::int64> (blockSize - skip, outputLimit - position);
        if (count > 0)
        {
            emitter.take (channels[0] + skip, channels[1] + skip, count, position, summary);
            position += count;
        }
        progress.update (framesRead);
    }

    summary.speed = progress.finish (framesRead);
    summary.outputFrames = emitter.framesWritten();
    return summary;
}
} // namespace vendrasolith::cli
