#pragma once
// A byte stream over a CFile, one byte at a time through a fixed buffer. Loading past the end of
// the file raises CArchiveException::endOfFile; storing reaches the file on Flush() or Close().

#include <array>
#include <cstddef>
#include <cstdint>

#include "file.h"

class CArchive
{
public:
    enum Mode
    {
        load = 1,
        store = 0,
    };
    static constexpr std::size_t kBufferSize = 4096;

    CArchive(CFile& file, Mode mode);
    // Does not flush: an archive left by an exception must not write a half-made song.
    ~CArchive() = default;
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    bool IsStoring() const { return m_mode == store; }
    CFile* GetFile() const { return &m_file; }

    std::uint8_t ReadByte()
    {
        if (m_nPos == m_nFilled)
            FillBuffer();
        return m_buffer[m_nPos++];
    }
    // Loads one byte if the file has one; false at its end, without raising.
    bool TryReadByte(std::uint8_t& value);

    void WriteByte(std::uint8_t value)
    {
        if (m_nPos == kBufferSize)
            Flush();
        m_buffer[m_nPos++] = value;
    }

    CArchive& operator>>(std::uint8_t& value)
    {
        value = ReadByte();
        return *this;
    }
    CArchive& operator<<(std::uint8_t value)
    {
        WriteByte(value);
        return *this;
    }

    // Storing: writes the buffered bytes to the file.
    void Flush();
    // Storing: flushes; the file itself stays open for its owner to close.
    void Close();

private:
    // Refills the buffer or raises endOfFile.
    void FillBuffer();
    bool Refill();

    CFile& m_file;
    Mode m_mode;
    std::size_t m_nPos = 0;
    std::size_t m_nFilled = 0;
    std::array<std::uint8_t, kBufferSize> m_buffer{};
};
