// The VST 2.4 entry points, and a thin layer between hosts and the framework's VST wrapper.
//
// The wrapper (JuceVst2Wrapper.cpp) is compiled against the free VST-compatible headers, which
// give a few published numbers placeholder values (bypass, tail size, most speaker arrangements
// and speaker types, pin flags). Hosts send and expect the published numbers, so the layer
// replaces the effect record's dispatcher and translates on the way in and out. It also answers
// what the wrapper answers differently from us: version number, vendor version, capabilities.
// Calls from the wrapper to the host are passed on as they are: of its placeholder values only
// its latency-change and display-update notices could reach a host, and nothing here sends them.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <iterator>

// As the wrapper sees them.
namespace Vst2
{
#include <pluginterfaces/vst2.x/aeffectx.h>
}

extern "C" Vst2::AEffect* juceVstPluginMain (Vst2::audioMasterCallback);

namespace
{
using Vst2::AEffect;
using Vst2::VstIntPtr;

/** 1.1.0 is 110 for VST hosts. */
constexpr int versionNumber = ((JucePlugin_VersionCode >> 16) & 0xff) * 100
                            + ((JucePlugin_VersionCode >> 8) & 0xff) * 10
                            + (JucePlugin_VersionCode & 0xff);

/** Published opcode numbers that the wrapper knows under other values. */
constexpr int opcodes[][2] = { { 44, Vst2::effSetBypass },
                               { 52, Vst2::effGetTailSize },
                               { 57, Vst2::effKeysRequired },
                               { 78, Vst2::effGetNumMidiInputChannels },
                               { 79, Vst2::effGetNumMidiOutputChannels } };

/** The wrapper's values of the published speaker arrangement types 0…28, by published value. */
constexpr int arrangementTypes[] = {
    Vst2::kSpeakerArrMono,          Vst2::kSpeakerArrStereo,      Vst2::kSpeakerArrStereoSurround,
    Vst2::kSpeakerArrStereoCenter,  Vst2::kSpeakerArrStereoSide,  Vst2::kSpeakerArrStereoCLfe,
    Vst2::kSpeakerArr30Cine,  Vst2::kSpeakerArr30Music,  Vst2::kSpeakerArr31Cine,  Vst2::kSpeakerArr31Music,
    Vst2::kSpeakerArr40Cine,  Vst2::kSpeakerArr40Music,  Vst2::kSpeakerArr41Cine,  Vst2::kSpeakerArr41Music,
    Vst2::kSpeakerArr50,      Vst2::kSpeakerArr51,       Vst2::kSpeakerArr60Cine,  Vst2::kSpeakerArr60Music,
    Vst2::kSpeakerArr61Cine,  Vst2::kSpeakerArr61Music,  Vst2::kSpeakerArr70Cine,  Vst2::kSpeakerArr70Music,
    Vst2::kSpeakerArr71Cine,  Vst2::kSpeakerArr71Music,  Vst2::kSpeakerArr80Cine,  Vst2::kSpeakerArr80Music,
    Vst2::kSpeakerArr81Cine,  Vst2::kSpeakerArr81Music,  Vst2::kSpeakerArr102 };

/** The wrapper's values of the published speaker types 0…19, by published value. */
constexpr int speakerTypes[] = {
    Vst2::kSpeakerM,   Vst2::kSpeakerL,   Vst2::kSpeakerR,   Vst2::kSpeakerC,   Vst2::kSpeakerLfe,
    Vst2::kSpeakerLs,  Vst2::kSpeakerRs,  Vst2::kSpeakerLc,  Vst2::kSpeakerRc,  Vst2::kSpeakerS,
    Vst2::kSpeakerSl,  Vst2::kSpeakerSr,  Vst2::kSpeakerTm,  Vst2::kSpeakerTfl, Vst2::kSpeakerTfc,
    Vst2::kSpeakerTfr, Vst2::kSpeakerTrl, Vst2::kSpeakerTrc, Vst2::kSpeakerTrr, Vst2::kSpeakerLfe2 };

// Published pin flags (all zero in the wrapper's headers).
constexpr int pinIsActive = 1 << 0, pinIsStereo = 1 << 1, pinUseSpeaker = 1 << 2;

/** Whether a pin starts a stereo pair (L, Ls, Lc or Sl), by published arrangement type: the
    wrapper's own choice for the layouts the plug-in can have. */
bool startsStereoPair (int arrangementType, int index)
{
    switch (arrangementType)
    {
        case 1:  return index == 0;                                  // L R
        case 15: return index == 0 || index == 4;                    // L R C Lfe Ls Rs
        case 22:                                                     // L R C Lfe Ls Rs Lc Rc
        case 23: return index == 0 || index == 4 || index == 6;      // L R C Lfe Ls Rs Sl Sr
        default: return false;
    }
}

template <size_t n>
int toWrapper (const int (&table)[n], int published)
{
    return published >= 0 && published < (int) n ? table[published] : published;
}

template <size_t n>
int toPublished (const int (&table)[n], int wrapperValue)
{
    const auto* found = std::find (std::begin (table), std::end (table), wrapperValue);
    return found != std::end (table) ? (int) (found - std::begin (table)) : wrapperValue;
}

/** A copy of a host's speaker arrangement in the wrapper's numbers, laid out like the wrapper's
    own; the host's stays untouched. No configuration has more than 8 channels. */
struct Arrangement
{
    Vst2::VstInt32 type = 0, numChannels = 0;
    Vst2::VstSpeakerProperties speakers[8] {};

