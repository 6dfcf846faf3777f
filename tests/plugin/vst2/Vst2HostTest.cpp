// A VST 2.4 host of our own: it loads the built plug-in library with dlopen, the way hosts
// do, and talks to it only through the published binary interface defined below.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace
{
//==============================================================================
// The published VST 2.4 interface, as far as this host uses it.
struct Effect;
using HostCallback = intptr_t (*) (Effect*, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);
using EntryPoint = Effect* (*) (HostCallback);

struct Effect
{
    int32_t magic;
    intptr_t (*dispatcher) (Effect*, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);
    void* deprecatedProcess;
    void (*setParameter) (Effect*, int32_t index, float value);
    float (*getParameter) (Effect*, int32_t index);
    int32_t numPrograms, numParams, numInputs, numOutputs;
    int32_t flags;
    intptr_t reserved1, reserved2;
    int32_t initialDelay;
    int32_t deprecatedQualities[2];
    float deprecatedIoRatio;
    void* object;
    void* user;
    int32_t uniqueID;
    int32_t version;
    void (*processReplacing) (Effect*, float** inputs, float** outputs, int32_t sampleFrames);
    void* processDoubleReplacing;
    char future[56];
};
static_assert (sizeof (void*) != 8 || offsetof (Effect, uniqueID) == 112);

struct SpeakerProperties
{
    float azimuth, elevation, radius, reserved;
    char name[64];
    int32_t type;
    char future[28];
};

struct SpeakerArrangement
{
    int32_t type, numChannels;
    SpeakerProperties speakers[8];
};

struct EditorRect
{
    int16_t top, left, bottom, right;
};

struct PinProperties
{
    char label[64];
    int32_t flags, arrangementType;
    char shortLabel[8];
    char future[48];
};

namespace op // plug-in opcodes
{
constexpr int32_t open = 0, close = 1, getParamDisplay = 7, getParamName = 8, setSampleRate = 10,
                  setBlockSize = 11, mainsChanged = 12, editGetRect = 13, editOpen = 14, editClose = 15,
                  editIdle = 19, getChunk = 23, setChunk = 24, getInputProperties = 33,
                  getOutputProperties = 34, getPlugCategory = 35, setSpeakerArrangement = 42, setBypass = 44,
                  getEffectName = 45, getVendorString = 47, getProductString = 48, getVendorVersion = 49,
                  canDo = 51, getTailSize = 52, getVstVersion = 58, getSpeakerArrangement = 69;
}

constexpr int32_t hostVersionQuery = 1;   // audio master opcode
constexpr int32_t numHostOpcodes = 50;     // published host opcodes are 0…49
constexpr int32_t effectMagic = 0x56737450; // "VstP"
constexpr int32_t hasEditor = 1 << 0, canReplacing = 1 << 4, programChunks = 1 << 5, isSynth = 1 << 8;
constexpr int32_t pinIsActive = 1 << 0, pinIsStereo = 1 << 1, pinUseSpeaker = 1 << 2;

namespace arrangement // speaker arrangement types
{
constexpr int32_t mono = 0, stereo = 1, quad = 11, surround51 = 15, cine71 = 22, music71 = 23;
}

//==============================================================================
void* pluginLibrary()
{
    static void* library = dlopen (VENDRASOLITH_VST_PATH, RTLD_NOW | RTLD_LOCAL);
    return library;
}

EntryPoint entryPoint (const char* name)
{
    // Never dlsym a null handle: that would find this program's own main.
    auto* library = pluginLibrary();
    return library != nullptr ? reinterpret_cast<EntryPoint> (dlsym (library, name)) : nullptr;
}

/** One plug-in instance, driven from the test's thread. */
class Instance
{
public:
    explicit Instance (const char* entryName = "VSTPluginMain")
    {
        if (auto entry = entryPoint (entryName))
            effect = entry (&host);
        if (effect == nullptr)
            return;
        effect->user = this;
        dispatch (op::open);
    }

    ~Instance()
    {
        if (effect == nullptr)
            return;
        dispatch (op::close);
        EXPECT_EQ (unpublishedHostOpcode, -1) << "the plug-in called the host with an unpublished opcode";
    }

    Instance (const Instance&) = delete;
    Instance& operator= (const Instance&) = delete;

    intptr_t dispatch (int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f)
    {
        return effect->dispatcher (effect, opcode, index, value, ptr, opt);
    }

    std::string text (int32_t opcode, int32_t index = 0)
    {
        char buffer[256] = {};
        dispatch (opcode, index, 0, buffer);
        return buffer;
    }

    intptr_t canDo (const char* query) { return dispatch (op::canDo, 0, 0, const_cast<char*> (query)); }

    bool setArrangement (int32_t inType, int32_t inChannels, int32_t outType, int32_t outChannels)
    {
        SpeakerArrangement in {}, out {};
        in.type = inType;
        in.numChannels = inChannels;
        out.type = outType;
        out.numChannels = outChannels;
        return dispatch (op::setSpeakerArrangement, 0, reinterpret_cast<intptr_t> (&in), &out) != 0;
    }

    /** Type and channel count of the input and output arrangements the plug-in reports. */
    std::vector<int32_t> arrangement()
    {
        SpeakerArrangement* in = nullptr;
        SpeakerArrangement* out = nullptr;
        if (dispatch (op::getSpeakerArrangement, 0, reinterpret_cast<intptr_t> (&in), &out) == 0 || in == nullptr || out == nullptr)
            return {};
        return { in->type, in->numChannels, out->type, out->numChannels };
    }

    void start (int blockSize, float sampleRate = 48000.0f)
    {
        dispatch (op::setSampleRate, 0, 0, nullptr, sampleRate);
        dispatch (op::setBlockSize, 0, blockSize);
        dispatch (op::mainsChanged, 0, 1);
    }

    using Channels = std::vector<std::vector<float>>;

    /** Runs the input through processReplacing in blocks of the given size. */
    Channels process (const Channels& input, int numOutputs, int blockSize)
    {
        const int length = (int) input.front().size();
        Channels output ((size_t) numOutputs, std::vector<float> ((size_t) length));
        std::vector<float*> ins (input.size()), outs ((size_t) numOutputs);

        for (int offset = 0; offset < length; offset += blockSize)
        {
            const int n = std::min (blockSize, length - offset);
            for (size_t c = 0; c < ins.size(); ++c)
                ins[c] = const_cast<float*> (input[c].data()) + offset;
            for (size_t c = 0; c < outs.size(); ++c)
                outs[c] = output[c].data() + offset;
            effect->processReplacing (effect, ins.data(), outs.data(), n);
        }
        return output;
    }

    std::vector<unsigned char> chunk()
    {
        void* data = nullptr;
        const auto size = dispatch (op::getChunk, 0, 0, &data);
        const auto* bytes = static_cast<const unsigned char*> (data);
        return bytes != nullptr ? std::vector<unsigned char> (bytes, bytes + size) : std::vector<unsigned char> {};
    }

    void setChunk (std::vector<unsigned char> block)
    {
        dispatch (op::setChunk, 0, (intptr_t) block.size(), block.data());
    }

    Effect* effect = nullptr;
    std::atomic<int32_t> unpublishedHostOpcode { -1 };

    /** Answers the version query as a VST 2.4 host; everything else with 0. */
    static intptr_t host (Effect* effect, int32_t opcode, int32_t, intptr_t, void*, float)
    {
        if (effect != nullptr && effect->user != nullptr && ! (opcode >= 0 && opcode < numHostOpcodes))
            static_cast<Instance*> (effect->user)->unpublishedHostOpcode = opcode;
        return opcode == hostVersionQuery ? 2400 : 0;
    }
};

Instance::Channels noise (int channels, int length, unsigned seed = 7)
{
    std::mt19937 random (seed);
    std::uniform_real_distribution<float> uniform (-0.5f, 0.5f);
    Instance::Channels signal ((size_t) channels, std::vector<float> ((size_t) length));
    for (auto& channel : signal)
        for (auto& sample : channel)
            sample = uniform (random);
    return signal;
}

std::vector<unsigned char> stateBlock (const std::string& xml)
{
    std::vector<unsigned char> block { 'V', 'C', '2', '!' };
    const auto length = (uint32_t) xml.size();
    for (int shift = 0; shift < 32; shift += 8)
        block.push_back ((unsigned char) (length >> shift));
    block.insert (block.end(), xml.begin(), xml.end());
    block.push_back (0);
    return block;
}

const std::string defaultStereoState = "<Root><Angle>0</Angle><Width>1</Width><Gain>0.9</Gain>"
                                       "<idxInputConfig>1</idxInputConfig><idxBassBoost>0</idxBassBoost>"
                                       "<idxGUI>0</idxGUI></Root>";

//==============================================================================
class EntryPoints : public testing::TestWithParam<const char*>
{
};

TEST_P (EntryPoints, EffectRecordAndIdentity)
{
    ASSERT_NE (pluginLibrary(), nullptr) << dlerror();
    Instance plugin (GetParam());
    ASSERT_NE (plugin.effect, nullptr);
    const Effect& e = *plugin.effect;

    EXPECT_EQ (e.magic, effectMagic);
    EXPECT_EQ (e.numPrograms, 1);
    EXPECT_EQ (e.numParams, 3);
    EXPECT_EQ (e.numInputs, 8);
    EXPECT_EQ (e.numOutputs, 8);
    EXPECT_EQ (e.flags & (hasEditor | canReplacing | programChunks | isSynth), hasEditor | canReplacing | programChunks);
    EXPECT_EQ (e.uniqueID, 0x5a717674); // "Zqvt"
    EXPECT_EQ (e.version, 110);
    EXPECT_EQ (e.initialDelay, 792);
    EXPECT_NE (e.processReplacing, nullptr);

    EXPECT_EQ (plugin.text (op::getEffectName), "Vendrasolith");
    EXPECT_EQ (plugin.text (op::getProductString), "Vendrasolith");
    EXPECT_EQ (plugin.text (op::getVendorString), "Quillbright");
    EXPECT_EQ (plugin.dispatch (op::getVendorVersion), 110);
    EXPECT_EQ (plugin.dispatch (op::getPlugCategory), 5);
    EXPECT_EQ (plugin.dispatch (op::getVstVersion), 2400);
    EXPECT_EQ (plugin.dispatch (op::getTailSize), 0);
}

TEST_P (EntryPoints, HostWithoutVersionGetsNoPlugin)
{
    const auto entry = entryPoint (GetParam());
    ASSERT_NE (entry, nullptr);
    EXPECT_EQ (entry ([] (Effect*, int32_t, int32_t, intptr_t, void*, float) -> intptr_t { return 0; }), nullptr);
}

INSTANTIATE_TEST_SUITE_P (Vst2, EntryPoints, testing::Values ("VSTPluginMain", "main"),
                          [] (const auto& info) { return std::string (info.param); });

TEST (Vst2Host, CanDoAnswers)
{
    Instance plugin;
    const std::pair<const char*, intptr_t> answers[] = {
        { "receiveVstEvents", 1 },   { "receiveVstMidiEvent", 1 }, { "receiveVstMidiEvents", 1 },
        { "sendVstEvents", -1 },     { "sendVstMidiEvent", -1 },   { "sendVstMidiEvents", -1 },
        { "receiveVstTimeInfo", 1 }, { "conformsToWindowRules", 1 }, { "bypass", 1 },
        { "openCloseAnyThread", -1 },
        // Anything else is "don't know", including what the framework would otherwise claim.
        { "hasCockosExtensions", 0 }, { "supportsViewDpiScaling", 0 }, { "MPE", 0 }, { "offline", 0 }, { "", 0 } };

    for (const auto& [query, answer] : answers)
        EXPECT_EQ (plugin.canDo (query), answer) << query;
}

TEST (Vst2Host, SpeakerArrangements)
{
    using namespace arrangement;
    struct Case { int32_t inType, ins, outType, outs; bool accepted; };
    const Case cases[] = {
        { stereo, 2, stereo, 2, true },         { mono, 1, stereo, 2, true },
        { surround51, 6, stereo, 2, true },     { surround51, 6, surround51, 6, true },
        { cine71, 8, stereo, 2, true },         { music71, 8, stereo, 2, true },
        { cine71, 8, cine71, 8, true },         { music71, 8, music71, 8, true },
        { quad, 4, stereo, 2, false },          { stereo, 2, mono, 1, false },
        { mono, 1, mono, 1, false },            { stereo, 2, surround51, 6, false },
        { surround51, 6, music71, 8, false },   { music71, 8, surround51, 6, false },
        { surround51, 8, stereo, 2, false }, // the type says six channels
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << c.inType << "/" << c.ins << " -> " << c.outType << "/" << c.outs);
        Instance plugin;
        ASSERT_TRUE (plugin.setArrangement (mono, 1, stereo, 2));
        EXPECT_EQ (plugin.setArrangement (c.inType, c.ins, c.outType, c.outs), c.accepted);

        const std::vector<int32_t> expected = c.accepted ? std::vector<int32_t> { c.inType, c.ins, c.outType, c.outs }
                                                         : std::vector<int32_t> { mono, 1, stereo, 2 };
        EXPECT_EQ (plugin.arrangement(), expected);
    }
}

