#include "OutputFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace vendrasolith::cli
{
namespace fs = std::filesystem;

namespace
{
// The temporary being written, for the signal handler: an interrupted render must not
// leave a hidden partial file behind. Only async-signal-safe calls touch these.
char pendingTemporary[PATH_MAX + 1] {};
volatile sig_atomic_t hasPendingTemporary = 0;

extern "C" void removeTemporaryAndDie (int signalNumber)
{
    if (hasPendingTemporary)
        ::unlink (pendingTemporary);
    ::signal (signalNumber, SIG_DFL);
    ::raise (signalNumber);
}

void installSignalHandlers()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;

    struct sigaction action {};
    action.sa_handler = removeTemporaryAndDie;
    sigemptyset (&action.sa_mask);
    for (const int s : { SIGINT, SIGTERM, SIGHUP, SIGQUIT })
        ::sigaction (s, &action, nullptr);
}

/** Blocks the termination signals while the pending temporary is created or retired, so
    the handler never sees a file without its name or a name without its file. */
class SignalsHeld
{
public:
    SignalsHeld()
    {
        sigset_t held;
        sigemptyset (&held);
        for (const int s : { SIGINT, SIGTERM, SIGHUP, SIGQUIT })
            sigaddset (&held, s);
        ::sigprocmask (SIG_BLOCK, &held, &previous);
    }
    ~SignalsHeld() { ::sigprocmask (SIG_SETMASK, &previous, nullptr); }

private:
    sigset_t previous {};
};

std::string lowercase (std::string text)
{
    std::transform (text.begin(), text.end(), text.begin(), [] (unsigned char c) { return (char) std::tolower (c); });
    return text;
}

void syncPath (const std::string& path)
{
    const int fd = ::open (path.c_str(), O_RDONLY);
    if (fd >= 0)
    {
        ::fsync (fd);
        ::close (fd);
    }
}

std::unique_ptr<juce::AudioFormat> formatFor (ContainerFormat container)
{
    switch (container)
    {
        case ContainerFormat::flac: return std::make_unique<juce::FlacAudioFormat>();
        case ContainerFormat::aiff: return std::make_unique<juce::AiffAudioFormat>();
        case ContainerFormat::wav:  break;
    }
    return std::make_unique<juce::WavAudioFormat>();
}

/** Passes everything to the file and remembers any failure, including those of the
    writes a writer makes from its destructor (the final header, FLAC's last frames). */
class CheckedStream final : public juce::OutputStream
{
public:
    CheckedStream (std::unique_ptr<juce::FileOutputStream> f, bool& failedFlag) : file (std::move (f)), failed (failedFlag) {}
    ~CheckedStream() override { flush(); }

    void flush() override
    {
        file->flush();
        note (true);
    }
    bool setPosition (juce::int64 position) override { return note (file->setPosition (position)); }
    juce::int64 getPosition() override { return file->getPosition(); }
    bool write (const void* data, size_t numBytes) override { return note (file->write (data, numBytes)); }

private:
    bool note (bool ok)
    {
        if (! ok || file->getStatus().failed())
            failed = true;
        return ok;
    }

    std::unique_ptr<juce::FileOutputStream> file;
    bool& failed;
};

int bitsOf (SampleFormat format)
{
    switch (format)
    {
        case SampleFormat::int16:   return 16;
        case SampleFormat::float32: return 32;
        case SampleFormat::int24:   break;
    }
    return 24;
}
} // namespace

//==============================================================================
OutputTarget OutputTarget::check (const std::string& path, std::optional<SampleFormat> requested, const std::string& inputPath)
{
    OutputTarget target;
    target.path = path;

    const fs::path file (path);
    const auto extension = lowercase (file.extension().string());
    if (extension == ".wav")
        target.container = ContainerFormat::wav;
    else if (extension == ".flac")
        target.container = ContainerFormat::flac;
    else if (extension == ".aif" || extension == ".aiff")
        target.container = ContainerFormat::aiff;
    else if (extension.empty())
        throw UsageError ("output '" + path + "' has no extension: use .wav, .flac, .aif or .aiff");
    else
        throw UsageError ("cannot write '" + extension + "' files: use .wav, .flac, .aif or .aiff");

    target.sampleFormat = requested.value_or (SampleFormat::int24);
    if (target.sampleFormat == SampleFormat::float32 && target.container != ContainerFormat::wav)
        throw UsageError ("32-bit float needs a .wav output; .flac and .aiff take --bits 16 or 24");

    std::error_code error;
    if (fs::is_directory (file, error))
        throw RenderError ("output '" + path + "' is a folder");

    const fs::path folder = fs::absolute (file, error).parent_path();
    if (! fs::exists (folder, error))
        throw RenderError ("output folder '" + folder.string() + "' does not exist");
    if (! fs::is_directory (folder, error))
        throw RenderError ("'" + folder.string() + "' is not a folder");
    if (::access (folder.c_str(), W_OK | X_OK) != 0)
        throw RenderError ("cannot write to folder '" + folder.string() + "': " + std::strerror (errno));

    if (! inputPath.empty())
    {
        const auto input = fs::canonical (inputPath, error);
        const bool sameName = ! error && fs::weakly_canonical (file, error) == input;
        const bool sameFile = fs::exists (file, error) && fs::equivalent (file, inputPath, error);
        if (sameName || sameFile)
            throw UsageError ("output '" + path + "' is the input file: choose another output name");
    }

    return target;
}

