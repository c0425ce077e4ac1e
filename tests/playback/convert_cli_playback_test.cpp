// The converter's --play and --render as a user runs them: the real program, a real song, the
// real synthesizer, and no sound card (the silent output).

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <thread>

#include <dirent.h>
#include <poll.h>
#include <pty.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include "playback_test_support.h"
#include "smf_builder.h"
#include "string_table.h"

namespace
{

struct CliRun
{
    int status;
    std::string out;
    std::string err;
    double seconds;
};

std::string Quote(const std::string& arg)
{
    std::string quoted = "'";
    for (char c : arg)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string ReadText(const std::string& path)
{
    const Bytes bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// `environment` is put before the command, as "NAME=value ...".
CliRun RunConvert(const ScratchFolder& folder, const std::vector<std::string>& args,
                  const std::string& environment = "")
{
    std::string command = environment + " " + Quote(TARVEL1_CONVERT);
    for (const std::string& arg : args)
        command += " " + Quote(arg);
    command +=
        " </dev/null >" + Quote(folder.File("stdout")) + " 2>" + Quote(folder.File("stderr"));
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(folder.File("stdout")),
            ReadText(folder.File("stderr")), seconds};
}

std::uint32_t Le(const Bytes& bytes, std::size_t at, int count)
{
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | bytes[at + static_cast<std::size_t>(i)];
    return value;
}

TEST(ConvertCliPlayback, RenderWritesA16BitStereoWavOfTheConvertedSong)
{
    ScratchFolder folder;
    const std::string mid = folder.File("round-minor.mid");
    const std::string wav = folder.File("round-minor.wav");
    const CliRun run = RunConvert(folder, {"--mode", "minor", "--key", "D", "-o", mid, "--render",
                                           wav, DataPath("round.mid")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, mid + "\n" + wav + "\n");
    EXPECT_EQ(run.err, "");

    const Bytes bytes = ReadBytes(wav);
    ASSERT_GT(bytes.size(), 44u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    EXPECT_EQ(Le(bytes, 4, 4), bytes.size() - 8);
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(Le(bytes, 16, 4), 16u);
    EXPECT_EQ(Le(bytes, 20, 2), 1u); // PCM
    EXPECT_EQ(Le(bytes, 22, 2), 2u);
    EXPECT_EQ(Le(bytes, 24, 4), 44100u);
    EXPECT_EQ(Le(bytes, 28, 4), 44100u * 4);
    EXPECT_EQ(Le(bytes, 32, 2), 4u);
    EXPECT_EQ(Le(bytes, 34, 2), 16u);
    EXPECT_EQ(std::string(bytes.begin() + 36, bytes.begin() + 40), "data");
    EXPECT_EQ(Le(bytes, 40, 4), bytes.size() - 44);

    // As long as the song, and the same audio the player renders from the converted file.
    auto player = MakeManualPlayer();
    ASSERT_TRUE(player->Open(mid)) << player->ErrorText();
    const double seconds = (bytes.size() - 44) / 4.0 / 44100.0;
    EXPECT_GE(seconds, player->TotalSeconds());
    EXPECT_LT(seconds, player->TotalSeconds() + 10.0);
    std::vector<std::int16_t> expected;
    ASSERT_TRUE(player->RenderSong(expected));
    ASSERT_EQ(expected.size() * 2, bytes.size() - 44);
    std::size_t differing = 0;
    for (std::size_t i = 0; i < expected.size(); ++i)
        if (static_cast<std::int16_t>(Le(bytes, 44 + 2 * i, 2)) != expected[i])
            ++differing;
    // A fresh synthesizer renders the same song the same way, dither included.
    EXPECT_GT(Peak(expected), 1000);
    EXPECT_EQ(differing, 0u);
}

TEST(ConvertCliPlayback, PlayRunsTheSongInRealTimeAndPrintsNothingStray)
{
    ScratchFolder folder;
    const std::string mid = folder.File("fanfare.mid");
    const CliRun run = RunConvert(folder, {"--mode", "invert", "-o", mid, "--play",
                                           "--audio-driver", "none", DataPath("fanfare.mid")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, mid + "\n");
    EXPECT_EQ(run.err, "");
    // The song lasts 2.1 s; it is played, not rendered as fast as possible.
    EXPECT_GT(run.seconds, 2.0);
    EXPECT_LT(run.seconds, 60.0);
}

// The converter on a terminal of its own: what it shows, and the keys typed into it.
class CTerminalRun
{
public:
    explicit CTerminalRun(const std::vector<std::string>& args)
    {
        std::vector<char*> argv;
        std::vector<std::string> all = {TARVEL1_CONVERT};
        all.insert(all.end(), args.begin(), args.end());
        for (std::string& arg : all)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        m_pid = forkpty(&m_fd, nullptr, nullptr, nullptr);
        if (m_pid == 0)
        {
            execv(argv[0], argv.data());
            _exit(127);
        }
    }
    ~CTerminalRun()
    {
        if (m_pid > 0)
        {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        if (m_fd >= 0)
            close(m_fd);
    }
    CTerminalRun(const CTerminalRun&) = delete;
    CTerminalRun& operator=(const CTerminalRun&) = delete;

    // Reads what the program shows until `text` appears after `from`; false after 10 s.
    bool WaitFor(const std::string& text, std::size_t from)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (m_strShown.find(text, from) == std::string::npos)
        {
            if (std::chrono::steady_clock::now() > end || !ReadSome())
                return false;
        }
        return true;
    }
    // Reads until the elapsed time on the progress line satisfies `test`; false after 10 s.
    template <typename Test> bool WaitForElapsed(Test test)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!test(LastElapsed()))
        {
            if (std::chrono::steady_clock::now() > end || !ReadSome())
                return false;
        }
        return true;
    }
    // The seconds of the last complete "\rM:SS / " on the progress line, -1 before the first.
    int LastElapsed() const
    {
        const std::size_t line = m_strShown.rfind(" / ");
        const std::size_t start = m_strShown.rfind('\r', line);
        if (line == std::string::npos || start == std::string::npos)
            return -1;
        int minutes = 0;
        int seconds = 0;
        if (std::sscanf(m_strShown.c_str() + start + 1, "%d:%d", &minutes, &seconds) != 2)
            return -1;
        return minutes * 60 + seconds;
    }
    void Type(char key) { ASSERT_EQ(write(m_fd, &key, 1), 1); }
    // The exit status, or -1 when the program has not ended within 10 s.
    int Wait()
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < end)
        {
            // Once the program has closed the terminal, reads fail at once while it may still
            // be busy ending (the sanitizers' leak check takes a while): wait, do not spin.
            if (!ReadSome())
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            int status;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid)
            {
                m_pid = -1;
                // A death by signal reads as the shell shows it: 128 + the signal.
                if (WIFSIGNALED(status))
                    return 128 + WTERMSIG(status);
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
        }
        return -1;
    }
    const std::string& Shown() const { return m_strShown; }

private:
    bool ReadSome()
    {
        pollfd in = {m_fd, POLLIN, 0};
        if (poll(&in, 1, 10) != 1)
            return true;
        char buffer[512];
        const ssize_t count = read(m_fd, buffer, sizeof buffer);
        if (count <= 0)
            return false;
        m_strShown.append(buffer, static_cast<std::size_t>(count));
        return true;
    }

    pid_t m_pid = -1;
    int m_fd = -1;
    std::string m_strShown;
};

TEST(ConvertCliPlayback, OnATerminalSpacePausesAndResumesAndQQuits)
{
    ScratchFolder folder;
    CTerminalRun run({"-o", folder.File("bossa.mid"), "--play", "--audio-driver", "none",
                      DataPath("bossa.mid")});
    // The progress line shows the elapsed and total time and what Space does now.
    ASSERT_TRUE(run.WaitFor("/ 1:14   Space: STOP", 0)) << run.Shown();
    run.Type(' ');
    ASSERT_TRUE(run.WaitFor("Space: CONTINUE", 0)) << run.Shown();
    const std::size_t paused = run.Shown().size();
    run.Type(' ');
    ASSERT_TRUE(run.WaitFor("Space: STOP", paused)) << run.Shown();
    run.Type('q');
    // A 74-second song ends at once, and the progress line is closed with a line feed.
    EXPECT_EQ(run.Wait(), 0);
    EXPECT_EQ(run.Shown().substr(run.Shown().size() - 2), "\r\n");
    EXPECT_EQ(run.Shown().find("tarvel1-convert:"), std::string::npos) << run.Shown();
}

TEST(ConvertCliPlayback, OnATerminalArrowsSeekAndCtrlCEndsWith130)
{
    ScratchFolder folder;
    CTerminalRun run({"-o", folder.File("bossa.mid"), "--play", "--audio-driver", "none",
                      DataPath("bossa.mid")});
    ASSERT_TRUE(run.WaitFor("/ 1:14", 0)) << run.Shown();
    const int start = run.LastElapsed();
    for (int i = 0; i < 3; ++i)
        for (char key : {'\x1b', '[', 'C'})
            run.Type(key);
    ASSERT_TRUE(run.WaitForElapsed([&](int s) { return s >= start + 15; })) << run.Shown();
    const int ahead = run.LastElapsed();
    EXPECT_LE(ahead, start + 17);
    for (char key : {'\x1b', '[', 'D'})
        run.Type(key);
    ASSERT_TRUE(run.WaitForElapsed([&](int s) { return s >= 0 && s < ahead; })) << run.Shown();
    EXPECT_GE(run.LastElapsed(), ahead - 5);
    // Ctrl+C through the terminal, as a user stops a loop over songs.
    run.Type('\x03');
    EXPECT_EQ(run.Wait(), 130);
}

std::vector<std::string> FolderEntries(const std::string& path)
{
    std::vector<std::string> names;
    if (DIR* dir = opendir(path.c_str()))
    {
        while (dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.' || std::strlen(entry->d_name) > 2)
                names.push_back(entry->d_name);
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A song of nothing but silence, `ticks` long at the slowest tempo there is (16.8 s a quarter).
Bytes SilentSong(const Bytes& ticks)
{
    return MakeSmf(
        {Concat({{0x00, 0xFF, 0x51, 0x03, 0xFF, 0xFF, 0xFF}, ticks, {0xFF, 0x2F, 0x00}})}, -1, 0);
}

TEST(ConvertCliPlayback, RenderStreamsEachFormatAndNeverLeavesAPartOfAFile)
{
    ScratchFolder folder;
    const std::string mid = folder.File("round.mid");
    const struct
    {
        const char* name;
        const char* magic;
    } formats[] = {{"out.flac", "fLaC"}, {"out.OGG", "OggS"}};
    for (const auto& format : formats)
    {
        const CliRun run = RunConvert(
            folder, {"-o", mid, "--render", folder.File(format.name), DataPath("round.mid")});
        ASSERT_EQ(run.status, 0) << run.err;
        const Bytes bytes = ReadBytes(folder.File(format.name));
        ASSERT_GT(bytes.size(), 1000u);
        EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), format.magic);
    }

    // A FIFO is written into, WAV included, and stays a FIFO.
    const std::string fifo = folder.File("fifo.wav");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader(
        [&]
        {
            std::ifstream in(fifo, std::ios::binary);
            received.assign(std::istreambuf_iterator<char>(in), {});
        });
    const CliRun piped = RunConvert(folder, {"-o", mid, "--render", fifo, DataPath("round.mid")});
    reader.join();
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(received.substr(0, 4), "RIFF");
    EXPECT_GT(received.size(), 44u + 44100u * 4);
    struct stat info;
    ASSERT_EQ(stat(fifo.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    unlink(fifo.c_str());

    // 37 bytes announcing 16 days, and an unknown extension: refused at once, before the
    // converted song is written, the old file kept.
    const std::string old = folder.File("old.wav");
    WriteBytes(old, Bytes{'o', 'l', 'd'});
    const std::string days = folder.File("days.mid");
    WriteBytes(days, SilentSong({0x92, 0xED, 0xFE, 0x40}));
    for (const std::string& target : {old, folder.File("old.flac")})
    {
        const CliRun run =
            RunConvert(folder, {"-o", folder.File("days-out.mid"), "--render", target, days});
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("384:00:00"), std::string::npos) << run.err;
        EXPECT_LT(run.seconds, 5.0);
        EXPECT_NE(access(folder.File("days-out.mid").c_str(), F_OK), 0);
    }
    const CliRun unknown = RunConvert(folder, {"-o", mid, "--render", folder.File("x.mp9"), days});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.err,
              "tarvel1-convert: " + days + ": " +
                  FormatResString(IDS_PLAYER_UNKNOWN_AUDIO_FORMAT, folder.File("x.mp9")) + "\n");

    // SIGTERM halfway through an hour of silence: the process ends by that signal, the file that
    // was there stays as it was, and no part of the new one is left.
    const std::string hour = folder.File("hour.mid");
    WriteBytes(hour, SilentSong({0x86, 0xA4, 0x55}));
    const auto before = FolderEntries(folder.Path());
    std::vector<std::string> args = {TARVEL1_CONVERT, "-o", mid, "--render", old, hour};
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid;
    ASSERT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status)) << "ended by itself with " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
    EXPECT_EQ(ReadBytes(old), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(FolderEntries(folder.Path()), before);
}

TEST(ConvertCliPlayback, WhatPlayingNeedsIsCheckedBeforeAnythingIsWritten)
{
    ScratchFolder folder;
    const std::string input = DataPath("round.mid");
    const std::string mid = folder.File("round.mid");
    const std::vector<std::vector<std::string>> cases = {
        {"--render", folder.File("x.mp9")},
        {"--render", folder.File("no-such-folder/x.wav")},
        {"--play", "--audio-driver", "oss"},
        {"--play", "--midi-port", "no-such-port"},
    };
    for (const auto& c : cases)
    {
        std::vector<std::string> args = {"-o", mid};
        args.insert(args.end(), c.begin(), c.end());
        args.push_back(input);
        const CliRun run = RunConvert(folder, args);
        EXPECT_EQ(run.status, 1) << c.back();
        // A folder that is not there is found with the other outputs, and named as theirs are.
        const std::string named = c[1].find("no-such-folder") != std::string::npos ? c[1] : input;
        EXPECT_EQ(run.err.rfind("tarvel1-convert: " + named + ": ", 0), 0u) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_EQ(FolderEntries(folder.Path()), (std::vector<std::string>{"stderr", "stdout"}));
    }
}

// The player's libraries come with the player module, opened for playing or rendering only.
TEST(ConvertCliPlayback, ThePlayerModuleIsLoadedOnlyToPlayAndItsAbsenceIsSaid)
{
    ScratchFolder folder;
    const std::string input = DataPath("round.mid");
    const CliRun plain = RunConvert(folder, {"-o", folder.File("a.mid"), input}, "LD_DEBUG=files");
    const CliRun render =
        RunConvert(folder, {"-o", folder.File("b.mid"), "--render", folder.File("b.wav"), input},
                   "LD_DEBUG=files");
    EXPECT_EQ(plain.status, 0);
    EXPECT_EQ(plain.err.find("libfluidsynth"), std::string::npos);
    EXPECT_EQ(plain.err.find("tarvel1_player"), std::string::npos);
    EXPECT_EQ(render.status, 0);
    EXPECT_NE(render.err.find("libfluidsynth"), std::string::npos);

    const std::string missing = folder.File("gone.so");
    const CliRun without =
        RunConvert(folder, {"-o", folder.File("c.mid"), "--render", folder.File("c.wav"), input},
                   "TARVEL1_PLAYER_MODULE=" + Quote(missing));
    EXPECT_EQ(without.status, 1);
    EXPECT_EQ(without.err, "tarvel1-convert: " + input + ": " +
                               FormatResString(IDS_PLAYER_NO_MODULE, "tarvel1_player.so", missing) +
                               "\n");
    EXPECT_FALSE(std::ifstream(folder.File("c.mid")).good());
}

TEST(ConvertCliPlayback, PlayerFailuresAreOneLineOnStderrAndExitOne)
{
    ScratchFolder folder;
    const std::string input = DataPath("round.mid");
    const std::string mid = folder.File("round.mid");
    struct Case
    {
        std::vector<std::string> args;
        std::string message;
    };
    const Case cases[] = {
        {{"--soundfont", input, "--render", folder.File("a.wav")},
         FormatResString(IDS_PLAYER_BAD_SOUNDFONT, input,
                         LoadResString(IDS_PLAYER_NOT_A_SOUNDFONT))},
        {{"--soundfont=" + folder.File("none.sf2"), "--play"},
         FormatResString(IDS_PLAYER_BAD_SOUNDFONT, folder.File("none.sf2"), std::strerror(ENOENT))},
    };
    for (const Case& c : cases)
    {
        std::vector<std::string> args = {"-o", mid};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.push_back(input);
        const CliRun run = RunConvert(folder, args);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, "tarvel1-convert: " + input + ": " + c.message + "\n");
    }
    EXPECT_FALSE(std::ifstream(folder.File("a.wav")).good());

