#include "exceptions.h"

#include <cerrno>
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

CArchiveException::CArchiveException(Cause cause, std::string fileName, UINT nPromptId,
                                     std::string detail2, std::string detail3)
    : CException(std::move(fileName), CauseText(cause)), m_cause(cause), m_nPromptId(nPromptId),
      m_strDetail2(std::move(detail2)), m_strDetail3(std::move(detail3))
{
}

std::string AfxExceptionMessage(const CException& error, const std::string& path,
                                UINT fallbackPrompt)
{
    if (const auto* archive = dynamic_cast<const CArchiveException*>(&error))
    {
        if (archive->m_nPromptId != 0)
            return FormatResString(archive->m_nPromptId, path, archive->m_strDetail2,
                                   archive->m_strDetail3);
        if (archive->m_cause == CArchiveException::endOfFile)
            return FormatResString(AFX_IDP_FILE_ENDS_EARLY, path);
    }
    return FormatResString(fallbackPrompt, path, error.GetReason());
}

std::string AfxOpenFailureMessage(const CException& error, const std::string& path)
{
    const auto* file = dynamic_cast<const CFileException*>(&error);
    const UINT prompt = file != nullptr && file->m_lOsError == ENOENT ? AFX_IDP_FILE_NOT_FOUND
                                                                      : AFX_IDP_FAILED_TO_OPEN_DOC;
    return AfxExceptionMessage(error, path, prompt);
}

void AfxThrowFileException(const std::string& fileName, int osError)
{
    throw CFileException(fileName, osError, SystemErrorText(osError));
}

void AfxThrowArchiveException(CArchiveException::Cause cause, const std::string& fileName,
                              UINT nPromptId, std::string detail2, std::string detail3)
{
    throw CArchiveException(cause, fileName, nPromptId, std::move(detail2), std::move(detail3));
}
