#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

namespace vendrasolith
{
/** What differs between the plug-in formats, decided here and nowhere else. */
struct HostFormat
{
    /** VST3 hosts say which loudspeaker each input channel is; VST 2.4 hosts mostly give a
        bare channel count (and what the project's VST 2.4 users rely on is read by count),
        and the other formats here declare stereo at most. */
    static bool declaresChannelTypes (juce::AudioProcessor::WrapperType type) noexcept
    {
        return type == juce::AudioProcessor::wrapperType_VST3;
    }

    /** VST3 hosts show parameter texts as the editor does (degrees, percent, decibels);
        VST 2.4 hosts and the projects saved with them keep the normalised value. */
    static bool showsParameterUnits (juce::AudioProcessor::WrapperType type) noexcept
    {
        return type == juce::AudioProcessor::wrapperType_VST3;
    }
};
} // namespace vendrasolith
