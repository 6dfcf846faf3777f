#pragma once

// Pieces of the state reader that search and assemble text (see StateReader.cpp).
#include <juce_core/juce_core.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace vendrasolith::statetext
{
using Text = juce::CharPointer_UTF8;
using juce::juce_wchar;

/** The next occurrence of a short ASCII needle, found as the framework's indexOf finds it
    and remembered, so that repeated searches over the same stretch cost one pass. */
class NeedleSearch
{
public:
    explicit NeedleSearch (const char* n) noexcept : needle (n), length ((int) std::strlen (n)) {}

    std::optional<Text> find (Text from) noexcept
    {
        if (! (known && from.getAddress() >= start.getAddress() && from.getAddress() <= stop.getAddress()))
            scan (from);
        return found ? std::optional<Text> (stop) : std::nullopt;
    }

private:
    void scan (Text from) noexcept
    {
        known = true;
        start = from;
        for (auto p = from;;)
        {
            const auto here = p;
            if (length == 1)
            {
                // Searching for a character stops at the terminating byte ...
                if (p.isEmpty())
                    return finish (here, false);
                if (p.getAndAdvance() == (juce_wchar) needle[0])
                    return finish (here, true);
            }
            else
            {
                // ... searching for a string, at anything that decodes to zero.
                if (p.compareUpTo (juce::CharPointer_ASCII (needle), length) == 0)
                    return finish (here, true);
                if (p.getAndAdvance() == 0)
                    return finish (here, false);
            }
        }
    }

    void finish (Text at, bool wasFound) noexcept
    {
        stop = at;
        found = wasFound;
    }

    const char* needle;
    int length;
    bool known = false, found = false;
    Text start { "" }, stop { "" };
};

/** A stretch of whitespace, comments and instructions, and whether text follows it. */
struct Walk
{
    Text from { "" }, landing { "" };
    bool endsOnText = false;
};

/** What is remembered about one text: the document's, or an entity's. */
struct Searches
{
    NeedleSearch commentEnd { "-->" }, instructionEnd { "?>" }, tagEnd { ">" }, semicolon { ";" };
    Walk walk;
};

/** Whether every sequence in the bytes is complete and as short as its character allows,
    so that the framework's streams, which count a string's bytes by re-encoding its
    characters, copy all of it. */
inline bool isPlainUtf8 (const char* bytes, size_t size) noexcept
{
    for (size_t i = 0; i < size;)
    {
        const auto lead = (juce::uint8) bytes[i];
        if (lead < 0x80)
        {
            if (lead == 0)
                return false;
            ++i;
            continue;
        }

        const size_t length = lead >= 0xf8 ? 0 : lead >= 0xf0 ? 4 : lead >= 0xe0 ? 3 : lead >= 0xc0 ? 2 : 0;
        if (length == 0 || i + length > size)
            return false;

        juce::uint32 value = lead & (0x7fu >> length);
        for (size_t k = 1; k < length; ++k)
        {
            const auto next = (juce::uint8) bytes[i + k];
            if ((next & 0xc0) != 0x80)
                return false;
            value = (value << 6) | (next & 0x3f);
        }
        if (value == 0 || Text::getBytesRequiredFor ((juce_wchar) value) != length)
            return false;
        i += length;
    }
    return true;
}

/** All the text inside an element directly under the root, put together as the
    framework's getAllSubText puts it together: an element with one child has that child's
    text; otherwise each child's text goes through a stream, which copies as many bytes as
    re-encoding its characters takes. The two differ only for text that is not plain
    UTF-8, so texts are cut only where that was seen. */
class ElementText
{
public:
    void beginTopElement()
    {
        text.clear();
        open.clear();
        open.push_back ({});
    }

    void beginChildElement()
    {
        addChild();
        open.push_back ({});
    }

    void endElement()
    {
        const bool plain = ! open.back().holdsOddText;
        open.pop_back();
        if (! open.empty())
            childEnded (plain);
    }

    void addTextNode (const char* bytes, size_t size)
    {
        addChild();
        text.append (bytes, size);
        childEnded (isPlainUtf8 (bytes, size));
    }

    const std::string& get() const noexcept { return text; }

    /** Bytes examined to cut odd texts; only a hostile block makes this large. */
    size_t work() const noexcept { return cutWork; }

private:
    struct OpenElement
    {
        int children = 0;
        size_t lastChildStart = 0;
        bool lastChildIsOdd = false, holdsOddText = false;
    };

    void addChild()
    {
        auto& parent = open.back();
        if (++parent.children == 2)
            cutLastChild (parent); // the first child's text now goes through a stream too
        parent.lastChildStart = text.size();
        parent.lastChildIsOdd = false;
    }

    void childEnded (bool plain)
    {
        auto& parent = open.back();
        parent.lastChildIsOdd = ! plain;
        parent.holdsOddText = parent.holdsOddText || ! plain;
        if (parent.children >= 2)
            cutLastChild (parent);
    }

    void cutLastChild (const OpenElement& parent)
    {
        if (! parent.lastChildIsOdd)
            return;
        const auto* start = text.data() + parent.lastChildStart;
        cutWork += text.size() - parent.lastChildStart;
        const auto streamed = Text::getBytesRequiredFor (Text (start));
        text.resize (parent.lastChildStart + juce::jmin (streamed, text.size() - parent.lastChildStart));
    }

    std::string text;
    std::vector<OpenElement> open;
    size_t cutWork = 0;
};

} // namespace vendrasolith::statetext
