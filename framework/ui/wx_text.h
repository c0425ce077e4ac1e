#pragma once
// Texts are UTF-8 std::string everywhere below the window; these convert at the wx edge, without
// going through the C locale, which may not know Japanese.

#include <string>

#include <wx/string.h>

inline wxString FromUtf8(const std::string& text)
{
    return wxString::FromUTF8(text.data(), text.size());
}

inline std::string ToUtf8(const wxString& text)
{
    const wxScopedCharBuffer utf8 = text.utf8_str();
    return std::string(utf8.data(), utf8.length());
}
