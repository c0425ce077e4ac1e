#include "sound_font.h"

#include <cstdlib>

#include <unistd.h>

namespace
{

// The system's default is an alternatives link that any GM SoundFont package may take over.
const char* const kSystemSoundFonts[] = {
    "/usr/share/sounds/sf3/default-GM.sf3",
    "/usr/share/sounds/sf2/default-GM.sf2",
    // timgm6mb-soundfont, fluid-soundfont-gm, musescore-general-soundfont-small.
    "/usr/share/sounds/sf2/TimGM6mb.sf2",
    "/usr/share/sounds/sf2/FluidR3_GM.sf2",
    "/usr/share/sounds/sf3/MuseScore_General.sf3",
};

bool IsReadableFile(const std::string& path)
{
    return !path.empty() && access(path.c_str(), R_OK) == 0;
}

} // namespace

std::vector<std::string> SoundFontCandidates(const std::string& explicitPath,
                                             const std::string& environmentPath)
{
    std::vector<std::string> candidates;
    if (!explicitPath.empty())
        candidates.push_back(explicitPath);
    else if (!environmentPath.empty())
        candidates.push_back(environmentPath);
    for (const char* path : kSystemSoundFonts)
        candidates.emplace_back(path);
    return candidates;
}

std::string FindSoundFont(const std::vector<std::string>& candidates, bool firstIsExplicit)
{
    if (firstIsExplicit && !candidates.empty())
        return candidates.front();
    for (const std::string& path : candidates)
        if (IsReadableFile(path))
            return path;
    return {};
}

std::string FindSoundFont(const std::string& explicitPath, std::string* searched)
{
    const char* environment = std::getenv(kSoundFontVariable);
    const std::string environmentPath = environment != nullptr ? environment : "";
    const std::vector<std::string> candidates = SoundFontCandidates(explicitPath, environmentPath);
    if (searched != nullptr)
    {
        searched->clear();
        for (const std::string& path : candidates)
        {
            if (!searched->empty())
                *searched += ", ";
            *searched += path;
        }
    }
    return FindSoundFont(candidates, !explicitPath.empty() || !environmentPath.empty());
}