    bool copyFromHost (const Vst2::VstSpeakerArrangement& host)
    {
        if (host.numChannels > (int) std::size (speakers))
            return false;

        type = toWrapper (arrangementTypes, host.type);
        numChannels = host.numChannels;
        for (int i = 0; i < numChannels; ++i)
        {
            speakers[i] = host.speakers[i];
            speakers[i].type = toWrapper (speakerTypes, host.speakers[i].type);
        }
        return true;
    }

    Vst2::VstSpeakerArrangement* get() { return reinterpret_cast<Vst2::VstSpeakerArrangement*> (this); }
};

void makePublished (Vst2::VstSpeakerArrangement* arrangement)
{
    if (arrangement == nullptr)
        return;

    arrangement->type = toPublished (arrangementTypes, arrangement->type);
    for (int i = 0; i < arrangement->numChannels; ++i)
        arrangement->speakers[i].type = toPublished (speakerTypes, arrangement->speakers[i].type);
}

VstIntPtr canDo (const char* query)
{
    static constexpr const char* yes[] = { "receiveVstEvents", "receiveVstMidiEvent", "receiveVstMidiEvents",
                                           "receiveVstTimeInfo", "conformsToWindowRules", "bypass" };
    static constexpr const char* no[] = { "sendVstEvents", "sendVstMidiEvent", "sendVstMidiEvents",
                                          "openCloseAnyThread" };
    const auto isQuery = [query] (const char* name) { return std::strcmp (query, name) == 0; };

    if (query == nullptr)
        return 0;
    if (std::any_of (std::begin (yes), std::end (yes), isQuery))
        return 1;
    if (std::any_of (std::begin (no), std::end (no), isQuery))
        return -1;
    return 0;
}

/** The wrapper's own dispatcher; the same function for every instance. */
std::atomic<Vst2::AEffectDispatcherProc> wrapperDispatcher { nullptr };

VstIntPtr dispatch (AEffect* effect, Vst2::VstInt32 opcode, Vst2::VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    const auto wrapper = [&] (Vst2::VstInt32 op, VstIntPtr v, void* p)
    {
        return wrapperDispatcher.load() (effect, op, index, v, p, opt);
    };

    for (const auto& pair : opcodes)
        if (opcode == pair[0])
            return wrapper (pair[1], value, ptr);

    switch (opcode)
    {
        case Vst2::effGetVendorVersion:
            return versionNumber;

        case Vst2::effCanDo:
            return canDo (static_cast<const char*> (ptr));

        case Vst2::effSetSpeakerArrangement:
        {
            const auto* hostIn = reinterpret_cast<const Vst2::VstSpeakerArrangement*> (value);
            const auto* hostOut = static_cast<const Vst2::VstSpeakerArrangement*> (ptr);
            Arrangement in, out;
            if ((hostIn != nullptr && ! in.copyFromHost (*hostIn)) || (hostOut != nullptr && ! out.copyFromHost (*hostOut)))
                return 0;
            return wrapper (opcode, hostIn != nullptr ? (VstIntPtr) in.get() : 0, hostOut != nullptr ? out.get() : nullptr);
        }

        case Vst2::effGetSpeakerArrangement:
        {
            // The wrapper fills fresh arrangements of its own on every call.
            const auto result = wrapper (opcode, value, ptr);
            if (result != 0)
            {
                makePublished (*reinterpret_cast<Vst2::VstSpeakerArrangement**> (value));
                makePublished (*static_cast<Vst2::VstSpeakerArrangement**> (ptr));
            }
            return result;
        }

        case Vst2::effGetInputProperties:
        case Vst2::effGetOutputProperties:
        {
            const auto result = wrapper (opcode, value, ptr);
            if (result != 0)
            {
                auto& pin = *static_cast<Vst2::VstPinProperties*> (ptr);
                pin.arrangementType = toPublished (arrangementTypes, pin.arrangementType);
                pin.flags = pinIsActive | pinUseSpeaker | (startsStereoPair (pin.arrangementType, index) ? pinIsStereo : 0);
            }
            return result;
        }

        default:
            return wrapper (opcode, value, ptr);
    }
}

AEffect* createEffect (Vst2::audioMasterCallback host)
{
    auto* effect = juceVstPluginMain (host);
    if (effect == nullptr)
        return nullptr;

    wrapperDispatcher = effect->dispatcher;
    effect->dispatcher = dispatch;
    effect->version = versionNumber;
    return effect;
}
} // namespace

extern "C" __attribute__ ((visibility ("default"))) Vst2::AEffect* VSTPluginMain (Vst2::audioMasterCallback host);
extern "C" __attribute__ ((visibility ("default"))) Vst2::AEffect* VSTPluginMain (Vst2::audioMasterCallback host)
{
    return createEffect (host);
}

// For older hosts. A C++ function cannot be called main, hence the assembler name (ELF only).
extern "C" __attribute__ ((visibility ("default"))) Vst2::AEffect* vendrasolithMain (Vst2::audioMasterCallback host) asm ("main");
extern "C" __attribute__ ((visibility ("default"))) Vst2::AEffect* vendrasolithMain (Vst2::audioMasterCallback host)
{
    return createEffect (host);
}
