// The file writer on Windows. A regular file is written as a new file beside its target, marked
// for deletion so that Windows removes it if the program dies, and takes the target's place only
// in Commit(): flushed to the disk first when it replaces a file, then put in place by ReplaceFileW
// (which keeps the old file's attributes and rights) or MoveFileExW. Names are UTF-16 to the
// system; descriptors are binary.

#include "safe_writer.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "file.h"
#include "system.h"
#include "win32_support.h"

namespace
{

bool IsSeparator(char c)
{
    return c == '/' || c == '\\';
}

std::size_t RootLength(const std::string& path)
{
    if (path.size() >= 2 && path[1] == ':')
        return path.size() >= 3 && IsSeparator(path[2]) ? 3 : 2;
    return !path.empty() && IsSeparator(path[0]) ? 1 : 0;
}

std::string BaseNameOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string NearestExistingFolder(const std::string& path)
{
    std::string folder = FolderOfPath(path);
    while (QueryPath(folder).kind != SPathInfo::folder && folder != "." &&
           folder.size() > RootLength(folder))
        folder = FolderOfPath(folder);
    return folder;
}

bool MarkForDeletion(HANDLE handle, bool remove)
{
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = remove ? TRUE : FALSE;
    return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                      sizeof disposition) != 0;
}

[[noreturn]] void ThrowLastError(const std::string& name)
{
    AfxThrowFileException(name, ErrnoFromWin32(GetLastError()));
}

int DescriptorOf(HANDLE handle, int flags, const std::string& name)
{
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags | _O_BINARY);
    if (fd < 0)
    {
        CloseHandle(handle);
        AfxThrowFileException(name, EMFILE);
    }
    return fd;
}

} // namespace

std::string SystemErrorText(int error)
{
    // The C runtime of Windows knows one language for its texts.
    return std::strerror(error);
}

void MakeFolders(const std::string& folder, unsigned int)
{
    // Rights come from the parent folder on Windows: the mode has no meaning there.
    const std::size_t root = RootLength(folder);
    for (std::size_t slash = folder.find_first_of("/\\", root);;
         slash = folder.find_first_of("/\\", slash + 1))
    {
        const std::string part = folder.substr(0, slash);
        if (part.size() > root && !CreateDirectoryW(WideFromUtf8(part).c_str(), nullptr))
        {
            const DWORD error = GetLastError();
            if (error != ERROR_ALREADY_EXISTS)
                AfxThrowFileException(part, ErrnoFromWin32(error));
            if (QueryPath(part).kind != SPathInfo::folder)
                AfxThrowFileException(part, ENOTDIR);
        }
        if (slash == std::string::npos)
            return;
    }
}

SWriteTarget InspectWriteTarget(const std::string& path, bool makeFolders)
{
    if (path.empty())
        AfxThrowFileException(path, ENOENT);
    // "song.mid\" names a folder: a file is never written there.
    if (IsSeparator(path.back()))
        AfxThrowFileException(path, QueryPath(path).kind == SPathInfo::folder ? EISDIR : ENOTDIR);
    SWriteTarget target;
    // Windows follows symbolic links and junctions by itself when the file is opened and
    // replaced.
    target.path = path;
    const SPathInfo info = QueryPath(path);
    if (info.kind == SPathInfo::missing && info.nError != ENOENT)
        AfxThrowFileException(path, info.nError);
    if (info.kind != SPathInfo::missing)
    {
        target.bIdentified = true;
        target.nDevice = info.nDevice;
        target.nInode = info.nFile;
        if (info.kind == SPathInfo::folder)
            AfxThrowFileException(path, EISDIR);
        // A device (NUL, CON) is written into; a read-only file is not replaced behind the
        // user's back.
        target.kind =
            info.kind == SPathInfo::regular ? SWriteTarget::replaceFile : SWriteTarget::stream;
        if (!CanAccess(path, true))
            AfxThrowFileException(path, errno);
        if (target.kind == SWriteTarget::stream)
            return target;
    }
    const std::string folder = makeFolders && info.kind == SPathInfo::missing
                                   ? NearestExistingFolder(path)
                                   : FolderOfPath(path);
    if (!CanAccess(folder, true))
        AfxThrowFileException(path, errno);
    return target;
}

struct CSafeWriter::SState
{
    int fd = -1;
    bool bStream = false;
    bool bScratch = false;
    bool bExists = false;
    bool bMarked = false; // Windows deletes the file when it closes
    std::string strFinalPath;
    std::string strTempPath;

    bool NeedsSync() const { return bExists && !bScratch; }
};

CSafeWriter::CSafeWriter() : m_state(std::make_unique<SState>()) {}

CSafeWriter::CSafeWriter(const std::string& path, unsigned flags) : CSafeWriter()
{
    Open(path, flags);
}

CSafeWriter::~CSafeWriter()
{
    Abandon();
}

bool CSafeWriter::IsOpen() const
{
    return m_state->fd >= 0;
}

bool CSafeWriter::IsStream() const
{
    return m_state->bStream;
}

int CSafeWriter::GetDescriptor() const
{
    return m_state->fd;
}

