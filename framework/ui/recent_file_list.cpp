#include "recent_file_list.h"

#include <algorithm>

#include <wx/fileconf.h>
#include <wx/filename.h>

#include "profile.h"
#include "wx_text.h"

namespace
{

wxString EntryKey(std::size_t index)
{
    return wxString::Format(CRecentFileList::kEntryFormat, static_cast<int>(index + 1));
}

} // namespace

CRecentFileList::CRecentFileList(std::string profilePath, std::size_t maxSize)
    : m_strProfilePath(std::move(profilePath)), m_nMaxSize(maxSize)
{
}

void CRecentFileList::ReadList()
{
    m_entries.clear();
    const std::unique_ptr<wxFileConfig> config = OpenProfile(m_strProfilePath);
    config->SetPath(wxString("/") + kSection);
    for (std::size_t i = 0; i < m_nMaxSize; ++i)
    {
        wxString value;
        if (!config->Read(EntryKey(i), &value) || value.empty())
            continue;
        if (!wxFileName::FileExists(value))
            continue;
        const std::string path = ToFileName(value);
        if (std::find(m_entries.begin(), m_entries.end(), path) == m_entries.end())
            m_entries.push_back(path);
    }
}

bool CRecentFileList::WriteList() const
{
    const std::unique_ptr<wxFileConfig> config = OpenProfile(m_strProfilePath);
    config->DeleteGroup(wxString("/") + kSection);
    config->SetPath(wxString("/") + kSection);
    for (std::size_t i = 0; i < m_entries.size(); ++i)
        config->Write(EntryKey(i), FromFileName(m_entries[i]));
    return SaveProfile(*config, m_strProfilePath);
}

void CRecentFileList::Add(const std::string& path)
{
    m_entries.erase(std::remove(m_entries.begin(), m_entries.end(), path), m_entries.end());
    m_entries.insert(m_entries.begin(), path);
    if (m_entries.size() > m_nMaxSize)
        m_entries.resize(m_nMaxSize);
}
