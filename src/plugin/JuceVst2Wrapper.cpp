// The framework's VST 2.4 wrapper, compiled here instead of from its module so that its own
// exports make way for those of Vst2EntryPoint.cpp: its VSTPluginMain is renamed, and its
// `main` (a function carrying the assembler name "main") becomes weak.
#define VSTPluginMain juceVstPluginMain
#pragma weak main_plugin
#include <juce_audio_plugin_client/juce_audio_plugin_client_VST2.cpp>
