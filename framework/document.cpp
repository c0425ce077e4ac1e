#include "document.h"

#include <cerrno>

#include "message_box.h"
#include "string_table.h"

bool CDocument::OnNewDocument()
{
    m_strPathName.clear();
    SetModifiedFlag(false);
    return true;
}

bool CDocument::OnOpenDocument(const std::string& path)
{
    try
    {
        CFile file(path, CFile::modeRead);
        CArchive ar(file, CArchive::load);
        Serialize(ar);
        file.Close();
    }
    catch (const CException& error)
    {
        ReportSaveLoadException(path, error, false);
        return false;
    }
    SetPathName(path);
    SetModifiedFlag(false);
    return true;
}

bool CDocument::OnSaveDocument(const std::string& path)
{
    if (!CanSaveDocument())
        return false;
    try
    {
        CFile file(path, CFile::modeCreate | CFile::modeWrite);
        CArchive ar(file, CArchive::store);
        Serialize(ar);
        ar.Close();
        file.Close();
    }
    catch (const CException& error)
    {
        ReportSaveLoadException(path, error, true);
        return false;
    }
    SetModifiedFlag(false);
    return true;
}

void CDocument::ReportSaveLoadException(const std::string& path, const CException& error,
                                        bool saving)
{
    if (const auto* archive = dynamic_cast<const CArchiveException*>(&error))
    {
        if (archive->m_nPromptId != 0)
        {
            AfxMessageBox(FormatResString(archive->m_nPromptId, path));
            return;
        }
        if (archive->m_cause == CArchiveException::endOfFile)
        {
            AfxMessageBox(FormatResString(AFX_IDP_FILE_ENDS_EARLY, path));
            return;
        }
    }
    if (const auto* file = dynamic_cast<const CFileException*>(&error))
    {
        if (!saving && file->m_lOsError == ENOENT)
        {
            AfxMessageBox(FormatResString(AFX_IDP_FILE_NOT_FOUND, path, error.GetReason()));
            return;
        }
    }
    AfxMessageBox(FormatResString(saving ? AFX_IDP_FAILED_TO_SAVE_DOC : AFX_IDP_FAILED_TO_OPEN_DOC,
                                  path, error.GetReason()));
}
