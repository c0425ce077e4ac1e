// Where temp.mid goes on POSIX systems: the search path, the XDG cache and the password database.

#include "conversion.h"

#include <cstdlib>

#include <pwd.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "test_files.h"

TEST(Conversion, TempSongGoesToTheCacheWhenTheProgramFolderIsNoPlaceForIt)
{
    ScratchFolder folder;
    const std::string bin = folder.Path() + ":/usr/bin";
    EXPECT_EQ(TempSongPathFor(folder.File("tarvel1"), nullptr, "/home/u", "/usr/bin"),
              folder.File("temp.mid"));
    // A read-only folder, or one of the search path (an installed program), is not used.
    EXPECT_EQ(TempSongPathFor("/nonexistent/tarvel1", "/cache", "/home/u", nullptr),
              "/cache/tarvel1/temp.mid");
    EXPECT_EQ(TempSongPathFor(folder.File("tarvel1"), nullptr, "/home/u", bin.c_str()),
              "/home/u/.cache/tarvel1/temp.mid");
    // A relative XDG_CACHE_HOME is ignored, as the XDG rules say.
    EXPECT_EQ(TempSongPathFor("/nonexistent/tarvel1", "cache", "/home/u", nullptr),
              "/home/u/.cache/tarvel1/temp.mid");
    EXPECT_EQ(TempSongPathFor("", "/cache", "/home/u", nullptr), "/cache/tarvel1/temp.mid");
    // Without a home folder there is no cache folder, and never a shared one instead.
    EXPECT_THROW(TempSongPathFor("", nullptr, "", nullptr), CFileException);

    // With HOME unset the home folder comes from the password database.
    const char* home = std::getenv("HOME");
    const std::string savedHome = home != nullptr ? home : "";
    const char* cache = std::getenv("XDG_CACHE_HOME");
    const std::string savedCache = cache != nullptr ? cache : "";
    const char* path = std::getenv("PATH");
    const std::string savedPath = path != nullptr ? path : "";
    setenv("PATH", FolderOfPath(ExecutablePath()).c_str(), 1);
    unsetenv("HOME");
    unsetenv("XDG_CACHE_HOME");
    std::string tempPath;
    try
    {
        tempPath = TempSongPath();
    }
    catch (const CFileException&) // a home folder that cannot be written: still not shared
    {
    }
    setenv("HOME", savedHome.c_str(), 1);
    setenv("PATH", savedPath.c_str(), 1);
    if (cache != nullptr)
        setenv("XDG_CACHE_HOME", savedCache.c_str(), 1);
    const passwd* entry = getpwuid(getuid());
    ASSERT_NE(entry, nullptr);
    if (!tempPath.empty())
    {
        EXPECT_EQ(tempPath, std::string(entry->pw_dir) + "/.cache/tarvel1/temp.mid");
    }
}
