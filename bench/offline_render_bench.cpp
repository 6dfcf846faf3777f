// Times the offline renderer on a generated 7.1 file against a plain copy of the same
// file, and, where ffmpeg is installed, against ffmpeg's SOFA-based binaural filter
// (sofalizer, fed the KEMAR SOFA file the built-in table is made from, in its frequency-domain
// mode) and ffmpeg's own plain copy (-af anull), so the figures say how much the rendering
// costs beyond reading and writing audio and against another convolution renderer.
//
// Output, one line, then a second one when ffmpeg is found:
//   minutes=<m> copy_seconds=<x> render_seconds=<x> render_cpu_seconds=<x> render_over_copy=<x> realtime_factor=<x>
//   render_cpu_per_audio_s=<x> sofalizer_cpu_per_audio_s=<x> ffmpeg_copy_cpu_per_audio_s=<x> render_over_sofalizer=<x> render_over_ffmpeg_copy=<x>
// render_seconds is wall time of one vendrasolith-render run (median of --runs), its CPU
// time the child's user + system time, realtime_factor the input's length over the render
// time; the second line gives user + system CPU seconds per second of audio for each
// program (medians of --runs) and their ratios. The input is 16-bit 48 kHz 7.1 noise
// bursts, written once to the work folder.
//
// Options: --render=<path> (default: the vendrasolith-render of this build), --minutes=<m>
// (default 10), --runs=<n> (default 3), --dir=<folder> (default the system's temporary
// folder), --sofa=<file> (default the KEMAR file of Debian's libmysofa).
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <spawn.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

extern char** environ;