TEST (Vst2Host, SurroundSpeakersAndPins)
{
    Instance plugin;
    ASSERT_TRUE (plugin.setArrangement (arrangement::surround51, 6, arrangement::stereo, 2));

    SpeakerArrangement* in = nullptr;
    SpeakerArrangement* out = nullptr;
    ASSERT_NE (plugin.dispatch (op::getSpeakerArrangement, 0, reinterpret_cast<intptr_t> (&in), &out), 0);
    const int32_t surroundSpeakers[] = { 1, 2, 3, 4, 5, 6 }; // L R C Lfe Ls Rs
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ (in->speakers[i].type, surroundSpeakers[i]) << i;
    EXPECT_EQ (out->speakers[0].type, 1);
    EXPECT_EQ (out->speakers[1].type, 2);

    for (int i = 0; i < 6; ++i)
    {
        PinProperties pin {};
        ASSERT_EQ (plugin.dispatch (op::getInputProperties, i, 0, &pin), 1) << i;
        EXPECT_EQ (pin.arrangementType, arrangement::surround51);
        const bool startsPair = i == 0 || i == 4;
        EXPECT_EQ (pin.flags, pinIsActive | pinUseSpeaker | (startsPair ? pinIsStereo : 0)) << i;
    }

    PinProperties pin {};
    ASSERT_EQ (plugin.dispatch (op::getOutputProperties, 0, 0, &pin), 1);
    EXPECT_EQ (pin.arrangementType, arrangement::stereo);
    EXPECT_EQ (pin.flags, pinIsActive | pinUseSpeaker | pinIsStereo);
    EXPECT_EQ (plugin.dispatch (op::getOutputProperties, 2, 0, &pin), 0);
}

