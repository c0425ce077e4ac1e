#include "file.h"

#include <cerrno>
#include <cstdint>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
        m_writer = std::make_unique<CSafeWriter>(
            path, (flags & modeScratch) != 0 ? unsigned(CSafeWriter::scratch) : 0u);
        return;
    }
    // O_NONBLOCK: a pipe with no writer or a device must not hold the program before it can
    // even look at what it opened.
    m_fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (m_fd < 0)
        AfxThrowFileException(path, errno);
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
    if ((flags & modeWrite) != 0)
    {
        m_writer = std::make_unique<CSafeWriter>();
        m_writer->Attach(fd, name);
        return;
    }
    m_fd = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (m_fd < 0)
        AfxThrowFileException(name, errno);
}

std::size_t CFile::GetLength() const
{
    struct stat st;
    if (m_fd < 0 || fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode))
        return 0;
    return static_cast<std::size_t>(st.st_size);
}

bool CFile::IsAtEnd()
{
    if (m_nPeeked >= 0)
        return false;
    std::uint8_t byte;
    if (Read(&byte, 1) == 0)
        return true;
    m_nPeeked = byte;
    return false;
}

std::size_t CFile::Read(void* buffer, std::size_t count)
{
    if (m_nPeeked >= 0 && count > 0)
    {
        *static_cast<std::uint8_t*>(buffer) = static_cast<std::uint8_t>(m_nPeeked);
        m_nPeeked = -1;
        return 1;
    }
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
    if (!m_writer)
        AfxThrowFileException(m_strFileName, EBADF);
    m_writer->Write(buffer, count);
}

void CFile::Close()
{
    if (m_writer)
    {
        std::unique_ptr<CSafeWriter> writer = std::move(m_writer);
        writer->Commit();
        return;
    }
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

std::unique_ptr<CSafeWriter> CFile::Detach()
{
    return std::move(m_writer);
}

void CFile::Fail(int error)
{
    Abort();
    AfxThrowFileException(m_strFileName, error);
}

void CFile::Abort() noexcept
{
    m_nPeeked = -1;
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_writer.reset();
}