void CSafeWriter::Attach(int fd, const std::string& name)
{
    Abandon();
    m_strName = name;
    m_state->fd = _dup(fd);
    if (m_state->fd < 0)
        AfxThrowFileException(name, errno);
    _setmode(m_state->fd, _O_BINARY);
    m_state->bStream = true;
}

void CSafeWriter::Open(const std::string& path, unsigned flags)
{
    Abandon();
    m_strName = path;
    const SWriteTarget target = InspectWriteTarget(path);
    SState& s = *m_state;
    s.bScratch = (flags & scratch) != 0;
    s.strFinalPath = target.path;
    s.bExists = target.kind == SWriteTarget::replaceFile;
    if (target.kind == SWriteTarget::stream)
    {
        HANDLE handle =
            CreateFileW(WideFromUtf8(target.path).c_str(), GENERIC_WRITE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            ThrowLastError(path);
        s.fd = DescriptorOf(handle, _O_WRONLY, path);
        s.bStream = true;
        return;
    }
    const std::string folder = FolderOfPath(s.strFinalPath);
    for (unsigned attempt = 0;; ++attempt)
    {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%08lx%02x",
                      static_cast<unsigned long>(GetTickCount() ^ (GetCurrentProcessId() << 12)),
                      attempt & 0xFFu);
        const std::string temp = folder + "\\." + BaseNameOf(s.strFinalPath) + suffix;
        // Readable too: an encoder reads its header back.
        HANDLE handle =
            CreateFileW(WideFromUtf8(temp).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0,
                        nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
        {
            if (GetLastError() == ERROR_FILE_EXISTS && attempt < 100)
                continue;
            ThrowLastError(path);
        }
        // Gone with the process however it ends, until Commit() takes the mark away.
        s.bMarked = MarkForDeletion(handle, true);
        s.strTempPath = temp;
        s.fd = DescriptorOf(handle, _O_RDWR, path);
        return;
    }
}

void CSafeWriter::Write(const void* bytes, std::size_t count)
{
    if (m_state->fd < 0)
        AfxThrowFileException(m_strName, EBADF);
    const auto* next = static_cast<const unsigned char*>(bytes);
    while (count > 0)
    {
        const unsigned chunk = count > INT_MAX ? INT_MAX : static_cast<unsigned>(count);
        const int put = _write(m_state->fd, next, chunk);
        if (put < 0)
            AfxThrowFileException(m_strName, errno);
        next += put;
        count -= static_cast<std::size_t>(put);
    }
}

void CSafeWriter::Commit()
{
    std::vector<CSafeWriter*> one{this};
    std::vector<CFileException> errors = CommitMany(one);
    if (!errors.empty())
        throw errors.front();
}

std::vector<CFileException>
CSafeWriter::CommitAll(std::vector<std::unique_ptr<CSafeWriter>>& writers)
{
    std::vector<CSafeWriter*> each;
    for (const auto& writer : writers)
        each.push_back(writer.get());
    return CommitMany(each);
}

std::vector<CFileException> CSafeWriter::CommitMany(const std::vector<CSafeWriter*>& writers)
{
    std::vector<CFileException> errors;
    for (CSafeWriter* writer : writers)
    {
        SState& s = *writer->m_state;
        if (s.fd < 0)
            continue;
        try
        {
            if (s.bStream)
            {
                const int result = _close(s.fd);
                const int error = errno;
                s.fd = -1;
                s.bStream = false;
                if (result != 0)
                    AfxThrowFileException(writer->m_strName, error);
                continue;
            }
            // Only a file that is complete on the disk may take the place of one the user had.
            HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(s.fd));
            if (s.NeedsSync() && !FlushFileBuffers(handle))
                ThrowLastError(writer->m_strName);
            if (s.bMarked && !MarkForDeletion(handle, false))
                ThrowLastError(writer->m_strName);
            s.bMarked = false;
            const int closed = _close(s.fd);
            s.fd = -1;
            if (closed != 0)
                AfxThrowFileException(writer->m_strName, errno);
            const std::wstring temp = WideFromUtf8(s.strTempPath);
            const std::wstring final = WideFromUtf8(s.strFinalPath);
            bool placed =
                s.bExists && ReplaceFileW(final.c_str(), temp.c_str(), nullptr,
                                          REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0;
            // A new file, or a target that ReplaceFileW cannot take on this file system: a
            // rename, which replaces in one step too.
            if (!placed)
                placed = MoveFileExW(temp.c_str(), final.c_str(),
                                     MOVEFILE_REPLACE_EXISTING |
                                         (s.NeedsSync() ? MOVEFILE_WRITE_THROUGH : 0)) != 0;
            if (!placed)
                ThrowLastError(writer->m_strName);
            s.strTempPath.clear();
        }
        catch (const CFileException& error)
        {
            errors.push_back(error);
            writer->Abandon();
        }
    }
    return errors;
}

void CSafeWriter::Abandon() noexcept
{
    SState& s = *m_state;
    // A file still marked for deletion goes when it closes.
    if (s.fd >= 0)
        _close(s.fd);
    s.fd = -1;
    if (!s.bMarked && !s.strTempPath.empty())
        DeleteFileW(WideFromUtf8(s.strTempPath).c_str());
    s.strTempPath.clear();
    s.bStream = false;
    s.bMarked = false;
    s.bExists = false;
}
