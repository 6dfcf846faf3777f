#pragma once

// Restoring a state the way it was done before the plug-in had a reader of its own: the
// framework's XML parser, and the framework's number reading. Kept for tests only, as the
// reference the reader is compared with. That parser never returns from some blocks, so
// give it only blocks that readStateBlock read without taking a safeguard.
#include "ParameterText.h"
#include "StateReader.h"
#include "VantorAudioProcessor.h"

#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace frameworkstate
{
using Entries = std::optional<std::vector<vendrasolith::StateEntry>>;

/** Both refused, or the same elements with byte for byte the same texts, and names that
    are the same characters. (The framework takes a tag name from its global string pool
    when an equal one is there already, so its bytes depend on what the process did before;
    an overlong encoding of a letter then reads as the letter.) */
inline bool sameEntries (const Entries& a, const Entries& b)
{
    if (a.has_value() != b.has_value())
        return false;
    if (! a)
        return true;
    if (a->size() != b->size())
        return false;
    for (size_t i = 0; i < a->size(); ++i)
        if ((*a)[i].tagName != (*b)[i].tagName || (*a)[i].text.toStdString() != (*b)[i].text.toStdString())
            return false;
    return true;
}

inline std::string describe (const Entries& entries)
{
    if (! entries)
        return "refused";
    std::string text;
    for (const auto& e : *entries)
        text += "[" + e.tagName.toStdString() + "]=\"" + e.text.toStdString() + "\" ";
    return text.empty() ? "no elements" : text;
}

inline Entries read (const void* data, int sizeInBytes)
{
    // Text that is not UTF-8 was refused before it reached the parser.
    if (data != nullptr && sizeInBytes > 8)
    {
        const auto* bytes = static_cast<const char*> (data);
        const int textBytes = juce::jmin (sizeInBytes - 8, (int) juce::ByteOrder::littleEndianInt (bytes + 4));
        if (textBytes > 0 && ! juce::CharPointer_UTF8::isValidString (bytes + 8, textBytes))
            return std::nullopt;
    }

    const auto xml = juce::AudioProcessor::getXmlFromBinary (data, sizeInBytes);
    if (xml == nullptr)
        return std::nullopt;

    std::vector<vendrasolith::StateEntry> entries;
    for (auto* child : xml->getChildIterator())
        if (! child->isTextElement())
            entries.push_back ({ child->getTagName(), child->getAllSubText() });
    return entries;
}

/** The framework's getDoubleValue, read from a copy with zero bytes after the end: on a
    text that ends in a cut sequence the framework steps past the end of its string. */
inline double frameworkNumber (const juce::String& text)
{
    std::string bytes (text.toRawUTF8()); // every byte: getNumBytesAsUTF8 counts re-encoded characters
    bytes.append (4, '\0');
    juce::CharPointer_UTF8 start (bytes.data());
    return juce::CharacterFunctions::readDoubleValue (start);
}

/** Whether the text holds an exponent of ten digits or more, on which the framework's
    number reading overflows an int: there is nothing defined to compare with. */
inline bool hasOverlongExponent (const juce::String& text)
{
    const std::string bytes (text.toRawUTF8());
    for (size_t i = 0; i < bytes.size(); ++i)
    {
        if (bytes[i] != 'e' && bytes[i] != 'E')
            continue;
        size_t j = i + 1;
        if (j < bytes.size() && (bytes[j] == '-' || bytes[j] == '+'))
            ++j;
        while (j < bytes.size() && bytes[j] == '0')
            ++j;
        size_t digits = 0;
        while (j + digits < bytes.size() && bytes[j + digits] >= '0' && bytes[j + digits] <= '9')
            ++digits;
        if (digits > 9)
            return true;
    }
    return false;
}

/** Numbers the plug-in now reads otherwise on purpose: commas as decimal points, "-0" as
    -0, and exponents on which the framework's reading was undefined. */
inline bool readsOtherwiseOnPurpose (const juce::String& text)
{
    if (text.containsChar (',') || hasOverlongExponent (text))
        return true;
    const double before = frameworkNumber (text), now = vendrasolith::readDecimalNumber (text);
    return before == 0.0 && now == 0.0 && std::signbit (before) != std::signbit (now);
}

/** The whole restore as it was, numbers read by the framework. */
inline void restore (VantorAudioProcessor& p, const void* data, int sizeInBytes)
{
    const auto entries = read (data, sizeInBytes);
    if (! entries)
        return;

    const auto narrow = [] (double v) { return v > 3.4028234663852886e38 ? INFINITY : v < -3.4028234663852886e38 ? -INFINITY : (float) v; };
    const auto truncate = [&] (double v)
    {
        const float f = narrow (v);
        return std::isnan (f) ? 0 : (int) juce::jlimit (-2147483520.0f, 2147483520.0f, f);
    };

    const char* keys[] = { "Angle", "Width", "Gain" };
    for (const auto& entry : *entries)
    {
        const double number = frameworkNumber (entry.text);
        for (int i = 0; i < 3; ++i)
            if (entry.tagName.equalsIgnoreCase (keys[i]))
                p.setParameter (i, narrow (number));

        if (entry.tagName.equalsIgnoreCase ("idxInputConfig"))
            p.requestInputConfiguration (truncate (number));
        else if (entry.tagName.equalsIgnoreCase ("idxBassBoost"))
            p.setBassBoostStep (truncate (number));
        else if (entry.tagName.equalsIgnoreCase ("idxGUI"))
            p.setGuiIndex (truncate (number));
    }
    p.setEditorRefreshPending (true);
}
} // namespace frameworkstate
