// A VST 2.4 host of our own: it loads the built plug-in library with dlopen, the way hosts
// do, and talks to it only through the published binary interface defined below.
#pragma once

#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace vst2test
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
inline constexpr int32_t open = 0, close = 1, getParamDisplay = 7, getParamName = 8, setSampleRate = 10,
                  setBlockSize = 11, mainsChanged = 12, editGetRect = 13, editOpen = 14, editClose = 15,
                  editIdle = 19, getChunk = 23, setChunk = 24, getInputProperties = 33,
                  getOutputProperties = 34, getPlugCategory = 35, setSpeakerArrangement = 42, setBypass = 44,
                  getEffectName = 45, getVendorString = 47, getProductString = 48, getVendorVersion = 49,
                  canDo = 51, getTailSize = 52, getVstVersion = 58, getSpeakerArrangement = 69;
}

inline constexpr int32_t hostVersionQuery = 1;   // audio master opcode
inline constexpr int32_t numHostOpcodes = 50;     // published host opcodes are 0…49
inline constexpr int32_t effectMagic = 0x56737450; // "VstP"
inline constexpr int32_t hasEditor = 1 << 0, canReplacing = 1 << 4, programChunks = 1 << 5, isSynth = 1 << 8;
inline constexpr int32_t pinIsActive = 1 << 0, pinIsStereo = 1 << 1, pinUseSpeaker = 1 << 2;

namespace arrangement // speaker arrangement types
{
inline constexpr int32_t mono = 0, stereo = 1, quad = 11, surround51 = 15, cine71 = 22, music71 = 23;
}

//==============================================================================
inline void* pluginLibrary()
{
    static void* library = dlopen (VENDRASOLITH_VST_PATH, RTLD_NOW | RTLD_LOCAL);
    return library;
}

inline EntryPoint entryPoint (const char* name)
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

inline Instance::Channels noise (int channels, int length, unsigned seed = 7)
{
    std::mt19937 random (seed);
    std::uniform_real_distribution<float> uniform (-0.5f, 0.5f);
    Instance::Channels signal ((size_t) channels, std::vector<float> ((size_t) length));
    for (auto& channel : signal)
        for (auto& sample : channel)
            sample = uniform (random);
    return signal;
}

inline std::vector<unsigned char> stateBlock (const std::string& xml)
{
    std::vector<unsigned char> block { 'V', 'C', '2', '!' };
    const auto length = (uint32_t) xml.size();
    for (int shift = 0; shift < 32; shift += 8)
        block.push_back ((unsigned char) (length >> shift));
    block.insert (block.end(), xml.begin(), xml.end());
    block.push_back (0);
    return block;
}

inline const std::string defaultStereoState = "<Root><Angle>0</Angle><Width>1</Width><Gain>0.9</Gain>"
                                       "<idxInputConfig>1</idxInputConfig><idxBassBoost>0</idxBassBoost>"
                                       "<idxGUI>0</idxGUI></Root>";
} // namespace vst2test
