// Restores have always read the saved document with the framework's XML parser, and
// hosts hand back whatever a project holds, so this reader keeps that parser's rules to
// the letter: which blocks are refused, how text, entities, comments, CDATA, stray
// markup and errors after which it carries on are treated, and how the text of nested
// elements is put together. What it does not keep is the parser's way of getting there:
// the parser recurses once per nesting level, searches the rest of the text again for
// each '&' or closing tag of a damaged document, and loops for ever on a processing
// instruction followed by text. Here the nesting is an explicit stack, searches remember
// where they ended, and that instruction is skipped. Where the framework would overflow
// a buffer or read past the text, the block is refused.
//
// Characters are classified as the C locale classifies them, so a restore reads the
// same in every host whatever locale it has set.
#include "StateReader.h"
#include "StateReaderText.h"

#include <array>
#include <cstring>
#include <limits>
#include <string>
#include <unordered_map>

namespace vendrasolith
{
namespace
{
using namespace statetext;

constexpr juce::uint32 stateMagic = 0x21324356; // "VC2!"

// Bounds that only a corrupted block reaches: entity declarations that refer to each
// other without end or expand to megabytes. The framework's parser overflows its stack
// or runs for minutes there; the block is refused instead.
constexpr int maxEntityNesting = 16;
constexpr int maxExpansionDepth = 32;
constexpr int maxExpansionSteps = 1024;
constexpr int maxDeclarationLength = 1 << 16;
constexpr int maxDeclarationTokens = 2048;
constexpr size_t maxExpandedBytes = size_t { 1 } << 22;
constexpr size_t maxExpansionWork = size_t { 1 } << 20; // bytes copied while expanding, all entities together
constexpr size_t maxTextCutWork = size_t { 1 } << 24; // odd text cut again at every level of deep nesting

bool isSpace (juce_wchar c) noexcept { return c == ' ' || (c >= 9 && c <= 13); }

bool isNameChar (juce_wchar c) noexcept
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
        || c == '_' || c == '-' || c == ':' || c == '.';
}

/** Whether the text starts with the lower-case ASCII word, ignoring case as the C locale does. */
bool startsWithWord (Text p, const char* word) noexcept
{
    for (; *word != 0; ++word)
    {
        auto c = p.getAndAdvance();
        if (c >= 'A' && c <= 'Z')
            c += 'a' - 'A';
        if (c != (juce_wchar) *word)
            return false;
    }
    return true;
}

Text endOfName (Text p) noexcept
{
    while (isNameChar (*p))
        ++p;
    return p;
}

bool hasNonSpace (Text p) noexcept
{
    for (; ! p.isEmpty(); ++p)
        if (! isSpace (*p))
            return true;
    return false;
}

void appendCharacter (std::string& text, juce_wchar c)
{
    char bytes[8];
    Text (bytes).write (c);
    text.append (bytes, Text::getBytesRequiredFor (c));
}

/** A string's code points up to the first that decodes to zero, or up to `maxChars`:
    what the framework's string comparison compares. */
void comparisonKey (Text p, size_t maxChars, std::u32string& key)
{
    key.clear();
    for (size_t i = 0; i < maxChars; ++i)
    {
        const auto c = p.getAndAdvance();
        if (c == 0)
            return;
        key += (char32_t) c;
    }
}

void appendBytes (std::string& bytes, const juce::String& s)
{
    bytes.append (s.toRawUTF8(), std::strlen (s.toRawUTF8()));
}

/** Whether the framework's String::substring (from) copies the rest of `s` safely: it sizes
    the copy by re-encoding the characters but copies the bytes as they are, and so writes
    past its buffer when the text is not plain UTF-8. */
bool substringIsSafe (const juce::String& s, int from)
{
    auto t = s.getCharPointer();
    for (int i = 0; i < from && ! t.isEmpty(); ++i)
        ++t;
    return Text::getBytesRequiredFor (t) == std::strlen (t.getAddress());
}

class DocumentReader
{
public:
    explicit DocumentReader (Text text) : input (text) {}

