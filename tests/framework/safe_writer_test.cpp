// The file writer's rules, once each: every output of the program (songs, renders, pictures,
// settings) goes through this writer.

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <memory>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "safe_writer.h"
#include "user_folders.h"
#include "test_files.h"

namespace
{

void WriteWhole(const std::string& path, const std::string& text)
{
    CSafeWriter writer(path);
    writer.Write(text.data(), text.size());
    writer.Commit();
}

std::string ReadText(const std::string& path)
{
    const Bytes bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

int ErrorOf(const std::function<void()>& write)
{
    try
    {
        write();
    }
    catch (const CFileException& error)
    {
        return error.m_lOsError;
    }
    return 0;
}

} // namespace

TEST(SafeWriter, AFileAppearsWholeOrNotAtAll)
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
    EXPECT_EQ(ReadText(song), "abcd");
    {
        CSafeWriter abandoned(song);
        abandoned.Write("xyz", 3);
        CSafeWriter fresh(folder.File("new.mid"));
        fresh.Write("xyz", 3);
    }
    EXPECT_EQ(ReadText(song), "abcd");
    EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{"song.mid"});

    // A killed run, new file or replacement, leaves the old file and nothing else.
    for (const char* name : {"song.mid", "new.mid"})
    {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0)
        {
            CSafeWriter writer(folder.File(name));
            writer.Write("killed", 6);
            raise(SIGKILL);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status));
    }
    EXPECT_EQ(ReadText(song), "abcd");
    EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{"song.mid"});
}

TEST(SafeWriter, ALinkWritesTheFileItNamesAndStaysALink)
{
    ScratchFolder folder;
    WriteBytes(folder.File("real.mid"), {1});
    ASSERT_EQ(symlink("real.mid", folder.File("link.mid").c_str()), 0);
    ASSERT_EQ(symlink("sub/missing.mid", folder.File("dangling.mid").c_str()), 0);
    ASSERT_EQ(mkdir(folder.File("sub").c_str(), 0700), 0);
    WriteWhole(folder.File("link.mid"), "new");
    WriteWhole(folder.File("dangling.mid"), "made");
    for (const char* link : {"link.mid", "dangling.mid"})
    {
        struct stat st;
        ASSERT_EQ(lstat(folder.File(link).c_str(), &st), 0);
        EXPECT_TRUE(S_ISLNK(st.st_mode)) << link;
    }
    EXPECT_EQ(ReadText(folder.File("real.mid")), "new");
    EXPECT_EQ(ReadText(folder.File("sub/missing.mid")), "made");
    EXPECT_EQ(InspectWriteTarget(folder.File("link.mid")).path, folder.File("real.mid"));

    ASSERT_EQ(symlink("loop", folder.File("loop").c_str()), 0);
    EXPECT_EQ(ErrorOf([&] { CSafeWriter writer(folder.File("loop")); }), ELOOP);
}

