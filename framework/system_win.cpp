#include "system.h"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "win32_support.h"

namespace
{

SPathInfo InfoOfHandle(HANDLE handle)
{
    SPathInfo info;
    BY_HANDLE_FILE_INFORMATION data;
    switch (GetFileType(handle))
    {
    case FILE_TYPE_DISK:
        if (!GetFileInformationByHandle(handle, &data))
        {
            info.nError = ErrnoFromWin32(GetLastError());
            return info;
        }
        info.kind = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? SPathInfo::folder
                                                                            : SPathInfo::regular;
        info.nDevice = data.dwVolumeSerialNumber;
        info.nFile = (static_cast<std::uint64_t>(data.nFileIndexHigh) << 32) | data.nFileIndexLow;
        return info;
    case FILE_TYPE_UNKNOWN:
        info.nError = EBADF;
        return info;
    default:
        // A console or a pipe: not a file that two names could share.
        info.kind = SPathInfo::other;
        info.nFile = reinterpret_cast<std::uintptr_t>(handle);
        return info;
    }
}

} // namespace

std::string ExecutablePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;)
    {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size())
        {
            path.resize(length);
            return Utf8FromWide(path);
        }
        path.resize(path.size() * 2);
    }
}

std::string ExecutableFolder()
{
    const std::string path = ExecutablePath();
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::vector<std::string> ProgramArguments(int, char**)
{
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr)
        return arguments;
    for (int i = 0; i < count; ++i)
        arguments.push_back(Utf8FromWide(wide[i]));
    LocalFree(wide);
    return arguments;
}

void PrepareStandardStreams()
{
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
}

SPathInfo QueryPath(const std::string& path, bool followLinks)
{
    const DWORD flags =
        FILE_FLAG_BACKUP_SEMANTICS | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    // No access asked for: only the file's attributes are read, even of a file open elsewhere.
    HANDLE handle = CreateFileW(WideFromUtf8(path).c_str(), 0,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
    {
        SPathInfo info;
        info.nError = ErrnoFromWin32(GetLastError());
        return info;
    }
    SPathInfo info = InfoOfHandle(handle);
    if (!followLinks)
    {
        FILE_ATTRIBUTE_TAG_INFO tag{};
        if (GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag) &&
            (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
            tag.ReparseTag == IO_REPARSE_TAG_SYMLINK)
            info.kind = SPathInfo::link;
    }
    CloseHandle(handle);
    return info;
}

SPathInfo QueryDescriptor(int fd)
{
    const intptr_t handle = _get_osfhandle(fd);
    if (handle == -1)
    {
        SPathInfo info;
        info.nError = EBADF;
        return info;
    }
    return InfoOfHandle(reinterpret_cast<HANDLE>(handle));
}

bool CanAccess(const std::string& path, bool write)
{
    const auto refused = []
    {
        errno = ErrnoFromWin32(GetLastError());
        return false;
    };
    const std::wstring wide = WideFromUtf8(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return refused();
    if (!write)
        return true;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
    {
        // Windows refuses to write a read-only file to anyone (on a folder the attribute means
        // nothing).
        if ((attributes & FILE_ATTRIBUTE_READONLY) != 0)
        {
            errno = EACCES;
            return false;
        }
        // Opening for writing is the only sure answer: rights come from the file's ACL.
        HANDLE handle = CreateFileW(wide.c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return refused();
        CloseHandle(handle);
        return true;
    }
    // A folder takes new files when a new file can be made in it; the probe is removed when
    // its handle closes.
    for (unsigned attempt = 0; attempt < 16; ++attempt)
    {
        wchar_t name[64];
        std::swprintf(name, 64, L"\\.tarvel1-probe-%08lx-%u", GetCurrentProcessId(), attempt);
        HANDLE handle = CreateFileW((wide + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (handle != INVALID_HANDLE_VALUE)
        {
            CloseHandle(handle);
            return true;
        }
        if (GetLastError() != ERROR_FILE_EXISTS)
            return refused();
    }
    return refused();
}

bool ListFolder(const std::string& folder, std::vector<std::string>& names)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((WideFromUtf8(folder) + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND; // an empty drive's root
    do
    {
        const std::string name = Utf8FromWide(found.cFileName);
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return true;
}

std::string RealPath(const std::string& path)
{
    HANDLE handle = CreateFileW(WideFromUtf8(path).c_str(), 0,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return {};
    std::wstring out(MAX_PATH, L'\0');
    DWORD length = GetFinalPathNameByHandleW(handle, out.data(), static_cast<DWORD>(out.size()),
                                             FILE_NAME_NORMALIZED);
    if (length >= out.size())
    {
        out.resize(length + 1);
        length = GetFinalPathNameByHandleW(handle, out.data(), static_cast<DWORD>(out.size()),
                                           FILE_NAME_NORMALIZED);
    }
    CloseHandle(handle);
    if (length == 0 || length >= out.size())
        return {};
    out.resize(length);
    // The \\?\ prefix says only that the name is not parsed further.
    if (out.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        out = L"\\\\" + out.substr(8);
    else if (out.compare(0, 4, L"\\\\?\\") == 0)
        out = out.substr(4);
    return Utf8FromWide(out);
}

std::string SystemLanguage()
{
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    if (LCIDToLocaleName(MAKELCID(GetUserDefaultUILanguage(), SORT_DEFAULT), name,
                         LOCALE_NAME_MAX_LENGTH, 0) == 0)
        return {};
    std::string language = Utf8FromWide(name);
    for (char& c : language)
        if (c == '-')
            c = '_';
    return language;
}

void* OpenModuleFile(const std::string& path, std::string& error)
{
    HMODULE module = LoadLibraryW(WideFromUtf8(path).c_str());
    if (module == nullptr)
        error = "LoadLibrary error " + std::to_string(GetLastError());
    return reinterpret_cast<void*>(module);
}

void* FindModuleSymbol(void* module, const char* name)
{
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}