    StateReading read()
    {
        StateReading reading;
        if (! input.isEmpty() && parseHeader() && parseDeclaration() && readElement (0))
        {
            while (! frames.empty() && ! refused)
                step();

            if (! refused && ! errorOccurred)
                reading.entries = std::move (entries);
        }
        reading.safeguardTaken = safeguardTaken;
        reading.deepestNesting = deepestNesting;
        return reading;
    }

private:
    /** Reading the content of the element at `depth`, or the elements that the text of an
        entity inside that element's text holds. One per nesting level, so kept small. */
    struct Frame
    {
        int depth = 0;
        bool readsEntity = false;
        bool textCounts = false; // within a run of text: whether it holds more than whitespace
    };

    /** An entity whose text is being read as elements, and where reading goes on after it. */
    struct EntityContext
    {
        juce::String entity;
        Text resumeAt { "" };
        bool resumeOutOfData = false;
        Searches resumeSearches;
    };

    //==============================================================================
    void setLastError (bool carryOn) noexcept
    {
        // As in the framework, a later error the parser carries on after clears an earlier one.
        errorOccurred = ! carryOn;
        lastErrorCarriesOn = carryOn;
        ++errorCount;
    }

    void refuse() noexcept
    {
        refused = true;
        safeguardTaken = true;
    }

    juce_wchar readNextChar() noexcept
    {
        const auto c = input.getAndAdvance();
        if (c == 0)
        {
            outOfData = true;
            --input;
        }
        return c;
    }

    /** Whitespace, comments and processing instructions. */
    void skipNextWhiteSpace() noexcept
    {
        for (;;)
        {
            while (isSpace (*input))
                ++input;

            if (input.isEmpty())
            {
                outOfData = true;
                return;
            }

            if (*input == '<')
            {
                if (input[1] == '!' && input[2] == '-' && input[3] == '-')
                {
                    input += 4;
                    if (! skipPast (searches.commentEnd, 3))
                        return;
                    continue;
                }

                if (input[1] == '?')
                {
                    input += 2;
                    if (! skipPast (searches.instructionEnd, 2))
                        return;
                    continue;
                }
            }
            return;
        }
    }

    /** Whether skipping whitespace, comments and instructions from `from` ends on text, not
        on markup or the end. Remembered, since the instructions of one stretch ask in turn. */
    bool textFollows (Text from) noexcept
    {
        auto& walk = searches.walk;
        if (from.getAddress() >= walk.from.getAddress() && from.getAddress() < walk.landing.getAddress())
            return walk.endsOnText;

        auto p = from;
        bool endsOnText = false;
        for (;;)
        {
            while (isSpace (*p))
                ++p;
            if (p.isEmpty())
                break;
            if (*p == '<' && (p[1] == '?' || (p[1] == '!' && p[2] == '-' && p[3] == '-')))
            {
                const bool comment = p[1] == '!';
                p += comment ? 4 : 2;
                const auto end = (comment ? searches.commentEnd : searches.instructionEnd).find (p);
                if (! end)
                    break;
                p = *end;
                p += comment ? 3 : 2;
                continue;
            }
            endsOnText = *p != '<';
            break;
        }
        walk = { from, p, endsOnText };
        return endsOnText;
    }

    bool skipPast (NeedleSearch& search, int needleLength) noexcept
    {
        const auto end = search.find (input);
        if (! end)
        {
            outOfData = true;
            return false;
        }
        input = *end;
        input += needleLength;
        return true;
    }

    bool parseHeader()
    {
        skipNextWhiteSpace();

        if (juce::CharacterFunctions::compareUpTo (input, juce::CharPointer_ASCII ("<?xml"), 5) == 0)
        {
            const auto headerEnd = juce::CharacterFunctions::find (input, juce::CharPointer_ASCII ("?>"));
            if (headerEnd.isEmpty())
                return false;

            input = headerEnd + 2;
            skipNextWhiteSpace();
        }
        return true;
    }

