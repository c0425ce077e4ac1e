#include "archive.h"

CArchive::CArchive(CFile& file, Mode mode) : m_file(file), m_mode(mode) {}

bool CArchive::Refill()
{
    m_nPos = 0;
    m_nFilled = m_file.Read(m_buffer.data(), m_buffer.size());
    return m_nFilled > 0;
}

void CArchive::FillBuffer()
{
    if (!Refill())
        AfxThrowArchiveException(CArchiveException::endOfFile, m_file.GetFilePath());
}

bool CArchive::TryReadByte(std::uint8_t& value)
{
    if (m_nPos == m_nFilled && !Refill())
        return false;
    value = m_buffer[m_nPos++];
    return true;
}

void CArchive::Flush()
{
    if (m_mode != store || m_nPos == 0)
        return;
    m_file.Write(m_buffer.data(), m_nPos);
    m_nPos = 0;
}

void CArchive::Close()
{
    Flush();
}
