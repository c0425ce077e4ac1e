#include "wx_text.h"

namespace
{

// The length of the valid UTF-8 sequence at `pos`, or 0 when the byte there does not start one
// (overlong forms, surrogates and code points past U+10FFFF included).
std::size_t Utf8SequenceLength(const std::string& text, std::size_t pos)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    if (lead < 0x80)
        return 1;
    std::size_t length;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
    {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    }
    else if (lead >= 0xF0 && lead <= 0xF4)
    {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    }
    else
        return 0;
    if (pos + length > text.size())
        return 0;
    if (byte(pos + 1) < low || byte(pos + 1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(pos + i) < 0x80 || byte(pos + i) > 0xBF)
            return 0;
    return length;
}

} // namespace

wxString FromUtf8(const std::string& text)
{
    std::string valid;
    valid.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();)
    {
        const std::size_t length = Utf8SequenceLength(text, pos);
        if (length == 0)
        {
            valid += "\xEF\xBF\xBD"; // U+FFFD, the replacement character
            ++pos;
            continue;
        }
        valid.append(text, pos, length);
        pos += length;
    }
    return wxString::FromUTF8(valid.data(), valid.size());
}

wxString FromFileName(const std::string& path)
{
    return wxString(path.data(), *wxConvFileName, path.size());
}

std::string ToFileName(const wxString& path)
{
    const wxScopedCharBuffer bytes = path.mb_str(*wxConvFileName);
    return std::string(bytes.data(), bytes.length());
}
