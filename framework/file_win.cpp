// The file writer on Windows. A created regular file is written as a new file beside its target
// that the system deletes if the program dies, and takes the target's place only in Close():
// through ReplaceFileW when it replaces a file (which keeps that file's attributes and rights),
// flushed to the disk first, otherwise through MoveFileExW. Names are UTF-16 to the system, and
// every file is binary.

#include "file.h"

#include <cerrno>
#include <climits>
#include <cstdio>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "string_table.h"
#include "system.h"
#include "win32_support.h"

namespace
{

bool IsSeparator(char c)
{
    return c == '/' || c == '\\';
}

// "C:" or "C:\" or "\": the part of a path that names a root.
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

bool SetDeleteOnClose(HANDLE handle, bool remove)
{
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = remove ? TRUE : FALSE;
    return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                      sizeof disposition) != 0;
}

HANDLE HandleOf(int fd)
{
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

[[noreturn]] void ThrowLastError(const std::string& path)
{
    AfxThrowFileException(path, ErrnoFromWin32(GetLastError()));
}

} // namespace

std::string FolderOfPath(const std::string& path)
{
    // Neither separator occurs inside a multibyte UTF-8 sequence.
    const std::size_t slash = path.find_last_of("/\\");
    const std::size_t root = RootLength(path);
    if (slash == std::string::npos)
        return root == 2 ? path.substr(0, 2) : ".";
    return slash < root ? path.substr(0, root) : path.substr(0, slash);
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
            if (error != ERROR_ALREADY_EXISTS || QueryPath(part).kind != SPathInfo::folder)
                AfxThrowFileException(part, error == ERROR_ALREADY_EXISTS ? ENOTDIR
                                                                          : ErrnoFromWin32(error));
        }
        if (slash == std::string::npos)
            return;
    }
}

std::string ResolveWriteTarget(const std::string& path)
{
    // The system follows symbolic links and junctions by itself when the file is opened and
    // replaced.
    return path;
}

CFile::CFile(const std::string& path, unsigned flags)
{
    Open(path, flags);
}

CFile::~CFile()
{
    Abort();
}

void CFile::Open(const std::string& path, unsigned flags)
{
    Abort();
    m_strFileName = path;
    if ((flags & modeWrite) != 0)
    {
        OpenForWriting(path, flags);
        return;
    }
    HANDLE handle = CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        ThrowLastError(path);
    m_fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (m_fd < 0)
    {
        CloseHandle(handle);
        AfxThrowFileException(path, EMFILE);
    }
    m_kind = Kind::reading;
    const SPathInfo info = QueryDescriptor(m_fd);
    if (info.kind == SPathInfo::folder)
        Fail(EISDIR);
    if (info.kind != SPathInfo::regular)
    {
        Abort();
        throw CFileException(path, EINVAL, LoadResString(AFX_IDP_NOT_REGULAR_FILE));
    }
}

void CFile::Attach(int fd, const std::string& name, unsigned flags)
{
    Abort();
    m_strFileName = name;
    m_fd = _dup(fd);
    if (m_fd < 0)
        AfxThrowFileException(name, errno);
    _setmode(m_fd, _O_BINARY);
    m_kind = (flags & modeWrite) != 0 ? Kind::direct : Kind::reading;
}

void CFile::OpenForWriting(const std::string& path, unsigned flags)
{
    m_bScratch = (flags & modeScratch) != 0;
    m_strFinalPath = ResolveWriteTarget(path);
    const SPathInfo info = QueryPath(m_strFinalPath);
    m_bTargetExists = info.kind != SPathInfo::missing;
    if (!m_bTargetExists && info.nError != ENOENT)
        AfxThrowFileException(path, info.nError);
    if (info.kind == SPathInfo::folder)
        AfxThrowFileException(path, EISDIR);
    if (info.kind == SPathInfo::other)
    {
        OpenDirect(m_strFinalPath, false);
        return;
    }

    m_kind = Kind::replacing;
    const std::string folder = FolderOfPath(m_strFinalPath);
    for (unsigned attempt = 0;; ++attempt)
    {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%08lx%02x",
                      static_cast<unsigned long>(GetTickCount() ^ (GetCurrentProcessId() << 12)),
                      attempt & 0xFFu);
        const std::string temp = folder + "\\." + BaseNameOf(m_strFinalPath) + suffix;
        HANDLE handle = CreateFileW(WideFromUtf8(temp).c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
        {
            if (GetLastError() == ERROR_FILE_EXISTS && attempt < 100)
                continue;
            ThrowLastError(path);
        }
        // Gone with the process however it ends, until Close() takes the mark away.
        m_bUnnamed = SetDeleteOnClose(handle, true);
        m_strTempPath = temp;
        m_fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
        if (m_fd < 0)
        {
            CloseHandle(handle);
            Fail(EMFILE);
        }
        return;
    }
}

