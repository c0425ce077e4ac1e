#include "conversion.h"
#include "note_transform.h"

#include <gtest/gtest.h>

#include "message_box.h"
#include "smf_builder.h"
#include "test_files.h"

namespace
{

struct NoteByte
{
    std::size_t pos;
    int channel;
};

std::uint32_t ReadNumber(const Bytes& file, std::size_t& pos)
{
    std::uint32_t value = 0;
    std::uint8_t byte;
    do
    {
        byte = file.at(pos++);
        value = (value << 7) | (byte & 0x7F);
    } while (byte & 0x80);
    return value;
}

// An independent reading of a well-formed file by its chunk lengths: where every note number of
// a note-on or note-off lies, and on which channel.
std::vector<NoteByte> NoteBytes(const Bytes& file)
{
    std::vector<NoteByte> notes;
    std::size_t chunk = 8 + (file[4] << 24 | file[5] << 16 | file[6] << 8 | file[7]);
    while (chunk + 8 <= file.size())
    {
        const std::size_t length =
            file[chunk + 4] << 24 | file[chunk + 5] << 16 | file[chunk + 6] << 8 | file[chunk + 7];
        std::size_t pos = chunk + 8;
        const std::size_t end = pos + length;
        std::uint8_t status = 0;
        while (pos < end)
        {
            ReadNumber(file, pos);
            const std::uint8_t first = file.at(pos);
            if (first == 0xFF)
            {
                pos += 2;
                pos += ReadNumber(file, pos);
                continue;
            }
            if (first == 0xF0 || first == 0xF7)
            {
                ++pos;
                pos += ReadNumber(file, pos);
                continue;
            }
            if (first & 0x80)
            {
                status = first;
                ++pos;
            }
            const int kind = status >> 4;
            if (kind == 0x8 || kind == 0x9)
                notes.push_back({pos, status & 0x0F});
            pos += (kind == 0xC || kind == 0xD) ? 1 : 2;
        }
        chunk = end;
    }
    return notes;
}

Bytes Converted(const CTarvel1Doc& doc)
{
    return Bytes(doc.m_converted.begin(), doc.m_converted.begin() + doc.m_nLastIndex + 1);
}

const std::vector<std::string> kModes = {"major", "minor", "aug", "dim", "invert"};
const std::vector<std::string> kKeys = {"C",  "C#", "D",  "D#", "E",  "F",
                                        "F#", "G",  "G#", "A",  "A#", "B"};

} // namespace

TEST(Conversion, KeyNamesGiveTheirOffsets)
{
    for (std::size_t i = 0; i < kKeys.size(); ++i)
        EXPECT_EQ(KeyOffsetFromName(kKeys[i]), -static_cast<int>(i)) << kKeys[i];
    for (const char* other : {"", "c", "Db", "H", "C ", "ド"})
        EXPECT_EQ(KeyOffsetFromName(other), -11) << other;
}

TEST(Conversion, ChangesOnlyTheNotesOfRealSongs)
{
    for (const std::string& name : kRealSongs)
    {
        const Bytes file = ReadBytes(DataPath(name));
        const std::vector<NoteByte> notes = NoteBytes(file);
        ASSERT_FALSE(notes.empty()) << name;
        auto doc = std::make_unique<CTarvel1Doc>();
        ASSERT_TRUE(doc->OnOpenDocument(DataPath(name)));
        for (const std::string& mode : kModes)
            for (const std::string key : {"C", "D#", "B"})
            {
                SCOPED_TRACE(name + " " + mode + " " + key);
                const int offset = KeyOffsetFromName(key);
                doc->Convert(mode, offset);
                Bytes expected = file;
                for (const NoteByte& note : notes)
                    if (note.channel != kDrumChannel)
                        expected[note.pos] =
                            TransformedNote(file[note.pos], ModeFromText(mode), offset);
                ASSERT_EQ(Converted(*doc), expected);
            }
    }
}

TEST(Conversion, NonConvertAndUnknownModesGiveTheSongBack)
{
    for (const std::string& name : kRealSongs)
    {
        auto doc = std::make_unique<CTarvel1Doc>();
        ASSERT_TRUE(doc->OnOpenDocument(DataPath(name)));
        for (const char* mode : {"Non convert", "Major", "", "inverted", "長調"})
        {
            doc->Convert("invert", -3); // must not accumulate into the next conversion
            doc->Convert(mode, -3);
            EXPECT_EQ(Converted(*doc), ReadBytes(DataPath(name))) << name << " " << mode;
        }
    }
}

