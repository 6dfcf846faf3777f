// Kept apart from the framework's headers: Xlib's macros clash with them.
#include <X11/Xlib.h>

#include <initializer_list>

namespace guitest
{
/** A virtual display without a window manager lacks atoms that the framework looks up
    but never creates, and then fails the first window it opens. Creating them first
    leaves the display as a desktop session would have it. The connection stays open:
    a virtual server resets, forgetting its atoms, when its last client leaves. */
void prepareBareDisplay()
{
    auto* display = XOpenDisplay (nullptr);
    if (display == nullptr)
        return;

    for (const char* name : { "WM_PROTOCOLS", "WM_TAKE_FOCUS", "WM_DELETE_WINDOW", "_NET_WM_PING", "WM_CHANGE_STATE",
                              "WM_STATE", "_NET_WM_WINDOW_TYPE", "_NET_WM_STATE", "_NET_WM_STATE_HIDDEN" })
        XInternAtom (display, name, False);
}
} // namespace guitest
