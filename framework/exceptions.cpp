#include "exceptions.h"

#include <cstring>

#include "string_table.h"

namespace
{

std::string CauseText(CArchiveException::Cause cause)
{
    switch (cause)
    {
    case CArchiveException::endOfFile:
        return "unexpected end of file";
    case CArchiveException::badIndex:
        return "data out of range";
    case CArchiveException::none:
        break;
    }
    return "archive error";
}

} // namespace

CArchiveException::CArchiveException(Cause cause, std::string fileName, UINT nPromptId)
    : CException(std::move(fileName), CauseText(cause)), m_cause(cause), m_nPromptId(nPromptId)
{
}

std::string AfxExceptionMessage(const CException& error, const std::string& path,
                                UINT fallbackPrompt)
{
    if (const auto* archive = dynamic_cast<const CArchiveException*>(&error))
    {
        if (archive->m_nPromptId != 0)
            return FormatResString(archive->m_nPromptId, path);
        if (archive->m_cause == CArchiveException::endOfFile)
            return FormatResString(AFX_IDP_FILE_ENDS_EARLY, path);
    }
    return FormatResString(fallbackPrompt, path, error.GetReason());
}

void AfxThrowFileException(const std::string& fileName, int osError)
{
    throw CFileException(fileName, osError, SystemErrorText(osError));
}

void AfxThrowArchiveException(CArchiveException::Cause cause, const std::string& fileName,
                              UINT nPromptId)
{
    throw CArchiveException(cause, fileName, nPromptId);
}
