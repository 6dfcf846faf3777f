// Runs the built vendrasolith-render on small files written here, and checks what it writes.
#include "VantorAudioProcessor.h"

#include "CueMeasures.h"

#if VENDRASOLITH_TEST_SOFA
 #include "SofaWriter.h"
#endif

#include <juce_audio_formats/juce_audio_formats.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace
{
using Channels = std::vector<std::vector<float>>;

struct Audio
{
    double rate = 0.0;
    Channels channels;
    size_t frames() const { return channels.empty() ? 0 : channels[0].size(); }
};

struct Outcome
{
    int status = -1; // exit status, or -signal number
    std::string out, err;
};

std::unique_ptr<juce::AudioFormat> formatForName (const juce::File& file)
{
    const auto extension = file.getFileExtension().toLowerCase();
    if (extension == ".flac") return std::make_unique<juce::FlacAudioFormat>();
    if (extension == ".aif" || extension == ".aiff") return std::make_unique<juce::AiffAudioFormat>();
    if (extension == ".ogg") return std::make_unique<juce::OggVorbisAudioFormat>();
    return std::make_unique<juce::WavAudioFormat>();
}

void writeAudio (const juce::File& file, const Channels& channels, double rate = 48000.0, int bits = 32)
{
    file.deleteFile();
    auto format = formatForName (file);
    auto stream = file.createOutputStream();
    ASSERT_NE (stream, nullptr);
    const int quality = format->getFormatName().containsIgnoreCase ("ogg") ? 8 : 0;
    std::unique_ptr<juce::AudioFormatWriter> writer (
        format->createWriterFor (stream.get(), rate, (unsigned int) channels.size(), bits, {}, quality));
    ASSERT_NE (writer, nullptr);
    stream.release();

    std::vector<const float*> pointers;
    for (const auto& c : channels)
        pointers.push_back (c.data());
    pointers.push_back (nullptr);
    ASSERT_TRUE (writer->writeFromFloatArrays (pointers.data(), (int) channels.size(), (int) channels[0].size()));
}

Audio readAudio (const juce::File& file)
{
    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    std::unique_ptr<juce::AudioFormatReader> reader (formats.createReaderFor (file));
    Audio audio;
    if (reader == nullptr)
        return audio;
    audio.rate = reader->sampleRate;
    audio.channels.assign (reader->numChannels, std::vector<float> ((size_t) reader->lengthInSamples));
    std::vector<float*> pointers;
    for (auto& c : audio.channels)
        pointers.push_back (c.data());
    reader->read (pointers.data(), (int) pointers.size(), 0, (int) reader->lengthInSamples);
    return audio;
}

Channels silence (int numChannels, int frames) { return Channels ((size_t) numChannels, std::vector<float> ((size_t) frames)); }

Channels noise (int numChannels, int frames, float level = 0.3f, unsigned seed = 7)
{
    std::mt19937 rng (seed);
    auto channels = silence (numChannels, frames);
    for (auto& c : channels)
        for (auto& x : c)
            x = level * ((float) rng() / 4294967296.0f * 2.0f - 1.0f);
    return channels;
}

double energy (const std::vector<float>& x, size_t from = 0, size_t to = std::numeric_limits<size_t>::max())
{
    const auto end = x.begin() + (std::ptrdiff_t) std::min (to, x.size());
    double sum = 0.0;
    for (auto it = x.begin() + (std::ptrdiff_t) std::min (from, x.size()); it < end; ++it)
        sum += (double) *it * *it;
    return sum;
}

enum class Side { left, centre, right };

/** Left-to-right level difference in dB over a stretch of a binaural file. */
double leftOverRightDb (const Audio& a, size_t from, size_t to)
{
    return 10.0 * std::log10 (energy (a.channels[0], from, to) / energy (a.channels[1], from, to));
}

/** Broadband, so the margin is modest: pink noise (the demo) puts most of its energy in
    the bass, where the head casts little shadow and both ears hear nearly alike. */
void expectSide (double dB, Side side, const std::string& what)
{
    switch (side)
    {
        case Side::left:   EXPECT_GT (dB, 2.0) << what << ": the left ear should be the louder"; break;
        case Side::right:  EXPECT_LT (dB, -2.0) << what << ": the right ear should be the louder"; break;
        case Side::centre: EXPECT_LT (std::fabs (dB), 1.5) << what << ": both ears should hear it alike"; break;
    }
}

std::string readText (const std::string& path)
{
    return juce::File (path).loadFileAsString().toStdString();
}

int occurrences (const std::string& text, const std::string& word)
{
    int n = 0;
    for (auto at = text.find (word); at != std::string::npos; at = text.find (word, at + word.size()))
        ++n;
    return n;
}

/** Keeps the first bytes of a file, as a copy that broke off or a disk that filled up does. */
void cutAfter (const juce::File& file, juce::int64 bytes)
{
    juce::MemoryBlock data;
    ASSERT_TRUE (file.loadFileAsData (data));
    ASSERT_LE (bytes, (juce::int64) data.getSize());
    ASSERT_TRUE (file.replaceWithData (data.getData(), (size_t) bytes));
}

/** The first frames of some audio. */
Channels firstFrames (const Channels& channels, size_t frames)
{
    Channels result;
    for (const auto& c : channels)
        result.emplace_back (c.begin(), c.begin() + (std::ptrdiff_t) frames);
    return result;
}

struct SideImpulse
{
    double itdMicroseconds = 0.0;
    Audio out;
    size_t at = 0; // where the impulse is in the input
};

class RenderProgram : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // A folder of this test's own: ctest runs these tests in parallel processes, and a
        // name that was merely free a moment ago could be taken (and removed) by another.
        auto pattern = juce::File::getSpecialLocation (juce::File::tempDirectory)
                           .getChildFile ("vendrasolith-cli-test-XXXXXX").getFullPathName().toStdString();
        ASSERT_NE (mkdtemp (pattern.data()), nullptr);
        folder = juce::File (pattern);
        logs = folder.getChildFile ("logs");
        ASSERT_TRUE (logs.createDirectory());
    }

    void TearDown() override { folder.deleteRecursively(); }

    juce::File file (const char* name) const { return folder.getChildFile (name); }
    std::string path (const char* name) const { return file (name).getFullPathName().toStdString(); }

    pid_t spawn (const std::vector<std::string>& arguments) const
    {
        const auto outPath = logs.getChildFile ("out").getFullPathName().toStdString();
        const auto errPath = logs.getChildFile ("err").getFullPathName().toStdString();
        std::vector<std::string> all { VENDRASOLITH_RENDER_PROGRAM };
        all.insert (all.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (auto& a : all)
            argv.push_back (a.data());
        argv.push_back (nullptr);

        const pid_t pid = ::fork();
        if (pid == 0)
        {
            // Run in the test folder, so relative paths in the cases mean files in it.
            if (::chdir (folder.getFullPathName().toRawUTF8()) != 0)
                ::_exit (127);
            ::dup2 (::open (outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDOUT_FILENO);
            ::dup2 (::open (errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDERR_FILENO);
            ::execv (argv[0], argv.data());
            ::_exit (127);
        }
        return pid;
    }

    Outcome finish (pid_t pid) const
    {
        int status = 0;
        ::waitpid (pid, &status, 0);
        Outcome run;
        run.status = WIFEXITED (status) ? WEXITSTATUS (status) : -WTERMSIG (status);
        run.out = readText (logs.getChildFile ("out").getFullPathName().toStdString());
        run.err = readText (logs.getChildFile ("err").getFullPathName().toStdString());
        return run;
    }

    Outcome render (const std::vector<std::string>& arguments) const { return finish (spawn (arguments)); }

    /** Renders and expects success; returns the output as read back. */
    Audio renderOk (const std::vector<std::string>& arguments, const char* output)
    {
        auto all = arguments;
        all.push_back (path (output));
        const auto run = render (all);
        EXPECT_EQ (run.status, 0) << run.err;
        return readAudio (file (output));
    }

    /** The names in the test folder, hidden ones too, apart from the logs. */
    std::vector<std::string> listing() const
    {
        std::vector<std::string> names;
        for (const auto& entry : juce::RangedDirectoryIterator (folder, false, "*", juce::File::findFilesAndDirectories))
            if (entry.getFile() != logs)
                names.push_back (entry.getFile().getFileName().toStdString());
        std::sort (names.begin(), names.end());
        return names;
    }

    /** An impulse in the Rss (90 degrees, right) channel of a 7.1 file at a rate, rendered
        with the given options: the time between the ears in microseconds (positive when the
        left ear hears it first), and the output. */
    SideImpulse renderSideImpulse (double rate, std::vector<std::string> options) const
    {
        SideImpulse result;
        result.at = (size_t) rate / 10;
        auto input = silence (8, (int) rate / 2);
        input[7][result.at] = 0.5f;
        writeAudio (file ("side.wav"), input, rate);
        options.insert (options.begin(), { "side.wav", "side-out.wav", "--bits", "32f" });
        const auto run = render (options);
        EXPECT_EQ (run.status, 0) << run.err;
        result.out = readAudio (file ("side-out.wav"));
        if (result.out.channels.size() == 2)
        {
            const std::vector<double> left (result.out.channels[0].begin(), result.out.channels[0].end());
            const std::vector<double> right (result.out.channels[1].begin(), result.out.channels[1].end());
            result.itdMicroseconds = 1e6 * vendrasolith::hrtf::interauralDelaySeconds (left, right, rate);
        }
        return result;
    }

    juce::File folder, logs;
};

constexpr int kLatency = VantorAudioProcessor::kLatencySamples;

//==============================================================================
TEST_F (RenderProgram, ImpulsesLandOnTimeAtTheNearEar)
{
    // 7.1 in the order L R C LFE Lsr Rsr Lss Rss; one impulse per channel, far apart.
    constexpr int kFirst = 2000, kSpacing = 3000, kFrames = kFirst + 8 * kSpacing;
    const Side sides[] = { Side::left, Side::right, Side::centre, Side::centre,
                           Side::left, Side::right, Side::left, Side::right };
    auto input = silence (8, kFrames);
    for (int c = 0; c < 8; ++c)
        input[(size_t) c][(size_t) (kFirst + c * kSpacing)] = 0.5f;
    writeAudio (file ("in.wav"), input);

    const auto out = renderOk ({ "in.wav", "--bits", "32f" }, "out.wav");
    ASSERT_EQ (out.channels.size(), 2u);
    ASSERT_EQ (out.frames(), (size_t) kFrames);
    EXPECT_EQ (out.rate, 48000.0);

    // Nothing before the first response begins: the latency is removed, not doubled or kept.
    for (size_t k = 0; k + 30 < (size_t) kFirst; ++k)
        ASSERT_LT (std::fabs (out.channels[0][k]) + std::fabs (out.channels[1][k]), 1.0e-6f) << "at frame " << k;

    for (int c = 0; c < 8; ++c)
    {
        const size_t t = (size_t) (kFirst + c * kSpacing);
        size_t loudest = t - 100;
        for (size_t k = t - 100; k < t + 1000; ++k)
            if (std::max (std::fabs (out.channels[0][k]), std::fabs (out.channels[1][k]))
                > std::max (std::fabs (out.channels[0][loudest]), std::fabs (out.channels[1][loudest])))
                loudest = k;

        // The responses' direct sound sits about 24 taps in, which the reported latency covers.
        EXPECT_GE ((long) loudest, (long) t - 4) << "channel " << c;
        EXPECT_LE ((long) loudest, (long) t + 24) << "channel " << c;
        expectSide (leftOverRightDb (out, t - 100, t + 1000), sides[c], "channel " + std::to_string (c));
    }
}

TEST_F (RenderProgram, LayoutsChooseHowTheChannelsAreRead)
{
    struct Case
    {
        int fileChannels;
        const char* layout; // empty: chosen from the channel count
        int impulseChannel;
        Side side;
    };
    const Case cases[] = {
        { 1, "", 0, Side::centre },
        { 2, "", 0, Side::left },
        { 2, "", 1, Side::right },
        { 2, "mono", 0, Side::centre },
        { 6, "", 1, Side::right },                         // L R C LFE Lsr Rs
        { 6, "5.1-film", 1, Side::centre },                // L C R Lsr Rsr LFE
        { 6, "c,l,r,lsr,rsr,lfe", 1, Side::left },
        { 8, "", 6, Side::left },                          // L R C LFE Lsr Rsr Lss Rss
        { 8, "7.1-FILM", 4, Side::right },                 // L C R Lss Rss Lsr Rsr LFE
        { 8, "L R Lsr Rsr C LFE Lss Rss", 4, Side::centre },
        { 8, "stereo", 1, Side::right },                   // extra channels ignored, with a note
    };

    for (const auto& c : cases)
    {
        const std::string what = std::to_string (c.fileChannels) + " channels, layout '" + c.layout
                                 + "', impulse in channel " + std::to_string (c.impulseChannel);
        auto input = silence (c.fileChannels, 3000);
        input[(size_t) c.impulseChannel][1000] = 0.5f;
        writeAudio (file ("in.wav"), input);

        std::vector<std::string> arguments { "in.wav" };
        if (*c.layout != '\0')
            arguments.insert (arguments.end(), { "--layout", c.layout });
        const auto out = renderOk (arguments, "out.wav");
        ASSERT_EQ (out.frames(), 3000u) << what;
        expectSide (leftOverRightDb (out, 0, 3000), c.side, what);
    }
}

TEST_F (RenderProgram, WritesWhatThePluginPlays)
{
    // The plug-in in a host that has been playing silence, then plays the file: its output,
    // less the reported latency, is what the program must write. The knob values are turned
    // into parameter values here the way the editor does.
    struct Case
    {
        std::vector<std::string> options;
        int configuration;
        float angle, width, gain;
        int bassStep;
    };
    const Case cases[] = {
        { {}, 2, 0.0f, 1.0f, 0.9f, 0 },
        { { "--layout", "l c r lsr rsr lfe", "--angle", "45", "--width", "60", "--gain", "-6", "--bass", "6" },
          3, 45.0f / 360.0f, 0.6f, 0.84f, 2 },
        { { "--angle", "270", "--width", "0", "--gain", "+10", "--bass", "9" }, 2, 0.75f, 0.0f, 1.0f, 3 },
    };
    constexpr int kFrames = 12000, kBlock = 512;
    const auto input = noise (6, kFrames, 0.2f);
    writeAudio (file ("in.wav"), input);

    for (const auto& c : cases)
    {
        auto arguments = c.options;
        arguments.insert (arguments.begin(), "in.wav");
        arguments.insert (arguments.end(), { "--bits", "32f" });
        const auto out = renderOk (arguments, "out.wav");
        ASSERT_EQ (out.frames(), (size_t) kFrames);

        VantorAudioProcessor plugin (juce::PluginHostType::UnknownHost);
        plugin.setPlayConfigDetails (6, 2, 48000.0, kBlock);
        plugin.getParameterObject (VantorAudioProcessor::angleIndex)->setValueNotifyingHost (c.angle);
        plugin.getParameterObject (VantorAudioProcessor::widthIndex)->setValueNotifyingHost (c.width);
        plugin.getParameterObject (VantorAudioProcessor::gainIndex)->setValueNotifyingHost (c.gain);
        plugin.setBassBoostStep (c.bassStep);
        plugin.requestInputConfiguration (c.configuration);
        plugin.prepareToPlay (48000.0, kBlock);

        constexpr int kLeadIn = 20 * kBlock;
        const int total = kLeadIn + kFrames + kLatency;
        juce::AudioBuffer<float> stream (6, total + kBlock);
        stream.clear();
        for (int ch = 0; ch < 6; ++ch)
            std::copy (input[(size_t) ch].begin(), input[(size_t) ch].end(), stream.getWritePointer (ch) + kLeadIn);
        juce::MidiBuffer midi;
        for (int offset = 0; offset < total; offset += kBlock)
        {
            juce::AudioBuffer<float> block (stream.getArrayOfWritePointers(), 6, offset, kBlock);
            plugin.processBlock (block, midi);
        }

        float worst = 0.0f, peak = 0.0f;
        for (int ear = 0; ear < 2; ++ear)
            for (int k = 0; k < kFrames; ++k)
            {
                const float expected = stream.getSample (ear, kLeadIn + kLatency + k);
                worst = std::max (worst, std::fabs (out.channels[(size_t) ear][(size_t) k] - expected));
                peak = std::max (peak, std::fabs (expected));
            }
        EXPECT_GT (peak, 0.01f);
        EXPECT_LT (worst, 1.0e-5f * peak) << "options case " << (&c - cases);
    }
}

TEST_F (RenderProgram, BlockSizeDoesNotChangeTheFile)
{
    writeAudio (file ("in.wav"), noise (8, 10007));
    const std::vector<std::string> settings { "--angle", "100", "--width", "50", "--gain", "3", "--bass", "9", "--bits", "32f" };

    for (const bool tail : { false, true })
    {
        juce::MemoryBlock reference;
        for (const char* block : { "4096", "1", "64", "777", "8192" })
        {
            auto arguments = settings;
            arguments.insert (arguments.begin(), "in.wav");
            arguments.insert (arguments.end(), { "--block", block });
            if (tail)
                arguments.push_back ("--tail");
            const auto out = renderOk (arguments, "out.wav");

            if (tail)
            {
                EXPECT_GT (out.frames(), 10007u + 200u) << "the decay after the input is kept";
                EXPECT_LT (out.frames(), 10007u + 48000u);
                EXPECT_NE (out.channels[0].back() + out.channels[1].back(), 0.0f) << "the tail ends with its last sound";
            }
            else
                EXPECT_EQ (out.frames(), 10007u);

            juce::MemoryBlock bytes;
            ASSERT_TRUE (file ("out.wav").loadFileAsData (bytes));
            if (reference.isEmpty())
                reference = bytes;
            else
                EXPECT_TRUE (bytes == reference) << "--block " << block << (tail ? " --tail" : "");
        }
    }
}

TEST_F (RenderProgram, OutputIsAsLongAsTheInput)
{
    for (const int frames : { 1, kLatency - 1, kLatency, kLatency + 1, 5000 })
        for (const char* block : { "64", "4096" })
        {
            writeAudio (file ("in.wav"), noise (2, frames));
            const auto out = renderOk ({ "in.wav", "--block", block }, "out.wav");
            EXPECT_EQ (out.channels.size(), 2u);
            EXPECT_EQ (out.frames(), (size_t) frames) << "--block " << block;
        }
}

// A file cut short (a copy that broke off, a recorder that stopped) renders the audio it
// holds, no silence in place of the rest, and says how much of the announced length it got.
TEST_F (RenderProgram, InputCutShortRendersWhatItHolds)
{
    constexpr int kRate = 48000, kAnnounced = 3 * kRate, kBytesPerFrame = 4; // 16-bit stereo
    // Full-scale noise: FLAC keeps it as it is, so its frames stay about as large as the samples.
    const auto input = noise (2, kAnnounced, 1.0f);

    struct Case
    {
        const char* name;
        juce::int64 keptFrames; // of samples after the header, for the uncompressed formats
        bool headerAnnouncesLength;
    };
    const Case cases[] = { { "cut.wav", 4992, true }, { "cut.aiff", 4992, true }, { "cut.aif", 60000, true },
                           { "cut.flac", 60000, true }, { "cut.ogg", 0, false } };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        writeAudio (file (c.name), input, kRate, 16);
        const auto size = file (c.name).getSize();
        const bool uncompressed = juce::String (c.name).endsWith (".wav") || juce::String (c.name).containsIgnoreCase (".aif");
        // A stray byte past the last whole frame belongs to no frame.
        cutAfter (file (c.name), uncompressed ? size - (kAnnounced - c.keptFrames) * kBytesPerFrame + 1 : size * 2 / 5);

        const auto run = render ({ c.name, "out.wav", "--bits", "32f" });
        ASSERT_EQ (run.status, 0) << run.err;
        const auto out = readAudio (file ("out.wav"));
        const auto frames = (juce::int64) out.frames();
        ASSERT_GT (frames, 0);
        ASSERT_LT (frames, kAnnounced);

        if (uncompressed)
            EXPECT_EQ (frames, c.keptFrames);
        else if (c.headerAnnouncesLength) // whole FLAC frames of at most 4608 samples
            EXPECT_GT (frames, size * 2 / 5 / kBytesPerFrame - 2 * 4608);
        else // an Ogg file has no length of its own: it ends with its last intact page
            EXPECT_EQ (frames, (juce::int64) readAudio (file (c.name)).frames());

        if (c.headerAnnouncesLength)
        {
            char expected[128];
            std::snprintf (expected, sizeof (expected), "input ended after %.3f s of the 3.000 s its header announces",
                           (double) frames / kRate);
            EXPECT_NE (run.err.find (expected), std::string::npos) << run.err;
            EXPECT_EQ (occurrences (run.err, "\n"), 1) << run.err;

            // Exactly what a file holding just those frames renders: real audio all through.
            writeAudio (file ("whole.wav"), firstFrames (input, (size_t) frames), kRate, 16);
            ASSERT_EQ (render ({ "whole.wav", "reference.wav", "--bits", "32f" }).status, 0);
            juce::MemoryBlock rendered, reference;
            ASSERT_TRUE (file ("out.wav").loadFileAsData (rendered));
            ASSERT_TRUE (file ("reference.wav").loadFileAsData (reference));
            EXPECT_TRUE (rendered == reference);
        }
        else
            EXPECT_EQ (run.err, "");
    }
}

TEST_F (RenderProgram, NonFiniteInputSamplesRenderAsSilence)
{
    auto input = noise (2, 6000);
    auto cleaned = input;
    const std::pair<size_t, float> faults[] = { { 100, std::numeric_limits<float>::quiet_NaN() },
                                                { 2500, std::numeric_limits<float>::infinity() },
                                                { 4000, -std::numeric_limits<float>::infinity() } };
    for (const auto& [k, value] : faults)
    {
        input[k % 2][k] = value;
        cleaned[k % 2][k] = 0.0f;
    }
    writeAudio (file ("faulty.wav"), input);
    writeAudio (file ("clean.wav"), cleaned);

    const auto run = render ({ "faulty.wav", "faulty-out.wav", "--bits", "32f" });
    EXPECT_EQ (run.status, 0);
    EXPECT_NE (run.err.find ("3 input samples were not finite"), std::string::npos) << run.err;
    ASSERT_EQ (render ({ "clean.wav", "clean-out.wav", "--bits", "32f" }).status, 0);

    juce::MemoryBlock faulty, clean;
    ASSERT_TRUE (file ("faulty-out.wav").loadFileAsData (faulty));
    ASSERT_TRUE (file ("clean-out.wav").loadFileAsData (clean));
    EXPECT_TRUE (faulty == clean);
}

TEST_F (RenderProgram, EveryOutputFormatReadsBackAsTheFloatRender)
{
    constexpr int kFrames = 5000;
    writeAudio (file ("in.wav"), noise (2, kFrames, 0.3f), 44100.0);
    const auto reference = renderOk ({ "in.wav", "--bits", "32f" }, "reference.wav");
    ASSERT_EQ (reference.frames(), (size_t) kFrames);

    struct Case
    {
        const char* output;
        const char* bits; // empty: the default, 24
        int precision;
    };
    const Case cases[] = { { "out.wav", "16", 16 }, { "out.wav", "", 24 }, { "out.flac", "16", 16 },
                           { "out.flac", "24", 24 }, { "out.aiff", "", 24 }, { "out.aif", "16", 16 } };

    for (const auto& c : cases)
    {
        std::vector<std::string> arguments { "in.wav", c.output };
        if (*c.bits != '\0')
            arguments.insert (arguments.end(), { "--bits", c.bits });
        const auto run = render (arguments);
        const std::string what = std::string (c.output) + " at " + std::to_string (c.precision) + " bits";
        ASSERT_EQ (run.status, 0) << what << ": " << run.err;
        EXPECT_EQ (run.err, "") << "nothing on stderr when it is not a terminal";

        const auto out = readAudio (folder.getChildFile (c.output));
        ASSERT_EQ (out.channels.size(), 2u) << what;
        ASSERT_EQ (out.frames(), (size_t) kFrames) << what;
        EXPECT_EQ (out.rate, 44100.0) << what;

        const float step = std::ldexp (1.0f, 1 - c.precision); // one step of the format
        float worst = 0.0f;
        for (size_t ear = 0; ear < 2; ++ear)
            for (size_t k = 0; k < (size_t) kFrames; ++k)
                worst = std::max (worst, std::fabs (out.channels[ear][k] - reference.channels[ear][k]));
        EXPECT_LE (worst, step) << what;
        folder.getChildFile (c.output).deleteFile();
    }
}

TEST_F (RenderProgram, ReadsEveryInputFormat)
{
    // The same 24-bit samples in three containers render alike; Ogg Vorbis is lossy, so it
    // only has to come through whole.
    const auto input = noise (6, 4000, 0.25f);
    const char* lossless[] = { "in.wav", "in.flac", "in.aiff" };
    for (const char* name : lossless)
        writeAudio (file (name), input, 48000.0, 24);
    writeAudio (file ("in.ogg"), input, 48000.0, 32);

    juce::MemoryBlock reference;
    for (const char* name : lossless)
    {
        const auto run = render ({ name, "out.wav", "--bits", "32f" });
        ASSERT_EQ (run.status, 0) << name;
        EXPECT_EQ (run.err, "") << name << ": a complete file holds all its header announces";
        juce::MemoryBlock bytes;
        ASSERT_TRUE (file ("out.wav").loadFileAsData (bytes));
        if (reference.isEmpty())
            reference = bytes;
        else
            EXPECT_TRUE (bytes == reference) << name;
    }

    const auto fromOgg = renderOk ({ "in.ogg" }, "out.wav");
    ASSERT_EQ (fromOgg.channels.size(), 2u);
    EXPECT_EQ (fromOgg.frames(), 4000u);
    EXPECT_GT (energy (fromOgg.channels[0]), 0.0);
}

TEST_F (RenderProgram, BadInputFailsWithOneLineAndLeavesNoFile)
{
    writeAudio (file ("in6.wav"), noise (6, 1000));
    writeAudio (file ("in4.wav"), noise (4, 1000));
    writeAudio (file ("in3.wav"), noise (3, 1000));
    writeAudio (file ("empty.wav"), silence (2, 0));
    writeAudio (file ("empty.ogg"), silence (2, 0));
    // Headers that announce three seconds, and nothing after them.
    for (const char* name : { "headeronly.wav", "headeronly.aiff" })
    {
        writeAudio (file (name), noise (2, 144000), 48000.0, 16);
        cutAfter (file (name), file (name).getSize() - 144000 * 4);
    }
    writeAudio (file ("headeronly.flac"), noise (2, 144000, 1.0f), 48000.0, 16);
    cutAfter (file ("headeronly.flac"), 1000); // inside the first frame
    file ("notaudio.wav").replaceWithText ("this is not audio\n");
    file ("afile").replaceWithText ("x");
    file ("folder.wav").createDirectory();
    file ("in6.wav").createSymbolicLink (file ("link.wav"), true);
    file ("sub").createDirectory();

    struct Case
    {
        std::vector<std::string> arguments;
        const char* message;
        int status;
    };
    const Case cases[] = {
        { { "missing.wav", "out.wav" }, "input 'missing.wav' does not exist", 1 },
        { { "notaudio.wav", "out.wav" }, "is not a WAV, AIFF, FLAC or Ogg Vorbis file", 1 },
        { { "sub", "out.wav" }, "is a folder, not an audio file", 1 },
        { { "empty.wav", "out.wav" }, "input 'empty.wav' holds no audio", 1 },
        { { "empty.ogg", "out.wav" }, "input 'empty.ogg' holds no audio", 1 },
        { { "headeronly.wav", "out.wav" }, "input 'headeronly.wav' holds no audio (its header announces 3.000 s)", 1 },
        { { "headeronly.aiff", "out.wav" }, "input 'headeronly.aiff' holds no audio (its header announces 3.000 s)", 1 },
        { { "headeronly.flac", "out.wav" }, "input 'headeronly.flac' holds no audio (its header announces 3.000 s)", 1 },
        { { "in4.wav", "out.wav" }, "cannot tell the layout of a 4-channel file: name one with --layout (see --help)", 2 },
        { { "in3.wav", "out.wav" }, "cannot tell the layout of a 3-channel file", 2 },
        { { "in6.wav", "out.wav", "--layout", "7.1" }, "reads 8 channels but 'in6.wav' has 6", 2 },
        { { "in4.wav", "out.wav", "--layout", "5.1" }, "reads 6 channels but 'in4.wav' has 4", 2 },
        { { "in6.wav", "out.wav", "--layout", "7.2" }, "unknown layout '7.2'", 2 },
        { { "in6.wav", "out.wav", "--frobnicate" }, "unknown option '--frobnicate'", 2 },
        { { "in6.wav", "out.wav", "--angle", "361" }, "--angle takes degrees from 0 to 360, not '361'", 2 },
        { { "in6.wav", "out.wav", "--angle=-1" }, "--angle takes degrees", 2 },
        { { "in6.wav", "out.wav", "--width", "50%" }, "--width takes a percentage from 0 to 100, not '50%'", 2 },
        { { "in6.wav", "out.wav", "--gain", "10.5" }, "--gain takes decibels from -90 to 10", 2 },
        { { "in6.wav", "out.wav", "--gain", "nan" }, "--gain takes decibels", 2 },
        { { "in6.wav", "out.wav", "--gain", "1e999" }, "--gain takes decibels", 2 },
        { { "in6.wav", "out.wav", "--bass", "4" }, "--bass takes off, 3, 6 or 9, not '4'", 2 },
        { { "in6.wav", "out.wav", "--bits", "20" }, "--bits takes 16, 24 or 32f", 2 },
        { { "in6.wav", "out.wav", "--block", "0" }, "--block takes a whole number", 2 },
        { { "in6.wav", "out.wav", "--angle" }, "--angle needs a value", 2 },
        { { "in6.wav", "out.wav", "--tail=yes" }, "--tail takes no value", 2 },
        { { "in6.wav", "in6.wav" }, "is the input file", 2 },
        { { "in6.wav", "sub/../in6.wav" }, "is the input file", 2 },
        { { "in6.wav", "link.wav" }, "is the input file", 2 },
        { { "in6.wav", "nowhere/out.wav" }, "does not exist", 1 },
        { { "in6.wav", "afile/out.wav" }, "is not a folder", 1 },
        { { "in6.wav", "folder.wav" }, "is a folder", 1 },
        { { "in6.wav", "out.mp3" }, "cannot write '.mp3' files: use .wav, .flac, .aif or .aiff", 2 },
        { { "in6.wav", "out" }, "has no extension", 2 },
        { { "in6.wav", "out.flac", "--bits", "32f" }, "32-bit float needs a .wav output", 2 },
        { { "in6.wav" }, "missing the output file", 2 },
        { {}, "missing the input and output files", 2 },
        { { "in6.wav", "a.wav", "b.wav" }, "one input and one output file, not 3 files", 2 },
        { { "--demo", "out.wav", "in6.wav" }, "--demo takes only the output file", 2 },
        { { "--demo", "out.wav", "--layout", "5.1" }, "--layout does not apply to --demo", 2 },
    };

    const auto before = listing();
    juce::MemoryBlock inputBefore;
    ASSERT_TRUE (file ("in6.wav").loadFileAsData (inputBefore));

    for (const auto& c : cases)
    {
        std::string what;
        for (const auto& a : c.arguments)
            what += a + " ";
        const auto run = render (c.arguments);
        EXPECT_EQ (run.status, c.status) << what;
        EXPECT_NE (run.err.find (c.message), std::string::npos) << what << "\n" << run.err;
        EXPECT_EQ (std::count (run.err.begin(), run.err.end(), '\n'), 1) << what << "\n" << run.err;
        EXPECT_LE (occurrences (run.err, "--help"), 1) << what << ": the way to the help, once\n" << run.err;
        EXPECT_EQ (listing(), before) << what << ": nothing written, nothing left behind";
    }

    juce::MemoryBlock inputAfter;
    ASSERT_TRUE (file ("in6.wav").loadFileAsData (inputAfter));
    EXPECT_TRUE (inputAfter == inputBefore);
}

TEST_F (RenderProgram, AnInterruptedRenderLeavesNothingBehind)
{
    // Long enough, a frame at a time, to be interrupted while it writes.
    writeAudio (file ("in.wav"), noise (8, 48000 * 20), 48000.0, 16);
    const auto before = listing();
    const pid_t pid = spawn ({ "in.wav", "out.wav", "--block", "1" });

    bool writing = false;
    for (int i = 0; i < 500 && ! writing; ++i)
    {
        std::this_thread::sleep_for (std::chrono::milliseconds (10));
        for (const auto& entry : juce::RangedDirectoryIterator (folder, false, ".out.wav.part*"))
            writing = writing || entry.getFile().getSize() > 0;
    }
    ASSERT_TRUE (writing) << "the render should be writing its temporary";

    ::kill (pid, SIGINT);
    const auto run = finish (pid);
    EXPECT_EQ (run.status, -SIGINT);
    EXPECT_EQ (listing(), before) << "neither the output nor its temporary";
}

TEST_F (RenderProgram, DemoPlacesEachLoudspeakerInTurn)
{
    const auto out = renderOk ({ "--bits", "32f", "--demo" }, "demo.wav");
    ASSERT_EQ (out.channels.size(), 2u);
    EXPECT_EQ (out.rate, 48000.0);
    ASSERT_EQ (out.frames(), 7u * 48000u);

    const std::pair<const char*, Side> positions[] = { { "L", Side::left },     { "C", Side::centre },
                                                       { "R", Side::right },    { "Rss", Side::right },
                                                       { "Rsr", Side::right },  { "Lsr", Side::left },
                                                       { "Lss", Side::left } };
    for (size_t i = 0; i < 7; ++i)
    {
        const size_t from = i * 48000, to = from + 48000;
        expectSide (leftOverRightDb (out, from, to), positions[i].second, positions[i].first);
        EXPECT_GT (energy (out.channels[0], from, to) + energy (out.channels[1], from, to), 1.0) << positions[i].first;
    }

    float peak = 0.0f;
    for (const auto& ear : out.channels)
        for (const float x : ear)
            peak = std::max (peak, std::fabs (x));
    EXPECT_LT (peak, 0.9f) << "headroom left in every format";
}

TEST_F (RenderProgram, HelpAndVersion)
{
    const auto help = render ({ "--help" });
    EXPECT_EQ (help.status, 0);
    EXPECT_EQ (help.out.rfind ("Usage: vendrasolith-render INPUT OUTPUT", 0), 0u) << help.out;
    EXPECT_NE (help.out.find ("\"C L R Lss Rss Lsr Rsr LFE\""), std::string::npos);
    EXPECT_EQ (help.err, "");

    const auto version = render ({ "--version" });
    EXPECT_EQ (version.status, 0);
    EXPECT_EQ (version.out, "vendrasolith-render 1.1.0\n");
}
//==============================================================================
// --true-rate: the plug-in's rate option.

TEST_F (RenderProgram, TrueRateKeepsTheSideLoudspeakersDelayAtEveryRate)
{
    const double reference = renderSideImpulse (44100.0, {}).itdMicroseconds;
    EXPECT_LT (reference, -600.0) << "the right ear hears it first";

    for (const double rate : { 48000.0, 96000.0, 192000.0 })
    {
        SCOPED_TRACE (std::to_string ((int) rate) + " Hz");
        const auto on = renderSideImpulse (rate, { "--true-rate" });
        EXPECT_NEAR (on.itdMicroseconds, reference, 0.05 * std::fabs (reference));
        EXPECT_EQ (on.out.frames(), (size_t) rate / 2) << "as long as the input, the latency dropped";
        EXPECT_GT (renderSideImpulse (rate, {}).itdMicroseconds, 0.95 * reference) << "shorter without the option";
    }

    const auto run = render ({ "side.wav", "x.wav", "--true-rate=1" });
    EXPECT_EQ (run.status, 2);
    EXPECT_NE (run.err.find ("--true-rate takes no value"), std::string::npos) << run.err;
}

//==============================================================================
// --hrtf: a listener's own head-related responses from a SOFA file.
#if VENDRASOLITH_TEST_SOFA
bool kemarInstalled() { return juce::File (VENDRASOLITH_KEMAR_SOFA).existsAsFile(); }

TEST_F (RenderProgram, HrtfFromTheBuiltInTablesSourceRendersAsTheBuiltInTable)
{
    if (! kemarInstalled())
        GTEST_SKIP() << VENDRASOLITH_KEMAR_SOFA << " is not installed";

    // At the measurement's own rate the same pipeline makes the same table.
    writeAudio (file ("in.wav"), noise (8, 20000, 0.3f), 44100.0);
    const auto builtIn = renderOk ({ "in.wav", "--bits", "32f", "--width", "70", "--angle", "20" }, "builtin.wav");
    const auto run = render ({ "in.wav", "own.wav", "--bits", "32f", "--width", "70", "--angle", "20",
                               "--hrtf", VENDRASOLITH_KEMAR_SOFA });
    ASSERT_EQ (run.status, 0) << run.err;
    EXPECT_EQ (run.err, "") << "nothing to warn about";
    const auto own = readAudio (file ("own.wav"));
    ASSERT_EQ (own.frames(), builtIn.frames());

    float worst = 0.0f, peak = 0.0f;
    for (size_t ear = 0; ear < 2; ++ear)
        for (size_t k = 0; k < own.frames(); ++k)
        {
            worst = std::max (worst, std::fabs (own.channels[ear][k] - builtIn.channels[ear][k]));
            peak = std::max (peak, std::fabs (builtIn.channels[ear][k]));
        }
    EXPECT_GT (peak, 0.05f);
    EXPECT_LT (worst, 1.0e-5f);
}

TEST_F (RenderProgram, HrtfIsResampledToTheInputsRate)
{
    if (! kemarInstalled())
        GTEST_SKIP() << VENDRASOLITH_KEMAR_SOFA << " is not installed";

    // The time between the ears is the head's, in microseconds, whatever the file's rate.
    const double reference = renderSideImpulse (44100.0, { "--hrtf", VENDRASOLITH_KEMAR_SOFA }).itdMicroseconds;
    EXPECT_LT (reference, -600.0) << "the right ear hears it first";
    for (const double rate : { 48000.0, 96000.0 })
    {
        SCOPED_TRACE (std::to_string ((int) rate) + " Hz");
        const auto cut = renderSideImpulse (rate, { "--hrtf", VENDRASOLITH_KEMAR_SOFA });
        const auto whole = renderSideImpulse (rate, { "--hrtf", VENDRASOLITH_KEMAR_SOFA, "--true-rate" });
        EXPECT_NEAR (cut.itdMicroseconds, reference, 0.03 * std::fabs (reference));
        EXPECT_NEAR (whole.itdMicroseconds, reference, 0.03 * std::fabs (reference));

        // Without --true-rate the responses end 256 taps in (the direct sound sits 24 taps
        // before the latency); with it they last about as long as at 44.1 kHz (5.3 ms
        // after the direct sound). Past their end only the transforms' rounding is left.
        constexpr double rounding = 1.0e-12;
        const auto both = [] (const SideImpulse& a, size_t from, size_t to = std::numeric_limits<size_t>::max())
        { return energy (a.out.channels[0], from, to) + energy (a.out.channels[1], from, to); };
        const size_t end = cut.at + 256 - 24, longEnd = whole.at + (size_t) (5.0e-3 * rate);
        EXPECT_LT (both (cut, end), rounding);
        EXPECT_GT (both (whole, end, longEnd), 1000.0 * rounding);
        EXPECT_LT (both (whole, longEnd + (size_t) (0.5e-3 * rate)), rounding);
    }
}

TEST_F (RenderProgram, HrtfWarnsOfDirectionsOffAndOfResponsesCutShort)
{
    using namespace vendrasolith::fixtures;
    writeAudio (file ("in.wav"), noise (2, 5000), 48000.0);

    // Measured every 8 degrees: the nearest directions are used, up to 2 degrees off.
    writeSofa (path ("coarse.sofa"), sphericalHeadContents (48000.0, 128, 8.0, { 0.0 }));
    auto run = render ({ "in.wav", "out.wav", "--hrtf", "coarse.sofa" });
    EXPECT_EQ (run.status, 0) << run.err;
    EXPECT_NE (run.err.find ("the nearest are used (330 by 2.0, 30 by 2.0, 250 by 2.0, 110 by 2.0, 270 by 2.0, 90 by 2.0 degrees off)"),
               std::string::npos) << run.err;
    EXPECT_EQ (occurrences (run.err, "\n"), 1) << run.err;

    // Measured in a room: far more than the 256 taps, cut with the fade.
    auto roomy = sphericalHeadContents (48000.0, 4096, 10.0, { 0.0 });
    for (auto& ears : roomy.responses)
        for (auto& response : ears)
            for (size_t t = 300; t < response.size(); t += 2)
                response[t] += 0.02 * std::exp (-double (t) / 2000.0) * (t % 4 == 0 ? 1.0 : -1.0);
    writeSofa (path ("roomy.sofa"), roomy);
    run = render ({ "in.wav", "out.wav", "--hrtf", "roomy.sofa" });
    EXPECT_EQ (run.status, 0) << run.err;
    EXPECT_NE (run.err.find ("run longer than 256 taps at 48000 Hz; they are cut there with a fade"), std::string::npos)
        << run.err;
    EXPECT_EQ (readAudio (file ("out.wav")).frames(), 5000u);
}

TEST_F (RenderProgram, UnusableHrtfFilesFailWithOneLineAndLeaveNoFile)
{
    using namespace vendrasolith::fixtures;
    writeAudio (file ("in.wav"), noise (2, 3000));
    const auto good = sphericalHeadContents (44100.0, 128, 10.0, { 0.0 });
    const auto writeWith = [&] (const char* name, auto change)
    {
        auto contents = good;
        change (contents);
        writeSofa (path (name), contents);
    };
    writeWith ("convention.sofa", [] (SofaContents& c) { c.convention = "SingleRoomSRIR"; });
    writeWith ("rate.sofa", [] (SofaContents& c) { c.sampleRate = 3.0e6; });
    writeWith ("nan.sofa", [] (SofaContents& c) { c.responses[5][0][7] = std::numeric_limits<double>::quiet_NaN(); });
    writeWith ("above.sofa", [] (SofaContents& c) { for (auto& p : c.positions) p.elevation = 30.0; });
    writeWith ("swapped.sofa", [] (SofaContents& c)
               {
                   // Right ear first, and its data with it: the wrong way round for SOFA.
                   c.receiverPositions = { 0.0, -0.09, 0.0, 0.0, 0.09, 0.0 };
                   for (auto& ears : c.responses)
                       std::swap (ears[0], ears[1]);
               });
    writeWith ("mirrored.sofa", [] (SofaContents& c)
               {
                   // Positions as SOFA wants them, data of the other ear: sides come out mirrored.
                   for (auto& ears : c.responses)
                       std::swap (ears[0], ears[1]);
               });
    file ("text.sofa").replaceWithText ("not a SOFA file\n");

    struct Case
    {
        std::vector<std::string> arguments;
        const char* message;
        int status;
    };
    const Case cases[] = {
        { { "--hrtf", "missing.sofa" }, "HRTF file 'missing.sofa' does not exist", 1 },
        { { "--hrtf", "text.sofa" }, "HRTF file 'text.sofa' is not a SOFA file", 1 },
        { { "--hrtf", "convention.sofa" }, "holds the SOFA convention 'SingleRoomSRIR'", 1 },
        { { "--hrtf", "rate.sofa" }, "gives a sample rate of 3e+06 Hz", 1 },
        { { "--hrtf", "nan.sofa" }, "holds response samples that are not numbers", 1 },
        { { "--hrtf", "above.sofa" }, "has no measurement within 5 degrees of the 330-degree loudspeaker", 1 },
        { { "--hrtf", "swapped.sofa" }, "does not hold the left ear as receiver 0", 1 },
        { { "--hrtf", "mirrored.sofa" }, "cannot be used: the near ear of feed L (330 degrees) is not louder", 1 },
        { { "--hrtf" }, "--hrtf needs a value", 2 },
        { { "--hrtf=" }, "--hrtf needs a SOFA file", 2 },
    };

    const auto before = listing();
    for (const auto& c : cases)
    {
        std::vector<std::string> arguments { "in.wav", "out.wav" };
        arguments.insert (arguments.end(), c.arguments.begin(), c.arguments.end());
        std::string what;
        for (const auto& a : arguments)
            what += a + " ";
        const auto run = render (arguments);
        EXPECT_EQ (run.status, c.status) << what;
        EXPECT_NE (run.err.find (c.message), std::string::npos) << what << "\n" << run.err;
        EXPECT_EQ (occurrences (run.err, "\n"), 1) << what << "\n" << run.err;
        EXPECT_EQ (listing(), before) << what << ": nothing written, nothing left behind";
    }
}
#endif
} // namespace
