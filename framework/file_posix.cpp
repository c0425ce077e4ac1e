#include "file.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "file_descriptor.h"
#include "string_table.h"

std::string FolderOfPath(const std::string& path)
{
    // '/' never occurs inside a multibyte UTF-8 sequence, so the last '/' byte is always a whole
    // character.
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

int OpenRegularFileForReading(const std::string& path)
{
    // O_NONBLOCK: a pipe with no writer or a device must not hold the program before it can
    // even look at what it opened.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        AfxThrowFileException(path, errno);
    struct stat st;
    const int error = fstat(fd, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : 0;
    if (error != 0)
    {
        ::close(fd);
        AfxThrowFileException(path, error);
    }
    if (!S_ISREG(st.st_mode))
    {
        ::close(fd);
        throw CFileException(path, EINVAL, LoadResString(AFX_IDP_NOT_REGULAR_FILE));
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

int DuplicateDescriptor(int fd, const std::string& name)
{
    const int copy = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0)
        AfxThrowFileException(name, errno);
    return copy;
}

std::size_t RegularFileLength(int fd)
{
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return 0;
    return static_cast<std::size_t>(st.st_size);
}

std::size_t ReadDescriptor(int fd, void* buffer, std::size_t count, const std::string& name)
{
    for (;;)
    {
        const ssize_t got = ::read(fd, buffer, count);
        if (got >= 0)
            return static_cast<std::size_t>(got);
        if (errno != EINTR)
            AfxThrowFileException(name, errno);
    }
}

void CloseDescriptor(int fd)
{
    ::close(fd);
}
