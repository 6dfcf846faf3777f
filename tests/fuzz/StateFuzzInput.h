#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace fuzz
{
/** The state block a state fuzz input stands for. The first byte chooses how the rest is
    used: most often as the whole block, otherwise (a multiple of 4) as the XML text inside
    a correct header, so the fuzzer reaches the parser without having to find the header. */
inline std::vector<std::uint8_t> stateBlockFromFuzzInput (const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return {};

    if (data[0] % 4 != 0)
        return { data + 1, data + size };

    const auto length = (std::uint32_t) (size - 1);
    std::vector<std::uint8_t> block (8 + length + 1, 0);
    const std::uint32_t magic = 0x21324356;
    for (int i = 0; i < 4; ++i)
    {
        block[(size_t) i] = (std::uint8_t) (magic >> (8 * i));
        block[(size_t) (4 + i)] = (std::uint8_t) (length >> (8 * i));
    }
    std::copy (data + 1, data + size, block.begin() + 8);
    return block;
}
} // namespace fuzz
