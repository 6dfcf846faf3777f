#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vendrasolith::cli
{
/** A mistake on the command line (exit status 2). */
struct UsageError : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

/** A file could not be read, written or rendered (exit status 1). */
struct RenderError : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

enum class SampleFormat { int16, int24, float32 };

struct Options
{
    enum class Action { render, demo, help, version };
    Action action = Action::render;

    std::string input;   // empty for the demo
    std::string output;

    std::optional<int> configuration; // from --layout; otherwise chosen by channel count
    double angleDegrees = 0.0;
    double widthPercent = 100.0;
    double gainDecibels = 0.0;
    int bassStep = 0;
    std::optional<SampleFormat> sampleFormat; // from --bits; the default depends on the format
    int blockSize = 4096;
    bool keepTail = false;
    std::string hrtfPath; // a SOFA file from --hrtf; empty for the built-in responses
    bool trueRate = false; // --true-rate
};

/** Reads the arguments after the program name; throws UsageError. */
Options parseCommandLine (const std::vector<std::string>& arguments);

/** The configuration a --layout value names (a label from the configuration table or an
    alias such as "5.1"), compared without regard to case or separators. */
std::optional<int> configurationNamed (const std::string& name);

std::string usageText();
} // namespace vendrasolith::cli
