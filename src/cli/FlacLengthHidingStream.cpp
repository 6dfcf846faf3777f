#include "FlacLengthHidingStream.h"

#include <algorithm>
#include <array>

namespace vendrasolith::cli
{
namespace
{
// The stream info is the first metadata block: "fLaC", a 4-byte block header, then 10 bytes
// of block and frame sizes and 8 bytes of rate (20 bits), channels (3), sample size (5) and
// sample count (36), so the count takes the low nibble of byte 21 and bytes 22 to 25.
constexpr int kCountOffset = 21, kCountBytes = 5, kStreamInfoBytes = 26;

/** Where "fLaC" begins: at the start, or after an ID3v2 tag, which FLAC decoders skip. */
juce::int64 flacMarkerOffset (juce::InputStream& in)
{
    std::array<unsigned char, 10> tag {};
    if (in.read (tag.data(), (int) tag.size()) != (int) tag.size() || tag[0] != 'I' || tag[1] != 'D' || tag[2] != '3')
        return 0;

    // A synchsafe size (7 bits a byte) of what follows the header, and a footer if flagged.
    juce::int64 size = 0;
    for (int i = 6; i < 10; ++i)
        size = (size << 7) | (tag[(size_t) i] & 0x7f);
    return 10 + size + ((tag[5] & 0x10) != 0 ? 10 : 0);
}
} // namespace

FlacLengthHidingStream::FlacLengthHidingStream (std::unique_ptr<juce::InputStream> s) : source (std::move (s))
{
    const auto start = source->getPosition();
    const auto marker = flacMarkerOffset (*source);

    std::array<unsigned char, kStreamInfoBytes> head {};
    const bool isFlac = source->setPosition (start + marker)
                        && source->read (head.data(), (int) head.size()) == (int) head.size()
                        && head[0] == 'f' && head[1] == 'L' && head[2] == 'a' && head[3] == 'C'
                        && (head[4] & 0x7f) == 0; // the first block is the stream info

    if (isFlac)
    {
        juce::int64 count = head[kCountOffset] & 0x0f;
        for (int i = kCountOffset + 1; i < kCountOffset + kCountBytes; ++i)
            count = (count << 8) | head[(size_t) i];
        if (count > 0)
            announced = count;
        countOffset = start + marker + kCountOffset;
    }

    source->setPosition (start);
}

int FlacLengthHidingStream::read (void* destBuffer, int maxBytesToRead)
{
    const auto position = source->getPosition();
    const int got = source->read (destBuffer, maxBytesToRead);
    if (countOffset < 0 || got <= 0)
        return got;

    auto* bytes = static_cast<unsigned char*> (destBuffer);
    const auto from = std::max (position, countOffset), to = std::min (position + got, countOffset + kCountBytes);
    for (auto offset = from; offset < to; ++offset)
        bytes[offset - position] &= offset == countOffset ? 0xf0 : 0x00;
    return got;
}
} // namespace vendrasolith::cli
