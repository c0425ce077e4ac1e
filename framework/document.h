#pragma once
// The document base: a path name, and open and save through Serialize(). An archive or file
// exception inside an open or a save is caught here and reported as a failure with its reason,
// never as a success.

#include <string>

#include "archive.h"

class CDocument
{
public:
    CDocument() = default;
    virtual ~CDocument() = default;
    CDocument(const CDocument&) = delete;
    CDocument& operator=(const CDocument&) = delete;

    const std::string& GetPathName() const { return m_strPathName; }
    void SetPathName(const std::string& path) { m_strPathName = path; }

    // File New: forgets the path. Returns false to refuse the new document.
    virtual bool OnNewDocument();
    // File Open: loads `path` through Serialize(). On success the path becomes the document's;
    // on failure the user has been told why and the document's path is unchanged.
    virtual bool OnOpenDocument(const std::string& path);
    // The same from a file the caller opened (standard input, say), named `name` in messages;
    // the document's path is not changed.
    bool OpenFromFile(CFile& file, const std::string& name);
    // Save and Save As: stores through Serialize() into `path`, replacing it only once the whole
    // file is written. On failure the user has been told why.
    virtual bool OnSaveDocument(const std::string& path);
    // Asked before a save, and before a Save As asks for a name: false when there is nothing
    // to save. The document tells the user why itself.
    virtual bool CanSaveDocument() { return true; }

    virtual void Serialize(CArchive& ar) = 0;

protected:
    // Shows the message for an exception that ended an open or a save.
    virtual void ReportSaveLoadException(const std::string& path, const CException& error,
                                         bool saving);

private:
    std::string m_strPathName;
};