namespace
{
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kRate = 48000;
constexpr int kChannels = 8;

struct Options
{
    std::string render = VENDRASOLITH_RENDER_PROGRAM;
    std::string sofa = VENDRASOLITH_KEMAR_SOFA;
    double minutes = 10.0;
    int runs = 3;
    fs::path dir = fs::temp_directory_path();
};

void put (std::ofstream& out, std::uint32_t value, int bytes)
{
    for (int b = 0; b < bytes; ++b)
        out.put ((char) ((value >> (8 * b)) & 0xff));
}

/** A 16-bit 7.1 WAV of noise bursts that move from channel to channel. */
void writeInput (const fs::path& path, long long frames)
{
    std::ofstream out (path, std::ios::binary);
    const auto dataBytes = (std::uint32_t) (frames * kChannels * 2);
    out.write ("RIFF", 4);
    put (out, 36 + dataBytes, 4);
    out.write ("WAVEfmt ", 8);
    put (out, 16, 4);
    put (out, 1, 2); // PCM
    put (out, kChannels, 2);
    put (out, kRate, 4);
    put (out, kRate * kChannels * 2, 4);
    put (out, kChannels * 2, 2);
    put (out, 16, 2);
    out.write ("data", 4);
    put (out, dataBytes, 4);

    std::mt19937 rng (7);
    std::uniform_int_distribution<int> dist (-6000, 6000);
    std::vector<std::int16_t> block ((size_t) kRate * kChannels);
    for (long long done = 0; done < frames; done += kRate)
    {
        const long long count = std::min<long long> (kRate, frames - done);
        for (long long k = 0; k < count; ++k)
            for (int c = 0; c < kChannels; ++c)
                block[(size_t) (k * kChannels + c)] = (std::int16_t) ((done / kRate + c) % 3 == 0 ? 0 : dist (rng));
        out.write (reinterpret_cast<const char*> (block.data()), (std::streamsize) (count * kChannels * 2));
    }
}

double copySeconds (const fs::path& from, const fs::path& to)
{
    const auto start = Clock::now();
    std::ifstream in (from, std::ios::binary);
    std::ofstream out (to, std::ios::binary);
    std::vector<char> buffer (1 << 20);
    while (in.read (buffer.data(), (std::streamsize) buffer.size()) || in.gcount() > 0)
        out.write (buffer.data(), in.gcount());
    out.flush();
    return std::chrono::duration<double> (Clock::now() - start).count();
}

struct RenderTime
{
    double wall, cpu;
};

/** Runs a program to its end; its wall time and its user + system CPU time. Stops the
    benchmark when it fails. */
RenderTime runSeconds (std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back (a.data());
    argv.push_back (nullptr);

    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init (&quiet);
    posix_spawn_file_actions_addopen (&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen (&quiet, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

    const auto start = Clock::now();
    pid_t child = 0;
    const int spawned = posix_spawnp (&child, args[0].c_str(), &quiet, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy (&quiet);
    if (spawned != 0)
    {
        std::fprintf (stderr, "cannot start %s\n", args[0].c_str());
        std::exit (1);
    }
    int status = 0;
    rusage usage {};
    wait4 (child, &status, 0, &usage);
    const double wall = std::chrono::duration<double> (Clock::now() - start).count();
    if (! WIFEXITED (status) || WEXITSTATUS (status) != 0)
    {
        std::fprintf (stderr, "%s failed\n", args[0].c_str());
        std::exit (1);
    }
    auto seconds = [] (const timeval& t) { return (double) t.tv_sec + 1.0e-6 * (double) t.tv_usec; };
    return { wall, seconds (usage.ru_utime) + seconds (usage.ru_stime) };
}

bool hasProgram (const std::string& name)
{
    const char* path = std::getenv ("PATH");
    std::string folders = path != nullptr ? path : "";
    for (size_t start = 0; start <= folders.size();)
    {
        const auto end = std::min (folders.find (':', start), folders.size());
        if (end > start && access ((folders.substr (start, end - start) + "/" + name).c_str(), X_OK) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

double median (std::vector<double> v)
{
    std::sort (v.begin(), v.end());
    return v[v.size() / 2];
}

Options parseOptions (int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i)
    {
        const std::string a = argv[i];
        if (a.rfind ("--render=", 0) == 0)
            o.render = a.substr (9);
        else if (a.rfind ("--minutes=", 0) == 0)
            o.minutes = std::atof (a.c_str() + 10);
        else if (a.rfind ("--runs=", 0) == 0)
            o.runs = std::max (1, std::atoi (a.c_str() + 7));
        else if (a.rfind ("--dir=", 0) == 0)
            o.dir = a.substr (6);
        else if (a.rfind ("--sofa=", 0) == 0)
            o.sofa = a.substr (7);
        else
        {
            std::fprintf (stderr, "usage: %s [--render=PATH] [--minutes=M] [--runs=N] [--dir=FOLDER] [--sofa=FILE]\n", argv[0]);
            std::exit (2);
        }
    }
    return o;
}
} // namespace

int main (int argc, char** argv)
{
    const Options options = parseOptions (argc, argv);
    const auto frames = (long long) (options.minutes * 60.0 * kRate);
    const fs::path work = options.dir / ("vendrasolith-offline-bench-" + std::to_string (getpid()));
    fs::create_directories (work);
    const fs::path input = work / "in71.wav";
    writeInput (input, frames);

    std::vector<double> copies, walls, cpus;
    for (int run = 0; run < options.runs; ++run)
    {
        copies.push_back (copySeconds (input, work / "copy.wav"));
        const auto t = runSeconds ({ options.render, input.string(), (work / "out.wav").string() });
        walls.push_back (t.wall);
        cpus.push_back (t.cpu);
    }

    const double seconds = (double) frames / kRate;
    const double copy = median (copies), wall = median (walls), cpu = median (cpus);
    std::printf ("minutes=%.1f copy_seconds=%.2f render_seconds=%.2f render_cpu_seconds=%.2f render_over_copy=%.1f realtime_factor=%.0f\n",
                 options.minutes, copy, wall, cpu, wall / copy, seconds / wall);

    if (! hasProgram ("ffmpeg"))
    {
        std::fprintf (stderr, "ffmpeg not found: install it (apt-get install ffmpeg) for the comparison with its sofalizer filter\n");
    }
    else if (! fs::exists (options.sofa))
    {
        std::fprintf (stderr, "%s not found: give the KEMAR SOFA file with --sofa for the comparison with sofalizer\n", options.sofa.c_str());
    }
    else
    {
        std::vector<double> sofalizer, ffmpegCopy;
        for (int run = 0; run < options.runs; ++run)
        {
            const std::vector<std::string> ffmpeg { "ffmpeg", "-nostdin", "-y", "-threads", "1", "-i", input.string() };
            auto filtered = ffmpeg, copied = ffmpeg;
            filtered.insert (filtered.end(), { "-af", "sofalizer=sofa=" + options.sofa + ":type=freq", "-c:a", "pcm_s24le", (work / "sofalizer.wav").string() });
            copied.insert (copied.end(), { "-af", "anull", (work / "ffmpeg-copy.wav").string() });
            sofalizer.push_back (runSeconds (filtered).cpu);
            ffmpegCopy.push_back (runSeconds (copied).cpu);
        }
        const double theirs = median (sofalizer), plain = median (ffmpegCopy);
        std::printf ("render_cpu_per_audio_s=%.5f sofalizer_cpu_per_audio_s=%.5f ffmpeg_copy_cpu_per_audio_s=%.5f render_over_sofalizer=%.3f render_over_ffmpeg_copy=%.2f\n",
                     cpu / seconds, theirs / seconds, plain / seconds, cpu / theirs, cpu / plain);
    }
    fs::remove_all (work);
    return 0;
}
