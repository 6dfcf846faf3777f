#pragma once

#include "CommandLine.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <memory>
#include <string>

namespace vendrasolith::cli
{
enum class ContainerFormat { wav, flac, aiff };

/** What an output path asks for, checked before any audio is read: a known extension,
    a sample format the container can hold, a folder that exists and takes files, and not
    the input itself. Throws UsageError or RenderError. */
struct OutputTarget
{
    std::string path;
    ContainerFormat container = ContainerFormat::wav;
    SampleFormat sampleFormat = SampleFormat::int24;

    static OutputTarget check (const std::string& path, std::optional<SampleFormat> requested, const std::string& inputPath);

    bool isInteger() const noexcept { return sampleFormat != SampleFormat::float32; }
    std::string describe() const;
};

/** The output being written: a hidden temporary file beside the target, renamed over it
    by commit() once complete and readable. Destroyed without commit() (an error, an
    exception), it removes the temporary; an interrupt or termination signal does too. */
class OutputFile
{
public:
    OutputFile (const OutputTarget& target, double sampleRate);
    ~OutputFile();

    OutputFile (const OutputFile&) = delete;
    OutputFile& operator= (const OutputFile&) = delete;

    /** Appends frames of the two channels; throws RenderError when writing fails. */
    void write (const float* left, const float* right, int numFrames);

    /** Finishes the file, checks that it reads back with the expected length, and moves it
        into place. Throws RenderError. */
    void commit (juce::int64 expectedFrames);

private:
    OutputTarget target;
    std::string temporaryPath;
    bool streamFailed = false; // declared before the writer, which reports into it as it closes
    std::unique_ptr<juce::AudioFormatWriter> writer;
    bool committed = false;
};
} // namespace vendrasolith::cli
