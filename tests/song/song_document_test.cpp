#include "song_document.h"

#include <cerrno>
#include <memory>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "event_walker.h"
#include "message_box.h"
#include "message_recorder.h"
#include "smf_builder.h"
#include "string_table.h"
#include "test_files.h"

namespace
{

// Everything a failed open must leave as it was.
struct Snapshot
{
    explicit Snapshot(const CTarvel1Doc& doc)
        : loaded(doc.m_bLoaded), tracks(doc.m_nTracks), lastIndex(doc.m_nLastIndex),
          original(doc.m_original), converted(doc.m_converted), path(doc.GetPathName())
    {
    }
    bool operator==(const Snapshot& other) const
    {
        return loaded == other.loaded && tracks == other.tracks && lastIndex == other.lastIndex &&
               original == other.original && converted == other.converted && path == other.path;
    }
    std::int32_t loaded, tracks, lastIndex;
    std::vector<std::uint8_t> original, converted;
    std::string path;
};

Bytes DocBytes(const CTarvel1Doc& doc, bool converted)
{
    const auto& bytes = converted ? doc.m_converted : doc.m_original;
    return Bytes(bytes.begin(), bytes.begin() + doc.m_nLastIndex + 1);
}

std::unique_ptr<CTarvel1Doc> LoadedDoc(const std::string& path)
{
    auto doc = std::make_unique<CTarvel1Doc>();
    EXPECT_TRUE(doc->OnOpenDocument(path));
    return doc;
}

} // namespace

TEST(SongDocument, ReadsRealSongsWhole)
{
    for (const std::string& name : kRealSongs)
    {
        SCOPED_TRACE(name);
        CMessageRecorder messages;
        const Bytes file = ReadBytes(DataPath(name));
        auto doc = LoadedDoc(DataPath(name));
        EXPECT_EQ(doc->m_bLoaded, 1);
        EXPECT_EQ(doc->m_nTracks, file[10] * 256 + file[11]);
        EXPECT_EQ(doc->m_nLastIndex, static_cast<int>(file.size()) - 1);
        EXPECT_EQ(DocBytes(*doc, false), file);
        // Until converted, the converted copy is the song as read.
        EXPECT_EQ(DocBytes(*doc, true), file);
        EXPECT_EQ(doc->GetPathName(), DataPath(name));
        EXPECT_TRUE(messages.Texts().empty());
    }
}

TEST(SongDocument, StopsAtTheLastAnnouncedEndOfTrack)
{
    ScratchFolder folder;
    const Bytes song = MakeSmf({Concat({{0x00, 0x90, 60, 0x40}, kEndOfTrack}), kEndOfTrack});
    WriteBytes(folder.File("a.mid"), Concat({song, {'M', 'T', 'r', 'k', 0xFF, 0x2F, 0x00, 1, 2}}));
    auto doc = LoadedDoc(folder.File("a.mid"));
    EXPECT_EQ(doc->m_nLastIndex, static_cast<int>(song.size()) - 1);

    // An end-of-track pattern inside a sysex counts, and ends a one-track song early.
    const Bytes early =
        MakeSmf({Concat({{0x00, 0xF0, 0x04, 0xFF, 0x2F, 0x00, 0xF7}, kEndOfTrack})});
    WriteBytes(folder.File("b.mid"), early);
    doc = LoadedDoc(folder.File("b.mid"));
    EXPECT_EQ(doc->m_nLastIndex, 22 + 5);

    // A header announcing no tracks gives a song of 13 bytes.
    WriteBytes(folder.File("c.mid"), MakeSmf({kEndOfTrack}, 0));
    doc = LoadedDoc(folder.File("c.mid"));
    EXPECT_EQ(doc->m_nLastIndex, 12);
    EXPECT_EQ(doc->m_bLoaded, 1);
}

TEST(SongDocument, FileWithoutSignatureIsAnsweredAndLeavesNoSong)
{
    ScratchFolder folder;
    CMessageRecorder messages;
    auto doc = LoadedDoc(DataPath("round.mid"));
    WriteBytes(folder.File("x.mid"), {'R', 'I', 'F', 'F'});
    EXPECT_TRUE(doc->OnOpenDocument(folder.File("x.mid")));
    ASSERT_EQ(messages.Texts().size(), 1u);
    EXPECT_EQ(messages.Texts()[0], "これはＭＩＤＩファイルではありません");
    EXPECT_EQ(doc->m_bLoaded, 0);
    EXPECT_EQ(doc->m_nLastIndex, 4);
    EXPECT_EQ(Bytes(doc->m_original.begin(), doc->m_original.begin() + 4),
              (Bytes{'R', 'I', 'F', 'F'}));
    EXPECT_EQ(doc->GetPathName(), folder.File("x.mid"));
}

