#pragma once
// What CFile needs of the system to read a file, one side per system (file_posix.cpp,
// file_win.cpp). Descriptors are the C runtime's: files are opened in binary mode.

#include <cstddef>
#include <string>

// A descriptor for reading `path`, which must be a regular file; refuses at once, without
// waiting, a pipe, a device or a folder. Throws CFileException.
int OpenRegularFileForReading(const std::string& path);
// A copy of an open descriptor (standard input); `name` is what messages call it.
int DuplicateDescriptor(int fd, const std::string& name);
// The size of a regular file, 0 for anything else.
std::size_t RegularFileLength(int fd);
// Up to `count` bytes; 0 at the end. Throws CFileException naming `name`.
std::size_t ReadDescriptor(int fd, void* buffer, std::size_t count, const std::string& name);
void CloseDescriptor(int fd);
