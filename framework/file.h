#pragma once
// A file opened for reading, or created for writing. A created regular file is written beside its
// target as an unnamed file and linked into place only by Close(): a failed, interrupted or killed
// write leaves the file that was there intact and no temporary file behind. A target that is not a
// regular file (a pipe, a device, a socket) is written into directly and never replaced.

#include <cstddef>
#include <string>

#include "exceptions.h"

// The folder part of a UTF-8 path, without the final separator ("." for a bare name).
std::string FolderOfPath(const std::string& path);

// Makes `folder` and the folders above it that are missing, as mkdir -p does, each with `mode`.
// Throws CFileException naming the folder that could not be made.
void MakeFolders(const std::string& folder, unsigned int mode);

// The file a write to `path` reaches: symbolic links followed to their end, also when the last
// one points at a file that does not exist yet. Throws CFileException (ELOOP) for a link loop.
std::string ResolveWriteTarget(const std::string& path);

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
    // An unfinished write is abandoned: its temporary file is removed, the target is untouched.
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
    void Write(const void* buffer, std::size_t count);
    // For a created file: puts it in place of the target. A file that replaces an existing one
    // reaches the disk first; a new one need not, as no old data can be lost.
    void Close();
    // Closes without throwing; a created file is discarded.
    void Abort() noexcept;

    bool IsOpen() const { return m_fd >= 0; }
    const std::string& GetFilePath() const { return m_strFileName; }
    // The size of a regular file opened for reading, 0 otherwise.
    std::size_t GetLength() const;

private:
    enum class Kind
    {
        none,
        reading,
        direct,   // written into as it is: a pipe, a device, standard output
        replacing // written aside, then put in place of the target by Close()
    };

    void OpenForWriting(const std::string& path, unsigned flags);
    void OpenDirect(const std::string& target, bool socket);
    void Commit();
    [[noreturn]] void Fail(int error);

    int m_fd = -1;
    Kind m_kind = Kind::none;
    bool m_bScratch = false;
    bool m_bTargetExists = false;
    bool m_bUnnamed = false;    // an O_TMPFILE file, linked into the folder by Close()
    std::string m_strFileName;  // the target, as the caller named it
    std::string m_strFinalPath; // the target with symbolic links resolved
    std::string m_strTempPath;  // a named temporary file, where the folder takes no unnamed one
};
