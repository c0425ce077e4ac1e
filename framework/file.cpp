#include "file.h"

#include <cerrno>
#include <cstdint>

#include "file_descriptor.h"

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
    m_fd = OpenRegularFileForReading(path);
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
    m_fd = DuplicateDescriptor(fd, name);
}

std::size_t CFile::GetLength() const
{
    return m_fd < 0 ? 0 : RegularFileLength(m_fd);
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
    return ReadDescriptor(m_fd, buffer, count, m_strFileName);
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
        CloseDescriptor(m_fd);
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
        CloseDescriptor(m_fd);
    m_fd = -1;
    m_writer.reset();
}
