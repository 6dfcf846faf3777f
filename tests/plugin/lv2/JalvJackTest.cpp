// Runs every LV2 bundle in jalv, a real LV2 host, on a JACK server (dummy backend) that this
// program starts itself and stops again by its process id, as a user on a JACK or PipeWire
// system would run the plug-in. Through JACK the test checks what such a host sees: one
// JACK input per audio input and the binaural pair, the reported latency on the outputs, and
// an impulse on each input heard from the loudspeaker its port is designated with. HOME and
// LV2_PATH point at a folder that links to this build's bundles only (IsolatedPluginHome).
#include "../hosts/EarCues.h"
#include "IsolatedPluginHome.h"

#include <gtest/gtest.h>
#include <jack/jack.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace
{
using namespace std::chrono_literals;
using Set = juce::AudioChannelSet;

constexpr int kSampleRate = 48000;
constexpr int kPeriod = 512;
constexpr int kSpacing = 8192;            // frames from one input's impulse to the next
constexpr int kImpulseAt = 2048;          // within each input's stretch
constexpr jack_nframes_t kSettle = 48000; // the plug-in's gains fade in from silence first

struct JalvCase
{
    const char* label;
    const char* uri;
    const char* library; // the bundle's plug-in binary
    std::vector<Set::ChannelType> loudspeakers; // of the input ports, in port order
};

void PrintTo (const JalvCase& c, std::ostream* out) { *out << c.label; }

const JalvCase jalvCases[] = {
    { "Mono", "https://quillbright.example/plugins/vendrasolith-mono", "libVendrasolith-Mono.so", { Set::centre } },
    { "Stereo", "https://quillbright.example/plugins/vendrasolith", "libVendrasolith.so", { Set::left, Set::right } },
    { "FivePointOne", "https://quillbright.example/plugins/vendrasolith-5.1", "libVendrasolith-5.1.so",
      { Set::left, Set::right, Set::centre, Set::LFE, Set::leftSurroundRear, Set::rightSurroundRear } },
    { "SevenPointOne", "https://quillbright.example/plugins/vendrasolith-7.1", "libVendrasolith-7.1.so",
      { Set::left, Set::right, Set::centre, Set::LFE, Set::leftSurroundSide, Set::rightSurroundSide,
        Set::leftSurroundRear, Set::rightSurroundRear } },
};

bool waitFor (const std::function<bool()>& condition, std::chrono::milliseconds limit)
{
    const auto until = std::chrono::steady_clock::now() + limit;
    while (! condition())
    {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for (50ms);
    }
    return true;
}

/** A program this test started, stopped again by its own process id. */
class Child
{
public:
    explicit Child (std::vector<std::string> arguments, bool withInput = false)
    {
        int pipeEnds[2] = { -1, -1 };
        if (withInput && pipe (pipeEnds) != 0)
            return;
        pid = fork();
        if (pid == 0)
        {
            // Console hosts read commands from their input; it stays open until they stop.
            if (withInput)
            {
                dup2 (pipeEnds[0], STDIN_FILENO);
                close (pipeEnds[1]);
            }
            std::vector<char*> argv;
            for (auto& argument : arguments)
                argv.push_back (argument.data());
            argv.push_back (nullptr);
            execvp (argv[0], argv.data());
            _exit (127);
        }
        if (withInput)
        {
            close (pipeEnds[0]);
            input = pipeEnds[1];
        }
    }

    ~Child() { stop(); }

    bool hasExited()
    {
        if (! exited && pid > 0 && waitpid (pid, &status, WNOHANG) == pid)
            exited = true;
        return exited;
    }

    /** Asks the program to stop, as a terminal would; kills it if it does not. Its wait status. */
    int stop()
    {
        if (pid <= 0 || hasExited())
            return status;
        kill (pid, SIGTERM);
        if (! waitFor ([this] { return hasExited(); }, 10s))
        {
            kill (pid, SIGKILL);
            waitpid (pid, &status, 0);
            exited = true;
            killed = true;
        }
        if (input >= 0)
            close (input);
        input = -1;
        return status;
    }

    pid_t pid = -1;
    int status = 0;
    bool exited = false, killed = false;

private:
    int input = -1;
};

const std::string serverName = "vendrasolith-test-" + std::to_string (getpid());

jack_client_t* openClient (const char* name)
{
    jack_status_t status {};
    return jack_client_open (name, (jack_options_t) (JackNoStartServer | JackServerName), &status, serverName.c_str());
}

/** Plays an impulse into each of the host's inputs in turn and records the two outputs,
    from two clients, so that JACK runs them before and after the host in the same cycle. */
class ImpulseRun
{
public:
    explicit ImpulseRun (int numInputs) : inputs (numInputs), recorded (2, std::vector<float> ((size_t) (numInputs * kSpacing), 0.0f))
    {
        feeder = openClient ("feeder");
        listener = openClient ("listener");
        if (feeder == nullptr || listener == nullptr)
            return;
        for (int c = 0; c < inputs; ++c)
            sends.push_back (jack_port_register (feeder, ("out_" + std::to_string (c + 1)).c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0));
        for (int c = 0; c < 2; ++c)
            ears.push_back (jack_port_register (listener, (c == 0 ? "left" : "right"), JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0));
        jack_set_process_callback (feeder, [] (jack_nframes_t n, void* self) { return static_cast<ImpulseRun*> (self)->feed (n); }, this);
        jack_set_process_callback (listener, [] (jack_nframes_t n, void* self) { return static_cast<ImpulseRun*> (self)->listen (n); }, this);
    }

    ~ImpulseRun()
    {
        for (auto* client : { feeder, listener })
            if (client != nullptr)
                jack_client_close (client);
    }

    bool isOpen() const { return feeder != nullptr && listener != nullptr; }

    bool connect (const std::string& host)
    {
        bool connected = jack_activate (feeder) == 0 && jack_activate (listener) == 0;
        for (int c = 0; c < inputs; ++c)
            connected = connected && jack_connect (feeder, jack_port_name (sends[(size_t) c]), (host + ":audio_in_" + std::to_string (c + 1)).c_str()) == 0;
        for (int c = 0; c < 2; ++c)
            connected = connected && jack_connect (listener, (host + ":audio_out_" + std::to_string (c + 1)).c_str(), jack_port_name (ears[(size_t) c])) == 0;
        return connected;
    }

    /** Starts the impulses once the gains have settled; true once everything is recorded. */
    bool run()
    {
        const auto now = jack_frame_time (feeder);
        start.store (now + kSettle);
        return waitFor ([this] { return done.load(); }, std::chrono::milliseconds (60000));
    }

    /** The binaural pair recorded around input c's impulse (at kImpulseAt). */
    juce::AudioBuffer<float> pairFor (int c) const
    {
        juce::AudioBuffer<float> pair (2, kSpacing);
        for (int ear = 0; ear < 2; ++ear)
            pair.copyFrom (ear, 0, recorded[(size_t) ear].data() + c * kSpacing, kSpacing);
        return pair;
    }

private:
    /** Frames of this cycle from the start of the recording, or -1 before it. */
    long long offsetOf (jack_client_t* client) const
    {
        const auto begun = start.load();
        if (begun == 0)
            return -1;
        return (long long) (int32_t) (jack_last_frame_time (client) - begun);
    }

    int feed (jack_nframes_t n)
    {
        const auto offset = offsetOf (feeder);
        for (int c = 0; c < inputs; ++c)
        {
            auto* out = static_cast<float*> (jack_port_get_buffer (sends[(size_t) c], n));
            std::fill (out, out + n, 0.0f);
            const long long impulse = (long long) c * kSpacing + kImpulseAt - offset;
            if (offset >= 0 && impulse >= 0 && impulse < (long long) n)
                out[impulse] = 1.0f;
        }
        return 0;
    }

    int listen (jack_nframes_t n)
    {
        const auto offset = offsetOf (listener);
        if (offset < 0 || done.load())
            return 0;
        for (int ear = 0; ear < 2; ++ear)
        {
            const auto* in = static_cast<const float*> (jack_port_get_buffer (ears[(size_t) ear], n));
            for (jack_nframes_t k = 0; k < n; ++k)
            {
                const long long at = offset + (long long) k;
                if (at >= 0 && at < (long long) recorded[(size_t) ear].size())
                    recorded[(size_t) ear][(size_t) at] = in[k];
            }
        }
        if (offset + (long long) n >= (long long) recorded[0].size())
            done.store (true);
        return 0;
    }

    const int inputs;
    jack_client_t *feeder = nullptr, *listener = nullptr;
    std::vector<jack_port_t*> sends, ears;
    std::vector<std::vector<float>> recorded;
    std::atomic<jack_nframes_t> start { 0 };
    std::atomic<bool> done { false };
};

class JalvOnJack : public ::testing::TestWithParam<JalvCase>
{
protected:
    static void SetUpTestSuite()
    {
        setenv ("JACK_DEFAULT_SERVER", serverName.c_str(), 1);
        // No real-time priority (CI runs unprivileged in that sense), sync mode and a lenient
        // timeout: on a loaded machine a cycle may come late, and then the server waits for
        // every client to finish it instead of dropping what a late client had not yet written.
        server = std::make_unique<Child> (std::vector<std::string> { "jackd", "--no-realtime", "--sync", "--timeout", "20000", "-n", serverName,
                                                                     "-d", "dummy", "-r", std::to_string (kSampleRate), "-p", std::to_string (kPeriod) });
        const bool up = waitFor ([]
        {
            if (server->hasExited())
                return true;
            auto* probe = openClient ("probe");
            if (probe != nullptr)
                jack_client_close (probe);
            return probe != nullptr;
        }, 20s);
        serverUp = up && ! server->hasExited();
    }

    static void TearDownTestSuite()
    {
        if (server != nullptr)
            server->stop();
        server.reset();
    }

    static inline std::unique_ptr<Child> server;
    static inline bool serverUp = false;
};

std::string labelOf (const ::testing::TestParamInfo<JalvCase>& info) { return info.param.label; }
} // namespace

