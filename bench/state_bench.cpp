// Times setStateInformation on hostile and valid blocks of up to 1 MiB, the sizes a damaged
// or foreign project could hand over. Prints one line per case:
//   case=<name> bytes=<n> worst_ms=<x> median_ms=<x>
// and a last line with the worst case over all of them (target: 50 ms in a Release build).
// Times are the restoring thread's CPU time; each case runs several times on one instance.
#include "VantorAudioProcessor.h"

#include "ThreadClock.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace
{
constexpr size_t kMaxBytes = size_t { 1 } << 20;
constexpr int kRunsPerCase = 5;

struct Case
{
    std::string name, text;
};

std::string repeatedToFill (const std::string& head, const std::string& piece, const std::string& tail, size_t bytes = kMaxBytes - 9)
{
    std::string text = head;
    while (text.size() + piece.size() + tail.size() <= bytes)
        text += piece;
    return text + tail;
}

std::string times (const std::string& piece, size_t count)
{
    std::string text;
    for (size_t i = 0; i < count; ++i)
        text += piece;
    return text;
}

/** Markup soup: the characters the reader cares about, at random. */
std::string soup (unsigned seed, const char* alphabet)
{
    std::mt19937 random (seed);
    const std::string letters (alphabet);
    std::string text = "<Root>";
    while (text.size() < kMaxBytes - 9)
        text += letters[random() % letters.size()];
    return text;
}

std::vector<Case> cases()
{
    const std::string hangingBlock = "<Root><ot><Angle>xInputConfig<?xm eng=-8\"?>N10__cxxabiv117__class_type_infoE\n<!!DAn><idxB\"?>\n"
                                     "<!xm eng=-8\"?>\n<!!DA!DAngle><agle>xInputConfig><idxBa<Root><A0/upCsnfig><idxBa<Root>";
    const size_t deep = 140000;
    return {
        { "written_by_the_plugin", "<Root><Angle>0</Angle><Width>1</Width><Gain>0.9</Gain><idxInputConfig>1</idxInputConfig><idxBassBoost>0</idxBassBoost><idxGUI>0</idxGUI></Root>" },
        { "the_block_that_hung", hangingBlock },
        { "the_block_that_hung_repeated", repeatedToFill ("<Root><a>", hangingBlock.substr (6), "") },
        { "many_elements", repeatedToFill ("<Root>", "<Gain>0.5</Gain><Width>0.25</Width>", "</Root>") },
        { "many_unknown_elements_with_attributes", repeatedToFill ("<Root>", "<x a=\"1\" b='&amp;'/>", "</Root>") },
        { "one_long_number", repeatedToFill ("<Root><Gain>", "1", "</Gain></Root>") },
        { "one_long_cdata", repeatedToFill ("<Root><Gain><![CDATA[", "1", "]]></Gain></Root>") },
        { "deep_nesting", "<Root><Gain>" + times ("<a>", deep) + "0.5" + times ("</a>", deep) + "</Gain></Root>" },
        { "deep_nesting_never_closed", repeatedToFill ("<Root>", "<a>", "") },
        { "closing_tags_never_ending", "<Root>" + times ("<a>", deep) + repeatedToFill ("", "</", "", kMaxBytes - 9 - 6 - 3 * deep) },
        { "comments_never_ending", "<Root>" + times ("<a>", deep) + repeatedToFill ("", "<!--", "", kMaxBytes - 9 - 6 - 3 * deep) },
        { "instructions_never_ending", "<Root>" + times ("<a>", deep) + repeatedToFill ("", "<?", "", kMaxBytes - 9 - 6 - 3 * deep) },
        { "comments_before_markup", repeatedToFill ("<Root><Gain>1", "<!---->", "</Gain></Root>") },
        { "instructions_before_markup", repeatedToFill ("<Root><Gain>1", "<?p?>", "</Gain></Root>") },
        { "instructions_between_text", repeatedToFill ("<Root><Gain>", "<?p?> ", "0.5</Gain></Root>") },
        { "instructions_between_digits", repeatedToFill ("<Root><Gain>", "<?p?>1", "</Gain></Root>") },
        { "ampersands", repeatedToFill ("<Root><X>", "&", "</X></Root>") },
        { "ampersands_in_an_attribute", repeatedToFill ("<Root><X a=\"", "&", "\"/></Root>") },
        { "ampersands_in_an_entity_name", repeatedToFill ("<Root>&<Gain>0.5</Gain><a>", "&", "</a>;</Root>") },
        { "unknown_entities", repeatedToFill ("<Root><X>", "&e;", "</X></Root>") },
        { "character_references", repeatedToFill ("<Root><X>", "&#x41;&#65;", "</X></Root>") },
        { "gaps_after_brackets", repeatedToFill ("<Root>", "< a>", "</Root>") },
        { "declared_entities_used_often", repeatedToFill ("<!DOCTYPE R [<!ENTITY g \"0.5\">]><Root><X>", "&g;", "</X></Root>") },
        { "declared_entities_unknown_names", [] {
              std::string text = "<!DOCTYPE R [<!ENTITY g \"0.5\">]><Root><X>";
              for (int i = 0; text.size() < kMaxBytes - 40; ++i)
                  text += "&e" + std::to_string (i) + ";";
              return text + "</X></Root>";
          }() },
        { "entity_referring_to_itself", "<!DOCTYPE R [<!ENTITY e \"&&e;\">]><Root><X>&e;</X></Root>" },
        { "entities_doubling", "<!DOCTYPE R [<!ENTITY a \"&#49;&a;&a;&a;\">]><Root><Gain>&a;</Gain></Root>" },
        { "entity_expanding_to_megabytes", "<!DOCTYPE R [<!ENTITY a \"" + times ("x", 60000) + "\">]><Root><X>" + repeatedToFill ("", "&a;", "", 900000) + "</X></Root>" },
        { "declaration_of_many_parameter_entities", repeatedToFill ("<!DOCTYPE R [", "%p; ", "]><Root><Gain>&g;</Gain></Root>") },
        { "declaration_just_within_bounds", repeatedToFill ("<!DOCTYPE R [" + times ("%p; <!ENTITY p \"a b\"> ", 160) + "<!ENTITY g \"0.5\">]><Root><X>", "&g;&h;", "</X></Root>") },
        { "soup_of_markup_1", soup (1, "<>/&;!?-[]CDAT =\"'ab") },
        { "soup_of_markup_2", soup (2, "<<<>>&;?!--  ab") },
        { "soup_of_markup_3", soup (3, "<?>a x") },
    };
}

double restoreMilliseconds (VantorAudioProcessor& processor, const juce::MemoryBlock& block)
{
    const double start = threadSeconds();
    processor.setStateInformation (block.getData(), (int) block.getSize());
    return 1000.0 * (threadSeconds() - start);
}
} // namespace

int main()
{
    VantorAudioProcessor processor;
    processor.setPlayConfigDetails (2, 2, 48000.0, 512);
    processor.prepareToPlay (48000.0, 512);

    double worst = 0.0;
    std::string worstCase;
    for (const auto& c : cases())
    {
        juce::MemoryBlock block;
        {
            juce::MemoryOutputStream out (block, false);
            out.writeInt (0x21324356);
            out.writeInt ((int) c.text.size());
            out.write (c.text.data(), c.text.size());
            out.writeByte (0);
        }

        std::vector<double> runs;
        for (int run = 0; run < kRunsPerCase; ++run)
            runs.push_back (restoreMilliseconds (processor, block));
        std::sort (runs.begin(), runs.end());

        std::printf ("case=%s bytes=%zu worst_ms=%.2f median_ms=%.2f\n", c.name.c_str(), block.getSize(), runs.back(), runs[runs.size() / 2]);
        std::fflush (stdout);
        if (runs.back() > worst)
            worst = runs.back(), worstCase = c.name;
    }
    std::printf ("worst_restore_ms=%.2f case=%s (target 50 ms for blocks up to 1 MiB)\n", worst, worstCase.c_str());
    return 0;
}
