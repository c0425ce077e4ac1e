#pragma once
// A file opened for reading, or created for writing. Writing goes through the program's one file
// writer (safe_writer.h): a regular file appears whole or not at all and only on Close(); a
// pipe, a device or a socket is written into directly and never replaced.

#include <cstddef>
#include <memory>
#include <string>

#include "exceptions.h"
#include "safe_writer.h"

// The folder part of a UTF-8 path, without the final separator ("." for a bare name).
std::string FolderOfPath(const std::string& path);

class CFile
{
public:
    enum OpenFlags : unsigned
    {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeCreate = 0x1000,
        // The file can be made again at any time (temp.mid): it is never synced to the disk.
        modeScratch = 0x4000,
    };

    CFile() = default;
    // Throws CFileException with the path and the system's reason.
    CFile(const std::string& path, unsigned flags);
    // An unfinished write is abandoned: the target is untouched.
    ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Reading refuses at once, without waiting, anything but a regular file.
    void Open(const std::string& path, unsigned flags);
    // Uses a copy of an open descriptor (standard input or output) as it is; `name` is what
    // messages call it.
    void Attach(int fd, const std::string& name, unsigned flags);
    // Reads up to `count` bytes; returns how many were read, 0 at the end of the file.
    std::size_t Read(void* buffer, std::size_t count);
    // True when nothing is left to read. A pipe is asked by reading a byte, which Read() gives
    // first.
    bool IsAtEnd();
    void Write(const void* buffer, std::size_t count);
    // For a created file: puts it in place of the target.
    void Close();
    // Closes without throwing; a created file is discarded.
    void Abort() noexcept;
    // Hands a created, completely written file over to be committed with others
    // (CSafeWriter::CommitAll); the file is closed afterwards.
    std::unique_ptr<CSafeWriter> Detach();

    bool IsOpen() const { return m_fd >= 0 || (m_writer && m_writer->IsOpen()); }
    const std::string& GetFilePath() const { return m_strFileName; }
    // The size of a regular file opened for reading, 0 otherwise.
    std::size_t GetLength() const;

private:
    [[noreturn]] void Fail(int error);

    int m_fd = -1; // reading
    int m_nPeeked = -1; // a byte IsAtEnd() read ahead, or -1
    std::unique_ptr<CSafeWriter> m_writer;
    std::string m_strFileName; // as the caller named it
};
