#pragma once
// A file opened for reading, or created for writing. A created file is written beside its target
// under a temporary name and renamed over the target only by Close(), after the last byte has
// reached the disk: a failed or interrupted write leaves the file that was there intact.

#include <cstddef>
#include <string>

#include "exceptions.h"

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
    };

    CFile() = default;
    // Throws CFileException with the path and the system's reason.
    CFile(const std::string& path, unsigned flags);
    // An unfinished write is abandoned: its temporary file is removed, the target is untouched.
    ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    void Open(const std::string& path, unsigned flags);
    // Reads up to `count` bytes; returns how many were read, 0 at the end of the file.
    std::size_t Read(void* buffer, std::size_t count);
    void Write(const void* buffer, std::size_t count);
    // For a created file: flushes it to the disk and renames it over the target.
    void Close();
    // Closes without throwing; a created file is discarded.
    void Abort() noexcept;

    bool IsOpen() const { return m_fd >= 0; }
    const std::string& GetFilePath() const { return m_strFileName; }

private:
    int m_fd = -1;
    bool m_bWriting = false;
    std::string m_strFileName;  // the target, as the caller named it
    std::string m_strFinalPath; // the target with a symbolic link resolved
    std::string m_strTempPath;  // where a created file is written until Close()
};
