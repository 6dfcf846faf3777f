#include "HrirSet.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

// Generated at build time from the asset file.
extern const unsigned char vendrasolithHrirBytes[];
extern const unsigned int vendrasolithHrirBytesCount;

namespace vendrasolith
{
HrirSet::HrirSet()
{
    static_assert (sizeof (float) == sizeof (std::uint32_t));
    const auto count = vendrasolithHrirBytesCount / 4u < (unsigned) kValues ? vendrasolithHrirBytesCount / 4u
                                                                           : (unsigned) kValues;

    // Assemble each value from its little-endian bytes so the table reads the same on any host.
    for (unsigned i = 0; i < count; ++i)
    {
        const auto* b = vendrasolithHrirBytes + 4 * i;
        const std::uint32_t bits = (std::uint32_t) b[0] | ((std::uint32_t) b[1] << 8)
                                 | ((std::uint32_t) b[2] << 16) | ((std::uint32_t) b[3] << 24);
        std::memcpy (&table[i], &bits, sizeof (float));
    }
}

HrirSet::HrirSet (const float* values) noexcept
{
    std::copy_n (values, kValues, table.begin());
}
} // namespace vendrasolith