    const CliRun driver =
        RunConvert(folder, {"-o", mid, "--play", "--audio-driver", "no-such-driver", input});
    EXPECT_EQ(driver.status, 1);
    EXPECT_EQ(driver.err.rfind("tarvel1-convert: " + input + ": オーディオドライバー", 0), 0u)
        << driver.err;
    EXPECT_EQ(std::count(driver.err.begin(), driver.err.end(), '\n'), 1);

    // A refused input is not played or rendered.
    const std::string text = folder.File("notes.txt");
    WriteBytes(text, Bytes{'n', 'o', 't', 'e', 's', '\n'});
    const CliRun refused = RunConvert(folder, {"-o", mid, "--render", folder.File("b.wav"), text});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err,
              "tarvel1-convert: " + text + ": " + LoadResString(IDS_NOT_MIDI_FILE) + "\n");
    EXPECT_FALSE(std::ifstream(folder.File("b.wav")).good());
}

TEST(ConvertCliPlayback, BadPlaybackUsageExitsWithTwo)
{
    ScratchFolder folder;
    const std::string song = DataPath("round.mid");
    const std::vector<std::vector<std::string>> usages = {
        {"--play", "-o", folder.Path(), song, DataPath("drum.mid")},
        {"--play", "--render", folder.File("x.wav"), song},
        {song, "--render"},
        {song, "--soundfont"},
        {song, "--audio-driver"},
    };
    for (const auto& args : usages)
    {
        const CliRun run = RunConvert(folder, args);
        EXPECT_EQ(run.status, 2) << args.front();
        EXPECT_NE(run.err.find("--help"), std::string::npos);
    }
}

} // namespace

