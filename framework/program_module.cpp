#include "program_module.h"

#include <vector>

#include "file.h"
#include "system.h"

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
        if (QueryPath(path).kind != SPathInfo::regular)
        {
            module.strError += (module.strError.empty() ? "" : ", ") + path;
            continue;
        }
        module.strPath = path;
        std::string error;
        module.pHandle = OpenModuleFile(path, error);
        module.strError = error;
        return module;
    }
    return module;
}
