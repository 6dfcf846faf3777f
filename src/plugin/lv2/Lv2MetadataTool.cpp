// Writes an LV2 bundle's metadata at build time:
//   vendrasolith-lv2-metadata <bundle folder> <binary file name> <plug-in URI> <plug-in name> <input channels>
// The processor is made as the framework's LV2 client makes it in that bundle's binary, so the
// metadata describes what the binary does.
#include "Lv2Metadata.h"

#include <juce_audio_plugin_client/utility/juce_CreatePluginFilter.h>

#include <iostream>

int main (int argc, char* argv[])
{
    if (argc != 6)
    {
        std::cerr << "usage: " << argv[0] << " <bundle folder> <binary file name> <plug-in URI> <plug-in name> <input channels>\n";
        return 2;
    }

    const juce::ScopedJuceInitialiser_GUI framework;
    const vendrasolith::Lv2BundleIdentity identity { juce::String::fromUTF8 (argv[3]), juce::String::fromUTF8 (argv[4]),
                                                     juce::String::fromUTF8 (argv[2]) };
    const int inputs = juce::String (argv[5]).getIntValue();

    const auto processor = juce::createPluginFilterOfType (juce::AudioProcessor::wrapperType_LV2);
    processor->setPlayConfigDetails (inputs, 2, 44100.0, 1024);
    if (processor->getTotalNumInputChannels() != inputs || processor->getTotalNumOutputChannels() != 2)
    {
        std::cerr << "the processor does not take " << inputs << " inputs and 2 outputs\n";
        return 1;
    }

    const auto folder = juce::File::getCurrentWorkingDirectory().getChildFile (juce::String::fromUTF8 (argv[1]));
    const auto result = vendrasolith::Lv2Metadata::write (*processor, identity, folder);
    if (result.failed())
    {
        std::cerr << result.getErrorMessage() << '\n';
        return 1;
    }
    return 0;
}
