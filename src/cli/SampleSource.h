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
    /** Frames the source really holds. */
    virtual juce::int64 lengthInFrames() const = 0;
    /** Frames its header announces: more than it holds when a file was cut short. */
    virtual juce::int64 announcedFrames() const { return lengthInFrames(); }
    /** Channels the source holds; a render may read fewer. */
    virtual int numChannels() const = 0;

    /** Reads the next numFrames frames of the first numDest channels; false on a read error. */
    virtual bool readNext (float* const* dest, int numDest, int numFrames) = 0;
};

/** A WAV, AIFF, FLAC or Ogg Vorbis file that holds audio. A file cut short reads as long
    as what it holds. Throws RenderError when the file cannot be opened or holds no audio. */
std::unique_ptr<SampleSource> openAudioFile (const std::string& path);

/** How much of what its header announces a source lacks, as a warning
    ("input ended after 0.104 s of the 3.000 s its header announces"); empty when it lacks nothing. */
std::string describeShortfall (const SampleSource& source);
} // namespace vendrasolith::cli
