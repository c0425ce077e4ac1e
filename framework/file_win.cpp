// Reading files on Windows: UTF-16 names, binary descriptors, and the same refusals as on POSIX
// systems (a folder, a pipe or a device is not a song).

#include "file.h"

#include <cerrno>
#include <climits>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "file_descriptor.h"
#include "string_table.h"
#include "system.h"
#include "win32_support.h"

std::string FolderOfPath(const std::string& path)
{
    // Neither separator occurs inside a multibyte UTF-8 sequence. A root ("C:\", "C:", "\") is
    // its own folder.
    const std::size_t slash = path.find_last_of("/\\");
    const bool drive = path.size() >= 2 && path[1] == ':';
    const std::size_t root = drive
                                 ? (path.size() >= 3 && (path[2] == '/' || path[2] == '\\') ? 3 : 2)
                             : !path.empty() && (path[0] == '/' || path[0] == '\\') ? 1
                                                                                    : 0;
    if (slash == std::string::npos)
        return drive ? path.substr(0, 2) : ".";
    return slash < root ? path.substr(0, root) : path.substr(0, slash);
}

int OpenRegularFileForReading(const std::string& path)
{
    HANDLE handle = CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        AfxThrowFileException(path, ErrnoFromWin32(GetLastError()));
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (fd < 0)
    {
        CloseHandle(handle);
        AfxThrowFileException(path, EMFILE);
    }
    const SPathInfo info = QueryDescriptor(fd);
    if (info.kind == SPathInfo::regular)
        return fd;
    _close(fd);
    if (info.kind == SPathInfo::folder)
        AfxThrowFileException(path, EISDIR);
    throw CFileException(path, EINVAL, LoadResString(AFX_IDP_NOT_REGULAR_FILE));
}

int DuplicateDescriptor(int fd, const std::string& name)
{
    const int copy = _dup(fd);
    if (copy < 0)
        AfxThrowFileException(name, errno);
    _setmode(copy, _O_BINARY);
    return copy;
}

std::size_t RegularFileLength(int fd)
{
    if (QueryDescriptor(fd).kind != SPathInfo::regular)
        return 0;
    const long long length = _filelengthi64(fd);
    return length > 0 ? static_cast<std::size_t>(length) : 0;
}

std::size_t ReadDescriptor(int fd, void* buffer, std::size_t count, const std::string& name)
{
    const unsigned chunk = count > INT_MAX ? INT_MAX : static_cast<unsigned>(count);
    const int got = _read(fd, buffer, chunk);
    if (got < 0)
        AfxThrowFileException(name, errno);
    return static_cast<std::size_t>(got);
}

void CloseDescriptor(int fd)
{
    _close(fd);
}
