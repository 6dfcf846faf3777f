// vendrasolith-render: renders a file (or the built-in demo) binaurally through the
// plug-in's own processor, offline. See usageText() for the command line.
#include "CommandLine.h"
#include "DemoScene.h"
#include "HeadResponses.h"
#include "InputConfiguration.h"
#include "OfflineRender.h"
#include "OutputFile.h"
#include "SampleSource.h"
#include "VantorAudioProcessor.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

namespace
{
using namespace vendrasolith::cli;

constexpr const char* kProgram = "vendrasolith-render";

void warn (const std::string& message)
{
    std::fprintf (stderr, "%s: warning: %s\n", kProgram, message.c_str());
}

std::string layoutLabel (int configuration)
{
    return vendrasolith::InputConfiguration::get (configuration).label;
}

/** The configuration a file is read with: the one named, or the one a host picks for its
    channel count. */
int chooseConfiguration (const Options& options, int fileChannels)
{
    if (options.configuration)
    {
        const int configuration = *options.configuration;
        const int needed = VantorAudioProcessor::channelCountOf (configuration);
        if (fileChannels < needed)
            throw UsageError ("layout '" + layoutLabel (configuration) + "' reads " + std::to_string (needed)
                              + " channels but '" + options.input + "' has " + std::to_string (fileChannels));
        if (fileChannels > needed)
            warn ("'" + options.input + "' has " + std::to_string (fileChannels) + " channels; layout '"
                  + layoutLabel (configuration) + "' reads the first " + std::to_string (needed));
        return configuration;
    }

    switch (fileChannels)
    {
        case 1: return 0;
        case 2: case 6: case 8:
            return VantorAudioProcessor::automaticConfiguration (juce::PluginHostType::UnknownHost, fileChannels);
        default:
            throw UsageError ("cannot tell the layout of a " + std::to_string (fileChannels)
                              + "-channel file: name one with --layout");
    }
}

int render (const Options& options)
{
    std::unique_ptr<SampleSource> source;
    RenderSettings settings;

    if (options.action == Options::Action::demo)
    {
        source = std::make_unique<DemoScene>();
        settings.configuration = DemoScene::kConfiguration;
    }
    else
    {
        source = openAudioFile (options.input);
        settings.configuration = chooseConfiguration (options, source->numChannels());
    }

    const auto target = OutputTarget::check (options.output, options.sampleFormat, options.input);
    if (! options.hrtfPath.empty())
        settings.headResponses = headResponsesFromSofa (options.hrtfPath, source->sampleRate(), options.trueRate, warn);
    settings.trueRate = options.trueRate;

    settings.angleDegrees = options.angleDegrees;
    settings.widthPercent = options.widthPercent;
    settings.gainDecibels = options.gainDecibels;
    settings.bassStep = options.bassStep;
    settings.blockSize = options.blockSize;
    settings.keepTail = options.keepTail;

    OutputFile output (target, source->sampleRate());
    const auto summary = renderOffline (*source, output, settings, target.isInteger());
    output.commit (summary.outputFrames);

    if (const auto shortfall = describeShortfall (*source); ! shortfall.empty())
        warn (shortfall + " ('" + options.input + "' is cut short); rendered what is there");
    if (summary.nonFiniteInput > 0)
        warn (std::to_string (summary.nonFiniteInput) + " input samples were not finite numbers (NaN or infinity); "
              "they were rendered as silence");
    if (summary.nonFiniteOutput > 0)
        warn (std::to_string (summary.nonFiniteOutput) + " output samples overflowed and were written as silence");
    if (summary.clipped > 0)
    {
        char peak[32];
        std::snprintf (peak, sizeof (peak), "%+.1f", 20.0 * std::log10 ((double) summary.peak));
        warn (std::to_string (summary.clipped) + " samples went past full scale (peak " + peak
              + " dBFS) and were clipped; lower --gain or write --bits 32f");
    }

    if (::isatty (STDERR_FILENO))
        std::fprintf (stderr, "%s: wrote %s (%.2f s, %d Hz, %s, layout '%s') at %.1fx real time\n", kProgram,
                      options.output.c_str(), (double) summary.outputFrames / source->sampleRate(),
                      (int) std::lround (source->sampleRate()), target.describe().c_str(),
                      layoutLabel (settings.configuration).c_str(), summary.speed);
    return 0;
}
} // namespace

int main (int argc, char* argv[])
{
    try
    {
        const auto options = parseCommandLine (std::vector<std::string> (argv + 1, argv + argc));
        switch (options.action)
        {
            case Options::Action::help:
                std::fputs (usageText().c_str(), stdout);
                return 0;
            case Options::Action::version:
                std::printf ("%s %s\n", kProgram, VENDRASOLITH_VERSION);
                return 0;
            case Options::Action::render:
            case Options::Action::demo:
                return render (options);
        }
    }
    catch (const UsageError& e)
    {
        // Some mistakes name their own place in the help already.
        const std::string message = e.what();
        const char* hint = message.find ("--help") == std::string::npos ? " (see --help)" : "";
        std::fprintf (stderr, "%s: %s%s\n", kProgram, message.c_str(), hint);
        return 2;
    }
    catch (const std::exception& e)
    {
        std::fprintf (stderr, "%s: %s\n", kProgram, e.what());
        return 1;
    }
    return 1;
}
