#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

namespace vendrasolith
{
/** What differs between the plug-in formats, decided here and nowhere else. */
struct HostFormat
{
    /** VST3 hosts say which loudspeaker each input channel is, and so does an LV2 bundle's
        metadata (each bundle declares the loudspeakers of its input ports, and the framework
        hands them over as the bus layout); VST 2.4 hosts mostly give a bare channel count (and
        what the project's VST 2.4 users rely on is read by count), and the Standalone app
        declares stereo at most. */
    static bool declaresChannelTypes (juce::AudioProcessor::WrapperType type) noexcept
    {
        return type == juce::AudioProcessor::wrapperType_VST3 || type == juce::AudioProcessor::wrapperType_LV2;
    }

    /** VST3 hosts show parameter texts as the editor does (degrees, percent, decibels);
        VST 2.4 hosts and the projects saved with them keep the normalised value. */
    static bool showsParameterUnits (juce::AudioProcessor::WrapperType type) noexcept
    {
        return type == juce::AudioProcessor::wrapperType_VST3;
    }

    /** LV2 hosts hold and automate a parameter's value itself, within the range and unit its
        bundle declares, so there a value is given in the editor's units (degrees, percent,
        decibels); the plug-in keeps the normalised value, as in every format. */
    static bool holdsParameterValuesInUnits (juce::AudioProcessor::WrapperType type) noexcept
    {
        return type == juce::AudioProcessor::wrapperType_LV2;
    }
};
} // namespace vendrasolith
