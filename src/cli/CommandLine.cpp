#include "CommandLine.h"

#include "InputConfiguration.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace vendrasolith::cli
{
namespace
{
std::string lowercase (std::string text)
{
    std::transform (text.begin(), text.end(), text.begin(), [] (unsigned char c) { return (char) std::tolower (c); });
    return text;
}

// Layout names are typed in shells: spaces, commas, slashes, hyphens and underscores all
// separate channel names, and case is ignored.
std::string normaliseLayoutName (const std::string& name)
{
    std::string result;
    bool pendingSpace = false;
    for (const char c : lowercase (name))
    {
        if (c == ' ' || c == ',' || c == '_' || c == '/' || c == '-' || c == '\t')
        {
            pendingSpace = ! result.empty();
            continue;
        }
        if (pendingSpace)
            result += ' ';
        pendingSpace = false;
        result += c;
    }
    return result;
}

const std::vector<std::pair<const char*, int>>& layoutAliases()
{
    static const std::vector<std::pair<const char*, int>> aliases {
        { "mono", 0 }, { "1.0", 0 }, { "stereo", 1 }, { "2.0", 1 },
        { "5.1", 2 }, { "5.1-film", 3 }, { "7.1", 5 }, { "7.1-film", 6 },
    };
    return aliases;
}

/** A finite decimal number and nothing else: no hex, no "nan", no trailing characters. */
std::optional<double> parseNumber (const std::string& text)
{
    if (text.empty() || text.find_first_not_of ("0123456789+-.eE") != std::string::npos)
        return std::nullopt;

    errno = 0;
    char* end = nullptr;
    const double value = std::strtod (text.c_str(), &end);
    if (end != text.c_str() + text.size() || errno == ERANGE || ! std::isfinite (value))
        return std::nullopt;
    return value;
}

double parseInRange (const std::string& option, const std::string& text, double low, double high, const char* unit)
{
    const auto value = parseNumber (text);
    if (! value || *value < low || *value > high)
        throw UsageError (option + " takes " + unit + " from " + std::to_string ((int) low) + " to "
                          + std::to_string ((int) high) + ", not '" + text + "'");
    return *value;
}

int parseBass (const std::string& text)
{
    const auto value = lowercase (text);
    if (value == "off" || value == "0")
        return 0;
    if (value == "3" || value == "+3")
        return 1;
    if (value == "6" || value == "+6")
        return 2;
    if (value == "9" || value == "+9")
        return 3;
    throw UsageError ("--bass takes off, 3, 6 or 9, not '" + text + "'");
}

SampleFormat parseBits (const std::string& text)
{
    const auto value = lowercase (text);
    if (value == "16")
        return SampleFormat::int16;
    if (value == "24")
        return SampleFormat::int24;
    if (value == "32f")
        return SampleFormat::float32;
    throw UsageError ("--bits takes 16, 24 or 32f, not '" + text + "'");
}

int parseBlockSize (const std::string& text)
{
    const auto value = parseNumber (text);
    if (! value || *value != std::floor (*value) || *value < 1.0 || *value > 65536.0)
        throw UsageError ("--block takes a whole number of frames from 1 to 65536, not '" + text + "'");
    return (int) *value;
}
} // namespace

std::optional<int> configurationNamed (const std::string& name)
{
    const auto wanted = normaliseLayoutName (name);
    if (wanted.empty())
        return std::nullopt;

    for (int i = 0; i < InputConfiguration::kCount; ++i)
        if (normaliseLayoutName (inputConfigurations[(size_t) i].label) == wanted)
            return i;

    for (const auto& [alias, configuration] : layoutAliases())
        if (normaliseLayoutName (alias) == wanted)
            return configuration;

    return std::nullopt;
}

Options parseCommandLine (const std::vector<std::string>& arguments)
{
    Options options;
    std::vector<std::string> positional;
    bool demo = false, help = false, version = false, optionsEnded = false;

    for (size_t i = 0; i < arguments.size(); ++i)
    {
        const std::string& argument = arguments[i];

        if (optionsEnded || argument.size() < 2 || argument[0] != '-')
        {
            positional.push_back (argument);
            continue;
        }
        if (argument == "--")
        {
            optionsEnded = true;
            continue;
        }

        // Both "--name value" and "--name=value".
        std::string name = argument, value;
        bool hasInlineValue = false;
        if (const auto equals = argument.find ('='); equals != std::string::npos && argument.rfind ("--", 0) == 0)
        {
            name = argument.substr (0, equals);
            value = argument.substr (equals + 1);
            hasInlineValue = true;
        }

        const auto takeValue = [&]() -> std::string
        {
            if (hasInlineValue)
                return value;
            if (i + 1 >= arguments.size())
                throw UsageError (name + " needs a value");
            return arguments[++i];
        };
        const auto noValue = [&]
        {
            if (hasInlineValue)
                throw UsageError (name + " takes no value");
        };

        if (name == "-h" || name == "--help")             { noValue(); help = true; }
        else if (name == "-V" || name == "--version")     { noValue(); version = true; }
        else if (name == "--tail")                        { noValue(); options.keepTail = true; }
        else if (name == "--true-rate")                   { noValue(); options.trueRate = true; }
        else if (name == "--demo")                        { demo = true; options.output = takeValue(); }
        else if (name == "--angle")  options.angleDegrees = parseInRange (name, takeValue(), 0.0, 360.0, "degrees");
        else if (name == "--width")  options.widthPercent = parseInRange (name, takeValue(), 0.0, 100.0, "a percentage");
        else if (name == "--gain")   options.gainDecibels = parseInRange (name, takeValue(), -90.0, 10.0, "decibels");
        else if (name == "--bass")   options.bassStep = parseBass (takeValue());
        else if (name == "--bits")   options.sampleFormat = parseBits (takeValue());
        else if (name == "--block")  options.blockSize = parseBlockSize (takeValue());
        else if (name == "--hrtf")
        {
            options.hrtfPath = takeValue();
            if (options.hrtfPath.empty())
                throw UsageError ("--hrtf needs a SOFA file");
        }
        else if (name == "--layout")
        {
            const auto layout = takeValue();
            options.configuration = configurationNamed (layout);
            if (! options.configuration)
                throw UsageError ("unknown layout '" + layout + "' (--help lists the layouts)");
        }
        else
            throw UsageError ("unknown option '" + name + "'");
    }

    if (help)
    {
        options.action = Options::Action::help;
        return options;
    }
    if (version)
    {
        options.action = Options::Action::version;
        return options;
    }

    if (demo)
    {
        if (! positional.empty())
            throw UsageError ("--demo takes only the output file, not '" + positional.front() + "'");
        if (options.configuration)
            throw UsageError ("--layout does not apply to --demo: the demo is a 7.1 scene");
        options.action = Options::Action::demo;
        return options;
    }

    if (positional.size() < 2)
        throw UsageError (positional.empty() ? "missing the input and output files" : "missing the output file");
    if (positional.size() > 2)
        throw UsageError ("one input and one output file, not " + std::to_string (positional.size()) + " files");

    options.input = positional[0];
    options.output = positional[1];
    return options;
}

std::string usageText()
{
    std::string layouts;
    for (int i = 0; i < InputConfiguration::kCount; ++i)
        layouts += "      \"" + std::string (inputConfigurations[(size_t) i].label) + "\"\n";

    return "Usage: vendrasolith-render INPUT OUTPUT [options]\n"
           "       vendrasolith-render --demo OUTPUT [options]\n"
           "\n"
           "Renders a mono, stereo, 5.1 or 7.1 file binaurally for headphones, through the\n"
           "same processing as the plug-in. The output is stereo, at the input's sample rate\n"
           "and, unless --tail is given, exactly as long as the input and aligned with it.\n"
           "Input: WAV, AIFF, FLAC or Ogg Vorbis. Output format by extension: .wav, .flac,\n"
           ".aif or .aiff. --demo renders a built-in 7-second 7.1 scene instead of a file:\n"
           "a burst from each loudspeaker in turn (L, C, R, Rss, Rsr, Lsr, Lss).\n"
           "\n"
           "Options:\n"
           "  --layout NAME   how the input's channels are read (default: 1 channel mono,\n"
           "                  2 stereo, 6 \"L R C LFE Lsr Rs\", 8 \"L R C LFE Lsr Rsr Lss Rss\").\n"
           "                  Names ignore case; spaces may be commas. One of:\n"
           + layouts +
           "                  or mono, stereo, 5.1, 5.1-film (L C R Lsr Rsr LFE),\n"
           "                  7.1, 7.1-film (L C R Lss Rss Lsr Rsr LFE)\n"
           "  --angle DEG     direction the image turns towards, 0 to 360 (default 0)\n"
           "  --width PCT     0 (every channel at Angle) to 100 (own places; default)\n"
           "  --gain DB       output level, -90 to +10 (default 0)\n"
           "  --bass STEP     bass boost: off, 3, 6 or 9 (default off)\n"
           "  --bits B        16, 24 or 32f (32-bit float, WAV only); default 24\n"
           "  --tail          keep the decay after the input ends\n"
           "  --true-rate     keep the head's cues true at the input's rate: the built-in\n"
           "                  44.1 kHz responses are resampled to it, so time differences\n"
           "                  between the ears and spectral features are those of the\n"
           "                  measurement at any rate (without it they scale with the rate,\n"
           "                  as in the plug-in with the option off)\n"
           "  --hrtf FILE     listen through the head-related responses of a SOFA file\n"
           "                  (SimpleFreeFieldHRIR, e.g. your own measurement) instead of\n"
           "                  the built-in ones; resampled to the input's rate and cut to\n"
           "                  256 taps, or with --true-rate to as many taps as 256 span at\n"
           "                  44.1 kHz\n"
           "  -h, --help      show this help\n"
           "  -V, --version   show the version\n"
           "\n"
           "Exit status: 0 when the output was written (warnings go to stderr: an input that\n"
           "ends before the length its header announces is rendered as far as it goes), 1 if\n"
           "a file could not be read or written or the input holds no audio, 2 for a\n"
           "command-line mistake (a layout that does not fit the input's channels included).\n"
           "A failed render leaves no output file behind.\n";
}
} // namespace vendrasolith::cli