void CFile::OpenDirect(const std::string& target, bool)
{
    m_kind = Kind::direct;
    HANDLE handle =
        CreateFileW(WideFromUtf8(target).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        Fail(ErrnoFromWin32(GetLastError()));
    m_fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (m_fd < 0)
    {
        CloseHandle(handle);
        Fail(EMFILE);
    }
}

std::size_t CFile::GetLength() const
{
    if (m_kind != Kind::reading || QueryDescriptor(m_fd).kind != SPathInfo::regular)
        return 0;
    const long long length = _filelengthi64(m_fd);
    return length > 0 ? static_cast<std::size_t>(length) : 0;
}

std::size_t CFile::Read(void* buffer, std::size_t count)
{
    const unsigned chunk = count > INT_MAX ? INT_MAX : static_cast<unsigned>(count);
    const int got = _read(m_fd, buffer, chunk);
    if (got < 0)
        AfxThrowFileException(m_strFileName, errno);
    return static_cast<std::size_t>(got);
}

void CFile::Write(const void* buffer, std::size_t count)
{
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    while (count > 0)
    {
        const unsigned chunk = count > INT_MAX ? INT_MAX : static_cast<unsigned>(count);
        const int put = _write(m_fd, bytes, chunk);
        if (put < 0)
            AfxThrowFileException(m_strFileName, errno);
        bytes += put;
        count -= static_cast<std::size_t>(put);
    }
}

void CFile::Close()
{
    if (m_fd < 0)
        return;
    if (m_kind == Kind::replacing)
    {
        Commit();
        return;
    }
    const bool writing = m_kind == Kind::direct;
    const int result = _close(m_fd);
    const int error = errno;
    m_fd = -1;
    m_kind = Kind::none;
    if (writing && result != 0)
        AfxThrowFileException(m_strFileName, error);
}

void CFile::Commit()
{
    // Only a file that is complete on the disk may take the place of one the user had.
    const bool sync = m_bTargetExists && !m_bScratch;
    HANDLE handle = HandleOf(m_fd);
    if (sync && !FlushFileBuffers(handle))
        Fail(ErrnoFromWin32(GetLastError()));
    if (!SetDeleteOnClose(handle, false))
        Fail(ErrnoFromWin32(GetLastError()));
    if (_close(m_fd) != 0)
    {
        const int error = errno;
        m_fd = -1;
        Fail(error);
    }
    m_fd = -1;
    const std::wstring temp = WideFromUtf8(m_strTempPath);
    const std::wstring target = WideFromUtf8(m_strFinalPath);
    bool placed = false;
    if (m_bTargetExists)
        placed = ReplaceFileW(target.c_str(), temp.c_str(), nullptr,
                              REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0;
    // A new file, or a target that ReplaceFileW cannot take (on a file system without its
    // support): a rename, which replaces in one step too.
    if (!placed)
        placed = MoveFileExW(temp.c_str(), target.c_str(),
                             MOVEFILE_REPLACE_EXISTING | (sync ? MOVEFILE_WRITE_THROUGH : 0)) != 0;
    if (!placed)
    {
        const DWORD error = GetLastError();
        DeleteFileW(temp.c_str());
        m_strTempPath.clear();
        m_kind = Kind::none;
        AfxThrowFileException(m_strFileName, ErrnoFromWin32(error));
    }
    m_strTempPath.clear();
    m_kind = Kind::none;
}

void CFile::Fail(int error)
{
    Abort();
    AfxThrowFileException(m_strFileName, error);
}

void CFile::Abort() noexcept
{
    // A file being written still carries its delete mark: closing it removes it.
    if (m_fd >= 0)
        _close(m_fd);
    m_fd = -1;
    if (m_kind == Kind::replacing && !m_bUnnamed && !m_strTempPath.empty())
        DeleteFileW(WideFromUtf8(m_strTempPath).c_str());
    m_kind = Kind::none;
    m_bUnnamed = false;
    m_strTempPath.clear();
}