TEST (Vst2Host, ParameterNamesAndTexts)
{
    Instance plugin;
    const char* names[] = { "Angle", "Width", "Gain" };
    const char* texts[] = { "0", "1", "0.9" };
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_EQ (plugin.text (op::getParamName, i), names[i]);
        EXPECT_EQ (plugin.text (op::getParamDisplay, i), texts[i]);
    }

    plugin.effect->setParameter (plugin.effect, 0, 1.0f / 3.0f);
    EXPECT_EQ (plugin.effect->getParameter (plugin.effect, 0), 1.0f / 3.0f);
    EXPECT_EQ (plugin.text (op::getParamDisplay, 0), "0.333333");
}

TEST (Vst2Host, ChunkSavesAndRestoresTheStateBlock)
{
    Instance plugin;
    ASSERT_TRUE (plugin.setArrangement (arrangement::stereo, 2, arrangement::stereo, 2));
    plugin.start (512);
    EXPECT_EQ (plugin.chunk(), stateBlock (defaultStereoState));

    const auto restored = stateBlock ("<Root><Angle>0.25</Angle><Width>0.5</Width><Gain>1</Gain>"
                                      "<idxInputConfig>1</idxInputConfig><idxBassBoost>2</idxBassBoost>"
                                      "<idxGUI>3</idxGUI></Root>");
    plugin.setChunk (restored);
    EXPECT_EQ (plugin.effect->getParameter (plugin.effect, 0), 0.25f);
    EXPECT_EQ (plugin.effect->getParameter (plugin.effect, 1), 0.5f);
    EXPECT_EQ (plugin.text (op::getParamDisplay, 2), "1");
    EXPECT_EQ (plugin.chunk(), restored);
}

