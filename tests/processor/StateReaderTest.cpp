// The saved-state reader: every block must read exactly as it did through the framework's
// XML parser, and the blocks that parser never comes back from must restore at once.
#include "FrameworkStateReading.h"
#include "ParameterText.h"
#include "ProcessorFixture.h"
#include "StateFuzzInput.h"
#include "StateReader.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <limits>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace
{
using Block = std::vector<std::uint8_t>;

struct NamedBlock
{
    std::string name;
    Block block;
};

/** A state block around any text, with the length field it would have or another. */
Block blockOf (const std::string& text, std::optional<juce::uint32> declaredLength = std::nullopt)
{
    Block block { 'V', 'C', '2', '!' };
    const auto length = declaredLength.value_or ((juce::uint32) text.size());
    for (int i = 0; i < 4; ++i)
        block.push_back ((std::uint8_t) (length >> (8 * i)));
    block.insert (block.end(), text.begin(), text.end());
    block.push_back (0);
    return block;
}

std::string repeated (const std::string& piece, size_t times)
{
    std::string text;
    text.reserve (piece.size() * times);
    for (size_t i = 0; i < times; ++i)
        text += piece;
    return text;
}

/** Everything a restore can change, compared bit for bit. */
struct Snapshot
{
    std::array<juce::uint32, 3> parameterBits {};
    int configuration = 0, bass = 0, gui = 0;
    bool pending = false, refresh = false;

    bool operator== (const Snapshot& o) const
    {
        return parameterBits == o.parameterBits && configuration == o.configuration && bass == o.bass
            && gui == o.gui && pending == o.pending && refresh == o.refresh;
    }
};

Snapshot snapshotOf (const VantorAudioProcessor& p)
{
    Snapshot s;
    for (int i = 0; i < 3; ++i)
    {
        const float value = p.getParameterValue (i);
        std::memcpy (&s.parameterBits[(size_t) i], &value, sizeof (value));
    }
    s.configuration = p.getInputConfiguration();
    s.pending = p.isConfigurationPending();
    s.bass = p.getBassBoostStep();
    s.gui = p.getGuiIndex();
    s.refresh = p.isEditorRefreshPending();
    return s;
}

std::ostream& operator<< (std::ostream& out, const Snapshot& s)
{
    float v[3];
    std::memcpy (v, s.parameterBits.data(), sizeof (v));
    return out << "Angle " << v[0] << " Width " << v[1] << " Gain " << v[2] << " config " << s.configuration
               << (s.pending ? " (pending)" : "") << " bass " << s.bass << " gui " << s.gui << (s.refresh ? " refresh" : "");
}

/** A processor with settings no restore would give, so that what a block leaves alone shows. */
std::unique_ptr<HostedProcessor> startingProcessor()
{
    auto host = std::make_unique<HostedProcessor> (2, 2);
    host->prepare();
    auto& p = *host->processor;
    p.setParameter (0, 0.375f);
    p.setParameter (1, 0.625f);
    p.setParameter (2, 0.8125f);
    p.requestInputConfiguration (3);
    p.applyInputConfiguration();
    p.setBassBoostStep (2);
    p.setGuiIndex (3);
    p.setEditorRefreshPending (false);
    return host;
}

/** Restores on a thread of its own and fails, instead of blocking the run, when the restore
    does not come back. The thread still spins on the processor then, so nothing can be
    torn down safely: the test binary ends on the spot. */
void restoreWithin (VantorAudioProcessor& p, const Block& block, std::chrono::seconds limit = std::chrono::seconds (10))
{
    auto done = std::make_shared<std::promise<void>>();
    auto finished = done->get_future();
    std::thread ([&p, block, done] {
        p.setStateInformation (block.data(), (int) block.size());
        done->set_value();
    }).detach();

    if (finished.wait_for (limit) != std::future_status::ready)
    {
        ADD_FAILURE() << "the restore of a " << block.size() << "-byte block did not return within " << limit.count() << " s";
        std::fflush (stdout);
        std::_Exit (1);
    }
}

void expectWorkingAudio (HostedProcessor& host)
{
    juce::AudioBuffer<float> buffer (2, 2048);
    for (int k = 0; k < 2048; ++k)
        buffer.setSample (0, k, k % 97 == 0 ? 1.0f : 0.0f), buffer.setSample (1, k, 0.0f);
    host.process (buffer, 512);
    EXPECT_TRUE (allFinite (buffer));
}

//==============================================================================
// The blocks both readers are given.

std::vector<NamedBlock> corpusBlocks()
{
    std::vector<NamedBlock> blocks;
    for (const auto& entry : std::filesystem::directory_iterator (VENDRASOLITH_STATE_CORPUS))
    {
        std::ifstream stream (entry.path(), std::ios::binary);
        const std::vector<std::uint8_t> bytes { std::istreambuf_iterator<char> (stream), std::istreambuf_iterator<char>() };
        blocks.push_back ({ "corpus/" + entry.path().filename().string(), fuzz::stateBlockFromFuzzInput (bytes.data(), bytes.size()) });
    }
    return blocks;
}

/** Documents a host may hand back, from states the plug-in wrote to every kind of damage,
    each of them one the framework's parser finishes. */
std::vector<NamedBlock> handWrittenBlocks()
{
    const std::string full = "<Root><Angle>0.25</Angle><Width>0.5</Width><Gain>0.9</Gain><idxInputConfig>7</idxInputConfig>"
                             "<idxBassBoost>2</idxBassBoost><idxGUI>4</idxGUI></Root>";
    const std::vector<std::pair<const char*, std::string>> documents = {
        { "written_by_the_plugin", full },
        { "not_chosen", "<Root><Angle>0</Angle><Width>1</Width><Gain>0.9</Gain><idxInputConfig>-1</idxInputConfig><idxBassBoost>0</idxBassBoost><idxGUI>0</idxGUI></Root>" },
        { "other_root_names", "<Preset><Gain>1</Gain></Preset>" },
        { "root_with_odd_name_characters", "<x:y-z.1_><Width>0.1</Width></x:y-z.1_>" },
        { "letter_case", "<ROOT><GAIN>1</GAIN><wIdTh>0.3</wIdTh><IDXINPUTCONFIG>4</IDXINPUTCONFIG><idxgui>2</idxgui></ROOT>" },
        { "repeated_elements", "<Root><Width>0.2</Width><Width>0.4</Width><Gain>0.1</Gain><Width>0.6</Width></Root>" },
        { "missing_elements", "<Root><idxBassBoost>1</idxBassBoost></Root>" },
        { "unknown_elements", "<Root><Colour>7</Colour><Gain>0.5</Gain><Angle2>1</Angle2></Root>" },
        { "empty_root", "<Root></Root>" },
        { "self_closed_root", "<Root/>" },
        { "self_closed_element", "<Root><Gain/><Width>0.5</Width></Root>" },
        { "root_never_closed", "<Root" },
        { "element_never_closed", "<Root><Gain>1" },
        { "closing_tag_never_ends", "<Root><Gain>1</Gain" },
        { "wrong_closing_names", "<Root><Gain>0.5</Angle><Width>0.4</Root></Width>" },
        { "text_after_the_root", "<Root><Gain>0.5</Gain></Root><Gain>1</Gain>" },
        { "two_roots", "<Root/><Root><Gain>1</Gain></Root>" },
        { "nested_known_name", "<Root><Group><Gain>1</Gain></Group><Width>0.3</Width></Root>" },
        { "nested_text_joins", "<Root><Gain><b>0.</b>5</Gain><Width>1<b/> <c/>2</Width><Angle>1<b/>\n<c/>2</Angle></Root>" },
        { "deeper_nesting", "<Root><Gain><a><b><c>0</c>.</b>2</a>5</Gain></Root>" },
        { "whitespace_around_numbers", "<Root><Gain> 0.5 </Gain><Width>\t\r\n0.25\r\n</Width><Angle>\r0.1</Angle></Root>" },
        { "whitespace_between_elements", "<Root>\n  <Gain>0.5</Gain>\n\t<Width>0.2</Width>\r\n</Root>\n" },
        { "text_in_the_root", "<Root>junk<Gain>0.5</Gain>more junk</Root>" },
        { "builtin_entities", "<Root><Gain>&#48;.&#x35;</Gain><X>&amp;&lt;&gt;&quot;&apos;&AMP;</X></Root>" },
        { "unknown_entity", "<Root><Gain>&zero;0.5</Gain></Root>" },
        { "entity_without_semicolon", "<Root><Gain>0.5&amp</Gain></Root>" },
        { "bad_character_references", "<Root><Gain>&#;1</Gain><Width>&#x;2</Width><Angle>&#xzz;3</Angle><X>&#123456789012345;</X><Y>&#x123456789;</Y></Root>" },
        { "character_reference_of_a_tag", "<Root><Gain>&#60;Width>1</Gain></Root>" },
        { "entity_name_holding_elements", "<Root>&<Gain>1</Gain><Width>0.2</Width>;<Angle>0.3</Angle></Root>" },
        { "entity_name_holding_elements_in_text", "<Root><Gain>1&<b>2</b>;3</Gain></Root>" },
        { "ampersand_in_the_root_text", "<Root>&<Gain>1</Gain></Root>" },
        { "cdata", "<Root><Gain><![CDATA[0.25]]></Gain><Width><![CDATA[]]>0.5</Width><Angle>0.<![CDATA[1]]>2</Angle></Root>" },
        { "cdata_holding_markup", "<Root><Gain><![CDATA[<Width>1</Width>]]></Gain></Root>" },
        { "cdata_never_closed", "<Root><Gain><![CDATA[0.25</Gain></Root>" },
        { "comments", "<!-- before --><Root><!-- a --><Gain><!-- b -->0.<!-- c -->5<!-- d --></Gain><!----></Root>" },
        { "comment_never_closed", "<Root><Gain>0.5</Gain><!-- open</Root>" },
        { "comment_never_closed_in_text", "<Root><Gain>0.5<!-- open</Gain></Root>" },
        { "xml_declaration", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Root><Gain>0.5</Gain></Root>" },
        { "xml_declaration_never_closed", "<?xml version=\"1.0\" <Root><Gain>0.5</Gain></Root>" },
        { "instruction_never_closed", "<?xm <Root><Gain>0.5</Gain></Root>" },
        { "instructions_before_markup", "<?a?><Root><?b?><Gain>0.5<?c?></Gain> <?d?> <Width>0.1</Width><?e?></Root>" },
        { "instruction_at_the_end_of_text", "<Root><Gain>0.5<?p?>\n</Gain></Root>" },
        { "instruction_in_text_never_closed", "<Root><Gain>0.5<?p </Gain></Root>" },
        { "document_type", "<!DOCTYPE Root><Root><Gain>0.5</Gain></Root>" },
        { "document_type_never_closed", "<!DOCTYPE Root [ <Root><Gain>0.5</Gain></Root>" },
        { "declared_entity", "<!DOCTYPE Root [<!ENTITY g \"0.5\">]><Root><Gain>&g;</Gain><Width>&undeclared;</Width></Root>" },
        { "declared_entity_holding_elements", "<!DOCTYPE Root [<!ENTITY e \"<Width>0.3</Width>\">]><Root>&e;<Gain>&e;1</Gain></Root>" },
        { "declared_entity_referring_to_others", "<!DOCTYPE Root [<!ENTITY a \"1\"> <!ENTITY b \"x&a;y&amp;z\"> <!ENTITY c \"&#x32;&q;\">]><Root><Gain>&b;</Gain><Width>&c;</Width></Root>" },
        { "declared_entity_declared_twice", "<!DOCTYPE R [<!ENTITY g \"0.1\"><!ENTITY g \"0.2\">]><Root><Gain>&g;</Gain></Root>" },
        { "parameter_entity", "<!DOCTYPE R [<!ENTITY % p \"<!ENTITY g '0.7'>\"> %p; <!ENTITY w \"0.4\">]><Root><Gain>&g;</Gain><Width>&w;</Width></Root>" },
        { "external_document_type", "<!DOCTYPE Root SYSTEM \"root.dtd\"><Root><Gain>&g;</Gain></Root>" },
        { "entity_in_an_attribute", "<!DOCTYPE R [<!ENTITY g \"0.5\">]><Root a=\"&g;&amp;&#49;&x;\"><Gain b='&g;'>0.25</Gain></Root>" },
        { "attributes", "<Root version=\"1\"><Gain unit='dB' x = \"y\">0.5</Gain></Root>" },
        { "attribute_without_quotes", "<Root><Gain a=1>0.5</Gain><Width>0.3</Width></Root>" },
        { "attribute_without_value", "<Root><Gain a>0.5</Gain></Root>" },
        { "attribute_quote_never_closed", "<Root><Gain a=\"0.5</Gain></Root>" },
        { "attribute_quote_open_at_the_end", "<Root a=\"" },
        { "attribute_ampersand_at_the_end", "<Root a=\"&" },
        { "illegal_character_in_a_tag", "<Root><Gain%>0.5</Gain></Root>" },
        { "gap_after_the_angle_bracket", "< Root>< Gain>0.5</Gain></Root>" },
        { "comment_between_bracket_and_name", "<<!-- c -->Root><Gain>0.5</Gain></Root>" },
        { "no_name_after_the_bracket", "<Root><Gain>0.5</Gain><>1</><Width>0.3</Width></Root>" },
        { "error_then_an_error_it_carries_on_after", "<Root><X a/><Gain>0.5</Gain>&unknown;</Root>" },
        { "error_then_bad_character_reference", "<Root><X a b/><Gain>0.5</Gain>&#xq;</Root>" },
        { "error_after_an_error_it_carries_on_after", "<Root><Gain>0.5</Gain>&unknown;<X a/></Root>" },
        { "markup_characters_in_text", "<Root><Gain>0.5 > 0.4 ]]></Gain></Root>" },
        { "numbers", "<Root><idxInputConfig>2.9</idxInputConfig><idxBassBoost>-1</idxBassBoost><idxGUI>1e3</idxGUI><Gain> 0.5</Gain></Root>" },
        { "odd_numbers", "<Root><Angle>+.5e1</Angle><Width>5.</Width><Gain>1e</Gain><idxGUI>0x10</idxGUI><idxBassBoost>--1</idxBassBoost></Root>" },
        { "non_numbers", "<Root><Angle>nan</Angle><Width>-inf</Width><Gain>Infinity</Gain><idxGUI>twelve</idxGUI></Root>" },
        { "huge_numbers", "<Root><Angle>1e400</Angle><Width>-1e39</Width><Gain>123456789012345678901234567890</Gain><idxGUI>9e9</idxGUI><idxBassBoost>-9e99</idxBassBoost></Root>" },
        { "tiny_numbers", "<Root><Angle>1e-400</Angle><Width>-1e-40</Width><Gain>0.000000000000000000000000000000000000000000001</Gain></Root>" },
        { "comma_decimals", "<Root><Angle>0,25</Angle><Width>0,5</Width><Gain>0,9</Gain></Root>" },
        { "non_ascii_text", "<Root><Gain>\xc2\xa0" "0.5</Gain><Width>\xe3\x80\x80" "0.5</Width><Angle>\xef\xbc\x90</Angle><X>\xf0\x9f\x8e\xa7</X></Root>" },
        { "non_ascii_names", "<R\xc3\xb6t><Gain>0.5</Gain><G\xc3\xa4in>1</G\xc3\xa4in></R\xc3\xb6t>" },
        { "overlong_encodings", "<Root><Gain>\xc0\xb1</Gain><\xc1\x87" "ain>0.5</Gain><Width>0\xc0\xae" "5</Width></Root>" },
        { "overlong_zero_ends_the_text", "<Root><Gain>0.5</Gain><Width>0.2\xc0\x80</Width></Root>" },
        { "zero_byte_ends_the_text", std::string ("<Root><Gain>0.5</Gain>\0<Width>0.2</Width></Root>", 49) },
        { "byte_order_mark", "\xef\xbb\xbf<Root><Gain>0.5</Gain></Root>" },
        // The framework's streams copy as many bytes of a text as re-encoding its characters
        // takes, which cuts text that is not plain UTF-8 wherever an element has other than one child.
        { "odd_utf8_in_cdata", "<Root><Gain><![CDATA[1\xc0\xae" "5]]><b/></Gain><Width><![CDATA[\xc0\xb1" "2]]>3</Width>"
                               "<Angle><![CDATA[0\xe0\x80\xae" "5]]></Angle><X><a><![CDATA[\xc0\xb1]]>x</a>y<![CDATA[\xc1\x81]]></X></Root>" },
        { "odd_utf8_cut_inside_a_sequence", "<Root><Gain><![CDATA[  \xf0\x80\xa0\x80]]><b/></Gain><Width><![CDATA[1\xf0\x80\xae\x80]]><b/></Width>"
                                            "<Angle><![CDATA[1\xf0\x80\xae\x80]]><![CDATA[5]]></Angle></Root>" },
        { "character_references_beyond_unicode", "<Root><Gain>1&#x7fffffff;5</Gain><Width>&#4294967296;0.5</Width><Angle>0&#x3fffff;.5<b/></Angle>"
                                                 "<X>&#99999999999;<b/>z&#xfffffff;</X><Y><a>&#x200000;</a><a>&#x7fffffff;</a></Y></Root>" },
    };

    std::vector<NamedBlock> blocks;
    for (const auto& [name, text] : documents)
        blocks.push_back ({ name, blockOf (text) });

    // Cut at every byte, as a truncated project file would be, with the length field both
    // telling the truth and still announcing the whole document.
    const std::string featured = "<?xml version=\"1.0\"?><!-- saved --><Root a=\"&amp;\"><Gain>&#48;.5</Gain><Width><![CDATA[0.3]]></Width>"
                                 "<Angle>0.<b/>1</Angle><idxGUI>2</idxGUI></Root>";
    for (size_t cut = 1; cut < featured.size(); ++cut)
    {
        blocks.push_back ({ "cut_at_" + std::to_string (cut), blockOf (featured.substr (0, cut)) });
        blocks.push_back ({ "cut_at_" + std::to_string (cut) + "_length_beyond_the_data", blockOf (featured.substr (0, cut), (juce::uint32) featured.size()) });
    }

    auto shortLength = blockOf (full, 40);
    auto lengthBeyond = blockOf (full, 100000);
    auto negativeLength = blockOf (full, 0xfffffff0u);
    auto zeroLength = blockOf (full, 0);
    auto wrongMagic = blockOf (full);
    wrongMagic[3] = '?';
    auto noTrailingZero = blockOf (full);
    noTrailingZero.pop_back();
    auto invalidUtf8 = blockOf ("<Root><Gain>1</Gain><X>\xff\xfe</X></Root>");
    auto cutInsideACharacter = blockOf ("<Root><Gain>1</Gain><X>\xe2\x82\xac</X></Root>", 26);
    const Block headerOnly { 'V', 'C', '2', '!', 5, 0, 0, 0 };
    const Block headerAndZero { 'V', 'C', '2', '!', 5, 0, 0, 0, 0 };
    for (auto& [name, block] : std::vector<NamedBlock> { { "length_field_short", shortLength }, { "length_field_beyond_the_data", lengthBeyond },
                                                         { "length_field_negative", negativeLength }, { "length_field_zero", zeroLength },
                                                         { "wrong_magic", wrongMagic }, { "no_trailing_zero", noTrailingZero },
                                                         { "invalid_utf8", invalidUtf8 }, { "cut_inside_a_character", cutInsideACharacter },
                                                         { "header_only", headerOnly }, { "header_and_zero", headerAndZero } })
        blocks.push_back ({ name, block });
    return blocks;
}

bool readsNumbersDifferently (const frameworkstate::Entries& entries)
{
    if (entries)
        for (const auto& e : *entries)
            if (frameworkstate::readsOtherwiseOnPurpose (e.text))
                return true;
    return false;
}

//==============================================================================
TEST (StateReader, ReadsEveryBlockAsTheFrameworkParserDid)
{
    for (const auto& [name, block] : handWrittenBlocks())
    {
        const auto reading = vendrasolith::readStateBlock (block.data(), (int) block.size());
        EXPECT_FALSE (reading.safeguardTaken) << name;
        const auto expected = frameworkstate::read (block.data(), (int) block.size());
        EXPECT_TRUE (frameworkstate::sameEntries (reading.entries, expected))
            << name << ": read " << frameworkstate::describe (reading.entries) << "; the framework read " << frameworkstate::describe (expected);
    }

    int compared = 0;
    for (const auto& [name, block] : corpusBlocks())
    {
        const auto reading = vendrasolith::readStateBlock (block.data(), (int) block.size());
        if (reading.safeguardTaken)
            continue; // the framework's parser does not come back from these
        const auto expected = frameworkstate::read (block.data(), (int) block.size());
        EXPECT_TRUE (frameworkstate::sameEntries (reading.entries, expected))
            << name << ": read " << frameworkstate::describe (reading.entries) << "; the framework read " << frameworkstate::describe (expected);
        ++compared;
    }
    EXPECT_GE (compared, 10) << "the state corpus was not found at " << VENDRASOLITH_STATE_CORPUS;
}

TEST (StateReader, RestoresEveryBlockAsTheOldRestoreDid)
{
    auto blocks = handWrittenBlocks();
    for (auto& corpusBlock : corpusBlocks())
        blocks.push_back (std::move (corpusBlock));

    for (const auto& [name, block] : blocks)
    {
        const auto reading = vendrasolith::readStateBlock (block.data(), (int) block.size());
        if (reading.safeguardTaken || readsNumbersDifferently (reading.entries))
            continue; // blocks never read before, and numbers read otherwise on purpose

        auto before = startingProcessor();
        auto after = startingProcessor();
        frameworkstate::restore (*before->processor, block.data(), (int) block.size());
        after->processor->setStateInformation (block.data(), (int) block.size());
        EXPECT_EQ (snapshotOf (*after->processor), snapshotOf (*before->processor)) << name;
    }
}

TEST (StateReader, TheCorruptedBlockThatHungTheHostRestoresAtOnce)
{
    juce::MemoryOutputStream text;
    ASSERT_TRUE (juce::Base64::convertFromBase64 (text, "PFJvb3Q+PG90PjxBbmdsZT54SW5wdXRDb25maWc8P3htIGVuZz0tOCI/Pk4xMF9fY3h4YWJpdjExN19fY2xhc3NfdHlwZV9pbmZvRQo8ISFE"
                                          "QW4+PGlkeEIiPz4KPCF4bSBlbmc9LTgiPz4KPCEhREEhREFuZ2xlPjxhZ2xlPnhJbnB1dENvbmZpZz48aWR4QmE8Um9vdD48QTAvdXBD"
                                          "c25maWc+PGlkeEJhPFJvb3Q+"));
    ASSERT_EQ (text.getDataSize(), 177u);
    const auto block = blockOf (std::string (static_cast<const char*> (text.getData()), text.getDataSize()));
    ASSERT_EQ (block.size(), 186u);

    auto host = startingProcessor();
    const auto untouched = snapshotOf (*host->processor);
    restoreWithin (*host->processor, block);
    EXPECT_EQ (snapshotOf (*host->processor), untouched) << "the block ends in the middle of an element: it is no state";
    EXPECT_TRUE (vendrasolith::readStateBlock (block.data(), (int) block.size()).safeguardTaken);
    expectWorkingAudio (*host);
}

struct InstructionCase
{
    const char* name;
    std::string document;
    float gain;
};

class InstructionBeforeText : public ::testing::TestWithParam<InstructionCase> {};

// The framework's parser loops on each of these; an instruction is skipped as XML has it.
TEST_P (InstructionBeforeText, IsSkippedAndTheTextKept)
{
    const auto& c = GetParam();
    auto host = startingProcessor();
    restoreWithin (*host->processor, blockOf (c.document));
    EXPECT_EQ (host->processor->getParameterValue (2), c.gain);
    EXPECT_EQ (host->processor->getParameterValue (1), 0.625f) << "nothing else changes";
    EXPECT_TRUE (host->processor->isEditorRefreshPending());
}

INSTANTIATE_TEST_SUITE_P (Documents, InstructionBeforeText, ::testing::Values (
    InstructionCase { "inside_a_number", "<Root><Gain>0.<?p?>5</Gain></Root>", 0.5f },
    InstructionCase { "opening_the_text", "<Root><Gain><?p?>1</Gain></Root>", 1.0f },
    InstructionCase { "whitespace_after_it_is_text", "<Root><Gain>1<?p?> 2</Gain></Root>", 1.0f },
    InstructionCase { "several_with_comments_between", "<Root><Gain>0<?a?><!--c--><?b?>.<?c?>2<?d?>5</Gain></Root>", 0.25f },
    InstructionCase { "before_a_character_reference", "<Root><Gain><?p?>&#49;</Gain></Root>", 1.0f },
    InstructionCase { "in_the_root_before_text", "<Root><Gain>0.5</Gain><?p?>x<Width>0.625</Width></Root>", 0.5f }),
    [] (const auto& test) { return std::string (test.param.name); });

struct LargeCase
{
    const char* name;
    std::string document;
    std::optional<float> gain; // nothing: the block is refused
};

class LargeHostileBlock : public ::testing::TestWithParam<LargeCase> {};

// Blocks of up to a megabyte on which the framework's parser overflows its stack, runs for
// minutes or never ends: each returns promptly, with what a restore makes of it.
TEST_P (LargeHostileBlock, RestoresPromptlyAndLeavesTheAudioWorking)
{
    const auto& c = GetParam();
    ASSERT_LE (c.document.size(), size_t { 1 } << 20);
    auto host = startingProcessor();
    const auto untouched = snapshotOf (*host->processor);
    restoreWithin (*host->processor, blockOf (c.document), std::chrono::seconds (30));

    if (c.gain)
        EXPECT_EQ (host->processor->getParameterValue (2), *c.gain);
    else
        EXPECT_EQ (snapshotOf (*host->processor), untouched);
    expectWorkingAudio (*host);
}

const size_t kDeep = 140000; // "<a>" and "</a>" at this depth nearly fill a megabyte

INSTANTIATE_TEST_SUITE_P (Blocks, LargeHostileBlock, ::testing::Values (
    LargeCase { "deep_nesting", "<Root><Gain>" + repeated ("<a>", kDeep) + "0.5" + repeated ("</a>", kDeep) + "</Gain></Root>", 0.5f },
    LargeCase { "deep_nesting_never_closed", "<Root><Gain>1</Gain>" + repeated ("<a>", 2 * kDeep), std::nullopt },
    LargeCase { "closing_tags_never_ending", "<Root><Gain>0.5</Gain>" + repeated ("<a>", kDeep) + repeated ("</", kDeep), 0.5f },
    LargeCase { "comments_never_ending", "<Root><Gain>1</Gain>" + repeated ("<a>", kDeep) + repeated ("<!--", kDeep / 2), std::nullopt },
    LargeCase { "instructions_never_ending", "<Root><Gain>1</Gain>" + repeated ("<a>", kDeep) + repeated ("<?", kDeep), std::nullopt },
    LargeCase { "ampersands", "<Root><Gain>1</Gain><X>" + repeated ("&", 1000000) + "</X></Root>", std::nullopt },
    LargeCase { "instructions_between_text", "<Root><Gain>" + repeated ("<?p?> ", 170000) + "0.5</Gain></Root>", 0.5f },
    LargeCase { "ampersands_in_an_entity_name", "<Root>&<Gain>0.5</Gain><a>" + repeated ("&", 1000000) + "</a>;</Root>", std::nullopt },
    LargeCase { "entity_referring_to_itself", "<!DOCTYPE R [<!ENTITY e \"&&e;\">]><Root><Gain>1</Gain><X>&e;</X></Root>", std::nullopt },
    LargeCase { "entities_doubling", "<!DOCTYPE R [<!ENTITY a \"&#49;&a;&a;&a;\">]><Root><Gain>&a;</Gain></Root>", std::nullopt },
    LargeCase { "entity_expanding_to_megabytes", "<!DOCTYPE R [<!ENTITY a \"" + repeated ("x", 60000) + "\">]><Root><Gain>1</Gain><X>" + repeated ("&a;", 300000) + "</X></Root>", std::nullopt },
    LargeCase { "declaration_of_many_parameter_entities", "<!DOCTYPE R [" + repeated ("%p; ", 200000) + "]><Root><Gain>&g;</Gain></Root>", std::nullopt }),
    [] (const auto& test) { return std::string (test.param.name); });

//==============================================================================
bool sameNumber (double a, double b)
{
    return (std::isnan (a) && std::isnan (b)) || (a == b && std::signbit (a) == std::signbit (b));
}

TEST (StateNumbers, ReadAsTheFrameworkReadThem)
{
    const char* texts[] = { "0", "1", "0.9", "0.123457", "2.9", "-1", "1e3", "1E+3", "1e-05", " 0.5", "\t\r\n 0.5", "+5",
                            ".5", "5.", "-.5", "1e", "1e+", "1e-", "--1", "+-1", "1.5.5", "0x10", "1 2", "12abc", "abc", "", " ",
                            "nan", "NaN", "-nan", "nanx", "inf", "-Inf", "infinity", "in", "1e400", "-1e400", "1e-400",
                            "3.4028235e38", "3.5e38", "123456789012345678901234567890", "0.00000000000000000000000000000000000000000000141",
                            "9007199254740993", "0.1000000000000000055511151231257827", "1.5e-05",
                            "0e400", "1e000000000000000000005", "1e999999999", "1e-999999999",
                            "\xc2\xa0" "5", "\xe3\x80\x80" "5", "\xef\xbc\x95", "\xc0\xb1", "0\xc0\xae" "5", "1\xc0\xae" "5e1" };
    for (const auto* text : texts)
    {
        const auto s = juce::String (juce::CharPointer_UTF8 (text), juce::CharPointer_UTF8 (text + std::strlen (text))); // the bytes as they are
        EXPECT_TRUE (sameNumber (vendrasolith::readDecimalNumber (s), s.getDoubleValue())) << '"' << text << '"';
    }
}

TEST (StateNumbers, ACommaIsTheDecimalPointWhereAPointCouldStand)
{
    const std::pair<const char*, double> cases[] = {
        { "0,25", 0.25 }, { "-0,5", -0.5 }, { "+0,5", 0.5 }, { " 0,9", 0.9 }, { "1,5e-05", 1.5e-05 }, { ",5", 0.5 },
        { "2,9", 2.9 }, { "1,", 1.0 }, { "0,25,7", 0.25 }, { "1.5,3", 1.5 }, { "1,5.3", 1.5 }, { ",", 0.0 }, { "a,5", 0.0 },
        { "1e5,5", 1e5 }, { "0,123457", 0.123457 },
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ (vendrasolith::readDecimalNumber (text), expected) << '"' << text << '"';
}

TEST (StateNumbers, NegativeZeroKeepsItsSign)
{
    // The framework reads "-0" as +0, so a parameter at -0 did not restore to its own state.
    for (const auto* text : { "-0", "-0.0", "-.0", "-0e5", " -000", "-1e-400" })
    {
        const double value = vendrasolith::readDecimalNumber (text);
        EXPECT_TRUE (value == 0.0 && std::signbit (value)) << '"' << text << '"';
    }
    for (const auto* text : { "-", "-.", "-abc", "0", "+0", "-e5" })
    {
        const double value = vendrasolith::readDecimalNumber (text);
        EXPECT_TRUE (value == 0.0 && ! std::signbit (value)) << '"' << text << '"';
    }

    HostedProcessor source;
    source.processor->setParameter (0, -0.0f);
    juce::MemoryBlock block;
    source.processor->getStateInformation (block);
    HostedProcessor target;
    target.processor->setStateInformation (block.getData(), (int) block.getSize());
    EXPECT_TRUE (std::signbit (target.processor->getParameterValue (0)));
}

TEST (StateNumbers, ExponentsTooLongForTheFrameworkSaturate)
{
    // The framework's reader overflows an int on these (undefined behaviour).
    const auto inf = std::numeric_limits<double>::infinity();
    const std::pair<const char*, double> cases[] = {
        { "1e9999999999", inf }, { "-1e9999999999", -inf }, { "1e-99999999999", 0.0 }, { "1e+4294967297", inf },
        { "2.5e00000000000000000001", 25.0 }, { "0,5e12345678901", inf },
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ (vendrasolith::readDecimalNumber (text), expected) << '"' << text << '"';
}

TEST (StateNumbers, AStateSavedWithCommasRestoresItsValues)
{
    HostedProcessor host;
    const auto block = blockOf ("<Root><Angle>0,25</Angle><Width>0,5</Width><Gain>0,9</Gain><idxInputConfig>2</idxInputConfig>"
                                "<idxBassBoost>1</idxBassBoost><idxGUI>3</idxGUI></Root>");
    host.processor->setStateInformation (block.data(), (int) block.size());
    EXPECT_EQ (host.processor->getParameterValue (0), 0.25f);
    EXPECT_EQ (host.processor->getParameterValue (1), 0.5f);
    EXPECT_EQ (host.processor->getParameterValue (2), 0.9f);
    EXPECT_EQ (host.processor->getInputConfiguration(), 2);
    EXPECT_EQ (host.processor->getBassBoostStep(), 1);
    EXPECT_EQ (host.processor->getGuiIndex(), 3);
}
} // namespace