    bool parseDeclaration()
    {
        if (juce::CharacterFunctions::compareUpTo (input, juce::CharPointer_ASCII ("<!DOCTYPE"), 9) == 0)
        {
            input += 9;
            const auto declarationStart = input;

            for (int open = 1; open > 0;)
            {
                const auto c = readNextChar();
                if (outOfData)
                    return false;
                if (c == '<')
                    ++open;
                else if (c == '>')
                    --open;
            }
            declarationText = juce::String (declarationStart, input - 1).trim();
        }
        return true;
    }

    //==============================================================================
    // An element's text is written in the order its nodes join their elements, which is
    // the order in which all the text of an element reads, and text inside the root itself
    // belongs to no setting.

    void beginElement (int depth, Text nameStart, Text nameEnd)
    {
        deepestNesting = juce::jmax (deepestNesting, depth);
        if (depth == 1)
        {
            currentTag = juce::String (nameStart, nameEnd);
            elementText.beginTopElement();
        }
        else if (depth > 1)
        {
            elementText.beginChildElement();
        }
    }

    void endElement (int depth)
    {
        if (depth < 1)
            return;

        elementText.endElement();
        if (depth == 1)
        {
            const auto& text = elementText.get();
            entries.push_back ({ currentTag, juce::String (Text (text.c_str()), Text (text.c_str() + text.size())) });
        }
        if (elementText.work() > maxTextCutWork)
            refuse();
    }

    void appendText (int depth, const char* bytes, size_t size)
    {
        if (depth >= 1)
            elementText.addTextNode (bytes, size);
    }

    /** Reads an element's tag and attributes. Returns false where there is none; for an
        element with content, leaves a frame that reads it. */
    bool readElement (int depth)
    {
        skipNextWhiteSpace();
        if (outOfData || *input != '<')
            return false;

        ++input;
        auto nameEnd = endOfName (input);
        if (nameEnd == input)
        {
            skipNextWhiteSpace(); // the framework allows a gap between '<' and the name
            nameEnd = endOfName (input);
            if (nameEnd == input)
            {
                setLastError (false);
                return false;
            }
        }

        beginElement (depth, input, nameEnd);
        input = nameEnd;

        for (;;)
        {
            skipNextWhiteSpace();
            const auto c = *input;

            if (c == '/' && input[1] == '>')
            {
                input += 2;
                break;
            }

            if (c == '>')
            {
                ++input;
                Frame frame;
                frame.depth = depth;
                frames.push_back (std::move (frame));
                return true;
            }

            if (isNameChar (c))
            {
                input = endOfName (input);
                skipNextWhiteSpace();

                if (readNextChar() != '=')
                {
                    setLastError (false);
                    break;
                }

                skipNextWhiteSpace();
                if (*input == '"' || *input == '\'')
                {
                    skipQuotedString();
                    if (refused)
                        break;
                    continue;
                }
            }
            else if (! outOfData)
            {
                setLastError (false);
            }
            break;
        }

        endElement (depth);
        return true;
    }

    void skipQuotedString()
    {
        const auto quote = readNextChar();

        while (! outOfData)
        {
            const auto c = readNextChar();
            if (c == quote)
                return;

            --input;

            if (c == '&')
            {
                entityBytes.clear();
                readEntity (entityBytes); // an attribute's value is of no use
                if (refused)
                    return;
                continue;
            }

            for (;;)
            {
                const auto character = *input;
                if (character == quote)
                {
                    ++input;
                    return;
                }
                if (character == '&')
                    break;
                if (character == 0)
                {
                    setLastError (false);
                    outOfData = true;
                    break;
                }
                ++input;
            }
        }
    }

    //==============================================================================
    void step()
    {
        const auto index = frames.size() - 1;
        if (frames[index].readsEntity)
            readEntityElement (index);
        else
            readContent (index);
    }

    void finishContent()
    {
        const int depth = frames.back().depth;
        frames.pop_back();
        endElement (depth);
    }

