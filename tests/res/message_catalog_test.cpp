// The English catalog against the texts the program really has, the choice of language, and
// catalogs that are not what they claim.

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>

#include <gtest/gtest.h>

#include "message_catalog.h"
#include "string_table.h"
#include "ui_resources.h"

namespace
{

int Count(const std::string& text, const std::string& what)
{
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

bool IsAscii(const std::string& text)
{
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

std::string AfterTab(const std::string& text)
{
    const std::size_t tab = text.find('\t');
    return tab == std::string::npos ? std::string() : text.substr(tab);
}

} // namespace

// Texts that are ASCII already ("START", "Non convert", "C#", the web page) are data or English
// and stay as they are; every other text needs an English one that keeps what the program
// relies on: the places of its arguments, the prompt/tooltip split, the key and the mnemonic.
TEST(MessageCatalog, EveryJapaneseTextHasAnEnglishTranslationThatKeepsItsMarks)
{
    CMessageCatalog english;
    ASSERT_TRUE(english.Load(TARVEL1_EN_CATALOG));
    std::vector<std::string> texts = StringTableSourceTexts();
    for (const std::string& text : UiSourceTexts())
        texts.push_back(text);
    int checked = 0;
    for (const std::string& source : texts)
    {
        if (IsAscii(source))
            continue;
        ++checked;
        const std::string* target = english.Find(source);
        if (target == nullptr)
        {
            ADD_FAILURE() << "no English text for \"" << source << "\"";
            continue;
        }
        EXPECT_TRUE(IsAscii(*target)) << *target;
        for (const char* mark : {"%1", "%2", "\n"})
            EXPECT_EQ(Count(*target, mark), Count(source, mark)) << mark << " in " << *target;
        EXPECT_EQ(AfterTab(*target), AfterTab(source)) << *target;
        EXPECT_EQ(Count(*target, "&") == 1, source.find("(&") != std::string::npos) << *target;
    }
    EXPECT_GT(checked, 60);
}

TEST(MessageCatalog, LanguageFollowsTheEnvironmentAsGettextDoes)
{
    struct Case
    {
        std::map<std::string, std::string> env;
        std::vector<std::string> catalogs;
        std::string expected;
    };
    const Case cases[] = {
        {{}, {"en"}, ""},
        {{{"LANG", "C"}}, {"en"}, ""},
        {{{"LANG", "POSIX"}}, {"en"}, ""},
        {{{"LANG", "C.UTF-8"}}, {"en"}, ""},
        {{{"LANG", "ja_JP.UTF-8"}}, {"en"}, ""},
        {{{"LANG", "en_US.UTF-8"}}, {"en"}, "en"},
        {{{"LANG", "de_DE.UTF-8"}}, {"en"}, "en"},
        {{{"LANG", "de_DE.UTF-8@euro"}}, {"en", "de"}, "de"},
        {{{"LANG", "pt_BR.UTF-8"}}, {"en", "pt", "pt_BR"}, "pt_BR"},
        {{{"LC_ALL", "C"}, {"LANG", "en_US.UTF-8"}}, {"en"}, ""},
        {{{"LC_ALL", ""}, {"LC_MESSAGES", "ja_JP.UTF-8"}, {"LANG", "en_US.UTF-8"}}, {"en"}, ""},
        {{{"LC_MESSAGES", "en_GB.UTF-8"}, {"LANG", "ja_JP.UTF-8"}}, {"en"}, "en"},
        {{{"LANG", "en_US.UTF-8"}, {"LANGUAGE", "ja"}}, {"en"}, ""},
        {{{"LANG", "fr_FR.UTF-8"}, {"LANGUAGE", "de_AT:ja:fr"}}, {"en", "fr"}, ""},
        {{{"LANG", "fr_FR.UTF-8"}, {"LANGUAGE", "de_AT::fr"}}, {"en", "de"}, "de"},
        {{{"LANG", "C"}, {"LANGUAGE", "en"}}, {"en"}, ""},
    };
    for (const Case& c : cases)
    {
        const auto getEnv = [&](const char* name) -> const char*
        {
            const auto it = c.env.find(name);
            return it == c.env.end() ? nullptr : it->second.c_str();
        };
        const auto hasCatalog = [&](const std::string& language)
        { return std::find(c.catalogs.begin(), c.catalogs.end(), language) != c.catalogs.end(); };
        std::string env;
        for (const auto& [name, value] : c.env)
            env += name + "=" + value + " ";
        EXPECT_EQ(ChooseCatalogLanguage(getEnv, hasCatalog), c.expected) << env;
    }
}

TEST(MessageCatalog, DamagedCatalogsAreRefusedWhole)
{
    std::ifstream in(TARVEL1_EN_CATALOG, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    CMessageCatalog catalog;
    ASSERT_TRUE(catalog.Parse(bytes));
    EXPECT_GT(catalog.GetCount(), 60u);
    for (std::size_t length = 0; length < bytes.size(); ++length)
    {
        ASSERT_FALSE(catalog.Parse(bytes.substr(0, length))) << length;
        ASSERT_EQ(catalog.GetCount(), 0u);
    }
    std::string wrongMagic = bytes;
    wrongMagic[0] = 0;
    EXPECT_FALSE(catalog.Parse(wrongMagic));
    // An entry that points past the end, as a hostile file would.
    std::string farOffset = bytes;
    std::uint32_t sources;
    std::memcpy(&sources, &bytes[12], 4);
    farOffset.replace(sources + 4, 4, "\xff\xff\xff\x7f", 4);
    EXPECT_FALSE(catalog.Parse(farOffset));
    EXPECT_FALSE(catalog.Load(std::string(TARVEL1_EN_CATALOG) + ".missing"));
}