TEST(SafeWriter, PipesDevicesAndOurOwnDescriptorsAreWrittenIntoNeverReplaced)
{
    ScratchFolder folder;
    const std::string fifo = folder.File("pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string heard;
    std::thread reader(
        [&]
        {
            const int fd = open(fifo.c_str(), O_RDONLY);
            char buffer[16];
            ssize_t got;
            while ((got = read(fd, buffer, sizeof buffer)) > 0)
                heard.append(buffer, static_cast<std::size_t>(got));
            close(fd);
        });
    WriteWhole(fifo, "through the pipe");
    reader.join();
    EXPECT_EQ(heard, "through the pipe");
    struct stat st;
    ASSERT_EQ(lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    WriteWhole("/dev/null", "gone");
    EXPECT_EQ(InspectWriteTarget("/dev/null").kind, SWriteTarget::stream);

    // /dev/stdout names a descriptor we hold: the bytes go into it, whatever it leads to.
    const std::string captured = folder.File("captured");
    const int file = open(captured.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(file, 0);
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    dup2(file, STDOUT_FILENO);
    const SWriteTarget target = InspectWriteTarget("/dev/stdout");
    WriteWhole("/dev/stdout", "into stdout");
    dup2(saved, STDOUT_FILENO);
    close(saved);
    close(file);
    EXPECT_EQ(target.kind, SWriteTarget::stream);
    ASSERT_EQ(stat(captured.c_str(), &st), 0);
    EXPECT_EQ(target.nInode, static_cast<std::uint64_t>(st.st_ino));
    EXPECT_EQ(ReadText(captured), "into stdout");
}

TEST(SafeWriter, AReplacedFileKeepsItsModeNamesAndOwner)
{
    ScratchFolder folder;
    const std::string song = folder.File("song.mid");
    WriteBytes(song, {1});
    ASSERT_EQ(chmod(song.c_str(), 0600), 0);
    ASSERT_EQ(link(song.c_str(), folder.File("other-name.mid").c_str()), 0);
    WriteWhole(song, "both names");
    struct stat st;
    ASSERT_EQ(stat(song.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(st.st_nlink, 2u);
    EXPECT_EQ(ReadText(folder.File("other-name.mid")), "both names");
    EXPECT_EQ(FolderEntries(folder.Path()), (std::vector<std::string>{"other-name.mid", "song.mid"}));

    WriteBytes(folder.File("private.mid"), {1});
    ASSERT_EQ(chmod(folder.File("private.mid").c_str(), 0640), 0);
    WriteWhole(folder.File("private.mid"), "x");
    ASSERT_EQ(stat(folder.File("private.mid").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

// Run as an ordinary user: what `>` could not overwrite is refused before anything is written;
// a file of someone else's that the user may write is rewritten, keeping its owner.
TEST(SafeWriter, AFileTheUserCouldNotOverwriteIsRefused)
{
    ScratchFolder folder;
    const bool root = geteuid() == 0;
    const uid_t user = root ? 65534 : geteuid();
    if (root)
    {
        ASSERT_EQ(chown(folder.Path().c_str(), user, user), 0);
    }
    ASSERT_EQ(chmod(folder.Path().c_str(), 0777), 0);
    const std::string readOnly = folder.File("ro.mid");
    WriteBytes(readOnly, {1});
    ASSERT_EQ(chmod(readOnly.c_str(), 0444), 0);
    const std::string others = folder.File("others.mid");
    const std::string shared = folder.File("shared.mid");
    WriteBytes(others, {2});
    WriteBytes(shared, {3});
    ASSERT_EQ(chmod(shared.c_str(), 0666), 0);
    if (!root)
    {
        // Only the read-only file can be tried without another user to own the others.
        EXPECT_EQ(ErrorOf([&] { CSafeWriter writer(readOnly); }), EACCES);
        EXPECT_EQ(ReadBytes(readOnly), Bytes{1});
        GTEST_SKIP() << "files of another user need root to make";
    }
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
    {
        if (setgid(user) != 0 || setuid(user) != 0)
            _exit(10);
        if (ErrorOf([&] { CSafeWriter writer(readOnly); }) != EACCES)
            _exit(11);
        if (ErrorOf([&] { CSafeWriter writer(others); }) != EACCES)
            _exit(12);
        if (ErrorOf([&] { WriteWhole(shared, "rewritten"); }) != 0)
            _exit(13);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadBytes(readOnly), Bytes{1});
    EXPECT_EQ(ReadBytes(others), Bytes{2});
    EXPECT_EQ(ReadText(shared), "rewritten");
    struct stat st;
    ASSERT_EQ(stat(shared.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 0u);
    EXPECT_EQ(st.st_mode & 0777, 0666u);
}

TEST(SafeWriter, FailuresAreTheSystemsReasonInTheProgramsLanguage)
{
    ScratchFolder folder;
    WriteBytes(folder.File("song.mid"), {1});
    const std::pair<std::string, int> cases[] = {
        {folder.File("no/such/folder.mid"), ENOENT},
        {folder.Path(), EISDIR},
        {folder.Path() + "/", EISDIR},
        {folder.File("song.mid/"), ENOTDIR},
        {"", ENOENT},
    };
    for (const auto& [path, expected] : cases)
    {
        try
        {
            CSafeWriter writer(path);
            ADD_FAILURE() << path;
        }
        catch (const CFileException& error)
        {
            EXPECT_EQ(error.m_lOsError, expected) << path;
            EXPECT_EQ(error.GetFileName(), path);
            EXPECT_EQ(error.GetReason(), SystemErrorText(expected));
        }
    }
    // The tests run in the C locale, where the program speaks its Japanese source texts; so do
    // the system's reasons where the system has that language.
    if (const locale_t japanese = newlocale(LC_MESSAGES_MASK, "ja_JP.UTF-8", locale_t(nullptr)))
    {
        EXPECT_EQ(SystemErrorText(ENOENT), strerror_l(ENOENT, japanese));
        freelocale(japanese);
    }
}

TEST(SafeWriter, CommittingTogetherPutsEveryFileInPlaceAndReportsEachFailure)
{
    ScratchFolder folder;
    ASSERT_EQ(mkdir(folder.File("gone").c_str(), 0700), 0);
    std::vector<std::unique_ptr<CSafeWriter>> writers;
    for (const char* name : {"a.mid", "b.mid", "gone/c.mid"})
    {
        WriteBytes(folder.File(name), {0});
        writers.push_back(std::make_unique<CSafeWriter>(folder.File(name)));
        writers.back()->Write(name, std::strlen(name));
    }
    // The third file's folder goes away before the commit.
    ASSERT_EQ(std::system(("rm -rf '" + folder.File("gone") + "'").c_str()), 0);
    const std::vector<CFileException> errors = CSafeWriter::CommitAll(writers);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].GetFileName(), folder.File("gone/c.mid"));
    EXPECT_EQ(ReadText(folder.File("a.mid")), "a.mid");
    EXPECT_EQ(ReadText(folder.File("b.mid")), "b.mid");
    EXPECT_EQ(FolderEntries(folder.Path()), (std::vector<std::string>{"a.mid", "b.mid"}));
}

TEST(UserFolders, XdgFirstThenHomeAndNeverAGuess)
{
    EXPECT_EQ(UserFolderPathFor(UserFolder::config, "/xdg/config", "/home/u"), "/xdg/config");
    EXPECT_EQ(UserFolderPathFor(UserFolder::config, "relative", "/home/u"), "/home/u/.config");
    EXPECT_EQ(UserFolderPathFor(UserFolder::cache, nullptr, "/home/u"), "/home/u/.cache");
    // Without an absolute home there is no folder, rather than one in /tmp.
    EXPECT_EQ(ErrorOf([] { UserFolderPathFor(UserFolder::config, nullptr, nullptr); }), ENOENT);
    EXPECT_EQ(ErrorOf([] { UserFolderPathFor(UserFolder::cache, "", "home"); }), ENOENT);
    // HOME unset: the password database's home.
    const char* saved = std::getenv("HOME");
    const std::string home = saved != nullptr ? saved : "";
    unsetenv("HOME");
    unsetenv("XDG_CONFIG_HOME");
    const std::string found = UserFolderPath(UserFolder::config);
    if (saved != nullptr)
        setenv("HOME", home.c_str(), 1);
    EXPECT_EQ(found.compare(0, 1, "/"), 0) << found;
    EXPECT_NE(found.rfind("/tmp", 0), 0u) << found;
}