    /** One item of an element's content: a closing tag, CDATA, a child element or a run of text. */
    void readContent (size_t index)
    {
        const int depth = frames[index].depth;
        const auto preWhitespaceInput = input;
        skipNextWhiteSpace();

        if (outOfData)
        {
            setLastError (false);
            finishContent();
            return;
        }

        if (*input == '<')
        {
            const auto c1 = input[1];

            if (c1 == '/')
            {
                // Whatever the closing tag's name, it closes this element.
                if (const auto end = searches.tagEnd.find (input))
                {
                    input = *end;
                    ++input;
                }
                finishContent();
                return;
            }

            if (c1 == '!' && juce::CharacterFunctions::compareUpTo (input + 2, juce::CharPointer_ASCII ("[CDATA["), 7) == 0)
            {
                readCData (depth);
                return;
            }

            if (! readElement (depth + 1))
                finishContent();
            return;
        }

        // The run of text keeps its leading whitespace.
        input = preWhitespaceInput;
        auto& frame = frames[index];
        frame.textCounts = false;
        textRun().clear();
        readText (index);
    }

    void readCData (int depth)
    {
        input += 9;
        const auto start = input;

        for (;;)
        {
            const auto c = *input;
            if (c == 0)
            {
                setLastError (false);
                outOfData = true;
                return;
            }
            if (c == ']' && input[1] == ']' && input[2] == '>')
            {
                appendText (depth, start.getAddress(), (size_t) (input.getAddress() - start.getAddress()));
                input += 3;
                return;
            }
            ++input;
        }
    }

    /** Reads a run of text up to the next markup; whitespace alone makes no text node. Pauses
        while the elements an entity expands to are read, and is resumed after them. */
    void readText (size_t index)
    {
        for (;;)
        {
            auto& frame = frames[index];
            const auto c = *input;

            if (c == '<')
            {
                if (input[1] == '!' && input[2] == '-' && input[3] == '-')
                {
                    input += 4;
                    if (! skipPast (searches.commentEnd, 3))
                    {
                        setLastError (false);
                        finishContent();
                        return;
                    }
                    continue;
                }

                if (input[1] == '?' && textFollows (input))
                {
                    // The framework's parser ends the run at a processing instruction, skips
                    // it and what follows to the next markup, finds text instead, steps back
                    // to read it as a run and stops at the instruction again: for ever.
                    // XML has the instruction skipped and the text around it kept.
                    safeguardTaken = true;
                    input += 2;
                    if (skipPast (searches.instructionEnd, 2))
                        continue;
                }
                break;
            }

            if (c == 0)
            {
                setLastError (false);
                outOfData = true;
                finishContent();
                return;
            }

            if (c == '&')
            {
                entityBytes.clear();
                readEntity (entityBytes);
                if (refused)
                    return;

                const Text entityText (entityBytes.c_str());
                if (*entityText == '<' && entityText[1] != 0)
                {
                    // The entity's text is read as elements of this one.
                    pushEntity (frame.depth);
                    return;
                }

                // Through the framework's stream, as the text of the run was.
                const auto streamed = Text::getBytesRequiredFor (entityText);
                textRun().append (entityBytes, 0, juce::jmin (streamed, entityBytes.size()));
                frame.textCounts = frame.textCounts || hasNonSpace (entityText);
                continue;
            }

            for (;; ++input)
            {
                auto nextChar = *input;
                if (nextChar == '\r')
                {
                    nextChar = '\n';
                    if (input[1] == '\n')
                        continue;
                }

                if (nextChar == '<' || nextChar == '&')
                    break;

                if (nextChar == 0)
                {
                    setLastError (false);
                    outOfData = true;
                    finishContent();
                    return;
                }

                appendCharacter (textRun(), nextChar);
                frame.textCounts = frame.textCounts || ! isSpace (nextChar);
            }
        }

        const auto& frame = frames[index];
        if (frame.textCounts)
            appendText (frame.depth, textRun().data(), textRun().size());
    }

    /** The text of the run being read. Runs nest only through entities, one per entity. */
    std::string& textRun() { return textRuns[(size_t) entityContexts.size()]; }

