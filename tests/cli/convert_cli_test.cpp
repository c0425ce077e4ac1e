// The converter as a user runs it: the real program, real files, exit codes and messages.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <thread>

#include <gtest/gtest.h>

#include "conversion.h"
#include "key_songs.h"
#include "smf_builder.h"
#include "string_table.h"
#include "test_files.h"

namespace
{

struct CliRun
{
    int status;
    std::string out;
    std::string err;
};

std::string ReadText(const std::string& path)
{
    const Bytes bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

std::string Quote(const std::string& arg)
{
    std::string quoted = "'";
    for (char c : arg)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// `input` and `output` are the shell's redirections of standard input and output; by default
// standard output is kept for the test to read.
CliRun Convert(const ScratchFolder& folder, const std::vector<std::string>& args,
               const std::string& input = "", std::string output = "")
{
    if (output.empty())
        output = " >" + Quote(folder.File("stdout"));
    std::string command = "timeout 20 " + Quote(TARVEL1_CONVERT);
    for (const std::string& arg : args)
        command += " " + Quote(arg);
    command += input + output + " 2>" + Quote(folder.File("stderr"));
    WriteBytes(folder.File("stdout"), {});
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(folder.File("stdout")),
            ReadText(folder.File("stderr"))};
}

bool Exists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

Bytes LibraryResult(const std::string& input, const std::string& mode, const std::string& key)
{
    auto doc = std::make_unique<CTarvel1Doc>();
    EXPECT_TRUE(doc->OnOpenDocument(input));
    doc->Convert(mode, KeyOffsetFromName(key));
    return Bytes(doc->m_converted.begin(), doc->m_converted.begin() + doc->m_nLastIndex + 1);
}

} // namespace

TEST(ConvertCli, WritesWhatTheConversionGives)
{
    ScratchFolder folder;
    const std::string out = folder.Path() + "/変換後.mid";
    const CliRun run =
        Convert(folder, {"--mode", "minor", "--key", "D", "-o", out, DataPath("bossa.mid")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, out + "\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(ReadBytes(out), LibraryResult(DataPath("bossa.mid"), "minor", "D"));

    // GNU forms: --name=value, unambiguous abbreviations, -oFILE; the defaults give the song back.
    ASSERT_EQ(
        Convert(folder, {"--ke=B", "--mode=invert", "-o" + out, DataPath("round.mid")}).status, 0);
    EXPECT_EQ(ReadBytes(out), LibraryResult(DataPath("round.mid"), "invert", "B"));
    ASSERT_EQ(Convert(folder, {"-o", out, DataPath("round.mid")}).status, 0);
    EXPECT_EQ(ReadBytes(out), ReadBytes(DataPath("round.mid")));
}

TEST(ConvertCli, WritesTempSongBesideTheProgram)
{
    ScratchFolder folder;
    const CliRun run = Convert(folder, {"--mode", "aug", DataPath("fanfare.mid")});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string temp = FolderOfPath(TARVEL1_CONVERT) + "/temp.mid";
    EXPECT_EQ(run.out, temp + "\n");
    EXPECT_EQ(ReadBytes(temp), LibraryResult(DataPath("fanfare.mid"), "aug", "C"));
}

TEST(ConvertCli, RefusedInputWritesNothing)
{
    ScratchFolder folder;
    WriteBytes(folder.File("text.mid"), {'h', 'e', 'l', 'l', 'o'});
    const Bytes round = ReadBytes(DataPath("round.mid"));
    WriteBytes(folder.File("cut.mid"), Bytes(round.begin(), round.begin() + 500));
    WriteBytes(folder.File("keep.mid"), {1, 2, 3});

    CliRun run = Convert(folder, {"-o", folder.File("keep.mid"), folder.File("text.mid")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "tarvel1-convert: " + folder.File("text.mid") + ": " +
                           LoadResString(IDS_NOT_MIDI_FILE) + "\n");
    run = Convert(folder, {"-o", folder.File("keep.mid"), folder.File("cut.mid")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(FormatResString(IDS_SONG_ENDS_EARLY, folder.File("cut.mid"), "3", "1")),
              std::string::npos)
        << run.err;
    run = Convert(folder, {"-o", folder.File("new.mid"), folder.File("missing.mid")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(SystemErrorText(ENOENT)), std::string::npos) << run.err;
    run = Convert(folder, {"-o", folder.File("no/folder.mid"), DataPath("round.mid")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("no/folder.mid"), std::string::npos) << run.err;

    EXPECT_EQ(ReadBytes(folder.File("keep.mid")), (Bytes{1, 2, 3}));
    EXPECT_FALSE(Exists(folder.File("new.mid")));
    EXPECT_EQ(run.out, "");
}

TEST(ConvertCli, ConvertsSeveralSongsIntoAFolder)
{
    ScratchFolder folder;
    ASSERT_EQ(mkdir(folder.File("out").c_str(), 0755), 0);
    WriteBytes(folder.File("bad.mid"), {'x'});
    const CliRun run =
        Convert(folder, {"--mode", "dim", "-o", folder.File("out"), DataPath("round.mid"),
                         folder.File("bad.mid"), DataPath("drum.mid")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(ReadBytes(folder.File("out/round.mid")),
              LibraryResult(DataPath("round.mid"), "dim", "C"));
    EXPECT_EQ(ReadBytes(folder.File("out/drum.mid")),
              LibraryResult(DataPath("drum.mid"), "dim", "C"));
    EXPECT_FALSE(Exists(folder.File("out/bad.mid")));
    EXPECT_NE(run.err.find(folder.File("bad.mid")), std::string::npos);
}

TEST(ConvertCli, BadUsageExitsWithTwo)
{
    ScratchFolder folder;
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {},
             {"--bogus", DataPath("round.mid")},
             {DataPath("round.mid"), "--key"},
             {DataPath("round.mid"), DataPath("drum.mid")},
             {"-o", folder.File("x.mid"), DataPath("round.mid"), DataPath("drum.mid")},
             {"-o", folder.File("x.mid"), "--key", "Bb", DataPath("round.mid")},
             {"-o", folder.File("x.mid"), "--mode=Minor", DataPath("round.mid")},
             {"-o", folder.File("x.mid"), "--re", DataPath("round.mid")}, // --recursive? --render?
             {"-o", "-", DataPath("round.mid"), DataPath("drum.mid")},
             {"-o", folder.Path(), "-", "-"}})
    {
        const CliRun run = Convert(folder, args);
        EXPECT_EQ(run.status, 2) << run.err;
        EXPECT_NE(run.err.find("--help"), std::string::npos);
        EXPECT_EQ(run.out, "");
    }
    EXPECT_FALSE(Exists(folder.File("x.mid")));
    // A key or mode that is not one of the boxes' entries is answered with the valid ones.
    EXPECT_NE(Convert(folder, {"--key=H", "x.mid"}).err.find("C, C#, D"), std::string::npos);

    CliRun run = Convert(folder, {"--version"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "tarvel1-convert (" + LoadResString(IDS_VERSION_PRODUCT_NAME) + ") " +
                           LoadResString(IDS_VERSION_NUMBER) + "\n" +
                           LoadResString(IDS_VERSION_FILE_DESCRIPTION) + "\n");
    EXPECT_NE(run.out.find("1.0.0.1"), std::string::npos);
    run = Convert(folder, {"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, FormatResString(IDS_CLI_USAGE, "tarvel1-convert"));
}

TEST(ConvertCli, AnOutputNeverReplacesAnInput)
{
    ScratchFolder folder;
    const Bytes round = ReadBytes(DataPath("round.mid"));
    WriteBytes(folder.File("in.mid"), round);
    ASSERT_EQ(symlink("in.mid", folder.File("link.mid").c_str()), 0);
    ASSERT_EQ(link(folder.File("in.mid").c_str(), folder.File("hard.mid").c_str()), 0);
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--mode=minor", "-o", folder.Path(), folder.File("in.mid")},
             {"--mode=minor", "-o", folder.Path() + "/.", folder.File("in.mid"),
              DataPath("drum.mid")},
             {"--mode=minor", "-o", folder.File("in.mid"), folder.File("in.mid")},
             {"--mode=minor", "-o", folder.File("link.mid"), folder.File("in.mid")},
             {"--mode=minor", "-o", folder.File("hard.mid"), folder.File("in.mid")},
#ifdef TARVEL1_WITH_PLAYBACK
             {"--mode=minor", "-o", folder.File("new.mid"), "--render", folder.File("in.mid"),
              folder.File("in.mid")},
             {"--mode=minor", "-o", folder.File("new.mid"), "--render", folder.File("new.mid"),
              folder.File("in.mid")},
#endif
             {"--mode=minor", "-o", folder.Path(), "-r", folder.Path()}})
    {
        const CliRun run = Convert(folder, args);
        EXPECT_EQ(run.status, 2) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_NE(run.err.find(folder.Path()), std::string::npos) << run.err;
    }
    EXPECT_EQ(ReadBytes(folder.File("in.mid")), round);
    EXPECT_FALSE(Exists(folder.File("new.mid")));
    EXPECT_FALSE(Exists(folder.File("drum.mid")));
}

TEST(ConvertCli, TwoSongsNeverWriteOneFile)
{
    ScratchFolder folder;
    for (const char* path : {"a", "b", "b/deep", "out"})
        ASSERT_EQ(mkdir(folder.File(path).c_str(), 0755), 0);
    WriteBytes(folder.File("a/song.mid"), ReadBytes(DataPath("round.mid")));
    WriteBytes(folder.File("b/song.mid"), ReadBytes(DataPath("drum.mid")));
    WriteBytes(folder.File("b/deep/Other.MIDI"), ReadBytes(DataPath("bossa.mid")));
    WriteBytes(folder.File("b/notes.txt"), {'x'});

    CliRun run = Convert(
        folder, {"-o", folder.File("out"), folder.File("a/song.mid"), folder.File("b/song.mid")});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(folder.File("a/song.mid")), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(folder.File("b/song.mid")), std::string::npos) << run.err;
    EXPECT_FALSE(Exists(folder.File("out/song.mid")));

    // Folders repeating names keep their layout under the output folder, made as needed.
    run = Convert(folder, {"--mode=aug", "-o", folder.File("out/new"), "-r", folder.File("a"),
                           folder.File("b")});
    ASSERT_EQ(run.status, 2) << run.err; // a/song.mid and b/song.mid again
    run = Convert(folder, {"--mode=aug", "--recursive", "-o", folder.File("out/new"),
                           folder.File("b"), folder.File("a/song.mid")});
    ASSERT_EQ(run.status, 2) << run.err;
    run = Convert(folder, {"--mode=aug", "-ro", folder.File("out/new"), folder.File("b"),
                           DataPath("round.mid")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, folder.File("out/new/deep/Other.MIDI") + "\n" +
                           folder.File("out/new/song.mid") + "\n" +
                           folder.File("out/new/round.mid") + "\n");
    EXPECT_EQ(ReadBytes(folder.File("out/new/deep/Other.MIDI")),
              LibraryResult(DataPath("bossa.mid"), "aug", "C"));
    EXPECT_EQ(ReadBytes(folder.File("out/new/song.mid")),
              LibraryResult(DataPath("drum.mid"), "aug", "C"));
    EXPECT_FALSE(Exists(folder.File("out/new/notes.txt")));
}

TEST(ConvertCli, FilesThatAreNotRegularAreWrittenIntoNotReplaced)
{
    ScratchFolder folder;
    const Bytes round = ReadBytes(DataPath("round.mid"));
    // Standard input and output.
    CliRun run = Convert(folder, {"-o", "-", "-"}, " <" + Quote(DataPath("round.mid")));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, std::string(round.begin(), round.end()));
    run = Convert(folder, {"-o", "/dev/stdout", DataPath("round.mid")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, std::string(round.begin(), round.end()));

    // A pipe gets the song and stays a pipe.
    ASSERT_EQ(mkfifo(folder.File("pipe").c_str(), 0600), 0);
    Bytes piped;
    std::thread reader([&] { piped = ReadBytes(folder.File("pipe")); });
    run = Convert(folder, {"-o", folder.File("pipe"), DataPath("round.mid")});
    reader.join();
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(piped, round);
    struct stat st;
    ASSERT_EQ(lstat(folder.File("pipe").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    // A device stays a device, for root too.
    EXPECT_EQ(Convert(folder, {"-o", "/dev/null", DataPath("round.mid")}).status, 0);
    ASSERT_EQ(lstat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));

    // A dangling link gets its file and stays a link; a loop of links is refused.
    ASSERT_EQ(symlink("sub/target.mid", folder.File("dangling.mid").c_str()), 0);
    ASSERT_EQ(mkdir(folder.File("sub").c_str(), 0755), 0);
    EXPECT_EQ(Convert(folder, {"-o", folder.File("dangling.mid"), DataPath("round.mid")}).status,
              0);
    EXPECT_EQ(ReadBytes(folder.File("sub/target.mid")), round);
    ASSERT_EQ(lstat(folder.File("dangling.mid").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(symlink("loop2", folder.File("loop1").c_str()), 0);
    ASSERT_EQ(symlink("loop1", folder.File("loop2").c_str()), 0);
    run = Convert(folder, {"-o", folder.File("loop1"), DataPath("round.mid")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(folder.File("loop1")), std::string::npos);

    // A song that cannot be written to standard output is a failure, not a success.
    EXPECT_EQ(Convert(folder, {"-o", "-", DataPath("round.mid")}, "", " >/dev/full").status, 1);
    EXPECT_EQ(
        Convert(folder, {"-o", folder.File("x.mid"), DataPath("round.mid")}, "", " >/dev/full")
            .status,
        1);
}

TEST(ConvertCli, NothingIsWrittenWhenAnInputIsUnreadable)
{
    ScratchFolder folder;
    ASSERT_EQ(mkdir(folder.File("out").c_str(), 0755), 0);
    ASSERT_EQ(mkfifo(folder.File("pipe.mid").c_str(), 0600), 0);
    // The pipe has no writer: it is refused at once rather than waited on.
    const CliRun run =
        Convert(folder, {"-o", folder.File("out"), DataPath("round.mid"), folder.File("pipe.mid"),
                         folder.File("gone.mid"), folder.File("out")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 3) << run.err;
    EXPECT_NE(run.err.find(LoadResString(AFX_IDP_NOT_REGULAR_FILE)), std::string::npos);
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(Exists(folder.File("out/round.mid")));

    // A name with a line feed or bytes that are not UTF-8 stays on one line of its own.
    const CliRun odd = Convert(folder, {"-o", folder.File("out"), "a\nb\xFF.mid"});
    EXPECT_EQ(odd.status, 1);
    EXPECT_EQ(std::count(odd.err.begin(), odd.err.end(), '\n'), 1) << odd.err;
}

TEST(ConvertCli, EachSongConvertsAsIfItWereAlone)
{
    // The second song's track begins under running status: alone, its bytes are no note; after
    // a song that ends on a note-on they would be, if the walker's status carried over.
    ScratchFolder folder;
    ASSERT_EQ(mkdir(folder.File("both").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(folder.File("alone").c_str(), 0755), 0);
    WriteBytes(folder.File("c.mid"), MakeSmf({Concat({{0x00, 0x90, 61, 0x40}, kEndOfTrack})}));
    WriteBytes(folder.File("b.mid"), MakeSmf({Concat({{0x00, 61, 0x40}, kEndOfTrack})}));
    ASSERT_EQ(Convert(folder, {"--mode=major", "-o", folder.File("both"), folder.File("c.mid"),
                               folder.File("b.mid")})
                  .status,
              0);
    ASSERT_EQ(
        Convert(folder, {"--mode=major", "-o", folder.File("alone"), folder.File("b.mid")}).status,
        0);
    EXPECT_EQ(ReadBytes(folder.File("both/b.mid")), ReadBytes(folder.File("alone/b.mid")));
    EXPECT_EQ(ReadBytes(folder.File("both/b.mid")), ReadBytes(folder.File("b.mid")));
}

namespace
{

// Note-on numbers with velocity above 0 outside channel 10, in file order, read by chunk and
// length as the format describes: nothing shared with the program's own walk.
std::vector<int> SoundingNotes(const Bytes& smf)
{
    std::vector<int> notes;
    std::size_t pos = 8 + ((std::size_t{smf[4]} << 24) | (smf[5] << 16) | (smf[6] << 8) | smf[7]);
    while (pos + 8 <= smf.size())
    {
        const std::size_t length = (std::size_t{smf[pos + 4]} << 24) | (smf[pos + 5] << 16) |
                                   (smf[pos + 6] << 8) | smf[pos + 7];
        const bool track = std::equal(smf.begin() + pos, smf.begin() + pos + 4, "MTrk");
        std::size_t p = pos + 8;
        const std::size_t end = std::min(smf.size(), p + length);
        pos = p + length;
        std::uint8_t status = 0;
        auto varLen = [&]()
        {
            std::size_t value = 0;
            while (p < end && (smf[p] & 0x80))
                value = (value << 7) | (smf[p++] & 0x7F);
            return p < end ? (value << 7) | smf[p++] : value;
        };
        while (track && p < end)
        {
            varLen();
            if (p >= end)
                break;
            if (smf[p] == 0xFF)
            {
                p += 2;
                p += varLen();
                continue;
            }
            if (smf[p] == 0xF0 || smf[p] == 0xF7)
            {
                ++p;
                p += varLen();
                continue;
            }
            if (smf[p] & 0x80)
                status = smf[p++];
            const int kind = status >> 4;
            const std::size_t dataBytes = kind == 0xC || kind == 0xD ? 1 : 2;
            if (p + dataBytes > end)
                break;
            if (kind == 0x9 && smf[p + 1] > 0 && (status & 0x0F) != 9)
                notes.push_back(smf[p]);
            p += dataBytes;
        }
    }
    return notes;
}

} // namespace

TEST(ConvertCli, ReportCountsWhatAnIndependentReaderCounts)
{
    ScratchFolder folder;
    for (const std::string& song : kRealSongs)
    {
        for (const char* mode : {"minor", "invert", "Non convert"})
        {
            const std::string input = DataPath(song);
            const CliRun run = Convert(folder, {"--report", "--mode", mode, "--key", "D", "-o",
                                                folder.File("out.mid"), input});
            ASSERT_EQ(run.status, 0) << song << " " << mode << ": " << run.err;
            const std::vector<int> before = SoundingNotes(ReadBytes(input));
            const std::vector<int> after = SoundingNotes(ReadBytes(folder.File("out.mid")));
            ASSERT_EQ(before.size(), after.size()) << song;
            std::size_t moved = 0;
            for (std::size_t i = 0; i < before.size(); ++i)
                moved += before[i] != after[i];
            EXPECT_EQ(run.out, input + ": " + std::to_string(moved) + " of " +
                                   std::to_string(before.size()) + " notes moved\n")
                << mode;
            if (std::string(mode) == "minor")
            {
                EXPECT_GT(moved, 0u) << song;
            }
        }
    }
}

// The lines are for scripts: the input as given, the tonic as the key box writes it, the mode.
// A song without a key is a note on stderr, never a failure.
TEST(ConvertCli, PrintKeyGivesOneExactLinePerInputAndKeyAutoConvertsFromIt)
{
    ScratchFolder folder;
    const std::string songs = folder.File("songs");
    ASSERT_EQ(mkdir(songs.c_str(), 0755), 0);
    const std::string minor = songs + "/a.mid", sharp = songs + "/b.mid", drums = songs + "/c.mid";
    WriteBytes(minor, MakeKeySong(2, true, KeySongKind::ScaleAndCadence));
    WriteBytes(sharp, MakeKeySong(6, false, KeySongKind::ScaleAndCadence));
    WriteBytes(drums, MakeSmf({Concat({{0x00, 0x99, 36, 100, 0x60, 0x89, 36, 0}, kEndOfTrack})}));

    CliRun run = Convert(folder, {"--print-key", minor, sharp});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, minor + ": D minor\n" + sharp + ": F# major\n");
    EXPECT_EQ(run.err, "");

    run = Convert(folder, {"--print-key", "-r", songs});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, minor + ": D minor\n" + sharp + ": F# major\n" + drums + ": C major\n");
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(run.err.rfind("tarvel1-convert: " + drums + ": ", 0), 0u) << run.err;

    const std::string out = folder.File("out.mid");
    run = Convert(
        folder, {"--key", "auto", "--mode", "minor", "--print-key", "--report", "-o", out, sharp});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.rfind(sharp + ": F# major\n" + sharp + ": ", 0), 0u) << run.out;
    EXPECT_EQ(ReadBytes(out), LibraryResult(sharp, "minor", "F#"));

    EXPECT_EQ(Convert(folder, {"--key", "Auto", sharp}).status, 2);
    EXPECT_EQ(Convert(folder, {"--print-key", "-o", "-", sharp}).status, 2);
}

TEST(ConvertCli, PictureShowsTheConversionAndNeverReplacesTheInput)
{
    ScratchFolder folder;
    const std::string input = DataPath("bossa.mid");
    const std::string song = folder.File("song.mid");
    WriteBytes(song, ReadBytes(input));
    ASSERT_EQ(
        Convert(folder, {"--picture", folder.File("plain.png"), "-o", folder.File("a.mid"), song})
            .status,
        0);
    ASSERT_EQ(Convert(folder, {"--mode", "minor", "--picture", folder.File("minor.png"), "-o",
                               folder.File("b.mid"), song})
                  .status,
              0);
    const Bytes plain = ReadBytes(folder.File("plain.png"));
    const Bytes minor = ReadBytes(folder.File("minor.png"));
    ASSERT_GT(plain.size(), 24u);
    EXPECT_TRUE(std::equal(plain.begin() + 1, plain.begin() + 4, "PNG"));
    // The IHDR chunk: width and height, big-endian, at bytes 16 and 20.
    const auto word = [&](std::size_t at)
    { return (plain[at] << 24) | (plain[at + 1] << 16) | (plain[at + 2] << 8) | plain[at + 3]; };
    EXPECT_GE(word(16), 1200);
    EXPECT_GE(word(20), 600);
    EXPECT_NE(plain, minor);

    const CliRun svg = Convert(folder, {"--mode", "minor", "--picture", folder.File("roll.svg"),
                                        "-o", folder.File("c.mid"), song});
    EXPECT_EQ(svg.status, 0);
    EXPECT_NE(ReadBytes(folder.File("roll.svg")).size(), 0u);

    // The picture may not land on the song it shows, nor on a folder.
    const CliRun onInput = Convert(folder, {"--picture", song, "-o", folder.File("d.mid"), song});
    EXPECT_EQ(onInput.status, 2);
    EXPECT_NE(onInput.err.find(song), std::string::npos);
    EXPECT_EQ(ReadBytes(song), ReadBytes(input));
    ASSERT_EQ(mkdir(folder.File("folder.png").c_str(), 0700), 0);
    EXPECT_EQ(
        Convert(folder, {"--picture", folder.File("folder.png"), "-o", folder.File("e.mid"), song})
            .status,
        1);
}

TEST(ConvertCli, RecursiveRunsFollowTheRulesOfCpR)
{
    ScratchFolder folder;
    const Bytes round = ReadBytes(DataPath("round.mid"));
    const std::string in = folder.File("in");
    ASSERT_EQ(mkdir(in.c_str(), 0700), 0);
    ASSERT_EQ(mkdir((in + "/sub").c_str(), 0700), 0);
    WriteBytes(in + "/song.mid", ReadBytes(DataPath("bossa.mid")));
    WriteBytes(in + "/sub/song.mid", round);
    // An output folder inside the input folder, existing or not, refuses the run.
    for (const std::string& out : {in + "/sub", in + "/new/", in})
    {
        const CliRun run = Convert(folder, {"--mode=minor", "-o", out, "-r", in});
        EXPECT_EQ(run.status, 2) << out << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
    EXPECT_EQ(ReadBytes(in + "/sub/song.mid"), round);
    EXPECT_FALSE(Exists(in + "/new"));

    // Nothing to convert: one line, exit 1, never a crash.
    const std::string empty = folder.File("empty");
    ASSERT_EQ(mkdir(empty.c_str(), 0700), 0);
    WriteBytes(empty + "/notes.txt", {1});
    CliRun run = Convert(folder, {"-o", folder.File("out"), "-r", empty});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "tarvel1-convert: " + LoadResString(IDS_CLI_NO_SONGS) + "\n");

    // A bad entry is reported and skipped; the rest is written.
    ASSERT_EQ(symlink("gone.mid", (in + "/dangling.mid").c_str()), 0);
    run = Convert(folder, {"-o", folder.File("out"), "-r", in});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("dangling.mid"), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(ReadBytes(folder.File("out/sub/song.mid")), round);
    EXPECT_TRUE(Exists(folder.File("out/song.mid")));
    ASSERT_EQ(unlink((in + "/dangling.mid").c_str()), 0);

    // -n leaves what exists and writes the rest.
    WriteBytes(folder.File("out/song.mid"), {7});
    ASSERT_EQ(unlink(folder.File("out/sub/song.mid").c_str()), 0);
    run = Convert(folder, {"-n", "--mode=invert", "-o", folder.File("out"), "-r", in});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, folder.File("out/sub/song.mid") + "\n");
    EXPECT_EQ(ReadBytes(folder.File("out/song.mid")), Bytes{7});
    EXPECT_EQ(ReadBytes(folder.File("out/sub/song.mid")),
              LibraryResult(DataPath("round.mid"), "invert", "C"));
}

TEST(ConvertCli, StandardOutputCarriesTheSongAloneAndNeverAnInput)
{
    ScratchFolder folder;
    const Bytes round = ReadBytes(DataPath("round.mid"));
    const std::string song = folder.File("in.mid");
    WriteBytes(song, round);
    // Standard output opened on the input, read-write or appending: refused, nothing changes.
    for (const std::string& redirection : {" 1<>" + Quote(song), " >>" + Quote(song)})
    {
        const CliRun run = Convert(folder, {"--mode=minor", "-o", "-", song}, "", redirection);
        EXPECT_EQ(run.status, 2) << redirection << run.err;
        EXPECT_EQ(ReadBytes(song), round);
    }
    // The picture's path is printed, except when the song itself goes to standard output.
    CliRun run = Convert(folder, {"--picture", folder.File("roll.png"), "-o", "-", song});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Bytes(run.out.begin(), run.out.end()), round);
    run = Convert(folder, {"--picture", folder.File("roll.png"), "-o", folder.File("o.mid"), song});
    EXPECT_EQ(run.out, folder.File("o.mid") + "\n" + folder.File("roll.png") + "\n");
    // A picture into standard output by its name: the picture alone, and /dev/stdout stays.
    ASSERT_EQ(symlink("/dev/stdout", folder.File("out.png").c_str()), 0);
    run = Convert(folder, {"--picture", folder.File("out.png"), "-o", folder.File("p.mid"), song});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.compare(1, 3, "PNG"), 0);
    EXPECT_EQ(run.out.find(folder.File("p.mid")), std::string::npos);

    // A reader that has gone: one message and exit 1, not a signal.
    for (const std::string& out : {std::string("-"), folder.File("x.mid")})
    {
        int ends[2];
        ASSERT_EQ(pipe(ends), 0);
        close(ends[0]);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0)
        {
            dup2(ends[1], STDOUT_FILENO);
            const int err = open(folder.File("stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(err, STDERR_FILENO);
            execl(TARVEL1_CONVERT, TARVEL1_CONVERT, "-o", out.c_str(), song.c_str(), nullptr);
            _exit(127);
        }
        close(ends[1]);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status)) << out;
        EXPECT_EQ(WEXITSTATUS(status), 1) << out;
        const std::string err = ReadText(folder.File("stderr"));
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    }

    // --report escapes names as the path lines do.
    const std::string odd = folder.File("a\nb\x1b.mid");
    WriteBytes(odd, round);
    run = Convert(folder, {"--report", "-o", folder.File("r.mid"), odd});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << run.out;
    EXPECT_NE(run.out.find("a\\x0Ab\\x1B.mid: "), std::string::npos) << run.out;
}

TEST(ConvertCli, NamesThatSayNothingAreBadUsageAndMessagesSayWhatHappened)
{
    ScratchFolder folder;
    const std::string song = DataPath("round.mid");
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"-o", "", song}, {"--output=", song}, {"-o", folder.File("a.mid"), ""},
             {"--picture", folder.File("roll.jpg"), "-o", folder.File("a.mid"), song}})
    {
        const CliRun run = Convert(folder, args);
        EXPECT_EQ(run.status, 2) << run.err;
    }
    EXPECT_FALSE(Exists(folder.File("a.mid")));

    CliRun run = Convert(folder, {"-o", folder.File("a.mid"), "-"}, " </dev/null");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "tarvel1-convert: -: " + LoadResString(IDS_CLI_EMPTY_STDIN) + "\n");
    WriteBytes(folder.File("file.mid"), {1});
    run = Convert(folder, {"-o", folder.File("file.mid/"), song});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(SystemErrorText(ENOTDIR)), std::string::npos) << run.err;

    // A picture through a link onto the input is the input.
    const std::string input = folder.File("in.mid");
    WriteBytes(input, ReadBytes(song));
    ASSERT_EQ(symlink("in.mid", folder.File("link.png").c_str()), 0);
    run = Convert(folder, {"--picture", folder.File("link.png"), "-o", folder.File("b.mid"), input});
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_EQ(ReadBytes(input), ReadBytes(song));
    EXPECT_FALSE(Exists(folder.File("b.mid")));
}
