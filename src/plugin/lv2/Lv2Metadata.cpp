#include "Lv2Metadata.h"
#include "VantorParameter.h"

#include <charconv>
#include <optional>

namespace vendrasolith
{
namespace
{
using Set = juce::AudioChannelSet;

// The framework's client appends these to the plug-in's URI.
constexpr const char* kUriSeparator = ":";

juce::String windowUri (const Lv2BundleIdentity& identity) { return identity.uri + kUriSeparator + "UI"; }

/** An input port's loudspeaker as LV2 names it (port-groups designations) and as hosts show it. */
struct Loudspeaker
{
    Set::ChannelType type;
    const char* designation;
    const char* portName;
};

// LV2's 5.1 calls its surround pair "rear"; 7.1 has sides and rears.
constexpr Loudspeaker loudspeakers[] = {
    { Set::left, "left", "Left" },
    { Set::right, "right", "Right" },
    { Set::centre, "center", "Centre" },
    { Set::LFE, "lowFrequencyEffects", "LFE" },
    { Set::leftSurround, "rearLeft", "Left Surround" },
    { Set::rightSurround, "rearRight", "Right Surround" },
    { Set::leftSurroundSide, "sideLeft", "Left Side" },
    { Set::rightSurroundSide, "sideRight", "Right Side" },
    { Set::leftSurroundRear, "rearLeft", "Left Rear" },
    { Set::rightSurroundRear, "rearRight", "Right Rear" },
    { Set::leftCentre, "centerLeft", "Left Centre" },
    { Set::rightCentre, "centerRight", "Right Centre" },
};

std::optional<Loudspeaker> loudspeakerOf (Set::ChannelType type)
{
    for (const auto& speaker : loudspeakers)
        if (speaker.type == type)
            return speaker;
    return std::nullopt;
}

/** The port-groups class of a whole layout, where LV2 has one. */
const char* groupClassOf (const Set& layout)
{
    if (layout == Set::mono()) return "pg:MonoGroup";
    if (layout == Set::stereo()) return "pg:StereoGroup";
    if (layout == Set::create5point1()) return "pg:FivePointOneGroup";
    if (layout == Set::create7point1()) return "pg:SevenPointOneGroup";
    return nullptr;
}

const char* unitOf (VantorParameter::Unit unit)
{
    switch (unit)
    {
        case VantorParameter::Unit::degrees: return "units:degree";
        case VantorParameter::Unit::percent: return "units:pc";
        case VantorParameter::Unit::decibels: return "units:db";
    }
    return nullptr;
}

/** A decimal as Turtle reads it, the same in every locale: the shortest text that reads back
    as the float, with a decimal point. */
juce::String decimal (float value)
{
    char text[32];
    const auto end = std::to_chars (text, text + sizeof (text), value).ptr;
    juce::String result (text, (size_t) (end - text));
    if (! result.containsAnyOf (".e"))
        result << ".0";
    return result;
}

juce::String quoted (const juce::String& text)
{
    return "\"" + text.replace ("\\", "\\\\").replace ("\"", "\\\"") + "\"";
}

/** The parameter's name in URIs, as the framework's client forms it. */
juce::String parameterSymbol (const juce::AudioProcessorParameter& parameter)
{
    const auto* withId = dynamic_cast<const juce::AudioProcessorParameterWithID*> (&parameter);
    return withId != nullptr ? juce::URL::addEscapeChars (withId->getParameterID(), true) : juce::String();
}

/** Port indices as the framework's client numbers them. */
struct PortIndices
{
    int inputs, outputs;
    int audioIn (int c) const { return c; }
    int audioOut (int c) const { return inputs + c; }
    int atomIn() const { return inputs + outputs; }
    int atomOut() const { return atomIn() + 1; }
    int latency() const { return atomIn() + 2; }
    int freeWheeling() const { return atomIn() + 3; }
    int enabled() const { return atomIn() + 4; }
};

juce::String prefixes (std::initializer_list<const char*> names)
{
    static const std::pair<const char*, const char*> known[] = {
        { "atom", "http://lv2plug.in/ns/ext/atom#" },       { "bufs", "http://lv2plug.in/ns/ext/buf-size#" },
        { "doap", "http://usefulinc.com/ns/doap#" },        { "foaf", "http://xmlns.com/foaf/0.1/" },
        { "lv2", "http://lv2plug.in/ns/lv2core#" },         { "midi", "http://lv2plug.in/ns/ext/midi#" },
        { "opts", "http://lv2plug.in/ns/ext/options#" },    { "param", "http://lv2plug.in/ns/ext/parameters#" },
        { "patch", "http://lv2plug.in/ns/ext/patch#" },     { "pg", "http://lv2plug.in/ns/ext/port-groups#" },
        { "pprop", "http://lv2plug.in/ns/ext/port-props#" }, { "rdfs", "http://www.w3.org/2000/01/rdf-schema#" },
        { "rsz", "http://lv2plug.in/ns/ext/resize-port#" }, { "state", "http://lv2plug.in/ns/ext/state#" },
        { "time", "http://lv2plug.in/ns/ext/time#" },       { "ui", "http://lv2plug.in/ns/extensions/ui#" },
        { "units", "http://lv2plug.in/ns/extensions/units#" }, { "urid", "http://lv2plug.in/ns/ext/urid#" },
    };
    juce::String text;
    for (const auto* name : names)
        for (const auto& [prefix, uri] : known)
            if (juce::String (prefix) == name)
                text << "@prefix " << (juce::String (prefix) + ":").paddedRight (' ', 7) << '<' << uri << "> .\n";
    return text << '\n';
}

juce::String audioPort (const char* direction, int index, const juce::String& symbol, const juce::String& name,
                        const char* group, const char* designation)
{
    juce::String port;
    port << "\t\ta lv2:" << direction << " , lv2:AudioPort ;\n"
         << "\t\tlv2:index " << index << " ;\n"
         << "\t\tlv2:symbol " << quoted (symbol) << " ;\n"
         << "\t\tlv2:name " << quoted (name) << " ;\n"
         << "\t\tpg:group plug:" << group << " ;\n"
         << "\t\tlv2:designation pg:" << designation << " ;\n";
    return port;
}
} // namespace

juce::String Lv2Metadata::manifest (const juce::AudioProcessor& processor, const Lv2BundleIdentity& identity)
{
    const auto binary = juce::URL::addEscapeChars (identity.binaryFileName, false);
    juce::String text = prefixes ({ "lv2", "rdfs", "ui" });
    text << '<' << identity.uri << ">\n"
         << "\ta lv2:Plugin ;\n"
         << "\tlv2:binary <" << binary << "> ;\n"
         << "\trdfs:seeAlso <dsp.ttl> .\n";
    if (processor.hasEditor())
        text << "\n<" << windowUri (identity) << ">\n"
             << "\ta ui:X11UI ;\n"
             << "\tlv2:binary <" << binary << "> ;\n"
             << "\trdfs:seeAlso <ui.ttl> .\n";
    return text;
}

juce::String Lv2Metadata::plugin (const juce::AudioProcessor& processor, const Lv2BundleIdentity& identity)
{
    const auto input = processor.getChannelLayoutOfBus (true, 0);
    const auto output = processor.getChannelLayoutOfBus (false, 0);
    const PortIndices ports { processor.getTotalNumInputChannels(), processor.getTotalNumOutputChannels() };
    const auto version = juce::StringArray::fromTokens (JucePlugin_VersionString, ".", "");

    juce::String text = prefixes ({ "atom", "bufs", "doap", "foaf", "lv2", "midi", "opts", "patch", "pg", "pprop",
                                    "rdfs", "rsz", "state", "time", "ui", "units", "urid" });
    text << "@prefix plug:  <" << identity.uri << kUriSeparator << "> .\n\n";

    // Parameters: hosts hold and automate them in these units (HostFormat).
    juce::StringArray parameterNames;
    for (const auto* parameter : processor.getParameters())
    {
        const auto* vantor = dynamic_cast<const VantorParameter*> (parameter);
        jassert (vantor != nullptr);
        if (vantor == nullptr)
            continue;
        const auto& range = vantor->getNormalisableRange();
        const auto symbol = parameterSymbol (*vantor);
        parameterNames.add ("plug:" + symbol);
        text << "plug:" << symbol << "\n"
             << "\ta lv2:Parameter ;\n"
             << "\trdfs:label " << quoted (vantor->getName (1024)) << " ;\n"
             << "\trdfs:range atom:Float ;\n"
             << "\tlv2:default " << decimal (vantor->convertFrom0to1 (vantor->getDefaultValue())) << " ;\n"
             << "\tlv2:minimum " << decimal (range.start) << " ;\n"
             << "\tlv2:maximum " << decimal (range.end) << " ;\n"
             << "\tunits:unit " << unitOf (vantor->getUnit()) << " .\n\n";
    }

    // Port groups: what the input ports together are, and the binaural pair.
    const auto* inputClass = groupClassOf (input);
    text << "plug:input_group_1\n"
         << "\ta pg:InputGroup" << (inputClass != nullptr ? juce::String (" , ") + inputClass : juce::String()) << " ;\n"
         << "\tlv2:name \"Input\" ;\n"
         << "\tlv2:symbol \"input_group_1\" .\n\n"
         << "plug:output_group_1\n"
         << "\ta pg:OutputGroup , pg:StereoGroup ;\n"
         << "\tlv2:name \"Output\" ;\n"
         << "\tlv2:symbol \"output_group_1\" ;\n"
         << "\tpg:source plug:input_group_1 .\n\n";

    text << '<' << identity.uri << ">\n"
         << "\ta lv2:Plugin , lv2:SpatialPlugin , doap:Project ;\n"
         << "\tdoap:name " << quoted (identity.name) << " ;\n"
         << "\tdoap:description " << quoted (JucePlugin_Desc) << " ;\n"
         << "\tdoap:license <https://spdx.org/licenses/GPL-3.0-or-later> ;\n"
         << "\tdoap:maintainer [\n"
         << "\t\ta foaf:Person ;\n"
         << "\t\tfoaf:name " << quoted (JucePlugin_Manufacturer) << " ;\n"
         << "\t] ;\n"
         << "\tdoap:release [\n"
         << "\t\ta doap:Version ;\n"
         << "\t\tdoap:revision " << quoted (JucePlugin_VersionString) << " ;\n"
         << "\t] ;\n"
         << "\tlv2:minorVersion " << version[version.size() - 2].getIntValue() << " ;\n"
         << "\tlv2:microVersion " << version[version.size() - 1].getIntValue() << " ;\n";
    if (processor.hasEditor())
        text << "\tui:ui <" << windowUri (identity) << "> ;\n";
    text << "\tlv2:optionalFeature lv2:hardRTCapable ;\n"
         << "\tlv2:requiredFeature urid:map , opts:options , bufs:boundedBlockLength ;\n"
         << "\tlv2:extensionData state:interface ;\n"
         << "\topts:supportedOption bufs:maxBlockLength ;\n"
         << "\tpg:mainInput plug:input_group_1 ;\n"
         << "\tpg:mainOutput plug:output_group_1 ;\n";
    if (! parameterNames.isEmpty())
        text << "\tpatch:writable " << parameterNames.joinIntoString (" , ") << " ;\n"
             << "\tpatch:readable " << parameterNames.joinIntoString (" , ") << " ;\n";

    juce::StringArray portTexts;
    for (int c = 0; c < ports.inputs; ++c)
    {
        const auto speaker = loudspeakerOf (input.getTypeOfChannel (c));
        jassert (speaker.has_value());
        if (! speaker.has_value())
            return {};
        portTexts.add (audioPort ("InputPort", ports.audioIn (c), "audio_in_" + juce::String (c + 1), speaker->portName,
                                  "input_group_1", speaker->designation));
    }
    for (int c = 0; c < ports.outputs; ++c)
    {
        const bool left = output.getTypeOfChannel (c) == Set::left;
        portTexts.add (audioPort ("OutputPort", ports.audioOut (c), "audio_out_" + juce::String (c + 1),
                                  left ? "Left Ear" : "Right Ear", "output_group_1", left ? "left" : "right"));
    }

    // The client's event ports carry parameter changes, time and MIDI; each may have to hold
    // every parameter at once.
    const int atomSize = processor.getParameters().size() * 72 + 8192;
    juce::String atoms;
    atoms << "\t\ta lv2:InputPort , atom:AtomPort ;\n"
          << "\t\tlv2:index " << ports.atomIn() << " ;\n"
          << "\t\tlv2:symbol \"in\" ;\n"
          << "\t\tlv2:name \"In\" ;\n"
          << "\t\tlv2:designation lv2:control ;\n"
          << "\t\tatom:bufferType atom:Sequence ;\n"
          << "\t\tatom:supports " << (processor.acceptsMidi() ? "midi:MidiEvent , " : "") << "patch:Message , time:Position ;\n"
          << "\t\trsz:minimumSize " << atomSize << " ;\n";
    portTexts.add (atoms);
    atoms = {};
    atoms << "\t\ta lv2:OutputPort , atom:AtomPort ;\n"
          << "\t\tlv2:index " << ports.atomOut() << " ;\n"
          << "\t\tlv2:symbol \"out\" ;\n"
          << "\t\tlv2:name \"Out\" ;\n"
          << "\t\tlv2:designation lv2:control ;\n"
          << "\t\tatom:bufferType atom:Sequence ;\n"
          << "\t\tatom:supports " << (processor.producesMidi() ? "midi:MidiEvent , " : "") << "patch:Message ;\n"
          << "\t\trsz:minimumSize " << atomSize << " ;\n";
    portTexts.add (atoms);

    juce::String latency;
    latency << "\t\ta lv2:OutputPort , lv2:ControlPort ;\n"
            << "\t\tlv2:index " << ports.latency() << " ;\n"
            << "\t\tlv2:symbol \"latency\" ;\n"
            << "\t\tlv2:name \"Latency\" ;\n"
            << "\t\tlv2:designation lv2:latency ;\n"
            << "\t\tlv2:portProperty lv2:reportsLatency , lv2:integer , lv2:connectionOptional , pprop:notOnGUI ;\n"
            << "\t\tlv2:minimum 0 ;\n"
            << "\t\tlv2:maximum " << processor.getLatencySamples() << " ;\n"
            << "\t\tunits:unit units:frame ;\n";
    portTexts.add (latency);

    const auto toggle = [] (int index, const char* symbol, const char* name, const char* designation, const char* byDefault)
    {
        juce::String port;
        port << "\t\ta lv2:InputPort , lv2:ControlPort ;\n"
             << "\t\tlv2:index " << index << " ;\n"
             << "\t\tlv2:symbol \"" << symbol << "\" ;\n"
             << "\t\tlv2:name \"" << name << "\" ;\n"
             << "\t\tlv2:designation lv2:" << designation << " ;\n"
             << "\t\tlv2:portProperty lv2:toggled , lv2:connectionOptional , pprop:notOnGUI ;\n"
             << "\t\tlv2:default " << byDefault << " ;\n"
             << "\t\tlv2:minimum 0.0 ;\n"
             << "\t\tlv2:maximum 1.0 ;\n";
        return port;
    };
    portTexts.add (toggle (ports.freeWheeling(), "freeWheeling", "Free Wheeling", "freeWheeling", "0.0"));
    // Bypass: hosts switch it through this port, and the plug-in keeps time while bypassed.
    portTexts.add (toggle (ports.enabled(), "enabled", "Enabled", "enabled", "1.0"));

    text << "\tlv2:port [\n" << portTexts.joinIntoString ("\t] , [\n") << "\t] .\n";
    return text;
}

juce::String Lv2Metadata::window (const Lv2BundleIdentity& identity)
{
    // The window has one size: hosts are told it does not resize, and it tells them its size.
    juce::String text = prefixes ({ "lv2", "opts", "param", "ui", "urid" });
    text << '<' << windowUri (identity) << ">\n"
         << "\tlv2:requiredFeature ui:idleInterface , urid:map , ui:parent , <http://lv2plug.in/ns/ext/instance-access> ;\n"
         << "\tlv2:optionalFeature ui:noUserResize , ui:resize , opts:options ;\n"
         << "\tlv2:extensionData ui:idleInterface , opts:interface , ui:resize ;\n"
         << "\topts:supportedOption ui:scaleFactor , param:sampleRate .\n";
    return text;
}

juce::Result Lv2Metadata::write (const juce::AudioProcessor& processor, const Lv2BundleIdentity& identity, const juce::File& folder)
{
    const auto dsp = plugin (processor, identity);
    if (dsp.isEmpty())
        return juce::Result::fail ("an input channel has no loudspeaker LV2 can name: "
                                   + processor.getChannelLayoutOfBus (true, 0).getDescription());

    const std::pair<const char*, juce::String> files[] = {
        { "manifest.ttl", manifest (processor, identity) },
        { "dsp.ttl", dsp },
        { "ui.ttl", processor.hasEditor() ? window (identity) : juce::String() },
    };
    if (! folder.createDirectory())
        return juce::Result::fail ("cannot create " + folder.getFullPathName());
    for (const auto& [name, content] : files)
    {
        if (content.isEmpty())
            continue;
        const auto file = folder.getChildFile (name);
        if (! file.replaceWithText (content, false, false, "\n"))
            return juce::Result::fail ("cannot write " + file.getFullPathName());
    }
    return juce::Result::ok();
}
} // namespace vendrasolith
