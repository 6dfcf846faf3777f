// Saving and restoring the processor's settings as the host's opaque state block.
#include "ParameterText.h"
#include "VantorAudioProcessor.h"
#include "VantorParameter.h"

#include <cmath>
#include <limits>

namespace
{
constexpr const char* parameterKeys[] = { "Angle", "Width", "Gain" };
constexpr juce::uint32 stateMagic = 0x21324356; // "VC2!"

/** Narrows a stored number to float; magnitudes beyond float's range become infinities. */
float narrowToFloat (double value)
{
    if (value > (double) std::numeric_limits<float>::max())
        return std::numeric_limits<float>::infinity();
    if (value < -(double) std::numeric_limits<float>::max())
        return -std::numeric_limits<float>::infinity();
    return (float) value;
}

/** Truncates a stored number towards zero; values no integer can hold saturate, and a NaN gives 0. */
int truncateToInt (double text)
{
    const float value = narrowToFloat (text);
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

/** The framework's XML parser trusts its text to be valid UTF-8 and walks past the end of
    a string that is not, so a corrupted block is checked before it gets there. */
bool holdsValidText (const void* data, int sizeInBytes)
{
    if (data == nullptr || sizeInBytes <= 8)
        return true; // too short to be parsed at all

    const auto* bytes = static_cast<const char*> (data);
    const auto declaredLength = (int) juce::ByteOrder::littleEndianInt (bytes + 4);
    const int textBytes = juce::jmin (sizeInBytes - 8, declaredLength);
    return textBytes <= 0 || juce::CharPointer_UTF8::isValidString (bytes + 8, textBytes);
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
    if (! holdsValidText (data, sizeInBytes))
        return;

    const auto xml = getXmlFromBinary (data, sizeInBytes);
    if (xml == nullptr)
        return;

    // The option is written only while on, so a state without it was saved with it off.
    bool restoredTrueRate = false;

    for (auto* child : xml->getChildIterator())
    {
        const auto& tag = child->getTagName();
        const double number = child->getAllSubText().getDoubleValue();

        for (int i = 0; i < numParameters; ++i)
            if (tag.equalsIgnoreCase (parameterKeys[i]))
                setParameter (i, narrowToFloat (number));

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
