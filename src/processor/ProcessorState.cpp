// Saving and restoring the processor's settings as the host's opaque state block.
#include "ParameterText.h"
#include "StateReader.h"
#include "VantorAudioProcessor.h"
#include "VantorParameter.h"

#include <cmath>

namespace
{
constexpr const char* parameterKeys[] = { "Angle", "Width", "Gain" };
constexpr juce::uint32 stateMagic = 0x21324356; // "VC2!"

/** Truncates a stored number towards zero; values no integer can hold saturate, and a NaN gives 0. */
int truncateToInt (double text)
{
    const float value = vendrasolith::narrowToFloat (text);
    if (std::isnan (value))
        return 0;
    constexpr float limit = 2147483520.0f; // the largest float below 2^31
    return (int) juce::jlimit (-limit, limit, value);
}

/** The framework's binary XML layout (magic, length, text, zero byte), written without an
    XML declaration so the block stays a single short document. */
void writeStateBlock (const juce::XmlElement& xml, juce::MemoryBlock& destData)
{
    const auto text = xml.toString (juce::XmlElement::TextFormat().singleLine().withoutHeader());
    const auto utf8Length = text.getNumBytesAsUTF8();

    destData.reset();
    juce::MemoryOutputStream out (destData, false);
    out.writeInt ((int) stateMagic);
    out.writeInt ((int) utf8Length);
    out.write (text.toRawUTF8(), utf8Length);
    out.writeByte (0);
}
} // namespace

void VantorAudioProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    juce::XmlElement root ("Root");

    for (int i = 0; i < numParameters; ++i)
        root.createNewChildElement (parameterKeys[i])->addTextElement (vendrasolith::formatParameterValue (getParameterValue (i)));

    root.createNewChildElement ("idxInputConfig")->addTextElement (juce::String (getInputConfiguration()));
    root.createNewChildElement ("idxBassBoost")->addTextElement (juce::String (getBassBoostStep()));
    root.createNewChildElement ("idxGUI")->addTextElement (juce::String (getGuiIndex()));
    // Only while on, so that every state without the option reads as it always has.
    if (isTrueRate())
        root.createNewChildElement ("trueRate")->addTextElement ("1");

    writeStateBlock (root, destData);
}

void VantorAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    const auto reading = vendrasolith::readStateBlock (data, sizeInBytes);
    if (! reading.entries)
        return;

    // The option is written only while on, so a state without it was saved with it off.
    bool restoredTrueRate = false;

    for (const auto& entry : *reading.entries)
    {
        const auto& tag = entry.tagName;
        const double number = vendrasolith::readDecimalNumber (entry.text);

        for (int i = 0; i < numParameters; ++i)
            if (tag.equalsIgnoreCase (parameterKeys[i]))
                setParameter (i, vendrasolith::narrowToFloat (number));

        if (tag.equalsIgnoreCase ("idxInputConfig"))
            requestInputConfiguration (truncateToInt (number));
        else if (tag.equalsIgnoreCase ("idxBassBoost"))
            setBassBoostStep (truncateToInt (number));
        else if (tag.equalsIgnoreCase ("idxGUI"))
            setGuiIndex (truncateToInt (number));
        else if (tag.equalsIgnoreCase ("trueRate"))
            restoredTrueRate = truncateToInt (number) != 0;
    }
    setTrueRate (restoredTrueRate);

    // An LV2 host knows parameter values only from what the plug-in announces.
    if (wrapperType == wrapperType_LV2)
        for (int i = 0; i < numParameters; ++i)
            parameters[(size_t) i]->sendValueChangedMessageToListeners (getParameterValue (i));

    setEditorRefreshPending (true);
}
