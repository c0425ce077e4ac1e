// The file writer's promises as Windows keeps them: a process killed in the middle of a write, a
// file that appears whole or not at all, a read-only file refused, a device written into.

#include <cstdlib>

#include <windows.h>

#include <gtest/gtest.h>

#include "file.h"
#include "safe_writer.h"
#include "system.h"
#include "test_files.h"
#include "win32_support.h"

namespace
{

constexpr const char* kDieWritingVariable = "TARVEL1_DIE_WRITING";

// Runs this test program again with only this test, which then writes to `target` and is killed.
DWORD RunDyingWriter(const std::string& target)
{
    SetEnvironmentVariableW(WideFromUtf8(kDieWritingVariable).c_str(),
                            WideFromUtf8(target).c_str());
    std::wstring command = L"\"" + WideFromUtf8(ExecutablePath()) +
                           L"\" --gtest_filter=File.AKilledWriteLeavesNothingBehind";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0,
                                        nullptr, nullptr, &startup, &process);
    SetEnvironmentVariableW(WideFromUtf8(kDieWritingVariable).c_str(), nullptr);
    if (!started)
        return 0;
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

} // namespace

TEST(File, AKilledWriteLeavesNothingBehind)
{
    constexpr DWORD kKilled = 9;
    if (const char* target = std::getenv(kDieWritingVariable))
    {
        CFile file(target, CFile::modeCreate | CFile::modeWrite);
        file.Write("abcd", 4);
        TerminateProcess(GetCurrentProcess(), kKilled);
    }
    ScratchFolder folder;
    WriteBytes(folder.File("song.mid"), {1, 2, 3});
    for (const char* name : {"song.mid", "new.mid"})
        EXPECT_EQ(RunDyingWriter(folder.File(name)), kKilled) << name;
    EXPECT_EQ(ReadBytes(folder.File("song.mid")), (Bytes{1, 2, 3}));
    EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{"song.mid"});
}

TEST(SafeWriter, AFileAppearsWholeOrNotAtAllAndReadOnlyFilesAreRefused)
{
    ScratchFolder folder;
    const std::string song = folder.File("song.mid");
    WriteBytes(song, {1, 2, 3});
    {
        CSafeWriter writer(song);
        writer.Write("abcd", 4);
        // Until the commit the old file is what a reader sees.
        EXPECT_EQ(ReadBytes(song), (Bytes{1, 2, 3}));
        writer.Commit();
    }
    EXPECT_EQ(ReadBytes(song), (Bytes{'a', 'b', 'c', 'd'}));
    {
        CSafeWriter abandoned(song);
        abandoned.Write("xyz", 3);
        CSafeWriter fresh(folder.File("new.mid"));
        fresh.Write("xyz", 3);
    }
    EXPECT_EQ(ReadBytes(song), (Bytes{'a', 'b', 'c', 'd'}));
    EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{"song.mid"});

    // What the user could not overwrite is refused before anything is written.
    const std::wstring wide = WideFromUtf8(song);
    ASSERT_TRUE(SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_THROW(CSafeWriter writer(song), CFileException);
    SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{"song.mid"});

    // A device is written into, never replaced.
    const SWriteTarget device = InspectWriteTarget("NUL");
    EXPECT_EQ(device.kind, SWriteTarget::stream);
    CSafeWriter nul("NUL");
    EXPECT_TRUE(nul.IsStream());
    nul.Write("abc", 3);
    nul.Commit();
}
