#pragma once
// The program's texts in the user's language. The Japanese texts of the string table and the
// resource tables are the source; a compiled gettext catalog (tarvel1.mo) maps each to another
// language. Nothing here needs a window or an installed system locale.

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

// One compiled gettext catalog (.mo), read whole into memory.
class CMessageCatalog
{
public:
    // Reads the catalog at `path`; false (and an empty catalog) when the file is missing or is
    // not a catalog.
    bool Load(const std::string& path);
    // The same for the bytes of a catalog. Every offset is checked against them: a damaged or
    // cut-off file is refused whole.
    bool Parse(const std::string& data);

    // The translation of `source`, or nullptr when the catalog has none.
    const std::string* Find(const std::string& source) const;

    std::size_t GetCount() const { return m_translations.size(); }

private:
    std::unordered_map<std::string, std::string> m_translations;
};

// The catalog language for an environment read as gettext reads it (LC_ALL, LC_MESSAGES, LANG,
// then the LANGUAGE list unless the locale is C): "" when the source texts are wanted (Japanese,
// C, POSIX, nothing set), otherwise the first language that `hasCatalog` knows, and "en" when it
// knows none of them.
std::string ChooseCatalogLanguage(const std::function<const char*(const char*)>& getEnv,
                                  const std::function<bool(const std::string&)>& hasCatalog);

// The folders searched for <language>/LC_MESSAGES/tarvel1.mo, in order: the installed layout
// beside the executable (bin/../share/locale), then the build tree's.
std::vector<std::string> CatalogFolders();

// The language this process shows, chosen once from its environment ("" for the source texts).
const std::string& ResLanguage();

// `source` in the process's language; `source` itself when there is no translation.
const std::string& TranslateResText(const std::string& source);
// The same for a text of the resource tables; nullptr stays nullptr. The result lives as long as
// the process.
const char* TranslateResText(const char* source);