TEST(Conversion, DrumsNeverChange)
{
    const Bytes file = ReadBytes(DataPath("bossa.mid"));
    std::size_t drumNotes = 0;
    auto doc = std::make_unique<CTarvel1Doc>();
    ASSERT_TRUE(doc->OnOpenDocument(DataPath("bossa.mid")));
    doc->Convert("invert", -7);
    for (const NoteByte& note : NoteBytes(file))
        if (note.channel == kDrumChannel)
        {
            ++drumNotes;
            EXPECT_EQ(doc->m_converted[note.pos], file[note.pos]);
        }
    EXPECT_GT(drumNotes, 100u);
}

TEST(Conversion, DependsOnlyOnTheLastCall)
{
    auto fresh = std::make_unique<CTarvel1Doc>();
    auto reused = std::make_unique<CTarvel1Doc>();
    ASSERT_TRUE(fresh->OnOpenDocument(DataPath("round.mid")));
    ASSERT_TRUE(reused->OnOpenDocument(DataPath("round.mid")));
    fresh->Convert("dim", -9);
    for (const std::string& mode : kModes)
        reused->Convert(mode, -2);
    reused->Convert("dim", -9);
    EXPECT_EQ(Converted(*reused), Converted(*fresh));
}

TEST(Conversion, NothingHappensWithoutASong)
{
    ScratchFolder folder;
    auto doc = std::make_unique<CTarvel1Doc>();
    doc->Convert("invert", 0);
    EXPECT_EQ(doc->m_nLastIndex, 0);
    // Before any song the converted copy is a single zero byte, and that is what is written.
    WriteConvertedSong(*doc, folder.File("empty.mid"));
    EXPECT_EQ(ReadBytes(folder.File("empty.mid")), Bytes{0});

    // After a rejected file, the five bytes the document holds.
    WriteBytes(folder.File("x.mid"), {'R', 'I', 'F', 'F', 0, 0, 0});
    {
        CMessagePresenterScope quiet([](const std::string&) {});
        ASSERT_TRUE(doc->OnOpenDocument(folder.File("x.mid")));
    }
    doc->Convert("invert", 0);
    WriteConvertedSong(*doc, folder.File("rejected.mid"));
    EXPECT_EQ(ReadBytes(folder.File("rejected.mid")).size(), 5u);

    // After a song and a rejected file, temp.mid is the first five bytes of the song's last
    // conversion: the rejected file's bytes reach only the song as read.
    ASSERT_TRUE(doc->OnOpenDocument(DataPath("round.mid")));
    doc->Convert("invert", 0);
    {
        CMessagePresenterScope quiet([](const std::string&) {});
        ASSERT_TRUE(doc->OnOpenDocument(folder.File("x.mid")));
    }
    int keyOffset = 0;
    std::string tempPath;
    ConvertAndWrite(*doc, "invert", "C", keyOffset, tempPath);
    EXPECT_EQ(ReadBytes(tempPath), (Bytes{'M', 'T', 'h', 'd', 0}));
}

TEST(Conversion, ConvertAndWriteFillsTempSong)
{
    auto doc = std::make_unique<CTarvel1Doc>();
    ASSERT_TRUE(doc->OnOpenDocument(DataPath("fanfare.mid")));
    int keyOffset = 99;
    std::string tempPath;
    ConvertAndWrite(*doc, "invert", "F#", keyOffset, tempPath);
    EXPECT_EQ(keyOffset, -6);
    // The test program's folder is writable, so temp.mid goes beside it.
    EXPECT_EQ(FolderOfPath(tempPath), ExecutableFolder());
    EXPECT_EQ(tempPath.substr(ExecutableFolder().size() + 1), "temp.mid");
    EXPECT_EQ(ReadBytes(tempPath), Converted(*doc));
    EXPECT_NE(ReadBytes(tempPath), ReadBytes(DataPath("fanfare.mid")));
}

TEST(Conversion, FoldersAreFoundOnWholeCharacters)
{
    // The second byte of "ソ" in Shift-JIS is 0x5C; in UTF-8 no byte of a multibyte character
    // can be taken for '/'.
    EXPECT_EQ(FolderOfPath("/home/u/ソフト/tarvel1"), "/home/u/ソフト");
    EXPECT_EQ(FolderOfPath("/home/u/音楽\\表/tarvel1"), "/home/u/音楽\\表");
    EXPECT_EQ(FolderOfPath("/tarvel1"), "/");
    EXPECT_EQ(FolderOfPath("tarvel1"), ".");
}
