// The converter as a user runs it: the real program, real files, exit codes and messages.

#include <sys/stat.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include "conversion.h"
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

CliRun Convert(const ScratchFolder& folder, const std::vector<std::string>& args)
{
    std::string command = Quote(TARVEL1_CONVERT);
    for (const std::string& arg : args)
        command += " " + Quote(arg);
    command += " >" + Quote(folder.File("stdout")) + " 2>" + Quote(folder.File("stderr"));
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

    // Texts the boxes do not list are used as typed; the defaults give the song back.
    ASSERT_EQ(
        Convert(folder, {"--key=Bb", "--mode=invert", "-o", out, DataPath("round.mid")}).status, 0);
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
    EXPECT_EQ(run.err, "tarvel1-convert: " + folder.File("text.mid") +
                           ": これはＭＩＤＩファイルではありません\n");
    run = Convert(folder, {"-o", folder.File("keep.mid"), folder.File("cut.mid")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("途中で終わっています"), std::string::npos) << run.err;
    run = Convert(folder, {"-o", folder.File("new.mid"), folder.File("missing.mid")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("No such file or directory"), std::string::npos) << run.err;
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
             {"-o", folder.File("x.mid"), DataPath("round.mid"), DataPath("drum.mid")}})
    {
        const CliRun run = Convert(folder, args);
        EXPECT_EQ(run.status, 2) << run.err;
        EXPECT_NE(run.err.find("--help"), std::string::npos);
    }
    EXPECT_FALSE(Exists(folder.File("x.mid")));

    CliRun run = Convert(folder, {"--version"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "tarvel1-convert 1.0.0.1\n");
    run = Convert(folder, {"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("Usage: tarvel1-convert", 0), 0u);
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
    EXPECT_EQ(onInput.status, 1);
    EXPECT_NE(onInput.err.find(song), std::string::npos);
    EXPECT_EQ(ReadBytes(song), ReadBytes(input));
    EXPECT_EQ(
        Convert(folder, {"--picture", folder.Path(), "-o", folder.File("e.mid"), song}).status, 1);
}
