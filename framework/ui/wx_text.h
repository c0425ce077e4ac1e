#pragma once
// Texts are UTF-8 std::string everywhere below the window; these convert at the wx edge, without
// going through the C locale, which may not know Japanese. File names are bytes, not text: they
// cross the edge in a form that gives every byte back.

#include <string>

#include <wx/strconv.h>
#include <wx/string.h>

// Shows `text`; a byte that is not UTF-8 (a Shift-JIS file name in a message) becomes U+FFFD
// instead of emptying the whole text.
wxString FromUtf8(const std::string& text);

inline std::string ToUtf8(const wxString& text)
{
    const wxScopedCharBuffer utf8 = text.utf8_str();
    return std::string(utf8.data(), utf8.length());
}

// A file name's bytes as a wxString that ToFileName() turns back into the same bytes, in the
// form wx's own file dialogs and drops use: under a UTF-8 file system, bytes that are not UTF-8
// travel as private-use characters.
wxString FromFileName(const std::string& path);
std::string ToFileName(const wxString& path);
