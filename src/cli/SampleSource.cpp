#include "SampleSource.h"

#include "CommandLine.h"

#include <filesystem>
#include <system_error>

namespace vendrasolith::cli
{
namespace
{
class FileSource final : public SampleSource
{
public:
    explicit FileSource (std::unique_ptr<juce::AudioFormatReader> r) : reader (std::move (r)) {}

    double sampleRate() const override { return reader->sampleRate; }
    juce::int64 lengthInFrames() const override { return reader->lengthInSamples; }
    int numChannels() const override { return (int) reader->numChannels; }

    bool readNext (float* const* dest, int numDest, int numFrames) override
    {
        const bool ok = reader->read (dest, numDest, position, numFrames);
        position += numFrames;
        return ok;
    }

private:
    std::unique_ptr<juce::AudioFormatReader> reader;
    juce::int64 position = 0;
};
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
    auto stream = std::make_unique<juce::FileInputStream> (absolute);
    if (stream->failedToOpen())
        throw RenderError ("cannot open input '" + path + "': " + stream->getStatus().getErrorMessage().toStdString());

    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    std::unique_ptr<juce::AudioFormatReader> reader (formats.createReaderFor (std::move (stream)));
    if (reader == nullptr)
        throw RenderError ("input '" + path + "' is not a WAV, AIFF, FLAC or Ogg Vorbis file");

    if (reader->numChannels < 1 || ! (reader->sampleRate > 0.0) || reader->lengthInSamples < 0)
        throw RenderError ("input '" + path + "' has no usable audio");

    return std::make_unique<FileSource> (std::move (reader));
}
} // namespace vendrasolith::cli
