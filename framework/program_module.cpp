#include "program_module.h"

#include <vector>

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

std::string ExecutableFolder()
{
    std::string path(4096, '\0');
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (length <= 0)
        return std::string();
    path.resize(static_cast<std::size_t>(length));
    return path.substr(0, path.rfind('/'));
}

bool IsFile(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

} // namespace

CProgramModule OpenProgramModule(const std::string& file, const std::string& installedFolder,
                                 const std::string& builtPath, const std::string& onlyPath)
{
    std::vector<std::string> candidates;
    if (!onlyPath.empty())
        candidates.push_back(onlyPath);
    else
    {
        const std::string folder = ExecutableFolder();
        if (!folder.empty())
        {
            candidates.push_back(folder + "/" + file);
            candidates.push_back(folder + "/../" + installedFolder + "/" + file);
        }
        candidates.push_back(builtPath);
    }
    CProgramModule module;
    for (const std::string& path : candidates)
    {
        if (!IsFile(path))
        {
            module.strError += (module.strError.empty() ? "" : ", ") + path;
            continue;
        }
        module.strPath = path;
        // Local: a module's own libraries never stand in for the program's.
        module.pHandle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module.pHandle == nullptr)
        {
            const char* why = dlerror();
            module.strError = why != nullptr ? why : "dlopen";
        }
        else
            module.strError.clear();
        return module;
    }
    return module;
}
