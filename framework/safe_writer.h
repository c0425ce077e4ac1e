#pragma once
// The one way the program writes a file: songs, temp.mid, renders, pictures and the settings.
// Whatever the target is, the rules are the same:
// - a regular file appears whole or not at all, and a killed run leaves no temporary file;
// - a symbolic link writes the file it names (a dangling one too) and stays a link;
// - a pipe, a device or a socket is written into, never replaced; so is a name of one of our own
//   descriptors (/dev/stdout);
// - a file that replaces another reaches the disk first and keeps the old file's mode; a file the
//   user could not overwrite with `>` is refused before anything is written; a file with other
//   names (hard links), or owned by someone else, is rewritten in place once the new content is
//   complete, so those names and that owner stay.
// Failures are CFileException with the system's reason in the user's language.
// One interface, one file per platform (safe_writer_posix.cpp, ...).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "exceptions.h"

// What writing to a path would do, found without writing anything.
struct SWriteTarget
{
    enum Kind
    {
        newFile,    // a regular file that does not exist yet
        replaceFile, // an existing regular file
        stream,     // written into as it is: a pipe, a device, a socket, our own descriptor
    };
    Kind kind = newFile;
    std::string path;      // the file a write reaches: links followed to their end
    bool bIdentified = false; // nDevice and nInode name an existing file
    std::uint64_t nDevice = 0;
    std::uint64_t nInode = 0;
};

// Follows `path` to the file a write would reach and checks it as Open() would: a folder, a name
// ending in a separator that is not a folder, a link loop, a file the user may not overwrite,
// and a folder that takes no new file are refused with CFileException. `makeFolders`: the
// missing folders on the way will be made, so the nearest existing one must take them.
SWriteTarget InspectWriteTarget(const std::string& path, bool makeFolders = false);

// Makes `folder` and the folders above it that are missing, as mkdir -p does (`mode` 0700 for
// private folders, 0777 for the user's own). Throws CFileException naming the folder.
void MakeFolders(const std::string& folder, unsigned int mode);

class CSafeWriter
{
public:
    enum Flags : unsigned
    {
        // The file can be made again at any time (temp.mid): it is never synced to the disk.
        scratch = 0x1,
    };

    CSafeWriter();
    // Throws CFileException with the path as given and the system's reason.
    CSafeWriter(const std::string& path, unsigned flags = 0);
    // An unfinished write is abandoned: the target is untouched, nothing is left behind.
    ~CSafeWriter();
    CSafeWriter(const CSafeWriter&) = delete;
    CSafeWriter& operator=(const CSafeWriter&) = delete;

    void Open(const std::string& path, unsigned flags = 0);
    // Writes into a copy of an open descriptor (standard output) as it is; `name` is what
    // messages call it.
    void Attach(int fd, const std::string& name);
    void Write(const void* bytes, std::size_t count);
    // Puts the file in place of its target (a stream is only closed). Throws on failure, after
    // which the target is as it was.
    void Commit();
    void Abandon() noexcept;

    bool IsOpen() const;
    // Written into as it is: no temporary file, and possibly no seeking.
    bool IsStream() const;
    // The descriptor the bytes go into, for a library that writes, seeks and reads back by
    // itself (an audio encoder). Opened for reading and writing except for a stream.
    int GetDescriptor() const;
    const std::string& GetFileName() const { return m_strName; }

    // Commits several finished files at once, as Commit() does each: the files that replace
    // others reach the disk in one go, then each takes its place, then each folder is synced
    // once. A writer that fails is abandoned and its failure returned; the others still commit.
    static std::vector<CFileException> CommitAll(std::vector<std::unique_ptr<CSafeWriter>>& writers);

private:
    struct SState;
    static std::vector<CFileException> CommitMany(const std::vector<CSafeWriter*>& writers);

    std::string m_strName;
    std::unique_ptr<SState> m_state;
};