TEST (Vst2Host, WithoutArrangementThePluginRunsAs71)
{
    Instance plugin;
    plugin.start (512);
    const auto block = plugin.chunk();
    const std::string text (block.begin(), block.end());
    EXPECT_NE (text.find ("<idxInputConfig>5</idxInputConfig>"), std::string::npos) << text;

    const auto output = plugin.process (noise (8, 2048), 8, 512);
    for (int c = 2; c < 8; ++c)
        EXPECT_TRUE (std::all_of (output[(size_t) c].begin(), output[(size_t) c].end(), [] (float s) { return s == 0.0f; })) << c;
}

TEST (Vst2Host, ImpulseComesOutAfterTheReportedLatency)
{
    Instance plugin;
    ASSERT_TRUE (plugin.setArrangement (arrangement::stereo, 2, arrangement::stereo, 2));
    plugin.start (512);
    plugin.process (Instance::Channels (2, std::vector<float> (8192)), 2, 512); // gains glide in from silence

    Instance::Channels impulse (2, std::vector<float> (4096));
    impulse[0][0] = impulse[1][0] = 1.0f;
    const auto output = plugin.process (impulse, 2, 512);

    for (const auto& channel : output)
    {
        const auto louder = [] (float a, float b) { return std::abs (a) < std::abs (b); };
        const float peak = std::abs (*std::max_element (channel.begin(), channel.end(), louder));
        ASSERT_GT (peak, 0.01f);
        const auto onset = std::find_if (channel.begin(), channel.end(), [&] (float s) { return std::abs (s) > 0.05f * peak; })
                         - channel.begin();
        // The convolver's 768 samples, then the head's own delay in the measured responses.
        EXPECT_GE (onset, 768);
        EXPECT_LE (onset, plugin.effect->initialDelay + 8);
        // Before that, nothing but the rounding noise of the block transforms.
        EXPECT_TRUE (std::all_of (channel.begin(), channel.begin() + 768, [&] (float s) { return std::abs (s) < 1.0e-6f * peak; }));
    }
}

