#pragma once

#include "RenderLimits.h"

#include <cstddef>
#include <array>

namespace vendrasolith
{
/** The ten ways of reading host input channels into the renderer's eight slots.
    Host channel c goes to slot map[c]; only the first channelCount entries are used. */
struct InputConfiguration
{
    const char* label;
    int channelCount;
    std::array<int, kNumFeeds> map;

    static constexpr int kCount = 10;
    /** The row used for any value outside 0…9. */
    static constexpr int kFallback = 5;

    static const InputConfiguration& get (int value) noexcept;
    static bool isValid (int value) noexcept { return value >= 0 && value < kCount; }
};

/** The configuration table, indexed by the stored configuration value. */
extern const std::array<InputConfiguration, InputConfiguration::kCount> inputConfigurations;
} // namespace vendrasolith
