#include "piano_roll_picture.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

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

// Where the module may be, best first: beside the executable (the build tree), the installed
// layout's lib/tarvel1, where this build made it.
std::vector<std::string> ModuleCandidates()
{
    std::vector<std::string> candidates;
    const std::string folder = ExecutableFolder();
    if (!folder.empty())
    {
        candidates.push_back(folder + "/" + kPictureModuleFile);
        candidates.push_back(folder + "/../" + TARVEL1_PICTURE_MODULE_SUBDIR + "/" +
                             kPictureModuleFile);
    }
    candidates.push_back(TARVEL1_PICTURE_MODULE_BUILT);
    return candidates;
}

} // namespace

bool DrawPianoRollPicture(const CTarvel1Doc& doc, const std::string& mode, int keyOffset,
                          const std::string& caption, const std::string& path, int width,
                          int height, std::string& error)
{
    PictureModuleEntry entry = nullptr;
    std::string searched;
    for (const std::string& candidate : ModuleCandidates())
    {
        struct stat info;
        if (stat(candidate.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        {
            searched += (searched.empty() ? "" : ", ") + candidate;
            continue;
        }
        void* handle = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr)
        {
            const char* why = dlerror();
            error = candidate + ": " + (why != nullptr ? why : "dlopen");
            return false;
        }
        entry = reinterpret_cast<PictureModuleEntry>(dlsym(handle, kPictureModuleEntry));
        if (entry == nullptr)
        {
            error = candidate + ": " + kPictureModuleEntry;
            return false;
        }
        break;
    }
    if (entry == nullptr)
    {
        error = std::string(kPictureModuleFile) + ": " + searched;
        return false;
    }
    char reason[512] = {};
    if (entry(doc, mode.c_str(), keyOffset, caption.c_str(), path.c_str(), width, height, reason,
              sizeof reason))
        return true;
    error = reason;
    return false;
}