INSTANTIATE_TEST_SUITE_P (EveryLayout, JalvOnJack, ::testing::ValuesIn (jalvCases), labelOf);

TEST_P (JalvOnJack, RunsTheBundleWithItsPortsLatencyAndLoudspeakers)
{
    ASSERT_TRUE (serverUp) << "the JACK server (jackd, dummy backend) did not start";
    const auto& bundle = GetParam();
    const int inputs = (int) bundle.loudspeakers.size();
    const std::string client = std::string ("vendrasolith-") + bundle.label;

    Child jalv ({ "jalv", "-x", "-n", client, bundle.uri }, true);
    ASSERT_GT (jalv.pid, 0);
    auto* observer = openClient ("observer");
    ASSERT_NE (observer, nullptr);
    const auto hostPorts = [&] (const char* pattern)
    {
        std::vector<std::string> names;
        if (const char** ports = jack_get_ports (observer, (client + ":" + pattern).c_str(), JACK_DEFAULT_AUDIO_TYPE, 0))
        {
            for (auto** p = ports; *p != nullptr; ++p)
                names.emplace_back (*p);
            jack_free (ports);
        }
        return names;
    };
    const bool started = waitFor ([&] { return jalv.hasExited() || hostPorts ("audio_out_.*").size() == 2; }, 30s);
    ASSERT_TRUE (started && ! jalv.hasExited()) << "jalv did not run " << bundle.uri;
    const auto notFromTheBuild = hosttest::whyNotFromTheBuild (bundle.library, hosttest::filesMappedBy (jalv.pid));
    ASSERT_TRUE (notFromTheBuild.empty()) << "jalv: " << notFromTheBuild;

    // One JACK input per audio input, and the binaural pair.
    EXPECT_EQ ((int) hostPorts ("audio_in_.*").size(), inputs);
    EXPECT_EQ ((int) hostPorts ("audio_out_.*").size(), 2);

    ImpulseRun impulses (inputs);
    ASSERT_TRUE (impulses.isOpen());
    ASSERT_TRUE (impulses.connect (client));
    ASSERT_TRUE (impulses.run()) << "the JACK cycles did not reach the end of the recording";

    // The host reads the plug-in's latency port and tells JACK the delay through it: from its
    // inputs to its outputs the capture latency grows, and the playback latency shrinks, by
    // 792 (jalv books both on the side it was given them for, so the sums are what counts).
    // JACK passes the latency on asynchronously, so it is awaited first.
    const auto latencyOf = [&] (const std::string& port, jack_latency_callback_mode_t mode)
    {
        jack_latency_range_t range {};
        jack_port_get_latency_range (jack_port_by_name (observer, (client + ":" + port).c_str()), mode, &range);
        EXPECT_EQ (range.min, range.max) << port;
        return (int) range.max;
    };
    const auto throughLatency = [&] (jack_latency_callback_mode_t mode) { return latencyOf ("audio_in_1", mode) + latencyOf ("audio_out_1", mode); };
    waitFor ([&] { return throughLatency (JackCaptureLatency) != 0 && throughLatency (JackPlaybackLatency) != 0; }, 10s);
    EXPECT_EQ (throughLatency (JackCaptureLatency), hosttest::kReportedLatency);
    EXPECT_EQ (throughLatency (JackPlaybackLatency), hosttest::kReportedLatency);

    for (int c = 0; c < inputs; ++c)
    {
        SCOPED_TRACE ("audio_in_" + std::to_string (c + 1) + ": " + Set::getChannelTypeName (bundle.loudspeakers[(size_t) c]).toStdString());
        const auto pair = impulses.pairFor (c);
        EXPECT_GT (pair.getMagnitude (0, kSpacing), 0.05f);
        hosttest::expectHeardFrom (hosttest::cuesOf (pair, kImpulseAt, kSampleRate), hosttest::directionOf (bundle.loudspeakers[(size_t) c]));
    }

    jack_client_close (observer);
    const int status = jalv.stop();
    EXPECT_FALSE (jalv.killed) << "jalv did not stop when asked";
    EXPECT_TRUE (WIFEXITED (status) && WEXITSTATUS (status) == 0) << "jalv ended with wait status " << status;
}

int main (int argc, char** argv)
{
    const hosttest::IsolatedPluginHome isolated;
    ::testing::InitGoogleTest (&argc, argv);
    return RUN_ALL_TESTS();
}