    void pushEntity (int depth)
    {
        if (entityContexts.size() >= (size_t) maxEntityNesting)
            return refuse();

        Frame frame;
        frame.readsEntity = true;
        frame.depth = depth;
        frames.push_back (frame);
        entityContexts.push_back ({ juce::String (Text (entityBytes.c_str()), Text (entityBytes.c_str() + entityBytes.size())), input, outOfData, searches });

        input = entityContexts.back().entity.getCharPointer();
        outOfData = false;
        searches = Searches();
    }

    void readEntityElement (size_t index)
    {
        if (readElement (frames[index].depth + 1))
            return;

        const auto& context = entityContexts.back();
        input = context.resumeAt;
        outOfData = context.resumeOutOfData;
        searches = context.resumeSearches;
        entityContexts.pop_back();
        frames.pop_back();
        readText (frames.size() - 1);
    }

    //==============================================================================
    /** Reads an entity reference into `result` as the framework reads it into a string. */
    void readEntity (std::string& result)
    {
        ++input; // the '&'

        if (startsWithWord (input, "amp;"))
        {
            input += 4;
            result += '&';
        }
        else if (startsWithWord (input, "quot;"))
        {
            input += 5;
            result += '"';
        }
        else if (startsWithWord (input, "apos;"))
        {
            input += 5;
            result += '\'';
        }
        else if (startsWithWord (input, "lt;"))
        {
            input += 3;
            result += '<';
        }
        else if (startsWithWord (input, "gt;"))
        {
            input += 3;
            result += '>';
        }
        else if (*input == '#')
        {
            readCharacterReference (result);
        }
        else
        {
            const auto nameStart = input;
            if (const auto semicolon = searches.semicolon.find (input))
            {
                size_t nameLength = 0;
                for (auto p = nameStart; p != *semicolon; ++p)
                    ++nameLength;

                input = *semicolon;
                ++input;
                appendNamedEntity (nameStart, nameLength, result);
            }
            else
            {
                outOfData = true;
                result += '&';
            }
        }
    }

    void readCharacterReference (std::string& result)
    {
        juce::int64 charCode = 0;
        ++input; // the '#'

        if (*input == 'x' || *input == 'X')
        {
            ++input;
            int numChars = 0;

            while (input[0] != ';')
            {
                const auto hexValue = juce::CharacterFunctions::getHexDigitValue (input[0]);
                if (hexValue < 0 || ++numChars > 8)
                {
                    setLastError (true);
                    break;
                }
                charCode = (charCode << 4) | hexValue;
                ++input;
            }

            // The framework's parser steps over the ';' it expects even at the end of the
            // text, and reads on past it.
            if (input.isEmpty())
                return refuse();
            ++input;
        }
        else if (input[0] >= '0' && input[0] <= '9')
        {
            int numChars = 0;

            for (;;)
            {
                const auto firstChar = input[0];
                if (firstChar == 0)
                {
                    setLastError (true);
                    return;
                }
                if (firstChar == ';')
                    break;
                if (++numChars > 12)
                {
                    setLastError (true);
                    break;
                }
                charCode = charCode * 10 + ((int) firstChar - '0');
                ++input;
            }
            ++input;
        }
        else
        {
            setLastError (true);
            result += '&';
            return;
        }

        // As a string takes a character: none for zero.
        if ((juce_wchar) charCode != 0)
            appendCharacter (result, (juce_wchar) charCode);
    }

    //==============================================================================
    // Entities declared in a document type declaration, expanded as the framework does,
    // its quirks included (a nested reference is looked for from a position that depends
    // on where the declaration stands), with each declared entity expanded only once.

    juce::String expandEntity (const juce::String& entity)
    {
        if (entity.equalsIgnoreCase ("amp")) return juce::String::charToString ('&');
        if (entity.equalsIgnoreCase ("quot")) return juce::String::charToString ('"');
        if (entity.equalsIgnoreCase ("apos")) return juce::String::charToString ('\'');
        if (entity.equalsIgnoreCase ("lt")) return juce::String::charToString ('<');
        if (entity.equalsIgnoreCase ("gt")) return juce::String::charToString ('>');

        if (entity[0] == '#')
        {
            if (! substringIsSafe (entity, 1))
            {
                refuse();
                return {};
            }

            const auto char1 = entity[1];
            if (char1 == 'x' || char1 == 'X')
                return juce::String::charToString (static_cast<juce_wchar> (entity.substring (2).getHexValue32()));
            if (char1 >= '0' && char1 <= '9')
                return juce::String::charToString (static_cast<juce_wchar> (entity.substring (1).getIntValue()));

            setLastError (false);
            return juce::String::charToString ('&');
        }

        return expandExternalEntity (entity);
    }