TEST (Vst2Host, BypassPassesChannelsZeroAndOneAndSilencesTheRest)
{
    Instance plugin;
    ASSERT_TRUE (plugin.setArrangement (arrangement::surround51, 6, arrangement::surround51, 6));
    plugin.start (256);
    const auto input = noise (6, 2048);

    EXPECT_EQ (plugin.dispatch (op::setBypass, 0, 1), 1);
    const auto bypassed = plugin.process (input, 6, 256);
    EXPECT_EQ (bypassed[0], input[0]);
    EXPECT_EQ (bypassed[1], input[1]);
    for (size_t c = 2; c < 6; ++c)
        EXPECT_TRUE (std::all_of (bypassed[c].begin(), bypassed[c].end(), [] (float s) { return s == 0.0f; })) << c;

    plugin.dispatch (op::setBypass, 0, 0);
    const auto processed = plugin.process (input, 6, 256);
    EXPECT_NE (processed[0], input[0]);
}

TEST (Vst2Host, OutputDoesNotDependOnTheBlockSize)
{
    const auto warmUp = noise (2, 30000, 3);
    const auto input = noise (2, 3 * 8192 + 123);
    Instance::Channels reference;

    for (const int blockSize : { 8192, 1, 97, 767, 768, 769 })
    {
        SCOPED_TRACE (blockSize);
        Instance plugin;
        ASSERT_TRUE (plugin.setArrangement (arrangement::stereo, 2, arrangement::stereo, 2));
        plugin.effect->setParameter (plugin.effect, 0, 0.3f);
        plugin.effect->setParameter (plugin.effect, 1, 0.6f);
        plugin.start (8192);
        plugin.process (warmUp, 2, 8192); // gains settle the same way in every run
        const auto output = plugin.process (input, 2, blockSize);

        if (reference.empty())
            reference = output;
        for (size_t c = 0; c < 2; ++c)
        {
            const auto mismatch = std::mismatch (output[c].begin(), output[c].end(), reference[c].begin());
            EXPECT_TRUE (mismatch.first == output[c].end())
                << "channel " << c << " differs from sample " << (mismatch.first - output[c].begin());
        }
    }
}
} // namespace

