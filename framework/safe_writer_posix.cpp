// The file writer on POSIX systems (Linux): unnamed files (O_TMPFILE) linked into place, named
// temporary files where a file system takes no unnamed one.

#include "safe_writer.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <set>

#include <fcntl.h>
#include <locale.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "file.h"
#include "message_catalog.h"

namespace
{

// The kernel's own limit on links followed in one path.
constexpr int kMaxLinkHops = 40;
constexpr const char* kOwnDescriptors = "/proc/self/fd/";

std::string BaseNameOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// /dev/stdout and its kin lead to "/proc/self/fd/N": a descriptor this process already holds.
int OwnDescriptorOf(const std::string& resolved)
{
    const std::string prefix = kOwnDescriptors;
    if (resolved.compare(0, prefix.size(), prefix) != 0 || resolved.size() == prefix.size() ||
        resolved.find_first_not_of("0123456789", prefix.size()) != std::string::npos)
        return -1;
    return std::atoi(resolved.c_str() + prefix.size());
}

// Writing through a link writes the file it points at: the link stays a link, and a dangling
// link gets its file. The folders on the way are left to the kernel.
std::string ResolveLinks(const std::string& path)
{
    std::string current = path;
    if (current.compare(0, 8, "/dev/fd/") == 0)
        current = kOwnDescriptors + current.substr(8);
    for (int hop = 0; hop <= kMaxLinkHops; ++hop)
    {
        // The links of /proc name open files rather than paths.
        if (current.compare(0, 6, "/proc/") == 0)
            return current;
        struct stat st;
        if (lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;
        std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1,
                         '\0');
        const ssize_t length = readlink(current.c_str(), link.data(), link.size());
        if (length < 0)
            AfxThrowFileException(path, errno);
        if (static_cast<std::size_t>(length) >= link.size())
            AfxThrowFileException(path, ENAMETOOLONG);
        link.resize(static_cast<std::size_t>(length));
        current = !link.empty() && link[0] == '/' ? link : FolderOfPath(current) + "/" + link;
    }
    AfxThrowFileException(path, ELOOP);
}

bool IsFolder(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string NearestExistingFolder(const std::string& path)
{
    std::string folder = FolderOfPath(path);
    while (!IsFolder(folder) && folder != "." && folder != "/")
        folder = FolderOfPath(folder);
    return folder;
}

// A name for the moment between linking the finished file into the folder and renaming it over
// the target; hidden, and unlikely to meet another writer's.
std::string TempNameFor(const std::string& target, unsigned attempt)
{
    static unsigned counter = 0;
    const unsigned long stamp = static_cast<unsigned long>(std::time(nullptr)) ^
                                (static_cast<unsigned long>(getpid()) << 16) ^
                                (++counter * 7919u) ^ (attempt * 104729u);
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, ".%08lx", stamp & 0xFFFFFFFFul);
    return FolderOfPath(target) + "/." + BaseNameOf(target) + suffix;
}

bool LinkUnnamed(int fd, const std::string& to)
{
    const std::string self = kOwnDescriptors + std::to_string(fd);
    return linkat(AT_FDCWD, self.c_str(), AT_FDCWD, to.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

void SyncFolder(const std::string& folder)
{
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0)
    {
        fsync(dir);
        ::close(dir);
    }
}

void WriteAll(int fd, const void* buffer, std::size_t count, const std::string& name)
{
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    while (count > 0)
    {
        const ssize_t put = ::write(fd, bytes, count);
        if (put < 0)
        {
            if (errno == EINTR)
                continue;
            AfxThrowFileException(name, errno);
        }
        bytes += put;
        count -= static_cast<std::size_t>(put);
    }
}

} // namespace

std::string SystemErrorText(int error)
{
    // The catalog decides the language: its source texts are Japanese, a translation names its
    // own. A system without that locale gives its default text.
    static const locale_t locale = []
    {
        const std::string& language = ResLanguage();
        const std::string wanted = language.empty() ? "ja_JP.UTF-8"
                                   : language.find('_') == std::string::npos
                                       ? language + "_" +
                                             (language == "en" ? std::string("US") : language) +
                                             ".UTF-8"
                                       : language + ".UTF-8";
        for (const std::string& name : {wanted, std::string("C.UTF-8")})
            if (const locale_t found =
                    newlocale(LC_MESSAGES_MASK | LC_CTYPE_MASK, name.c_str(), locale_t(nullptr)))
                return found;
        return locale_t(nullptr);
    }();
    return locale != locale_t(nullptr) ? strerror_l(error, locale) : std::strerror(error);
}

void MakeFolders(const std::string& folder, unsigned int mode)
{
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1))
    {
        const std::string part = folder.substr(0, slash);
        if (!part.empty() && mkdir(part.c_str(), static_cast<mode_t>(mode)) != 0 &&
            errno != EEXIST)
            AfxThrowFileException(part, errno);
        if (slash == std::string::npos)
            return;
    }
}

