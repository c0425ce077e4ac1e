#include "message_catalog.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "system.h"

#ifndef TARVEL1_BUILD_LOCALEDIR
#error "TARVEL1_BUILD_LOCALEDIR comes from res/CMakeLists.txt"
#endif

namespace
{

constexpr const char* kDomain = "tarvel1";
constexpr std::uint32_t kMoMagic = 0x950412de;
constexpr std::uint32_t kMoMagicSwapped = 0xde120495;

std::uint32_t ReadWord(const std::string& data, std::size_t pos, bool swapped)
{
    std::uint32_t word;
    std::memcpy(&word, data.data() + pos, 4);
    if (swapped)
        word = __builtin_bswap32(word);
    return word;
}

bool IsFile(const std::string& path)
{
    return QueryPath(path).kind == SPathInfo::regular;
}

std::string CatalogPath(const std::string& folder, const std::string& language)
{
    return folder + "/" + language + "/LC_MESSAGES/" + kDomain + ".mo";
}

// "ja_JP.UTF-8@mod" gives "ja_JP" and then "ja", the names gettext tries for it.
std::vector<std::string> LanguageNames(const std::string& locale)
{
    const std::string full = locale.substr(0, locale.find_first_of(".@"));
    std::vector<std::string> names;
    if (!full.empty())
        names.push_back(full);
    const std::size_t underscore = full.find('_');
    if (underscore != std::string::npos && underscore > 0)
        names.push_back(full.substr(0, underscore));
    return names;
}

bool IsSourceLocale(const std::string& locale)
{
    // C.UTF-8 is the C locale with another character set: still no language of its own.
    return locale.empty() || locale == "C" || locale == "POSIX" || locale.rfind("C.", 0) == 0;
}

} // namespace

bool CMessageCatalog::Load(const std::string& path)
{
    m_translations.clear();
    // A UTF-8 name reaches the system whole on Windows too.
    std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
    if (!in)
        return false;
    return Parse(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
}

bool CMessageCatalog::Parse(const std::string& data)
{
    m_translations.clear();
    if (data.size() < 20)
        return false;
    std::uint32_t magic;
    std::memcpy(&magic, data.data(), 4);
    if (magic != kMoMagic && magic != kMoMagicSwapped)
        return false;
    const bool swapped = magic == kMoMagicSwapped;
    const std::uint64_t count = ReadWord(data, 8, swapped);
    const std::uint64_t sources = ReadWord(data, 12, swapped);
    const std::uint64_t targets = ReadWord(data, 16, swapped);
    if (sources + count * 8 > data.size() || targets + count * 8 > data.size())
        return false;

    // Each table entry is a length and an offset; the text is followed by a NUL that the length
    // does not count.
    const auto text = [&](std::uint64_t entry, std::string& out)
    {
        const std::uint64_t length = ReadWord(data, entry, swapped);
        const std::uint64_t offset = ReadWord(data, entry + 4, swapped);
        if (offset + length >= data.size())
            return false;
        out.assign(data, offset, length);
        return true;
    };
    for (std::uint64_t i = 0; i < count; ++i)
    {
        std::string source, target;
        if (!text(sources + i * 8, source) || !text(targets + i * 8, target))
        {
            m_translations.clear();
            return false;
        }
        // The empty source is the catalog's own header; fuzzy entries never reach the file.
        if (!source.empty() && !target.empty())
            m_translations.emplace(std::move(source), std::move(target));
    }
    return true;
}

const std::string* CMessageCatalog::Find(const std::string& source) const
{
    const auto it = m_translations.find(source);
    return it == m_translations.end() ? nullptr : &it->second;
}

std::string ChooseCatalogLanguage(const std::function<const char*(const char*)>& getEnv,
                                  const std::function<bool(const std::string&)>& hasCatalog)
{
    std::string locale;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
    {
        const char* value = getEnv(name);
        if (value != nullptr && *value != '\0')
        {
            locale = value;
            break;
        }
    }
    if (IsSourceLocale(locale))
        return {};

    // LANGUAGE is a list of preferences, "fr:de:ja"; the locale's own language comes last.
    std::vector<std::string> wanted;
    if (const char* list = getEnv("LANGUAGE"); list != nullptr)
    {
        const std::string languages = list;
        std::size_t begin = 0;
        while (begin <= languages.size())
        {
            const std::size_t end = std::min(languages.find(':', begin), languages.size());
            if (end > begin)
                wanted.push_back(languages.substr(begin, end - begin));
            begin = end + 1;
        }
    }
    wanted.push_back(locale);

    for (const std::string& language : wanted)
    {
        for (const std::string& name : LanguageNames(language))
        {
            if (name == "ja")
                return {};
            if (hasCatalog(name))
                return name;
        }
    }
    return "en";
}

std::vector<std::string> CatalogFolders()
{
    std::vector<std::string> folders;
    const std::string folder = ExecutableFolder();
    if (!folder.empty())
        folders.push_back(folder + "/../share/locale");
    folders.emplace_back(TARVEL1_BUILD_LOCALEDIR);
    return folders;
}

namespace
{

struct SProcessCatalog
{
    std::string language;
    CMessageCatalog catalog;
};

const SProcessCatalog& ProcessCatalog()
{
    static const SProcessCatalog process = []
    {
        SProcessCatalog chosen;
        const std::vector<std::string> folders = CatalogFolders();
        const auto find = [&](const std::string& language) -> std::string
        {
            for (const std::string& folder : folders)
                if (IsFile(CatalogPath(folder, language)))
                    return CatalogPath(folder, language);
            return {};
        };
        // Windows keeps the user's language in its settings: it stands for an unset LANG.
        static const std::string system = SystemLanguage();
        chosen.language = ChooseCatalogLanguage(
            [](const char* name)
            {
                const char* value = std::getenv(name);
                if ((value == nullptr || *value == '\0') && std::strcmp(name, "LANG") == 0 &&
                    !system.empty())
                    return system.c_str();
                return value;
            },
            [&](const std::string& language) { return !find(language).empty(); });
        // A language without a catalog anywhere (English missing from a broken install) shows
        // the source texts rather than nothing.
        if (!chosen.language.empty() && !chosen.catalog.Load(find(chosen.language)))
            chosen.language.clear();
        return chosen;
    }();
    return process;
}

} // namespace

const std::string& ResLanguage()
{
    return ProcessCatalog().language;
}

const std::string& TranslateResText(const std::string& source)
{
    const std::string* target = ProcessCatalog().catalog.Find(source);
    return target != nullptr ? *target : source;
}

const char* TranslateResText(const char* source)
{
    if (source == nullptr)
        return nullptr;
    const std::string* target = ProcessCatalog().catalog.Find(source);
    return target != nullptr ? target->c_str() : source;
}
