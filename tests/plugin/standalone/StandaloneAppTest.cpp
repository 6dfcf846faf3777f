// Starts the built standalone application on the display, waits for its window, and closes
// it the way a window manager does when the user clicks the window's close box. The machine
// may have no audio device at all; the application must start and quit all the same.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace guitest
{
void prepareBareDisplay();
}

namespace
{
using namespace std::chrono_literals;

/** The application as a child process, with a home folder of its own for its settings file. */
class App
{
public:
    App()
    {
        home = std::filesystem::temp_directory_path() / ("vendrasolith-standalone-" + std::to_string (getpid()));
        std::filesystem::create_directories (home);

        pid = fork();
        if (pid == 0)
        {
            setenv ("HOME", home.c_str(), 1);
            execl (VENDRASOLITH_STANDALONE_PATH, VENDRASOLITH_STANDALONE_PATH, (char*) nullptr);
            _exit (127);
        }
    }

    ~App()
    {
        if (pid > 0 && ! exited)
        {
            kill (pid, SIGKILL);
            waitpid (pid, &status, 0);
        }
        std::error_code ignored;
        std::filesystem::remove_all (home, ignored);
    }

    /** Whether the process has ended; its wait status is then in `status`. */
    bool hasExited()
    {
        if (! exited && pid > 0)
            exited = waitpid (pid, &status, WNOHANG) == pid;
        return exited;
    }

    std::string describeStatus() const
    {
        if (WIFEXITED (status))
            return "exited with code " + std::to_string (WEXITSTATUS (status));
        if (WIFSIGNALED (status))
            return "killed by signal " + std::to_string (WTERMSIG (status));
        return "status " + std::to_string (status);
    }

    pid_t pid = -1;
    int status = 0;
    bool exited = false;
    std::filesystem::path home;
};

Window findTopLevelWindow (Display* display, const std::string& title)
{
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (XQueryTree (display, DefaultRootWindow (display), &root, &parent, &children, &count) == 0)
        return 0;

    Window found = 0;
    for (unsigned int i = 0; i < count && found == 0; ++i)
    {
        // The framework sets the name as UTF-8, which XFetchName does not read.
        XTextProperty name {};
        if (XGetWMName (display, children[i], &name) != 0 && name.value != nullptr)
        {
            if (std::string (reinterpret_cast<const char*> (name.value), name.nitems) == title)
                found = children[i];
            XFree (name.value);
        }
    }
    XFree (children);
    return found;
}

struct Screenshot
{
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;

    size_t distinctColours() const
    {
        std::set<unsigned long> colours;
        for (int y = 0; y < height; y += 10)
            for (int x = 0; x < width; x += 10)
            {
                const auto* p = &rgb[3 * (size_t) (y * width + x)];
                colours.insert ((unsigned long) p[0] << 16 | (unsigned long) p[1] << 8 | p[2]);
            }
        return colours.size();
    }

    bool savePng (const std::filesystem::path& file) const
    {
        FILE* out = std::fopen (file.c_str(), "wb");
        if (out == nullptr)
            return false;
        auto* png = png_create_write_struct (PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        auto* info = png_create_info_struct (png);
        const bool ok = setjmp (png_jmpbuf (png)) == 0;
        if (ok)
        {
            png_init_io (png, out);
            png_set_IHDR (png, info, (png_uint_32) width, (png_uint_32) height, 8, PNG_COLOR_TYPE_RGB,
                          PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
            png_write_info (png, info);
            for (int y = 0; y < height; ++y)
                png_write_row (png, &rgb[3 * (size_t) (y * width)]);
            png_write_end (png, nullptr);
        }
        png_destroy_write_struct (&png, &info);
        std::fclose (out);
        return ok;
    }
};

Screenshot capture (Display* display, Window window)
{
    XWindowAttributes a {};
    XGetWindowAttributes (display, window, &a);
    Screenshot shot;
    XImage* image = XGetImage (display, window, 0, 0, (unsigned) a.width, (unsigned) a.height, AllPlanes, ZPixmap);
    if (image == nullptr)
        return shot;

    shot.width = a.width;
    shot.height = a.height;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
        {
            const auto pixel = XGetPixel (image, x, y);
            shot.rgb.push_back ((unsigned char) ((pixel & image->red_mask) >> __builtin_ctzl (image->red_mask)));
            shot.rgb.push_back ((unsigned char) ((pixel & image->green_mask) >> __builtin_ctzl (image->green_mask)));
            shot.rgb.push_back ((unsigned char) ((pixel & image->blue_mask) >> __builtin_ctzl (image->blue_mask)));
        }
    XDestroyImage (image);
    return shot;
}

/** Asks the window to close, as a window manager does for the window's close box. */
void requestClose (Display* display, Window window)
{
    XEvent event {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom (display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long) XInternAtom (display, "WM_DELETE_WINDOW", False);
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent (display, window, False, NoEventMask, &event);
    XFlush (display);
}
} // namespace

TEST (StandaloneApp, OpensItsWindowAndQuitsWhenClosed)
{
    guitest::prepareBareDisplay(); // before the application connects
    Display* display = XOpenDisplay (nullptr);
    ASSERT_NE (display, nullptr) << "no X display";
    // Should the window go away under a query, the query fails rather than the whole test.
    XSetErrorHandler ([] (Display*, XErrorEvent*) { return 0; });

    App app;
    ASSERT_GT (app.pid, 0);

    Window window = 0;
    for (auto waited = 0ms; window == 0 && waited < 30s; waited += 50ms)
    {
        ASSERT_FALSE (app.hasExited()) << "the application ended before its window showed: " << app.describeStatus();
        std::this_thread::sleep_for (50ms);
        window = findTopLevelWindow (display, "Vendrasolith");
    }
    ASSERT_NE (window, 0u) << "no window named Vendrasolith";

    // A moment to draw itself, and to run with whatever audio the machine has (maybe none).
    std::this_thread::sleep_for (1500ms);
    ASSERT_FALSE (app.hasExited()) << "the application ended on its own: " << app.describeStatus();

    // The editor, framed by a 1-pixel border, below the title bar and a notice strip.
    XWindowAttributes attributes {};
    XGetWindowAttributes (display, window, &attributes);
    EXPECT_EQ (attributes.width, 500 + 2);
    EXPECT_GE (attributes.height, 380 + 2);
    EXPECT_EQ (attributes.map_state, IsViewable);

    // A plain fill has one colour; the skin has many.
    auto shot = capture (display, window);
    for (auto waited = 0ms; shot.distinctColours() <= 50 && ! app.hasExited() && waited < 20s; waited += 100ms)
    {
        std::this_thread::sleep_for (100ms);
        shot = capture (display, window);
    }
    EXPECT_GT (shot.distinctColours(), 50u) << "the window shows no skin";
    std::filesystem::create_directories (VENDRASOLITH_SCREENSHOT_DIR);
    EXPECT_TRUE (shot.savePng (std::filesystem::path (VENDRASOLITH_SCREENSHOT_DIR) / "standalone.png"));

    requestClose (display, window);
    for (auto waited = 0ms; ! app.hasExited() && waited < 20s; waited += 50ms)
        std::this_thread::sleep_for (50ms);
    ASSERT_TRUE (app.hasExited()) << "the application did not quit when its window was closed";
    EXPECT_TRUE (WIFEXITED (app.status) && WEXITSTATUS (app.status) == 0) << app.describeStatus();

    XCloseDisplay (display);
}
