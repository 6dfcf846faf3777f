#include "VantorAudioProcessor.h"

// The framework's plug-in client asks for a new processor per plug-in instance.
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new VantorAudioProcessor();
}