    /** A reference by name in the text: an entity declared in the document type, or else
        the name itself (the framework's answer for an unknown entity). */
    void appendNamedEntity (Text name, size_t nameLength, std::string& result)
    {
        if (const auto* expansion = declaredExpansion (name, nameLength))
            return appendBytes (result, *expansion);
        if (refused)
            return;

        // The name as a string holds it, re-encoded up to anything that decodes to zero.
        setLastError (true);
        for (size_t i = 0; i < nameLength; ++i)
        {
            const auto c = name.getAndAdvance();
            if (c == 0)
                break;
            appendCharacter (result, c);
        }
    }

    juce::String expandExternalEntity (const juce::String& entity)
    {
        if (const auto* expansion = declaredExpansion (entity.getCharPointer(), std::numeric_limits<size_t>::max()))
            return *expansion;
        if (refused)
            return {};
        setLastError (true);
        return entity;
    }

    /** The expansion of a declared entity, or nullptr for one not declared. */
    const juce::String* declaredExpansion (Text name, size_t nameLength)
    {
        if (needToLoadDeclaration)
        {
            needToLoadDeclaration = false;
            loadDeclaration();
        }
        if (refused || declaredEntities.empty())
            return nullptr;

        comparisonKey (name, nameLength, key);
        const auto declared = declaredEntities.find (key);
        if (declared == declaredEntities.end())
            return nullptr;

        const int index = declared->second;
        auto expansion = expansions.find (index);
        if (expansion == expansions.end())
        {
            if (++expansionDepth > maxExpansionDepth)
            {
                refuse();
                return nullptr;
            }
            const auto errorsBefore = errorCount;
            Expansion computed;
            computed.text = expandDeclared (index);
            if (errorCount != errorsBefore)
                computed.lastErrorCarriesOn = lastErrorCarriesOn;
            --expansionDepth;
            if (refused)
                return nullptr;
            expansion = expansions.emplace (index, std::move (computed)).first;
        }
        else if (expansion->second.lastErrorCarriesOn.has_value())
        {
            setLastError (*expansion->second.lastErrorCarriesOn);
        }

        expandedBytes += std::strlen (expansion->second.text.toRawUTF8());
        if (expandedBytes > maxExpandedBytes)
        {
            refuse();
            return nullptr;
        }
        return &expansion->second.text;
    }

    juce::String expandDeclared (int i)
    {
        auto ent = tokens[i + 1].trimCharactersAtEnd (">").trim().unquoted();
        auto ampersand = ent.indexOfChar ('&');

        for (int steps = 0; ampersand >= 0; ++steps)
        {
            expansionWork += std::strlen (ent.toRawUTF8());
            if (steps > maxExpansionSteps || expansionWork > maxExpansionWork)
            {
                refuse();
                return {};
            }

            const auto semiColon = ent.indexOf (i + 1, ";");
            if (semiColon < 0)
            {
                setLastError (false);
                break;
            }

            const auto resolved = expandEntity (ent.substring (i + 1, semiColon));
            if (refused || ! substringIsSafe (ent, semiColon + 1))
            {
                refuse();
                return {};
            }
            ent = ent.substring (0, ampersand) + resolved + ent.substring (semiColon + 1);
            ampersand = ent.indexOfChar (semiColon + 1, '&');
        }
        return ent;
    }

