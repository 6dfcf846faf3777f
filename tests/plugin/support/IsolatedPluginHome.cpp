#include "IsolatedPluginHome.h"

#include <link.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

#ifndef VENDRASOLITH_BUILD_BUNDLES
 #error "VENDRASOLITH_BUILD_BUNDLES lists the build's bundles; see cmake/HostTestIsolation.cmake"
#endif

namespace fs = std::filesystem;

namespace hosttest
{
namespace
{
struct Bundle
{
    std::string format; // the plug-in folder it belongs in under HOME, e.g. ".lv2"
    fs::path path;
};

/** VENDRASOLITH_BUILD_BUNDLES: "<format>=<bundle>" entries, separated by '|'. */
std::vector<Bundle> buildBundles()
{
    std::vector<Bundle> bundles;
    const std::string list = VENDRASOLITH_BUILD_BUNDLES;
    for (size_t start = 0; start < list.size();)
    {
        auto end = list.find ('|', start);
        if (end == std::string::npos)
            end = list.size();
        const auto entry = list.substr (start, end - start);
        const auto equals = entry.find ('=');
        if (equals != std::string::npos)
        {
            // A folder given as "…/x/.." normalises to "…/"; the link is named after the folder.
            auto path = fs::path (entry.substr (equals + 1)).lexically_normal();
            if (! path.has_filename())
                path = path.parent_path();
            bundles.push_back ({ entry.substr (0, equals), path });
        }
        start = end + 1;
    }
    return bundles;
}

bool usesRealHome()
{
    const char* value = std::getenv ("VENDRASOLITH_HOST_TESTS_USE_REAL_HOME");
    return value != nullptr && std::string (value) == "1";
}

[[noreturn]] void giveUp (const std::string& why)
{
    std::fprintf (stderr, "cannot isolate the host test from installed plug-ins: %s\n", why.c_str());
    std::exit (1);
}

fs::path canonicalOrEmpty (const fs::path& path)
{
    std::error_code error;
    auto result = fs::canonical (path, error);
    return error ? fs::path() : result;
}

/** The folder to remove should the program end through exit() (a failing Xlib call does
    that) rather than by returning from main. */
std::string& folderLeftAtExit()
{
    static std::string folder;
    return folder;
}

void removeFolderLeftAtExit()
{
    std::error_code ignored;
    if (! folderLeftAtExit().empty())
        fs::remove_all (folderLeftAtExit(), ignored);
}

bool isInside (const fs::path& file, const fs::path& folder)
{
    const auto relative = file.lexically_relative (folder);
    return ! folder.empty() && ! relative.empty() && *relative.begin() != "..";
}
} // namespace

IsolatedPluginHome::IsolatedPluginHome()
{
    if (usesRealHome())
        return;

    const char* tmp = std::getenv ("TMPDIR");
    auto pattern = (fs::path (tmp != nullptr && *tmp != 0 ? tmp : "/tmp") / "vendrasolith-host-home-XXXXXX").string();
    if (mkdtemp (pattern.data()) == nullptr)
        giveUp ("no temporary folder in " + pattern);
    folder = pattern;
    // Made before the handler is registered, so it is still there when the handler runs.
    folderLeftAtExit() = folder;
    std::atexit (removeFolderLeftAtExit);

    bool hasLv2 = false;
    for (const auto& bundle : buildBundles())
    {
        hasLv2 = hasLv2 || bundle.format == ".lv2";
        if (! fs::is_directory (bundle.path))
            giveUp ("the build has no bundle at " + bundle.path.string());

        std::error_code error;
        const auto formatFolder = fs::path (folder) / bundle.format;
        fs::create_directories (formatFolder, error);
        if (! error)
            fs::create_directory_symlink (bundle.path, formatFolder / bundle.path.filename(), error);
        if (error)
            giveUp ("cannot link " + bundle.path.string() + " into " + formatFolder.string() + ": " + error.message());
    }

    if (const char* home = std::getenv ("HOME"))
    {
        realHome = home;
        hadHome = true;
    }
    setenv ("HOME", folder.c_str(), 1);
    if (hasLv2)
        setenv ("LV2_PATH", pluginFolder (".lv2").c_str(), 1);
}

IsolatedPluginHome::~IsolatedPluginHome()
{
    if (! isActive())
        return;

    if (hadHome)
        setenv ("HOME", realHome.c_str(), 1);
    else
        unsetenv ("HOME");
    unsetenv ("LV2_PATH");

    // Removes the links, never what they point to.
    std::error_code ignored;
    fs::remove_all (folder, ignored);
    folderLeftAtExit().clear();
}

std::string IsolatedPluginHome::pluginFolder (const std::string& format) const
{
    return (fs::path (folder) / format).string();
}

std::string whyNotFromTheBuild (const std::string& libraryFileName)
{
    std::vector<std::string> loaded;
    auto collect = [] (dl_phdr_info* info, size_t, void* names)
    {
        if (info->dlpi_name != nullptr && *info->dlpi_name != 0)
            static_cast<std::vector<std::string>*> (names)->emplace_back (info->dlpi_name);
        return 0;
    };
    dl_iterate_phdr (collect, &loaded);
    return whyNotFromTheBuild (libraryFileName, loaded);
}

std::vector<std::string> filesMappedBy (int processId)
{
    std::vector<std::string> files;
    std::ifstream maps ("/proc/" + std::to_string (processId) + "/maps");
    // Each line: address, permissions, offset, device, inode, then the file's path if any.
    for (std::string line; std::getline (maps, line);)
    {
        const auto slash = line.find ('/');
        if (slash == std::string::npos)
            continue;
        auto file = line.substr (slash);
        if (std::find (files.begin(), files.end(), file) == files.end())
            files.push_back (std::move (file));
    }
    return files;
}

std::string whyNotFromTheBuild (const std::string& libraryFileName, const std::vector<std::string>& loadedFiles)
{
    const std::vector<fs::path> loaded (loadedFiles.begin(), loadedFiles.end());

    // Every loaded copy counts: which one an instance runs cannot be told from outside,
    // and a host may open a library for a moment without keeping it.
    const auto bundles = buildBundles();
    bool found = false;
    std::string elsewhere;
    for (const auto& library : loaded)
    {
        if (library.filename() != libraryFileName)
            continue;

        found = true;
        const auto real = canonicalOrEmpty (library);
        const bool fromTheBuild = std::any_of (bundles.begin(), bundles.end(), [&real] (const Bundle& bundle)
                                               { return isInside (real, canonicalOrEmpty (bundle.path)); });
        if (! fromTheBuild)
            elsewhere += "\n  " + library.string() + (real != library ? " (" + real.string() + ")" : "");
    }

    if (found && elsewhere.empty())
        return {};

    std::string builtBundles;
    for (const auto& bundle : bundles)
        builtBundles += "\n  " + bundle.path.string();

    if (! found)
        return "no " + libraryFileName + " is loaded; this build's bundles:" + builtBundles;
    return "the host loaded a plug-in that is not from this build:" + elsewhere
         + "\ninstead of one from this build's bundles:" + builtBundles
         + "\nAn installed copy with the same identity shadows the build; remove it from the plug-in folders.";
}
} // namespace hosttest