//==============================================================================
namespace guitest
{
void prepareBareDisplay();
}

namespace
{
/** A display connection and a top-level window standing in for the frame a Linux host
    hands to a plug-in's editor. */
class HostFrame
{
public:
    HostFrame() : display (XOpenDisplay (nullptr))
    {
        if (display == nullptr)
            return;

        window = XCreateSimpleWindow (display, DefaultRootWindow (display), 0, 0, 640, 480, 0, 0, 0);
        XMapWindow (display, window);
        XSync (display, False);
    }

    ~HostFrame()
    {
        if (display == nullptr)
            return;
        XDestroyWindow (display, window);
        XCloseDisplay (display);
    }

    HostFrame (const HostFrame&) = delete;
    HostFrame& operator= (const HostFrame&) = delete;

    std::vector<Window> children() const
    {
        XSync (display, False);
        Window root = 0, parent = 0, *list = nullptr;
        unsigned int count = 0;
        if (XQueryTree (display, window, &root, &parent, &list, &count) == 0)
            return {};
        std::vector<Window> result (list, list + count);
        XFree (list);
        return result;
    }

    XWindowAttributes attributes (Window w) const
    {
        XWindowAttributes a {};
        XGetWindowAttributes (display, w, &a);
        return a;
    }

    /** Distinct pixel values on a 10-pixel grid over a window: 1 for a plain fill. */
    size_t distinctColours (Window w) const
    {
        const auto a = attributes (w);
        XImage* image = XGetImage (display, w, 0, 0, (unsigned) a.width, (unsigned) a.height, AllPlanes, ZPixmap);
        if (image == nullptr)
            return 0;
        std::set<unsigned long> colours;
        for (int y = 0; y < a.height; y += 10)
            for (int x = 0; x < a.width; x += 10)
                colours.insert (XGetPixel (image, x, y));
        XDestroyImage (image);
        return colours.size();
    }

    Display* const display;
    Window window = 0;
};

/** The host's audio thread: stereo blocks through processReplacing, with Angle automated,
    until the object goes. */
class AudioThread
{
public:
    explicit AudioThread (Effect& e) : effect (e), thread ([this] { run(); }) {}

