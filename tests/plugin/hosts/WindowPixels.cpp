// Kept apart from the framework's headers: Xlib's macros clash with them.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <set>

namespace hosttest
{
/** Distinct pixel values on a 10-pixel grid over a window as the screen shows it, child
    windows included (1 for a plain fill, 0 when the window cannot be read). */
int distinctColoursShownIn (unsigned long windowId)
{
    auto* display = XOpenDisplay (nullptr);
    if (display == nullptr)
        return 0;

    int result = 0;
    XWindowAttributes a {};
    if (XGetWindowAttributes (display, (Window) windowId, &a) != 0)
    {
        if (auto* image = XGetImage (display, (Window) windowId, 0, 0, (unsigned) a.width, (unsigned) a.height, AllPlanes, ZPixmap))
        {
            std::set<unsigned long> colours;
            for (int y = 0; y < a.height; y += 10)
                for (int x = 0; x < a.width; x += 10)
                    colours.insert (XGetPixel (image, x, y));
            XDestroyImage (image);
            result = (int) colours.size();
        }
    }
    XCloseDisplay (display);
    return result;
}
} // namespace hosttest
