#pragma once

#include <juce_core/juce_core.h>

#include <optional>
#include <vector>

namespace vendrasolith
{
/** An element directly inside a saved document's root: its tag name as written and all
    the text inside it, that of nested elements included, in document order. */
struct StateEntry
{
    juce::String tagName;
    juce::String text;
};

struct StateReading
{
    /** The root's elements in document order; nothing when the block is no readable state. */
    std::optional<std::vector<StateEntry>> entries;

    /** Set when the block holds something the framework's XML parser never comes back
        from or does not survive: a processing instruction before text loops it for ever;
        entity declarations that refer to each other without end, expand to megabytes or
        hold text that is not plain UTF-8 (its strings write past their buffers there); a
        character reference that reads past the end of the text. The instruction is
        skipped; any of the others refuses the block. */
    bool safeguardTaken = false;

    /** How deeply elements were nested, the root being 0. */
    int deepestNesting = 0;
};

/** Reads a state block in the framework's binary XML layout ("VC2!", length, UTF-8 text,
    zero byte) by the rules its XML parser has always applied to restores, so every block
    reads as it always has: the same blocks refused, the same elements, the same text.
    Unlike that parser it takes time in proportion to the block, needs no stack in
    proportion to the nesting and always returns. */
StateReading readStateBlock (const void* data, int sizeInBytes);
} // namespace vendrasolith
