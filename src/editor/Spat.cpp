#include "Spat.h"

#include "VantorAudioProcessor.h"

#include <cmath>

namespace
{
void writeParameter (VantorAudioProcessor& processor, int index, float value)
{
    if (auto* parameter = processor.getParameterObject (index))
        parameter->setValueNotifyingHost (value);
}

void beginGesture (VantorAudioProcessor& processor, int index)
{
    if (auto* parameter = processor.getParameterObject (index))
        parameter->beginChangeGesture();
}

void endGesture (VantorAudioProcessor& processor, int index)
{
    if (auto* parameter = processor.getParameterObject (index))
        parameter->endChangeGesture();
}
} // namespace

Spat::Spat (VantorAudioProcessor* p) : Pad (p)
{
    if (processor != nullptr)
    {
        const auto point = pointFor (processor->getParameterValue (VantorAudioProcessor::angleIndex),
                                     processor->getParameterValue (VantorAudioProcessor::widthIndex));
        posX = point.x;
        posY = point.y;
    }
}

Spat::~Spat() = default;

juce::Point<float> Spat::pointFor (float angle, float width) noexcept
{
    const double turn = juce::MathConstants<double>::twoPi * (double) angle;
    const double distance = 1.0 - (double) width;
    return { (float) ((1.0 + distance * std::sin (turn)) * 0.5),
             (float) ((1.0 - distance * std::cos (turn)) * 0.5) };
}

void Spat::updateFromMouse (const juce::MouseEvent& e)
{
    posX = juce::jlimit (0.0f, 1.0f, (float) e.x / (float) getWidth());
    posY = juce::jlimit (0.0f, 1.0f, (float) e.y / (float) getHeight());
    repaint();

    if (processor == nullptr)
        return;

    const float fx = 2.0f * (posX - 0.5f);
    const float fy = 2.0f * (0.5f - posY); // grows upwards

    float angle = (juce::MathConstants<float>::halfPi - std::atan2 (fy, fx)) / juce::MathConstants<float>::twoPi;
    if (angle < 0.0f)
        angle += 1.0f;

    // Not limited: the corners of the square give widths down to 1 - sqrt 2.
    const float width = 1.0f - std::sqrt (fx * fx + fy * fy);

    writeParameter (*processor, VantorAudioProcessor::angleIndex, angle);
    writeParameter (*processor, VantorAudioProcessor::widthIndex, width);
}

void Spat::mouseDown (const juce::MouseEvent& e)
{
    if (processor != nullptr)
    {
        beginGesture (*processor, VantorAudioProcessor::widthIndex);
        beginGesture (*processor, VantorAudioProcessor::angleIndex);
    }

    updateFromMouse (e);
}

void Spat::mouseDrag (const juce::MouseEvent& e)
{
    updateFromMouse (e);
}

void Spat::mouseUp (const juce::MouseEvent&)
{
    if (processor != nullptr)
    {
        endGesture (*processor, VantorAudioProcessor::widthIndex);
        endGesture (*processor, VantorAudioProcessor::angleIndex);
    }
}

void Spat::paint (juce::Graphics& g)
{
    const float fx = 2.0f * (posX - 0.5f);
    const float fy = 2.0f * (posY - 0.5f); // screen orientation: grows downwards

    // A non-finite point (from a non-finite parameter) has no direction to show.
    if (! std::isfinite (fx) || ! std::isfinite (fy))
        return;

    const float centre = std::atan2 (fy, fx) + juce::MathConstants<float>::halfPi;
    const float r = juce::jlimit (0.1f, 1.0f, std::sqrt (fx * fx + fy * fy));

    // A full turn up to r = 0.1 (Width 0.9), narrowing linearly to 0.1 radian at the rim.
    const float extent = juce::MathConstants<float>::twoPi - (r - 0.1f) / 0.9f * 6.1831856f;
    const float half = extent * 0.5f;

    arcPath.clear();
    arcPath.addPieSegment (21.0f, 21.0f, 258.0f, 258.0f, centre + half, centre - half, 0.935f);

    g.setColour (juce::Colour (0x5ec5daf6));
    g.strokePath (arcPath, juce::PathStrokeType (3.0f, juce::PathStrokeType::mitered, juce::PathStrokeType::butt));

    g.setColour (juce::Colour (0xf65ec5da));
    g.fillPath (arcPath);
}
