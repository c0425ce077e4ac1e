#pragma once
// For the Windows sides of the seams only: UTF-8, the program's text, and UTF-16, Windows' text;
// and the errno value that stands for a Windows error, so that failures read the same on both
// systems.

#include <string>

std::wstring WideFromUtf8(const std::string& text);
std::string Utf8FromWide(const std::wstring& text);

// For GetLastError()'s value.
int ErrnoFromWin32(unsigned long error);
