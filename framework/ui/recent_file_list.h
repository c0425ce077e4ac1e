#pragma once
// The recently used files, newest first, kept in the user's configuration file so that they
// survive the run. A file that is gone when the list is read is dropped without a word.

#include <cstddef>
#include <string>
#include <vector>

class CRecentFileList
{
public:
    CRecentFileList(std::string profilePath, std::size_t maxSize);

    // Reads the list from the profile; entries whose files no longer exist are left out.
    void ReadList();
    // Writes the list, creating the profile's folder when it is missing. False on failure.
    bool WriteList() const;
    // Puts `path` first, removing an earlier entry for it and the oldest beyond the maximum.
    void Add(const std::string& path);

    const std::vector<std::string>& GetEntries() const { return m_entries; }
    const std::string& GetProfilePath() const { return m_strProfilePath; }

    // The group and key names inside the profile.
    static constexpr const char* kSection = "Recent File List";
    static constexpr const char* kEntryFormat = "File%d";

private:
    std::string m_strProfilePath;
    std::size_t m_nMaxSize;
    std::vector<std::string> m_entries;
};
