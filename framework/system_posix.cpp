#include "system.h"

#include <cerrno>
#include <csignal>
#include <climits>
#include <cstdlib>

#include <dirent.h>
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

SPathInfo InfoOf(int result, const struct stat& st)
{
    SPathInfo info;
    if (result != 0)
    {
        info.nError = errno;
        return info;
    }
    info.kind = S_ISREG(st.st_mode)   ? SPathInfo::regular
                : S_ISDIR(st.st_mode) ? SPathInfo::folder
                : S_ISLNK(st.st_mode) ? SPathInfo::link
                                      : SPathInfo::other;
    info.nDevice = static_cast<std::uint64_t>(st.st_dev);
    info.nFile = static_cast<std::uint64_t>(st.st_ino);
    return info;
}

} // namespace

std::string ExecutablePath()
{
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
}

std::string ExecutableFolder()
{
    const std::string path = ExecutablePath();
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash == 0 ? 1 : slash);
}

std::vector<std::string> ProgramArguments(int argc, char** argv)
{
    return std::vector<std::string>(argv, argv + argc);
}

void PrepareStandardStreams()
{
    // POSIX streams carry bytes as they are; a closed pipe must not kill the process.
    std::signal(SIGPIPE, SIG_IGN);
}

SPathInfo QueryPath(const std::string& path, bool followLinks)
{
    struct stat st;
    return InfoOf(followLinks ? stat(path.c_str(), &st) : lstat(path.c_str(), &st), st);
}

SPathInfo QueryDescriptor(int fd)
{
    struct stat st;
    return InfoOf(fstat(fd, &st), st);
}

bool CanAccess(const std::string& path, bool write)
{
    if (!write)
        return access(path.c_str(), F_OK) == 0;
    // A folder takes new files only when it can also be searched.
    struct stat st;
    const bool folder = stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    return access(path.c_str(), folder ? W_OK | X_OK : W_OK) == 0;
}

bool ListFolder(const std::string& folder, std::vector<std::string>& names)
{
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr)
        return false;
    while (const dirent* entry = readdir(dir))
    {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    closedir(dir);
    return true;
}

std::string RealPath(const std::string& path)
{
    char* real = realpath(path.c_str(), nullptr);
    if (real == nullptr)
        return {};
    std::string out = real;
    std::free(real);
    return out;
}

std::string SystemLanguage()
{
    return {};
}

void* OpenModuleFile(const std::string& path, std::string& error)
{
    // Local: a module's own libraries never stand in for the program's.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
    {
        const char* why = dlerror();
        error = why != nullptr ? why : "dlopen";
    }
    return handle;
}

void* FindModuleSymbol(void* module, const char* name)
{
    return dlsym(module, name);
}
