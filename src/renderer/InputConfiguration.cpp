#include "InputConfiguration.h"

namespace vendrasolith
{
const std::array<InputConfiguration, InputConfiguration::kCount> inputConfigurations { {
    { "Mono",                      1, { 2, 0, 1, 3, 4, 5, 6, 7 } },
    { "Stereo",                    2, { 0, 1, 2, 3, 4, 5, 6, 7 } },
    { "L R C LFE Lsr Rs",          6, { 0, 1, 2, 5, 4, 6, 3, 7 } },
    { "L C R Lsr Rsr LFE",         6, { 0, 2, 1, 4, 6, 5, 3, 7 } },
    { "C L R Lsr Rsr LFE",         6, { 2, 0, 1, 4, 6, 5, 3, 7 } },
    { "L R C LFE Lsr Rsr Lss Rss", 8, { 0, 1, 2, 5, 4, 6, 3, 7 } },
    { "L C R Lss Rss Lsr Rsr LFE", 8, { 0, 2, 1, 3, 7, 4, 6, 5 } },
    { "C L R Lss Rss Lsr Rsr LFE", 8, { 2, 0, 1, 3, 7, 4, 6, 5 } },
    { "L R Lsr Rsr C LFE",         6, { 0, 1, 4, 6, 2, 5, 3, 7 } },
    { "L R Lsr Rsr C LFE Lss Rss", 8, { 0, 1, 4, 6, 2, 5, 3, 7 } },
} };

const InputConfiguration& InputConfiguration::get (int value) noexcept
{
    return inputConfigurations[(size_t) (isValid (value) ? value : kFallback)];
}
} // namespace vendrasolith