    void loadDeclaration()
    {
        if (declarationText.isNotEmpty())
        {
            if (declarationText.length() > maxDeclarationLength)
                return refuse();

            declarationText = declarationText.trimCharactersAtEnd (">");
            tokens.addTokens (declarationText, true);

            const bool external = tokens[tokens.size() - 2].equalsIgnoreCase ("system") && tokens[tokens.size() - 1].isQuotedString();
            tokens.clear();

            // An external declaration would be a file; the framework reads it from nowhere.
            if (! external)
            {
                const auto openBracket = declarationText.indexOfChar ('[');
                if (openBracket > 0)
                {
                    const auto closeBracket = declarationText.lastIndexOfChar (']');
                    if (closeBracket > openBracket)
                        tokens.addTokens (declarationText.substring (openBracket + 1, closeBracket), true);
                }
            }

            for (int i = tokens.size(); --i >= 0;)
            {
                if (tokens.size() > maxDeclarationTokens)
                    return refuse();

                if (tokens[i].startsWithChar ('%') && tokens[i].endsWithChar (';'))
                {
                    const auto parsed = parameterEntity (tokens[i].substring (1, tokens[i].length() - 1));
                    juce::StringArray newTokens;
                    newTokens.addTokens (parsed, true);
                    tokens.remove (i);
                    for (int j = newTokens.size(); --j >= 0;)
                        tokens.insert (i, newTokens[j]);
                }
            }
            if (tokens.size() > maxDeclarationTokens)
                return refuse();
        }

        for (int i = 0; i < tokens.size(); ++i)
            if (tokens[i - 1].equalsIgnoreCase ("<!entity"))
            {
                comparisonKey (tokens[i].getCharPointer(), std::numeric_limits<size_t>::max(), key);
                declaredEntities.emplace (key, i); // the first declaration counts
            }
    }

    juce::String parameterEntity (const juce::String& entity) const
    {
        for (int i = 0; i < tokens.size(); ++i)
        {
            if (tokens[i] == entity && tokens[i - 1] == "%" && tokens[i - 2].equalsIgnoreCase ("<!entity"))
            {
                const auto ent = tokens[i + 1].trimCharactersAtEnd (">");
                if (ent.equalsIgnoreCase ("system"))
                    return {}; // a file again
                return ent.trim().unquoted();
            }
        }
        return entity;
    }

    //==============================================================================
    struct Expansion
    {
        juce::String text;
        std::optional<bool> lastErrorCarriesOn;
    };

    Text input;
    Searches searches;
    bool outOfData = false, errorOccurred = false, lastErrorCarriesOn = false;
    juce::uint64 errorCount = 0;
    bool refused = false, safeguardTaken = false;
    int deepestNesting = 0, expansionDepth = 0;
    size_t expandedBytes = 0, expansionWork = 0;

    std::vector<Frame> frames;
    std::vector<EntityContext> entityContexts;
    std::array<std::string, maxEntityNesting + 1> textRuns;
    std::vector<StateEntry> entries;
    juce::String currentTag;
    ElementText elementText;

    juce::String declarationText;
    bool needToLoadDeclaration = true;
    juce::StringArray tokens;
    std::unordered_map<std::u32string, int> declaredEntities;
    std::u32string key;
    std::string entityBytes; // the entity being read
    std::unordered_map<int, Expansion> expansions;
};
} // namespace

StateReading readStateBlock (const void* data, int sizeInBytes)
{
    if (data == nullptr || sizeInBytes <= 8)
        return {};

    const auto* bytes = static_cast<const char*> (data);
    if (juce::ByteOrder::littleEndianInt (bytes) != stateMagic)
        return {};

    const auto declaredLength = (int) juce::ByteOrder::littleEndianInt (bytes + 4);
    if (declaredLength <= 0)
        return {};

    // The framework's parser trusts its text to be valid UTF-8 and walks past the end of a
    // string that is not, so such a block has always been refused.
    const int textBytes = juce::jmin (sizeInBytes - 8, declaredLength);
    if (! juce::CharPointer_UTF8::isValidString (bytes + 8, textBytes))
        return {};

    const juce::String text (Text (bytes + 8), Text (bytes + 8 + textBytes));
    return DocumentReader (text.getCharPointer()).read();
}
} // namespace vendrasolith
