#include "file.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

std::string BaseNameOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Saving through a symbolic link replaces the file it points at, not the link itself.
std::string ResolveLink(const std::string& path)
{
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr)
        return path;
    std::string out(resolved);
    std::free(resolved);
    return out;
}

mode_t NewFileMode(const std::string& target)
{
    struct stat st;
    if (stat(target.c_str(), &st) == 0)
        return st.st_mode & 07777;
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

} // namespace

std::string FolderOfPath(const std::string& path)
{
    // '/' never occurs inside a multibyte UTF-8 sequence, so the last '/' byte is always a whole
    // character.
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
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
    if ((flags & modeWrite) == 0)
    {
        m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (m_fd < 0)
            AfxThrowFileException(path, errno);
        struct stat st;
        if (fstat(m_fd, &st) == 0 && S_ISDIR(st.st_mode))
        {
            Abort();
            AfxThrowFileException(path, EISDIR);
        }
        return;
    }

    m_strFinalPath = ResolveLink(path);
    struct stat st;
    if (stat(m_strFinalPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        AfxThrowFileException(path, EISDIR);
    std::string pattern =
        FolderOfPath(m_strFinalPath) + "/." + BaseNameOf(m_strFinalPath) + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    m_fd = mkostemp(name.data(), O_CLOEXEC);
    if (m_fd < 0)
        AfxThrowFileException(path, errno);
    m_strTempPath = name.data();
    m_bWriting = true;
    if (fchmod(m_fd, NewFileMode(m_strFinalPath)) != 0)
    {
        const int error = errno;
        Abort();
        AfxThrowFileException(path, error);
    }
}

std::size_t CFile::Read(void* buffer, std::size_t count)
{
    for (;;)
    {
        const ssize_t got = ::read(m_fd, buffer, count);
        if (got >= 0)
            return static_cast<std::size_t>(got);
        if (errno != EINTR)
            AfxThrowFileException(m_strFileName, errno);
    }
}

void CFile::Write(const void* buffer, std::size_t count)
{
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    while (count > 0)
    {
        const ssize_t put = ::write(m_fd, bytes, count);
        if (put < 0)
        {
            if (errno == EINTR)
                continue;
            AfxThrowFileException(m_strFileName, errno);
        }
        bytes += put;
        count -= static_cast<std::size_t>(put);
    }
}

void CFile::Close()
{
    if (m_fd < 0)
        return;
    if (!m_bWriting)
    {
        ::close(m_fd);
        m_fd = -1;
        return;
    }
    // The rename is the commit: only a file that is complete on the disk may replace the old one.
    if (fsync(m_fd) != 0 || ::close(m_fd) != 0)
    {
        const int error = errno;
        m_fd = -1;
        Abort();
        AfxThrowFileException(m_strFileName, error);
    }
    m_fd = -1;
    if (std::rename(m_strTempPath.c_str(), m_strFinalPath.c_str()) != 0)
    {
        const int error = errno;
        Abort();
        AfxThrowFileException(m_strFileName, error);
    }
    m_bWriting = false;
    m_strTempPath.clear();
    const int dir =
        ::open(FolderOfPath(m_strFinalPath).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0)
    {
        fsync(dir);
        ::close(dir);
    }
}

void CFile::Abort() noexcept
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (m_bWriting && !m_strTempPath.empty())
        ::unlink(m_strTempPath.c_str());
    m_bWriting = false;
    m_strTempPath.clear();
}