std::string OutputTarget::describe() const
{
    const std::string bits = sampleFormat == SampleFormat::float32 ? "32-bit float"
                           : sampleFormat == SampleFormat::int16   ? "16-bit" : "24-bit";
    const std::string name = container == ContainerFormat::flac ? "FLAC"
                           : container == ContainerFormat::aiff ? "AIFF" : "WAV";
    return bits + " " + name;
}

//==============================================================================
OutputFile::OutputFile (const OutputTarget& t, double sampleRate) : target (t)
{
    installSignalHandlers();

    const fs::path targetFile = fs::absolute (fs::path (target.path));
    const std::string pattern = (targetFile.parent_path() / ("." + targetFile.filename().string() + ".partXXXXXX")).string();
    if (pattern.size() > PATH_MAX)
        throw RenderError ("output path '" + target.path + "' is too long");

    {
        SignalsHeld held;
        std::strcpy (pendingTemporary, pattern.c_str());
        const int fd = ::mkstemp (pendingTemporary);
        if (fd < 0)
            throw RenderError ("cannot create a file in '" + targetFile.parent_path().string() + "': " + std::strerror (errno));
        ::close (fd);
        temporaryPath = pendingTemporary;
        hasPendingTemporary = 1;
    }

    try
    {
        auto file = std::make_unique<juce::FileOutputStream> (juce::File (juce::String (temporaryPath)));
        if (file->failedToOpen())
            throw RenderError ("cannot write '" + temporaryPath + "': " + file->getStatus().getErrorMessage().toStdString());
        auto stream = std::make_unique<CheckedStream> (std::move (file), streamFailed);

        auto format = formatFor (target.container);
        const int qualityIndex = target.container == ContainerFormat::flac ? 5 : 0; // FLAC's default level
        writer.reset (format->createWriterFor (stream.get(), sampleRate, 2, bitsOf (target.sampleFormat), {}, qualityIndex));
        if (writer == nullptr)
            throw RenderError ("cannot write " + target.describe() + " at " + std::to_string ((long long) sampleRate) + " Hz");
        stream.release(); // owned by the writer now
    }
    catch (...)
    {
        writer.reset();
        SignalsHeld held;
        ::unlink (temporaryPath.c_str());
        hasPendingTemporary = 0;
        throw;
    }
}

OutputFile::~OutputFile()
{
    if (committed)
        return;

    writer.reset();
    SignalsHeld held;
    ::unlink (temporaryPath.c_str());
    hasPendingTemporary = 0;
}

void OutputFile::write (const float* left, const float* right, int numFrames)
{
    const float* channels[] = { left, right, nullptr };
    if (! writer->writeFromFloatArrays (channels, 2, numFrames) || streamFailed)
        throw RenderError ("writing '" + target.path + "' failed (is the disk full?)");
}

void OutputFile::commit (juce::int64 expectedFrames)
{
    writer.reset(); // writes the final header and closes the file
    if (streamFailed)
        throw RenderError ("writing '" + target.path + "' failed (is the disk full?)");
    syncPath (temporaryPath);

    {
        // The temporary's name does not end in the format's extension: ask the format itself.
        std::unique_ptr<juce::AudioFormatReader> check;
        auto stream = std::make_unique<juce::FileInputStream> (juce::File (juce::String (temporaryPath)));
        if (stream->openedOk())
        {
            check.reset (formatFor (target.container)->createReaderFor (stream.get(), true));
            if (check != nullptr)
                stream.release();
        }
        if (check == nullptr || check->numChannels != 2 || check->lengthInSamples != expectedFrames)
            throw RenderError ("writing '" + target.path + "' failed: the file did not read back complete (is the disk full?)");
    }

    // mkstemp creates the file private to us; give it the permissions any new file gets.
    const mode_t mask = ::umask (0);
    ::umask (mask);
    ::chmod (temporaryPath.c_str(), 0666 & ~mask);

    SignalsHeld held;
    if (std::rename (temporaryPath.c_str(), target.path.c_str()) != 0)
        throw RenderError ("cannot move the output into place as '" + target.path + "': " + std::strerror (errno));
    committed = true;
    hasPendingTemporary = 0;
    syncPath (fs::absolute (fs::path (target.path)).parent_path().string());
}
} // namespace vendrasolith::cli
