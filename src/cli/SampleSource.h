#pragma once

#include <juce_audio_formats/juce_audio_formats.h>

#include <memory>
#include <string>

namespace vendrasolith::cli
{
/** Audio read front to back, one block at a time, so a file of any length streams through. */
class SampleSource
{
public:
    virtual ~SampleSource() = default;

    virtual double sampleRate() const = 0;
    virtual juce::int64 lengthInFrames() const = 0;
    /** Channels the source holds; a render may read fewer. */
    virtual int numChannels() const = 0;

    /** Reads the next numFrames frames of the first numDest channels; false on a read error. */
    virtual bool readNext (float* const* dest, int numDest, int numFrames) = 0;
};

/** A WAV, AIFF, FLAC or Ogg Vorbis file. Throws RenderError when it cannot be opened. */
std::unique_ptr<SampleSource> openAudioFile (const std::string& path);
} // namespace vendrasolith::cli
