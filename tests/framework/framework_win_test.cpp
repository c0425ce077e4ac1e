// The file layer's promises that need Windows itself to be asked: a process killed in the middle
// of a write.

#include <cstdlib>

#include <windows.h>

#include <gtest/gtest.h>

#include "file.h"
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
