#pragma once
// The application object: start-up through InitInstance(), the document template, the command
// line, the recently used files, and the application's commands. It is also the command
// boundary: a file or archive exception that leaves a command handler is reported here.

#include <memory>
#include <string>
#include <vector>

#include <wx/app.h>

#include "doc_template.h"
#include "exceptions.h"
#include "recent_file_list.h"

class CCommandLineInfo
{
public:
    enum ShellCommand
    {
        FileNew,
        FileOpen,
        FileNothing,
    };

    // Takes the first argument that is not an option as the file to open.
    void ParseParam(const std::string& param, bool isFlag);

    ShellCommand m_nShellCommand = FileNew;
    std::string m_strFileName;
};

class CWinApp : public wxApp
{
public:
    CWinApp();
    ~CWinApp() override;

    // The program's own start-up; false ends the program.
    virtual bool InitInstance();
    // The program's own clean-up; the value is the exit status.
    virtual int ExitInstance();

    // The command line as the process received it, bytes unconverted (file names are UTF-8).
    static void SetCommandLine(int argc, char** argv);

    // The settings of this program are kept under `key` (a folder in the user's configuration).
    void SetRegistryKey(const std::string& key);
    // Reads the recently used file list, of at most `maxRecentFiles` entries.
    void LoadStdProfileSettings(unsigned maxRecentFiles = 4);
    // The file that holds this program's settings; empty when the user has no home folder.
    std::string GetProfilePath() const;

    // Takes ownership. The program has a single template.
    void AddDocTemplate(CSingleDocTemplate* docTemplate);
    CSingleDocTemplate* GetDocTemplate() const { return m_pDocTemplate.get(); }

    void ParseCommandLine(CCommandLineInfo& info);
    bool ProcessShellCommand(CCommandLineInfo& info);

    // Opens `path` as File Open does. Returns the document, or nullptr if the open failed.
    virtual CDocument* OpenDocumentFile(const std::string& path);
    // File New: the same document, kept song and all, gets a new start.
    CDocument* NewDocumentFile();
    virtual void AddToRecentFileList(const std::string& path);
    CRecentFileList* GetRecentFileList() const { return m_pRecentFileList.get(); }

    // The frame is closing; the program ends with it.
    void OnMainFrameClosing(wxFrame* frame);

    // The framework's commands, for the application's event table.
    void OnFileNew(wxCommandEvent& event);
    void OnFileOpen(wxCommandEvent& event);
    void OnFilePrintSetup(wxCommandEvent& event);
    void OnAppExit(wxCommandEvent& event);

    wxFrame* m_pMainWnd = nullptr;

protected:
    bool OnInit() override;
    // The program's languages (Japanese, English) are written left to right. wx would otherwise
    // build its table of every language at start-up to learn that.
    wxLayoutDirection GetLayoutDirection() const override { return wxLayout_LeftToRight; }
    int OnExit() override;
    void HandleEvent(wxEvtHandler* handler, wxEventFunction func, wxEvent& event) const override;
    bool OnExceptionInMainLoop() override;

private:
    void AdoptMainFrame();

    std::string m_strRegistryKey;
    std::unique_ptr<CSingleDocTemplate> m_pDocTemplate;
    std::unique_ptr<CRecentFileList> m_pRecentFileList;

    wxDECLARE_EVENT_TABLE();
};

CWinApp* AfxGetApp();
wxFrame* AfxGetMainWnd();
// Shows the message for a file or archive exception that ended a command.
void AfxReportException(const CException& error);
// Gives wx's own texts the language of the program's (once; the application's start does it).
void AfxInitTranslations();
