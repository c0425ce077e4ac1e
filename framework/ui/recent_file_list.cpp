#include "recent_file_list.h"

#include <algorithm>

#include <wx/fileconf.h>
#include <wx/filename.h>
#include <wx/wfstream.h>

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
    if (!wxFileName::FileExists(FromFileName(m_strProfilePath)))
        return;
    wxFileInputStream stream(FromFileName(m_strProfilePath));
    if (!stream.IsOk())
        return;
    wxFileConfig config(stream, wxConvUTF8);
    // A path is taken as written: a '$' in a file name is not a variable.
    config.SetExpandEnvVars(false);
    config.SetPath(wxString("/") + kSection);
    for (std::size_t i = 0; i < m_nMaxSize; ++i)
    {
        wxString value;
        if (!config.Read(EntryKey(i), &value) || value.empty())
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
    const wxFileName file(FromFileName(m_strProfilePath));
    if (!file.DirExists() && !wxFileName::Mkdir(file.GetPath(), 0700, wxPATH_MKDIR_FULL))
        return false;
    wxFileConfig config(wxEmptyString, wxEmptyString, FromFileName(m_strProfilePath), wxEmptyString,
                        wxCONFIG_USE_LOCAL_FILE, wxConvUTF8);
    config.DeleteGroup(wxString("/") + kSection);
    config.SetPath(wxString("/") + kSection);
    for (std::size_t i = 0; i < m_entries.size(); ++i)
        config.Write(EntryKey(i), FromFileName(m_entries[i]));
    return config.Flush();
}

void CRecentFileList::Add(const std::string& path)
{
    m_entries.erase(std::remove(m_entries.begin(), m_entries.end(), path), m_entries.end());
    m_entries.insert(m_entries.begin(), path);
    if (m_entries.size() > m_nMaxSize)
        m_entries.resize(m_nMaxSize);
}
