#include "document.h"

#include <cerrno>

#include "message_box.h"
#include "string_table.h"

bool CDocument::OnNewDocument()
{
    m_strPathName.clear();
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
    return true;
}

bool CDocument::OpenFromFile(CFile& file, const std::string& name)
{
    try
    {
        CArchive ar(file, CArchive::load);
        Serialize(ar);
        file.Close();
    }
    catch (const CException& error)
    {
        ReportSaveLoadException(name, error, false);
        return false;
    }
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
    return true;
}

void CDocument::ReportSaveLoadException(const std::string& path, const CException& error,
                                        bool saving)
{
    AfxMessageBox(saving ? AfxExceptionMessage(error, path, AFX_IDP_FAILED_TO_SAVE_DOC)
                         : AfxOpenFailureMessage(error, path));
}
