#pragma once

// Host tests must check what was built, never a copy installed on the machine: hosts scan the
// user's plug-in folders (~/.lv2, ~/.vst3, …) before anything they are pointed at, and keep the
// first plug-in they find under a given identity.

#include <string>
#include <vector>

namespace hosttest
{
/** Points HOME at a fresh temporary folder whose plug-in folders hold nothing but links to
    this build's bundles (and LV2_PATH at its .lv2 folder, for hosts that read it), so a
    host's default scan finds the build and only the build. The folder goes with the object.

    Make it first thing in main, before any thread starts or anything reads HOME. The
    bundles come from VENDRASOLITH_BUILD_BUNDLES, which cmake/HostTestIsolation.cmake sets.
    With VENDRASOLITH_HOST_TESTS_USE_REAL_HOME=1 in the environment it changes nothing, so
    that a test can show what the checks below catch. */
class IsolatedPluginHome
{
public:
    IsolatedPluginHome();
    ~IsolatedPluginHome();
    IsolatedPluginHome (const IsolatedPluginHome&) = delete;
    IsolatedPluginHome& operator= (const IsolatedPluginHome&) = delete;

    bool isActive() const noexcept { return ! folder.empty(); }
    /** The plug-in folder hosts should scan for a format (".lv2", ".vst3", …). */
    std::string pluginFolder (const std::string& format) const;

private:
    std::string folder, realHome;
    bool hadHome = false;
};

/** Empty when a library with this file name is loaded from inside one of this build's
    bundles; otherwise what was loaded instead, worded for a test failure. */
std::string whyNotFromTheBuild (const std::string& libraryFileName);
/** The same for the files another process has loaded (filesMappedBy), e.g. a host program. */
std::string whyNotFromTheBuild (const std::string& libraryFileName, const std::vector<std::string>& loadedFiles);
/** The files a running process has mapped, from /proc: its program and libraries. */
std::vector<std::string> filesMappedBy (int processId);
} // namespace hosttest
