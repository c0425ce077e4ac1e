#pragma once
// What the program asks of the operating system besides writing files (file.h): one declaration
// here, one definition per system (system_posix.cpp, system_win.cpp). Every path above this line
// is UTF-8; the Windows side speaks UTF-16 to the system, so any file name survives.

#include <cstdint>
#include <string>
#include <vector>

// The running program's own full path, and the folder that holds it; empty when the system does
// not say.
std::string ExecutablePath();
std::string ExecutableFolder();

// The program's arguments as UTF-8 texts, the program's name first. On Windows they come from the
// UTF-16 command line: the `argv` the runtime makes holds only what the ANSI code page can spell.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Standard input and output carry a song's bytes as they are (no line-end translation, no end of
// file at a 0x1A byte), and a reader that goes away is a failed write, reported once, not the end
// of the process.
void PrepareStandardStreams();

// What a path names.
struct SPathInfo
{
    enum Kind
    {
        missing, // nothing there, or the system refused to look (nError says which)
        regular,
        folder,
        link, // only when links are not followed
        other // a pipe, a device, a socket
    };
    Kind kind = missing;
    int nError = 0; // errno's value when missing
    // Two names of one file have the same pair.
    std::uint64_t nDevice = 0;
    std::uint64_t nFile = 0;

    bool SameFileAs(const SPathInfo& that) const
    {
        return kind != missing && that.kind != missing && nDevice == that.nDevice &&
               nFile == that.nFile;
    }
};

SPathInfo QueryPath(const std::string& path, bool followLinks = true);
// The same for a descriptor the program holds (standard input).
SPathInfo QueryDescriptor(int fd);

// Whether the program may write into (`write`: a file, or new files into a folder) or just
// reach the path; false with errno set.
bool CanAccess(const std::string& path, bool write);

// The names in `folder`, without "." and "..", in no particular order; false when it cannot be
// read.
bool ListFolder(const std::string& folder, std::vector<std::string>& names);

// The absolute path of an existing file or folder with every link resolved; empty on failure.
std::string RealPath(const std::string& path);

// The user's language where the system keeps it in its settings rather than in the environment
// (Windows), as a locale name ("en_US"); empty where the environment is the rule (POSIX).
std::string SystemLanguage();

// A module of the program's own (a shared library) opened for the rest of the run; nullptr with
// `error` set when it cannot be.
void* OpenModuleFile(const std::string& path, std::string& error);
void* FindModuleSymbol(void* module, const char* name);
