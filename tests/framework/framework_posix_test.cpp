// The file layer's promises that only POSIX systems can be asked about: a killed process,
// permissions, symbolic links, pipes and devices.

#include <csignal>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "archive.h"
#include "file.h"
#include "string_table.h"
#include "test_files.h"

namespace
{

void Store(const std::string& path, const Bytes& bytes)
{
    CFile file(path, CFile::modeCreate | CFile::modeWrite);
    CArchive ar(file, CArchive::store);
    for (std::uint8_t byte : bytes)
        ar << byte;
    ar.Close();
    file.Close();
}

} // namespace

TEST(File, AKilledWriteLeavesNothingBehind)
{
    ScratchFolder folder;
    WriteBytes(folder.File("song.mid"), {1, 2, 3});
    for (const char* name : {"song.mid", "new.mid"})
    {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0)
        {
            CFile file(folder.File(name), CFile::modeCreate | CFile::modeWrite);
            file.Write("abcd", 4);
            raise(SIGKILL);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status));
    }
    EXPECT_EQ(ReadBytes(folder.File("song.mid")), (Bytes{1, 2, 3}));
    EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{"song.mid"});
}

TEST(File, KeepsPermissionsAndWritesThroughLinks)
{
    ScratchFolder folder;
    WriteBytes(folder.File("real.mid"), {1});
    ASSERT_EQ(chmod(folder.File("real.mid").c_str(), 0640), 0);
    ASSERT_EQ(symlink("real.mid", folder.File("link.mid").c_str()), 0);
    Store(folder.File("link.mid"), {7, 7});
    struct stat st;
    ASSERT_EQ(lstat(folder.File("link.mid").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadBytes(folder.File("real.mid")), (Bytes{7, 7}));
    ASSERT_EQ(stat(folder.File("real.mid").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(File, PipesAndDevicesAreRefusedForReading)
{
    // A pipe with no writer, or a device, is refused at once instead of waited on or read.
    ScratchFolder folder;
    ASSERT_EQ(mkfifo(folder.File("pipe").c_str(), 0600), 0);
    for (const std::string& path : {folder.File("pipe"), std::string("/dev/zero")})
    {
        try
        {
            CFile file(path, CFile::modeRead);
            ADD_FAILURE() << path;
        }
        catch (const CFileException& error)
        {
            EXPECT_EQ(error.GetReason(), LoadResString(AFX_IDP_NOT_REGULAR_FILE));
        }
    }
}
