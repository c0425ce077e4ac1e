#pragma once
// File and archive failures travel as exceptions up to the document, which reports them to the
// user at the boundary of the open or save; nothing below it shows a message.

#include <exception>
#include <string>

using UINT = unsigned int;

class CException : public std::exception
{
public:
    const char* what() const noexcept override { return m_strReason.c_str(); }
    // The system's or the archive's reason, without the file's name.
    const std::string& GetReason() const { return m_strReason; }
    const std::string& GetFileName() const { return m_strFileName; }

protected:
    CException(std::string fileName, std::string reason)
        : m_strFileName(std::move(fileName)), m_strReason(std::move(reason))
    {
    }

private:
    std::string m_strFileName;
    std::string m_strReason;
};

// A file could not be opened, created, read, written or renamed into place.
class CFileException : public CException
{
public:
    CFileException(std::string fileName, int osError, std::string reason)
        : CException(std::move(fileName), std::move(reason)), m_lOsError(osError)
    {
    }
    int m_lOsError;
};

class CArchiveException : public CException
{
public:
    enum Cause
    {
        none,
        endOfFile,
        badIndex,
    };

    // nPromptId, when not zero, names the string that explains the failure to the user in
    // place of the framework's own text for the cause; its %1 is the file's name, %2 and %3
    // the details given here.
    CArchiveException(Cause cause, std::string fileName, UINT nPromptId = 0,
                      std::string detail2 = {}, std::string detail3 = {});

    Cause m_cause;
    UINT m_nPromptId;
    std::string m_strDetail2;
    std::string m_strDetail3;
};

// The text that tells the user about `error` on `path`: an archive's own prompt, or the end of
// file, when it has one; otherwise `fallbackPrompt` with the path and the reason.
std::string AfxExceptionMessage(const CException& error, const std::string& path,
                                UINT fallbackPrompt);

// The system's text for an error number in the language the program speaks (the catalog's), not
// in the C locale's English. Each platform's side of the file writer defines it.
std::string SystemErrorText(int error);
// The text for an open (load) of `path` that ended with `error`: a missing file says so, the
// rest as AfxExceptionMessage() with the failed-open prompt.
std::string AfxOpenFailureMessage(const CException& error, const std::string& path);

[[noreturn]] void AfxThrowFileException(const std::string& fileName, int osError);
[[noreturn]] void AfxThrowArchiveException(CArchiveException::Cause cause,
                                           const std::string& fileName, UINT nPromptId = 0,
                                           std::string detail2 = {}, std::string detail3 = {});
