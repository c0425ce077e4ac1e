#include "exceptions.h"

#include <cstring>

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

void AfxThrowFileException(const std::string& fileName, int osError)
{
    throw CFileException(fileName, osError, std::strerror(osError));
}

void AfxThrowArchiveException(CArchiveException::Cause cause, const std::string& fileName,
                              UINT nPromptId)
{
    throw CArchiveException(cause, fileName, nPromptId);
}