    ~AudioThread()
    {
        running = false;
        thread.join();
    }

    std::atomic<int> blocks { 0 };
    std::atomic<bool> finite { true };

private:
    void run()
    {
        constexpr int blockSize = 256;
        const auto input = noise (2, blockSize);
        Instance::Channels output (2, std::vector<float> (blockSize));
        float* ins[] = { const_cast<float*> (input[0].data()), const_cast<float*> (input[1].data()) };
        float* outs[] = { output[0].data(), output[1].data() };

        for (int n = 0; running; ++n)
        {
            effect.setParameter (&effect, 0, (float) (n % 64) / 64.0f);
            effect.processReplacing (&effect, ins, outs, blockSize);
            for (const auto& channel : output)
                if (! std::all_of (channel.begin(), channel.end(), [] (float s) { return std::isfinite (s); }))
                    finite = false;
            ++blocks;
            std::this_thread::sleep_for (std::chrono::milliseconds (2));
        }
    }

    Effect& effect;
    std::atomic<bool> running { true };
    std::thread thread;
};

/** Gives the plug-in the idle calls a host makes from its window loop, for at least the
    given time and then until the condition holds (bounded, for a busy machine). */
template <typename Condition>
void idleUntil (Instance& plugin, int milliseconds, Condition condition)
{
    const auto start = std::chrono::steady_clock::now();
    for (;;)
    {
        plugin.dispatch (op::editIdle);
        std::this_thread::sleep_for (std::chrono::milliseconds (10));
        const auto waited = std::chrono::steady_clock::now() - start;
        if ((waited > std::chrono::milliseconds (milliseconds) && condition()) || waited > std::chrono::seconds (20))
            return;
    }
}
} // namespace

// Run on a display (xvfb-run), apart from the tests above.
TEST (Vst2Editor, OpensInTheHostWindowAndClosesWhileAudioRuns)
{
    // Before the plug-in connects to the display.
    guitest::prepareBareDisplay();
    HostFrame frame;
    ASSERT_NE (frame.display, nullptr) << "no X display";

    Instance plugin;
    ASSERT_NE (plugin.effect, nullptr);
    ASSERT_TRUE (plugin.setArrangement (arrangement::stereo, 2, arrangement::stereo, 2));
    plugin.start (256);
    AudioThread audio (*plugin.effect);

    EditorRect* rect = nullptr;
    ASSERT_NE (plugin.dispatch (op::editGetRect, 0, 0, &rect), 0);
    ASSERT_NE (rect, nullptr);
    EXPECT_EQ (rect->right - rect->left, 500);
    EXPECT_EQ (rect->bottom - rect->top, 380);

    ASSERT_TRUE (frame.children().empty());
    ASSERT_EQ (plugin.dispatch (op::editOpen, 0, 0, reinterpret_cast<void*> (frame.window)), 1);
    // A plain fill has one colour; the skin has many.
    const auto showsSkin = [&] { const auto c = frame.children(); return c.size() == 1 && frame.distinctColours (c[0]) > 50; };
    idleUntil (plugin, 1000, showsSkin);

    const auto children = frame.children();
    ASSERT_EQ (children.size(), 1u);
    const auto view = frame.attributes (children[0]);
    EXPECT_EQ (view.width, 500);
    EXPECT_EQ (view.height, 380);
    EXPECT_EQ (view.map_state, IsViewable);
    EXPECT_TRUE (showsSkin()) << "the window shows no skin";

    const int blocksWhileOpen = audio.blocks;
    plugin.dispatch (op::editClose);
    idleUntil (plugin, 200, [&] { return frame.children().empty(); });
    EXPECT_TRUE (frame.children().empty()) << "the editor's window outlived effEditClose";

    EXPECT_GT (audio.blocks.load(), blocksWhileOpen) << "audio stopped";
    EXPECT_TRUE (audio.finite);
}