SWriteTarget InspectWriteTarget(const std::string& path, bool makeFolders)
{
    if (path.empty())
        AfxThrowFileException(path, ENOENT);
    SWriteTarget target;
    struct stat st;
    // "song.mid/" names a folder: a file is never written there.
    if (path.back() == '/')
        AfxThrowFileException(path, IsFolder(path) ? EISDIR : ENOTDIR);
    target.path = ResolveLinks(path);
    const int own = OwnDescriptorOf(target.path);
    const bool exists = own >= 0 ? fstat(own, &st) == 0 : stat(target.path.c_str(), &st) == 0;
    if (!exists && errno != ENOENT)
        AfxThrowFileException(path, errno);
    if (exists)
    {
        target.bIdentified = true;
        target.nDevice = static_cast<std::uint64_t>(st.st_dev);
        target.nInode = static_cast<std::uint64_t>(st.st_ino);
        if (S_ISDIR(st.st_mode))
            AfxThrowFileException(path, EISDIR);
        if (own >= 0 || !S_ISREG(st.st_mode))
        {
            target.kind = SWriteTarget::stream;
            if (own < 0 && faccessat(AT_FDCWD, target.path.c_str(), W_OK, AT_EACCESS) != 0)
                AfxThrowFileException(path, errno);
            return target;
        }
        // As `cp` does: what `>` could not overwrite is not replaced behind the user's back.
        target.kind = SWriteTarget::replaceFile;
        if (faccessat(AT_FDCWD, target.path.c_str(), W_OK, AT_EACCESS) != 0)
            AfxThrowFileException(path, errno);
    }
    // The new file is made in the target's folder (or, when folders are to be made, in the
    // nearest one that exists).
    const std::string folder =
        makeFolders && !exists ? NearestExistingFolder(target.path) : FolderOfPath(target.path);
    if (faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
        AfxThrowFileException(path, errno);
    return target;
}

struct CSafeWriter::SState
{
    int fd = -1;
    bool bStream = false;
    bool bScratch = false;
    bool bExists = false;
    bool bInPlace = false; // the old file is rewritten rather than replaced
    bool bUnnamed = false; // an O_TMPFILE file, linked into the folder by Commit()
    std::string strFinalPath; // the target with links resolved
    std::string strTempPath;  // a named temporary file, or the link name before the rename

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
    m_state->fd = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (m_state->fd < 0)
        AfxThrowFileException(name, errno);
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
    if (const int own = OwnDescriptorOf(target.path); own >= 0)
    {
        // Into the descriptor as it is, keeping its position and its append mode.
        Attach(own, path);
        return;
    }
    struct stat st{};
    s.bExists = target.kind == SWriteTarget::replaceFile &&
                stat(target.path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    if (target.kind == SWriteTarget::stream)
    {
        s.bStream = true;
        if (stat(target.path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode))
        {
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            if (target.path.size() >= sizeof address.sun_path)
                AfxThrowFileException(path, ENAMETOOLONG);
            target.path.copy(address.sun_path, target.path.size());
            for (const int type : {SOCK_STREAM, SOCK_DGRAM})
            {
                s.fd = ::socket(AF_UNIX, type | SOCK_CLOEXEC, 0);
                if (s.fd < 0)
                    AfxThrowFileException(path, errno);
                if (::connect(s.fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) ==
                    0)
                    return;
                const int error = errno;
                Abandon();
                if (error != EPROTOTYPE)
                    AfxThrowFileException(path, error);
            }
            AfxThrowFileException(path, EPROTOTYPE);
        }
        s.fd = ::open(target.path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (s.fd < 0)
            AfxThrowFileException(path, errno);
        return;
    }

    // A file with other names keeps them only if it is rewritten.
    s.bInPlace = s.bExists && st.st_nlink > 1;
    const std::string folder = FolderOfPath(s.strFinalPath);
    // An unnamed file vanishes with the process however it ends; it needs /proc to be linked.
    // Opened for reading too: an encoder reads its header back, and an in-place rewrite copies.
    if (access("/proc/self/fd", X_OK) == 0)
    {
        s.fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        s.bUnnamed = s.fd >= 0;
    }
    if (s.fd < 0)
    {
        std::string name = folder + "/." + BaseNameOf(s.strFinalPath) + ".XXXXXX";
        s.fd = mkostemp(name.data(), O_CLOEXEC);
        if (s.fd < 0)
            AfxThrowFileException(path, errno);
        s.strTempPath = name;
    }
    mode_t mode;
    if (s.bExists)
        mode = st.st_mode & 07777;
    else
    {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    // The new file takes the old one's owner and group; where we may not give it to them (a file
    // of someone else's that we may write), the old file is rewritten instead.
    if (!s.bInPlace && s.bExists && (st.st_uid != geteuid() || st.st_gid != getegid()) &&
        fchown(s.fd, st.st_uid, st.st_gid) != 0)
        s.bInPlace = true;
    if (fchmod(s.fd, mode) != 0)
    {
        const int error = errno;
        Abandon();
        AfxThrowFileException(path, error);
    }
}

void CSafeWriter::Write(const void* bytes, std::size_t count)
{
    if (m_state->fd < 0)
        AfxThrowFileException(m_strName, EBADF);
    WriteAll(m_state->fd, bytes, count, m_strName);
}

namespace
{

// The rewrite of a file whose names or owner must stay: the new content is complete and on the
// disk beside it before the old content is overwritten.
void CopyInPlace(int from, const std::string& target, bool sync, const std::string& name)
{
    const int to = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_NOCTTY | O_CLOEXEC);
    if (to < 0)
        AfxThrowFileException(name, errno);
    try
    {
        if (lseek(from, 0, SEEK_SET) != 0)
            AfxThrowFileException(name, errno);
        char buffer[65536];
        for (;;)
        {
            const ssize_t got = ::read(from, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                AfxThrowFileException(name, errno);
            if (got == 0)
                break;
            WriteAll(to, buffer, static_cast<std::size_t>(got), name);
        }
        if (sync && fsync(to) != 0)
            AfxThrowFileException(name, errno);
    }
    catch (...)
    {
        ::close(to);
        throw;
    }
    if (::close(to) != 0)
        AfxThrowFileException(name, errno);
}

} // namespace

void CSafeWriter::Commit()
{
    std::vector<CSafeWriter*> one{this};
    std::vector<CFileException> errors = CommitMany(one);
    if (!errors.empty())
        throw errors.front();
}

std::vector<CFileException> CSafeWriter::CommitAll(
    std::vector<std::unique_ptr<CSafeWriter>>& writers)
{
    std::vector<CSafeWriter*> each;
    for (const auto& writer : writers)
        each.push_back(writer.get());
    return CommitMany(each);
}

std::vector<CFileException> CSafeWriter::CommitMany(const std::vector<CSafeWriter*>& writers)
{
    std::vector<CFileException> errors;
    std::vector<bool> failed(writers.size(), false);
    const auto fail = [&](std::size_t i, const CFileException& error)
    {
        errors.push_back(error);
        failed[i] = true;
        writers[i]->Abandon();
    };

    // The new contents of files that replace others reach the disk before any old one goes:
    // one sync of each file system instead of one per file.
    std::set<dev_t> synced;
    for (std::size_t i = 0; i < writers.size(); ++i)
    {
        SState& s = *writers[i]->m_state;
        if (s.fd < 0 || s.bStream || !s.NeedsSync() || s.bInPlace)
            continue;
        struct stat st;
        if (fstat(s.fd, &st) != 0)
        {
            fail(i, CFileException(writers[i]->m_strName, errno, SystemErrorText(errno)));
            continue;
        }
        if (synced.count(st.st_dev) != 0)
            continue;
        if (syncfs(s.fd) == 0)
            synced.insert(st.st_dev);
        else if (fsync(s.fd) != 0)
            fail(i, CFileException(writers[i]->m_strName, errno, SystemErrorText(errno)));
    }

    std::set<std::string> folders;
    for (std::size_t i = 0; i < writers.size(); ++i)
    {
        CSafeWriter& writer = *writers[i];
        SState& s = *writer.m_state;
        if (failed[i] || s.fd < 0)
            continue;
        try
        {
            if (s.bStream)
            {
                const int result = ::close(s.fd);
                const int error = errno;
                s.fd = -1;
                s.bStream = false;
                if (result != 0 && error != EINTR)
                    AfxThrowFileException(writer.m_strName, error);
                continue;
            }
            if (s.bInPlace)
            {
                CopyInPlace(s.fd, s.strFinalPath, !s.bScratch, writer.m_strName);
                writer.Abandon();
                continue;
            }
            // A new file is linked straight under its name; one that replaces a file is linked
            // under a temporary name first, as a link never replaces.
            bool placed = false;
            if (s.bUnnamed)
            {
                if (!s.bExists)
                {
                    placed = LinkUnnamed(s.fd, s.strFinalPath);
                    if (!placed && errno != EEXIST)
                        AfxThrowFileException(writer.m_strName, errno);
                }
                for (unsigned attempt = 0; !placed && s.strTempPath.empty(); ++attempt)
                {
                    const std::string name = TempNameFor(s.strFinalPath, attempt);
                    if (LinkUnnamed(s.fd, name))
                        s.strTempPath = name;
                    else if (errno != EEXIST || attempt == 100)
                        AfxThrowFileException(writer.m_strName, errno);
                }
            }
            if (::close(s.fd) != 0)
            {
                const int error = errno;
                s.fd = -1;
                AfxThrowFileException(writer.m_strName, error);
            }
            s.fd = -1;
            if (!placed && std::rename(s.strTempPath.c_str(), s.strFinalPath.c_str()) != 0)
                AfxThrowFileException(writer.m_strName, errno);
            s.strTempPath.clear();
            s.bUnnamed = false;
            if (s.NeedsSync())
                folders.insert(FolderOfPath(s.strFinalPath));
        }
        catch (const CFileException& error)
        {
            fail(i, error);
        }
    }
    for (const std::string& folder : folders)
        SyncFolder(folder);
    return errors;
}

void CSafeWriter::Abandon() noexcept
{
    SState& s = *m_state;
    if (s.fd >= 0)
        ::close(s.fd);
    s.fd = -1;
    if (!s.strTempPath.empty())
        ::unlink(s.strTempPath.c_str());
    s.strTempPath.clear();
    s.bStream = false;
    s.bUnnamed = false;
    s.bInPlace = false;
    s.bExists = false;
}
