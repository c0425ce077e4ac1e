#include <algorithm>
#include <cstring>

#include <gtest/gtest.h>

#include "archive.h"
#include "document.h"
#include "file.h"
#include "message_box.h"
#include "message_recorder.h"
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

// A document of raw bytes that can be told to fail half-way through a save.
class CBytesDoc : public CDocument
{
public:
    void Serialize(CArchive& ar) override
    {
        if (ar.IsStoring())
        {
            for (std::size_t i = 0; i < m_bytes.size(); ++i)
            {
                if (i == m_nFailAt)
                    AfxThrowFileException("disk", ENOSPC);
                ar << m_bytes[i];
            }
            return;
        }
        Bytes incoming;
        std::uint8_t byte;
        while (ar.TryReadByte(byte))
            incoming.push_back(byte);
        if (incoming.size() < m_nMinimum)
            AfxThrowArchiveException(CArchiveException::endOfFile, ar.GetFile()->GetFilePath());
        m_bytes = incoming;
    }
    Bytes m_bytes;
    std::size_t m_nFailAt = SIZE_MAX;
    std::size_t m_nMinimum = 0;
};

} // namespace

TEST(Archive, RoundTripsAcrossBufferBoundaries)
{
    ScratchFolder folder;
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, CArchive::kBufferSize - 1,
                             CArchive::kBufferSize, CArchive::kBufferSize + 1, std::size_t{10000}})
    {
        Bytes bytes(size);
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
        Store(folder.File("a.bin"), bytes);
        EXPECT_EQ(ReadBytes(folder.File("a.bin")), bytes) << size;

        CFile file(folder.File("a.bin"), CFile::modeRead);
        CArchive ar(file, CArchive::load);
        EXPECT_FALSE(ar.IsStoring());
        for (std::size_t i = 0; i < size; ++i)
            ASSERT_EQ(ar.ReadByte(), bytes[i]);
        try
        {
            ar.ReadByte();
            ADD_FAILURE() << "read past the end of " << size << " bytes";
        }
        catch (const CArchiveException& error)
        {
            EXPECT_EQ(error.m_cause, CArchiveException::endOfFile);
            EXPECT_EQ(error.GetFileName(), folder.File("a.bin"));
        }
    }
}

TEST(File, WritesEveryByteAndAnyName)
{
    // Line feeds, carriage returns and 0x1A are where a text-mode file would change the song.
    ScratchFolder folder;
    Bytes bytes;
    for (int i = 0; i < 512; ++i)
        bytes.push_back(static_cast<std::uint8_t>(i % 3 == 0 ? 0x0A : i % 3 == 1 ? 0x1A : 0x0D));
    const std::string name = folder.File("曲 ｿﾝｸﾞ.mid");
    Store(name, bytes);
    EXPECT_EQ(ReadBytes(name), bytes);
    CFile file(name, CFile::modeRead);
    EXPECT_EQ(file.GetLength(), bytes.size());
    Bytes read(bytes.size() + 1);
    EXPECT_EQ(file.Read(read.data(), read.size()), bytes.size());
    read.pop_back();
    EXPECT_EQ(read, bytes);
    EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{"曲 ｿﾝｸﾞ.mid"});
}

TEST(File, FailuresNameThePathAndTheReason)
{
    ScratchFolder folder;
    try
    {
        CFile file(folder.File("missing.mid"), CFile::modeRead);
        ADD_FAILURE();
    }
    catch (const CFileException& error)
    {
        EXPECT_EQ(error.GetFileName(), folder.File("missing.mid"));
        EXPECT_EQ(error.m_lOsError, ENOENT);
        EXPECT_EQ(error.GetReason(), SystemErrorText(ENOENT));
    }
    EXPECT_THROW(CFile(folder.File("no/such/folder.mid"), CFile::modeCreate | CFile::modeWrite),
                 CFileException);
    EXPECT_THROW(CFile(folder.Path(), CFile::modeCreate | CFile::modeWrite), CFileException);
    EXPECT_THROW(CFile(folder.Path(), CFile::modeRead), CFileException);
}

TEST(Document, FailedOpenIsReportedNotSucceeded)
{
    ScratchFolder folder;
    WriteBytes(folder.File("short.bin"), {1, 2});
    WriteBytes(folder.File("good.bin"), {1, 2, 3, 4});
    CBytesDoc doc;
    doc.m_nMinimum = 3;
    CMessageRecorder messages;
    ASSERT_TRUE(doc.OnOpenDocument(folder.File("good.bin")));
    EXPECT_EQ(doc.GetPathName(), folder.File("good.bin"));

    EXPECT_FALSE(doc.OnOpenDocument(folder.File("short.bin")));
    EXPECT_FALSE(doc.OnOpenDocument(folder.File("missing.bin")));
    EXPECT_EQ(doc.GetPathName(), folder.File("good.bin"));
    EXPECT_EQ(doc.m_bytes, (Bytes{1, 2, 3, 4}));
    ASSERT_EQ(messages.Texts().size(), 2u);
    EXPECT_EQ(messages.Texts()[0],
              FormatResString(AFX_IDP_FILE_ENDS_EARLY, folder.File("short.bin")));
    EXPECT_EQ(messages.Texts()[1],
              FormatResString(AFX_IDP_FILE_NOT_FOUND, folder.File("missing.bin"),
                              SystemErrorText(ENOENT)));
}

TEST(Document, FailedSaveIsReportedAndLeavesTheOldFile)
{
    ScratchFolder folder;
    WriteBytes(folder.File("out.bin"), {5, 5});
    CBytesDoc doc;
    doc.m_bytes = Bytes(9000, 0x42);
    doc.m_nFailAt = 8500; // after the first buffers have reached the temporary file
    CMessageRecorder messages;
    EXPECT_FALSE(doc.OnSaveDocument(folder.File("out.bin")));
    EXPECT_EQ(ReadBytes(folder.File("out.bin")), (Bytes{5, 5}));
    EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{"out.bin"});
    ASSERT_EQ(messages.Texts().size(), 1u);
    EXPECT_EQ(messages.Texts()[0],
              FormatResString(AFX_IDP_FAILED_TO_SAVE_DOC, folder.File("out.bin"),
                              SystemErrorText(ENOSPC)));

    doc.m_nFailAt = SIZE_MAX;
    EXPECT_TRUE(doc.OnSaveDocument(folder.File("out.bin")));
    EXPECT_EQ(ReadBytes(folder.File("out.bin")), doc.m_bytes);
}

TEST(MessageBox, DefaultWritesToStderrAndPresenterIsRestored)
{
    {
        CMessageRecorder messages;
        AfxMessageBox(IDS_NOT_MIDI_FILE);
        ASSERT_EQ(messages.Texts().size(), 1u);
        EXPECT_EQ(messages.Texts()[0], "これはＭＩＤＩファイルではありません");
    }
    ::testing::internal::CaptureStderr();
    AfxMessageBox("hello");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "tarvel1: hello\n");
}

TEST(StringTable, FormatsArgumentsInPlace)
{
    EXPECT_EQ(FormatResString(AFX_IDP_FAILED_TO_WRITE, "/a/b.mid", "Disk full"),
              "ファイル /a/b.mid に書きこめませんでした（Disk full）。");
    // A per-cent sign in an argument is not taken for a placeholder.
    EXPECT_EQ(FormatResString(AFX_IDP_FAILED_TO_WRITE, "%2", "x"),
              "ファイル %2 に書きこめませんでした（x）。");
    EXPECT_EQ(LoadResString(0xFFFF), "");
}