TEST(ConvertCliPlayback, RenderTakesTheSongFromMemoryWhateverTheSongsOutputIs)
{
    ScratchFolder folder;
    const std::string reference = folder.File("reference.wav");
    ASSERT_EQ(RunConvert(folder, {"--mode=minor", "-o", folder.File("ref.mid"), "--render",
                                  reference, DataPath("round.mid")})
                  .status,
              0);
    // Standard output carries the song alone; /dev/null and a link to a missing render work too.
    const std::string wav = folder.File("out.wav");
    CliRun run =
        RunConvert(folder, {"--mode=minor", "-o", "-", "--render", wav, DataPath("round.mid")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Bytes(run.out.begin(), run.out.end()), ReadBytes(folder.File("ref.mid")));
    EXPECT_EQ(ReadBytes(wav), ReadBytes(reference));
    ASSERT_EQ(symlink("made.wav", folder.File("dangling.wav").c_str()), 0);
    run = RunConvert(folder, {"--mode=minor", "-o", "/dev/null", "--render",
                              folder.File("dangling.wav"), DataPath("round.mid")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "/dev/null\n" + folder.File("dangling.wav") + "\n");
    EXPECT_EQ(ReadBytes(folder.File("made.wav")), ReadBytes(reference));
    struct stat st;
    ASSERT_EQ(lstat(folder.File("dangling.wav").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}
