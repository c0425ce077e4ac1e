#include "piano_roll_picture.h"

#include "program_module.h"
#include "system.h"

bool CanDrawPianoRollPicture()
{
    return true;
}

bool DrawPianoRollPicture(const PictureSong& song, const std::string& mode, int keyOffset,
                          const std::string& caption, const std::string& path, int width,
                          int height, std::string& error)
{
    const CProgramModule module = OpenProgramModule(
        kPictureModuleFile, TARVEL1_PICTURE_MODULE_SUBDIR, TARVEL1_PICTURE_MODULE_BUILT);
    if (module.pHandle == nullptr)
    {
        error = (module.strPath.empty() ? kPictureModuleFile : module.strPath) + std::string(": ") +
                module.strError;
        return false;
    }
    auto entry =
        reinterpret_cast<PictureModuleEntry>(FindModuleSymbol(module.pHandle, kPictureModuleEntry));
    if (entry == nullptr)
    {
        error = module.strPath + ": " + kPictureModuleEntry;
        return false;
    }
    char reason[512] = {};
    if (entry(song, mode.c_str(), keyOffset, caption.c_str(), path.c_str(), width, height, reason,
              sizeof reason))
        return true;
    error = reason;
    return false;
}