TEST(SongDocument, EveryTruncatedPrefixIsRefusedAndKeepsThePreviousSong)
{
    ScratchFolder folder;
    auto doc = LoadedDoc(DataPath("bossa.mid"));
    doc->Convert("invert", -4);
    const Snapshot before(*doc);
    for (const std::string name : {"round.mid", "fanfare.mid"})
    {
        const Bytes file = ReadBytes(DataPath(name));
        for (std::size_t length = 0; length < file.size(); ++length)
        {
            SCOPED_TRACE(name + " cut to " + std::to_string(length));
            WriteBytes(folder.File("cut.mid"), Bytes(file.begin(), file.begin() + length));
            CMessageRecorder messages;
            EXPECT_FALSE(doc->OnOpenDocument(folder.File("cut.mid")));
            ASSERT_EQ(messages.Texts().size(), 1u);
            // The reader that the player and the picture use refuses it with the same words.
            const Bytes cut(file.begin(), file.begin() + length);
            EXPECT_EQ(messages.Texts()[0],
                      SongScanMessage(ScanSong(cut.data(), cut.size()), folder.File("cut.mid")));
            ASSERT_TRUE(Snapshot(*doc) == before);
        }
        // ... and finds the same song in the whole file, trailing bytes or not.
        Bytes longer = file;
        longer.insert(longer.end(), {0xFF, 0x2F, 0x00, 0x4D});
        const SongScan scan = ScanSong(longer.data(), longer.size());
        ASSERT_EQ(scan.result, SongScanResult::Song);
        EXPECT_EQ(scan.nLastIndex, file.size() - 1);
    }
}

TEST(SongDocument, SongsUpToTheLimitAreReadAndConvertedWhole)
{
    ScratchFolder folder;
    // A note at each end of the song and a sysex filling it up to `size` bytes.
    const auto songOfSize = [](std::size_t size)
    {
        const std::size_t filler = size - 22 - 4 - 2 - 4 - 4 - 4;
        Bytes body = {0x00, 0x90, 61, 0x40, 0x00, 0xF0};
        for (int shift = 21; shift >= 0; shift -= 7)
            body.push_back(
                static_cast<std::uint8_t>(((filler >> shift) & 0x7F) | (shift > 0 ? 0x80 : 0)));
        body.resize(body.size() + filler, 0x11);
        return MakeSmf({Concat({body, {0x00, 0x90, 61, 0x00}, kEndOfTrack})});
    };
    auto doc = LoadedDoc(DataPath("round.mid"));
    const Snapshot before(*doc);
    for (const std::size_t size : {std::size_t{160000}, kSongLimit})
    {
        SCOPED_TRACE(size);
        Bytes song = songOfSize(size);
        ASSERT_EQ(song.size(), size);
        WriteBytes(folder.File("big.mid"), song);
        ASSERT_TRUE(doc->OnOpenDocument(folder.File("big.mid")));
        ASSERT_EQ(doc->m_nLastIndex, static_cast<int>(size) - 1);
        EXPECT_TRUE(doc->m_original == song);
        doc->Convert("major", 0);
        song[kFirstEventOffset + 2] = 60;
        song[size - 6] = 60;
        EXPECT_TRUE(Bytes(doc->m_converted.begin(), doc->m_converted.begin() + size) == song);
    }

    // One byte more is refused with its own message before it is read whole, and a file that
    // ends at the limit without its last end of track is cut short.
    doc = LoadedDoc(DataPath("round.mid"));
    Bytes song = songOfSize(kSongLimit + 1);
    WriteBytes(folder.File("big.mid"), song);
    song.resize(kSongLimit);
    WriteBytes(folder.File("cut.mid"), song);
    CMessageRecorder messages;
    EXPECT_FALSE(doc->OnOpenDocument(folder.File("big.mid")));
    EXPECT_FALSE(doc->OnOpenDocument(folder.File("cut.mid")));
    EXPECT_EQ(messages.Texts(),
              (std::vector<std::string>{
                  FormatResString(AFX_IDP_SONG_TOO_LARGE, folder.File("big.mid")),
                  FormatResString(IDS_SONG_ENDS_EARLY, folder.File("cut.mid"), "1", "0")}));
    EXPECT_TRUE(Snapshot(*doc) == before);
}

TEST(SongDocument, EndOfTrackInTheHeaderCounts)
{
    // Track count 00 FF followed by the division 2F 00: the header's FF 2F 00 is the first of
    // the 255 ends of track.
    ScratchFolder folder;
    Bytes song = MakeSmf(std::vector<Bytes>(254, kEndOfTrack), 255);
    song[12] = 0x2F;
    song[13] = 0x00;
    WriteBytes(folder.File("a.mid"), Concat({song, kEndOfTrack}));
    auto doc = LoadedDoc(folder.File("a.mid"));
    EXPECT_EQ(doc->m_nLastIndex, static_cast<int>(song.size()) - 1);
}

