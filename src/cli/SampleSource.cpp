#include "SampleSource.h"

#include "CommandLine.h"
#include "FlacLengthHidingStream.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace vendrasolith::cli
{
namespace
{
class FileSource final : public SampleSource
{
public:
    FileSource (std::unique_ptr<juce::AudioFormatReader> r, juce::int64 held, juce::int64 announced)
        : reader (std::move (r)), framesHeld (held), framesAnnounced (announced)
    {
    }

    double sampleRate() const override { return reader->sampleRate; }
    juce::int64 lengthInFrames() const override { return framesHeld; }
    juce::int64 announcedFrames() const override { return framesAnnounced; }
    int numChannels() const override { return (int) reader->numChannels; }

    bool readNext (float* const* dest, int numDest, int numFrames) override
    {
        const bool ok = reader->read (dest, numDest, position, numFrames);
        position += numFrames;
        return ok;
    }

private:
    std::unique_ptr<juce::AudioFormatReader> reader;
    const juce::int64 framesHeld, framesAnnounced;
    juce::int64 position = 0;
};

/** Whole frames a file in a format that keeps its samples uncompressed in one place (WAV,
    AIFF) really holds: the framework's readers take the header's length and read silence
    past the end of a file cut short, but mapping the samples stops at the file's end. */
juce::int64 uncompressedFramesHeld (juce::AudioFormat& format, const juce::File& file, juce::int64 announced)
{
    std::unique_ptr<juce::MemoryMappedAudioFormatReader> mapped (format.createMemoryMappedReader (file));
    if (mapped == nullptr)
        return announced;
    if (mapped->mapEntireFile())
        return mapped->getMappedSection().getEnd();

    // An empty range of samples cannot be mapped: when the file itself can be, it ends
    // where its samples should begin.
    return juce::MemoryMappedFile (file, juce::MemoryMappedFile::readOnly).getData() != nullptr ? 0 : announced;
}

juce::AudioFormat* formatOf (juce::AudioFormatManager& formats, const juce::AudioFormatReader& reader)
{
    for (auto* format : formats)
        if (format->getFormatName() == reader.getFormatName())
            return format;
    return nullptr;
}

std::string seconds (juce::int64 frames, double rate)
{
    char text[32];
    std::snprintf (text, sizeof (text), "%.3f s", (double) frames / rate);
    return text;
}
} // namespace

std::unique_ptr<SampleSource> openAudioFile (const std::string& path)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path file (path);

    if (! fs::exists (file, error))
        throw RenderError ("input '" + path + "' does not exist");
    if (fs::is_directory (file, error))
        throw RenderError ("input '" + path + "' is a folder, not an audio file");

    const auto absolute = juce::File::getCurrentWorkingDirectory().getChildFile (juce::String (path));
    auto fileStream = std::make_unique<juce::FileInputStream> (absolute);
    if (fileStream->failedToOpen())
        throw RenderError ("cannot open input '" + path + "': " + fileStream->getStatus().getErrorMessage().toStdString());

    auto stream = std::make_unique<FlacLengthHidingStream> (std::move (fileStream));
    const auto flacAnnounced = stream->announcedLength();

    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    std::unique_ptr<juce::AudioFormatReader> reader (formats.createReaderFor (std::move (stream)));
    if (reader == nullptr)
        throw RenderError ("input '" + path + "' is not a WAV, AIFF, FLAC or Ogg Vorbis file");

    if (reader->numChannels < 1 || ! (reader->sampleRate > 0.0) || reader->lengthInSamples < 0)
        throw RenderError ("input '" + path + "' has no usable audio");

    // The FLAC reader has counted what decodes; the others' lengths come from the header
    // (WAV, AIFF) or from the last intact page (Ogg, which announces no length of its own).
    auto* format = formatOf (formats, *reader);
    const bool isFlac = dynamic_cast<juce::FlacAudioFormat*> (format) != nullptr;
    const juce::int64 announced = isFlac && flacAnnounced ? *flacAnnounced : reader->lengthInSamples;
    const juce::int64 held = format != nullptr && ! isFlac ? uncompressedFramesHeld (*format, absolute, reader->lengthInSamples)
                                                           : reader->lengthInSamples;

    if (held <= 0)
        throw RenderError ("input '" + path + "' holds no audio"
                           + (announced > 0 ? " (its header announces " + seconds (announced, reader->sampleRate) + ")" : ""));

    return std::make_unique<FileSource> (std::move (reader), held, announced);
}

std::string describeShortfall (const SampleSource& source)
{
    if (source.lengthInFrames() >= source.announcedFrames())
        return {};
    return "input ended after " + seconds (source.lengthInFrames(), source.sampleRate()) + " of the "
           + seconds (source.announcedFrames(), source.sampleRate()) + " its header announces";
}
} // namespace vendrasolith::cli
