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