TEST(SongDocument, MissingOrUnreadableFileIsReportedWithItsReason)
{
    auto doc = LoadedDoc(DataPath("round.mid"));
    const Snapshot before(*doc);
    CMessageRecorder messages;
    EXPECT_FALSE(doc->OnOpenDocument("/nonexistent/song.mid"));
    EXPECT_FALSE(doc->OnOpenDocument(TARVEL1_TEST_DATA_DIR));
    ASSERT_EQ(messages.Texts().size(), 2u);
    EXPECT_NE(messages.Texts()[0].find("/nonexistent/song.mid"), std::string::npos);
    EXPECT_NE(messages.Texts()[0].find(SystemErrorText(ENOENT)), std::string::npos);
    EXPECT_NE(messages.Texts()[1].find(SystemErrorText(EISDIR)), std::string::npos);
    EXPECT_TRUE(Snapshot(*doc) == before);
}

TEST(SongDocument, SaveWritesTheConvertedCopy)
{
    ScratchFolder folder;
    auto doc = LoadedDoc(DataPath("round.mid"));
    // Before any conversion the song is saved as read.
    ASSERT_TRUE(doc->OnSaveDocument(folder.File("as-read.mid")));
    EXPECT_EQ(ReadBytes(folder.File("as-read.mid")), ReadBytes(DataPath("round.mid")));
    doc->Convert("minor", -2);
    ASSERT_TRUE(doc->OnSaveDocument(folder.File("minor.mid")));
    EXPECT_EQ(ReadBytes(folder.File("minor.mid")), DocBytes(*doc, true));
    EXPECT_NE(ReadBytes(folder.File("minor.mid")), ReadBytes(DataPath("round.mid")));
}

TEST(SongDocument, SaveWithoutASongWritesNothing)
{
    ScratchFolder folder;
    WriteBytes(folder.File("keep.mid"), {1, 2, 3});
    WriteBytes(folder.File("x.mid"), {'R', 'I', 'F', 'F', 0});
    CMessageRecorder messages;
    auto doc = std::make_unique<CTarvel1Doc>();
    EXPECT_FALSE(doc->OnSaveDocument(folder.File("keep.mid")));
    ASSERT_TRUE(doc->OnOpenDocument(folder.File("x.mid")));
    EXPECT_FALSE(doc->OnSaveDocument(folder.File("keep.mid")));
    EXPECT_FALSE(doc->OnSaveDocument(folder.File("new.mid")));
    EXPECT_EQ(ReadBytes(folder.File("keep.mid")), (Bytes{1, 2, 3}));
    struct stat st;
    EXPECT_NE(stat(folder.File("new.mid").c_str(), &st), 0);
    const std::vector<std::string> prompt(1, "ＭＩＤＩファイルを読みこんでください");
    EXPECT_EQ(messages.Texts(),
              (std::vector<std::string>{prompt[0], "これはＭＩＤＩファイルではありません",
                                        prompt[0], prompt[0]}));
}

TEST(SongDocument, FailedSaveLeavesTheOldFile)
{
    ScratchFolder folder;
    auto doc = LoadedDoc(DataPath("fanfare.mid"));
    CMessageRecorder messages;
    EXPECT_FALSE(doc->OnSaveDocument(folder.File("no-such-folder/out.mid")));
    ASSERT_EQ(messages.Texts().size(), 1u);
    EXPECT_NE(messages.Texts()[0].find("no-such-folder/out.mid"), std::string::npos);

    WriteBytes(folder.File("old.mid"), {9, 9, 9});
    ASSERT_EQ(chmod(folder.Path().c_str(), 0500), 0);
    if (access(folder.Path().c_str(), W_OK) != 0) // root may write anyway
    {
        EXPECT_FALSE(doc->OnSaveDocument(folder.File("old.mid")));
        EXPECT_EQ(ReadBytes(folder.File("old.mid")), (Bytes{9, 9, 9}));
    }
    chmod(folder.Path().c_str(), 0700);
}

TEST(SongDocument, NewDocumentKeepsTheSong)
{
    auto doc = LoadedDoc(DataPath("round.mid"));
    const Snapshot before(*doc);
    EXPECT_TRUE(doc->OnNewDocument());
    EXPECT_EQ(doc->GetPathName(), "");
    EXPECT_EQ(doc->m_bLoaded, before.loaded);
    EXPECT_EQ(doc->m_nLastIndex, before.lastIndex);
    EXPECT_TRUE(doc->m_original == before.original);
}
