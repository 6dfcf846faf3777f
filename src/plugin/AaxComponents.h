#pragma once

// What the plug-in tells AAX hosts: the effect's identity and one component per channel
// configuration. AAX cannot be built here; this is the data an AAX description is made from.
// The type IDs are what saved projects use to find a component again, so neither their
// values nor the order of the components may ever change. The effect's identifier and
// category are build settings of the framework's AAX client (src/plugin/CMakeLists.txt),
// read here from its definitions so that they exist in one place only.

#include <array>
#include <cstdint>

namespace vendrasolith::aax
{
constexpr std::uint32_t fourCharCode (const char (&code)[5])
{
    return (std::uint32_t (std::uint8_t (code[0])) << 24) | (std::uint32_t (std::uint8_t (code[1])) << 16)
         | (std::uint32_t (std::uint8_t (code[2])) << 8) | std::uint32_t (std::uint8_t (code[3]));
}

#define VENDRASOLITH_AAX_TEXT(x) VENDRASOLITH_AAX_TEXT_(x)
#define VENDRASOLITH_AAX_TEXT_(x) #x

constexpr const char* effectIdentifier = VENDRASOLITH_AAX_TEXT (JucePlugin_AAXIdentifier);
constexpr std::uint32_t manufacturerId = fourCharCode ("Qlbr");
constexpr std::uint32_t productId = fourCharCode ("Zqvt");
constexpr std::uint32_t category = JucePlugin_AAXCategory; // 0x200, sound field
constexpr std::uint32_t packageVersion = 0x10100;

/** The SDK's stem formats the plug-in uses; 7.1 is the SDK's DTS 7.1 stem. */
enum class Stem { mono, stereo, surround51, surround71Dts };

constexpr const char* stemName (Stem stem)
{
    switch (stem)
    {
        case Stem::mono:          return "mono";
        case Stem::stereo:        return "stereo";
        case Stem::surround51:    return "5.1";
        case Stem::surround71Dts: return "7.1 DTS";
    }
    return "";
}

/** A component's stem follows from its channel count alone (1, 2, 6 or 8). */
constexpr Stem stemOf (int channels)
{
    return channels == 1 ? Stem::mono : channels == 2 ? Stem::stereo : channels == 6 ? Stem::surround51 : Stem::surround71Dts;
}

struct Component
{
    int inputChannels, outputChannels;
    Stem inputStem, outputStem;
    std::uint32_t nativeTypeId, audioSuiteTypeId;
};

constexpr Component makeComponent (int index, int inputs, int outputs)
{
    return { inputs, outputs, stemOf (inputs), stemOf (outputs),
             fourCharCode ("jcaa") + std::uint32_t (index), fourCharCode ("jyaa") + std::uint32_t (index) };
}

/** In the order of the plug-in's channel configurations. */
constexpr std::array<Component, 6> components { { makeComponent (0, 2, 2), makeComponent (1, 1, 2),
                                                  makeComponent (2, 6, 2), makeComponent (3, 6, 6),
                                                  makeComponent (4, 8, 2), makeComponent (5, 8, 8) } };
} // namespace vendrasolith::aax
