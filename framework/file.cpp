#include "file.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "string_table.h"

namespace
{

// The kernel's own limit on links followed in one path.
constexpr int kMaxLinkHops = 40;

std::string BaseNameOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

mode_t NewFileMode(bool exists, const struct stat& st)
{
    if (exists)
        return st.st_mode & 07777;
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// A name for the moment between linking the finished file into the folder and renaming it over
// the target; hidden, and unlikely to meet another writer's.
std::string TempNameFor(const std::string& target, unsigned attempt)
{
    static unsigned counter = 0;
    const unsigned long stamp = static_cast<unsigned long>(std::time(nullptr)) ^
                                (static_cast<unsigned long>(getpid()) << 16) ^ (++counter * 7919u) ^
                                attempt;
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, ".%08lx", stamp & 0xFFFFFFFFul);
    return FolderOfPath(target) + "/." + BaseNameOf(target) + suffix;
}

bool LinkUnnamed(int fd, const std::string& to)
{
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    return linkat(AT_FDCWD, self.c_str(), AT_FDCWD, to.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

void SyncFolderOf(const std::string& path)
{
    const int dir = ::open(FolderOfPath(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0)
    {
        fsync(dir);
        ::close(dir);
    }
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

void MakeFolders(const std::string& folder, unsigned int mode)
{
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1))
    {
        const std::string part = folder.substr(0, slash);
        if (mkdir(part.c_str(), static_cast<mode_t>(mode)) != 0 && errno != EEXIST)
            AfxThrowFileException(part, errno);
        if (slash == std::string::npos)
            return;
    }
}

std::string ResolveWriteTarget(const std::string& path)
{
    // Writing through a link writes the file it points at: the link stays a link, and a
    // dangling link gets its file. The folders on the way are left to the kernel.
    std::string current = path;
    if (current.compare(0, 8, "/dev/fd/") == 0)
        current = "/proc/self/fd/" + current.substr(8);
    for (int hop = 0; hop <= kMaxLinkHops; ++hop)
    {
        // The links of /proc (/dev/stdout leads there) name open files rather than paths.
        if (current.compare(0, 6, "/proc/") == 0)
            return current;
        struct stat st;
        if (lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;
        std::vector<char> buffer(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) +
                                 1);
        const ssize_t length = readlink(current.c_str(), buffer.data(), buffer.size());
        if (length < 0)
            AfxThrowFileException(path, errno);
        if (static_cast<std::size_t>(length) >= buffer.size())
            AfxThrowFileException(path, ENAMETOOLONG);
        const std::string link(buffer.data(), static_cast<std::size_t>(length));
        current = !link.empty() && link[0] == '/' ? link : FolderOfPath(current) + "/" + link;
    }
    AfxThrowFileException(path, ELOOP);
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
    // O_NONBLOCK: a pipe with no writer or a device must not hold the program before it can
    // even look at what it opened.
    m_fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (m_fd < 0)
        AfxThrowFileException(path, errno);
    m_kind = Kind::reading;
    struct stat st;
    if (fstat(m_fd, &st) != 0)
        Fail(errno);
    if (S_ISDIR(st.st_mode))
        Fail(EISDIR);
    if (!S_ISREG(st.st_mode))
    {
        Abort();
        throw CFileException(path, EINVAL, LoadResString(AFX_IDP_NOT_REGULAR_FILE));
    }
    fcntl(m_fd, F_SETFL, fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
}

void CFile::Attach(int fd, const std::string& name, unsigned flags)
{
    Abort();
    m_strFileName = name;
    m_fd = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (m_fd < 0)
        AfxThrowFileException(name, errno);
    m_kind = (flags & modeWrite) != 0 ? Kind::direct : Kind::reading;
}

void CFile::OpenForWriting(const std::string& path, unsigned flags)
{
    m_bScratch = (flags & modeScratch) != 0;
    m_strFinalPath = ResolveWriteTarget(path);
    // /dev/stdout and its kin name a descriptor this process already holds: the song goes into
    // it as it is, as with "-", keeping its position and its append mode.
    const std::string ownFd = "/proc/self/fd/";
    if (m_strFinalPath.compare(0, ownFd.size(), ownFd) == 0 &&
        m_strFinalPath.size() > ownFd.size() &&
        m_strFinalPath.find_first_not_of("0123456789", ownFd.size()) == std::string::npos)
    {
        Attach(std::atoi(m_strFinalPath.c_str() + ownFd.size()), path, flags);
        return;
    }
    struct stat st;
    m_bTargetExists = stat(m_strFinalPath.c_str(), &st) == 0;
    if (!m_bTargetExists && errno != ENOENT)
        AfxThrowFileException(path, errno);
    if (m_bTargetExists && S_ISDIR(st.st_mode))
        AfxThrowFileException(path, EISDIR);
    if (m_bTargetExists && !S_ISREG(st.st_mode))
    {
        OpenDirect(m_strFinalPath, S_ISSOCK(st.st_mode));
        return;
    }

    m_kind = Kind::replacing;
    const std::string folder = FolderOfPath(m_strFinalPath);
    // An unnamed file vanishes with the process however it ends; it needs /proc to be linked.
    if (access("/proc/self/fd", X_OK) == 0)
    {
        m_fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        m_bUnnamed = m_fd >= 0;
    }
    if (m_fd < 0)
    {
        std::string pattern = folder + "/." + BaseNameOf(m_strFinalPath) + ".XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        m_fd = mkostemp(name.data(), O_CLOEXEC);
        if (m_fd < 0)
            AfxThrowFileException(path, errno);
        m_strTempPath = name.data();
    }
    if (fchmod(m_fd, NewFileMode(m_bTargetExists, st)) != 0)
        Fail(errno);
}

void CFile::OpenDirect(const std::string& target, bool socket)
{
    m_kind = Kind::direct;
    if (!socket)
    {
        m_fd = ::open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (m_fd < 0)
            Fail(errno);
        return;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (target.size() >= sizeof address.sun_path)
        Fail(ENAMETOOLONG);
    target.copy(address.sun_path, target.size());
    for (const int type : {SOCK_STREAM, SOCK_DGRAM})
    {
        m_fd = ::socket(AF_UNIX, type | SOCK_CLOEXEC, 0);
        if (m_fd < 0)
            Fail(errno);
        if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            return;
        const int error = errno;
        ::close(m_fd);
        m_fd = -1;
        if (error != EPROTOTYPE)
            Fail(error);
    }
    Fail(EPROTOTYPE);
}

std::size_t CFile::GetLength() const
{
    struct stat st;
    if (m_kind != Kind::reading || fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode))
        return 0;
    return static_cast<std::size_t>(st.st_size);
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
    if (m_kind == Kind::replacing)
    {
        Commit();
        return;
    }
    const bool writing = m_kind == Kind::direct;
    const int result = ::close(m_fd);
    const int error = errno;
    m_fd = -1;
    m_kind = Kind::none;
    if (writing && result != 0 && error != EINTR)
        AfxThrowFileException(m_strFileName, error);
}

void CFile::Commit()
{
    // Only a file that is complete on the disk may take the place of one the user had; a new
    // file or a scratch file replaces nothing worth a sync.
    const bool sync = m_bTargetExists && !m_bScratch;
    if (sync && fsync(m_fd) != 0)
        Fail(errno);
    if (m_bUnnamed)
    {
        // A new file is linked straight under its name; one that would replace a file is linked
        // under a temporary name first, as a link never replaces.
        bool placed = false;
        if (!m_bTargetExists)
        {
            placed = LinkUnnamed(m_fd, m_strFinalPath);
            if (!placed && errno != EEXIST)
                Fail(errno);
        }
        for (unsigned attempt = 0; !placed; ++attempt)
        {
            const std::string name = TempNameFor(m_strFinalPath, attempt);
            if (LinkUnnamed(m_fd, name))
            {
                m_strTempPath = name;
                break;
            }
            if (errno != EEXIST || attempt == 100)
                Fail(errno);
        }
    }
    if (::close(m_fd) != 0)
    {
        const int error = errno;
        m_fd = -1;
        Fail(error);
    }
    m_fd = -1;
    if (!m_strTempPath.empty() && std::rename(m_strTempPath.c_str(), m_strFinalPath.c_str()) != 0)
        Fail(errno);
    m_strTempPath.clear();
    m_kind = Kind::none;
    m_bUnnamed = false;
    if (sync)
        SyncFolderOf(m_strFinalPath);
}

void CFile::Fail(int error)
{
    Abort();
    AfxThrowFileException(m_strFileName, error);
}

void CFile::Abort() noexcept
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (m_kind == Kind::replacing && !m_strTempPath.empty())
        ::unlink(m_strTempPath.c_str());
    m_kind = Kind::none;
    m_bUnnamed = false;
    m_strTempPath.clear();
}
