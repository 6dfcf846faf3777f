#pragma once

#include "VantorAudioProcessor.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace guitest
{
/** A processor whose host may deliver any number of input channels, so a test can stand
    in for hosts with counts the plug-in does not offer itself. */
struct AnyLayoutProcessor : VantorAudioProcessor
{
    explicit AnyLayoutProcessor (int inputChannels = 2) : VantorAudioProcessor (juce::PluginHostType::UnknownHost)
    {
        setInputChannels (inputChannels);
    }

    void setInputChannels (int count) { setPlayConfigDetails (count, 2, 44100.0, 512); }

    bool isBusesLayoutSupported (const BusesLayout&) const override { return true; }
};

/** What the host hears from the processor: gestures and notified parameter changes. */
struct HostRecord : juce::AudioProcessorListener
{
    enum Kind { begin, change, end };
    struct Event
    {
        Kind kind;
        int index;
        float value;
    };

    explicit HostRecord (juce::AudioProcessor& p) : processor (p) { processor.addListener (this); }
    ~HostRecord() override { processor.removeListener (this); }

    void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float value) override { events.push_back ({ change, index, value }); }
    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}
    void audioProcessorParameterChangeGestureBegin (juce::AudioProcessor*, int index) override { events.push_back ({ begin, index, 0.0f }); }
    void audioProcessorParameterChangeGestureEnd (juce::AudioProcessor*, int index) override { events.push_back ({ end, index, 0.0f }); }

    /** Gestures only, as (kind, index) pairs, in the order they came. */
    std::vector<std::pair<Kind, int>> gestures() const
    {
        std::vector<std::pair<Kind, int>> result;
        for (const auto& e : events)
            if (e.kind != change)
                result.emplace_back (e.kind, e.index);
        return result;
    }

    int countChanges() const
    {
        int n = 0;
        for (const auto& e : events)
            n += e.kind == change ? 1 : 0;
        return n;
    }

    juce::AudioProcessor& processor;
    std::vector<Event> events;
};

/** Closes an editor the way hosts' wrappers do: the processor lets go of it first. */
struct EditorCloser
{
    void operator() (juce::AudioProcessorEditor* editor) const
    {
        editor->getAudioProcessor()->editorBeingDeleted (editor);
        delete editor;
    }
};
using EditorPtr = std::unique_ptr<juce::AudioProcessorEditor, EditorCloser>;

/** Opens the processor's editor as a host does. */
inline EditorPtr openEditor (juce::AudioProcessor& processor)
{
    return EditorPtr (processor.createEditorIfNeeded());
}

/** Runs the message loop, letting timers and asynchronous messages through. */
inline void pump (int milliseconds)
{
    juce::MessageManager::getInstance()->runDispatchLoopUntil (milliseconds);
}

/** Lets the editor's timer run until it has taken in the processor's latest values
    (generously bounded, so a busy machine does not fail the test). */
inline bool waitForRefresh (const VantorAudioProcessor& processor)
{
    for (int waited = 0; waited < 3000; waited += 10)
    {
        pump (10);
        if (! processor.isEditorRefreshPending())
            return true;
    }
    return false;
}

/** The first descendant with this component name, or null. */
template <typename ComponentType = juce::Component>
ComponentType* findNamed (juce::Component& root, const juce::String& name)
{
    for (auto* child : root.getChildren())
    {
        if (child->getName() == name)
            if (auto* typed = dynamic_cast<ComponentType*> (child))
                return typed;

        if (auto* found = findNamed<ComponentType> (*child, name))
            return found;
    }
    return nullptr;
}

/** All descendants of a type, front-to-back order of construction. */
template <typename ComponentType>
std::vector<ComponentType*> findAll (juce::Component& root)
{
    std::vector<ComponentType*> result;
    for (auto* child : root.getChildren())
    {
        if (auto* typed = dynamic_cast<ComponentType*> (child))
            result.push_back (typed);
        auto nested = findAll<ComponentType> (*child);
        result.insert (result.end(), nested.begin(), nested.end());
    }
    return result;
}

inline juce::Image snapshot (juce::Component& c)
{
    return c.createComponentSnapshot (c.getLocalBounds(), true, 1.0f);
}

/** Largest difference of any channel between two colours. */
inline int colourDistance (juce::Colour a, juce::Colour b)
{
    return juce::jmax (std::abs ((int) a.getAlpha() - (int) b.getAlpha()), std::abs ((int) a.getRed() - (int) b.getRed()),
                       std::abs ((int) a.getGreen() - (int) b.getGreen()), std::abs ((int) a.getBlue() - (int) b.getBlue()));
}

/** Puts a top-level component on the desktop and feeds it mouse events through its
    window, so the framework's own hit testing decides which child gets each event. */
class DesktopMouse
{
public:
    explicit DesktopMouse (juce::Component& c) : component (c)
    {
        component.setTopLeftPosition (40, 40);
        component.addToDesktop (juce::ComponentPeer::windowIsTemporary);
        component.setVisible (true);
    }

    ~DesktopMouse()
    {
        move ({ -100, -100 });
        component.removeFromDesktop();
    }

    void move (juce::Point<int> p) { send (p, juce::ModifierKeys()); }
    void press (juce::Point<int> p) { move (p); send (p, juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier)); }
    void dragTo (juce::Point<int> p) { send (p, juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier)); }
    void release (juce::Point<int> p) { send (p, juce::ModifierKeys()); }

    void click (juce::Point<int> p)
    {
        press (p);
        release (p);
        // Keeps successive clicks from counting as double-clicks.
        time += 1000;
    }

    /** Presses at the first point, drags through the others and releases at the last. */
    void drag (std::initializer_list<juce::Point<int>> path)
    {
        auto it = path.begin();
        press (*it);
        for (++it; it != path.end(); ++it)
            dragTo (*it);
        release (*(path.end() - 1));
        time += 1000;
    }

private:
    void send (juce::Point<int> p, juce::ModifierKeys mods)
    {
        auto* peer = component.getPeer();
        ASSERT_NE (peer, nullptr);
        time += 20;
        peer->handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse, p.toFloat(), mods,
                                juce::MouseInputSource::defaultPressure, juce::MouseInputSource::defaultOrientation, time);
    }

    juce::Component& component;
    juce::int64 time = juce::Time::currentTimeMillis();
};
} // namespace guitest
