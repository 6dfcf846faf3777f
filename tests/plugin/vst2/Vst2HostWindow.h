// What a Linux host gives a plug-in's editor: a frame window on an X display, an audio
// thread that keeps running, and the idle calls of the host's window loop.
#pragma once

#include "Vst2Host.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <set>
#include <thread>

namespace vst2test
{
/** A display connection and a top-level window standing in for the frame a Linux host
    hands to a plug-in's editor. */
class HostFrame
{
public:
    HostFrame() : display (XOpenDisplay (nullptr))
    {
        if (display == nullptr)
            return;

        window = XCreateSimpleWindow (display, DefaultRootWindow (display), 0, 0, 640, 480, 0, 0, 0);
        XMapWindow (display, window);
        XSync (display, False);
    }

    ~HostFrame()
    {
        if (display == nullptr)
            return;
        XDestroyWindow (display, window);
        XCloseDisplay (display);
    }

    HostFrame (const HostFrame&) = delete;
    HostFrame& operator= (const HostFrame&) = delete;

    std::vector<Window> children() const
    {
        XSync (display, False);
        Window root = 0, parent = 0, *list = nullptr;
        unsigned int count = 0;
        if (XQueryTree (display, window, &root, &parent, &list, &count) == 0)
            return {};
        std::vector<Window> result (list, list + count);
        XFree (list);
        return result;
    }

    XWindowAttributes attributes (Window w) const
    {
        XWindowAttributes a {};
        XGetWindowAttributes (display, w, &a);
        return a;
    }

    /** Distinct pixel values on a 10-pixel grid over a window: 1 for a plain fill. */
    size_t distinctColours (Window w) const
    {
        const auto a = attributes (w);
        XImage* image = XGetImage (display, w, 0, 0, (unsigned) a.width, (unsigned) a.height, AllPlanes, ZPixmap);
        if (image == nullptr)
            return 0;
        std::set<unsigned long> colours;
        for (int y = 0; y < a.height; y += 10)
            for (int x = 0; x < a.width; x += 10)
                colours.insert (XGetPixel (image, x, y));
        XDestroyImage (image);
        return colours.size();
    }

    Display* const display;
    Window window = 0;
};

/** The host's audio thread: stereo blocks through processReplacing, with Angle automated,
    until the object goes. */
class AudioThread
{
public:
    explicit AudioThread (Effect& e) : effect (e), thread ([this] { run(); }) {}

    ~AudioThread()
    {
        running = false;
        thread.join();
    }

    std::atomic<int> blocks { 0 };
    std::atomic<bool> finite { true };

private:
    void run()
    {
        constexpr int blockSize = 256;
        const auto input = noise (2, blockSize);
        Instance::Channels output (2, std::vector<float> (blockSize));
        float* ins[] = { const_cast<float*> (input[0].data()), const_cast<float*> (input[1].data()) };
        float* outs[] = { output[0].data(), output[1].data() };

        for (int n = 0; running; ++n)
        {
            effect.setParameter (&effect, 0, (float) (n % 64) / 64.0f);
            effect.processReplacing (&effect, ins, outs, blockSize);
            for (const auto& channel : output)
                if (! std::all_of (channel.begin(), channel.end(), [] (float s) { return std::isfinite (s); }))
                    finite = false;
            ++blocks;
            std::this_thread::sleep_for (std::chrono::milliseconds (2));
        }
    }

    Effect& effect;
    std::atomic<bool> running { true };
    std::thread thread;
};

/** Gives the plug-in the idle calls a host makes from its window loop, for at least the
    given time and then until the condition holds (bounded, for a busy machine). */
template <typename Condition>
inline void idleUntil (Instance& plugin, int milliseconds, Condition condition)
{
    const auto start = std::chrono::steady_clock::now();
    for (;;)
    {
        plugin.dispatch (op::editIdle);
        std::this_thread::sleep_for (std::chrono::milliseconds (10));
        const auto waited = std::chrono::steady_clock::now() - start;
        if ((waited > std::chrono::milliseconds (milliseconds) && condition()) || waited > std::chrono::seconds (20))
            return;
    }
}
} // namespace vst2test
